// Test support for the PP provider step's tests of both converters: the
// lines it writes and the checks of a run's outcome.
#ifndef CNV_CONVERT_PP_PROVIDER_TEST_SUPPORT_H_
#define CNV_CONVERT_PP_PROVIDER_TEST_SUPPORT_H_

#include <string>

#include "convert/convert_test_support.h"

// Drops the newline that opens a raw string literal.
inline std::string Text(const char* raw) {
  std::string text(raw);
  if (!text.empty() && text.front() == '\n') text.erase(0, 1);
  return text;
}

// The provider block the web-GUI converter puts in front of the first PP.
inline std::string ProviderBlock(const std::string& lastName) {
  return "provider lan1 name LAN:\n"
         "provider type isdn-terminal\n"
         "provider filter routing connection\n"
         "provider lan2 name \"PPPoE/0/1/5/0/0/0:" +
         lastName + "\"\n";
}

inline const char kFilterLine[] = "ip filter 500000 restrict * * * * *\n";

inline void ExpectConverted(const ConversionRun& run, int kind, const std::string& expected) {
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.error, 0);
  ASSERT_TRUE(run.written);
  EXPECT_EQ(run.output, ExpectedOutput(expected));
}

inline void ExpectNotConvertible(const ConversionRun& run, int kind) {
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.error, 2);
  EXPECT_EQ(run.message, Utf8ToUtf16(kNotConvertible));
  EXPECT_FALSE(run.written);
}

#endif  // CNV_CONVERT_PP_PROVIDER_TEST_SUPPORT_H_
