// Test support for the dialog program: temporary folders, files as bytes,
// and finding the windows of another process to drive it through messages.
#ifndef CNV_UI_UI_TEST_SUPPORT_H_
#define CNV_UI_UI_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/bytes_test_support.h"
#include "ui/ui_text.h"

// A fresh, empty folder for one test.
inline std::filesystem::path UiTestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  auto dir = std::filesystem::temp_directory_path() / "cnv-ui-tests" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// The folder of the running test program (the programs under test are
// built next to it).
inline std::filesystem::path BinDir() {
  return std::filesystem::path(ModuleFilePath()).parent_path();
}

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// The texts of the labels (static controls) of `dialog` wider than the label
// in its font: such a label shows only its start, the rest wraps below it.
inline std::vector<std::wstring> LabelsCutOff(HWND dialog) {
  std::vector<std::wstring> cut;
  for (HWND label = GetWindow(dialog, GW_CHILD); label; label = GetWindow(label, GW_HWNDNEXT)) {
    std::wstring text = WindowText(label);
    if (ClassOf(label) != L"Static" || text.empty()) continue;
    HDC dc = GetDC(label);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ReleaseDC(label, dc);
    RECT client{};
    GetClientRect(label, &client);
    if (size.cx > client.right) cut.push_back(text);
  }
  return cut;
}

// Waits up to `timeoutMs` for a visible dialog of process `pid` other than
// `except` whose caption is `caption` (any caption when empty).
inline HWND WaitForDialog(DWORD pid, const std::wstring& caption, HWND except = nullptr,
                          int timeoutMs = 20000) {
  struct Search {
    DWORD pid;
    const std::wstring* caption;
    HWND except;
    HWND found;
  } search{pid, &caption, except, nullptr};
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          if (owner != s->pid || hwnd == s->except || !IsWindowVisible(hwnd)) return TRUE;
          if (ClassOf(hwnd) != L"#32770") return TRUE;
          if (!s->caption->empty() && WindowText(hwnd) != *s->caption) return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(50);
  }
  return nullptr;
}

// Runs `commandLine` and waits for it to end; returns its exit code (-1 when
// it could not start or did not end within the timeout).
inline int RunProcess(const std::wstring& commandLine, int timeoutMs = 60000) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

#endif  // CNV_UI_UI_TEST_SUPPORT_H_
