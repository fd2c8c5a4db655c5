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

#endif  // CNV_CONVERT_CONVERT_TEST_SUPPORT_H_
