#include "engine/report_recorder.h"

#include <cstring>
#include <numeric>

#include "engine/cnv_base.h"
#include "engine/index_erase.h"
#include "engine/line_align.h"
#include "engine/source_words.h"

namespace {

// A fast hash of the units of `text`, eight of them a round in two lanes.
uint64_t HashUnits(std::u16string_view text, uint64_t seed) {
  constexpr uint64_t kMul1 = 0xbf58476d1ce4e5b9ull;
  constexpr uint64_t kMul2 = 0x94d049bb133111ebull;
  uint64_t a = seed ^ (text.size() * 0x9e3779b97f4a7c15ull);
  uint64_t b = ~seed;
  const char16_t* p = text.data();
  size_t n = text.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w[2];
    std::memcpy(w, p, sizeof w);
    a = (a ^ w[0]) * kMul1;
    b = (b ^ w[1]) * kMul2;
    a ^= a >> 29;
    b ^= b >> 31;
  }
  uint64_t w[2] = {0, 0};
  if (n >= 4) {
    std::memcpy(&w[1], p, sizeof w[1]);
    p += 4;
    n -= 4;
  }
  for (size_t i = 0; i < n; ++i) w[0] |= static_cast<uint64_t>(p[i]) << (16 * i);
  a = (a ^ w[0]) * kMul1;
  b = (b ^ w[1]) * kMul2;
  const uint64_t h = (a ^ (b >> 32) ^ (b << 32)) * kMul2;
  return h ^ (h >> 32);
}

uint32_t TextHash(std::u16string_view text) {
  return static_cast<uint32_t>(HashUnits(text, 0x243f6a8885a308d3ull));
}

std::u16string JoinedLine(const CCnvBase& store, size_t i) {
  return store.CmdLines()[i] + store.CommentLines()[i];
}

// Whether `joined` is the command part followed by the comment part.
bool SameLine(const std::u16string& joined, const std::u16string& cmd,
              const std::u16string& comment) {
  return joined.size() == cmd.size() + comment.size() &&
         std::u16string_view(joined).substr(0, cmd.size()) == cmd &&
         std::u16string_view(joined).substr(cmd.size()) == comment;
}

}  // namespace

ReportRecorder::ReportRecorder(ConversionReport& report, int32_t shape, const CCnvBase& store)
    : report_(report) {
  report_.shape = shape;
  report_.inputLines = store.LineCount();
  origins_.resize(store.CmdLines().size());
  std::iota(origins_.begin(), origins_.end(), 1);
}

void ReportRecorder::BeginStep(const char* name) {
  report_.steps.emplace_back();
  step_ = &report_.steps.back();
  step_->name = name;
  incomplete_ = false;
  // Room for the lines a step adds, so that the first insert does not
  // reallocate the map while the store's own arrays grow.
  const size_t count = origins_.size();
  moved_.reserve(count + count / 64 + 64);
  moved_.resize(count);
  std::iota(moved_.begin(), moved_.end(), 0);
  touched_.assign(count, false);
}

void ReportRecorder::EndStep(const CCnvBase& store, int result) {
  const size_t oldCount = origins_.size();
  const size_t newCount = store.CmdLines().size();
  // What the line operations told must fit the store: one entry a line,
  // the old lines in their order. Otherwise a step moved lines by itself.
  bool fits = moved_.size() == newCount;
  for (size_t k = 0, next = 0; fits && k < newCount; ++k) {
    if (moved_[k] < 0) continue;
    fits = static_cast<size_t>(moved_[k]) >= next && static_cast<size_t>(moved_[k]) < oldCount;
    next = static_cast<size_t>(moved_[k]) + 1;
  }
  nextOrigins_.assign(newCount, 0);
  if (fits) {
    index_ = 0;
    size_t oldNext = 0;
    size_t newNext = 0;
    for (size_t k = 0; k < newCount; ++k) {
      if (moved_[k] < 0) continue;
      const size_t old = static_cast<size_t>(moved_[k]);
      if (old != oldNext || k != newNext) AlignGap(store, oldNext, old, newNext, k);
      if (touched_[old]) NoteReplace(store, old, k);
      nextOrigins_[k] = origins_[old];
      ++index_;
      oldNext = old + 1;
      newNext = k + 1;
    }
    AlignGap(store, oldNext, oldCount, newNext, newCount);
  } else {
    Incomplete(
        Said(u"this step added or removed lines without the line operations, so its edits "
             u"in this report are incomplete"));
  }
  origins_.swap(nextOrigins_);
  nextOrigins_ = std::vector<int32_t>();
  moved_ = std::vector<int32_t>();
  oldTexts_.clear();
  touched_ = std::vector<bool>();

  if (result != 1 && !step_->failure) {
    // A step that gave no reason: the engine says what the error code means.
    const bool operation = store.m_error == kCnvOperationError;
    step_->failure = FailureOfWords(
        operation ? "operation-error" : "step-failed",
        operation ? Said(u"a search pattern or line range of this step is not valid")
                  : Said(u"the step stopped without saying which line it looked for"),
        0);
  }
  step_ = nullptr;
}

void ReportRecorder::Incomplete(ReportText words) {
  if (incomplete_) return;
  incomplete_ = true;
  AddNotice("report-incomplete", 0, std::move(words));
}

std::u16string ReportRecorder::OldText(size_t oldIndex) {
  const auto found = oldTexts_.find(oldIndex);
  if (found != oldTexts_.end()) return found->second;
  Incomplete(
      Said(u"this step removed a line without the line operations, so its edits in this report are "
           u"incomplete"));
  return {};
}

void ReportRecorder::AlignGap(const CCnvBase& store, size_t a0, size_t a1, size_t b0, size_t b1) {
  if (a0 == a1 || b0 == b1) {
    for (size_t i = a0; i < a1; ++i) Delete(i);
    for (size_t k = b0; k < b1; ++k) Insert(store, k);
    return;
  }
  std::vector<std::u16string> oldLines;
  std::vector<uint32_t> oldHashes;
  std::vector<uint32_t> newHashes;
  for (size_t i = a0; i < a1; ++i) {
    oldLines.push_back(OldText(i));
    oldHashes.push_back(TextHash(oldLines.back()));
  }
  for (size_t k = b0; k < b1; ++k) newHashes.push_back(TextHash(JoinedLine(store, k)));
  const std::vector<LineMatch> kept = AlignLines(oldHashes, newHashes, [&](size_t i, size_t k) {
    return SameLine(oldLines[i], store.CmdLines()[b0 + k], store.CommentLines()[b0 + k]);
  });
  size_t i = a0;
  size_t k = b0;
  for (const LineMatch& match : kept) {
    for (; i < a0 + match.oldIndex; ++i) Delete(i);
    for (; k < b0 + match.newIndex; ++k) Insert(store, k);
    // Taken out and put back: the same line, kept.
    nextOrigins_[k++] = origins_[i++];
    ++index_;
  }
  for (; i < a1; ++i) Delete(i);
  for (; k < b1; ++k) Insert(store, k);
}

void ReportRecorder::NoteReplace(const CCnvBase& store, size_t oldIndex, size_t newIndex) {
  const auto old = oldTexts_.find(oldIndex);
  if (old != oldTexts_.end() &&
      !SameLine(old->second, store.CmdLines()[newIndex], store.CommentLines()[newIndex])) {
    step_->edits.push_back(
        {EditOp::kReplace, index_, JoinedLine(store, newIndex), old->second, origins_[oldIndex]});
  }
}

void ReportRecorder::Delete(size_t oldIndex) {
  step_->edits.push_back({EditOp::kDelete, index_, {}, OldText(oldIndex), origins_[oldIndex]});
}

void ReportRecorder::Insert(const CCnvBase& store, size_t newIndex) {
  step_->edits.push_back({EditOp::kInsert, index_, JoinedLine(store, newIndex), {}, 0});
  ++index_;
}

void ReportRecorder::Finish(const CCnvBase& store) {
  if (EditCount(report_) != 0 || NoticeCount(report_) != 0) return;
  for (const std::u16string& cmd : store.CmdLines()) {
    if (BeginsWithCommandWord(cmd)) return;
  }
  AddNotice("not-a-configuration", 0,
            Said(u"no step found anything to convert, and no line begins with a command word of a "
                 u"VLK250 configuration (such as ip, pp, dns or url): this is most likely not a "
                 u"configuration"));
}

void ReportRecorder::LinesInserted(size_t at, size_t count) {
  if (!step_) return;
  if (at > moved_.size()) at = moved_.size();
  moved_.insert(moved_.begin() + static_cast<ptrdiff_t>(at), count, -1);
}

void ReportRecorder::LineRunsInserted(const std::vector<IndexRun>& runs) {
  if (step_) InsertRuns(moved_, runs, [](size_t, size_t) { return int32_t{-1}; });
}

void ReportRecorder::KeepOldText(const CCnvBase& store, size_t index) {
  if (index >= moved_.size() || moved_[index] < 0) return;
  const size_t old = static_cast<size_t>(moved_[index]);
  if (touched_[old]) return;
  touched_[old] = true;
  oldTexts_.emplace(old, JoinedLine(store, index));
}

void ReportRecorder::LinesDeleting(const CCnvBase& store, const std::vector<size_t>& ascending) {
  if (!step_ || ascending.empty()) return;
  for (const size_t index : ascending) KeepOldText(store, index);
  EraseIndexes(moved_, ascending);
}

void ReportRecorder::LineChanging(const CCnvBase& store, size_t index) {
  if (step_) KeepOldText(store, index);
}

int32_t ReportRecorder::InputLineAt(size_t index) const {
  if (!step_) return index < origins_.size() ? origins_[index] : 0;
  if (index >= moved_.size() || moved_[index] < 0) return 0;
  const size_t old = static_cast<size_t>(moved_[index]);
  return old < origins_.size() ? origins_[old] : 0;
}

void ReportRecorder::AddNotice(std::string code, int32_t inputLine, ReportText words) {
  std::vector<ReportNotice>& notices = step_ ? step_->notices : report_.notices;
  std::u16string text = Filled(words);
  notices.push_back({std::move(code), inputLine, std::move(text), std::move(words)});
}

void ReportRecorder::SetFailure(std::string code, ReportText reason, int32_t inputLine) {
  if (step_ && !step_->failure)
    step_->failure = FailureOfWords(std::move(code), std::move(reason), inputLine);
}
