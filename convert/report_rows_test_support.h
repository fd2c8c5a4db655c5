// Small inputs that each give one notice or failure of the report, with
// the input line it must name: the engine's tests check the report, the
// tool's the words it prints for them.
#ifndef CNV_CONVERT_REPORT_ROWS_TEST_SUPPORT_H_
#define CNV_CONVERT_REPORT_ROWS_TEST_SUPPORT_H_

#include <ostream>
#include <string>

#include "convert/convert_test_support.h"

// A notice of `code`, or (with a `reason`) the failure of `code` whose
// reason contains `reason`, on `inputLine` (0: about the input as a whole).
struct ReportRow {
  const char* name;
  std::string input;
  const char* code;
  int inputLine;
  const char* reason = nullptr;
};

inline void PrintTo(const ReportRow& row, std::ostream* os) {
  *os << row.name;
}

// A listing with a LAN2/DHCP marker whose last IP filter section (title on
// line 14) runs to the end of the file: no place for the catch-all line.
inline const std::string kListingWithoutFilterEnd =
    std::string(kListingStart) +
    "ip lan2 nat descriptor 1\ndescription lan2 PRV/DHCP/1:Metro\n\n#\n# PP configuration\n#\n"
    "pp select 1\n\n#\n# IP filter configuration\n#\nip filter 1 pass * * * * *\n";

inline const ReportRow kReportRows[] = {
    {"RuleNoBindingNames",
     "url filter 1 reject *.example.com\nurl filter 2 pass *\nurl lan1 filter in 1\n",
     "url-rule-dropped", 2},
    {"CategoryRuleNoBindingNames",
     "url filter external-database category 1 reject 1,2\nurl lan1 filter in\n", "url-rule-dropped",
     1},
    {"BindingNamesAMissingRule", "url filter 1 reject *.example.com\nurl lan1 filter in 1 5\n",
     "url-number-missing", 2},
    {"ReputationBinding",
     "url filter 1 reject *.example.com\nurl lan2 filter in 1\nurl lan1 filter in 1 reputation\n",
     "url-reputation-kept", 3},
    {"DatabaseReputationOn",
     "ip lan1 address 192.168.0.1/24\n"
     "url filter external-database use reputation on category trendmicro\n",
     "url-database-kept", 2},
    {"UnknownLan2Marker", "ip lan1 address 192.168.0.1/24\ndescription lan2 PRV/PPPoE/1:Metro\n",
     "marker-unknown", 2},
    {"UnknownPpMarker", "pp select 1\n description pp \"PRV/L2TP/0:Branch\"\n pp enable 1\n",
     "marker-unknown", 2},
    {"EarlierLan2DhcpMarker",
     "ip lan2 nat descriptor 1\ndescription lan2 PRV/DHCP/1:Old\ndescription lan2 PRV/DHCP/1:New\n"
     "nat descriptor type 1 masquerade\n",
     "marker-unconverted", 2},
    // A kind ends at a tab as at a blank: DHCP, known, left unconverted.
    {"Lan2DhcpMarkerEndsAtATab", "ip lan1 address 192.168.0.1/24\ndescription lan2 PRV/DHCP\tx\n",
     "marker-unconverted", 2},
    {"SecondNtpSchedule",
     "ip lan1 address 192.168.0.1/24\nschedule at 1 */* 04:30 * ntpdate ntp.example.jp syslog\n"
     "schedule at 2 */* 05:30 * ntpdate ntp.example.com syslog\n",
     "ntp-schedule-unused", 3},
    {"PpNumberTooLarge",
     "pp select 1\n description pp PRV/FGA_LAN/0:Branch\n pp enable 1\npp select 99999999999\n",
     "pp-select-skipped", 4},
    {"FilterSectionWithoutEnd", kListingWithoutFilterEnd, "filter-line-not-added", 14},
    {"PasswordFile",
     "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n",
     "not-a-configuration", 0},
    // Failures.
    {"PppoeWithoutDnsServerSelect",
     "pp select 2\n description pp \"PRV/PPPoE/1:Hikari\"\n pp enable 2\n", "dns-selector-missing",
     2, "PP 2 is marked PRV/PPPoE but has no 'dns server select 500002 ... restrict pp 2' line"},
    // PP 1 carries the marker of PP 2 (line 2); the failure names PP 2's own
    // (line 5).
    {"PppoeWithoutDnsServerSelectNamesItsOwnMarker",
     "pp select 1\n description pp \"PRV/PPPoE/1:Wrong\"\n pp enable 1\npp select 2\n"
     " description pp \"PRV/PPPoE/1:Right\"\n pp enable 2\n",
     "dns-selector-missing", 5, "PP 2 is marked PRV/PPPoE"},
    {"Lan2NatWithoutDescriptorType",
     "ip lan2 nat descriptor 1000\ndescription lan2 \"PRV/DHCP/1:Metro\"\n",
     "nat-descriptor-missing", 2,
     "LAN2 is marked PRV/DHCP but there is no 'nat descriptor type' line"},
    {"Lan2WithoutNatBinding", "ip lan2 address dhcp\ndescription lan2 PRV/DHCP/1:Metro\n",
     "lan2-nat-binding-missing", 2, "no 'ip lan2 nat descriptor' line"},
    {"PpBindingWithoutSelect", "url filter 1 pass *\nurl pp filter in 1\n", "url-select-missing", 2,
     "'pp select N' line above it"},
    {"UrlNumbersOfTwoBindings",
     "pp select 101\nurl pp filter in 1 2\ntunnel select 1\nurl tunnel filter in 5\n",
     "url-number-collision", 4,
     "url tunnel 1 filter in gets 60000, which line 2 (url pp 101 filter in, 2 rules) already "
     "uses"},
    {"UrlNumberOfAPutBackRule",
     "url filter 1 reject a\nurl filter external-database category 10000 pass x\n"
     "url lan1 filter in 1 external-database 1\nurl lan2 filter in reputation\n",
     "url-number-collision", 3,
     "url lan1 filter in gets category rule 10000, which the category rule line on line 2, put "
     "back for a reputation binding, already carries"},
    {"ScheduleWithoutAnchor", "schedule at 1 */* 04:30 * ntpdate ntp.example.jp syslog\n",
     "ntp-anchor-missing", 1, "to put 'provider ntpdate' after"},
    {"MarkersWithoutSelect", "ip lan1 address 192.168.0.1/24\ndescription pp PRV/FGA_TERM/0:x\n",
     "pp-select-missing", 2, "there is no 'pp select N' line"},
    {"ProviderWithoutPpEnable", "pp select 1\n description pp \"PRV/FGA_LAN/0:X\"\n",
     "pp-enable-missing", 2, "has no 'pp enable 1' line"},
    {"NoMarkerMatchesItsPp", "pp select 1\n description pp \"PRV/FGA_LAN/5:X\"\n pp enable 1\n",
     "pp-marker-unmatched", 2, "no marker matches the PP it is in"},
    {"ListingWithoutPpHeader",
     std::string(kListingStart) + "pp select 1\n description pp \"PRV/FGA_LAN/0:X\"\n pp enable 1\n"
                                  "#\n# IP filter configuration\n#\nip filter 1 pass * * * * *\n",
     "pp-header-missing", 6,
     "PPs are marked as providers but the listing has no 'PP configuration'"},
    {"ListingWithoutIpFilterHeader",
     std::string(kListingStart) + "#\n# PP configuration\n#\npp select 1\n"
                                  " description pp \"PRV/FGA_LAN/0:X\"\n pp enable 1\n",
     "ip-filter-header-missing", 9,
     "PPs are marked as providers but the listing has no 'IP filter"},
    {"Lan2ListingWithoutPpHeader",
     std::string(kListingStart) + "ip lan2 nat descriptor 1\ndescription lan2 PRV/DHCP/1:Metro\n"
                                  "#\n# NAT configuration\n#\nnat descriptor type 1 masquerade\n",
     "pp-header-missing", 6, "LAN2 is marked PRV/DHCP but the listing has no 'PP configuration'"},
    {"Lan2ListingWithoutIpFilterHeader",
     std::string(kListingStart) +
         "ip lan2 nat descriptor 1\ndescription lan2 PRV/DHCP/1:Metro\n"
         "#\n# PP configuration\n#\n#\n# NAT configuration\n#\nnat descriptor type 1 masquerade\n",
     "ip-filter-header-missing", 6, "LAN2 is marked PRV/DHCP but the listing has no 'IP filter"},
};

#endif  // CNV_CONVERT_REPORT_ROWS_TEST_SUPPORT_H_
