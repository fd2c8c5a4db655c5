// The engine's side of the conversion report: takes the edits of each step
// from a before/after comparison of the line store, keeps each line's input
// line number, and holds the notices and failure of the running step.
#ifndef CNV_ENGINE_REPORT_RECORDER_H_
#define CNV_ENGINE_REPORT_RECORDER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/report.h"

// The store's lines at one moment, each line (command and comment part)
// encoded unit by unit in one or more bytes: about a byte a character for
// a configuration, far less than the store itself.
class LineSnapshot {
 public:
  void Take(const CCnvBase& store);
  void Clear();
  size_t size() const { return ends_.size(); }
  std::u16string Line(size_t i) const;
  uint32_t Hash(size_t i) const;
  bool Equals(size_t i, const std::u16string& cmd, const std::u16string& comment) const;

 private:
  std::string bytes_;
  std::vector<uint32_t> ends_;  // where each line's bytes end
};

// Collects `report` while the engine runs the steps. For each step, the
// lines as they stood before it are kept in a snapshot; InsertLines and
// DeleteLines tell the recorder which lines they move, so that it knows
// which old line each line of the store is. After the step every line the
// store kept is compared with its old text (a line rewritten in place is a
// replace), and between two kept lines the deleted and inserted lines are
// aligned exactly, so that a line taken out and put back counts as kept.
// Should the store's size not fit what the line operations told, the whole
// step is aligned from the two texts instead.
class ReportRecorder {
 public:
  ReportRecorder(ConversionReport& report, int32_t shape, const CCnvBase& store);

  void BeginStep(const char* name, const CCnvBase& store);
  // `result` is the step's: anything but 1 is a failure, which gets a
  // reason of the engine's when the step gave none.
  void EndStep(const CCnvBase& store, int result);
  // After the last step: the notice for input that is no configuration.
  void Finish(const CCnvBase& store);

  void LinesInserted(size_t at, size_t count);
  void LinesDeleted(const std::vector<size_t>& ascending);
  int32_t InputLineAt(size_t index) const;
  void AddNotice(std::string code, int32_t inputLine, std::u16string text);
  void SetFailure(std::u16string reason, int32_t inputLine);

 private:
  // The edits of old lines [a0, a1) and store lines [b0, b1), none of them
  // kept by the line operations.
  void AlignGap(const CCnvBase& store, size_t a0, size_t a1, size_t b0, size_t b1);
  void Keep(const CCnvBase& store, size_t oldIndex, size_t newIndex);
  void Delete(size_t oldIndex);
  void Insert(const CCnvBase& store, size_t newIndex);

  ConversionReport& report_;
  ReportStep* step_ = nullptr;    // the running step
  LineSnapshot before_;           // the lines before the running step
  std::vector<int32_t> origins_;  // input line of each line before the running step
  std::vector<int32_t> moved_;    // per store line: its line before the step, -1 if added
  // Filled while a step's edits are taken.
  std::vector<int32_t> nextOrigins_;
  int32_t index_ = 0;
};

#endif  // CNV_ENGINE_REPORT_RECORDER_H_
