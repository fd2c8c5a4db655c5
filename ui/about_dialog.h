// The version dialog: the executable's name and version.
#ifndef CNV_UI_ABOUT_DIALOG_H_
#define CNV_UI_ABOUT_DIALOG_H_

#include <string>

#include "ui/ui_dialog.h"

class CAboutDlg : public CUiDialog {
 public:
  explicit CAboutDlg(HWND parent = nullptr);

  std::wstring m_strVersion;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CUiDataExchange& dx) override;
};

#endif  // CNV_UI_ABOUT_DIALOG_H_
