#include "ui/ui_prompts.h"

#include <commdlg.h>

int CUiPrompts::ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                               UINT type) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

bool CUiPrompts::ShowOpenDialog(OPENFILENAMEW& ofn) {
  return GetOpenFileNameW(&ofn) != FALSE;
}

bool CUiPrompts::ShowSaveDialog(OPENFILENAMEW& ofn) {
  return GetSaveFileNameW(&ofn) != FALSE;
}

CUiPrompts& CUiPrompts::System() {
  static CUiPrompts prompts;
  return prompts;
}
