#include "bench/search_patterns.h"

#include <cstddef>

namespace {

size_t AtomEnd(const std::u16string& p, size_t i);

// Translates p[i, end) and appends it to `out`.
void Translate(const std::u16string& p, size_t i, size_t end, std::string& out) {
  while (i < end) {
    const char16_t c = p[i];
    if (c == u'{') {
      out += '(';
      ++i;
    } else if (c == u'(') {
      out += "(?:";
      ++i;
    } else if (c == u'}' || c == u')') {
      out += ')';
      ++i;
    } else if (c == u'[') {
      const size_t close = AtomEnd(p, i);
      for (size_t k = i; k < close; ++k) out += static_cast<char>(p[k]);
      i = close;
    } else if (c == u'\\' && i + 1 < end) {
      const char16_t e = p[i + 1];
      const bool letterOrDigit =
          (e >= u'a' && e <= u'z') || (e >= u'A' && e <= u'Z') || (e >= u'0' && e <= u'9');
      if (!letterOrDigit) out += '\\';
      out += static_cast<char>(e);
      i += 2;
    } else if (c == u'!') {
      const size_t atomEnd = AtomEnd(p, i + 1);
      out += "(?!";
      Translate(p, i + 1, atomEnd, out);
      out += ')';
      i = atomEnd;
    } else if (c == u'^' || c == u'$') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
}

// Index just after the atom that starts at i: a bracketed group, a class,
// an escape or one character.
size_t AtomEnd(const std::u16string& p, size_t i) {
  if (i >= p.size()) return i;
  const char16_t open = p[i];
  if (open == u'[') {
    size_t k = i + 1;
    if (k < p.size() && p[k] == u'^') ++k;
    for (; k < p.size(); ++k) {
      if (p[k] == u'\\') {
        ++k;
      } else if (p[k] == u']' && k > i + 1) {
        return k + 1;
      }
    }
    return p.size();
  }
  if (open == u'(' || open == u'{') {
    const char16_t close = open == u'(' ? u')' : u'}';
    int depth = 0;
    for (size_t k = i; k < p.size(); ++k) {
      if (p[k] == u'[') {
        k = AtomEnd(p, k) - 1;
      } else if (p[k] == u'\\') {
        ++k;
      } else if (p[k] == open) {
        ++depth;
      } else if (p[k] == close && --depth == 0) {
        return k + 1;
      }
    }
    return p.size();
  }
  if (open == u'\\') return i + 2;
  return i + 1;
}

}  // namespace

std::string ToPcreSyntax(const std::u16string& pattern) {
  std::string out;
  Translate(pattern, 0, pattern.size(), out);
  return out;
}

std::vector<SearchPattern> ConverterPatterns() {
  // Numbers filled in: PP 5 (its description carries 4, its DNS selector
  // is 500005), the first PP 1, URL filter rule 7 and category rule 3.
  static const char16_t kIpv4[] = u"[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+";
  const std::u16string ipv4(kIpv4);
  const std::u16string dnsServer = u"((pp 5)|(" + ipv4 + u")|(" + ipv4 + u"[ \\t]+" + ipv4 + u"))";
  return {
      // Recognition of the sectioned listing.
      {"clear_configuration", u"{#?[ \\t]*clear configuration[ \\t]*}", true, "", ""},
      {"system_configuration", u"{#+[ \\t]*System configuration[ \\t]*}", true, "", ""},
      // Section headers (frame and titles), searched in both parts.
      {"header_frame", u"{#+[ \\t]*}", true, "", ""},
      {"header_pp", u"{#+[ \\t]*PP configuration[ \\t]*}", true, "", ""},
      {"header_ip_filter", u"{#+[ \\t]*IP filter configuration[ \\t]*}", true, "", ""},
      // LAN2/DHCP provider.
      {"lan2_dhcp_description", u"{description lan2 [\"]?PRV/DHCP/[0-9]+:}", false, "", ""},
      {"lan2_nat_descriptor", u"{ip lan2 nat descriptor}", false, "", ""},
      {"nat_descriptor_type", u"{nat descriptor type}", false, "", ""},
      // PP providers.
      {"pppoe_description", u"{description pp [\"]?PRV/PPPoE}", false, "", ""},
      {"fga_description", u"{description pp [\"]?PRV/((FGA_LAN)|(FGA_TERM))}", false, "", ""},
      {"pp_select", u"{pp select [0-9]+[ \\t]*}", false, "", ""},
      {"pp_description_n", u"{description pp [\"]?PRV/((PPPoE)|(FGA_LAN)|(FGA_TERM))/4:}", false,
       "", ""},
      {"dns_server_select_n",
       u"{dns server select 500005[ \\t]+" + dnsServer + u"[ \\t]+any . restrict pp 5}", false, "",
       ""},
      {"dns_server_part_n", u"{" + dnsServer + u"[ \\t]+any}", false, "", ""},
      {"pp_enable_n", u"{pp enable 5}![0-9]", false, "", "(pp enable 5)(?:[^0-9]|$)"},
      {"pp_select_n", u"{pp select 1}![0-9]", false, "", "(pp select 1)(?:[^0-9]|$)"},
      {"number", u"{[0-9]+}", false, "", ""},
      // NTP schedule and its anchors.
      {"schedule_ntpdate", u"{schedule at [0-9]+.+ntpdate}", false, "", ""},
      {"provider_lan2_name", u"{provider lan2 name}", false, "", ""},
      {"remote_setup_accept", u"{remote setup accept}", false, "", ""},
      {"interface_address", u"{ip ((lan)|(wan)|(bridge))[0-9]+[ \\t]*}", false, "", ""},
      // URL filter.
      {"url_database_use", u"{url filter external-database use (reputation off category )?}", false,
       "", ""},
      {"url_database_id", u"{url filter external-database id[ \\t]*}", false, "", ""},
      {"reputation_not_off", u"{reputation !(off)}", false, "",
       "(reputation )(?:$|[^o]|o$|o[^f]|of$|of[^f])"},
      {"url_binding",
       u"{[ \\t]*url ((lan1)|(lan2)|(wan1)|(pp)|(tunnel)) filter ((out)|(in))(([ \\t]+[0-9]+)+)?}",
       false, "", ""},
      {"url_rule", u"{[ \\t]*url filter[ \\t]*[0-9]+[ \\t]*((reject)|(pass))}", false, "", ""},
      {"url_category_rule", u"{[ \\t]*url filter external-database category[ \\t]*[0-9]+}", false,
       "", ""},
      {"tunnel_select", u"{tunnel select [0-9]+[ \\t]*}", false, "", ""},
      {"binding_number", u"{[ \\t]+[0-9]+}", false, "", ""},
      {"url_rule_copy_n", u"{url filter[ \\t]* 7 ((reject)|(pass))}", false, "", ""},
      {"url_category_copy_n", u"{url filter external-database category[ \\t]* 3 ((reject)|(pass))}",
       false, "", ""},
      // External memory.
      {"usbhost_filename", u"{usbhost ((config)|(exec)|(statistics)|(syslog)) filename}", false, "",
       ""},
  };
}
