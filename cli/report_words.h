// The report's notices as both front ends show them, the tool on standard
// error and the dialog in its result box: one line a notice, in the
// message language, so that the two word every notice alike.
#ifndef CNV_CLI_REPORT_WORDS_H_
#define CNV_CLI_REPORT_WORDS_H_

#include <string>
#include <vector>

#include "engine/report.h"

// "notice CODE (line N): TEXT", or "notice CODE: TEXT" without a line.
std::u16string NoticeLine(const ReportNotice& notice);

// Every notice of the report, one line each: the steps' in their order,
// then those about the input as a whole.
std::vector<std::u16string> NoticeLines(const ConversionReport& report);

#endif  // CNV_CLI_REPORT_WORDS_H_
