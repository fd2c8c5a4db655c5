#include "ui/ui_dialog.h"

#include "ui/ui_text.h"

std::wstring CUiWnd::GetText() const {
  return WindowText(m_hWnd);
}

void CUiWnd::SetText(const std::wstring& text) const {
  SetWindowTextW(m_hWnd, text.c_str());
}

void DDX_Control(CUiDataExchange& dx, int id, CUiWnd& control) {
  if (control.m_hWnd == nullptr) control.m_hWnd = GetDlgItem(dx.m_hDlg, id);
}

void DDX_Text(CUiDataExchange& dx, int id, std::wstring& value) {
  HWND control = GetDlgItem(dx.m_hDlg, id);
  if (dx.m_bSaveAndValidate) {
    value = WindowText(control);
  } else {
    SetWindowTextW(control, value.c_str());
  }
}

void CUiCmdUI::Enable(bool enable) const {
  if (m_hControl == nullptr) return;
  if ((IsWindowEnabled(m_hControl) != FALSE) != enable) EnableWindow(m_hControl, enable);
}

CUiWaitCursor::CUiWaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}

void CUiWaitCursor::End() {
  if (!m_active) return;
  m_active = false;
  SetCursor(m_previous != nullptr ? m_previous : LoadCursorW(nullptr, IDC_ARROW));
}

CUiDialog::CUiDialog(UINT templateId, HWND parent) : m_hParent(parent), m_templateId(templateId) {}

CUiDialog::~CUiDialog() {
  DestroyWindow();
}

INT_PTR CUiDialog::DoModal() {
  if (!Create()) return -1;
  HWND owner = m_hParent;
  bool ownerDisabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerDisabled) EnableWindow(owner, FALSE);
  RunModalLoop();
  // The owner is enabled before the dialog goes, so that it gets the
  // activation back.
  if (ownerDisabled) EnableWindow(owner, TRUE);
  if (m_hWnd != nullptr)
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (owner != nullptr) SetActiveWindow(owner);
  DestroyWindow();
  return m_result;
}

bool CUiDialog::Create() {
  m_ended = false;
  m_result = -1;
  HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId),
                                 m_hParent, &CUiDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (hwnd == nullptr) return false;
  m_hWnd = hwnd;
  OnKickIdle();  // the controls show their state from the first paint on
  ShowWindow(m_hWnd, SW_SHOW);
  UpdateWindow(m_hWnd);
  return true;
}

void CUiDialog::DestroyWindow() {
  if (m_hWnd == nullptr) return;
  HWND hwnd = m_hWnd;
  SetWindowLongPtrW(hwnd, DWLP_USER, 0);
  m_hWnd = nullptr;
  ::DestroyWindow(hwnd);
}

void CUiDialog::RunModalLoop() {
  bool idle = true;
  MSG msg;
  while (!m_ended) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (idle) {
        OnKickIdle();
        idle = false;
        continue;  // the idle work may have queued messages
      }
      WaitMessage();
      continue;
    }
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      EndDialog(IDCANCEL);
      break;
    }
    ProcessMessage(msg);
    // Painting and timers do not change what the controls show.
    if (msg.message != WM_PAINT && msg.message != WM_TIMER && msg.message != 0x0118) idle = true;
  }
}

void CUiDialog::PumpPendingMessages() {
  MSG msg;
  while (!m_ended && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    ProcessMessage(msg);
  }
  if (!m_ended) OnKickIdle();
}

void CUiDialog::ProcessMessage(MSG& msg) {
  if (PreTranslateMessage(msg)) return;
  if (m_hWnd != nullptr && IsDialogMessageW(m_hWnd, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void CUiDialog::EndDialog(INT_PTR result) {
  m_result = result;
  m_ended = true;
}

bool CUiDialog::UpdateData(bool saveAndValidate) {
  if (m_hWnd == nullptr) return false;
  CUiDataExchange dx(m_hWnd, saveAndValidate);
  DoDataExchange(dx);
  return true;
}

BOOL CUiDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CUiDialog::DoDataExchange(CUiDataExchange&) {}

BOOL CUiDialog::PreTranslateMessage(MSG&) {
  return FALSE;
}

bool CUiDialog::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      OnOK();
      return true;
    case IDCANCEL:
      OnCancel();
      return true;
    default:
      return false;
  }
}

void CUiDialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void CUiDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

INT_PTR CUiDialog::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return FALSE;
}

namespace {

// Centres a dialog over its owner, or over the work area of its monitor when
// it has no visible owner.
void CenterWindow(HWND hwnd) {
  RECT area;
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    area = monitor.rcWork;
  }
  RECT rect;
  GetWindowRect(hwnd, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(hwnd, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR CALLBACK CUiDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CUiDialog*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    dialog->m_hWnd = hwnd;
    BOOL result = dialog->OnInitDialog();
    CenterWindow(hwnd);
    return result;
  }
  auto* dialog = reinterpret_cast<CUiDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  if (message == WM_COMMAND) {
    return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
  }
  bool handled = false;
  INT_PTR result = dialog->OnMessage(message, wParam, lParam, handled);
  return handled ? result : FALSE;
}
