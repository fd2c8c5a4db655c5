// The patterns the conversion steps search with, each with the equivalent
// pattern for the comparison engines, for the line-search benchmark.
#ifndef CNV_BENCH_SEARCH_PATTERNS_H_
#define CNV_BENCH_SEARCH_PATTERNS_H_

#include <string>
#include <vector>

struct SearchPattern {
  const char* id;        // short name in benchmark names
  std::u16string ours;   // in the converter's own syntax, numbers filled in
  bool includeComments;  // searched in comment parts as well
  // For the comparison engines. Empty: translated from `ours` (groups become
  // capturing groups, `()` non-capturing, `!A` a look-ahead).
  std::string pcre;
  // For RE2, which has no look-ahead: a form that finds the same lines and
  // the same span of the first group. Empty: the same as `pcre`.
  std::string re2;
};

// Every pattern of the conversion steps (convert/converter_patterns_test_support.h) with
// the forms the comparison engines need.
std::vector<SearchPattern> BenchPatterns();

// The converter syntax as PCRE syntax (covers what the converters use:
// literals, `.`, `\.`, classes, `{}`, `()`, `!`, `|`, `* + ?`).
std::string ToPcreSyntax(const std::u16string& pattern);

#endif  // CNV_BENCH_SEARCH_PATTERNS_H_
