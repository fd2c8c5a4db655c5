// PP provider conversion of web-GUI saves through the whole engine: input
// file in, output file compared byte for byte.
#include <string>

#include "convert/pp_provider_test_support.h"

namespace {

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

// Two PPs of one number take the same, first, enable line: each one's lines
// go right after it, so the later PP's stand in front.
TEST(PpProviderGui, PpsOfOneNumberShareTheFirstEnableLine) {
  auto run = RunConversion(Text(R"(
pp select 1
 description pp "PRV/FGA_LAN/0:A"
pp select 1
 description pp "PRV/FGA_TERM/0:B"
 pp enable 1
)"));
  ExpectConverted(run, kConverterGui, ProviderBlock("B") + Text(R"(
pp select 1
 pp name "PRV/1/1/5/0/0/0:A"
pp select 1
 pp name "PRV/1/1/5/0/0/0:B"
 pp enable 1
provider set 1 "B"
provider set 1 "A"
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

}  // namespace
