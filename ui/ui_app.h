// The application object of the framework: one per process, started from
// wWinMain; InitInstance decides whether a message loop runs afterwards.
#ifndef CNV_UI_UI_APP_H_
#define CNV_UI_UI_APP_H_

#include <windows.h>

class CUiDialog;

class CUiApp {
 public:
  CUiApp() = default;
  virtual ~CUiApp() = default;
  CUiApp(const CUiApp&) = delete;
  CUiApp& operator=(const CUiApp&) = delete;

  // Runs InitInstance; when it returns TRUE, a message loop until WM_QUIT.
  // Returns ExitInstance's result as the process's exit code.
  int Run(HINSTANCE instance);

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_exitCode; }

  HINSTANCE m_hInstance = nullptr;
  CUiDialog* m_pMainWnd = nullptr;

 protected:
  int m_exitCode = 0;
};

#endif  // CNV_UI_UI_APP_H_
