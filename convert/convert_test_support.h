// Test support for the conversions: runs the real engine on a file made
// from a test's text and returns the output file's bytes.
#ifndef CNV_CONVERT_CONVERT_TEST_SUPPORT_H_
#define CNV_CONVERT_CONVERT_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/report.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

struct ConversionRun {
  int result = 0;          // what Convert returned
  int converterKind = 0;   // which converter took the file
  int error = 0;           // the converter's error code
  std::u16string message;  // GetErrorMessage after a failure
  bool written = false;    // whether an output file exists
  std::string output;      // the output file's bytes
  ConversionReport report;
};

// The lines of `input` (UTF-8) as the engine loads them.
inline std::vector<std::u16string> InputLines(std::string input) {
  if (input.rfind("\xEF\xBB\xBF", 0) == 0) input.erase(0, 3);
  std::vector<std::u16string> lines;
  for (size_t start = 0; start < input.size();) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    std::string line = input.substr(start, end - start);
    if (end < input.size() && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(Utf8ToUtf16(line));
    start = end + 1;
  }
  return lines;
}

// The output file that replaying every edit of `report` on the lines of
// `input` gives; each edit's old line must be the one it removes.
inline std::string ReplayedOutput(const std::string& input, const ConversionReport& report) {
  std::vector<std::u16string> lines = InputLines(input);
  for (const ReportStep& step : report.steps) {
    for (const ReportEdit& edit : step.edits) {
      const auto at = lines.begin() + edit.index;
      if (edit.op != EditOp::kInsert) {
        EXPECT_TRUE(at < lines.end() && *at == edit.old) << step.name << " " << edit.index;
        if (at >= lines.end()) return {};
      }
      if (edit.op == EditOp::kInsert) lines.insert(at, edit.line);
      if (edit.op == EditOp::kDelete) lines.erase(at);
      if (edit.op == EditOp::kReplace) *at = edit.line;
    }
  }
  std::string out = Utf16ToUtf8(u"# VLK250->QDN570変換コンフィグ") + "\r\n";
  for (const std::u16string& line : lines) out += Utf16ToUtf8(line) + "\r\n";
  return out;
}

// A fresh, empty folder for one test.
inline std::filesystem::path TestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  auto dir = std::filesystem::temp_directory_path() / "cnv-tests" /
             (std::string(info->test_suite_name()) + "." + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Converts `input` (UTF-8 bytes, written as they are) through the engine,
// with its report; the report's edits must replay to the output, and the
// steps must change the store only through the line operations.
inline ConversionRun RunConversion(const std::string& input) {
  SetFileEncoding("UTF-8");
  auto dir = TestDir();
  auto in = dir / "input.txt";
  auto out = dir / "output.txt";
  std::ofstream(in, std::ios::binary) << input;
  ConversionRun run;
  CCnvEngine engine(in);
  engine.CollectReport(&run.report);
  run.converterKind = engine.m_converterKind;
  run.result = engine.Convert(out);
  if (engine.m_converter) run.error = engine.m_converter->m_error;
  if (run.result != 1) engine.GetErrorMessage(run.message);
  run.written = std::filesystem::exists(out);
  if (run.written) {
    std::ifstream f(out, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    EXPECT_EQ(ReplayedOutput(input, run.report), run.output) << "replaying the report's edits";
  }
  for (const ReportStep& step : run.report.steps) {
    for (const ReportNotice& notice : step.notices) EXPECT_NE(notice.code, "report-incomplete");
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
  const ReportFailure* failure = FailureOf(run.report);
  ASSERT_NE(failure, nullptr);
  EXPECT_FALSE(failure->reason.empty());
}

#endif  // CNV_CONVERT_CONVERT_TEST_SUPPORT_H_
