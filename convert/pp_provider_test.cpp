// PP provider conversion through the whole engine: input file in, output
// file compared byte for byte.
#include <string>

#include "convert/convert_test_support.h"

namespace {

// Drops the newline that opens a raw string literal.
std::string Text(const char* raw) {
  std::string text(raw);
  if (!text.empty() && text.front() == '\n') text.erase(0, 1);
  return text;
}

// The provider block the web-GUI converter puts in front of the first PP.
std::string ProviderBlock(const std::string& lastName) {
  return "provider lan1 name LAN:\n"
         "provider type isdn-terminal\n"
         "provider filter routing connection\n"
         "provider lan2 name \"PPPoE/0/1/5/0/0/0:" +
         lastName + "\"\n";
}

const char kFilterLine[] = "ip filter 500000 restrict * * * * *\n";

// The message of error code 2.
const std::u16string kNotConvertible =
    u"configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。";

void ExpectConverted(const ConversionRun& run, int kind, const std::string& expected) {
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.error, 0);
  ASSERT_TRUE(run.written);
  EXPECT_EQ(run.output, ExpectedOutput(expected));
}

void ExpectNotConvertible(const ConversionRun& run, int kind) {
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.error, 2);
  EXPECT_EQ(run.message, kNotConvertible);
  EXPECT_FALSE(run.written);
}

// ---- web-GUI configurations ----

TEST(PpProviderGui, OnePppoePpWithDnsFromThePp) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/PPPoE/0:MyISP"
 pp always-on on
 pp enable 1
dns server select 500001 pp 1 any . restrict pp 1
nat descriptor type 1000 masquerade
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
provider lan1 name LAN:
provider type isdn-terminal
provider filter routing connection
provider lan2 name "PPPoE/0/1/5/0/0/0:MyISP"
pp select 1
 pp name "PRV/1/1/5/0/0/0:MyISP"
 pp always-on on
 pp enable 1
provider set 1 "MyISP"
 provider dns server pp 1 1
 provider select 1
dns server select 500001 pp 1 any . restrict pp 1
ip filter 500000 restrict * * * * *
nat descriptor type 1000 masquerade
)"));
}

// Only the PPPoE PP converted last gets the provider selection; the FGA PP
// gets no DNS line; the block carries the last name and stands in front of
// the first PP; without NAT descriptors the filter line comes last.
TEST(PpProviderGui, TwoPppoePpsAndOneFgaPp) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/PPPoE/0:ISP A"
 pp enable 1
pp select 2
 description pp "PRV/FGA_LAN/1:Office"
 pp enable 2
pp select 3
 description pp "PRV/PPPoE/2:ISP B"
 pp enable 3
dns server select 500001 10.0.0.1 any . restrict pp 1
dns server select 500003 10.0.0.2 10.0.0.3 any . restrict pp 3
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
provider lan1 name LAN:
provider type isdn-terminal
provider filter routing connection
provider lan2 name "PPPoE/0/1/5/0/0/0:ISP B"
pp select 1
 pp name "PRV/1/1/5/0/0/0:ISP A"
 pp enable 1
provider set 1 "ISP A"
 provider dns server 1 10.0.0.1
pp select 2
 pp name "PRV/2/1/5/0/0/0:Office"
 pp enable 2
provider set 2 "Office"
pp select 3
 pp name "PRV/3/1/5/0/0/0:ISP B"
 pp enable 3
provider set 3 "ISP B"
 provider dns server 3 10.0.0.2 10.0.0.3
 provider select 3
dns server select 500001 10.0.0.1 any . restrict pp 1
dns server select 500003 10.0.0.2 10.0.0.3 any . restrict pp 3
ip filter 500000 restrict * * * * *
)"));
}

TEST(PpProviderGui, WithoutProviderDescriptionsNothingChanges) {
  const std::string input = Text(R"(
pp select 1
 description pp "office line"
 pp enable 1
nat descriptor type 1000 masquerade
)");
  ExpectConverted(RunConversion(input), kConverterGui, input);
}

// The provider name is the rest of the description cut at its last double
// quote; an empty name gives the provider line without a name.
TEST(PpProviderGui, ProviderNameFromTheDescription) {
  struct Case {
    const char* description;  // the PP's description line
    const char* nameLine;     // what replaces it
    const char* providerLine;
    const char* name;  // as F10 carries it
  };
  const Case cases[] = {
      {" description pp \"PRV/FGA_LAN/0:Office\"", " pp name \"PRV/1/1/5/0/0/0:Office\"",
       "provider set 1 \"Office\"", "Office"},
      {" description pp PRV/FGA_TERM/0:Office", " pp name \"PRV/1/1/5/0/0/0:Office\"",
       "provider set 1 \"Office\"", "Office"},
      {" description pp \"PRV/FGA_LAN/0:\"", " pp name \"PRV/1/1/5/0/0/0:\"", "provider set 1", ""},
      {" description pp PRV/FGA_LAN/0:", " pp name \"PRV/1/1/5/0/0/0:\"", "provider set 1", ""},
      // A backslash before the last quote keeps the whole rest.
      {" description pp \"PRV/FGA_LAN/0:a\\\"", " pp name \"PRV/1/1/5/0/0/0:a\\\"\"",
       "provider set 1 \"a\\\"\"", "a\\\""},
      // Earlier quotes stay; text after the last one is dropped with it.
      {" description pp \"PRV/FGA_LAN/0:a\"b\" x", " pp name \"PRV/1/1/5/0/0/0:a\"b\"",
       "provider set 1 \"a\"b\"", "a\"b"},
      // Blanks in front of a comment belong to an unquoted name; the
      // comment stays on the line.
      {" description pp PRV/FGA_LAN/0:Office  # main",
       " pp name \"PRV/1/1/5/0/0/0:Office  \"# main", "provider set 1 \"Office  \"", "Office  "},
      // The marker may stand anywhere in the command part.
      {" xdescription pp \"PRV/FGA_LAN/0:Office\"", " pp name \"PRV/1/1/5/0/0/0:Office\"",
       "provider set 1 \"Office\"", "Office"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    auto run = RunConversion("pp select 1\n" + std::string(c.description) + "\n pp enable 1\n");
    ExpectConverted(run, kConverterGui,
                    ProviderBlock(c.name) + "pp select 1\n" + c.nameLine + "\n pp enable 1\n" +
                        c.providerLine + "\n" + kFilterLine);
  }
}

// Kind PPPoE is decided by "PPPoE" anywhere in the description, so an FGA
// PP so described needs its DNS line. With no PPPoE description counted,
// the counter never meets the count less one: no provider selection.
TEST(PpProviderGui, FgaDescriptionNamingPppoeIsConvertedAsPppoe) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/FGA_LAN/0:PPPoE backup"
 pp enable 1
dns server select 500001 10.0.0.1 any . restrict pp 1
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("PPPoE backup") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:PPPoE backup"
 pp enable 1
provider set 1 "PPPoE backup"
 provider dns server 1 10.0.0.1
dns server select 500001 10.0.0.1 any . restrict pp 1
ip filter 500000 restrict * * * * *
)"));
}

// The counter stays put once the selection is written, so a further PP of
// kind PPPoE gets the selection too.
TEST(PpProviderGui, EveryPppoePpAfterTheSelectedOneIsSelectedToo) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/PPPoE/0:Main"
 pp enable 1
pp select 2
 description pp "PRV/FGA_TERM/1:PPPoE spare"
 pp enable 2
dns server select 500001 pp 1 any . restrict pp 1
dns server select 500002 pp 2 any . restrict pp 2
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("PPPoE spare") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:Main"
 pp enable 1
provider set 1 "Main"
 provider dns server pp 1 1
 provider select 1
pp select 2
 pp name "PRV/2/1/5/0/0/0:PPPoE spare"
 pp enable 2
provider set 2 "PPPoE spare"
 provider dns server pp 2 2
 provider select 2
dns server select 500001 pp 1 any . restrict pp 1
dns server select 500002 pp 2 any . restrict pp 2
ip filter 500000 restrict * * * * *
)"));
}

// A PPPoE description that fits no PP is counted but never converted: no PP
// gets the provider selection. The stray description stays as it was.
TEST(PpProviderGui, StrayPppoeDescriptionLeavesNoPpSelected) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/PPPoE/0:Main"
 pp enable 1
 description pp "PRV/PPPoE/7:Stray"
dns server select 500001 pp 1 any . restrict pp 1
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("Main") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:Main"
 pp enable 1
provider set 1 "Main"
 provider dns server pp 1 1
 description pp "PRV/PPPoE/7:Stray"
dns server select 500001 pp 1 any . restrict pp 1
ip filter 500000 restrict * * * * *
)"));
}

// A marker is taken from the lines of its own PP only: PP 1 carries the
// marker of PP 2, which stays as it is; PP 2 is converted with its own.
TEST(PpProviderGui, MarkerInAnotherPpIsNotTaken) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/PPPoE/1:Wrong number"
 pp enable 1
pp select 2
 description pp "PRV/PPPoE/1:Right number"
 pp enable 2
dns server select 500002 pp 2 any . restrict pp 2
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
pp select 1
 description pp "PRV/PPPoE/1:Wrong number"
 pp enable 1
)") + ProviderBlock("Right number") + Text(R"(
pp select 2
 pp name "PRV/2/1/5/0/0/0:Right number"
 pp enable 2
provider set 2 "Right number"
 provider dns server pp 2 2
dns server select 500002 pp 2 any . restrict pp 2
ip filter 500000 restrict * * * * *
)"));
}

// A PP whose description carries its own number instead of the number less
// one is left alone; the block goes in front of the PP that was converted.
// The filter line goes in front of the first of several NAT descriptors.
TEST(PpProviderGui, PpWithTheWrongDescriptionNumberIsSkipped) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/FGA_LAN/1:Wrong"
 pp enable 1
pp select 3
 description pp "PRV/FGA_LAN/2:Right"
 pp enable 3
nat descriptor type 1 masquerade
nat descriptor type 2 masquerade
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
pp select 1
 description pp "PRV/FGA_LAN/1:Wrong"
 pp enable 1
)") + ProviderBlock("Right") + Text(R"(
pp select 3
 pp name "PRV/3/1/5/0/0/0:Right"
 pp enable 3
provider set 3 "Right"
ip filter 500000 restrict * * * * *
nat descriptor type 1 masquerade
nat descriptor type 2 masquerade
)"));
}

// The DNS line's closing PP number is not anchored: "restrict pp 1" also
// matches "restrict pp 12", and such a line is used for PP 1.
TEST(PpProviderGui, DnsLineRestrictNumberIsUnanchored) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp PRV/PPPoE/0:Main
 pp enable 1
dns server select 500001 10.0.0.1 any . restrict pp 12
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("Main") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:Main"
 pp enable 1
provider set 1 "Main"
 provider dns server 1 10.0.0.1
 provider select 1
dns server select 500001 10.0.0.1 any . restrict pp 12
ip filter 500000 restrict * * * * *
)"));
}

// "pp enable 1" must not find the enable line of PP 10 that comes first.
TEST(PpProviderGui, EnableLineOfPpOneIsNotTheOneOfPpTen) {
  auto run = RunConversion(Text(R"(
pp select 10
 description pp "PRV/FGA_LAN/9:Ten"
 pp enable 10
pp select 1
 description pp "PRV/PPPoE/0:One"
 pp enable 1
dns server select 500001 pp 1 any . restrict pp 1
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("One") + Text(R"(
pp select 10
 pp name "PRV/10/1/5/0/0/0:Ten"
 pp enable 10
provider set 10 "Ten"
pp select 1
 pp name "PRV/1/1/5/0/0/0:One"
 pp enable 1
provider set 1 "One"
 provider dns server pp 1 1
 provider select 1
dns server select 500001 pp 1 any . restrict pp 1
ip filter 500000 restrict * * * * *
)"));
}

// "pp select 1" must not find the select line of an unconverted PP 10.
TEST(PpProviderGui, BlockStandsInFrontOfPpOneNotPpTen) {
  auto run = RunConversion(Text(R"(
pp select 10
 pp enable 10
pp select 1
 description pp "PRV/FGA_LAN/0:One"
 pp enable 1
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
pp select 10
 pp enable 10
)") + ProviderBlock("One") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:One"
 pp enable 1
provider set 1 "One"
ip filter 500000 restrict * * * * *
)"));
}

// The description counted as a second "pp select" line loses that text when
// it is rewritten; the loop ends where the fresh search has no more lines.
TEST(PpProviderGui, LoopEndsWhenARewriteDropsASelectLine) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/FGA_LAN/0:Office" pp select 2
 pp enable 1
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("Office") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:Office"
 pp enable 1
provider set 1 "Office"
ip filter 500000 restrict * * * * *
)"));
}

// A PP number must leave room for its DNS selector (the number plus
// 500000) in an int; a larger one is not a PP this step can convert.
TEST(PpProviderGui, PpNumberLimit) {
  auto run = RunConversion(
      "pp select 2146983647\n description pp PRV/FGA_LAN/2146983646:Big\n pp enable 2146983647\n");
  ExpectConverted(run, kConverterGui,
                  ProviderBlock("Big") +
                      "pp select 2146983647\n pp name \"PRV/2146983647/1/5/0/0/0:Big\"\n"
                      " pp enable 2146983647\nprovider set 2146983647 \"Big\"\n" +
                      kFilterLine);
  ExpectNotConvertible(
      RunConversion("pp select 2146983648\n description pp PRV/FGA_LAN/2146983647:Big\n"
                    " pp enable 2146983648\n"),
      kConverterGui);
  ExpectNotConvertible(RunConversion("pp select 99999999999999999999\n"
                                     " description pp PRV/FGA_LAN/99999999999999999998:Big\n"
                                     " pp enable 99999999999999999999\n"),
                       kConverterGui);
}

// With a LAN2/DHCP provider as well, both provider steps write their
// lines: the LAN step's come first, and the provider LAN1 line and the
// filter line appear twice.
TEST(PpProviderGui, BothProviderStepsWriteTheirLines) {
  auto run = RunConversion(Text(R"(
ip lan2 address dhcp
ip lan2 nat descriptor 1
description lan2 "PRV/DHCP/1:Cable"
pp select 1
 description pp "PRV/PPPoE/0:MyISP"
 pp enable 1
dns server select 500001 pp 1 any . restrict pp 1
nat descriptor type 1 masquerade
)"));
  ExpectConverted(run, kConverterGui, Text(R"(
ip lan2 address dhcp
ip lan2 nat descriptor 1
provider lan1 name LAN:
provider lan2 name "PRV/0/1/5/0/0/0:Cable"
provider lan1 name LAN:
provider type isdn-terminal
provider filter routing connection
provider lan2 name "PPPoE/0/1/5/0/0/0:MyISP"
pp select 1
 pp name "PRV/1/1/5/0/0/0:MyISP"
 pp enable 1
provider set 1 "MyISP"
 provider dns server pp 1 1
 provider select 1
dns server select 500001 pp 1 any . restrict pp 1
ip filter 500000 restrict * * * * *
ip filter 500000 restrict * * * * *
nat descriptor type 1 masquerade
)"));
}

TEST(PpProviderGui, FailuresReportNotConvertibleAndWriteNothing) {
  struct Case {
    const char* what;
    const char* input;
  };
  const Case cases[] = {
      {"description without any pp select", " description pp \"PRV/PPPoE/0:A\"\n"},
      {"no PP converted", "pp select 1\n description pp \"PRV/FGA_LAN/1:A\"\n pp enable 1\n"},
      {"PPPoE PP without its DNS line",
       "pp select 1\n description pp \"PRV/PPPoE/0:A\"\n pp enable 1\n"},
      {"DNS line for another PP",
       "pp select 1\n description pp \"PRV/PPPoE/0:A\"\n pp enable 1\n"
       "dns server select 500002 pp 2 any . restrict pp 2\n"},
      {"PPPoE PP without its enable line",
       "pp select 1\n description pp \"PRV/PPPoE/0:A\"\n"
       "dns server select 500001 pp 1 any . restrict pp 1\n"},
      {"FGA PP without its enable line", "pp select 1\n description pp \"PRV/FGA_TERM/0:A\"\n"},
      {"only the enable line of PP 10",
       "pp select 1\n description pp PRV/FGA_TERM/0:A\n"
       "pp enable 10\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectNotConvertible(RunConversion(c.input), kConverterGui);
  }
}

// ---- sectioned listings ----

// The markers that make a file a sectioned listing.

// The provider type block in front of the PP header.
std::string ProviderTypeBlock(const std::string& lastName) {
  return "#\n# Provider Type configuration\n#\n\n" + ProviderBlock(lastName) + "\n";
}

TEST(PpProviderListing, OnePppoePp) {
  auto run = RunConversion(kListingStart + Text(R"(
#
# PP configuration
#
pp select 1
 description pp "PRV/PPPoE/0:MyISP"
 pp enable 1
dns server select 500001 pp 1 any . restrict pp 1

#
# IP filter configuration
#
ip filter 1 pass * * * * *

#
# NAT configuration
#
)"));
  ExpectConverted(run, kConverterTftp, kListingStart + Text(R"(
#
# Provider Type configuration
#

provider lan1 name LAN:
provider type isdn-terminal
provider filter routing connection
provider lan2 name "PPPoE/0/1/5/0/0/0:MyISP"

#
# PP configuration
#
pp select 1
 pp name "PRV/1/1/5/0/0/0:MyISP"
 pp enable 1

 # Provider information

provider set 1 "MyISP"
 provider dns server pp 1 1
 provider select 1
dns server select 500001 pp 1 any . restrict pp 1

#
# IP filter configuration
#
ip filter 1 pass * * * * *
ip filter 500000 restrict * * * * *

#
# NAT configuration
#
)"));
}

// The block goes in front of the first PP header; the filter line into the
// section of the last IP filter header. An FGA PP gets the information
// block and its provider line only.
TEST(PpProviderListing, SeveralPpAndIpFilterHeaders) {
  auto run = RunConversion(kListingStart + Text(R"(
#
# PP configuration
#
pp select 2
 description pp PRV/FGA_LAN/1:Office
 pp enable 2

#
# IP filter configuration
#
ip filter 1 pass * * * * *

#
# PP configuration
#
pp select 3

#
# IP filter configuration
#
ip filter 2 pass * * * * *

)"));
  ExpectConverted(run, kConverterTftp, kListingStart + ProviderTypeBlock("Office") + Text(R"(
#
# PP configuration
#
pp select 2
 pp name "PRV/2/1/5/0/0/0:Office"
 pp enable 2

 # Provider information

provider set 2 "Office"

#
# IP filter configuration
#
ip filter 1 pass * * * * *

#
# PP configuration
#
pp select 3

#
# IP filter configuration
#
ip filter 2 pass * * * * *
ip filter 500000 restrict * * * * *

)"));
}

// With no PP converted the listing still gets the block, with an empty name.
TEST(PpProviderListing, NoPpConvertedStillAddsBlockAndFilter) {
  const std::string pp = Text(R"(
#
# PP configuration
#
pp select 1
 description pp "PRV/PPPoE/1:Wrong"
 pp enable 1

#
# IP filter configuration
#
ip filter 1 pass * * * * *
)");
  auto run = RunConversion(kListingStart + pp + "\n");
  ExpectConverted(run, kConverterTftp,
                  kListingStart + ProviderTypeBlock("") + pp + kFilterLine + "\n");
}

TEST(PpProviderListing, WithoutProviderDescriptionsNothingChanges) {
  const std::string input = kListingStart + Text(R"(
#
# PP configuration
#
pp select 1
 pp enable 1
)");
  ExpectConverted(RunConversion(input), kConverterTftp, input);
}

// Where the filter line goes for the various ends of the IP filter section.
// `section` is what follows the header's title line, from its closing frame
// line on; `expected` is the same with the filter line in place ("F").
TEST(PpProviderListing, FilterLineAtTheEndOfTheSection) {
  struct Case {
    const char* what;
    const char* section;
    const char* expected;
  };
  const Case cases[] = {
      {"section ends with an empty line", "#\nip filter 1 pass\n\n# next\n",
       "#\nip filter 1 pass\nF\n\n# next\n"},
      {"next header follows directly", "#\nip filter 1 pass\n#\n# NAT configuration\n#\n",
       "#\nip filter 1 pass\nF\n#\n# NAT configuration\n#\n"},
      // The comment after the closing frame line already counts as content.
      {"no commands, next header follows directly", "#\n#\n# NAT configuration\n#\n",
       "F\n#\n#\n# NAT configuration\n#\n"},
      {"no commands, then an empty line", "#\n\n#\n# NAT configuration\n#\n",
       "#\nF\n\n#\n# NAT configuration\n#\n"},
      {"comment line after the first command", "#\nip filter 1 pass\n# note\nip filter 2 pass\n\n",
       "#\nip filter 1 pass\nF\n# note\nip filter 2 pass\n\n"},
      {"comment line before the first command", "#\n# note\nip filter 1 pass\n\n",
       "F\n#\n# note\nip filter 1 pass\n\n"},
      {"file ends with an empty line after the commands", "#\nip filter 1 pass\n\n",
       "#\nip filter 1 pass\nF\n\n"},
      // No place found: nothing is added, and the scan stops at the last
      // line without looking past it.
      {"file ends with the commands", "#\nip filter 1 pass\n", "#\nip filter 1 pass\n"},
      {"file ends with the header", "#\n", "#\n"},
      {"file ends with empty lines after the header", "#\n\n\n", "#\n\n\n"},
  };
  const std::string pp = "#\n# PP configuration\n#\npp select 1\n";
  const std::string title = "#\n# IP filter configuration\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto run =
        RunConversion(kListingStart + pp + " description pp \"PRV/FGA_TERM/0:A\"\n pp enable 1\n" +
                      title + c.section);
    std::string section = c.expected;
    if (size_t at = section.find('F'); at != std::string::npos)
      section.replace(at, 1, "ip filter 500000 restrict * * * * *");
    ExpectConverted(run, kConverterTftp,
                    kListingStart + ProviderTypeBlock("A") + pp +
                        " pp name \"PRV/1/1/5/0/0/0:A\"\n pp enable 1\n"
                        "\n # Provider information\n\n"
                        "provider set 1 \"A\"\n" +
                        title + section);
  }
}

// In a listing the PP step's provider type section goes between the LAN
// step's section and the PP header.
TEST(PpProviderListing, BothProviderStepsWriteTheirSections) {
  auto run = RunConversion(kListingStart + Text(R"(
ip lan2 nat descriptor 1
description lan2 PRV/DHCP/1:Cable

#
# PP configuration
#
pp select 1
 description pp "PRV/PPPoE/0:MyISP"
 pp enable 1
dns server select 500001 pp 1 any . restrict pp 1

#
# IP filter configuration
#
ip filter 1 pass * * * * *

#
# NAT configuration
#
)"));
  ExpectConverted(run, kConverterTftp, kListingStart + Text(R"(
ip lan2 nat descriptor 1

#
# Provider Type configuration
#

provider lan1 name LAN:
provider lan2 name "PRV/0/1/5/0/0/0:Cable"

#
# Provider Type configuration
#

provider lan1 name LAN:
provider type isdn-terminal
provider filter routing connection
provider lan2 name "PPPoE/0/1/5/0/0/0:MyISP"

#
# PP configuration
#
pp select 1
 pp name "PRV/1/1/5/0/0/0:MyISP"
 pp enable 1

 # Provider information

provider set 1 "MyISP"
 provider dns server pp 1 1
 provider select 1
dns server select 500001 pp 1 any . restrict pp 1

#
# IP filter configuration
#
ip filter 1 pass * * * * *
ip filter 500000 restrict * * * * *
ip filter 500000 restrict * * * * *

#
# NAT configuration
#
)"));
}

TEST(PpProviderListing, FailuresReportNotConvertibleAndWriteNothing) {
  const std::string pp = "pp select 1\n description pp \"PRV/FGA_LAN/0:A\"\n pp enable 1\n";
  struct Case {
    const char* what;
    std::string input;
  };
  const Case cases[] = {
      {"no PP header", std::string(kListingStart) + pp + "#\n# IP filter configuration\n#\n"},
      {"no IP filter header", std::string(kListingStart) + "#\n# PP configuration\n#\n" + pp},
      {"PP title between other lines than frames", std::string(kListingStart) +
                                                       "#\n# PP configuration\nx\n" + pp +
                                                       "#\n# IP filter configuration\n#\n"},
      {"PPPoE PP without its DNS line", std::string(kListingStart) +
                                            "#\n# PP configuration\n#\npp select 1\n"
                                            " description pp \"PRV/PPPoE/0:A\"\n pp enable 1\n"
                                            "#\n# IP filter configuration\n#\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectNotConvertible(RunConversion(c.input), kConverterTftp);
  }
}

}  // namespace
