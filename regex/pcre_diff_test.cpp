// Differential test: random patterns of the subset shared with PCRE2 must
// give the same match and the same span of every group in both engines.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex/search.h"

namespace {

constexpr uint32_t kSeed = 20261208;
constexpr int kPatterns = 6000;
constexpr int kTextsPerPattern = 20;

// A generated pattern, written in both syntaxes.
struct Piece {
  std::u16string ours;
  std::u16string pcre;
  bool canBeEmpty = false;
};

// Generates random patterns over the letters a-c. Group numbers follow the
// order of opening braces, as in both engines.
class PatternGenerator {
 public:
  explicit PatternGenerator(uint32_t seed) : rng_(seed) {}

  Piece Pattern() {
    groups_.clear();
    Piece p = Sequence(0, true);
    if (Chance(10)) {
      p.ours = u"^" + p.ours;
      p.pcre = u"^" + p.pcre;
    }
    if (Chance(10)) {
      p.ours += u"$";
      p.pcre += u"\\z";  // `$` would also match before a final newline
    }
    return p;
  }

  uint32_t groupCount() const { return static_cast<uint32_t>(groups_.size()); }

 private:
  struct Group {
    bool closed = false;
    bool canBeEmpty = false;
    bool inGreedyOperand = false;
  };

  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  char16_t Letter() { return static_cast<char16_t>(u'a' + Below(3)); }

  Piece Sequence(int depth, bool topLevel) {
    Piece seq;
    seq.canBeEmpty = true;
    int items = (topLevel ? 1 : 0) + Below(depth == 0 ? 4 : 3);
    for (int i = 0; i < items; ++i) {
      Piece item = Item(depth);
      seq.ours += item.ours;
      seq.pcre += item.pcre;
      seq.canBeEmpty = seq.canBeEmpty && item.canBeEmpty;
    }
    return seq;
  }

  // An item and, sometimes, further items joined by `|`.
  Piece Item(int depth) {
    Piece first = Quantified(depth);
    if (!Chance(15)) return first;
    Piece alt = first;
    alt.pcre = u"(?:" + first.pcre;
    int more = 1 + Below(2);
    for (int i = 0; i < more; ++i) {
      Piece next = Quantified(depth);
      alt.ours += u"|" + next.ours;
      alt.pcre += u"|" + next.pcre;
      alt.canBeEmpty = alt.canBeEmpty || next.canBeEmpty;
    }
    alt.pcre += u")";
    return alt;
  }

  Piece Quantified(int depth) {
    static const char16_t* const kQuantifiers[] = {u"*", u"+", u"?", u"*?", u"+?", u"??"};
    bool quantified = Chance(35);
    const char16_t* quant = kQuantifiers[Below(6)];
    std::u16string_view qv(quant);
    bool greedy = qv == u"*" || qv == u"+" || qv == u"?";
    if (quantified && greedy) ++greedyDepth_;
    bool look = false;
    Piece atom = Atom(depth, &look);
    if (quantified && greedy) --greedyDepth_;
    // A quantified look-ahead matches empty: excluded with the cases below.
    if (look || !quantified) return atom;
    if (atom.canBeEmpty) {
      // A loop over an operand that can match empty does not compile
      // (error 9). A greedy `?` over such an operand is left out: its
      // ReturnIfEmpty rejects an empty iteration, so `(a*)?` prefers to skip
      // the operand, where PCRE2 takes it and reports an empty group.
      quant = u"??";
      qv = quant;
    }
    Piece q;
    q.ours = atom.ours + quant;
    q.pcre = atom.pcre + quant;
    // As the compiler judges it: every lazy form counts as able to match empty.
    q.canBeEmpty = qv == u"+" ? atom.canBeEmpty : true;
    return q;
  }

  Piece Atom(int depth, bool* look) {
    int kind = Below(depth >= 3 ? 4 : 9);
    switch (kind) {
      case 0:
      case 1: {
        char16_t c = Letter();
        return {std::u16string(1, c), std::u16string(1, c), false};
      }
      case 2:
        return {u".", u".", false};
      case 3:
        return Class();
      case 4: {
        Piece inner = Sequence(depth + 1, false);
        return {u"(" + inner.ours + u")", u"(?:" + inner.pcre + u")", inner.canBeEmpty};
      }
      case 5:
      case 6:
        return Brace(depth);
      case 7: {
        bool nested = false;
        Piece inner = Atom(depth + 1, &nested);
        *look = true;
        return {u"!" + inner.ours, u"(?!" + inner.pcre + u")", true};
      }
      default:
        return BackReference(depth);
    }
  }

  Piece Class() {
    Piece p;
    bool negated = Chance(30);
    p.ours = negated ? u"[^" : u"[";
    p.pcre = p.ours;
    int members = 1 + Below(2);
    for (int i = 0; i < members; ++i) {
      char16_t low = Letter();
      std::u16string member(1, low);
      if (Chance(40)) {
        char16_t high = static_cast<char16_t>(low + Below(u'c' - low + 1));
        member += u"-";
        member += high;
      }
      p.ours += member;
      p.pcre += member;
    }
    p.ours += u"]";
    p.pcre += u"]";
    return p;
  }

  Piece Brace(int depth) {
    size_t g = groups_.size();
    groups_.push_back({false, false, greedyDepth_ > 0});
    Piece inner = Sequence(depth + 1, false);
    groups_[g].closed = true;
    groups_[g].canBeEmpty = inner.canBeEmpty;
    return {u"{" + inner.ours + u"}", u"(" + inner.pcre + u")", inner.canBeEmpty};
  }

  // A reference only to a group already closed: inside itself a group is
  // unset here, where PCRE2 would compare with its previous iteration.
  // Nor to a group inside the operand of a greedy `*`, `+` or `?`: after an
  // iteration the loop template's SavePos moves the slot to the iteration's
  // end, so when backtracking finds another way through the operand that
  // ends at the same place, ReturnIfEmpty takes it for an empty iteration
  // and drops it. That way differs only in its group spans, which nothing
  // but a back-reference can tell apart.
  Piece BackReference(int depth) {
    std::vector<size_t> closed;
    for (size_t g = 0; g < groups_.size(); ++g) {
      if (groups_[g].closed && !groups_[g].inGreedyOperand) closed.push_back(g);
    }
    if (closed.empty()) return Brace(depth);
    size_t g = closed[Below(static_cast<int>(closed.size()))];
    return {u"\\" + NumberText(g), u"(?:\\g{" + NumberText(g + 1) + u"})", groups_[g].canBeEmpty};
  }

  static std::u16string NumberText(size_t n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  }

  std::mt19937 rng_;
  std::vector<Group> groups_;
  int greedyDepth_ = 0;
};

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

struct PcreCodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct PcreDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

struct PcreContextDeleter {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};

struct Outcome {
  bool matched = false;
  bool undecided = false;  // PCRE2 gave up at its match limit
  std::vector<GroupSpan> groups;
};

// PCRE2's result for the same pattern, with the start positions of this
// matcher: it never starts a match at the end of a non-empty text, so a
// match found only there counts as none.
Outcome RunPcre(pcre2_code* code, pcre2_match_data* data, pcre2_match_context* context,
                std::u16string_view text, uint32_t groupCount) {
  Outcome out;
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data,
                       context);
  if (rc == PCRE2_ERROR_NOMATCH) return out;
  if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT) {
    out.undecided = true;
    return out;
  }
  EXPECT_GT(rc, 0) << "pcre2_match error " << rc;
  if (rc <= 0) return out;
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
  if (ov[0] == text.size() && !text.empty()) return out;
  out.matched = true;
  for (uint32_t g = 0; g < groupCount; ++g) {
    GroupSpan span;
    if (static_cast<int>(g + 1) < rc && ov[2 * (g + 1)] != PCRE2_UNSET) {
      span.start = static_cast<int32_t>(ov[2 * (g + 1)]);
      span.end = static_cast<int32_t>(ov[2 * (g + 1) + 1]);
    }
    out.groups.push_back(span);
  }
  return out;
}

Outcome Collect(const CompiledPattern& compiled, bool matched, const MatchState& state) {
  Outcome out;
  out.matched = matched;
  if (!out.matched) return out;
  for (uint32_t g = 0; g < compiled.groupCount; ++g) {
    GroupSpan span = state.groups[g];
    if (!span.matched()) span = GroupSpan{};
    out.groups.push_back(span);
  }
  return out;
}

Outcome RunOurs(const CompiledPattern& compiled, std::u16string_view text, MatchState& state) {
  return Collect(compiled, MatchPattern(compiled, text, state), state);
}

// The accelerated search: skips start positions and texts by the program's
// hints, with one searcher serving every text of a pattern.
Outcome RunAccelerated(const CompiledPattern& compiled, std::u16string_view text,
                       PatternSearcher& searcher) {
  return Collect(compiled, searcher.Match(text), searcher.state());
}

std::u16string RandomText(std::mt19937& rng) {
  static const char16_t kAlphabet[] = u"aabbcd";
  std::u16string text;
  int length = static_cast<int>(rng() % 9);
  for (int i = 0; i < length; ++i) text += kAlphabet[rng() % 6];
  return text;
}

TEST(PatternPcreDiff, RandomPatternsAgreeWithPcre2) {
  PatternGenerator generator(kSeed);
  std::mt19937 textRng(kSeed ^ 0x5a5a5a5au);
  MatchState state;
  std::unique_ptr<pcre2_match_data, PcreDataDeleter> data(pcre2_match_data_create(64, nullptr));
  ASSERT_TRUE(data);
  // Some random patterns nest quantifiers deeply enough for PCRE2 to take
  // exponential time; those texts are counted and left undecided.
  std::unique_ptr<pcre2_match_context, PcreContextDeleter> context(
      pcre2_match_context_create(nullptr));
  ASSERT_TRUE(context);
  pcre2_set_match_limit(context.get(), 200000);
  long undecided = 0;
  int failures = 0;
  long compared = 0;
  long matches = 0;
  for (int i = 0; i < kPatterns && failures < 10; ++i) {
    Piece pattern = generator.Pattern();
    uint32_t groupCount = generator.groupCount();
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(pattern.ours), 0) << Narrow(pattern.ours);
    ASSERT_EQ(compiled.groupCount, groupCount) << Narrow(pattern.ours);

    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    std::unique_ptr<pcre2_code, PcreCodeDeleter> code(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.pcre.data()), pattern.pcre.size(),
                      PCRE2_DOTALL, &errorCode, &errorOffset, nullptr));
    ASSERT_TRUE(code) << "PCRE2 refused " << Narrow(pattern.pcre) << " (" << errorCode << ")";

    PatternSearcher searcher(compiled);
    for (int t = 0; t < kTextsPerPattern; ++t) {
      std::u16string text = RandomText(textRng);
      Outcome ours = RunOurs(compiled, text, state);
      Outcome fast = RunAccelerated(compiled, text, searcher);
      Outcome peer = RunPcre(code.get(), data.get(), context.get(), text, groupCount);
      ++compared;
      if (peer.undecided) {
        ++undecided;
        continue;
      }
      if (ours.matched) ++matches;
      bool same = ours.matched == peer.matched && fast.matched == peer.matched;
      for (uint32_t g = 0; same && ours.matched && g < groupCount; ++g) {
        same = ours.groups[g].start == peer.groups[g].start &&
               ours.groups[g].end == peer.groups[g].end &&
               fast.groups[g].start == peer.groups[g].start &&
               fast.groups[g].end == peer.groups[g].end;
      }
      if (same) continue;
      ++failures;
      std::string detail;
      for (uint32_t g = 0; ours.matched && peer.matched && g < groupCount; ++g) {
        detail += " g" + std::to_string(g) + " ours " + std::to_string(ours.groups[g].start) + "-" +
                  std::to_string(ours.groups[g].end) + " pcre " +
                  std::to_string(peer.groups[g].start) + "-" + std::to_string(peer.groups[g].end);
      }
      ADD_FAILURE() << "pattern #" << i << " " << Narrow(pattern.ours) << " (PCRE2 "
                    << Narrow(pattern.pcre) << ") text \"" << Narrow(text) << "\": ours "
                    << ours.matched << ", accelerated " << fast.matched << ", PCRE2 "
                    << peer.matched << detail;
    }
  }
  EXPECT_EQ(compared, static_cast<long>(kPatterns) * kTextsPerPattern);
  EXPECT_LT(undecided, compared / 1000);
  // Guard against a generator that degenerates into trivial cases.
  EXPECT_GT(matches, compared / 5);
  EXPECT_LT(matches, compared * 4 / 5);
}

// Texts of long runs of one letter, where the accelerated search takes its
// shortcuts through loops (one frame for a run, ways out known to fail):
// it must give the plain interpreter's results, spans included.
std::u16string RunsText(std::mt19937& rng) {
  std::u16string text;
  // At most 10 units: the plain interpreter backtracks exponentially
  // through some of the generated nested loops.
  const int runs = 1 + static_cast<int>(rng() % 3);
  for (int r = 0; r < runs; ++r) {
    text.append(1 + rng() % 6, static_cast<char16_t>(u'a' + rng() % 4));
  }
  if (text.size() > 10) text.resize(10);
  return text;
}

TEST(PatternPcreDiff, AcceleratedSearchAgreesOnRunsOfOneLetter) {
  PatternGenerator generator(kSeed + 1);
  std::mt19937 textRng(kSeed ^ 0x3c3c3c3cu);
  MatchState state;
  int failures = 0;
  long matches = 0;
  long compared = 0;
  for (int i = 0; i < kPatterns / 2 && failures < 10; ++i) {
    Piece pattern = generator.Pattern();
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(pattern.ours), 0) << Narrow(pattern.ours);
    PatternSearcher searcher(compiled);
    for (int t = 0; t < kTextsPerPattern / 2; ++t) {
      const std::u16string text = RunsText(textRng);
      const Outcome plain = RunOurs(compiled, text, state);
      const Outcome fast = RunAccelerated(compiled, text, searcher);
      ++compared;
      if (plain.matched) ++matches;
      bool same = plain.matched == fast.matched;
      for (uint32_t g = 0; same && plain.matched && g < compiled.groupCount; ++g) {
        same = plain.groups[g].start == fast.groups[g].start &&
               plain.groups[g].end == fast.groups[g].end;
      }
      if (same) continue;
      ++failures;
      ADD_FAILURE() << "pattern #" << i << " " << Narrow(pattern.ours) << " text \"" << Narrow(text)
                    << "\": plain " << plain.matched << ", accelerated " << fast.matched;
    }
  }
  EXPECT_GT(matches, compared / 5);
  EXPECT_LT(matches, compared * 4 / 5);
}

}  // namespace
