#include "engine/report.h"

#include <cstring>
#include <new>
#include <numeric>

#include "engine/cnv_base.h"
#include "engine/line_align.h"
#include "engine/report_recorder.h"
#include "engine/source_words.h"

namespace {

// The snapshot's encoding: each UTF-16 unit on its own in one to three
// bytes, as UTF-8 writes a character below U+10000. Lone surrogates, which
// the store may hold, survive it.
size_t EncodedSize(std::u16string_view text) {
  size_t size = text.size();
  for (const char16_t unit : text) size += (unit >= 0x80) + (unit >= 0x800);
  return size;
}

char* EncodeUnit(char16_t unit, char* out) {
  if (unit < 0x80) {
    *out++ = static_cast<char>(unit);
  } else if (unit < 0x800) {
    *out++ = static_cast<char>(0xC0 | (unit >> 6));
    *out++ = static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (unit >> 12));
    *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (unit & 0x3F));
  }
  return out;
}

char16_t DecodeUnit(const char*& p) {
  const auto byte = [&p] { return static_cast<unsigned char>(*p++); };
  const unsigned first = byte();
  if (first < 0x80) return static_cast<char16_t>(first);
  if ((first & 0xE0) == 0xC0) return static_cast<char16_t>(((first & 0x1F) << 6) | (byte() & 0x3F));
  const unsigned second = byte() & 0x3F;
  return static_cast<char16_t>(((first & 0x0F) << 12) | (second << 6) | (byte() & 0x3F));
}

// Whether the bytes from `p` begin with the encoding of `part`; moves `p`
// past it when they do.
bool Matches(const char*& p, const char* end, std::u16string_view part) {
  for (const char16_t unit : part) {
    if (unit < 0x80) {
      if (p == end || static_cast<unsigned char>(*p) != unit) return false;
      ++p;
      continue;
    }
    char encoded[3];
    const size_t size = static_cast<size_t>(EncodeUnit(unit, encoded) - encoded);
    if (static_cast<size_t>(end - p) < size || std::memcmp(p, encoded, size) != 0) return false;
    p += size;
  }
  return true;
}

std::u16string JoinedLine(const CCnvBase& store, size_t i) {
  return store.m_cmdLines[i] + store.m_commentLines[i];
}

uint32_t StoreHash(const CCnvBase& store, size_t i) {
  LineHash hash;
  hash.Add(store.m_cmdLines[i]);
  hash.Add(store.m_commentLines[i]);
  return hash.value();
}

}  // namespace

// ---- LineSnapshot ----

void LineSnapshot::Take(const CCnvBase& store) {
  const size_t count = store.m_cmdLines.size();
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    total += EncodedSize(store.m_cmdLines[i]) + EncodedSize(store.m_commentLines[i]);
  }
  if (total > UINT32_MAX) throw std::bad_alloc();
  // Sized once: growing it would hold two copies for a moment.
  bytes_ = std::string();
  bytes_.resize(total);
  ends_.resize(count);
  char* const start = bytes_.data();
  char* out = start;
  for (size_t i = 0; i < count; ++i) {
    for (const std::u16string* part : {&store.m_cmdLines[i], &store.m_commentLines[i]}) {
      for (const char16_t unit : *part) out = EncodeUnit(unit, out);
    }
    ends_[i] = static_cast<uint32_t>(out - start);
  }
}

void LineSnapshot::Clear() {
  bytes_ = std::string();
  ends_ = std::vector<uint32_t>();
}

std::u16string LineSnapshot::Line(size_t i) const {
  const char* p = bytes_.data() + (i == 0 ? 0 : ends_[i - 1]);
  const char* const end = bytes_.data() + ends_[i];
  std::u16string line;
  line.reserve(static_cast<size_t>(end - p));
  while (p < end) line.push_back(DecodeUnit(p));
  return line;
}

uint32_t LineSnapshot::Hash(size_t i) const {
  LineHash hash;
  hash.Add(Line(i));
  return hash.value();
}

bool LineSnapshot::Equals(size_t i, const std::u16string& cmd, const std::u16string& comment) const {
  const char* p = bytes_.data() + (i == 0 ? 0 : ends_[i - 1]);
  const char* const end = bytes_.data() + ends_[i];
  return Matches(p, end, cmd) && Matches(p, end, comment) && p == end;
}

// ---- ReportRecorder ----

ReportRecorder::ReportRecorder(ConversionReport& report, int32_t shape, const CCnvBase& store)
    : report_(report) {
  report_.shape = shape;
  report_.inputLines = store.LineCount();
  origins_.resize(store.m_cmdLines.size());
  std::iota(origins_.begin(), origins_.end(), 1);
}

void ReportRecorder::BeginStep(const char* name, const CCnvBase& store) {
  report_.steps.emplace_back();
  step_ = &report_.steps.back();
  step_->name = name;
  before_.Take(store);
  moved_.resize(store.m_cmdLines.size());
  std::iota(moved_.begin(), moved_.end(), 0);
}

void ReportRecorder::EndStep(const CCnvBase& store, int result) {
  const size_t oldCount = before_.size();
  const size_t newCount = store.m_cmdLines.size();
  // What the line operations told must fit the store: one entry a line,
  // the old lines in their order. Otherwise a step moved lines by itself.
  bool fits = moved_.size() == newCount;
  for (size_t k = 0, next = 0; fits && k < newCount; ++k) {
    if (moved_[k] < 0) continue;
    fits = static_cast<size_t>(moved_[k]) >= next && static_cast<size_t>(moved_[k]) < oldCount;
    next = static_cast<size_t>(moved_[k]) + 1;
  }
  if (!fits) {
    std::vector<uint32_t> oldHashes(oldCount);
    std::vector<uint32_t> newHashes(newCount);
    for (size_t i = 0; i < oldCount; ++i) oldHashes[i] = before_.Hash(i);
    for (size_t k = 0; k < newCount; ++k) newHashes[k] = StoreHash(store, k);
    const std::vector<LineMatch> kept =
        AlignLines(oldHashes, newHashes, [&](size_t i, size_t k) {
          return before_.Equals(i, store.m_cmdLines[k], store.m_commentLines[k]);
        });
    moved_.assign(newCount, -1);
    for (const LineMatch& match : kept) moved_[match.newIndex] = static_cast<int32_t>(match.oldIndex);
  }

  nextOrigins_.assign(newCount, 0);
  index_ = 0;
  size_t oldNext = 0;
  size_t newNext = 0;
  for (size_t k = 0; k < newCount; ++k) {
    if (moved_[k] < 0) continue;
    const size_t old = static_cast<size_t>(moved_[k]);
    AlignGap(store, oldNext, old, newNext, k);
    Keep(store, old, k);
    oldNext = old + 1;
    newNext = k + 1;
  }
  AlignGap(store, oldNext, oldCount, newNext, newCount);
  origins_.swap(nextOrigins_);
  nextOrigins_ = std::vector<int32_t>();
  moved_ = std::vector<int32_t>();
  before_.Clear();

  if (result != 1 && !step_->failure) {
    // A step that gave no reason: the engine says what the error code means.
    const char16_t* reason =
        store.m_error == kCnvOperationError
            ? u"a search pattern or line range of this step is not valid"
            : u"the step stopped without saying which line it looked for";
    step_->failure = ReportFailure{reason, 0};
  }
  step_ = nullptr;
}

void ReportRecorder::AlignGap(const CCnvBase& store, size_t a0, size_t a1, size_t b0, size_t b1) {
  if (a0 == a1 || b0 == b1) {
    for (size_t i = a0; i < a1; ++i) Delete(i);
    for (size_t k = b0; k < b1; ++k) Insert(store, k);
    return;
  }
  std::vector<uint32_t> oldHashes(a1 - a0);
  std::vector<uint32_t> newHashes(b1 - b0);
  for (size_t i = a0; i < a1; ++i) oldHashes[i - a0] = before_.Hash(i);
  for (size_t k = b0; k < b1; ++k) newHashes[k - b0] = StoreHash(store, k);
  const std::vector<LineMatch> kept = AlignLines(oldHashes, newHashes, [&](size_t i, size_t k) {
    return before_.Equals(a0 + i, store.m_cmdLines[b0 + k], store.m_commentLines[b0 + k]);
  });
  size_t i = a0;
  size_t k = b0;
  for (const LineMatch& match : kept) {
    for (; i < a0 + match.oldIndex; ++i) Delete(i);
    for (; k < b0 + match.newIndex; ++k) Insert(store, k);
    Keep(store, i++, k++);
  }
  for (; i < a1; ++i) Delete(i);
  for (; k < b1; ++k) Insert(store, k);
}

void ReportRecorder::Keep(const CCnvBase& store, size_t oldIndex, size_t newIndex) {
  nextOrigins_[newIndex] = origins_[oldIndex];
  if (!before_.Equals(oldIndex, store.m_cmdLines[newIndex], store.m_commentLines[newIndex])) {
    step_->edits.push_back({EditOp::kReplace, index_, JoinedLine(store, newIndex),
                            before_.Line(oldIndex), origins_[oldIndex]});
  }
  ++index_;
}

void ReportRecorder::Delete(size_t oldIndex) {
  step_->edits.push_back({EditOp::kDelete, index_, {}, before_.Line(oldIndex), origins_[oldIndex]});
}

void ReportRecorder::Insert(const CCnvBase& store, size_t newIndex) {
  step_->edits.push_back({EditOp::kInsert, index_, JoinedLine(store, newIndex), {}, 0});
  ++index_;
}

void ReportRecorder::Finish(const CCnvBase& store) {
  if (EditCount(report_) != 0 || NoticeCount(report_) != 0) return;
  for (const std::u16string& cmd : store.m_cmdLines) {
    if (BeginsWithCommandWord(cmd)) return;
  }
  report_.notices.push_back(
      {"not-a-configuration", 0,
       u"no step found anything to convert, and no line begins with a command word of a VLK250 "
       u"configuration (such as ip, pp, dns or url): this is most likely not a configuration"});
}

void ReportRecorder::LinesInserted(size_t at, size_t count) {
  if (!step_) return;
  if (at > moved_.size()) at = moved_.size();
  moved_.insert(moved_.begin() + static_cast<ptrdiff_t>(at), count, -1);
}

void ReportRecorder::LinesDeleted(const std::vector<size_t>& ascending) {
  if (!step_ || ascending.empty()) return;
  size_t to = ascending.front();
  size_t next = 0;
  for (size_t from = to; from < moved_.size(); ++from) {
    if (next < ascending.size() && ascending[next] == from) {
      ++next;
      continue;
    }
    moved_[to++] = moved_[from];
  }
  moved_.resize(to);
}

int32_t ReportRecorder::InputLineAt(size_t index) const {
  if (!step_) return index < origins_.size() ? origins_[index] : 0;
  if (index >= moved_.size() || moved_[index] < 0) return 0;
  const size_t old = static_cast<size_t>(moved_[index]);
  return old < origins_.size() ? origins_[old] : 0;
}

void ReportRecorder::AddNotice(std::string code, int32_t inputLine, std::u16string text) {
  std::vector<ReportNotice>& notices = step_ ? step_->notices : report_.notices;
  notices.push_back({std::move(code), inputLine, std::move(text)});
}

void ReportRecorder::SetFailure(std::u16string reason, int32_t inputLine) {
  if (step_ && !step_->failure) step_->failure = ReportFailure{std::move(reason), inputLine};
}

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
  return nullptr;
}

// ---- The steps' helpers ----

InputLine LineAt(const CCnvBase& store, int index) {
  if (!store.m_recorder || index < 0) return {};
  return {store.m_recorder->InputLineAt(static_cast<size_t>(index))};
}

bool Reporting(const CCnvBase& store) {
  return store.m_recorder != nullptr;
}

void Notice(CCnvBase& store, std::string_view code, InputLine where, std::u16string text) {
  if (store.m_recorder) store.m_recorder->AddNotice(std::string(code), where.number, std::move(text));
}

int FailNotConvertible(CCnvBase& store, InputLine where, std::u16string reason) {
  store.SetError(kCnvNotConvertible);
  if (store.m_recorder) store.m_recorder->SetFailure(std::move(reason), where.number);
  return 0;
}

void NoteLinesInserted(CCnvBase& store, size_t at, size_t count) {
  if (store.m_recorder) store.m_recorder->LinesInserted(at, count);
}

void NoteLinesDeleted(CCnvBase& store, const std::vector<size_t>& ascending) {
  if (store.m_recorder) store.m_recorder->LinesDeleted(ascending);
}
