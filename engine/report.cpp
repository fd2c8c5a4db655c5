#include "engine/report.h"

#include "engine/cnv_base.h"
#include "engine/report_recorder.h"

// ---- Totals ----

size_t EditCount(const ConversionReport& report) {
  size_t count = 0;
  for (const ReportStep& step : report.steps) count += step.edits.size();
  return count;
}

size_t StepsWithEdits(const ConversionReport& report) {
  size_t count = 0;
  for (const ReportStep& step : report.steps) count += step.edits.empty() ? 0 : 1;
  return count;
}

size_t NoticeCount(const ConversionReport& report) {
  size_t count = report.notices.size();
  for (const ReportStep& step : report.steps) count += step.notices.size();
  return count;
}

const ReportFailure* FailureOf(const ConversionReport& report) {
  for (const ReportStep& step : report.steps) {
    if (step.failure) return &*step.failure;
  }
  return report.failure ? &*report.failure : nullptr;
}

// ---- The steps' helpers ----

InputLine LineAt(const CCnvBase& store, int index) {
  if (!store.m_recorder || index < 0) return {};
  return {store.m_recorder->InputLineAt(static_cast<size_t>(index))};
}

bool Reporting(const CCnvBase& store) {
  return store.m_recorder != nullptr;
}

std::u16string Filled(const ReportText& text) {
  std::u16string filled;
  const std::u16string_view form = text.form;
  size_t start = 0;
  for (size_t i = 0; i + 2 < form.size(); ++i) {
    const char16_t n = form[i + 1];
    if (form[i] != u'{' || n < u'1' || n > u'9' || form[i + 2] != u'}') continue;
    const size_t arg = static_cast<size_t>(n - u'1');
    if (arg >= text.args.size()) continue;
    filled.append(form.substr(start, i - start)).append(text.args[arg]);
    start = i + 3;
    i += 2;
  }
  return filled.append(form.substr(start));
}

ReportFailure FailureOfWords(std::string code, ReportText words, int32_t inputLine) {
  std::u16string reason = Filled(words);
  return ReportFailure{std::move(code), std::move(reason), inputLine, std::move(words)};
}

ReportText Said(std::u16string_view form, std::vector<std::u16string> args) {
  return ReportText{std::u16string(form), std::move(args)};
}

void Notice(CCnvBase& store, std::string_view code, InputLine where, ReportText words) {
  if (store.m_recorder)
    store.m_recorder->AddNotice(std::string(code), where.number, std::move(words));
}

int FailNotConvertible(CCnvBase& store, std::string_view code, InputLine where, ReportText reason) {
  store.SetError(kCnvNotConvertible);
  if (store.m_recorder)
    store.m_recorder->SetFailure(std::string(code), std::move(reason), where.number);
  return 0;
}

void NoteLinesInserted(CCnvBase& store, size_t at, size_t count) {
  if (store.m_recorder) store.m_recorder->LinesInserted(at, count);
}

void NoteLineRunsInserted(CCnvBase& store, const std::vector<IndexRun>& runs) {
  if (store.m_recorder) store.m_recorder->LineRunsInserted(runs);
}

void NoteLinesDeleting(CCnvBase& store, const std::vector<size_t>& ascending) {
  if (store.m_recorder) store.m_recorder->LinesDeleting(store, ascending);
}

void NoteLineChanging(CCnvBase& store, size_t index) {
  if (store.m_recorder) store.m_recorder->LineChanging(store, index);
}
