#include "ui/main_dialog.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "engine/cnv_base.h"
#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/messages.h"
#include "engine/strutil.h"
#include "ui/about_dialog.h"
#include "ui/resource.h"
#include "ui/result_box.h"
#include "ui/ui_text.h"

namespace {

const wchar_t kDefaultOutputName[] = L"qdn570-config.txt";

bool IsNetworkPath(const std::wstring& path) {
  return path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') &&
         (path[1] == L'\\' || path[1] == L'/');
}

bool PathEntryExists(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

// Whether two paths name the same existing file, however they are spelled
// (case, "..", short names, another drive letter for the same folder): by
// the file's volume and index.
bool IsSameFile(const std::wstring& a, const std::wstring& b) {
  auto identify = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access asked: a file that another program holds open still answers.
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return identify(a, first) && identify(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// The filter string of the file dialogs, with its "|" separators turned
// into the NULs that OPENFILENAME expects.
std::wstring FileDialogFilter() {
  std::wstring filter = LoadUiString(kIdsFileFilter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  return filter;
}

std::wstring ReplacePlaceholder(std::wstring text, const std::wstring& placeholder,
                                const std::wstring& value) {
  size_t pos = text.find(placeholder);
  if (pos != std::wstring::npos) text.replace(pos, placeholder.size(), value);
  return text;
}

// The refusal of an input over the size limit, with its size where known.
std::wstring TooLargeText(const FileError& error) {
  const std::wstring mib = std::to_wstring(error.sizeLimit() >> 20);
  const std::wstring path = error.path().wstring();
  if (error.inputSize() < 0) {
    return ReplacePlaceholder(
        ReplacePlaceholder(LoadUiString(kIdsFileErrorTooLargeStream), L"%1", path), L"%2", mib);
  }
  return ReplacePlaceholder(
      ReplacePlaceholder(ReplacePlaceholder(LoadUiString(kIdsFileErrorTooLarge), L"%1", path),
                         L"%2", std::to_wstring(error.inputSize())),
      L"%3", mib);
}

}  // namespace

std::wstring ResolveOutputPath(const std::wstring& inputPath, const std::wstring& outputText) {
  if (!SplitPath(outputText).drive.empty() || IsNetworkPath(outputText)) return outputText;
  PathParts input = SplitPath(inputPath);
  return ToWide(Format(u"%s%s%s", {ToU16(input.drive), ToU16(input.dir), ToU16(outputText)}));
}

CCnvQDN570ConfDlg::CCnvQDN570ConfDlg(HWND parent)
    : CUiDialog(IDD_CNVQDN570CONF_DIALOG, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_prompts(&CUiPrompts::System()) {}

void CCnvQDN570ConfDlg::DoDataExchange(CUiDataExchange& dx) {
  CUiDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_EDIT_INPUT, m_editInput);
  DDX_Control(dx, IDC_EDIT_OUTPUT, m_editOutput);
}

BOOL CCnvQDN570ConfDlg::OnInitDialog() {
  CUiDialog::OnInitDialog();

  if (HMENU sysMenu = GetSystemMenu(m_hWnd, FALSE)) {
    std::wstring aboutMenu = LoadUiString(kIdsAboutMenu);
    if (!aboutMenu.empty()) {
      AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, aboutMenu.c_str());
    }
  }

  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_editOutput.SetText(kDefaultOutputName);

  PathParts module = SplitPath(ModuleFilePath());
  m_strModuleName = module.fname;
  m_strModuleDir = module.drive + module.dir;
  SetWindowTextW(m_hWnd, m_strModuleName.c_str());

  DragAcceptFiles(m_hWnd, TRUE);
  return TRUE;
}

BOOL CCnvQDN570ConfDlg::PreTranslateMessage(MSG& msg) {
  // Enter and Escape neither press a default button nor close the dialog.
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    return TRUE;
  }
  return CUiDialog::PreTranslateMessage(msg);
}

void CCnvQDN570ConfDlg::OnKickIdle() {
  CUiCmdUI convert(GetDlgItem(IDC_BUTTON_CONVERT));
  OnUpdateConvert(convert);
}

void CCnvQDN570ConfDlg::OnUpdateConvert(CUiCmdUI& cmdUI) {
  cmdUI.Enable(!m_editInput.GetText().empty() && !m_editOutput.GetText().empty());
}

bool CCnvQDN570ConfDlg::OnCommand(WORD id, WORD code) {
  if (code != BN_CLICKED) return CUiDialog::OnCommand(id, code);
  switch (id) {
    case IDC_BUTTON_INPUT:
      OnBrowseInput();
      return true;
    case IDC_BUTTON_OUTPUT:
      OnBrowseOutput();
      return true;
    case IDC_BUTTON_CONVERT:
      OnConvert();
      return true;
    default:
      return CUiDialog::OnCommand(id, code);
  }
}

INT_PTR CCnvQDN570ConfDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<UINT>(wParam), lParam, handled);
      return TRUE;
    case WM_PAINT:
      OnPaint(handled);
      return TRUE;
    case WM_QUERYDRAGICON:
      handled = true;
      return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      handled = true;
      return TRUE;
    default:
      return CUiDialog::OnMessage(message, wParam, lParam, handled);
  }
}

void CCnvQDN570ConfDlg::OnSysCommand(UINT id, LPARAM, bool& handled) {
  if ((id & 0xFFF0) != IDM_ABOUTBOX) {
    handled = false;  // move, close, minimise...: the default handling
    return;
  }
  CAboutDlg about(m_hWnd);
  about.DoModal();
  handled = true;
}

void CCnvQDN570ConfDlg::OnPaint(bool& handled) {
  if (!IsIconic(m_hWnd)) {
    handled = false;
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int iconWidth = GetSystemMetrics(SM_CXICON);
  int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(m_hWnd, &rect);
  int x = (rect.right - rect.left - iconWidth + 1) / 2;
  int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  handled = true;
}

void CCnvQDN570ConfDlg::Browse(CUiWnd& field, const wchar_t* initialName, bool open) {
  std::wstring initial =
      ToWide(Format(u"%s%s.txt", {ToU16(m_strModuleDir), ToU16(std::wstring(initialName))}));
  std::vector<wchar_t> file(std::max<size_t>(initial.size() + 1, 4096), L'\0');
  std::copy(initial.begin(), initial.end(), file.begin());
  std::wstring filter = FileDialogFilter();

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = m_hWnd;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = L"txt";
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST;
  if (open) ofn.Flags |= OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;

  bool confirmed = open ? m_prompts->ShowOpenDialog(ofn) : m_prompts->ShowSaveDialog(ofn);
  if (!confirmed) return;
  CUiWaitCursor wait;
  field.SetText(file.data());
}

void CCnvQDN570ConfDlg::OnBrowseInput() {
  Browse(m_editInput, L"config", true);
}

void CCnvQDN570ConfDlg::OnBrowseOutput() {
  Browse(m_editOutput, L"qdn570-config", false);
}

void CCnvQDN570ConfDlg::OnConvert() {
  EnableWindow(m_hWnd, FALSE);
  std::wstring inputPath = m_editInput.GetText();
  std::wstring outputPath = ResolveOutputPath(inputPath, m_editOutput.GetText());

  bool go = true;
  if (IsSameFile(inputPath, outputPath)) {
    // The input is never replaced by its own conversion: it is often the
    // only copy of the router's settings. Nothing is asked or written.
    m_prompts->ShowMessageBox(m_hWnd, LoadUiString(kIdsErrorOutputOpen), m_strModuleName,
                              MB_OK | MB_ICONINFORMATION);
    go = false;
  } else if (PathEntryExists(outputPath)) {
    PathParts output = SplitPath(outputPath);
    std::wstring question = ToWide(
        Format(ToU16(LoadUiString(kIdsOverwriteQuestion)), {ToU16(output.fname + output.ext)}));
    go = m_prompts->ShowMessageBox(m_hWnd, question, m_strModuleName,
                                   MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
  }
  if (go) RunConversion(inputPath, outputPath);
  EnableWindow(m_hWnd, TRUE);
}

void CCnvQDN570ConfDlg::RunConversion(const std::wstring& inputPath,
                                      const std::wstring& outputPath) {
  CUiWaitCursor wait;
  std::wstring message;
  UINT icon = MB_ICONINFORMATION;
  std::unique_ptr<CCnvEngine> engine;
  auto report = std::make_unique<ConversionReport>();
  try {
    engine = std::make_unique<CCnvEngine>(std::filesystem::path(inputPath));
    engine->CollectReport(report.get());
    if (engine->Convert(std::filesystem::path(outputPath)) == 1) {
      message = WithMore(LoadUiString(kIdsConvertSucceeded), NoticesText(*report, inputPath));
    } else {
      std::u16string text;
      engine->GetErrorMessage(text);
      // An output that cannot be created has no reason in the report.
      const CCnvBase* converter = engine->converter();
      const bool outputFailed = converter && converter->m_error == kCnvOutputOpen;
      message = WithMore(ToWide(text), outputFailed ? std::wstring() : FailureText(*report));
    }
  } catch (const FileError& error) {
    // A read or write that failed after the file was opened: say which
    // file it was, and why when the system said so.
    UINT id =
        error.kind() == FileError::Kind::DiskFull ? kIdsFileErrorDiskFull : kIdsFileErrorGeneric;
    message = error.kind() == FileError::Kind::TooLarge
                  ? TooLargeText(error)
                  : WithMore(ReplacePlaceholder(LoadUiString(id), L"%1", error.path().wstring()),
                             SystemReasonText(error.systemError()));
    icon = MB_ICONEXCLAMATION;
  } catch (const std::bad_alloc&) {
    // A file too big for memory (it is read whole); the unwinding has
    // freed what was taken, so the dialog can say so and carry on.
    engine.reset();
    report.reset();
    message = ReplacePlaceholder(LoadUiString(kIdsFileErrorGeneric), L"%1", inputPath);
    icon = MB_ICONEXCLAMATION;
  }
  m_prompts->ShowMessageBox(m_hWnd, message, m_strModuleName, MB_OK | icon);
  engine.reset();
  wait.End();
}

void CCnvQDN570ConfDlg::OnDropFiles(HDROP drop) {
  wchar_t path[MAX_PATH] = {};
  DragQueryFileW(drop, 0, path, MAX_PATH);
  DragFinish(drop);
  m_editInput.SetText(path);
}
