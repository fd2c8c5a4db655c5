// Tests of the built programs themselves: CnvQDN570Conf.exe started as a
// process and driven through messages, its resources, and the command-line
// tool cnvqdn570conf.exe converting through the ANSI code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/messages.h"
#include "ui/resource.h"
#include "ui/sjis_fixture.h"
#include "ui/ui_test_support.h"

namespace {

const std::filesystem::path kProgram = BinDir() / "CnvQDN570Conf.exe";
const std::filesystem::path kTool = BinDir() / "cnvqdn570conf.exe";

std::wstring Message(int id) {
  std::u16string text;
  LoadMessage(id, text);
  return ToWide(text);
}

// Runs CnvQDN570Conf.exe (under another file name when `name` differs) and
// checks that the name is the caption of the dialog, of a message box and
// the first word of the version dialog's text.
void CheckProgramNamed(const std::wstring& name) {
  auto dir = UiTestDir();
  auto program = dir / (name + L".exe");
  std::filesystem::copy_file(kProgram, program);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + program.wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  HWND main = WaitForDialog(process.dwProcessId, name);
  ASSERT_NE(main, nullptr) << "no main dialog captioned " << name;

  // The program's own modal loop: the convert button follows the input field
  // at idle time, and Enter and Escape do not close the dialog.
  HWND convert = GetDlgItem(main, IDC_BUTTON_CONVERT);
  EXPECT_FALSE(IsWindowEnabled(convert));
  auto missing = dir / "missing.txt";
  SendMessageW(GetDlgItem(main, IDC_EDIT_INPUT), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(missing.wstring().c_str()));
  PostMessageW(main, WM_NULL, 0, 0);
  for (int i = 0; i < 200 && !IsWindowEnabled(convert); ++i) Sleep(50);
  EXPECT_TRUE(IsWindowEnabled(convert));
  PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(convert, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(convert, WM_KEYDOWN, VK_RETURN, 0);
  Sleep(500);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(WaitForDialog(process.dwProcessId, L"", main, 200), nullptr) << "no message box";

  // A conversion that fails: the message box carries the name too.
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_CONVERT, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_BUTTON_CONVERT)));
  HWND box = WaitForDialog(process.dwProcessId, name, main);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), Message(kIdsErrorInputOpen));
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  // The version dialog from the system menu.
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(50);
  PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = WaitForDialog(process.dwProcessId, L"バージョン情報", main);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_STATIC_VERSION)), name + L" Version 1.01");
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(50);

  // Closing the dialog ends the program.
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST(Program, CaptionsFollowTheProgramsName) {
  CheckProgramNamed(L"CnvQDN570Conf");
}

TEST(Program, CaptionsFollowARenamedCopy) {
  CheckProgramNamed(L"RouterConv");
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryExW(kProgram.c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module != nullptr) FreeLibrary(module);
  }
  std::string Resource(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) return {};
    HGLOBAL data = LoadResource(module, found);
    return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module, found));
  }
  HMODULE module = nullptr;
};

TEST_F(ProgramResources, StringTableHoldsTheEnginesTexts) {
  for (int id :
       {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, int{kIdsFileErrorDiskFull},
        int{kIdsFileErrorGeneric}, int{kIdsFileErrorTooLarge}, int{kIdsFileErrorTooLargeStream}}) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0) << id;
    EXPECT_EQ(std::wstring(text, length), Message(id)) << id;
  }
  EXPECT_EQ(Message(103), L"%sは既に存在します。\n上書きしますか？");
}

TEST_F(ProgramResources, ManifestRequestsCommonControls6) {
  std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  // The program's own identity carries the project's version.
  EXPECT_NE(manifest.find("name=\"QDN-ConfigConverter.CnvQDN570Conf\" version=\"1.0.1.0\""),
            std::string::npos);
}

TEST_F(ProgramResources, IconAndDialogTemplates) {
  EXPECT_FALSE(Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME)).empty());
  EXPECT_FALSE(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUTBOX)).empty());
  EXPECT_FALSE(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_CNVQDN570CONF_DIALOG)).empty());
}

TEST(ProgramVersion, FixedAndStringEntries) {
  std::wstring path = kProgram.wstring();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 1));
  struct Entry {
    const wchar_t* name;
    const wchar_t* value;
  };
  const Entry entries[] = {
      {L"FileDescription", L"QDN570コンフィグ変換ツール"},
      {L"InternalName", L"CnvQDN570Conf.exe"},
      {L"ProductName", L"QDN-ConfigConverter"},
      {L"FileVersion", L"1.0.1.0"},
      {L"ProductVersion", L"1.0.1.0"},
  };
  for (const Entry& e : entries) {
    std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + e.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        << key;
    EXPECT_EQ(std::wstring(value), e.value);
  }
}

// The command-line tool reads and writes Shift_JIS through the ANSI code
// page: Japanese comments and descriptions come out byte for byte.
TEST(CommandLineTool, ConvertsShiftJisThroughTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 932u) << "the Windows suites run with LANG=ja_JP.UTF-8";
  ASSERT_TRUE(std::filesystem::exists(kTool));
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  int code =
      RunProcess(L"\"" + kTool.wstring() + L"\" \"" + (dir / "router.txt").wstring() + L"\"");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(dir / "qdn570-config.txt"), SjisExpectedOutput());

  // An existing output is kept without --force (no terminal here).
  WriteBytes(dir / "qdn570-config.txt", "old\r\n");
  code = RunProcess(L"\"" + kTool.wstring() + L"\" \"" + (dir / "router.txt").wstring() + L"\"");
  EXPECT_EQ(code, 2);
  EXPECT_EQ(ReadBytes(dir / "qdn570-config.txt"), "old\r\n");
}

// The Windows tool against the outputs of the Linux tool for the same inputs
// and code page, prepared by tools/run-windows-tests in $CNV_PARITY_DIR
// (in/NAME and expected/NAME).
TEST(Parity, WindowsToolWritesTheSameBytesAsTheLinuxTool) {
  const char* root = std::getenv("CNV_PARITY_DIR");
  if (root == nullptr) GTEST_SKIP() << "CNV_PARITY_DIR not set (tools/run-windows-tests sets it)";
  std::filesystem::path dir(root);
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "in")) {
    auto name = entry.path().filename();
    auto work = UiTestDir() / name.stem();
    std::filesystem::create_directories(work);
    std::filesystem::copy_file(entry.path(), work / name);
    int code = RunProcess(L"\"" + kTool.wstring() + L"\" \"" + (work / name).wstring() + L"\"");
    EXPECT_EQ(code, 0) << name;
    EXPECT_EQ(ReadBytes(work / "qdn570-config.txt"), ReadBytes(dir / "expected" / name)) << name;
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
