// Development tool for tools/screenshot-ui: starts the dialog program, puts
// an input path into its input field and opens its version dialog; given a
// configuration with notices, it then copies it to INPUT_PATH and converts
// it, for the result box. It pauses at each state until the caller has taken
// its screenshot.
//   ui_driver PROGRAM.exe INPUT_PATH STEP_FOLDER [NOTICES_CONFIG]
// At each state it creates STEP_FOLDER\NAME.ready, holding the dialog's frame
// on the screen as WIDTHxHEIGHT+X+Y (for cutting the screenshot), and waits for
// STEP_FOLDER\NAME.done (NAME: main, about, notices).
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

// Converts `config`, copied to `input` (the output goes beside it, the
// default name), and pauses at the result box; true when it was shown.
bool ShowNotices(HWND main, DWORD pid, const std::filesystem::path& folder,
                 const std::filesystem::path& config, const std::filesystem::path& input) {
  std::error_code error;
  std::filesystem::create_directories(input.parent_path(), error);
  std::filesystem::copy_file(config, input, std::filesystem::copy_options::overwrite_existing,
                             error);
  std::filesystem::remove(input.parent_path() / L"qdn570-config.txt", error);
  if (error) return false;
  SendMessageW(GetDlgItem(main, IDC_EDIT_INPUT), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(input.c_str()));
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_CONVERT, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_BUTTON_CONVERT)));
  HWND box = WaitForDialog(pid, main);
  if (box == nullptr) return false;
  Sleep(500);
  const bool shown = Step(folder, L"notices", box);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  Sleep(500);
  return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: ui_driver PROGRAM.exe INPUT_PATH STEP_FOLDER [NOTICES_CONFIG]\n");
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
        const bool shown = Step(folder, L"about", about);
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        Sleep(500);
        if (shown &&
            (argc == 4 || ShowNotices(main, process.dwProcessId, folder, argv[4], argv[2])))
          status = 0;
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
