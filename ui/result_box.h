// What the dialog's result box says below its message: from the
// conversion report, the notices of a conversion and the reason of a
// failure, worded by the catalogue as the command-line tool words them;
// from a file error, the system's own reason. In the user's language.
#ifndef CNV_UI_RESULT_BOX_H_
#define CNV_UI_RESULT_BOX_H_

#include <string>

#include "engine/report.h"

// At most this many notices are listed; the rest are counted.
constexpr size_t kNoticesShown = 10;

// The number of notices, the first kNoticesShown of them, how many more
// there are, and the tool's command that lists them all for `inputPath`;
// empty without notices.
std::wstring NoticesText(const ConversionReport& report, const std::wstring& inputPath);

// The reason of the failure and its input line; empty when the report has
// no failure.
std::wstring FailureText(const ConversionReport& report);

// The system's text for `systemError` (GetLastError code) in the UI
// language, on one line; empty for 0 or a code the system cannot word.
std::wstring SystemReasonText(int systemError);

// `message`, and below it after an empty line `more` (when not empty).
std::wstring WithMore(const std::wstring& message, const std::wstring& more);

#endif  // CNV_UI_RESULT_BOX_H_
