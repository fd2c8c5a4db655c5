#include "cli/diff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace {

constexpr std::ptrdiff_t kContext = 3;
// Lines are packed into blocks of this size (a longer line gets its own).
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// A line's compact form: each code unit as UTF-8 would write a code point
// of that value (a surrogate too), so that ASCII takes one byte per unit.
void Pack(std::u16string_view line, std::string& out) {
  out.clear();
  for (const char16_t unit : line) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
}

void Unpack(std::string_view bytes, std::u16string& out) {
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned lead = static_cast<unsigned char>(bytes[i]);
    auto next = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]) & 0x3Fu; };
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      i += 1;
    } else if (lead < 0xE0) {
      out += static_cast<char16_t>(((lead & 0x1F) << 6) | next(1));
      i += 2;
    } else {
      out += static_cast<char16_t>(((lead & 0x0F) << 12) | (next(1) << 6) | next(2));
      i += 3;
    }
  }
}

// One line of the edit script: kept, removed from the side before or added
// from the side after, with its index (from 0) in the side after, or in the
// side before for a removal.
struct Edit {
  char16_t mark;  // ' ', '-' or '+'
  uint32_t index;
};

// Builds the edit script from dtl's shortest edit script, element by
// element, with each run of changes put as its removals followed by its
// additions, as unified diffs show them.
class ScriptBuilder {
 public:
  void Take(dtl::edit_t type) {
    if (type == dtl::SES_ADD) {
      added_.push_back({u'+', newIndex_++});
      return;
    }
    if (type == dtl::SES_DELETE) {
      script_.push_back({u'-', oldIndex_++});
      return;
    }
    script_.insert(script_.end(), added_.begin(), added_.end());
    added_.clear();
    script_.push_back({u' ', newIndex_++});
    ++oldIndex_;
  }

  std::vector<Edit> Finish() {
    script_.insert(script_.end(), added_.begin(), added_.end());
    return std::move(script_);
  }

  void Reserve(std::size_t size) { script_.reserve(size); }

 private:
  std::vector<Edit> script_;
  std::vector<Edit> added_;
  uint32_t oldIndex_ = 0, newIndex_ = 0;
};

// Hands each element of dtl's edit script to a ScriptBuilder (dtl's storeSES
// copies the script once; reading it through getSes would copy it twice).
template <typename SesElem, typename Builder>
class ScriptStore {
 public:
  explicit ScriptStore(Builder& builder) : builder_(builder) {}
  void operator()(const SesElem& element) const { builder_.Take(element.second.type); }

 private:
  Builder& builder_;
};

std::vector<Edit> EditScript(const std::vector<uint32_t>& before,
                             const std::vector<uint32_t>& after) {
  dtl::Diff<uint32_t, std::vector<uint32_t>> diff(before, after);
  diff.compose();
  ScriptBuilder builder;
  // Every line is kept, removed or added: (before + after + changes) / 2.
  builder.Reserve(
      (before.size() + after.size() + static_cast<std::size_t>(diff.getEditDistance())) / 2);
  diff.storeSES<ScriptBuilder, ScriptStore>(builder);
  return builder.Finish();
}

std::u16string Number(std::ptrdiff_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

// A hunk range: "start,count", or "start" for one line. An empty range
// names the line before it.
std::u16string Range(std::ptrdiff_t firstLine, std::ptrdiff_t count) {
  if (count == 0) return Number(firstLine - 1) + u",0";
  if (count == 1) return Number(firstLine);
  return Number(firstLine) + u"," + Number(count);
}

}  // namespace

uint32_t LineTable::Intern(std::u16string_view line) {
  Pack(line, packed_);
  const uint32_t hash = static_cast<uint32_t>(std::hash<std::string_view>{}(packed_));
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
    if (slots_[s] != 0) {
      const Entry& entry = entries_[slots_[s] - 1];
      if (entry.hash == hash && Packed(entry) == packed_) return slots_[s] - 1;
      continue;
    }
    if (blocks_.empty() || blocks_.back().size() + packed_.size() > blocks_.back().capacity()) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlockBytes, packed_.size()));
    }
    std::string& block = blocks_.back();
    entries_.push_back({static_cast<uint32_t>(blocks_.size() - 1),
                        static_cast<uint32_t>(block.size()), static_cast<uint32_t>(packed_.size()),
                        hash});
    block += packed_;
    slots_[s] = static_cast<uint32_t>(entries_.size());
    return static_cast<uint32_t>(entries_.size() - 1);
  }
}

void LineTable::AppendText(uint32_t id, std::u16string& out) const {
  Unpack(Packed(entries_[id]), out);
}

std::string_view LineTable::Packed(const Entry& entry) const {
  return std::string_view(blocks_[entry.block]).substr(entry.offset, entry.size);
}

void LineTable::Grow() {
  slots_.assign(std::max<std::size_t>(1024, slots_.size() * 2), 0);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t id = 0; id < entries_.size(); ++id) {
    std::size_t s = entries_[id].hash & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = static_cast<uint32_t>(id + 1);
  }
}

void UnifiedDiffHunks(DiffInput input, const DiffLineSource& afterLine, const HunkSink& sink) {
  // Where each distinct line's text is found from here on: a line of the
  // side after (its first), or for a line only the side before has, a
  // table of those lines alone. The big table then goes, before dtl's
  // working memory is needed.
  constexpr uint32_t kNone = UINT32_MAX;
  constexpr uint32_t kRemoved = uint32_t{1} << 31;
  std::vector<uint32_t> place(input.table_.size(), kNone);
  for (std::size_t i = 0; i < input.after_.size(); ++i) {
    if (place[input.after_[i]] == kNone) place[input.after_[i]] = static_cast<uint32_t>(i);
  }
  LineTable removed;
  std::u16string line;
  for (const uint32_t id : input.before_) {
    if (place[id] != kNone) continue;
    line.clear();
    input.table_.AppendText(id, line);
    place[id] = kRemoved | removed.Intern(line);
  }
  input.table_ = LineTable();
  const std::vector<uint32_t>& before = input.before_;
  const std::vector<uint32_t>& after = input.after_;

  const std::vector<Edit> script = EditScript(before, after);
  const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(script.size());
  auto isChange = [&](std::ptrdiff_t i) { return script[i].mark != u' '; };

  std::u16string scratch;
  std::ptrdiff_t oldLine = 1, newLine = 1;  // line numbers at `done`
  std::ptrdiff_t done = 0;                  // script entries already counted
  for (std::ptrdiff_t i = 0; i < size; ++i) {
    if (!isChange(i)) continue;
    // A hunk: from the context before this change to the context after the
    // last change that follows the one before it within two contexts.
    const std::ptrdiff_t first = std::max(done, i - kContext);
    std::ptrdiff_t last = i;
    for (std::ptrdiff_t j = i + 1; j < size && j <= last + 2 * kContext + 1; ++j) {
      if (isChange(j)) last = j;
    }
    const std::ptrdiff_t end = std::min(size, last + 1 + kContext);

    for (; done < first; ++done) {
      ++oldLine;
      ++newLine;
    }
    std::ptrdiff_t oldCount = 0, newCount = 0;
    for (std::ptrdiff_t k = first; k < end; ++k) {
      if (script[k].mark != u'+') ++oldCount;
      if (script[k].mark != u'-') ++newCount;
    }
    sink(u"@@ -" + Range(oldLine, oldCount) + u" +" + Range(newLine, newCount) + u" @@");
    for (std::ptrdiff_t k = first; k < end; ++k) {
      const Edit& edit = script[k];
      const uint32_t at = edit.mark == u'-' ? place[before[edit.index]] : edit.index;
      line.assign(1, edit.mark);
      if (at & kRemoved) {
        removed.AppendText(at & ~kRemoved, line);
      } else {
        line += afterLine(at, scratch);
      }
      sink(line);
    }
    oldLine += oldCount;
    newLine += newCount;
    done = end;
    i = end - 1;
  }
}

std::vector<std::u16string> UnifiedDiffHunks(const std::vector<std::u16string>& before,
                                             const std::vector<std::u16string>& after) {
  DiffInput input;
  for (const std::u16string& line : before) input.AddBefore(line);
  for (const std::u16string& line : after) input.AddAfter(line);
  std::vector<std::u16string> lines;
  UnifiedDiffHunks(
      std::move(input),
      [&after](std::size_t i, std::u16string&) -> std::u16string_view { return after[i]; },
      [&lines](std::u16string_view line) { lines.emplace_back(line); });
  return lines;
}
