// Test support for the conversions: runs the real engine on a file made
// from a test's text and returns the output file's bytes.
#ifndef CNV_CONVERT_CONVERT_TEST_SUPPORT_H_
#define CNV_CONVERT_CONVERT_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/engine.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

struct ConversionRun {
  int result = 0;          // what Convert returned
  int converterKind = 0;   // which converter took the file
  int error = 0;           // the converter's error code
  std::u16string message;  // GetErrorMessage after a failure
  bool written = false;    // whether an output file exists
  std::string output;      // the output file's bytes
};

// A fresh, empty folder for one test.
inline std::filesystem::path TestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  auto dir = std::filesystem::temp_directory_path() / "cnv-tests" /
             (std::string(info->test_suite_name()) + "." + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Converts `input` (UTF-8 bytes, written as they are) through the engine.
inline ConversionRun RunConversion(const std::string& input) {
  SetFileEncoding("UTF-8");
  auto dir = TestDir();
  auto in = dir / "input.txt";
  auto out = dir / "output.txt";
  std::ofstream(in, std::ios::binary) << input;
  ConversionRun run;
  CCnvEngine engine(in);
  run.converterKind = engine.m_converterKind;
  run.result = engine.Convert(out);
  if (engine.m_converter) run.error = engine.m_converter->m_error;
  if (run.result != 1) engine.GetErrorMessage(run.message);
  run.written = std::filesystem::exists(out);
  if (run.written) {
    std::ifstream f(out, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  return run;
}

// The output file expected for `lines` (LF-separated, UTF-8): the header
// line and every line, each ending in CR LF.
inline std::string ExpectedOutput(const std::string& lines) {
  std::string out = Utf16ToUtf8(u"# VLK250->QDN570変換コンフィグ") + "\r\n";
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    out += lines.substr(start, end - start) + "\r\n";
    start = end + 1;
  }
  return out;
}

// The message of error code 2, in UTF-8.
inline const char kNotConvertible[] =
    "configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。";

// The opening of a sectioned listing: both markers of the listing.
inline const char kListingStart[] =
    "clear configuration\n"
    "#\n"
    "# System configuration\n"
    "#\n";

// Converts `input` and expects success with the converter of `kind` and an
// output file holding the header and `expected`.
inline void ExpectConverted(const std::string& input, const std::string& expected, int kind) {
  const ConversionRun run = RunConversion(input);
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 1) << Utf16ToUtf8(run.message);
  EXPECT_EQ(run.error, 0);
  EXPECT_EQ(run.output, ExpectedOutput(expected));
}

// Converts `input` and expects the failure of a missing line: code 2, its
// message, and no output file.
inline void ExpectNotConvertible(const std::string& input, int kind) {
  const ConversionRun run = RunConversion(input);
  EXPECT_EQ(run.converterKind, kind);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.error, 2);
  EXPECT_EQ(Utf16ToUtf8(run.message), kNotConvertible);
  EXPECT_FALSE(run.written);
}

#endif  // CNV_CONVERT_CONVERT_TEST_SUPPORT_H_
