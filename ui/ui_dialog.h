// A small dialog framework for the front end: a dialog object bound to a
// template, run modally by its own message loop so that a dialog can filter
// keyboard messages before dispatch (PreTranslateMessage) and update its
// controls whenever the loop becomes idle (OnKickIdle), plus data exchange
// between fields and controls.
#ifndef CNV_UI_UI_DIALOG_H_
#define CNV_UI_UI_DIALOG_H_

#include <windows.h>

#include <string>

// A control of a dialog, bound by DDX_Control.
class CUiWnd {
 public:
  HWND m_hWnd = nullptr;
  std::wstring GetText() const;
  void SetText(const std::wstring& text) const;
};

// The direction and target of one data exchange.
class CUiDataExchange {
 public:
  CUiDataExchange(HWND dialog, bool saveAndValidate)
      : m_hDlg(dialog), m_bSaveAndValidate(saveAndValidate) {}
  HWND m_hDlg;
  bool m_bSaveAndValidate;  // true: controls to fields; false: fields to controls
};

void DDX_Control(CUiDataExchange& dx, int id, CUiWnd& control);
void DDX_Text(CUiDataExchange& dx, int id, std::wstring& value);

// The enable state of one control, handed to an update handler at idle time.
class CUiCmdUI {
 public:
  explicit CUiCmdUI(HWND control) : m_hControl(control) {}
  void Enable(bool enable) const;

 private:
  HWND m_hControl;
};

// Shows the wait cursor while it lives (or until End).
class CUiWaitCursor {
 public:
  CUiWaitCursor();
  ~CUiWaitCursor() { End(); }
  CUiWaitCursor(const CUiWaitCursor&) = delete;
  CUiWaitCursor& operator=(const CUiWaitCursor&) = delete;
  void End();

 private:
  HCURSOR m_previous;
  bool m_active = true;
};

class CUiDialog {
 public:
  CUiDialog(UINT templateId, HWND parent);
  virtual ~CUiDialog();
  CUiDialog(const CUiDialog&) = delete;
  CUiDialog& operator=(const CUiDialog&) = delete;

  // Creates the dialog, disables its owner, runs the modal loop until
  // EndDialog and destroys the window; returns the code given to EndDialog
  // (-1 when the window cannot be created).
  INT_PTR DoModal();

  // The pieces of DoModal, also for driving a dialog from a test: create
  // (and show) the window, process what is queued, end.
  bool Create();
  void PumpPendingMessages();
  void EndDialog(INT_PTR result);
  bool IsEnded() const { return m_ended; }
  INT_PTR Result() const { return m_result; }
  void DestroyWindow();

  bool UpdateData(bool saveAndValidate);
  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

 protected:
  // Binds controls and transfers data; TRUE lets Windows set the focus.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CUiDataExchange& dx);
  // TRUE consumes the message before the dialog's keyboard handling.
  virtual BOOL PreTranslateMessage(MSG& msg);
  // Called when the modal loop has no more messages queued.
  virtual void OnKickIdle() {}
  // WM_COMMAND; true when handled.
  virtual bool OnCommand(WORD id, WORD code);
  virtual void OnOK();
  virtual void OnCancel();
  // Any other message; set `handled` and return the dialog procedure's result.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  HWND m_hWnd = nullptr;
  HWND m_hParent;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ProcessMessage(MSG& msg);
  void RunModalLoop();

  UINT m_templateId;
  bool m_ended = false;
  INT_PTR m_result = -1;
};

#endif  // CNV_UI_UI_DIALOG_H_
