#include "ui/cnvqdn570conf_app.h"

#include <commctrl.h>

#include <clocale>

#include "ui/main_dialog.h"

BOOL CCnvQDN570ConfApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);  // 8
  controls.dwICC = 0xFF;               // every class of the basic set
  InitCommonControlsEx(&controls);

  // Configuration files are text in the user's default code page.
  std::setlocale(LC_ALL, "");

  CCnvQDN570ConfDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
