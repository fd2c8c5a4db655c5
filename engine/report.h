// The conversion report: for each step that ran, the lines it inserted,
// deleted or replaced, what it noticed that a reviewer should look at, and
// why it failed. The engine collects it (engine/report_recorder.h) without
// changing what the steps do; the steps add their notices and failure
// reasons through the helpers below, which do nothing but set the error
// when no report is being collected.
#ifndef CNV_ENGINE_REPORT_H_
#define CNV_ENGINE_REPORT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index_insert.h"

class CCnvBase;

enum class EditOp { kInsert, kDelete, kReplace };

// One changed line. Replaying the edits of every step in order on the
// input lines gives the lines that follow the output's header line.
struct ReportEdit {
  EditOp op = EditOp::kInsert;
  int32_t index = 0;      // the line's index in the store at that moment, from 0
  std::u16string line;    // insert, replace: the new whole line (command and comment part)
  std::u16string old;     // delete, replace: the whole line it removes
  int32_t inputLine = 0;  // delete, replace: the old line's input line, from 1; 0 for none
};

// Words for people: an English form with the placeholders {1} to {9}, and
// the facts that fill them (numbers, texts of the input). The front ends
// word it in the user's language from their catalogue, in which the form is
// an entry of context "report"; the JSON gives it filled, in English.
struct ReportText {
  std::u16string form;
  std::vector<std::u16string> args;
};

// `form` with {1}... replaced by `args`; a placeholder without an argument
// stays as it is.
std::u16string Filled(const ReportText& text);

// Something a reviewer should look at; `code` names its kind, the README
// lists them. `text` is `words` filled.
struct ReportNotice {
  std::string code;
  int32_t inputLine = 0;  // from 1; 0 when it concerns no single input line
  std::u16string text;
  ReportText words;
};

// Why a step, or the conversion as a whole, failed: `code` names the kind
// (the README lists them with what to do), `reason` says it in words, the
// filled `words`.
struct ReportFailure {
  std::string code;
  std::u16string reason;
  int32_t inputLine = 0;  // the input line that needed it; 0 for none
  ReportText words;
};

// A failure of `code` on `inputLine`, its reason filled from `words`.
ReportFailure FailureOfWords(std::string code, ReportText words, int32_t inputLine);

struct ReportStep {
  std::string name;  // "lan-provider", "pp-provider", "system-settings", ...
  std::vector<ReportEdit> edits;
  std::vector<ReportNotice> notices;
  std::optional<ReportFailure> failure;
};

struct ConversionReport {
  int32_t shape = 0;                  // the ConverterKind that took the input (engine/engine.h)
  int32_t inputLines = 0;             // lines of the input
  std::vector<ReportStep> steps;      // the steps that ran, in order
  std::vector<ReportNotice> notices;  // about the input as a whole
  // Why the input as a whole was refused (before the steps) or its
  // converted lines were (after them); none when no such check failed.
  std::optional<ReportFailure> failure;
};

// Totals for summaries.
size_t EditCount(const ConversionReport& report);
size_t StepsWithEdits(const ConversionReport& report);
size_t NoticeCount(const ConversionReport& report);
// The failure of the step that failed, else that of the input as a whole;
// null when nothing failed.
const ReportFailure* FailureOf(const ConversionReport& report);

// ---- For the conversion steps ----

// A line of the input, from 1; 0 for none.
struct InputLine {
  int32_t number = 0;
};

// The input line of store line `index` as the store stands now (kept
// through the line operations of the running step); none for a line a step
// added, or when no report is being collected.
InputLine LineAt(const CCnvBase& store, int index);
// Whether a report is being collected, for notices that need a search of
// their own.
bool Reporting(const CCnvBase& store);
// The words of a notice or failure: `form` (a literal the catalogue has,
// under context "report") filled with `args`.
ReportText Said(std::u16string_view form, std::vector<std::u16string> args = {});

// Adds a notice of `code` to the running step.
void Notice(CCnvBase& store, std::string_view code, InputLine where, ReportText words);
// Sets error 2 (kCnvNotConvertible) and gives the running step its failure
// of `code` with `reason`; returns 0, the result of a step that failed.
int FailNotConvertible(CCnvBase& store, std::string_view code, InputLine where, ReportText reason);

// ---- For the line operations that change the store ----

// After `count` lines were inserted at store index `at`.
void NoteLinesInserted(CCnvBase& store, size_t at, size_t count);
// After runs of lines were inserted in one operation, each in front of the
// line at its `before` in the store as it was (InsertRuns, index_insert.h).
void NoteLineRunsInserted(CCnvBase& store, const std::vector<IndexRun>& runs);
// Before the lines at the distinct store indices `ascending` are removed.
void NoteLinesDeleting(CCnvBase& store, const std::vector<size_t>& ascending);
// Before the line at store index `index` is changed in place.
void NoteLineChanging(CCnvBase& store, size_t index);

#endif  // CNV_ENGINE_REPORT_H_
