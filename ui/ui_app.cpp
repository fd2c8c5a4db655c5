#include "ui/ui_app.h"

int CUiApp::Run(HINSTANCE instance) {
  m_hInstance = instance;
  if (InitInstance()) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    m_exitCode = static_cast<int>(msg.wParam);
  }
  return ExitInstance();
}
