#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/catalogue.h"
#include "engine/cnv_base.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string kHeader = Utf16ToUtf8(kOutputHeader) + "\r\n";
const std::u16string kInputOpenFailed = u"入力ファイルのオープンに失敗しました。";
const std::u16string kOutputOpenFailed = u"出力ファイルのオープンに失敗しました。";

// A flat command list with no settings that any conversion touches.
const std::string kPlainConfig =
    "ip lan1 address 192.168.0.1/24\n"
    "ip route default gateway 192.168.0.254 # upstream\n"
    "syslog notice on\n";
const std::string kPlainOutput = kHeader +
                                 "ip lan1 address 192.168.0.1/24\r\n"
                                 "ip route default gateway 192.168.0.254 # upstream\r\n"
                                 "syslog notice on\r\n";
// An earlier output of the tool, which -f or a yes replaces.
const std::string kOldOutput = kHeader + "old\r\n";

// A path as RunCli takes it (UTF-8 on Windows, native bytes elsewhere).
std::string Arg(const fs::path& path) {
#ifdef _WIN32
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
#else
  return path.native();
#endif
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::u16string> questions;
};

// Runs the tool in-process. With `answer`, a terminal is simulated that
// answers every question so; without it there is no terminal.
CliRun RunTool(const std::vector<std::string>& args, std::optional<bool> answer = std::nullopt,
               const std::string& input = {}, bool outIsTerminal = false) {
  CliRun run;
  std::ostringstream out, err;
  OverwriteQuestion ask;
  if (answer) {
    ask = [&run, answer](const std::u16string& question) {
      run.questions.push_back(question);
      return *answer;
    };
  }
  std::istringstream in(input);
  run.status = RunCli(args, in, out, err, ask, false, outIsTerminal);
  run.out = out.str();
  run.err = err.str();
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// `message` as the tool writes it to a terminal of the user's default
// character set (the file tests themselves use UTF-8 files).
std::string TerminalMessage(const std::u16string& message) {
  SetFileEncoding("");
  const std::string bytes = TerminalText(message);
  SetFileEncoding("UTF-8");
  return bytes;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // UTF-8 files whatever the platform's default, as with -e UTF-8.
    ASSERT_TRUE(SetFileEncoding("UTF-8"));
    dir_ = TestDir();
    input_ = dir_ / "config.txt";
    WriteBytes(input_, kPlainConfig);
  }
  void TearDown() override {
    SetWriteFaultAfterBytes(-1);
    SetFileEncoding("");
  }
  fs::path DefaultOutput() const { return dir_ / "qdn570-config.txt"; }

  fs::path dir_;
  fs::path input_;
};

TEST_F(CliTest, DefaultOutputIsNextToTheInput) {
  const CliRun run = RunTool({Arg(input_)});
  EXPECT_EQ(run.status, kExitConverted) << run.err;
  EXPECT_EQ(ReadBytes(DefaultOutput()), kPlainOutput);
  EXPECT_TRUE(Contains(run.err, Arg(DefaultOutput()))) << run.err;
  EXPECT_TRUE(Contains(run.err, "web-GUI save")) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(CliTest, OutputPathAndOutputFolder) {
  const CliRun named = RunTool({Arg(input_), Arg(dir_ / "firewall.txt")});
  EXPECT_EQ(named.status, kExitConverted) << named.err;
  EXPECT_EQ(ReadBytes(dir_ / "firewall.txt"), kPlainOutput);

  fs::create_directory(dir_ / "out");
  const CliRun folder = RunTool({Arg(input_), Arg(dir_ / "out")});
  EXPECT_EQ(folder.status, kExitConverted) << folder.err;
  EXPECT_EQ(ReadBytes(dir_ / "out" / "qdn570-config.txt"), kPlainOutput);
}

TEST_F(CliTest, SectionedListingIsNamedInTheReport) {
  WriteBytes(input_, "clear configuration\n#\n# System configuration\n#\nsyslog notice on\n");
  const CliRun run = RunTool({Arg(input_)});
  EXPECT_EQ(run.status, kExitConverted) << run.err;
  EXPECT_TRUE(Contains(run.err, "sectioned listing")) << run.err;
}

TEST_F(CliTest, ExistingOutputIsKeptWithoutForceOrTerminal) {
  WriteBytes(DefaultOutput(), kOldOutput);
  const CliRun run = RunTool({Arg(input_)});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(ReadBytes(DefaultOutput()), kOldOutput);
  EXPECT_TRUE(Contains(run.err, "already exists")) << run.err;
  EXPECT_TRUE(Contains(run.err, "-f")) << run.err;

  for (const char* force : {"-f", "--force"}) {
    WriteBytes(DefaultOutput(), kOldOutput);
    const CliRun forced = RunTool({force, Arg(input_)});
    EXPECT_EQ(forced.status, kExitConverted) << force << forced.err;
    EXPECT_EQ(ReadBytes(DefaultOutput()), kPlainOutput) << force;
  }
}

TEST_F(CliTest, TerminalAnswerDecidesOverwrite) {
  struct Case {
    bool answer;
    int status;
    bool replaced;
  };
  for (const Case& c : {Case{true, kExitConverted, true}, Case{false, kExitUsage, false}}) {
    WriteBytes(DefaultOutput(), kOldOutput);
    const CliRun run = RunTool({Arg(input_)}, c.answer);
    EXPECT_EQ(run.status, c.status) << c.answer << run.err;
    EXPECT_EQ(ReadBytes(DefaultOutput()), c.replaced ? kPlainOutput : kOldOutput) << c.answer;
    ASSERT_EQ(run.questions.size(), 1u);
    const std::string question = Utf16ToUtf8(run.questions[0]);
    EXPECT_TRUE(Contains(question, Arg(DefaultOutput()))) << question;
    EXPECT_TRUE(Contains(question, "[y/N]")) << question;
  }
}

// Even with -f or a yes, only an earlier output or an empty file is
// replaced: any other file in OUTPUT's place may be a router's only copy.
TEST_F(CliTest, OnlyEarlierOutputsAreReplaced) {
  const std::string cp932Header =
      "# VLK250->QDN570\x95\xCF\x8A\xB7\x83\x52\x83\x93\x83\x74\x83\x42\x83\x4F";
  const struct {
    std::string existing;
    bool replaced;
  } cases[] = {
      {kPlainConfig, false},
      {"old", false},
      {kHeader.substr(0, kHeader.size() - 2) + " x\r\n", false},  // more after the header
      {std::string(300, '#') + "\n", false},                      // a first line past the header
      {"", true},
      {kOldOutput, true},
      {kHeader.substr(0, kHeader.size() - 2), true},  // the header alone, no line end
      {cp932Header + "\r\nold\r\n", true},            // written in the other character set
  };
  for (const auto& c : cases) {
    for (const bool viaQuestion : {false, true}) {
      WriteBytes(DefaultOutput(), c.existing);
      const CliRun run = viaQuestion ? RunTool({Arg(input_)}, true) : RunTool({"-f", Arg(input_)});
      EXPECT_EQ(run.status, c.replaced ? kExitConverted : kExitUsage) << c.existing << run.err;
      EXPECT_EQ(ReadBytes(DefaultOutput()), c.replaced ? kPlainOutput : c.existing);
      if (!c.replaced) {
        EXPECT_TRUE(Contains(run.err, "not an output of this tool")) << run.err;
        EXPECT_TRUE(run.questions.empty());
      }
    }
  }
}

TEST_F(CliTest, NoQuestionForNewOutputOrWithForce) {
  const CliRun fresh = RunTool({Arg(input_)}, false);
  EXPECT_EQ(fresh.status, kExitConverted) << fresh.err;
  EXPECT_TRUE(fresh.questions.empty());

  const CliRun forced = RunTool({"-f", Arg(input_)}, false);
  EXPECT_EQ(forced.status, kExitConverted) << forced.err;
  EXPECT_TRUE(forced.questions.empty());
}

TEST_F(CliTest, StandardOutputGetsTheFileBytes) {
  const CliRun run = RunTool({Arg(input_), "-"});
  EXPECT_EQ(run.status, kExitConverted) << run.err;
  EXPECT_EQ(run.out, kPlainOutput);
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"config.txt"});
  EXPECT_TRUE(Contains(run.err, "standard output")) << run.err;
}

TEST_F(CliTest, DryRunWritesNothing) {
  for (const char* dry : {"-n", "--dry-run"}) {
    const CliRun run = RunTool({dry, Arg(input_)});
    EXPECT_EQ(run.status, kExitConverted) << run.err;
    EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"config.txt"});
    EXPECT_TRUE(Contains(run.err, "dry run")) << run.err;
    EXPECT_TRUE(Contains(run.err, "3 lines in, 4 lines out")) << run.err;
  }
  WriteBytes(input_, "");  // the header alone: one line out
  EXPECT_TRUE(Contains(RunTool({"-n", Arg(input_)}).err, ": 0 lines in, 1 line out, "));
  WriteBytes(DefaultOutput(), "old");
  const CliRun existing = RunTool({"-n", Arg(input_)});
  EXPECT_EQ(existing.status, kExitConverted) << existing.err;
  EXPECT_EQ(ReadBytes(DefaultOutput()), "old");
}

TEST_F(CliTest, DiffShowsTheConversion) {
  const std::string expected = "--- " + Arg(input_) + "\n+++ " + Arg(DefaultOutput()) +
                               "\n"
                               "@@ -1,3 +1,4 @@\n+" +
                               Utf16ToUtf8(kOutputHeader) +
                               "\n"
                               " ip lan1 address 192.168.0.1/24\n"
                               " ip route default gateway 192.168.0.254 # upstream\n"
                               " syslog notice on\n";
  const CliRun dry = RunTool({"-d", "-n", Arg(input_)});
  EXPECT_EQ(dry.status, kExitConverted) << dry.err;
  EXPECT_EQ(dry.out, expected);
  EXPECT_FALSE(fs::exists(DefaultOutput()));

  const CliRun written = RunTool({"--diff", Arg(input_)});
  EXPECT_EQ(written.status, kExitConverted) << written.err;
  EXPECT_EQ(written.out, expected);
  EXPECT_EQ(ReadBytes(DefaultOutput()), kPlainOutput);
}

TEST_F(CliTest, DiffAndStandardOutputConflict) {
  const CliRun run = RunTool({"-d", Arg(input_), "-"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, "");
}

TEST_F(CliTest, EncodingSelectsTheFileCharacterSet) {
  // Shift_JIS: "description lan1 拠点A" and a comment "# 拠点A".
  const std::string sjisName = "\x8b\x92\x93\x5f\x41";
  WriteBytes(input_, "description lan1 " + sjisName + " # " + sjisName + "\r\n");
  const std::string sjisHeader =
      "# VLK250->QDN570\x95\xcf\x8a\xb7\x83\x52\x83\x93\x83\x74\x83\x42\x83\x4f\r\n";
  for (const char* option : {"-e", "--encoding"}) {
    fs::remove(DefaultOutput());
    const CliRun run = RunTool({option, "CP932", Arg(input_)});
    EXPECT_EQ(run.status, kExitConverted) << run.err;
    EXPECT_EQ(ReadBytes(DefaultOutput()),
              sjisHeader + "description lan1 " + sjisName + " # " + sjisName + "\r\n");
  }
  // A diff keeps the file's bytes when redirected; a terminal gets its own.
  for (const bool terminal : {false, true}) {
    const CliRun diff = RunTool({"-e", "CP932", "-d", "-n", Arg(input_)}, {}, {}, terminal);
    const std::string name = terminal ? TerminalMessage(u"拠点A") : sjisName;
    EXPECT_TRUE(Contains(diff.out, "\n description lan1 " + name + " # " + name + "\n"))
        << terminal;
  }
  // The same bytes are not UTF-8: a read error naming the line.
  fs::remove(DefaultOutput());
  const CliRun utf8 = RunTool({"-e", "UTF-8", Arg(input_)});
  EXPECT_EQ(utf8.status, kExitFileError);
  EXPECT_TRUE(Contains(utf8.err, Arg(input_))) << utf8.err;
  EXPECT_TRUE(Contains(utf8.err, "line 1")) << utf8.err;
  EXPECT_FALSE(fs::exists(DefaultOutput()));
}

// A set that is known but cannot hold a configuration is not called unknown.
TEST_F(CliTest, UnknownEncodingIsAUsageError) {
  for (const std::string name : {"NO-SUCH-CHARSET", "UTF-16", "utf-16le", "UTF-16BE", "UTF-32"}) {
    const CliRun run = RunTool({"-e", name, Arg(input_)});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.err, "cnvqdn570conf: " +
                           (name[0] == 'N' ? "unknown character set: " + name
                                           : name + " is a character set the tool cannot read or "
                                                    "write configurations in; use CP932 or UTF-8") +
                           "\n");
  }
  EXPECT_FALSE(fs::exists(DefaultOutput()));
}

TEST_F(CliTest, MessagesStayInTheTerminalCharacterSet) {
  // -e changes the files' character set only, and only for the run.
  ASSERT_TRUE(SetFileEncoding(""));
  const std::string defaultEncoding = FileEncoding();
  const CliRun plain = RunTool({Arg(dir_ / "missing.txt")});
  for (const char* encoding : {"CP932", "UTF-8"}) {
    const CliRun run = RunTool({"-e", encoding, Arg(dir_ / "missing.txt")});
    EXPECT_EQ(run.status, kExitConversionFailed);
    EXPECT_EQ(run.err, plain.err) << encoding;
    EXPECT_EQ(FileEncoding(), defaultEncoding) << encoding;
  }
  EXPECT_TRUE(Contains(plain.err, TerminalMessage(kInputOpenFailed))) << plain.err;
}

TEST_F(CliTest, MissingInputIsAConversionFailure) {
  const CliRun run = RunTool({Arg(dir_ / "missing.txt")});
  EXPECT_EQ(run.status, kExitConversionFailed);
  EXPECT_TRUE(Contains(run.err, TerminalMessage(kInputOpenFailed))) << run.err;
  EXPECT_TRUE(Contains(run.err, Arg(dir_ / "missing.txt"))) << run.err;
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"config.txt"});
}

TEST_F(CliTest, UncreatableOutputIsAConversionFailure) {
  const fs::path output = dir_ / "no-such-folder" / "out.txt";
  const CliRun run = RunTool({Arg(input_), Arg(output)});
  EXPECT_EQ(run.status, kExitConversionFailed);
  EXPECT_TRUE(Contains(run.err, TerminalMessage(kOutputOpenFailed))) << run.err;
  EXPECT_TRUE(Contains(run.err, Arg(output))) << run.err;
}

TEST_F(CliTest, InputIsNeverTheOutput) {
  const fs::path input = DefaultOutput();
  WriteBytes(input, kPlainConfig);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{Arg(input)},
        {"-f", Arg(input), Arg(dir_ / "." / input.filename())},
        {"-f", Arg(input), Arg(dir_)}}) {
    const CliRun run = RunTool(args);
    EXPECT_EQ(run.status, kExitUsage) << args.back();
    EXPECT_TRUE(Contains(run.err, "input file")) << run.err;
    EXPECT_EQ(ReadBytes(input), kPlainConfig);
  }
}

TEST_F(CliTest, InputMustBeAFile) {
  EXPECT_EQ(RunTool({Arg(dir_)}).status, kExitUsage);
  EXPECT_FALSE(fs::exists(dir_ / "qdn570-config.txt"));
}

// "-" reads standard input, and the output then goes to standard output
// as from a filter, unless an OUTPUT is given.
TEST_F(CliTest, StandardInputIsAnInput) {
  const fs::path output = dir_ / "out.txt";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    bool written;
  } cases[] = {
      {{"-"}, kExitConverted, kPlainOutput, false},
      {{"-", "-"}, kExitConverted, kPlainOutput, false},
      {{"-", Arg(output)}, kExitConverted, "", true},
      {{"-d", "-"}, kExitUsage, "", false},
      {{"-n", "-"}, kExitConverted, "", false},
      {{"-n", "-d", "-"},
       kExitConverted,
       "--- -\n+++ -\n@@ -1,3 +1,4 @@\n+" + kHeader.substr(0, kHeader.size() - 2) +
           "\n ip lan1 address 192.168.0.1/24\n ip route default gateway 192.168.0.254 # "
           "upstream\n syslog notice on\n",
       false},
  };
  for (const auto& c : cases) {
    fs::remove(output);
    const CliRun run = RunTool(c.args, std::nullopt, kPlainConfig);
    EXPECT_EQ(run.status, c.status) << c.args.size() << run.err;
    EXPECT_EQ(run.out, c.out) << c.args.size();
    EXPECT_EQ(fs::exists(output), c.written);
    if (c.written) {
      EXPECT_EQ(ReadBytes(output), kPlainOutput);
    }
  }
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"config.txt"});
}

TEST_F(CliTest, BinaryInputIsAFileError) {
  WriteBytes(input_, std::string("ip lan1\0 address\n", 18));
  const CliRun run = RunTool({Arg(input_)});
  EXPECT_EQ(run.status, kExitFileError);
  EXPECT_TRUE(Contains(run.err, Arg(input_))) << run.err;
  EXPECT_TRUE(Contains(run.err, "NUL")) << run.err;
  EXPECT_FALSE(fs::exists(DefaultOutput()));
}

TEST_F(CliTest, FailedWriteKeepsTheOldOutput) {
  WriteBytes(DefaultOutput(), kOldOutput);
  SetWriteFaultAfterBytes(10);
  const CliRun run = RunTool({"-f", Arg(input_)});
  SetWriteFaultAfterBytes(-1);
  EXPECT_EQ(run.status, kExitFileError);
  EXPECT_TRUE(Contains(run.err, Arg(DefaultOutput()))) << run.err;
  EXPECT_TRUE(Contains(run.err, "cannot write")) << run.err;
  EXPECT_EQ(ReadBytes(DefaultOutput()), kOldOutput);
  EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"config.txt", "qdn570-config.txt"}));
}

// Each message begins with the program's name; an unknown option is named
// before anything else that is wrong.
TEST_F(CliTest, BadArgumentsAreUsageErrors) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, "INPUT is required\nRun with --help for more information.\n"},
      {{"--bogus"}, "unknown option --bogus\n"},
      {{"-j", "0", "--bogus=3", "-x", "-o"}, "unknown options --bogus, -x\n"},
      {{"-o", "out", "-j", "0", Arg(input_)}, "--jobs: Value 0 not in range 1 to 256\n"},
      {{Arg(input_), "a", "b"}, "one INPUT and at most one OUTPUT"},
      {{Arg(input_), "-e"}, "--encoding: 1 required NAME missing\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunTool(c.args);
    EXPECT_EQ(run.status, kExitUsage) << ::testing::PrintToString(c.args);
    EXPECT_EQ(run.err.rfind("cnvqdn570conf: " + c.err, 0), 0u) << run.err;
  }
  EXPECT_FALSE(fs::exists(DefaultOutput()));
}

TEST_F(CliTest, HelpAndVersion) {
  for (const char* help : {"-h", "--help"}) {
    const CliRun run = RunTool({help});
    EXPECT_EQ(run.status, kExitConverted);
    for (const char* option : {"--force", "--encoding", "--diff", "--dry-run", "--version"}) {
      EXPECT_TRUE(Contains(run.out, option)) << option;
    }
    EXPECT_TRUE(Contains(run.out, "Exit status")) << run.out;
    // Values by their names alone, without the parser's types.
    EXPECT_TRUE(Contains(run.out, "\n  INPUT...  ") && Contains(run.out, "\n  -j,--jobs N  "));
    for (const char* type : {"TEXT", "UINT", "REQUIRED"}) EXPECT_FALSE(Contains(run.out, type));
  }
  for (const char* version : {"-V", "--version"}) {
    const CliRun run = RunTool({version});
    EXPECT_EQ(run.status, kExitConverted);
    EXPECT_EQ(run.out, "cnvqdn570conf Version 1.01\n");
  }
}

TEST(YesAnswerTest, OnlyYesMeansYes) {
  for (const char16_t* yes : {u"y", u"Y", u"yes", u"YES", u" y ", u"Yes\r"}) {
    EXPECT_TRUE(IsYesAnswer(yes)) << Utf16ToUtf8(yes);
  }
  for (const char16_t* no : {u"", u"n", u"no", u"yy", u"ye", u"y es", u"oui"}) {
    EXPECT_FALSE(IsYesAnswer(no)) << Utf16ToUtf8(no);
  }
}

// The shipped examples convert, each by its own converter, and every
// conversion leaves its mark on them.
TEST_F(CliTest, ExamplesExerciseEveryConversion) {
  struct Example {
    const char* file;
    const char* kind;
  };
  for (const Example& e : {Example{"gui-config.txt", "web-GUI save"},
                           Example{"tftp-config.txt", "sectioned listing"}}) {
    const CliRun run = RunTool({Arg(fs::path(CNV_EXAMPLES_DIR) / e.file), "-"});
    ASSERT_EQ(run.status, kExitConverted) << e.file << run.err;
    EXPECT_TRUE(Contains(run.err, e.kind)) << run.err;
    for (const char* mark :
         {"provider lan2 name \"PRV/0/1/5/0/0/0:", "pp name \"PRV/", "provider set ",
          " provider dns server ", " provider select ", "provider ntpdate ",
          "ip filter 500000 restrict * * * * *", "url filter external-database use category",
          "url lan1 filter in 10000", "url pp filter ", "external-memory config filename"}) {
      EXPECT_TRUE(Contains(run.out, mark)) << e.file << ": " << mark;
    }
    EXPECT_FALSE(Contains(run.out, "usbhost config filename")) << e.file;
    EXPECT_FALSE(Contains(run.out, "PRV/DHCP/")) << e.file;
  }
}

// The real binary, through the shell: exit statuses and a terminal-less
// standard input.
class BinaryTest : public CliTest {
 protected:
  int Shell(const std::string& arguments) {
#ifdef _WIN32
    const std::string command = "\"\"" CNV_CLI_BINARY "\" " + arguments + " < NUL\"";
    return std::system(command.c_str());
#else
    const std::string command = "LC_ALL=C '" CNV_CLI_BINARY "' " + arguments + " < /dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }
  std::string Quoted(const fs::path& path) {
    std::string quoted(1, '"');
    quoted += Arg(path);
    quoted += '"';
    return quoted;
  }
};

TEST_F(BinaryTest, ExitStatuses) {
  const fs::path out = dir_ / "stdout.txt";
  const fs::path err = dir_ / "stderr.txt";
  const std::string redirect = " > " + Quoted(out) + " 2> " + Quoted(err);

  EXPECT_EQ(Shell("-V" + redirect), kExitConverted);
  EXPECT_EQ(ReadBytes(out), "cnvqdn570conf Version 1.01\n");

  EXPECT_EQ(Shell("-e UTF-8 " + Quoted(input_) + redirect), kExitConverted);
  EXPECT_EQ(ReadBytes(DefaultOutput()), kPlainOutput);

  // Standard input is not a terminal: no question, the output is kept.
  WriteBytes(DefaultOutput(), kOldOutput);
  EXPECT_EQ(Shell("-e UTF-8 " + Quoted(input_) + redirect), kExitUsage);
  EXPECT_EQ(ReadBytes(DefaultOutput()), kOldOutput);
  EXPECT_TRUE(Contains(ReadBytes(err), "already exists"));

  EXPECT_EQ(Shell("-e UTF-8 " + Quoted(input_) + " -" + redirect), kExitConverted);
  EXPECT_EQ(ReadBytes(out), kPlainOutput);

  EXPECT_EQ(Shell(Quoted(dir_ / "missing.txt") + redirect), kExitConversionFailed);
  EXPECT_TRUE(Contains(ReadBytes(err), TerminalMessage(kInputOpenFailed))) << ReadBytes(err);

  EXPECT_EQ(Shell("--bogus" + redirect), kExitUsage);
}

}  // namespace
