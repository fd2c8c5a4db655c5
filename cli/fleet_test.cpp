// The fleet form through RunCli: its plan, its refusals, and that every
// output is what a single run writes.
#include "cli/fleet_plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/file_test_support.h"
#include "engine/textfile.h"

namespace fs = std::filesystem;

namespace {

std::string Arg(const fs::path& path) {
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
}

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::istringstream in;
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

class FleetTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    in_ = dir_ / "in";
    fs::create_directories(in_ / "sub");
    WriteBytes(in_ / "a.txt", "ip lan1 address 192.168.0.1/24\n");
    WriteBytes(in_ / "b.TXT", "login timer 1800\n");
    WriteBytes(in_ / "notes.md", "not a configuration\n");
    WriteBytes(in_ / "sub" / "c.txt", "syslog notice on\n");
  }
  fs::path in_;
};

TEST_F(FleetTest, PlanExpandsFoldersAndRefusesUnsafeOutputs) {
  std::vector<FleetItem> items;
  ASSERT_EQ(PlanFleet({in_}, dir_ / "out", false, items).kind, FleetRefusal::Kind::kNone);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].output, dir_ / "out" / "a.txt");
  EXPECT_EQ(items[1].output, dir_ / "out" / "b.TXT");
  ASSERT_EQ(PlanFleet({in_ / "a.txt", in_}, dir_ / "out", true, items).kind,
            FleetRefusal::Kind::kSameOutput);
  ASSERT_EQ(PlanFleet({in_}, dir_ / "out", true, items).kind, FleetRefusal::Kind::kNone);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[2].output, dir_ / "out" / "sub" / "c.txt");

  const struct {
    std::vector<fs::path> inputs;
    fs::path dir;
    bool recursive;
    FleetRefusal::Kind kind;
  } refused[] = {
      {{in_}, in_, false, FleetRefusal::Kind::kOutputIsInputFolder},
      {{in_ / "a.txt"}, in_ / "." / "", false, FleetRefusal::Kind::kOutputIsInputFolder},
      {{in_ / "sub"}, in_ / "sub", false, FleetRefusal::Kind::kOutputIsInputFolder},
      {{in_}, in_ / "sub" / "out", true, FleetRefusal::Kind::kOutputInsideInput},
      {{in_}, in_, true, FleetRefusal::Kind::kOutputInsideInput},
      {{in_ / "a.txt", in_ / "sub" / ".." / "a.txt"},
       dir_ / "out",
       false,
       FleetRefusal::Kind::kSameOutput},
      {{in_ / "missing.txt"}, dir_ / "out", false, FleetRefusal::Kind::kMissingInput},
      {{dir_ / "out-empty"}, dir_ / "out", false, FleetRefusal::Kind::kMissingInput},
#ifndef _WIN32
      // A name too long for the system: whether it exists is not known.
      {{in_ / std::string(300, 'x')}, dir_ / "out", false, FleetRefusal::Kind::kUnreadableInput},
#endif
  };
  fs::create_directories(dir_ / "empty");
  for (const auto& c : refused) {
    EXPECT_EQ(PlanFleet(c.inputs, c.dir, c.recursive, items).kind, c.kind) << c.dir;
  }
  EXPECT_EQ(PlanFleet({dir_ / "empty"}, dir_ / "out", false, items).kind,
            FleetRefusal::Kind::kNoInputs);
}

// Each output is byte for byte what a single run writes; failures write
// nothing; the statuses add up to the highest that applies.
TEST_F(FleetTest, EveryOutputIsTheSingleRunsOutput) {
  WriteBytes(in_ / "broken.txt", "pp select 1\ndescription pp \"PRV/PPPoE/1:isp\"\n");
  const fs::path out = dir_ / "out";
  for (const char* jobs : {"1", "3"}) {
    fs::remove_all(out);
    const ToolRun run = Tool({"-e", "UTF-8", "-j", jobs, "--json", "-o", Arg(out), Arg(in_)});
    EXPECT_EQ(run.status, kExitConversionFailed) << run.err;
    for (const char* name : {"a.txt", "b.TXT"}) {
      const ToolRun single = Tool({"-e", "UTF-8", Arg(in_ / name), "-"});
      EXPECT_EQ(ReadBytes(out / name), single.out) << name;
    }
    EXPECT_FALSE(fs::exists(out / "broken.txt"));
    // One JSON document a line, in input order.
    std::istringstream lines(run.out);
    std::string line;
    std::vector<std::string> order;
    while (std::getline(lines, line)) order.push_back(line.substr(0, line.find(",\"output\"")));
    ASSERT_EQ(order.size(), 3u) << run.out;
    EXPECT_NE(order[0].find("a.txt"), std::string::npos);
    EXPECT_NE(order[1].find("b.TXT"), std::string::npos);
    EXPECT_NE(order[2].find("broken.txt"), std::string::npos);
    EXPECT_NE(run.err.find("2 converted, 1 failed, 0 skipped, 0 file errors (3 inputs"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("broken.txt: failed: config"), std::string::npos) << run.err;
  }
  // A folder of Shift_JIS files, as saved on Japanese Windows.
  const fs::path ja = dir_ / "ja";
  fs::create_directories(ja);
  WriteBytes(ja / "honsha.txt",
             "# \x96\x7b\x8e\xd0\nip lan1 address 192.168.0.1/24 # \x96\x7b\x8e\xd0\n");
  const ToolRun cp932 = Tool({"-e", "CP932", "-o", Arg(dir_ / "ja-out"), Arg(ja)});
  EXPECT_EQ(cp932.status, kExitConverted) << cp932.err;
  EXPECT_EQ(ReadBytes(dir_ / "ja-out" / "honsha.txt"),
            Tool({"-e", "CP932", Arg(ja / "honsha.txt"), "-"}).out);
  // Without -f the outputs are kept and counted as skipped; -q leaves only
  // the errors.
  fs::remove(in_ / "broken.txt");
  WriteBytes(out / "a.txt", "old");
  const ToolRun again = Tool({"-e", "UTF-8", "-o", Arg(out), Arg(in_)});
  EXPECT_EQ(again.status, kExitUsage);
  EXPECT_EQ(ReadBytes(out / "a.txt"), "old");
  EXPECT_NE(again.err.find("0 converted, 0 failed, 2 skipped"), std::string::npos) << again.err;
  const ToolRun quiet = Tool({"-e", "UTF-8", "-q", "-f", "-o", Arg(out), Arg(in_)});
  EXPECT_EQ(quiet.status, kExitUsage);  // "old" is no earlier output: never replaced
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(Tool({"-o", Arg(out), "-"}).status, kExitUsage);
  EXPECT_EQ(Tool({"-d", "-o", Arg(out), Arg(in_)}).status, kExitUsage);
  EXPECT_EQ(Tool({"-r", Arg(in_ / "a.txt")}).status, kExitUsage);
  // An input over the size limit is a file error of its own; the others convert.
  fs::remove_all(out);
  WriteBytes(in_ / "huge.txt", "");
  fs::resize_file(in_ / "huge.txt", 65u << 20);
  const ToolRun huge = Tool({"-e", "UTF-8", "-o", Arg(out), Arg(in_)});
  EXPECT_EQ(huge.status, kExitFileError);
  EXPECT_TRUE(fs::exists(out / "a.txt") && !fs::exists(out / "huge.txt"));
  EXPECT_NE(huge.err.find("2 converted, 0 failed, 0 skipped, 1 file error (3 inputs"),
            std::string::npos)
      << huge.err;
  // An output whose flush fails keeps its old version and is a file error
  // worded as a single run words it; the others are replaced.
  fs::remove(in_ / "huge.txt");
  const std::string kept = ReadBytes(out / "a.txt");
  WriteBytes(out / "b.TXT", ReadBytes(out / "b.TXT") + "! replaced\r\n");
  SetFlushFault([](const fs::path& path) { return path.filename() == "a.txt"; });
  const ToolRun single = Tool({"-e", "UTF-8", "-f", Arg(in_ / "a.txt"), Arg(out / "a.txt")});
  const ToolRun failing = Tool({"-e", "UTF-8", "-f", "-o", Arg(out), Arg(in_)});
  EXPECT_EQ(failing.status, kExitFileError);
  EXPECT_EQ(ReadBytes(out / "a.txt"), kept);
  EXPECT_EQ(ReadBytes(out / "b.TXT"), Tool({"-e", "UTF-8", Arg(in_ / "b.TXT"), "-"}).out);
  ASSERT_EQ(single.status, kExitFileError);
  EXPECT_EQ(failing.err.substr(0, single.err.size()), single.err) << failing.err;
  EXPECT_EQ(FolderNames(out), (std::vector<std::string>{"a.txt", "b.TXT"}));
}

// A single run writes its output beside the input; a later fleet run over
// that folder meets it as one more input and leaves it out, on its own
// count, without raising the exit status. --strict fails each file with
// notices on its own.
TEST_F(FleetTest, EarlierOutputsAreLeftOutAndStrictIsPerFile) {
  ASSERT_EQ(Tool({"-e", "UTF-8", Arg(in_ / "a.txt")}).status, kExitConverted);
  ASSERT_TRUE(fs::exists(in_ / "qdn570-config.txt"));
  const fs::path out = dir_ / "out";
  const ToolRun run = Tool({"-e", "UTF-8", "--json", "-o", Arg(out), Arg(in_)});
  EXPECT_EQ(run.status, kExitConverted) << run.err;
  EXPECT_FALSE(fs::exists(out / "qdn570-config.txt"));
  EXPECT_NE(run.err.find("2 converted, 0 failed, 0 skipped, 1 already converted, 0 file errors"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("qdn570-config.txt: already converted: "), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"result\":\"skipped\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"code\":\"already-converted\""), std::string::npos) << run.out;

  WriteBytes(in_ / "rules.txt", "url filter 1 pass *\nurl filter 2 pass *\nurl lan1 filter in 1\n");
  const ToolRun strict = Tool({"-e", "UTF-8", "--strict", "-o", Arg(dir_ / "strict"), Arg(in_)});
  EXPECT_EQ(strict.status, kExitConversionFailed) << strict.err;
  EXPECT_TRUE(fs::exists(dir_ / "strict" / "a.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "strict" / "rules.txt"));
  EXPECT_NE(strict.err.find("2 converted, 1 failed, 0 skipped, 1 already converted"),
            std::string::npos)
      << strict.err;
}

}  // namespace
