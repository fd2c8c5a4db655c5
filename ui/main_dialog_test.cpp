#include "ui/main_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

#include "engine/messages.h"
#include "ui/resource.h"
#include "ui/sjis_fixture.h"
#include "ui/ui_test_support.h"

namespace {

std::wstring Message(int id) {
  std::u16string text;
  LoadMessage(id, text);
  return ToWide(text);
}

// Answers the dialog's message boxes and file dialogs and keeps what they
// were asked.
class FakePrompts : public CUiPrompts {
 public:
  struct Box {
    std::wstring text;
    std::wstring caption;
    UINT type;
  };
  struct FileDialog {
    bool open;
    std::wstring initialFile;
    std::wstring defaultExt;
    std::wstring filter;  // with its NUL separators
    DWORD flags;
  };

  int ShowMessageBox(HWND, const std::wstring& text, const std::wstring& caption,
                     UINT type) override {
    boxes.push_back({text, caption, type});
    if (answers.empty()) return IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool ShowOpenDialog(OPENFILENAMEW& ofn) override { return Answer(ofn, true); }
  bool ShowSaveDialog(OPENFILENAMEW& ofn) override { return Answer(ofn, false); }

  std::vector<Box> boxes;
  std::deque<int> answers;
  std::vector<FileDialog> fileDialogs;
  std::wstring chosenFile;  // empty: the user cancels

 private:
  bool Answer(OPENFILENAMEW& ofn, bool open) {
    std::wstring filter;
    for (const wchar_t* p = ofn.lpstrFilter; *p != L'\0'; p += wcslen(p) + 1) {
      filter += p;
      filter += L'|';
    }
    fileDialogs.push_back({open, ofn.lpstrFile, ofn.lpstrDefExt, filter, ofn.Flags});
    if (chosenFile.empty()) return false;
    wcsncpy(ofn.lpstrFile, chosenFile.c_str(), ofn.nMaxFile);
    return true;
  }
};

// A file list as the shell hands it over in WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
  size_t chars = 1;
  for (const auto& p : paths) chars += p.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* text = reinterpret_cast<wchar_t*>(drop + 1);
  for (const auto& p : paths) {
    wcscpy(text, p.c_str());
    text += p.size() + 1;
  }
  *text = L'\0';
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.SetPrompts(prompts);
    ASSERT_TRUE(dialog.Create());
    hwnd = dialog.GetSafeHwnd();
    dialog.PumpPendingMessages();
  }

  std::wstring Text(int id) { return WindowText(dialog.GetDlgItem(id)); }
  void SetText(int id, const std::wstring& text) {
    SetWindowTextW(dialog.GetDlgItem(id), text.c_str());
    dialog.PumpPendingMessages();
  }
  bool Enabled(int id) { return IsWindowEnabled(dialog.GetDlgItem(id)) != FALSE; }
  void Click(int id) {
    SendMessageW(dialog.GetDlgItem(id), BM_CLICK, 0, 0);
    dialog.PumpPendingMessages();
  }
  void Drop(const std::vector<std::wstring>& paths) {
    SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    dialog.PumpPendingMessages();
  }

  FakePrompts prompts;
  CCnvQDN570ConfDlg dialog;
  HWND hwnd = nullptr;
};

TEST_F(MainDialogTest, StartsWithDefaultOutputAndTheProgramNameAsCaption) {
  EXPECT_EQ(Text(IDC_EDIT_INPUT), L"");
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"qdn570-config.txt");
  EXPECT_EQ(dialog.m_strModuleName, L"ui_tests");
  EXPECT_EQ(WindowText(hwnd), L"ui_tests");
  EXPECT_EQ(dialog.m_strModuleDir, BinDir().wstring() + L"\\");
  EXPECT_FALSE(Enabled(IDC_BUTTON_CONVERT));
  EXPECT_EQ(SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog.m_hIcon));
  EXPECT_NE(dialog.m_hIcon, nullptr);
}

TEST_F(MainDialogTest, TemplateStylesOfTheControls) {
  for (int id : {IDC_EDIT_INPUT, IDC_EDIT_OUTPUT}) {
    LONG style = GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY) << id;
    EXPECT_TRUE(style & ES_AUTOHSCROLL) << id;
    EXPECT_FALSE(style & WS_TABSTOP) << id;
  }
  HWND ok = dialog.GetDlgItem(IDOK);
  EXPECT_FALSE(IsWindowVisible(ok));
  EXPECT_FALSE(IsWindowEnabled(ok));
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_EQ(Text(IDC_BUTTON_CONVERT), L"変換");
  EXPECT_EQ(Text(IDCANCEL), L"終了");
  EXPECT_EQ(LabelsCutOff(hwnd), std::vector<std::wstring>{});
}

TEST_F(MainDialogTest, SystemMenuHasTheVersionItem) {
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  wchar_t text[128] = {};
  GetMenuStringW(menu, count - 1, text, 128, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), Message(kIdsAboutMenu));
  EXPECT_EQ(GetMenuItemID(menu, count - 2), 0u);  // the separator
}

TEST_F(MainDialogTest, DropOfThreeFilesTakesOnlyTheFirst) {
  Drop({L"C:\\cfg\\first.txt", L"C:\\cfg\\second.txt", L"C:\\other\\third.cfg"});
  EXPECT_EQ(Text(IDC_EDIT_INPUT), L"C:\\cfg\\first.txt");
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"qdn570-config.txt");
  // A later drop replaces it, whatever its extension.
  Drop({L"D:\\router.cfg"});
  EXPECT_EQ(Text(IDC_EDIT_INPUT), L"D:\\router.cfg");
}

TEST_F(MainDialogTest, ConvertButtonNeedsBothFields) {
  struct Case {
    const wchar_t* input;
    const wchar_t* output;
    bool enabled;
  };
  const Case cases[] = {
      {L"", L"qdn570-config.txt", false},
      {L"C:\\in.txt", L"qdn570-config.txt", true},
      {L"C:\\in.txt", L"", false},
      {L"", L"", false},
      {L"x", L"y", true},  // no check of existence or extension
  };
  for (const Case& c : cases) {
    SetText(IDC_EDIT_INPUT, c.input);
    SetText(IDC_EDIT_OUTPUT, c.output);
    EXPECT_EQ(Enabled(IDC_BUTTON_CONVERT), c.enabled) << c.input << " / " << c.output;
  }
}

TEST_F(MainDialogTest, ConvertsIntoTheInputFolderWithTheDefaultName) {
  ASSERT_EQ(GetACP(), 932u) << "the Windows suites run with LANG=ja_JP.UTF-8";
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  Drop({(dir / "router.txt").wstring()});
  ASSERT_TRUE(Enabled(IDC_BUTTON_CONVERT));

  Click(IDC_BUTTON_CONVERT);

  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(prompts.boxes[0].text, Message(kIdsConvertSucceeded));
  EXPECT_EQ(prompts.boxes[0].caption, L"ui_tests");
  EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(ReadBytes(dir / "qdn570-config.txt"), SjisExpectedOutput());
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"qdn570-config.txt");
  EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(MainDialogTest, OverwriteQuestionNoKeepsTheFile) {
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  WriteBytes(dir / "qdn570-config.txt", "old\r\n");
  Drop({(dir / "router.txt").wstring()});
  prompts.answers = {IDNO};

  Click(IDC_BUTTON_CONVERT);

  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(prompts.boxes[0].text, L"qdn570-config.txtは既に存在します。\n上書きしますか？");
  EXPECT_EQ(prompts.boxes[0].caption, L"ui_tests");
  EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(ReadBytes(dir / "qdn570-config.txt"), "old\r\n");
  EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(MainDialogTest, OverwriteQuestionYesConverts) {
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  WriteBytes(dir / "qdn570-config.txt", "old\r\n");
  Drop({(dir / "router.txt").wstring()});
  prompts.answers = {IDYES};

  Click(IDC_BUTTON_CONVERT);

  ASSERT_EQ(prompts.boxes.size(), 2u);
  EXPECT_EQ(prompts.boxes[1].text, Message(kIdsConvertSucceeded));
  EXPECT_EQ(ReadBytes(dir / "qdn570-config.txt"), SjisExpectedOutput());
}

TEST_F(MainDialogTest, ExistingFolderAtTheOutputPathIsAskedAboutToo) {
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  std::filesystem::create_directory(dir / "qdn570-config.txt");
  Drop({(dir / "router.txt").wstring()});
  prompts.answers = {IDNO};
  Click(IDC_BUTTON_CONVERT);
  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
}

TEST_F(MainDialogTest, FailureShowsTheEnginesMessage) {
  auto dir = UiTestDir();
  Drop({(dir / "missing.txt").wstring()});
  Click(IDC_BUTTON_CONVERT);
  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(prompts.boxes[0].text, Message(kIdsErrorInputOpen));
  EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(std::filesystem::exists(dir / "qdn570-config.txt"));
  EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(MainDialogTest, FileErrorIsReportedWithThePathAndTheDialogRecovers) {
  auto dir = UiTestDir();
  auto input = dir / "binary.txt";
  WriteBytes(input, std::string("ip lan1\n\0\0\0", 11));  // not a text file
  Drop({input.wstring()});

  Click(IDC_BUTTON_CONVERT);

  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(prompts.boxes[0].text,
            input.wstring() +
                L" を読み書きできませんでした。読み取りエラーか、テキストのコンフィグでない、"
                L"または Windows の文字コードで読めないファイルです。");
  EXPECT_EQ(prompts.boxes[0].caption, L"ui_tests");
  EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_FALSE(std::filesystem::exists(dir / "qdn570-config.txt"));
  EXPECT_TRUE(IsWindowEnabled(hwnd));

  // The next conversion works as usual.
  WriteBytes(dir / "router.txt", SjisInput());
  Drop({(dir / "router.txt").wstring()});
  Click(IDC_BUTTON_CONVERT);
  ASSERT_EQ(prompts.boxes.size(), 2u);
  EXPECT_EQ(prompts.boxes[1].text, Message(kIdsConvertSucceeded));
}

// The result box adds what the report says, worded as the command-line
// tool words it: a failure's reason with its line, and a conversion's
// notices (the first ten, then how many more).
TEST_F(MainDialogTest, ResultBoxAddsTheReport) {
  auto dir = UiTestDir();
  const std::wstring input = (dir / "router.txt").wstring();
  std::string rules;  // no binding names rules 1 to 12
  for (int n = 1; n <= 13; ++n) rules += "url filter " + std::to_string(n) + " pass *\n";
  std::wstring listed;
  for (int n = 1; n <= 10; ++n) {
    listed += L"\n注意 url-rule-dropped（" + std::to_wstring(n) + L" 行目）：ルール " +
              std::to_wstring(n) +
              L" を使う URL フィルターの適用設定がないため、この行は出力しません。";
  }
  const std::pair<std::string, std::wstring> cases[] = {
      {"pp select 2\n description pp \"PRV/PPPoE/1:Hikari\"\n pp enable 2\n",
       Message(kIdsErrorNotConvertible) +
           L"\n\n理由（2 行目）：PP 2 に PRV/PPPoE のマーカーがありますが、"
           L"「dns server select 500002 ... restrict pp 2」の行がありません。"},
      {rules + "url lan1 filter in 13\n",
       Message(kIdsConvertSucceeded) + L"\n\n注意が 12 件あります：" + listed +
           L"\nほかに 2 件あります。\nすべての注意は、コマンドライン版で確認できます"
           L"（何も書き込みません）：cnvqdn570conf -n --report \"" +
           input + L"\""},
  };
  for (const auto& [bytes, text] : cases) {
    WriteBytes(dir / "router.txt", bytes);
    Drop({input});
    prompts.boxes.clear();
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(prompts.boxes.size(), 1u) << bytes;
    EXPECT_EQ(prompts.boxes[0].text, text) << bytes;
    EXPECT_EQ(prompts.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION)) << bytes;
  }
}

TEST_F(MainDialogTest, EnterAndEscapeDoNothing) {
  auto dir = UiTestDir();
  WriteBytes(dir / "router.txt", SjisInput());
  Drop({(dir / "router.txt").wstring()});
  HWND convert = dialog.GetDlgItem(IDC_BUTTON_CONVERT);
  SetFocus(convert);
  for (HWND target : {convert, hwnd, dialog.GetDlgItem(IDC_EDIT_INPUT)}) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
      PostMessageW(target, WM_KEYDOWN, key, 0);
      PostMessageW(target, WM_KEYUP, key, 0);
      dialog.PumpPendingMessages();
    }
  }
  EXPECT_TRUE(prompts.boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "qdn570-config.txt"));
  EXPECT_FALSE(dialog.IsEnded());
  EXPECT_TRUE(IsWindow(hwnd));

  // Other keys still reach the dialog's keyboard handling: Tab moves on.
  SetFocus(convert);
  PostMessageW(convert, WM_KEYDOWN, VK_TAB, 0);
  dialog.PumpPendingMessages();
  EXPECT_NE(GetFocus(), convert);

  // The exit button closes the dialog.
  Click(IDCANCEL);
  EXPECT_TRUE(dialog.IsEnded());
  EXPECT_EQ(dialog.Result(), IDCANCEL);
}

TEST_F(MainDialogTest, CloseCommandEndsTheDialog) {
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  dialog.PumpPendingMessages();
  EXPECT_TRUE(dialog.IsEnded());
}

TEST_F(MainDialogTest, BrowseInputAsksForAnExistingFile) {
  prompts.chosenFile = L"C:\\cfg\\router.txt";
  Click(IDC_BUTTON_INPUT);
  ASSERT_EQ(prompts.fileDialogs.size(), 1u);
  const auto& asked = prompts.fileDialogs[0];
  EXPECT_TRUE(asked.open);
  EXPECT_EQ(asked.initialFile, dialog.m_strModuleDir + L"config.txt");
  EXPECT_EQ(asked.defaultExt, L"txt");
  EXPECT_EQ(asked.filter, L"コンフィグファイル(*.txt)|*.txt|");
  DWORD wanted = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  EXPECT_EQ(asked.flags & wanted, wanted);
  EXPECT_EQ(Text(IDC_EDIT_INPUT), L"C:\\cfg\\router.txt");
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"qdn570-config.txt");
}

TEST_F(MainDialogTest, BrowseOutputAsksWithoutOverwritePrompt) {
  prompts.chosenFile = L"E:\\out\\fw.txt";
  Click(IDC_BUTTON_OUTPUT);
  ASSERT_EQ(prompts.fileDialogs.size(), 1u);
  const auto& asked = prompts.fileDialogs[0];
  EXPECT_FALSE(asked.open);
  EXPECT_EQ(asked.initialFile, dialog.m_strModuleDir + L"qdn570-config.txt");
  EXPECT_TRUE(asked.flags & OFN_PATHMUSTEXIST);
  EXPECT_FALSE(asked.flags & (OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST));
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"E:\\out\\fw.txt");
}

TEST_F(MainDialogTest, CancelledBrowseChangesNothing) {
  SetText(IDC_EDIT_INPUT, L"C:\\keep.txt");
  Click(IDC_BUTTON_INPUT);
  Click(IDC_BUTTON_OUTPUT);
  EXPECT_EQ(prompts.fileDialogs.size(), 2u);
  EXPECT_EQ(Text(IDC_EDIT_INPUT), L"C:\\keep.txt");
  EXPECT_EQ(Text(IDC_EDIT_OUTPUT), L"qdn570-config.txt");
}

TEST_F(MainDialogTest, ChosenOutputPathIsUsedAsItIs) {
  auto dir = UiTestDir();
  std::filesystem::create_directory(dir / "in");
  std::filesystem::create_directory(dir / "out");
  WriteBytes(dir / "in" / "router.txt", SjisInput());
  Drop({(dir / "in" / "router.txt").wstring()});
  SetText(IDC_EDIT_OUTPUT, (dir / "out" / "fw.txt").wstring());
  Click(IDC_BUTTON_CONVERT);
  EXPECT_EQ(ReadBytes(dir / "out" / "fw.txt"), SjisExpectedOutput());
  EXPECT_FALSE(std::filesystem::exists(dir / "in" / "fw.txt"));
}

// Conversions started from the dialog against the outputs of the Linux tool
// for the same inputs and code page, prepared by tools/run-windows-tests in
// $CNV_PARITY_DIR (in/NAME and expected/NAME).
TEST_F(MainDialogTest, ParityWithTheLinuxTool) {
  const char* root = std::getenv("CNV_PARITY_DIR");
  if (root == nullptr) GTEST_SKIP() << "CNV_PARITY_DIR not set (tools/run-windows-tests sets it)";
  std::filesystem::path parity(root);
  auto dir = UiTestDir();
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(parity / "in")) {
    auto name = entry.path().filename();
    auto work = dir / name.stem();
    std::filesystem::create_directories(work);
    std::filesystem::copy_file(entry.path(), work / name);
    Drop({(work / name).wstring()});
    size_t boxes = prompts.boxes.size();
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(prompts.boxes.size(), boxes + 1) << name;
    EXPECT_EQ(prompts.boxes.back().text, Message(kIdsConvertSucceeded)) << name;
    EXPECT_EQ(ReadBytes(work / "qdn570-config.txt"), ReadBytes(parity / "expected" / name)) << name;
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST(ResolveOutputPath, PutsOnlyPathsWithoutDriveIntoTheInputFolder) {
  struct Case {
    const wchar_t* input;
    const wchar_t* output;
    const wchar_t* resolved;
  };
  const Case cases[] = {
      {L"D:\\cfg\\router.txt", L"qdn570-config.txt", L"D:\\cfg\\qdn570-config.txt"},
      {L"D:\\cfg\\router.txt", L"E:\\out\\fw.txt", L"E:\\out\\fw.txt"},
      {L"D:\\cfg\\router.txt", L"sub\\fw.txt", L"D:\\cfg\\sub\\fw.txt"},
      // A network path has no drive but is complete as it is.
      {L"D:\\cfg\\router.txt", L"\\\\server\\share\\fw.txt", L"\\\\server\\share\\fw.txt"},
      {L"\\\\server\\share\\cfg\\router.txt", L"qdn570-config.txt",
       L"\\\\server\\share\\cfg\\qdn570-config.txt"},
      {L"router.txt", L"qdn570-config.txt", L"qdn570-config.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveOutputPath(c.input, c.output), c.resolved) << c.input << " + " << c.output;
  }
}

TEST(SplitPath, SplitsAsTheRuntimeDoes) {
  PathParts parts = SplitPath(L"C:\\Program Files\\Tool\\CnvQDN570Conf.exe");
  EXPECT_EQ(parts.drive, L"C:");
  EXPECT_EQ(parts.dir, L"\\Program Files\\Tool\\");
  EXPECT_EQ(parts.fname, L"CnvQDN570Conf");
  EXPECT_EQ(parts.ext, L".exe");
  parts = SplitPath(L"archive.tar.gz");
  EXPECT_EQ(parts.drive + parts.dir, L"");
  EXPECT_EQ(parts.fname, L"archive.tar");
  EXPECT_EQ(parts.ext, L".gz");
  parts = SplitPath(L"C:\\dir.d\\noext");
  EXPECT_EQ(parts.dir, L"\\dir.d\\");
  EXPECT_EQ(parts.fname, L"noext");
  EXPECT_EQ(parts.ext, L"");
}

}  // namespace
