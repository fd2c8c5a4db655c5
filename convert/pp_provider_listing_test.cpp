// PP provider conversion of sectioned listings through the whole engine:
// input file in, output file compared byte for byte.
#include <string>

#include "convert/pp_provider_test_support.h"

namespace {

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
