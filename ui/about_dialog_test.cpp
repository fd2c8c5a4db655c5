#include "ui/about_dialog.h"

#include <gtest/gtest.h>

#include "ui/resource.h"
#include "ui/ui_test_support.h"
#include "ui/version_text.h"

namespace {

VS_FIXEDFILEINFO FileVersion(WORD a, WORD b, WORD c, WORD d) {
  VS_FIXEDFILEINFO info{};
  info.dwFileVersionMS = MAKELONG(b, a);
  info.dwFileVersionLS = MAKELONG(d, c);
  return info;
}

TEST(VersionText, ShowsTheFirstThreeNumbersWithoutSeparatorBeforeTheThird) {
  struct Case {
    VS_FIXEDFILEINFO info;
    const wchar_t* text;
  };
  const Case cases[] = {
      {FileVersion(1, 0, 1, 0), L"1.01"},
      {FileVersion(2, 3, 12, 7), L"2.312"},
      {FileVersion(10, 0, 0, 99), L"10.00"},
      {FileVersion(65535, 65535, 65535, 65535), L"65535.6553565535"},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionText(&c.info), c.text);
}

TEST(VersionText, WithoutVersionResourceIsZero) {
  EXPECT_EQ(VersionText(nullptr), L"0.00");
  auto dir = UiTestDir();
  WriteBytes(dir / "plain.exe", "not a program");
  EXPECT_EQ(FileVersionText((dir / "plain.exe").wstring()), L"0.00");
  EXPECT_EQ(FileVersionText((dir / "missing.exe").wstring()), L"0.00");
}

TEST(VersionText, AboutLineJoinsNameAndVersion) {
  EXPECT_EQ(AboutVersionLine(L"CnvQDN570Conf", L"1.01"), L"CnvQDN570Conf Version 1.01");
}

TEST(AboutDialog, ShowsTheRunningProgramsNameAndVersion) {
  CAboutDlg about;
  ASSERT_TRUE(about.Create());
  about.PumpPendingMessages();
  HWND hwnd = about.GetSafeHwnd();
  // The test program carries the product's version resource.
  EXPECT_EQ(about.m_strVersion, L"ui_tests Version 1.01");
  EXPECT_EQ(WindowText(about.GetDlgItem(IDC_STATIC_VERSION)), L"ui_tests Version 1.01");
  EXPECT_EQ(WindowText(hwnd), L"バージョン情報");
  EXPECT_EQ(LabelsCutOff(hwnd), std::vector<std::wstring>{});

  // OK closes it; so does the cancel command.
  SendMessageW(about.GetDlgItem(IDOK), BM_CLICK, 0, 0);
  about.PumpPendingMessages();
  EXPECT_TRUE(about.IsEnded());
  EXPECT_EQ(about.Result(), IDOK);
}

TEST(AboutDialog, EscapeCloses) {
  CAboutDlg about;
  ASSERT_TRUE(about.Create());
  SetFocus(about.GetDlgItem(IDOK));
  PostMessageW(about.GetDlgItem(IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  about.PumpPendingMessages();
  EXPECT_TRUE(about.IsEnded());
  EXPECT_EQ(about.Result(), IDCANCEL);
}

}  // namespace
