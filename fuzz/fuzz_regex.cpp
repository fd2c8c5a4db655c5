// Fuzzes pattern compilation and matching: the first byte gives the
// pattern's length, the rest is the text. ASCII bytes stand for
// themselves; the others map to a small alphabet rich in the pattern syntax
// so that mutations keep producing patterns that compile. Every compiled
// pattern is also run through the accelerated searcher, which must give
// the plain interpreter's result and group spans on the text and on parts
// of it searched one after another with the same working state.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "regex/regex.h"
#include "regex/search.h"

namespace {

constexpr char16_t kAlphabet[] = u"ab{}()[]^-|!*+?.\\$ \t019dzqnx";

std::u16string MapBytes(const uint8_t* data, size_t size) {
  std::u16string out;
  for (size_t i = 0; i < size; ++i) {
    out += (data[i] & 0x80) ? kAlphabet[(data[i] & 0x7f) % (sizeof(kAlphabet) / 2 - 1)]
                            : static_cast<char16_t>(data[i]);
  }
  return out;
}

// Nested loops backtrack exponentially by design (the converters' patterns
// are fixed, not user input; `{\z?\z?\z+}+z+}` takes seconds on 12 digits
// under the sanitizers), so the text's length depends on the pattern:
// with two loops or more (they may nest) it stays very short; with one loop
// and choices (`?`, `|`) short, as the work then grows by a small factor a
// character; with one loop and no choice it may be long, as the work then
// grows at most quadratically with the text. The abbreviations `\w \z \q` hold a
// loop, `\n \q` choices.
size_t TextCap(std::u16string_view pattern) {
  int loops = 0;
  bool choices = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    const char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : 0;
    if (c == u'*' || c == u'+' || (c == u'\\' && (next == u'w' || next == u'z' || next == u'q')))
      ++loops;
    if (c == u'?' || c == u'|' || (c == u'\\' && (next == u'n' || next == u'q'))) choices = true;
  }
  if (loops >= 2) return 8;
  return choices ? 12 : 64;
}

bool SameSpans(const MatchState& a, const MatchState& b, uint32_t groupCount) {
  for (uint32_t g = 0; g < groupCount; ++g) {
    if (a.groups[g].start != b.groups[g].start || a.groups[g].end != b.groups[g].end) {
      return false;
    }
  }
  return true;
}

// Runs the plain interpreter on `text`; checks its spans and that the
// searcher agrees with it.
void Check(const CompiledPattern& compiled, PatternSearcher& searcher, std::u16string_view text) {
  MatchState plain;
  const bool matched = MatchPattern(compiled, text, plain);
  if (searcher.Match(text) != matched) std::abort();
  if (!matched) return;
  const auto size = static_cast<int32_t>(text.size());
  for (const GroupSpan& g : plain.groups) {
    // Spans are positions of the text (a group inside a failed look-ahead
    // may keep a stale span, so start <= end is not an invariant).
    if (g.start > size || g.end > size) std::abort();
  }
  if (!SameSpans(plain, searcher.state(), compiled.groupCount)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t patternLength = data[0] % 16;
  if (patternLength > size - 1) patternLength = size - 1;
  const std::u16string pattern = MapBytes(data + 1, patternLength);
  const size_t textLength = std::min(size - 1 - patternLength, TextCap(pattern));
  const std::u16string text = MapBytes(data + 1 + patternLength, textLength);

  CompiledPattern compiled;
  if (compiled.Compile(pattern) != 0) return 0;
  PatternSearcher searcher(compiled);
  const std::u16string_view view(text);
  // The same searcher over several texts: nothing of one run may leak
  // into the next.
  Check(compiled, searcher, view);
  Check(compiled, searcher, view.substr(0, view.size() / 2));
  Check(compiled, searcher, view.substr(std::min<size_t>(1, view.size())));
  Check(compiled, searcher, std::u16string_view());
  return 0;
}
