#include "ui/result_box.h"

#include <windows.h>

#include <vector>

#include "cli/catalogue.h"
#include "cli/report_words.h"
#include "engine/strutil.h"
#include "ui/ui_text.h"

std::wstring NoticesText(const ConversionReport& report, const std::wstring& inputPath) {
  const std::vector<std::u16string> lines = NoticeLines(report);
  if (lines.empty()) return {};
  std::u16string text = Tr16(lines.size() == 1 ? "There is {1} notice:" : "There are {1} notices:",
                             {Decimal(lines.size())});
  const auto add = [&text](const std::u16string& line) {
    text += u'\n';
    text += line;
  };
  for (size_t i = 0; i < lines.size() && i < kNoticesShown; ++i) add(lines[i]);
  if (lines.size() > kNoticesShown) {
    add(Tr16("... and {1} more.", {Decimal(lines.size() - kNoticesShown)}));
  }
  add(
      Tr16("The command-line tool lists them all and writes nothing: "
           "cnvqdn570conf -n --report \"{1}\"",
           {ToU16(inputPath)}));
  return ToWide(text);
}

std::wstring FailureText(const ConversionReport& report) {
  const ReportFailure* failure = FailureOf(report);
  if (failure == nullptr) return {};
  const std::u16string reason = Worded(failure->words, failure->reason);
  if (failure->inputLine <= 0) return ToWide(Tr16("Reason: {1}", {reason}));
  return ToWide(
      Tr16("Reason (line {1}): {2}", {Decimal(static_cast<size_t>(failure->inputLine)), reason}));
}

std::wstring SystemReasonText(int systemError) {
  if (systemError == 0) return {};
  wchar_t* buffer = nullptr;
  // Language 0: the thread's, then the user's UI language, then English.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(systemError), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return {};
  std::wstring reason(buffer, length);
  LocalFree(buffer);
  // The system's texts end with a line end; some span lines.
  for (wchar_t& c : reason) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  while (!reason.empty() && reason.back() == L' ') reason.pop_back();
  if (reason.empty()) return {};
  return ToWide(Tr16("Reason given by Windows: {1}", {ToU16(reason)}));
}

std::wstring WithMore(const std::wstring& message, const std::wstring& more) {
  return more.empty() ? message : message + L"\n\n" + more;
}
