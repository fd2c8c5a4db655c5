// The tool against every kind of wrong file a user can hand it, and against
// interrupts, run as a child process the way a shell runs it. Each row gives
// the exit status and the exact standard error the tool must answer with;
// every row also shows that no existing file changed and that nothing was
// left behind (no temporary file) in the folder of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/process_test_support.h"
#include "engine/cnv_base.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#endif

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const char16_t kSep = static_cast<char16_t>(fs::path::preferred_separator);
// The converter's messages as the tool shows them in English: with their
// meaning after them.
const std::u16string kInputOpenFailed =
    u"入力ファイルのオープンに失敗しました。 (the input file could not be opened)";
const std::u16string kOutputOpenFailed =
    u"出力ファイルのオープンに失敗しました。 (the output file could not be opened)";
// " (REASON)" as the tool adds it after a file it could not open.
std::u16string Reason(const std::error_code& why) {
#ifdef _WIN32
  // The system's text is in the ANSI code page, as the tool writes it.
  SetFileEncoding("");
  std::u16string text = DecodeText(why.message());
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  return u" (" + text + u")";
#else
  return u" (" + Utf8ToUtf16(why.message()) + u")";
#endif
}

std::error_code Missing() {
#ifdef _WIN32
  return std::error_code(ERROR_FILE_NOT_FOUND, std::system_category());
#else
  return std::make_error_code(std::errc::no_such_file_or_directory);
#endif
}

std::error_code MissingFolder() {
#ifdef _WIN32
  return std::error_code(ERROR_PATH_NOT_FOUND, std::system_category());
#else
  return std::make_error_code(std::errc::no_such_file_or_directory);
#endif
}

std::error_code Denied() {
#ifdef _WIN32
  return std::error_code(ERROR_SHARING_VIOLATION, std::system_category());
#else
  return std::make_error_code(std::errc::permission_denied);
#endif
}

const std::u16string kNotText =
    u": cannot read: not a configuration text: the file contains a NUL byte (a binary or UTF-16 "
    u"file?)";

const std::u16string kRaiseLimit = u" (raise it with --max-input-size)";

const std::string kConfig =
    "ip lan1 address 192.168.0.1/24\n"
    "ip route default gateway 192.168.0.254 # upstream\n"
    "syslog notice on\n";

// The line of both examples after which the long rows put their lines.
const std::string kAnchor = "telnetd host lan1\n";

fs::path Tool() {
  return BuiltProgram(CNV_CLI_BINARY);
}

std::string Header() {
  return Utf16ToUtf8(kOutputHeader) + "\r\n";
}

// LF-separated lines with CR LF line ends, as the output file has them.
std::string Crlf(const std::string& lines) {
  std::string out;
  out.reserve(lines.size() + lines.size() / 16);
  for (char c : lines) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The output file for LF-separated UTF-8 lines no rule touches.
std::string Converted(const std::string& lines) {
  return Header() + Crlf(lines);
}

std::string Example(const char* name) {
  return ReadBytes(fs::path(CNV_EXAMPLES_DIR) / name);
}

// `text` with `insert` after the first `anchor`.
std::string InsertAfter(const std::string& text, const std::string& anchor,
                        const std::string& insert) {
  const size_t at = text.find(anchor);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no line " << anchor;
    return text;
  }
  std::string result = text;
  result.insert(at + anchor.size(), insert);
  return result;
}

std::string Utf16Le(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// Lines of a realistic long configuration: filter rules, routes and
// comments, none of which a conversion touches.
std::string FillerLines(int count) {
  std::string lines;
  lines.reserve(static_cast<size_t>(count) * 40);
  for (int i = 0; i < count; ++i) {
    const int n = 1000 + i;
    switch (i % 4) {
      case 0:
        lines += "ip filter " + std::to_string(n) + " pass 192.168." + std::to_string(i % 250) +
                 ".0/24 * tcp * www\n";
        break;
      case 1:
        lines += "ip filter " + std::to_string(n) + " reject * * udp * netbios_ns-netbios_ssn\n";
        break;
      case 2:
        lines += "ip route 10." + std::to_string(i % 250) + "." + std::to_string(i / 250 % 250) +
                 ".0/24 gateway 192.168.10.254 # branch\n";
        break;
      default:
        lines += "# rule block " + std::to_string(n) + "\n";
    }
  }
  return lines;
}

// The files and folders under a folder, with the bytes of every file: two
// snapshots differ when a file changed, appeared or disappeared.
using Snapshot = std::map<std::string, std::string>;

Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot snapshot;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).generic_string();
    if (entry.is_directory()) {
      snapshot[name + "/"] = "";
      continue;
    }
    if (!entry.is_regular_file()) {
      snapshot[name] = "(not a file)";  // reading a pipe would take its bytes
      continue;
    }
    std::ifstream f(entry.path(), std::ios::binary);
    if (!f) {
      // Unreadable to the test too: its size and time must stay.
      snapshot[name] = "(unreadable) " + std::to_string(entry.file_size()) + " bytes, written " +
                       std::to_string(entry.last_write_time().time_since_epoch().count());
      continue;
    }
    snapshot[name].assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  return snapshot;
}

// What differs between two snapshots, one name a line; empty when nothing.
std::string Changes(const Snapshot& expected, const Snapshot& actual) {
  std::ostringstream changes;
  for (const auto& [name, bytes] : expected) {
    const auto found = actual.find(name);
    if (found == actual.end()) {
      changes << "missing: " << name << "\n";
    } else if (found->second != bytes) {
      const auto [at, unused] =
          std::mismatch(bytes.begin(), bytes.end(), found->second.begin(), found->second.end());
      changes << "changed: " << name << " (" << found->second.size() << " bytes, expected "
              << bytes.size() << "; first difference at byte " << (at - bytes.begin()) << ")\n";
    }
  }
  for (const auto& entry : actual) {
    if (!expected.count(entry.first)) changes << "left behind: " << entry.first << "\n";
  }
  return changes.str();
}

// The folders of one row: `work` holds the row's files and is the tool's
// current folder; `capture` collects its streams; `reference` is for runs
// that give the expected output.
struct Folders {
  fs::path work;
  fs::path capture;
  fs::path reference;
};

// The tool's output for a configuration, from a plain run of the binary in
// the reference folder.
std::string ReferenceOutput(const Folders& f, const std::string& input) {
  WriteBytes(f.reference / "input.txt", input);
  const ChildRun run =
      RunChild(Tool(), {"-e", "UTF-8", "-f", "input.txt", "out.txt"}, {f.reference, f.capture});
  EXPECT_EQ(run.status, kExitConverted) << "reference run: " << run.err;
  return ReadBytes(f.reference / "out.txt");
}

enum class Needs {
  Nothing,
  NotRoot,             // file permissions must bind the tool, which they do not for root
  NoAddressSanitizer,  // a limit on the address space, which the sanitizer's shadow exceeds
};

using Make = std::function<void(const Folders&)>;
using Expect = std::function<std::string(const Folders&)>;

// One row of the table: the files it makes in the work folder, the tool's
// arguments (after "-e" and the row's character set) and the answer.
struct Row {
  Row(std::string rowName, Make rowMake, std::vector<std::string> rowArgs, int rowStatus,
      std::u16string rowErr)
      : name(std::move(rowName)),
        make(std::move(rowMake)),
        args(std::move(rowArgs)),
        status(rowStatus),
        err(u"cnvqdn570conf: " + rowErr + u"\n") {}

  // The run writes `file` (relative to the work folder) with these bytes.
  Row& Writes(std::string file, Expect bytes) {
    written = std::move(file);
    expected = std::move(bytes);
    return *this;
  }
  Row& Encoding(std::string name) {
    encoding = std::move(name);
    return *this;
  }
  Row& Requires(Needs what) {
    needs = what;
    return *this;
  }
  Row& FileSizeLimit(long long bytes) {
    fileSizeLimit = bytes;
    return *this;
  }
  Row& MemoryLimit(long long bytes) {
    memoryLimit = bytes;
    needs = Needs::NoAddressSanitizer;
    return *this;
  }
  Row& Held(std::string file) {
    held = std::move(file);
    return *this;
  }
  Row& Stdin(std::string file) {
    stdinFile = std::move(file);
    return *this;
  }
  // The tool is sent `sig` once its temporary file exists, and says nothing.
  Row& InterruptedBy(int sig) {
    interrupt = sig;
    err.clear();
    return *this;
  }

  std::string name;
  Make make;
  std::vector<std::string> args;
  int status;
  std::u16string err;  // the whole standard error
  std::string written;
  Expect expected;
  std::string encoding = "UTF-8";
  Needs needs = Needs::Nothing;
  long long fileSizeLimit = -1;  // POSIX: the child's file-size limit
  long long memoryLimit = -1;    // POSIX: the child's address-space limit
  std::string held;              // Windows: a file another program holds open during the run
  std::string stdinFile;         // the child's standard input, a file of the work folder
  int interrupt = 0;             // POSIX: the signal sent during the write, 0 for none
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

// Makes the file `name` with `bytes`.
Make File(const std::string& name, const std::string& bytes) {
  return [name, bytes](const Folders& f) { WriteBytes(f.work / name, bytes); };
}

Make Folder(const std::string& name) {
  return [name](const Folders& f) { fs::create_directories(f.work / name); };
}

Make All(std::vector<Make> steps) {
  return [steps](const Folders& f) {
    for (const Make& step : steps) step(f);
  };
}

Make ReadOnly(const std::string& name) {
  return [name](const Folders& f) {
    fs::permissions(f.work / name,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  };
}

Expect Bytes(const std::string& bytes) {
  return [bytes](const Folders&) { return bytes; };
}

const std::u16string kSepText(1, kSep);

std::u16string IsTheInput(const std::u16string& output) {
  return output + u" is the input file; choose another OUTPUT so that the input is kept";
}

// The counts the summary line gives for a configuration no step changes.
const std::u16string kUnchanged = u": no lines changed";

// Rows with a big configuration: a shipped example with the lines of
// `insert` after the anchor line. The output must be the example's own
// output with the same lines after the anchor, each ending in CR LF; the
// summary gives the example's own counts.
Row BigRow(const std::string& name, const char* example, const std::u16string& kind,
           std::function<std::string()> insert) {
  const std::u16string counts =
      kind == u"web-GUI save" ? u": 35 lines changed by 5 steps" : u": 48 lines changed by 5 steps";
  Row row(
      name,
      [example, insert](const Folders& f) {
        WriteBytes(f.work / "big.txt", InsertAfter(Example(example), kAnchor, insert()));
      },
      {"big.txt", "out.txt"}, kExitConverted,
      u"converted big.txt (" + kind + u") to out.txt" + counts);
  row.Writes("out.txt", [example, insert](const Folders& f) {
    return InsertAfter(ReferenceOutput(f, Example(example)), Crlf(kAnchor), Crlf(insert()));
  });
  return row;
}

std::string Line(size_t size, char c) {
  return std::string(size, c) + "\n";
}

// A URL filter binding line naming `count` numbers from `first` on.
[[maybe_unused]] std::string BindingLine(int count, int first) {
  std::string line = "url lan2 filter out";
  for (int i = 0; i < count; ++i) line.append(" ").append(std::to_string(first + i));
  return line + "\n";
}

std::vector<Row> Rows() {
  // The start of a PNG picture, and a configuration with a NUL byte.
  static constexpr char kPng[] =
      "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0\x1f\xf3\xff"
      "a";
  static constexpr char kNulConfig[] = "ip lan1 address 192.168.0.1/24\nsyslog\0 on\n";
  const std::string png(kPng, sizeof kPng - 1);
  const std::string nulConfig(kNulConfig, sizeof kNulConfig - 1);
  std::string noNul;
  for (int i = 0; i < 4096; ++i) noNul += static_cast<char>(1 + (i * 151) % 255);
  // Shift_JIS: a comment "# 本社ルータ", a command, then a lead byte with a
  // blank where its second byte must be.
  const std::string sjis =
      "# \x96\x7b\x8e\xd0\x83\x8b\x81\x5b\x83\x5e\n"
      "ip lan1 address 192.168.0.1/24\n"
      "description lan1 \x81 office\n";
  // The same without the bad byte: valid Shift_JIS, which is not UTF-8.
  const std::string sjisValid = sjis.substr(0, sjis.rfind("description"));
  const size_t tenMiB = 10u << 20;
  const std::string atOneMiB =
      kConfig + "#" + std::string((1u << 20) - kConfig.size() - 2, 'x') + "\n";
  const std::vector<std::string> toOut{"config.txt", "out.txt"};
  const std::vector<std::string> forcedToOut{"-f", "config.txt", "out.txt"};

  std::vector<Row> rows = {
      Row(
          "MissingInput", [](const Folders&) {}, {"missing.txt", "out.txt"}, kExitConversionFailed,
          u"missing.txt: " + kInputOpenFailed + Reason(Missing())),
      Row("StandardInput", File("config.txt", kConfig), {"-", "out.txt"}, kExitConverted,
          u"converted standard input (web-GUI save) to out.txt" + kUnchanged)
          .Stdin("config.txt")
          .Writes("out.txt", Bytes(Converted(kConfig))),
      Row("InvalidStandardInput", File("config.txt", sjis), {"-", "out.txt"}, kExitFileError,
          u"standard input: cannot read: line 3: bytes that are not valid CP932")
          .Stdin("config.txt")
          .Encoding("CP932"),
      // The mark is not part of line 1; the output carries none.
      Row("Utf8ByteOrderMark", File("config.txt", "\xEF\xBB\xBF" + kConfig), toOut, kExitConverted,
          u"converted config.txt (web-GUI save) to out.txt" + kUnchanged)
          .Writes("out.txt", Bytes(Converted(kConfig))),
      Row("Utf8ByteOrderMarkReadAsCp932", File("config.txt", "\xEF\xBB\xBF" + kConfig), toOut,
          kExitFileError,
          u"config.txt: cannot read: line 1: begins with a UTF-8 byte-order mark: the file looks "
          u"like UTF-8, not CP932 (try -e UTF-8)")
          .Encoding("CP932"),
      Row("ShiftJisReadAsUtf8", File("config.txt", sjisValid), toOut, kExitFileError,
          u"config.txt: cannot read: line 1: bytes that are not valid UTF-8; the whole file reads "
          u"as CP932 (try -e CP932)"),
      Row("Utf8ReadAsCp932", File("config.txt", "# あ\n" + kConfig), toOut, kExitFileError,
          u"config.txt: cannot read: line 1: bytes that are not valid CP932; the whole file reads "
          u"as UTF-8 (try -e UTF-8)")
          .Encoding("CP932"),
      // Even with -f, a file that is not an earlier output is never replaced:
      // after `-f *.txt` it is the second router's configuration.
      Row("OutputIsAnotherConfiguration",
          All({File("config.txt", kConfig), File("second.txt", kConfig)}),
          {"-f", "config.txt", "second.txt"}, kExitUsage,
          u"second.txt is not an output of this tool (its first line is not the header line); "
          u"not replaced, even with -f"),
      Row("OutputIsAnEarlierOutput",
          All({File("config.txt", kConfig), File("out.txt", Converted("old\n"))}), forcedToOut,
          kExitConverted, u"converted config.txt (web-GUI save) to out.txt" + kUnchanged)
          .Writes("out.txt", Bytes(Converted(kConfig))),
      Row("FolderAsInput", Folder("saved"), {"saved", "out.txt"}, kExitUsage,
          u"saved is a folder, not a configuration file"),
      Row("EmptyFile", File("empty.txt", ""), {"empty.txt", "out.txt"}, kExitConverted,
          u"converted empty.txt (web-GUI save) to out.txt" + kUnchanged +
              u", 1 notice (see --report)")
          .Writes("out.txt", Bytes(Header())),
      Row("BinaryFile", File("picture.png", png), {"picture.png", "out.txt"}, kExitFileError,
          u"picture.png" + kNotText),
      Row("BinaryFileWithoutNul", File("data.bin", noNul), {"data.bin", "out.txt"}, kExitFileError,
          u"data.bin: cannot read: line 1: bytes that are not valid UTF-8"),
      Row("NulByte", File("config.txt", nulConfig), toOut, kExitFileError,
          u"config.txt" + kNotText),
      Row("Utf16WithByteOrderMark", File("config.txt", "\xff\xfe" + Utf16Le(kConfig)), toOut,
          kExitFileError, u"config.txt" + kNotText),
      Row("Utf16WithoutByteOrderMark", File("config.txt", Utf16Le(kConfig)), toOut, kExitFileError,
          u"config.txt" + kNotText),
      Row("InvalidShiftJis", File("sjis.txt", sjis), {"sjis.txt", "out.txt"}, kExitFileError,
          u"sjis.txt: cannot read: line 3: bytes that are not valid CP932")
          .Encoding("CP932"),
      // Refused by its size, unread: read, its NUL bytes would be the reason.
      Row(
          "JustOverTheSizeLimit",
          [](const Folders& f) {
            WriteBytes(f.work / "big.txt", "");
            fs::resize_file(f.work / "big.txt", 65u << 20);
          },
          {"big.txt", "out.txt"}, kExitFileError,
          u"big.txt: cannot read: the input is 68157440 bytes, over the size limit of 64 MiB" +
              kRaiseLimit),
      Row("AtARaisedSizeLimit", File("config.txt", atOneMiB),
          {"--max-input-size", "1", "config.txt", "out.txt"}, kExitConverted,
          u"converted config.txt (web-GUI save) to out.txt" + kUnchanged)
          .Writes("out.txt", Bytes(Converted(atOneMiB))),
      Row("StandardInputOverTheSizeLimit", File("config.txt", atOneMiB + "\n"),
          {"--max-input-size", "1", "-", "out.txt"}, kExitFileError,
          u"standard input: cannot read: the input is more than 1048576 bytes, over the size "
          u"limit of 1 MiB" +
              kRaiseLimit)
          .Stdin("config.txt"),
      BigRow("TenMiBLineOfAInAWebGuiSave", "gui-config.txt", u"web-GUI save",
             [=] { return Line(tenMiB, 'a'); }),
      BigRow("TenMiBLineOfHashInAWebGuiSave", "gui-config.txt", u"web-GUI save",
             [=] { return Line(tenMiB, '#'); }),
      BigRow("TenMiBLineOfAInAListing", "tftp-config.txt", u"sectioned listing",
             [=] { return Line(tenMiB, 'a'); }),
      BigRow("TenMiBLineOfHashInAListing", "tftp-config.txt", u"sectioned listing",
             [=] { return Line(tenMiB, '#'); }),
      // The example has 107 lines: a million in all.
      BigRow("MillionLines", "gui-config.txt", u"web-GUI save",
             [] { return FillerLines(1000000 - 107); }),
      Row("MissingOutputFolder", File("config.txt", kConfig),
          {"config.txt", "no-such-folder/out.txt"}, kExitConversionFailed,
          u"no-such-folder/out.txt: " + kOutputOpenFailed + u" (no-such-folder: " +
              Reason(MissingFolder()).substr(2)),
      Row("FolderAsOutput", All({File("config.txt", kConfig), Folder("out")}),
          {"config.txt", "out"}, kExitConverted,
          u"converted config.txt (web-GUI save) to out" + kSepText + u"qdn570-config.txt" +
              kUnchanged)
          .Writes("out/qdn570-config.txt", Bytes(Converted(kConfig))),
      // The output folder holds a folder of the output's name: -f would not
      // help, so the tool does not suggest it.
      Row("FolderInTheOutputsPlace",
          All({File("config.txt", kConfig), Folder("out/qdn570-config.txt")}),
          {"config.txt", "out"}, kExitConversionFailed,
          u"out" + kSepText + u"qdn570-config.txt: " + kOutputOpenFailed +
              Reason(std::make_error_code(std::errc::is_a_directory))),
      Row("ReadOnlyOutput",
          All({File("config.txt", kConfig), File("out.txt", Converted("old\n")),
               ReadOnly("out.txt")}),
          forcedToOut, kExitConversionFailed,
          u"out.txt: " + kOutputOpenFailed +
              Reason(std::make_error_code(std::errc::permission_denied)))
          .Requires(Needs::NotRoot),
      Row("OutputIsTheInput", File("config.txt", kConfig), {"-f", "config.txt", "config.txt"},
          kExitUsage, IsTheInput(u"config.txt")),
      Row("OutputIsTheInputByAnotherPath", File("config.txt", kConfig),
          {"-f", "config.txt", "./config.txt"}, kExitUsage, IsTheInput(u"./config.txt")),
      Row("DefaultOutputIsTheInput", File("qdn570-config.txt", kConfig),
          {"-f", "qdn570-config.txt"}, kExitUsage, IsTheInput(u"qdn570-config.txt")),
      Row("OutputIsAHardLinkToTheInput",
          All({File("config.txt", kConfig),
               [](const Folders& f) {
                 fs::create_hard_link(f.work / "config.txt", f.work / "link.txt");
               }}),
          {"-f", "config.txt", "link.txt"}, kExitUsage, IsTheInput(u"link.txt")),
  };
#ifdef _WIN32
  // Another program holds the file open without sharing it.
  rows.push_back(Row("HeldInput", File("config.txt", kConfig), toOut, kExitConversionFailed,
                     u"config.txt: " + kInputOpenFailed + Reason(Denied()))
                     .Held("config.txt"));
  rows.push_back(Row("HeldOutput",
                     All({File("config.txt", kConfig), File("out.txt", Converted("old\n"))}),
                     forcedToOut, kExitConversionFailed,
                     u"out.txt: " + kOutputOpenFailed +
                         Reason(std::error_code(ERROR_ACCESS_DENIED, std::system_category())))
                     .Held("out.txt"));
#else
  rows.push_back(
      Row("UnreadableInput",
          All({File("config.txt", kConfig),
               [](const Folders& f) { fs::permissions(f.work / "config.txt", fs::perms::none); }}),
          toOut, kExitConversionFailed, u"config.txt: " + kInputOpenFailed + Reason(Denied()))
          .Requires(Needs::NotRoot));
  // A named pipe reads like a file: once, to its end.
  rows.push_back(
      Row(
          "NamedPipe",
          [](const Folders& f) {
            const fs::path pipe = f.work / "pipe.txt";
            ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
            std::thread([pipe] { std::ofstream(pipe, std::ios::binary) << kConfig; }).detach();
          },
          {"pipe.txt", "out.txt"}, kExitConverted,
          u"converted pipe.txt (web-GUI save) to out.txt" + kUnchanged)
          .Writes("out.txt", Bytes(Converted(kConfig))));
  // A real write failure half-way through the output: the file-size limit
  // stops the temporary file at 2 KiB of the example's 4 KiB.
  rows.push_back(
      Row("WriteFailsHalfWay",
          All({File("config.txt", Example("gui-config.txt")), File("out.txt", Converted("old\n"))}),
          forcedToOut, kExitFileError, u"out.txt: cannot write: write failed (disk full?)")
          .FileSizeLimit(2048));
  // A binding line of a hundred thousand numbers, which a damaged file may
  // hold: each gets its new number within 256 MiB of address space, where
  // memory growing with the square of the line would not fit.
  rows.push_back(
      Row(
          "HundredThousandNumbersInABindingLine",
          [](const Folders& f) {
            WriteBytes(f.work / "config.txt", kConfig + BindingLine(100000, 1));
          },
          toOut, kExitConverted,
          u"converted config.txt (web-GUI save) to out.txt: 1 line changed by 1 step, 1 notice "
          u"(see --report)")
          .Writes("out.txt",
                  [](const Folders&) { return Converted(kConfig + BindingLine(100000, 10600)); })
          .MemoryLimit(256ll << 20));
  // A file too big for the memory the tool may have: a 64 MiB line where
  // 256 MiB of address space is allowed. The tool says so; it does not crash.
  rows.push_back(Row("TooBigForMemory", File("huge.txt", Line(64u << 20, 'a')),
                     {"--max-input-size", "128", "huge.txt", "out.txt"}, kExitFileError,
                     u"huge.txt: not enough memory to convert this file")
                     .MemoryLimit(256ll << 20));
  // Interrupted while it writes a million lines over an older output.
  const std::pair<int, const char*> interrupts[] = {
      {SIGINT, "Sigint"}, {SIGTERM, "Sigterm"}, {SIGHUP, "Sighup"}};
  for (const auto& [sig, name] : interrupts) {
    rows.push_back(Row(std::string("InterruptedBy") + name,
                       All({[](const Folders& f) {
                              WriteBytes(f.work / "big.txt",
                                         InsertAfter(Example("gui-config.txt"), kAnchor,
                                                     FillerLines(1000000 - 107)));
                            },
                            File("out.txt", Converted("old\n"))}),
                       {"-f", "big.txt", "out.txt"}, 128 + sig, u"")
                       .InterruptedBy(sig));
  }
#endif
  return rows;
}

class BadInputTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    const fs::path root = TestDir();
    folders_ = {root / "work", root / "capture", root / "reference"};
    for (const fs::path& dir : {folders_.work, folders_.capture, folders_.reference}) {
      fs::create_directories(dir);
    }
  }
  // Gives back every permission, so that the next run can remove the files.
  void TearDown() override {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folders_.work, ec)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }

  Folders folders_;
};

TEST_P(BadInputTest, AnswersAndKeepsEveryFile) {
  const Row& row = GetParam();
#ifndef _WIN32
  if (row.needs == Needs::NotRoot && geteuid() == 0) {
    GTEST_SKIP() << "running as root, whom file permissions do not stop";
  }
  if (row.needs == Needs::NoAddressSanitizer && kAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer needs more address space than the row allows";
  }
#endif
  row.make(folders_);
  const Snapshot before = TakeSnapshot(folders_.work);
  Snapshot expected = before;
  if (!row.written.empty()) expected[row.written] = row.expected(folders_);

  std::vector<std::string> args{"-e", row.encoding};
  args.insert(args.end(), row.args.begin(), row.args.end());
  ChildOptions options{folders_.work, folders_.capture};
  if (!row.stdinFile.empty()) options.stdinFile = folders_.work / row.stdinFile;
  options.fileSizeLimit = row.fileSizeLimit;
  options.memoryLimit = row.memoryLimit;
  options.interruptSignal = row.interrupt;
  options.interruptWhen = [&] {
    for (const fs::directory_entry& entry : fs::directory_iterator(folders_.work)) {
      if (entry.path().extension() == ".tmp") return true;
    }
    return false;
  };
  ChildRun run;
  {
#ifdef _WIN32
    std::optional<FileHold> hold;
    if (!row.held.empty()) {
      hold.emplace(folders_.work / row.held);
      ASSERT_TRUE(hold->held()) << row.held;
    }
#endif
    run = RunChild(Tool(), args, options);
  }
  std::cout << "[     time ] " << row.name << ": " << run.seconds << " s\n";
  RecordProperty("seconds", std::to_string(run.seconds));

  ASSERT_EQ(run.failure, "");
  EXPECT_FALSE(run.timedOut) << "the tool did not end within " << options.timeoutSeconds << " s";
  EXPECT_EQ(run.signal, 0) << "the tool was ended by a signal";
  EXPECT_EQ(run.status, row.status);
  EXPECT_EQ(run.err, StderrBytes(row.err));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Changes(expected, TakeSnapshot(folders_.work)), "");
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

// A path as RunCli takes it: UTF-8 on Windows, the native bytes elsewhere.
std::string Arg(const fs::path& path) {
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
}

// A write that fails part-way, from the first byte to the last, simulated
// in the file layer with the tool run in-process: the old output keeps its
// bytes and the temporary file goes.
TEST(HalfWayWriteTest, FailedWriteKeepsTheOldOutputWherever) {
  const fs::path dir = TestDir();
  const fs::path input = dir / "config.txt";
  const fs::path output = dir / "out.txt";
  WriteBytes(input, Example("gui-config.txt"));
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"-e", "UTF-8", Arg(input), Arg(output)}, in, out, err), kExitConverted);
  const long long size = static_cast<long long>(ReadBytes(output).size());
  WriteBytes(output, Header() + "old\r\n");  // an earlier output, which -f replaces
  const Snapshot before = TakeSnapshot(dir);
  for (long long after : {0LL, 1LL, size / 2, size - 1}) {
    SetWriteFaultAfterBytes(after);
    std::ostringstream faultOut, faultErr;
    const int status =
        RunCli({"-e", "UTF-8", "-f", Arg(input), Arg(output)}, in, faultOut, faultErr);
    SetWriteFaultAfterBytes(-1);
    EXPECT_EQ(status, kExitFileError) << after;
    EXPECT_EQ(faultErr.str(), "cnvqdn570conf: " + Utf16ToUtf8(output.u16string()) +
                                  ": cannot write: write failed (disk full?)\n")
        << after;
    EXPECT_EQ(Changes(before, TakeSnapshot(dir)), "") << after;
  }
}

}  // namespace
