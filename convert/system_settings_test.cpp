// The NTP schedule conversion, run through the engine on files.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "convert/convert_test_support.h"

namespace {

const char kPpSection[] =
    "#\n"
    "# PP configuration\n"
    "#\n"
    "pp select none\n";

const char kSchedule[] = "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n";

TEST(SystemSettingsGui, NtpdateFollowsTheProviderLines) {
  ExpectConverted(
      "ip lan2 nat descriptor 1\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
      "ip filter 500000 restrict * * * * *\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n",
      "ip lan2 nat descriptor 1\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
      "provider ntpdate 192.168.0.1\n"
      "ip filter 500000 restrict * * * * *\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n",
      kConverterGui);
}

TEST(SystemSettingsGui, FirstScheduleFollowsRemoteSetup) {
  ExpectConverted(
      "ip lan1 address 192.168.100.1/24\n"
      "remote setup accept 192.168.100.2\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1\n"
      "schedule at 2 */* 06:00 * ntpdate 192.168.0.2 syslog\n",
      "ip lan1 address 192.168.100.1/24\n"
      "remote setup accept 192.168.100.2\n"
      "provider ntpdate 192.168.0.1\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1\n"
      "schedule at 2 */* 06:00 * ntpdate 192.168.0.2 syslog\n",
      kConverterGui);
}

TEST(SystemSettingsGui, LanDhcpProviderAndScheduleConvertTogether) {
  ExpectConverted(
      "ip lan2 address dhcp\n"
      "ip lan2 nat descriptor 1\n"
      "description lan2 \"PRV/DHCP/1:MyISP\"\n"
      "remote setup accept 192.168.100.2\n"
      "nat descriptor type 1 masquerade\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n",
      "ip lan2 address dhcp\n"
      "ip lan2 nat descriptor 1\n"
      "provider lan1 name LAN:\n"
      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
      "provider ntpdate 192.168.0.1\n"
      "remote setup accept 192.168.100.2\n"
      "ip filter 500000 restrict * * * * *\n"
      "nat descriptor type 1 masquerade\n"
      "schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog\n",
      kConverterGui);
}

struct AnchorCase {
  const char* name;
  const char* lines;      // in front of the schedule
  const char* converted;  // the same lines with the ntpdate line
};

void PrintTo(const AnchorCase& c, std::ostream* os) {
  *os << c.name;
}

class SystemSettingsAnchor : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(SystemSettingsAnchor, ChoosesTheFirstKindFoundAndItsLastLine) {
  const AnchorCase& c = GetParam();
  ExpectConverted(std::string(c.lines) + kSchedule, std::string(c.converted) + kSchedule,
                  kConverterGui);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SystemSettingsAnchor,
    ::testing::Values(AnchorCase{"ProviderBeforeRemoteSetup",
                                 "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
                                 "remote setup accept 192.168.100.2\n"
                                 "ip lan1 address 192.168.100.1/24\n",
                                 "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
                                 "provider ntpdate 192.168.0.1\n"
                                 "remote setup accept 192.168.100.2\n"
                                 "ip lan1 address 192.168.100.1/24\n"},
                      AnchorCase{"RemoteSetupBeforeInterfaces",
                                 "remote setup accept 192.168.100.2\n"
                                 "remote setup accept 192.168.100.3\n"
                                 "ip lan1 address 192.168.100.1/24\n",
                                 "remote setup accept 192.168.100.2\n"
                                 "remote setup accept 192.168.100.3\n"
                                 "provider ntpdate 192.168.0.1\n"
                                 "ip lan1 address 192.168.100.1/24\n"},
                      AnchorCase{"AnyCommandOfAnInterface",
                                 "ip lan1 address 192.168.100.1/24\n"
                                 "ip lan2 nat descriptor 1\n"
                                 "ip filter 1 pass * * * * *\n",
                                 "ip lan1 address 192.168.100.1/24\n"
                                 "ip lan2 nat descriptor 1\n"
                                 "provider ntpdate 192.168.0.1\n"
                                 "ip filter 1 pass * * * * *\n"},
                      AnchorCase{"WanAndBridge",
                                 "ip bridge1 address 10.0.0.1/8\n"
                                 "ip wan1 address dhcp\n"
                                 "ipv6 lan1 address fe80::1\n"
                                 "ip lan address 192.168.100.1/24\n",
                                 "ip bridge1 address 10.0.0.1/8\n"
                                 "ip wan1 address dhcp\n"
                                 "provider ntpdate 192.168.0.1\n"
                                 "ipv6 lan1 address fe80::1\n"
                                 "ip lan address 192.168.100.1/24\n"}),
    [](const ::testing::TestParamInfo<AnchorCase>& info) { return info.param.name; });

struct ServerCase {
  const char* schedule;
  const char* ntpdate;
};

void PrintTo(const ServerCase& c, std::ostream* os) {
  *os << c.schedule;
}

class SystemSettingsServer : public ::testing::TestWithParam<ServerCase> {};

TEST_P(SystemSettingsServer, IsTheRestOfTheScheduleBeforeSyslog) {
  const ServerCase& c = GetParam();
  const std::string anchor = "remote setup accept 192.168.100.2\n";
  ExpectConverted(anchor + c.schedule + "\n", anchor + c.ntpdate + "\n" + c.schedule + "\n",
                  kConverterGui);
}

INSTANTIATE_TEST_SUITE_P(
    ScheduleForms, SystemSettingsServer,
    ::testing::Values(ServerCase{"schedule at 1 */* 12:00 * ntpdate 192.168.0.1 syslog",
                                 "provider ntpdate 192.168.0.1"},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate 192.168.0.1",
                                 "provider ntpdate 192.168.0.1"},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate 192.168.0.1 # daily",
                                 "provider ntpdate 192.168.0.1 "},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate 192.168.0.1 -b syslog",
                                 "provider ntpdate 192.168.0.1 -b"},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate 192.168.0.1 -b",
                                 "provider ntpdate 192.168.0.1 -b"},
                      ServerCase{"schedule at 10 startup * ntpdate ntp.example.jp",
                                 "provider ntpdate ntp.example.jp"},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate", "provider ntpdate"},
                      ServerCase{"schedule at 1 */* 12:00 * ntpdate syslog", "provider ntpdate"}));

TEST(SystemSettingsGui, InputWithoutNtpScheduleIsUnchanged) {
  // No anchor is needed when there is nothing to convert.
  const std::string input =
      "schedule at 1 */* 12:00 * lua /script.lua\n"
      "schedule at */* 12:00 * ntpdate 192.168.0.1\n"
      "# schedule at 1 */* 12:00 * ntpdate 192.168.0.1\n";
  ExpectConverted(input, input, kConverterGui);
}

TEST(SystemSettingsGui, FailsWithoutAnyAnchor) {
  ExpectNotConvertible(kSchedule, kConverterGui);
}

TEST(SystemSettingsTftp, NtpdateGetsAProviderSectionBeforeThePpHeader) {
  ExpectConverted(std::string(kListingStart) + kSchedule + "\n" + kPpSection,
                  std::string(kListingStart) + kSchedule +
                      "\n"
                      "#\n"
                      "# Provider Type configuration\n"
                      "#\n"
                      "\n"
                      "provider ntpdate 192.168.0.1\n"
                      "\n" +
                      kPpSection,
                  kConverterTftp);
}

TEST(SystemSettingsTftp, NtpdateJoinsTheLanDhcpProviderSection) {
  ExpectConverted(std::string(kListingStart) +
                      "ip lan2 nat descriptor 1\n"
                      "description lan2 PRV/DHCP/1:MyISP\n" +
                      kSchedule + "\n" + kPpSection +
                      "\n"
                      "#\n# IP filter configuration\n#\n"
                      "ip filter 1 pass * * * * *\n"
                      "\n",
                  std::string(kListingStart) + "ip lan2 nat descriptor 1\n" + kSchedule +
                      "\n"
                      "#\n"
                      "# Provider Type configuration\n"
                      "#\n"
                      "\n"
                      "provider lan1 name LAN:\n"
                      "provider lan2 name \"PRV/0/1/5/0/0/0:MyISP\"\n"
                      "provider ntpdate 192.168.0.1\n"
                      "\n" +
                      kPpSection +
                      "\n"
                      "#\n# IP filter configuration\n#\n"
                      "ip filter 1 pass * * * * *\n"
                      "ip filter 500000 restrict * * * * *\n"
                      "\n",
                  kConverterTftp);
}

TEST(SystemSettingsTftp, ProviderLineAnchorNeedsNoPpHeader) {
  ExpectConverted(std::string(kListingStart) +
                      "provider lan2 name \"PRV/0/1/5/0/0/0:A\"\n"
                      "provider lan2 name \"PRV/0/1/5/0/0/0:B\"\n" +
                      kSchedule,
                  std::string(kListingStart) +
                      "provider lan2 name \"PRV/0/1/5/0/0/0:A\"\n"
                      "provider lan2 name \"PRV/0/1/5/0/0/0:B\"\n"
                      "provider ntpdate 192.168.0.1\n" +
                      kSchedule,
                  kConverterTftp);
}

TEST(SystemSettingsTftp, ProviderSectionGoesBeforeTheLastPpHeader) {
  ExpectConverted(std::string(kListingStart) + kSchedule + "\n" + kPpSection + "\n" + kPpSection,
                  std::string(kListingStart) + kSchedule + "\n" + kPpSection +
                      "\n"
                      "#\n"
                      "# Provider Type configuration\n"
                      "#\n"
                      "\n"
                      "provider ntpdate 192.168.0.1\n"
                      "\n" +
                      kPpSection,
                  kConverterTftp);
}

TEST(SystemSettingsTftp, PpHeaderOnTheFirstLinesGetsTheSectionAtTheTop) {
  ExpectConverted(std::string(kPpSection) + kListingStart + kSchedule,
                  std::string("\n"
                              "#\n"
                              "# Provider Type configuration\n"
                              "#\n"
                              "\n"
                              "provider ntpdate 192.168.0.1\n") +
                      kPpSection + kListingStart + kSchedule,
                  kConverterTftp);
}

TEST(SystemSettingsTftp, FailsWithoutProviderLineOrPpHeader) {
  ExpectNotConvertible(
      std::string(kListingStart) + kSchedule + "\n" + "remote setup accept 192.168.100.2\n",
      kConverterTftp);
}

TEST(SystemSettingsTftp, ListingWithoutNtpScheduleIsUnchanged) {
  const std::string input = std::string(kListingStart) + "remote setup accept 192.168.100.2\n";
  ExpectConverted(input, input, kConverterTftp);
}

}  // namespace
