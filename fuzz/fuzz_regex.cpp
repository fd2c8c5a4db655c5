// Fuzzes pattern compilation and matching: the first byte gives the
// pattern's length, the rest is the text. ASCII bytes stand for
// themselves; the others map to a small alphabet rich in the pattern syntax
// so that mutations keep producing patterns that compile.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "regex/regex.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Short patterns and texts: nested quantifiers backtrack exponentially by
  // design, and the converters' patterns are fixed, not user input.
  size_t patternLength = data[0] % 16;
  if (patternLength > size - 1) patternLength = size - 1;
  std::u16string pattern = MapBytes(data + 1, patternLength);
  size_t textLength = size - 1 - patternLength;
  if (textLength > 12) textLength = 12;
  std::u16string text = MapBytes(data + 1 + patternLength, textLength);

  CompiledPattern compiled;
  if (compiled.Compile(pattern) != 0) return 0;
  MatchState state;
  if (!MatchPattern(compiled, text, state)) return 0;
  for (const GroupSpan& g : state.groups) {
    // Spans are positions of the text (a group inside a failed look-ahead
    // may keep a stale span, so start <= end is not an invariant).
    const auto size = static_cast<int32_t>(text.size());
    if (g.start > size || g.end > size) std::abort();
  }
  return 0;
}
