// The patterns, lines and rule numbers of the URL filter step.
#ifndef CNV_CONVERT_URL_FILTER_PATTERNS_H_
#define CNV_CONVERT_URL_FILTER_PATTERNS_H_

#include <cstdint>
#include <string_view>

#include "convert/step_patterns.h"

// The external-database lines; the rest of the line follows the match.
inline constexpr char16_t kDatabaseUse[] =
    u"{url filter external-database use (reputation off category )?}";
inline constexpr char16_t kDatabaseId[] = u"{url filter external-database id[ \t]*}";
// Searched in the text from the selection's match on.
inline constexpr char16_t kReputationNotOff[] = u"{reputation !(off)}";
inline constexpr char16_t kReputationOffCategory[] = u"{reputation off category }";

// An interface binding with its list of rule numbers.
inline constexpr char16_t kBinding[] =
    u"{[ \t]*url ((lan1)|(lan2)|(wan1)|(pp)|(tunnel)) filter ((out)|(in))(([ \t]+[0-9]+)+)?}";
// One number of such a list.
inline constexpr char16_t kListedNumber[] = u"{[ \t]+[0-9]+}";
// The rule lines and the category rule lines.
inline constexpr char16_t kRule[] = u"{[ \t]*url filter[ \t]*[0-9]+[ \t]*((reject)|(pass))}";
inline constexpr char16_t kCategoryRule[] =
    u"{[ \t]*url filter external-database category[ \t]*[0-9]+}";
// Where the number of a rule line stands: the leftmost match of the pattern
// begins with the keyword, then blanks and the number.
inline constexpr char16_t kRuleNumber[] = u"{url filter[ \t]*[0-9]+[ \t]*((reject)|(pass))}";
inline constexpr char16_t kRuleKeyword[] = u"url filter";
inline constexpr char16_t kCategoryNumber[] =
    u"{url filter external-database category[ \t]*[0-9]+}";
inline constexpr char16_t kCategoryKeyword[] = u"url filter external-database category";
// The line that opens a tunnel's settings (a PP's: kPpSelect).
inline constexpr char16_t kTunnelSelect[] = u"{tunnel select [0-9]+[ \t]*}";

inline constexpr StepPattern kUrlFilterPatterns[] = {
    {"url_database_use", kDatabaseUse, false},
    {"url_database_id", kDatabaseId, false},
    {"reputation_not_off", kReputationNotOff, false},
    {"reputation_off_category", kReputationOffCategory, false},
    {"url_binding", kBinding, false},
    {"url_rule", kRule, false},
    {"url_rule_number", kRuleNumber, false},
    {"url_category_rule", kCategoryRule, false},
    {"url_category_number", kCategoryNumber, false},
    {"tunnel_select", kTunnelSelect, false},
    {"listed_number", kListedNumber, false},
};

// Lines written; %s is the rest of the source line.
inline constexpr char16_t kDatabaseUseLine[] = u"url filter external-database use category %s";
inline constexpr char16_t kDatabaseIdLine[] = u"url filter external-database id digitalarts %s";

// The interfaces a binding may name, tried in this order. The rule numbers
// of a binding begin at `base`, for a PP or a tunnel plus kNumbersPerSelect
// times the number N of its select line, and for an "out" binding plus
// kOutOffset.
struct UrlInterface {
  std::u16string_view word;
  int64_t base;
  bool bySelect;  // on a PP or a tunnel
};
inline constexpr UrlInterface kUrlInterfaces[] = {
    {u"lan1", 10000, false}, {u"lan2", 10400, false},  {u"wan1", 10800, false},
    {u"pp", 19600, true},    {u"tunnel", 59600, true},
};
inline constexpr int64_t kNumbersPerSelect = 400;
inline constexpr int64_t kOutOffset = 200;

#endif  // CNV_CONVERT_URL_FILTER_PATTERNS_H_
