// For the tests and benchmarks of the search: every pattern the conversion
// steps search with, and the generated configurations they run over.
#ifndef CNV_REGEX_SEARCH_TEST_SUPPORT_H_
#define CNV_REGEX_SEARCH_TEST_SUPPORT_H_

#include <fstream>
#include <string>
#include <vector>

struct ConverterPattern {
  const char* id;        // a short name for test and benchmark names
  std::u16string text;   // in the converter's syntax, numbers filled in
  bool includeComments;  // searched in comment parts as well
};

// The patterns of the conversion steps, each as the steps pass it to
// FindLines, FindLineSequence or MatchAllInText; templates are filled in
// with the numbers of a typical PP (5, whose description carries 4 and
// whose DNS selector is 500005) and of the first PP (1).
inline std::vector<ConverterPattern> ConverterPatterns() {
  const std::u16string ipv4 = u"[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+";
  const std::u16string dnsServer = u"((pp 5)|(" + ipv4 + u")|(" + ipv4 + u"[ \\t]+" + ipv4 + u"))";
  return {
      // Recognition of the sectioned listing and its section headers.
      {"clear_configuration", u"{#?[ \\t]*clear configuration[ \\t]*}", true},
      {"system_configuration", u"{#+[ \\t]*System configuration[ \\t]*}", true},
      {"header_frame", u"{#+[ \\t]*}", true},
      {"header_pp", u"{#+[ \\t]*PP configuration[ \\t]*}", true},
      {"header_ip_filter", u"{#+[ \\t]*IP filter configuration[ \\t]*}", true},
      // LAN2/DHCP provider.
      {"lan2_dhcp_description", u"{description lan2 [\"]?PRV/DHCP/[0-9]+:}", false},
      {"lan2_nat_descriptor", u"{ip lan2 nat descriptor}", false},
      {"nat_descriptor_type", u"{nat descriptor type}", false},
      // PP providers.
      {"pppoe_description", u"{description pp [\"]?PRV/PPPoE}", false},
      {"fga_description", u"{description pp [\"]?PRV/((FGA_LAN)|(FGA_TERM))}", false},
      {"pp_select", u"{pp select [0-9]+[ \\t]*}", false},
      {"pp_description_n", u"{description pp [\"]?PRV/((PPPoE)|(FGA_LAN)|(FGA_TERM))/4:}", false},
      {"dns_server_select_n",
       u"{dns server select 500005[ \\t]+" + dnsServer + u"[ \\t]+any . restrict pp 5}", false},
      {"dns_server_part_n", u"{" + dnsServer + u"[ \\t]+any}", false},
      {"pp_enable_n", u"{pp enable 5}![0-9]", false},
      {"pp_select_n", u"{pp select 1}![0-9]", false},
      {"number", u"{[0-9]+}", false},
      // NTP schedule and the anchors of its line.
      {"schedule_ntpdate", u"{schedule at [0-9]+.+ntpdate}", false},
      {"provider_lan2_name", u"{provider lan2 name}", false},
      {"remote_setup_accept", u"{remote setup accept}", false},
      {"interface_address", u"{ip ((lan)|(wan)|(bridge))[0-9]+[ \\t]*}", false},
      // URL filter.
      {"url_database_use", u"{url filter external-database use (reputation off category )?}",
       false},
      {"url_database_id", u"{url filter external-database id[ \\t]*}", false},
      {"reputation_not_off", u"{reputation !(off)}", false},
      {"reputation_off_category", u"{reputation off category }", false},
      {"url_binding",
       u"{[ \\t]*url ((lan1)|(lan2)|(wan1)|(pp)|(tunnel)) filter ((out)|(in))(([ \\t]+[0-9]+)+)?}",
       false},
      {"url_rule", u"{[ \\t]*url filter[ \\t]*[0-9]+[ \\t]*((reject)|(pass))}", false},
      {"url_rule_number", u"{url filter[ \\t]*[0-9]+[ \\t]*((reject)|(pass))}", false},
      {"url_category_rule", u"{[ \\t]*url filter external-database category[ \\t]*[0-9]+}", false},
      {"url_category_number", u"{url filter external-database category[ \\t]*[0-9]+}", false},
      {"tunnel_select", u"{tunnel select [0-9]+[ \\t]*}", false},
      {"listed_number", u"{[ \\t]+[0-9]+}", false},
      // External memory.
      {"usbhost_filename", u"{usbhost ((config)|(exec)|(statistics)|(syslog)) filename}", false},
  };
}

// The lines of a generated configuration (ASCII text, CR LF or LF line
// ends); empty when the file cannot be read.
inline std::vector<std::u16string> ReadGeneratedLines(const std::string& path) {
  std::vector<std::u16string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.emplace_back(line.begin(), line.end());
  }
  return lines;
}

#endif  // CNV_REGEX_SEARCH_TEST_SUPPORT_H_
