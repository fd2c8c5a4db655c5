// Development tool for tools/screenshot-ui: starts the dialog program, puts
// an input path into its input field and opens its version dialog, pausing
// at each state until the caller has taken its screenshot.
//   ui_driver PROGRAM.exe INPUT_PATH STEP_FOLDER
// At each state it creates STEP_FOLDER\NAME.ready, holding the dialog's frame
// on the screen as WIDTHxHEIGHT+X+Y (for cutting the screenshot), and waits for
// STEP_FOLDER\NAME.done (NAME: main, about).
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/resource.h"
#include "ui/ui_text.h"

namespace {

struct Search {
  DWORD pid;
  HWND except;
  HWND found;
};

HWND WaitForDialog(DWORD pid, HWND except) {
  Search search{pid, except, nullptr};
  for (int i = 0; i < 400 && search.found == nullptr; ++i) {
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          wchar_t name[16] = {};
          GetClassNameW(hwnd, name, 16);
          if (owner == s->pid && hwnd != s->except && IsWindowVisible(hwnd) &&
              std::wstring(name) == L"#32770") {
            s->found = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    Sleep(50);
  }
  return search.found;
}

bool Step(const std::filesystem::path& folder, const wchar_t* name, HWND dialog) {
  RECT frame{};
  GetWindowRect(dialog, &frame);
  std::ofstream(folder / (std::wstring(name) + L".ready"))
      << frame.right - frame.left << 'x' << frame.bottom - frame.top << '+' << frame.left << '+'
      << frame.top << '\n';
  for (int i = 0; i < 1200; ++i) {
    if (std::filesystem::exists(folder / (std::wstring(name) + L".done"))) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ui_driver PROGRAM.exe INPUT_PATH STEP_FOLDER\n");
    return 2;
  }
  std::filesystem::path folder(argv[3]);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "ui_driver: cannot start the program\n");
    return 1;
  }
  int status = 1;
  HWND main = WaitForDialog(process.dwProcessId, nullptr);
  if (main != nullptr) {
    SendMessageW(GetDlgItem(main, IDC_EDIT_INPUT), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(argv[2]));
    // A posted message wakes the dialog's loop, whose idle time then
    // updates the convert button.
    PostMessageW(main, WM_NULL, 0, 0);
    Sleep(500);
    if (Step(folder, L"main", main)) {
      PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
      HWND about = WaitForDialog(process.dwProcessId, main);
      if (about != nullptr) {
        Sleep(500);
        if (Step(folder, L"about", about)) status = 0;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        Sleep(500);
      }
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}
