// Bad input end to end through the dialog: each row of the table prepares a
// folder, converts through CnvQDN570Conf.exe driven as a process (and through
// the dialog in this process, where the file layer's write fault can be set),
// and checks the message boxes shown, that no existing file changed and that
// no file (a temporary one above all) was left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/cnv_base.h"
#include "engine/messages.h"
#include "engine/strutil.h"
#include "engine/textfile.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"
#include "ui/sjis_fixture.h"
#include "ui/ui_test_support.h"

namespace {

namespace fs = std::filesystem;

const fs::path kProgram = BinDir() / "CnvQDN570Conf.exe";
const wchar_t kProgramName[] = L"CnvQDN570Conf";
const wchar_t kDefaultOutput[] = L"qdn570-config.txt";

// How long a row may take from the convert press to its last message box.
constexpr int kConversionTimeoutMs = 300000;

std::wstring Message(int id) {
  std::u16string text;
  LoadMessage(id, text);
  return ToWide(text);
}

std::wstring WithPath(int id, const std::wstring& path) {
  std::wstring text = Message(id);
  size_t at = text.find(L"%1");
  if (at != std::wstring::npos) text.replace(at, 2, path);
  return text;
}

// The system's words for a full disk, which the write fault stands for.
std::wstring DiskFullReason() {
  wchar_t text[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_DISK_FULL, 0, text, 256, nullptr);
  return std::wstring(text, wcscspn(text, L"\r\n"));
}

// ------------------------------------------------------------- the files

// Every entry under a folder: folders by name, files with their bytes.
struct Entry {
  bool folder = false;
  std::string bytes;
  bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::wstring, Entry>;

Snapshot TakeSnapshot(const fs::path& dir) {
  Snapshot snapshot;
  const size_t prefix = dir.wstring().size() + 1;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::wstring name = entry.path().wstring().substr(prefix);
    snapshot[name] = entry.is_directory() ? Entry{true, {}} : Entry{false, ReadBytes(entry.path())};
  }
  return snapshot;
}

// What differs between two snapshots, one line per entry; empty when none.
std::string Differences(const Snapshot& expected, const Snapshot& actual) {
  std::string out;
  auto name = [](const std::wstring& n) { return fs::path(n).string(); };
  for (const auto& [n, e] : expected) {
    auto found = actual.find(n);
    if (found == actual.end()) {
      out += "missing: " + name(n) + "\n";
    } else if (found->second.folder != e.folder) {
      out += "kind changed: " + name(n) + "\n";
    } else if (found->second.bytes != e.bytes) {
      out += "changed: " + name(n) + " (" + std::to_string(found->second.bytes.size()) +
             " bytes, expected " + std::to_string(e.bytes.size()) + ")\n";
    }
  }
  for (const auto& [n, e] : actual) {
    if (expected.find(n) == expected.end()) out += "left behind: " + name(n) + "\n";
  }
  return out;
}

// Holds a file open without sharing, as another program can: on Windows
// this is what makes a file unreadable and unwritable for everyone else.
class FileLock {
 public:
  explicit FileLock(const fs::path& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~FileLock() {
    if (held()) CloseHandle(handle_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The converted bytes of an input that no rule changes: the header, then
// every line with CR LF.
std::string Unchanged(const std::string& input) {
  std::string out = SjisHeader() + "\r\n";
  out.reserve(input.size() + input.size() / 8 + 64);
  for (char c : input) {
    if (c == '\n') out += '\r';
    out += c;
  }
  if (!input.empty() && input.back() != '\n') out += "\r\n";
  return out;
}

// ------------------------------------------------------------- the table

// One row's folder and the two fields as the user fills them.
struct Case {
  fs::path dir;
  std::wstring input;
  std::wstring outputText = kDefaultOutput;
  std::vector<fs::path> locked;        // held open without sharing during the conversion
  std::vector<fs::path> readOnly;      // given FILE_ATTRIBUTE_READONLY
  std::optional<std::string> written;  // the output's bytes when the conversion succeeds
  std::string inputBytes;              // what the input file holds, when it is a file

  fs::path Output() const { return ResolveOutputPath(input, outputText); }
};

enum class Outcome {
  kSucceeded,         // "変換が正常に終了しました。"
  kInputOpen,         // the engine could not open the input
  kOutputOpen,        // the output could not be created or replaced, or is the input
  kReadError,         // a file error naming the input
  kDiskFull,          // a write that failed, naming the output
  kAlreadyConverted,  // the input is an earlier output
  kTooLarge,          // the input is over the size limit: refused unread
};

struct Row {
  const char* name;
  void (*prepare)(Case&);
  bool asks;  // the overwrite question comes first; it is answered Yes
  Outcome outcome;
  bool big = false;                 // run through the program only
  long long writeFault = -1;        // the file layer's write fault; run in this process only
  const wchar_t* notice = nullptr;  // the one notice of a conversion, as the box lists it
};

// The bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string ConfigLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "ip filter " + std::to_string(500000 + i) + " pass * * * * *\n";
  }
  return text;
}

// A valid input that converts to itself plus the header.
void GoodInput(Case& c, const std::string& bytes = SjisInput()) {
  WriteBytes(c.dir / "router.txt", bytes);
  c.inputBytes = bytes;
  c.input = (c.dir / "router.txt").wstring();
}

void InputOf(Case& c, const std::string& bytes) {
  GoodInput(c, bytes);
  c.written = Unchanged(bytes);
}

const wchar_t kNotAConfiguration[] =
    L"注意 not-a-configuration: 変換するものが見つからず、VLK250 のコンフィグのコマンド（ip、pp、"
    L"dns、url など）で始まる行もありません。コンフィグではない可能性が高いです。";

const Row kRows[] = {
    {"MissingInput", [](Case& c) { c.input = (c.dir / "missing.txt").wstring(); }, false,
     Outcome::kInputOpen},
    {"FolderAsInput",
     [](Case& c) {
       fs::create_directory(c.dir / "router.txt");
       c.input = (c.dir / "router.txt").wstring();
     },
     false, Outcome::kInputOpen},
    // As root under Wine no permission keeps a file from being read; a
    // handle without sharing does, as on Windows.
    {"InputHeldOpenWithoutSharing",
     [](Case& c) {
       GoodInput(c);
       c.locked.push_back(c.input);
     },
     false, Outcome::kInputOpen},
    {"EmptyInput", [](Case& c) { InputOf(c, ""); }, false, Outcome::kSucceeded, false, -1,
     kNotAConfiguration},
    {"BinaryInput",
     [](Case& c) {
       std::string bytes;
       unsigned state = 12345;
       for (int i = 0; i < 4096; ++i) {
         state = state * 1103515245u + 12345u;
         bytes += static_cast<char>(state >> 24);
       }
       GoodInput(c, "\x89PNG\r\n\x1a\n" + bytes);
     },
     false, Outcome::kReadError},
    {"NulByteInALine", [](Case& c) { GoodInput(c, Bytes("ip lan1 address\0 1.2.3.4\n")); }, false,
     Outcome::kReadError},
    {"Utf16WithByteOrderMark",
     [](Case& c) { GoodInput(c, Bytes("\xFF\xFEi\0p\0 \0l\0a\0n\0\x31\0\n\0")); }, false,
     Outcome::kReadError},
    {"Utf16WithoutByteOrderMark",
     [](Case& c) { GoodInput(c, Bytes("i\0p\0 \0l\0a\0n\0\x31\0\r\0\n\0")); }, false,
     Outcome::kReadError},
    // A lead byte followed by a blank, after valid Japanese lines.
    {"InvalidShiftJis", [](Case& c) { GoodInput(c, SjisInput() + "# \x81 \n"); }, false,
     Outcome::kReadError},
    // Saved as UTF-8 by an editor: read in code page 932, its byte-order
    // mark would land in front of the first command.
    {"Utf8WithByteOrderMark",
     [](Case& c) {
       GoodInput(c, "\xEF\xBB\xBFlogin timer 1800\nip lan1 address 192.168.0.1/24\n");
     },
     false, Outcome::kReadError},
    // Read, its NUL bytes would be the reason; its size is.
    {"JustOverTheSizeLimit",
     [](Case& c) {
       GoodInput(c, "");
       fs::resize_file(c.input, 65u << 20);
     },
     false, Outcome::kTooLarge},
    {"TenMiBSingleLine", [](Case& c) { InputOf(c, std::string(10 << 20, '#')); }, false,
     Outcome::kSucceeded, true, -1, kNotAConfiguration},
    {"MillionLines", [](Case& c) { InputOf(c, ConfigLines(1000000)); }, false, Outcome::kSucceeded,
     true},
    // An earlier output given as the input, as the dialog writes it (code
    // page 932) and in UTF-8, which code page 932 does not even read.
    {"EarlierOutputAsInput",
     [](Case& c) {
       GoodInput(c, "# VLK250->QDN570\x95\xcf\x8a\xb7\x83\x52\x83\x93\x83\x74\x83\x42\x83\x4f\r\n" +
                        SjisInput());
     },
     false, Outcome::kAlreadyConverted},
    {"EarlierUtf8OutputAsInput",
     [](Case& c) {
       GoodInput(c, "\xEF\xBB\xBF" + Utf16ToUtf8(kOutputHeader) + "\nip lan1 address 1.2.3.4/24\n");
     },
     false, Outcome::kAlreadyConverted},
    {"OutputFolderMissing",
     [](Case& c) {
       GoodInput(c);
       c.outputText = (c.dir / "no-such-folder" / "fw.txt").wstring();
     },
     false, Outcome::kOutputOpen},
    {"OutputIsAFolder",
     [](Case& c) {
       GoodInput(c);
       fs::create_directory(c.dir / kDefaultOutput);
     },
     true, Outcome::kOutputOpen},
    {"ReadOnlyOutput",
     [](Case& c) {
       GoodInput(c);
       WriteBytes(c.dir / kDefaultOutput, "old\r\n");
       c.readOnly.push_back(c.dir / kDefaultOutput);
     },
     true, Outcome::kOutputOpen},
    // The input is not replaced by its own conversion: the user's only copy
    // of the router's settings would be gone.
    {"OutputIsTheInput",
     [](Case& c) {
       GoodInput(c);
       c.outputText = L"router.txt";
     },
     false, Outcome::kOutputOpen},
    {"OutputIsTheInputByFullPath",
     [](Case& c) {
       GoodInput(c);
       c.outputText = c.input;
     },
     false, Outcome::kOutputOpen},
    {"OutputIsTheInputSpelledOtherwise",
     [](Case& c) {
       GoodInput(c);
       c.outputText = (c.dir / "sub" / ".." / "ROUTER.TXT").wstring();
     },
     false, Outcome::kOutputOpen},
    {"OutputHeldOpenWithoutSharing",
     [](Case& c) {
       GoodInput(c);
       WriteBytes(c.dir / kDefaultOutput, "old\r\n");
       c.locked.push_back(c.dir / kDefaultOutput);
     },
     true, Outcome::kOutputOpen},
    // Writes that fail half-way, after the first 64 KiB have reached the
    // temporary file: over an existing output and as a new one.
    {"WriteFailsHalfWayOverAnOutput",
     [](Case& c) {
       GoodInput(c, ConfigLines(6000));
       WriteBytes(c.dir / kDefaultOutput, "old\r\n");
     },
     true, Outcome::kDiskFull, false, 100000},
    {"WriteFailsHalfWay", [](Case& c) { GoodInput(c, ConfigLines(6000)); }, false,
     Outcome::kDiskFull, false, 100000},
};

struct Box {
  std::wstring text;
  UINT type;
};

// The message boxes a row must show, in order.
std::vector<Box> ExpectedBoxes(const Row& row, const Case& c) {
  std::vector<Box> boxes;
  const fs::path output = c.Output();
  if (row.asks) {
    std::wstring question = Message(kIdsOverwriteQuestion);
    question.replace(question.find(L"%s"), 2, output.filename().wstring());
    boxes.push_back({question, MB_YESNO | MB_ICONEXCLAMATION});
  }
  std::wstring more;  // a conversion's notice, below its message after an empty line
  if (row.notice != nullptr) {
    more = L"\n\n注意が 1 件あります：\n" + std::wstring(row.notice) +
           L"\nすべての注意は、コマンドライン版で確認できます（何も書き込みません）："
           L"cnvqdn570conf -n --report \"" +
           c.input + L"\"";
  }
  switch (row.outcome) {
    case Outcome::kSucceeded:
      boxes.push_back({Message(kIdsConvertSucceeded) + more, MB_OK | MB_ICONINFORMATION});
      break;
    case Outcome::kInputOpen:
      boxes.push_back({Message(kIdsErrorInputOpen), MB_OK | MB_ICONINFORMATION});
      break;
    case Outcome::kOutputOpen:
      boxes.push_back({Message(kIdsErrorOutputOpen), MB_OK | MB_ICONINFORMATION});
      break;
    case Outcome::kReadError:
      boxes.push_back({WithPath(kIdsFileErrorGeneric, c.input), MB_OK | MB_ICONEXCLAMATION});
      break;
    case Outcome::kAlreadyConverted:
      boxes.push_back({Message(kIdsErrorAlreadyConverted) +
                           L"\n\n理由（1 行目）：1 行目が以前の出力のヘッダー行「" +
                           ToWide(kOutputHeader) +
                           L"」です。変換済みの QDN570 のコンフィグなので、もう一度変換すると"
                           L"行を二重に書き換えてしまいます。",
                       MB_OK | MB_ICONINFORMATION});
      break;
    case Outcome::kTooLarge: {
      std::wstring text = WithPath(kIdsFileErrorTooLarge, c.input);
      text.replace(text.find(L"%2"), 2, L"68157440");
      text.replace(text.find(L"%3"), 2, L"64");
      boxes.push_back({text, MB_OK | MB_ICONEXCLAMATION});
      break;
    }
    case Outcome::kDiskFull:
      boxes.push_back({WithPath(kIdsFileErrorDiskFull, output.wstring()) +
                           L"\n\nWindows が示す理由：" + DiskFullReason(),
                       MB_OK | MB_ICONEXCLAMATION});
      break;
  }
  return boxes;
}

// Converts with the two fields set and every question answered Yes;
// returns the message boxes shown (of their types, the bits in TypeMask()).
class Driver {
 public:
  virtual ~Driver() = default;
  virtual std::vector<Box> Convert(const std::wstring& input, const std::wstring& output) = 0;
  virtual UINT TypeMask() const = 0;
};

// Runs one row through `driver`: prepares the folder, converts, and checks
// the boxes and every file of the folder.
void RunRow(const Row& row, Driver& driver) {
  Case c;
  c.dir = UiTestDir();
  row.prepare(c);
  for (const auto& path : c.readOnly) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
  }
  if (row.writeFault >= 0) {
    // Half-way: after a first full buffer reached the file, before the end.
    ASSERT_GT(row.writeFault, 65536);
    ASSERT_LT(static_cast<size_t>(row.writeFault), Unchanged(c.inputBytes).size());
  }
  const Snapshot before = TakeSnapshot(c.dir);
  const std::vector<Box> expected = ExpectedBoxes(row, c);

  std::vector<Box> shown;
  {
    std::vector<std::unique_ptr<FileLock>> locks;
    for (const auto& path : c.locked) {
      locks.push_back(std::make_unique<FileLock>(path));
      ASSERT_TRUE(locks.back()->held()) << path;
    }
    shown = driver.Convert(c.input, c.outputText);
  }
  for (const auto& path : c.readOnly) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    if (i >= expected.size()) {
      ADD_FAILURE() << "unexpected box " << i << ": " << ::testing::PrintToString(shown[i].text);
      continue;
    }
    EXPECT_EQ(shown[i].text, expected[i].text) << "box " << i;
    EXPECT_EQ(shown[i].type & driver.TypeMask(), expected[i].type & driver.TypeMask())
        << "box " << i;
  }

  Snapshot after = TakeSnapshot(c.dir);
  Snapshot wanted = before;
  if (row.outcome == Outcome::kSucceeded) {
    ASSERT_TRUE(c.written.has_value());
    wanted[c.Output().wstring().substr(c.dir.wstring().size() + 1)] = Entry{false, *c.written};
  }
  EXPECT_EQ(Differences(wanted, after), "");
}

// Rows by name in the test log.
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

// ------------------------------------------------- through the program

// CnvQDN570Conf.exe as a process, driven through messages; its message
// boxes are read from their windows, so only their buttons are known.
class ProgramDriver : public Driver {
 public:
  ProgramDriver() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring line = L"\"" + kProgram.wstring() + L"\"";
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      return;
    }
    main_ = WaitForDialog(process_.dwProcessId, kProgramName);
  }
  ~ProgramDriver() override {
    if (process_.hProcess == nullptr) return;
    if (main_ != nullptr) PostMessageW(main_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  bool Running() const {
    return main_ != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
  }

  UINT TypeMask() const override { return MB_TYPEMASK; }

  std::vector<Box> Convert(const std::wstring& input, const std::wstring& output) override {
    std::vector<Box> boxes;
    HWND convert = GetDlgItem(main_, IDC_BUTTON_CONVERT);
    SendMessageW(GetDlgItem(main_, IDC_EDIT_INPUT), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(input.c_str()));
    SendMessageW(GetDlgItem(main_, IDC_EDIT_OUTPUT), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(output.c_str()));
    PostMessageW(main_, WM_NULL, 0, 0);
    for (int i = 0; i < 200 && !IsWindowEnabled(convert); ++i) Sleep(50);
    EXPECT_TRUE(IsWindowEnabled(convert));
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_CONVERT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(convert));
    for (;;) {
      HWND box = WaitForDialog(process_.dwProcessId, kProgramName, main_, kConversionTimeoutMs);
      if (box == nullptr) {
        ADD_FAILURE() << "no message box (the program "
                      << (Running() ? "is still converting" : "has ended") << ")";
        return boxes;
      }
      const bool question = GetDlgItem(box, IDYES) != nullptr;
      boxes.push_back({WindowText(GetDlgItem(box, 0xFFFF)), question ? UINT{MB_YESNO} : MB_OK});
      PostMessageW(box, WM_COMMAND, question ? IDYES : IDOK, 0);
      for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(50);
      if (!question) break;
    }
    // The dialog takes input again once the conversion is over.
    for (int i = 0; i < 200 && !IsWindowEnabled(main_); ++i) Sleep(50);
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_TRUE(Running());
    return boxes;
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

class BadInputProgram : public ::testing::TestWithParam<Row> {
 protected:
  // One program for the whole table, started again after a row that ended it.
  static void TearDownTestSuite() { program_.reset(); }
  void SetUp() override {
    if (program_ == nullptr || !program_->Running()) program_ = std::make_unique<ProgramDriver>();
    ASSERT_TRUE(program_->Running()) << "CnvQDN570Conf.exe did not show its dialog";
  }
  static std::unique_ptr<ProgramDriver> program_;
};
std::unique_ptr<ProgramDriver> BadInputProgram::program_;

TEST_P(BadInputProgram, Row) {
  ASSERT_EQ(GetACP(), 932u) << "the Windows suites run with LANG=ja_JP.UTF-8";
  RunRow(GetParam(), *program_);
}

std::vector<Row> ProgramRows() {
  std::vector<Row> rows;
  for (const Row& row : kRows) {
    if (row.writeFault < 0) rows.push_back(row);
  }
  return rows;
}
INSTANTIATE_TEST_SUITE_P(Table, BadInputProgram, ::testing::ValuesIn(ProgramRows()), RowName);

// ---------------------------------------------------- in this process

// Answers Yes to questions and OK to everything else, and keeps the boxes.
class AnsweringPrompts : public CUiPrompts {
 public:
  int ShowMessageBox(HWND, const std::wstring& text, const std::wstring& caption,
                     UINT type) override {
    boxes.push_back({text, type});
    captions.push_back(caption);
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
  bool ShowOpenDialog(OPENFILENAMEW&) override { return false; }
  bool ShowSaveDialog(OPENFILENAMEW&) override { return false; }

  std::vector<Box> boxes;
  std::vector<std::wstring> captions;
};

// The dialog of this program (ui_tests) with the file layer's write fault
// as the row sets it; the boxes' icons are known here too.
class DialogDriver : public Driver {
 public:
  explicit DialogDriver(long long writeFault) : writeFault_(writeFault) {
    dialog_.SetPrompts(prompts_);
  }
  ~DialogDriver() override { SetWriteFaultAfterBytes(-1); }

  bool Create() {
    if (!dialog_.Create()) return false;
    dialog_.PumpPendingMessages();
    return true;
  }

  UINT TypeMask() const override { return ~0u; }

  std::vector<Box> Convert(const std::wstring& input, const std::wstring& output) override {
    SetWindowTextW(dialog_.GetDlgItem(IDC_EDIT_INPUT), input.c_str());
    SetWindowTextW(dialog_.GetDlgItem(IDC_EDIT_OUTPUT), output.c_str());
    dialog_.PumpPendingMessages();
    SetWriteFaultAfterBytes(writeFault_);
    SendMessageW(dialog_.GetDlgItem(IDC_BUTTON_CONVERT), BM_CLICK, 0, 0);
    dialog_.PumpPendingMessages();
    SetWriteFaultAfterBytes(-1);
    EXPECT_TRUE(IsWindowEnabled(dialog_.GetSafeHwnd()));
    for (const auto& caption : prompts_.captions) EXPECT_EQ(caption, L"ui_tests");
    return prompts_.boxes;
  }

 private:
  long long writeFault_;
  AnsweringPrompts prompts_;
  CCnvQDN570ConfDlg dialog_;
};

class BadInputDialog : public ::testing::TestWithParam<Row> {};

TEST_P(BadInputDialog, Row) {
  ASSERT_EQ(GetACP(), 932u) << "the Windows suites run with LANG=ja_JP.UTF-8";
  DialogDriver driver(GetParam().writeFault);
  ASSERT_TRUE(driver.Create());
  RunRow(GetParam(), driver);
}

std::vector<Row> DialogRows() {
  std::vector<Row> rows;
  for (const Row& row : kRows) {
    if (!row.big) rows.push_back(row);
  }
  return rows;
}
INSTANTIATE_TEST_SUITE_P(Table, BadInputDialog, ::testing::ValuesIn(DialogRows()), RowName);

}  // namespace
