// The engine's side of the conversion report: takes the edits of each step
// from the line operations that change the store, keeps each line's input
// line number, and holds the notices and failure of the running step.
#ifndef CNV_ENGINE_REPORT_RECORDER_H_
#define CNV_ENGINE_REPORT_RECORDER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/report.h"

// Collects `report` while the engine runs the steps. The line operations
// that change the store (InsertLines, InsertLineGroups, DeleteLine,
// DeleteMatchedLines, SetCommandPart) tell the recorder what they do: which line moved where,
// and the old text of a line before its first change or its removal. After
// a step, a line kept from before the step is a replace when its text
// differs from its old one, the old lines the step removed are deletes and
// the lines it added are inserts; between two kept lines, the removed and
// the added lines are aligned exactly, so that a line taken out and put
// back unchanged counts as kept. No copy of the store is held: the store's
// lines change only through those operations. Should what they told not
// fit the store after a step (a fault of the operations), the step's edits
// are incomplete and the report gets the notice "report-incomplete".
class ReportRecorder {
 public:
  ReportRecorder(ConversionReport& report, int32_t shape, const CCnvBase& store);

  void BeginStep(const char* name);
  // `result` is the step's: anything but 1 is a failure, which gets a
  // reason of the engine's when the step gave none.
  void EndStep(const CCnvBase& store, int result);
  // After the last step: the notice for input that is no configuration.
  void Finish(const CCnvBase& store);

  void LinesInserted(size_t at, size_t count);
  void LineRunsInserted(const std::vector<IndexRun>& runs);
  // Before the lines at `ascending` are removed from `store`.
  void LinesDeleting(const CCnvBase& store, const std::vector<size_t>& ascending);
  // Before line `index` of `store` is changed in place.
  void LineChanging(const CCnvBase& store, size_t index);
  int32_t InputLineAt(size_t index) const;
  void AddNotice(std::string code, int32_t inputLine, ReportText words);
  void SetFailure(std::string code, ReportText reason, int32_t inputLine);

 private:
  // Keeps the old text of store line `index` if it is a line from before
  // the step whose old text is not kept yet.
  void KeepOldText(const CCnvBase& store, size_t index);
  // The edits of old lines [a0, a1) and store lines [b0, b1), none of
  // which the line operations kept.
  void AlignGap(const CCnvBase& store, size_t a0, size_t a1, size_t b0, size_t b1);
  // A replace when the kept line `newIndex`, old line `oldIndex`, is not
  // its old text any more.
  void NoteReplace(const CCnvBase& store, size_t oldIndex, size_t newIndex);
  void Delete(size_t oldIndex);
  void Insert(const CCnvBase& store, size_t newIndex);
  // The old text of a line before the step, "" (and the step's edits
  // incomplete) when it was not kept.
  std::u16string OldText(size_t oldIndex);
  void Incomplete(ReportText words);

  ConversionReport& report_;
  ReportStep* step_ = nullptr;    // the running step
  std::vector<int32_t> origins_;  // input line of each line before the running step
  std::vector<int32_t> moved_;    // per store line: its line before the step, -1 if added
  std::unordered_map<size_t, std::u16string> oldTexts_;  // by line before the step
  std::vector<bool> touched_;  // per line before the step: whether oldTexts_ has it
  // Filled while a step's edits are taken.
  std::vector<int32_t> nextOrigins_;
  int32_t index_ = 0;
  bool incomplete_ = false;
};

#endif  // CNV_ENGINE_REPORT_RECORDER_H_
