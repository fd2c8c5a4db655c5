// The LAN2/DHCP provider conversion, run through the engine on files.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "convert/convert_test_support.h"

namespace {

// A PP section as the LAN step finds it and the other steps leave it.
const char kPpSection[] =
    "#\n"
    "# PP configuration\n"
    "#\n"
    "pp select none\n";

// The provider section the sectioned variant writes for MyISP.
const char kProviderSection[] =
    "#\n"
    "# Provider Type configuration\n"
    "#\n"
    "\n"
    "provider lan1 name LAN:\n"
    "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
    "\n";

TEST(LanProviderGui, ConvertsTheDescriptionIntoProviderLinesAndFilter) {
  ExpectConverted(
      "ip lan2 address dhcp\n"
      "ip lan2 nat descriptor 1\n"
      "description lan2 \"PRV/DHCP/1:MyISP\"\n"
      "ip filter 1 pass * * * * *\n"
      "nat descriptor type 1 masquerade\n"
      "nat descriptor address outer 1 primary\n",
      "ip lan2 address dhcp\n"
      "ip lan2 nat descriptor 1\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
      "ip filter 1 pass * * * * *\n"
      "ip filter 500000 restrict * * * * *\n"
      "nat descriptor type 1 masquerade\n"
      "nat descriptor address outer 1 primary\n",
      kConverterGui);
}

struct ProviderNameCase {
  const char* description;
  const char* name;
  bool finalLineEnd = true;  // whether the input's last line ends in LF
};

void PrintTo(const ProviderNameCase& c, std::ostream* os) {
  *os << c.description;
}

class LanProviderName : public ::testing::TestWithParam<ProviderNameCase> {};

TEST_P(LanProviderName, IsTakenUpToTheLastQuote) {
  const ProviderNameCase& c = GetParam();
  ExpectConverted(std::string("ip lan2 nat descriptor 1\n") + c.description +
                      "\n"
                      "nat descriptor type 1 masquerade" +
                      (c.finalLineEnd ? "\n" : ""),
                  std::string("ip lan2 nat descriptor 1\n"
                              "provider lan1 name LAN:\n"
                              "provider lan2 name \"PRV/0/1/5/0/0/0:") +
                      c.name +
                      "\"\n"
                      "ip filter 500000 restrict * * * * *\n"
                      "nat descriptor type 1 masquerade\n",
                  kConverterGui);
}

INSTANTIATE_TEST_SUITE_P(
    DescriptionForms, LanProviderName,
    ::testing::Values(
        ProviderNameCase{"description lan2 PRV/DHCP/3:abc", "abc"},
        ProviderNameCase{"description lan2 \"PRV/DHCP/3:abc\"", "abc"},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:\"", ""},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:ab\\\"", "ab\\\""},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:x\" # uplink", "x"},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:x\"  ", "x"},
        ProviderNameCase{"description lan2 PRV/DHCP/1:abc  # uplink", "abc  "},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:a\"b\"", "a\"b"},
        // A "#" inside quotes is no comment, a lone CR stays
        // inside its line, a tab may precede the comment, and
        // the last line gets its CR LF.
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:a#b\rc\"\t# uplink", "a#b\rc", false},
        ProviderNameCase{"description lan2 \"PRV/DHCP/1:100%s %d\"", "100%s %d"},
        ProviderNameCase{"description lan2 \"PRV/DHCP/12:プロバイダ\"", "プロバイダ"}));

TEST(LanProviderGui, InputWithoutLanDhcpDescriptionIsUnchanged) {
  // Other interfaces, other kinds and other cases of the marker do not count.
  const std::string input =
      "ip lan2 nat descriptor 1\n"
      "description lan1 \"PRV/DHCP/1:MyISP\"\n"
      "description lan2 \"PRV/dhcp/1:MyISP\"\n"
      "description lan2 \"PRV/DHCP/:MyISP\"\n"
      "# description lan2 \"PRV/DHCP/1:MyISP\"\n"
      "nat descriptor type 1 masquerade\n";
  ExpectConverted(input, input, kConverterGui);
}

TEST(LanProviderGui, OnlyTheLastOfTwoDescriptionsIsConverted) {
  ExpectConverted(
      "description lan2 \"PRV/DHCP/1:First\"\n"
      "ip lan2 nat descriptor 1\n"
      "description lan2 \"PRV/DHCP/2:Second\"\n"
      "nat descriptor type 1 masquerade\n",
      "description lan2 \"PRV/DHCP/1:First\"\n"
      "ip lan2 nat descriptor 1\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:Second\"\n"
      "ip filter 500000 restrict * * * * *\n"
      "nat descriptor type 1 masquerade\n",
      kConverterGui);
}

TEST(LanProviderGui, UsesTheLastNatBindingAndTheLastDescriptorType) {
  ExpectConverted(
      "ip lan2 nat descriptor 1\n"
      "nat descriptor type 1 masquerade\n"
      "description lan2 PRV/DHCP/1:MyISP\n"
      "ip lan2 nat descriptor 2\n"
      "ip lan1 address 192.168.0.1/24\n"
      "nat descriptor type 2 nat\n"
      "nat descriptor address outer 2 primary\n",
      "ip lan2 nat descriptor 1\n"
      "nat descriptor type 1 masquerade\n"
      "ip lan2 nat descriptor 2\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
      "ip lan1 address 192.168.0.1/24\n"
      "ip filter 500000 restrict * * * * *\n"
      "nat descriptor type 2 nat\n"
      "nat descriptor address outer 2 primary\n",
      kConverterGui);
}

TEST(LanProviderGui, FailsWithoutALanNatBinding) {
  ExpectNotConvertible(
      "ip lan1 nat descriptor 1\n"
      "description lan2 \"PRV/DHCP/1:MyISP\"\n"
      "nat descriptor type 1 masquerade\n",
      kConverterGui);
}

TEST(LanProviderGui, FailsWithoutANatDescriptorType) {
  ExpectNotConvertible(
      "ip lan2 nat descriptor 1\n"
      "description lan2 \"PRV/DHCP/1:MyISP\"\n",
      kConverterGui);
}

TEST(LanProviderTftp, ConvertsTheDescriptionIntoAProviderSection) {
  ExpectConverted(std::string(kListingStart) +
                      "ip lan2 nat descriptor 1\n"
                      "description lan2 PRV/DHCP/1:MyISP\n"
                      "\n" +
                      kPpSection +
                      "\n"
                      "#\n"
                      "# IP filter configuration\n"
                      "#\n"
                      "ip filter 1 pass * * * * *\n"
                      "ip filter 2 reject * * * * *\n"
                      "\n"
                      "nat descriptor type 1 masquerade\n",
                  std::string(kListingStart) +
                      "ip lan2 nat descriptor 1\n"
                      "\n" +
                      kProviderSection + kPpSection +
                      "\n"
                      "#\n"
                      "# IP filter configuration\n"
                      "#\n"
                      "ip filter 1 pass * * * * *\n"
                      "ip filter 2 reject * * * * *\n"
                      "ip filter 500000 restrict * * * * *\n"
                      "\n"
                      "nat descriptor type 1 masquerade\n",
                  kConverterTftp);
}

TEST(LanProviderTftp, ProviderSectionGoesBeforeTheLastPpHeader) {
  ExpectConverted(std::string(kListingStart) +
                      "description lan2 \"PRV/DHCP/1:MyISP\"\n"
                      "\n" +
                      kPpSection + "\n" + kPpSection +
                      "\n"
                      "#\n"
                      "# IP filter configuration\n"
                      "#\n"
                      "ip filter 1 pass * * * * *\n",
                  std::string(kListingStart) + "\n" + kPpSection + "\n" + kProviderSection +
                      kPpSection +
                      "\n"
                      "#\n"
                      "# IP filter configuration\n"
                      "#\n"
                      "ip filter 1 pass * * * * *\n",
                  kConverterTftp);
}

// The IP filter sections below follow a PP section; the listing, the
// description and the provider section are the same in every case.
struct FilterSectionCase {
  const char* name;
  const char* section;    // from the IP filter header to the end
  const char* converted;  // the same lines after the conversion
};

void PrintTo(const FilterSectionCase& c, std::ostream* os) {
  *os << c.name;
}

class LanProviderFilterSection : public ::testing::TestWithParam<FilterSectionCase> {};

TEST_P(LanProviderFilterSection, GetsTheCatchAllFilterAtItsEnd) {
  const FilterSectionCase& c = GetParam();
  const std::string head = std::string(kListingStart) + "description lan2 \"PRV/DHCP/1:MyISP\"\n";
  ExpectConverted(head + kPpSection + c.section,
                  std::string(kListingStart) + kProviderSection + kPpSection + c.converted,
                  kConverterTftp);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LanProviderFilterSection,
    ::testing::Values(
        // Directly followed by the next header: in front of its opening frame.
        FilterSectionCase{"NextHeaderWithoutEmptyLine",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "#\n# NAT configuration\n#\n"
                          "nat descriptor type 1 masquerade\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "#\n# NAT configuration\n#\n"
                          "nat descriptor type 1 masquerade\n"},
        // No commands and the next header at once: the following comment
        // line already counts, so the filter lands inside the IP filter
        // header, in front of its closing frame.
        FilterSectionCase{"NoCommandsNextHeader",
                          "#\n# IP filter configuration\n#\n"
                          "#\n# NAT configuration\n#\n",
                          "#\n# IP filter configuration\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "#\n"
                          "#\n# NAT configuration\n#\n"},
        // No commands, then an empty line: the next header's frame behind
        // the empty line makes that line the end.
        FilterSectionCase{"NoCommandsEmptyLineNextHeader",
                          "#\n# IP filter configuration\n#\n"
                          "\n"
                          "#\n# NAT configuration\n#\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "\n"
                          "#\n# NAT configuration\n#\n"},
        // A comment line after the first command ends the section.
        FilterSectionCase{"CommentAfterCommand",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "# reject the rest\n"
                          "ip filter 2 reject * * * * *\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "# reject the rest\n"
                          "ip filter 2 reject * * * * *\n"},
        // The section's empty last line is the end of the store as well.
        FilterSectionCase{"EmptyLastLine",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "\n"},
        // Commands up to the last line: no place for the filter.
        FilterSectionCase{"CommandsToTheEnd",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"},
        // The header is the end of the store: its closing frame has no line
        // after it to look at.
        FilterSectionCase{"HeaderAtTheEnd", "#\n# IP filter configuration\n#\n",
                          "#\n# IP filter configuration\n#\n"},
        // Only empty lines after the header, up to the end of the store.
        FilterSectionCase{"EmptyLinesToTheEnd", "#\n# IP filter configuration\n#\n\n\n",
                          "#\n# IP filter configuration\n#\n\n\n"},
        // Of two IP filter sections, the last one gets the filter.
        FilterSectionCase{"TwoSections",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "\n"
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 2 pass * * * * *\n"
                          "\n",
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 1 pass * * * * *\n"
                          "\n"
                          "#\n# IP filter configuration\n#\n"
                          "ip filter 2 pass * * * * *\n"
                          "ip filter 500000 restrict * * * * *\n"
                          "\n"}),
    [](const ::testing::TestParamInfo<FilterSectionCase>& info) { return info.param.name; });

TEST(LanProviderTftp, FailsWithoutAPpHeader) {
  ExpectNotConvertible(std::string(kListingStart) +
                           "description lan2 \"PRV/DHCP/1:MyISP\"\n"
                           "\n"
                           "#\n# IP filter configuration\n#\n"
                           "ip filter 1 pass * * * * *\n"
                           "\n",
                       kConverterTftp);
}

TEST(LanProviderTftp, FailsWithoutAnIpFilterHeader) {
  ExpectNotConvertible(std::string(kListingStart) +
                           "description lan2 \"PRV/DHCP/1:MyISP\"\n"
                           "\n" +
                           kPpSection,
                       kConverterTftp);
}

TEST(LanProviderTftp, ListingWithoutLanDhcpDescriptionIsUnchanged) {
  // Neither header is needed when there is nothing to convert.
  const std::string input = std::string(kListingStart) + "ip lan2 address dhcp\n";
  ExpectConverted(input, input, kConverterTftp);
}

// With both a LAN2/DHCP provider and a PPPoE PP, each provider step writes
// its own provider lines and filter line; where the two groups land follows
// the input's layout. The NTP line then follows the last provider LAN2 line.
const char kPppoePp[] =
    "pp select 1\n"
    " description pp \"PRV/PPPoE/0:PPP ISP\"\n"
    " pp enable 1\n";
const char kPppoePpConverted[] =
    "pp select 1\n"
    " pp name \"PRV/1/1/5/0/0/0:PPP ISP\"\n"
    " pp enable 1\n";
const char kPppoePpProviderLines[] =
    "provider set 1 \"PPP ISP\"\n"
    " provider dns server pp 1 1\n"
    " provider select 1\n";
const char kPpProviderBlock[] =
    "provider lan1 name LAN:\n"
    "provider type isdn-terminal\n"
    "provider filter routing connection\n"
    "provider lan2 name \"PPPoE/0/1/5/0/0/0:PPP ISP\"\n";
const char kLanProviderLines[] =
    "provider lan1 name LAN:\n"
    "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n";
const char kDnsSelect[] = "dns server select 500001 pp 1 any . restrict pp 1\n";
const char kNtpSchedule[] = "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n";
const char kNtpdate[] = "provider ntpdate 192.168.0.1\n";
const char kTwoFilters[] =
    "ip filter 500000 restrict * * * * *\n"
    "ip filter 500000 restrict * * * * *\n";

TEST(ProviderStepsGui, LanProviderLinesBeforeThePpBlock) {
  ExpectConverted(std::string("ip lan2 nat descriptor 1\n"
                              "description lan2 \"PRV/DHCP/1:MyISP\"\n") +
                      kPppoePp + kDnsSelect + "nat descriptor type 1 masquerade\n" + kNtpSchedule,
                  std::string("ip lan2 nat descriptor 1\n") + kLanProviderLines + kPpProviderBlock +
                      kNtpdate + kPppoePpConverted + kPppoePpProviderLines + kDnsSelect +
                      kTwoFilters + "nat descriptor type 1 masquerade\n" + kNtpSchedule,
                  kConverterGui);
}

TEST(ProviderStepsGui, PpBlockBeforeTheLanProviderLines) {
  ExpectConverted(std::string(kPppoePp) +
                      "ip lan2 nat descriptor 1\n"
                      "description lan2 \"PRV/DHCP/1:MyISP\"\n" +
                      kDnsSelect + "nat descriptor type 1 masquerade\n" + kNtpSchedule,
                  std::string(kPpProviderBlock) + kPppoePpConverted + kPppoePpProviderLines +
                      "ip lan2 nat descriptor 1\n" + kLanProviderLines + kNtpdate + kDnsSelect +
                      kTwoFilters + "nat descriptor type 1 masquerade\n" + kNtpSchedule,
                  kConverterGui);
}

const char kProviderTypeHeader[] =
    "#\n"
    "# Provider Type configuration\n"
    "#\n"
    "\n";
const char kPpHeader[] =
    "#\n"
    "# PP configuration\n"
    "#\n";
const char kPpInformation[] =
    "\n"
    " # Provider information\n"
    "\n";
const char kIpFilterSection[] =
    "#\n"
    "# IP filter configuration\n"
    "#\n"
    "ip filter 1 pass * * * * *\n";

TEST(ProviderStepsTftp, LanSectionBeforeThePpSection) {
  // One PP header: the LAN step's section first, the PP step's second.
  ExpectConverted(
      std::string(kListingStart) +
          "ip lan2 nat descriptor 1\n"
          "description lan2 PRV/DHCP/1:MyISP\n" +
          kNtpSchedule + "\n" + kPpHeader + kPppoePp + kDnsSelect + "\n" + kIpFilterSection + "\n",
      std::string(kListingStart) + "ip lan2 nat descriptor 1\n" + kNtpSchedule + "\n" +
          kProviderTypeHeader + kLanProviderLines + "\n" + kProviderTypeHeader + kPpProviderBlock +
          kNtpdate + "\n" + kPpHeader + kPppoePpConverted + kPpInformation + kPppoePpProviderLines +
          kDnsSelect + "\n" + kIpFilterSection + kTwoFilters + "\n",
      kConverterTftp);
}

TEST(ProviderStepsTftp, PpSectionBeforeTheLanSection) {
  // Two PP headers: the PP step writes in front of the first, the LAN step
  // in front of the last.
  ExpectConverted(std::string(kListingStart) +
                      "ip lan2 nat descriptor 1\n"
                      "description lan2 PRV/DHCP/1:MyISP\n" +
                      kNtpSchedule + "\n" + kPpHeader + kPppoePp + kDnsSelect + "\n" + kPpHeader +
                      "pp select none\n"
                      "\n" +
                      kIpFilterSection + "\n",
                  std::string(kListingStart) + "ip lan2 nat descriptor 1\n" + kNtpSchedule + "\n" +
                      kProviderTypeHeader + kPpProviderBlock + "\n" + kPpHeader +
                      kPppoePpConverted + kPpInformation + kPppoePpProviderLines + kDnsSelect +
                      "\n" + kProviderTypeHeader + kLanProviderLines + kNtpdate + "\n" + kPpHeader +
                      "pp select none\n\n" + kIpFilterSection + kTwoFilters + "\n",
                  kConverterTftp);
}

}  // namespace
