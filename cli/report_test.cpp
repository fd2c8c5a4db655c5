// The tool's conversion report: the summary counts, --report, the failure
// reason after the converter's message, and the --json document, whose
// edits must replay the input into the output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Arg(const fs::path& path) {
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
}

ToolRun Tool(std::vector<std::string> args) {
  args.insert(args.begin(), {"-e", "UTF-8"});
  std::istringstream in;
  std::ostringstream out, err;
  ToolRun run;
  run.status = RunCli(args, in, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The lines of a file as UTF-8, without line ends (and without the
// byte-order mark the input may begin with).
std::vector<std::string> FileLines(const fs::path& path) {
  std::vector<std::string> lines;
  for (const std::u16string& line : InputLines(ReadBytes(path))) lines.push_back(Utf16ToUtf8(line));
  return lines;
}

// Converts `input` with --json and checks the document: its edits, each
// removing the line it names, replay the input lines into the output's
// lines after the header. Returns the number of notices.
size_t ExpectReplays(const fs::path& input, const char* shape) {
  SCOPED_TRACE(Arg(input));
  const fs::path output = TestDir() / "out.txt";
  const ToolRun run = Tool({"-f", "--json", Arg(input), Arg(output)});
  EXPECT_EQ(run.status, kExitConverted) << run.err;
  const Json doc = Json::parse(run.out);
  size_t notices = doc["notices"].size();
  EXPECT_EQ(doc["format"], 1);
  EXPECT_EQ(doc["shape"], shape);
  EXPECT_EQ(doc["result"], "converted");
  EXPECT_EQ(doc["output"], Arg(output));
  std::vector<std::string> lines = FileLines(input);
  EXPECT_EQ(doc["lines_in"], lines.size());
  EXPECT_EQ(doc["steps"].size(), 5u);
  for (const Json& step : doc["steps"]) {
    for (const Json& edit : step["edits"]) {
      const size_t index = edit["index"];
      const auto at = lines.begin() + static_cast<ptrdiff_t>(std::min(index, lines.size()));
      if (edit["op"] != "insert") {
        if (index >= lines.size() || *at != edit["old"]) {
          ADD_FAILURE() << step["step"] << " " << edit;
          return notices;
        }
        EXPECT_EQ(edit.contains("line"), edit["op"] == "replace");
      }
      if (edit["op"] == "insert") lines.insert(at, edit["line"].get<std::string>());
      if (edit["op"] == "delete") lines.erase(at);
      if (edit["op"] == "replace") *at = edit["line"];
    }
    for (const Json& notice : step["notices"]) EXPECT_NE(notice["code"], "report-incomplete");
    notices += step["notices"].size();
  }
  std::vector<std::string> written = FileLines(output);
  EXPECT_EQ(doc["lines_out"], written.size());
  if (!written.empty()) written.erase(written.begin());
  EXPECT_EQ(lines, written);
  return notices;
}

// The examples are what a device writes: nothing in them needs a notice.
TEST(ReportReplayTest, ShippedExamples) {
  EXPECT_EQ(ExpectReplays(fs::path(CNV_EXAMPLES_DIR) / "gui-config.txt", "web-gui"), 0u);
  EXPECT_EQ(ExpectReplays(fs::path(CNV_EXAMPLES_DIR) / "tftp-config.txt", "listing"), 0u);
}

TEST(ReportReplayTest, GeneratedConfigurations) {
  for (const char* name :
       {"gui-2000-plain.txt", "gui-2000-reputation.txt", "gui-2000-no-dhcp.txt",
        "tftp-2000-plain.txt", "tftp-2000-reputation.txt", "tftp-2000-no-dhcp.txt"}) {
    ExpectReplays(fs::path(CNV_GENERATED_CONFIGS) / name, name[0] == 'g' ? "web-gui" : "listing");
  }
}

class ReportToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestDir();
    // A rule no binding names (line 2), and a LAN1 binding.
    WriteBytes(dir_ / "in.txt",
               "url filter 1 reject *.example.com\nurl filter 2 pass *\nurl lan1 filter in 1\n");
    // PP 2 is marked PPPoE on line 2 but has no DNS server selection.
    WriteBytes(dir_ / "bad.txt",
               "pp select 2\n description pp \"PRV/PPPoE/1:Hikari\"\n pp enable 2\n");
  }
  std::string In() const { return Arg(dir_ / "in.txt"); }
  std::string Out() const { return Arg(dir_ / "out.txt"); }
  std::string Bad() const { return Arg(dir_ / "bad.txt"); }
  fs::path dir_;
};

TEST_F(ReportToolTest, SummaryLineCountsAndPointsToTheReport) {
  const ToolRun run = Tool({In(), Out()});
  EXPECT_EQ(run.status, kExitConverted);
  EXPECT_EQ(run.err, "cnvqdn570conf: converted " + In() + " (web-GUI save) to " + Out() +
                         ": 4 lines changed by 1 step, 1 notice (see --report)\n");
}

TEST_F(ReportToolTest, ReportListsEditsNoticesAndFailures) {
  const ToolRun run = Tool({"--report", "-n", In()});
  EXPECT_EQ(run.status, kExitConverted);
  EXPECT_TRUE(Contains(run.err, "url-filter: 4 lines changed, 1 notice\n")) << run.err;
  EXPECT_TRUE(Contains(run.err, "  line 2          deleted   url filter 2 pass *\n")) << run.err;
  EXPECT_TRUE(
      Contains(run.err, "  at the top      inserted  url filter 10000 reject *.example.com\n"))
      << run.err;
  EXPECT_TRUE(Contains(run.err,
                       "  line 3          replaced  url lan1 filter in 1\n"
                       "                  by        url lan1 filter in 10000\n"))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "  notice url-rule-dropped (line 2): ")) << run.err;
  EXPECT_TRUE(Contains(run.err, "4 lines changed by 1 step, 1 notice; nothing written\n"))
      << run.err;

  // A failure: the failed step, and the reason after the converter's message.
  const ToolRun failed = Tool({"--report", Bad(), Out()});
  EXPECT_EQ(failed.status, kExitConversionFailed);
  EXPECT_TRUE(Contains(failed.err, "pp-provider: 1 line changed, failed\n")) << failed.err;
  EXPECT_TRUE(Contains(failed.err, "  failed (line 2): PP 2 is marked PRV/PPPoE")) << failed.err;
  EXPECT_TRUE(Contains(failed.err, TerminalText(u"可能性があります。") +
                                       " (the configuration could not be converted; it may not "
                                       "have been made by the VLK250's GUI)"
                                       " (line 2: PP 2 is marked PRV/PPPoE but has no 'dns "
                                       "server select 500002 ... restrict pp 2' line)\n"))
      << failed.err;
}

TEST_F(ReportToolTest, JsonDocumentForEveryOutcome) {
  const Json dry = Json::parse(Tool({"--json", "-n", In()}).out);
  EXPECT_EQ(dry["output"], nullptr);
  EXPECT_EQ(dry["lines_out"], 3);
  EXPECT_EQ(dry["steps"][3]["notices"][0]["input_line"], 2);

  const ToolRun failedRun = Tool({"--json", Bad(), Out()});
  EXPECT_EQ(failedRun.status, kExitConversionFailed);
  const Json failed = Json::parse(failedRun.out);
  EXPECT_EQ(failed["error"], 2);
  EXPECT_EQ(failed["lines_out"], nullptr);
  EXPECT_EQ(failed["steps"][0]["failure"], nullptr);
  EXPECT_EQ(failed["steps"][1]["failure"]["input_line"], 2);

  const Json missing = Json::parse(Tool({"--json", Arg(dir_ / "missing.txt"), Out()}).out);
  EXPECT_EQ(missing["shape"], nullptr);
  EXPECT_EQ(missing["error"], nullptr);
}

TEST_F(ReportToolTest, JsonNeedsStandardOutputForItself) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--json", In(), "-"},
                                               {"--json", "-d", In(), Out()},
                                               {"--json", "-"}}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, kExitUsage) << args.back();
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "standard output")) << run.err;
  }
}

}  // namespace
