#include "ui/about_dialog.h"

#include "ui/resource.h"
#include "ui/ui_text.h"
#include "ui/version_text.h"

CAboutDlg::CAboutDlg(HWND parent) : CUiDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::DoDataExchange(CUiDataExchange& dx) {
  CUiDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_STATIC_VERSION, m_strVersion);
}

BOOL CAboutDlg::OnInitDialog() {
  CUiDialog::OnInitDialog();
  std::wstring path = ModuleFilePath();
  m_strVersion = AboutVersionLine(SplitPath(path).fname, FileVersionText(path));
  UpdateData(false);
  return TRUE;
}
