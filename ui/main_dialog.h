// The main dialog: input and output file fields with their browse buttons,
// dropping a file on the dialog, and the convert button that runs the
// engine and reports the outcome in one message box.
#ifndef CNV_UI_MAIN_DIALOG_H_
#define CNV_UI_MAIN_DIALOG_H_

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "ui/ui_dialog.h"
#include "ui/ui_prompts.h"

// The output path a conversion writes: the output field's text, put into the
// input file's drive and folder when it names no drive and is not a network
// path ("\\server\share\...").
std::wstring ResolveOutputPath(const std::wstring& inputPath, const std::wstring& outputText);

class CCnvQDN570ConfDlg : public CUiDialog {
 public:
  explicit CCnvQDN570ConfDlg(HWND parent = nullptr);

  // Replaces the system's message boxes and file dialogs (tests).
  void SetPrompts(CUiPrompts& prompts) { m_prompts = &prompts; }

  HICON m_hIcon;
  CUiWnd m_editInput;
  CUiWnd m_editOutput;
  std::wstring m_strModuleName;
  std::wstring m_strModuleDir;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CUiDataExchange& dx) override;
  BOOL PreTranslateMessage(MSG& msg) override;
  void OnKickIdle() override;
  bool OnCommand(WORD id, WORD code) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void OnSysCommand(UINT id, LPARAM lParam, bool& handled);
  void OnPaint(bool& handled);
  void OnUpdateConvert(CUiCmdUI& cmdUI);
  void OnBrowseInput();
  void OnBrowseOutput();
  void OnConvert();
  void OnDropFiles(HDROP drop);

 private:
  void Browse(CUiWnd& field, const wchar_t* initialName, bool open);
  void RunConversion(const std::wstring& inputPath, const std::wstring& outputPath);

  CUiPrompts* m_prompts;
};

#endif  // CNV_UI_MAIN_DIALOG_H_
