// The one seam between the main dialog and the windows it opens for the
// user's answer: message boxes and the common file dialogs. The product
// uses the system's; a test overrides them to answer and to read what was
// asked.
#ifndef CNV_UI_UI_PROMPTS_H_
#define CNV_UI_UI_PROMPTS_H_

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <string>

class CUiPrompts {
 public:
  virtual ~CUiPrompts() = default;
  // MessageBoxW; returns the button pressed (IDYES, IDOK, ...).
  virtual int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                             UINT type);
  // GetOpenFileNameW / GetSaveFileNameW; true when the user confirmed.
  virtual bool ShowOpenDialog(OPENFILENAMEW& ofn);
  virtual bool ShowSaveDialog(OPENFILENAMEW& ofn);

  // The system's own message boxes and file dialogs.
  static CUiPrompts& System();
};

#endif  // CNV_UI_UI_PROMPTS_H_
