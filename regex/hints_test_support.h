// For the tests of the search: the hints of a pattern, and texts narrowed
// to ASCII for failure messages.
#ifndef CNV_REGEX_HINTS_TEST_SUPPORT_H_
#define CNV_REGEX_HINTS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "regex/search.h"

// `text` with every unit beyond ASCII as `?`.
inline std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// The hints of `pattern`, which must compile.
inline SearchHints HintsOf(std::u16string_view pattern) {
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(pattern), 0) << Narrow(pattern);
  return AnalyzeProgram(compiled);
}

#endif  // CNV_REGEX_HINTS_TEST_SUPPORT_H_
