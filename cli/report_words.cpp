#include "cli/report_words.h"

#include "cli/catalogue.h"
#include "engine/strutil.h"

std::u16string NoticeLine(const ReportNotice& notice) {
  const std::u16string code = Utf8ToUtf16(notice.code);
  const std::u16string text = Worded(notice.words, notice.text);
  if (notice.inputLine <= 0) return Tr16("notice {1}: {2}", {code, text});
  return Tr16("notice {1} (line {2}): {3}",
              {code, Utf8ToUtf16(std::to_string(notice.inputLine)), text});
}

std::vector<std::u16string> NoticeLines(const ConversionReport& report) {
  std::vector<std::u16string> lines;
  for (const ReportStep& step : report.steps) {
    for (const ReportNotice& notice : step.notices) lines.push_back(NoticeLine(notice));
  }
  for (const ReportNotice& notice : report.notices) lines.push_back(NoticeLine(notice));
  return lines;
}
