// The URL filter step: rewrites the external-database settings and gives
// every interface binding of the URL filters a range of rule numbers of its
// own, copying the rules it names under the new numbers.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "convert/filter_list.h"
#include "convert/shared_steps.h"
#include "convert/url_filter_patterns.h"
#include "convert/url_number_claims.h"
#include "engine/line_ops.h"
#include "engine/report.h"
#include "engine/strutil.h"

namespace {

using Lines = std::vector<std::u16string>;

// Where the number of a rule line stands (url_filter_patterns.h).
struct RuleKind {
  std::u16string_view numberPattern;
  std::u16string_view keyword;
};
constexpr RuleKind kRuleKind = {kRuleNumber, kRuleKeyword};
constexpr RuleKind kCategoryRuleKind = {kCategoryNumber, kCategoryKeyword};

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

// ---- Phase 1: the external-database selection line ----

void ConvertDatabaseUse(CCnvBase& store) {
  CCnvMatchList found;
  if (!FindLines(store, kDatabaseUse, found, 0, -1, 0)) return;
  CCnvMatchList probe;
  for (const CCnvMatch& match : found) {
    const std::u16string head = Substring(match.m_text, match.m_start);
    const std::u16string rest = Substring(match.m_text, match.m_end);
    // A reputation setting other than "off" has no counterpart to rewrite.
    if (MatchAllInText(kReputationNotOff, head, probe)) {
      Notice(store, "url-database-kept", LineAt(store, match.m_line),
             Said(u"an external-database selection with a reputation setting other than 'off' has "
                  u"no counterpart in the target; the line is left as it is"));
      continue;
    }
    std::u16string text = Format(kDatabaseUseLine, {rest});
    if (!MatchAllInText(kReputationOffCategory, head, probe) && rest == u"digitalarts") {
      ReplaceAll(text, u"digitalarts", u"digitalarts2");
    }
    SetCommandPart(store, match.m_line, text);
  }
}

// ---- Phase 2: the external-database id line ----

void ConvertDatabaseId(CCnvBase& store) {
  CCnvMatchList found;
  if (!FindLines(store, kDatabaseId, found, 0, -1, 0)) return;
  for (const CCnvMatch& match : found) {
    const std::u16string rest = Substring(match.m_text, match.m_end);
    int pos = 0;
    const std::u16string first = NextToken(rest, u" ", pos);
    std::u16string second;
    if (pos >= 0) second = NextToken(rest, u" ", pos);
    // "id <vendor> <id>" is already in the target's form.
    const bool vendor = first == u"trendmicro" || first == u"digitalarts";
    if (vendor && !second.empty()) continue;
    SetCommandPart(store, match.m_line, Format(kDatabaseIdLine, {rest}));
  }
}

// ---- Phase 3: the interface bindings and their rules ----

// The digits of one number in a text.
struct Span {
  int start = 0;
  int end = 0;
};

std::u16string_view Digits(std::u16string_view text, Span span) {
  return text.substr(span.start, span.end - span.start);
}

// The digits of every number of a number list: each blank-led run of digits.
std::vector<Span> ListedNumbers(std::u16string_view text) {
  CCnvMatchList found;
  std::vector<Span> spans;
  MatchAllInText(kListedNumber, text, found);
  for (const CCnvMatch& match : found) {
    Span span{match.m_start, match.m_end};
    while (span.start < span.end && IsBlank(text[span.start])) ++span.start;
    spans.push_back(span);
  }
  return spans;
}

// Gives every number not yet in `map` the next free number from `base`, in
// order of first appearance; a repeated number keeps its first new number.
void RecordNumbers(std::u16string_view text, const std::vector<Span>& spans, int64_t base,
                   CFilterList& map) {
  int64_t next = base;
  std::u16string known;
  for (Span span : spans) {
    if (!FindFilterItem(map, Digits(text, span), known)) {
      AddFilterItem(map, Digits(text, span), Decimal(next++));
    }
  }
}

// The text with each listed number replaced by its new number; every other
// character, blanks and tabs included, stays as it was.
std::u16string Renumber(std::u16string_view text, const std::vector<Span>& spans,
                        const CFilterList& map) {
  std::u16string out;
  int from = 0;
  for (Span span : spans) {
    out.append(text.substr(from, span.start - from));
    std::u16string number(Digits(text, span));
    FindFilterItem(map, Digits(text, span), number);
    out += number;
    from = span.end;
  }
  out.append(text.substr(from));
  return out;
}

// The rule number field of one collected rule line.
struct RuleNumber {
  bool found = false;
  Span span;
  bool verdict = false;  // "reject" or "pass" follows the number
};

RuleNumber FindRuleNumber(std::u16string_view text, const RuleKind& kind) {
  CCnvMatchList found;
  RuleNumber rule;
  if (!MatchAllInText(kind.numberPattern, text, found)) return rule;
  std::size_t pos = found.front().m_start + kind.keyword.size();
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  rule.span.start = static_cast<int>(pos);
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  rule.span.end = static_cast<int>(pos);
  rule.found = rule.span.end > rule.span.start;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const std::u16string_view after = text.substr(pos);
  rule.verdict = after.starts_with(u"reject") || after.starts_with(u"pass");
  return rule;
}

// Removed rule lines of one kind, with their number fields.
struct RuleBlock {
  Lines lines;
  std::vector<RuleNumber> numbers;
  // The lines that can be copied (a number followed by a verdict), in block
  // order, by the digits of their number.
  std::map<std::u16string, std::vector<std::size_t>> byNumber;
  std::vector<InputLine> inputLines;  // for the report
  int pos = -1;                       // where the first of them stood; -1: nothing to insert
};

// Moves every line matching `pattern` out of the store into `block`.
void CollectRules(CCnvBase& store, std::u16string_view pattern, const RuleKind& kind,
                  RuleBlock& block) {
  CCnvMatchList found;
  if (!FindLines(store, pattern, found, 0, -1, 0)) return;
  for (const CCnvMatch& match : found) {
    const std::u16string& line = match.m_text;
    const RuleNumber number = FindRuleNumber(line, kind);
    if (number.found && number.verdict) {
      block.byNumber[std::u16string(Digits(line, number.span))].push_back(block.lines.size());
    }
    block.lines.push_back(line);
    block.numbers.push_back(number);
    block.inputLines.push_back(LineAt(store, match.m_line));
  }
  block.pos = found.front().m_line;
  DeleteMatchedLines(store, found);
}

// Appends to `copies`, for each mapped number in order, every rule line of
// that number in block order, with only its number field changed.
void CopyRules(const RuleBlock& block, const CFilterList& map, Lines& copies) {
  for (const CFilterItem& item : map) {
    const auto same = block.byNumber.find(item.m_oldNumber);
    if (same == block.byNumber.end()) continue;
    for (std::size_t i : same->second) {
      const RuleNumber& number = block.numbers[i];
      std::u16string copy = block.lines[i];
      copy.replace(number.span.start, number.span.end - number.span.start, item.m_newNumber);
      copies.push_back(std::move(copy));
    }
  }
}

// The select lines of one kind, found once and then kept up to date while
// the binding lines are rewritten, so that each binding does not search the
// lines above it again.
class SelectLines {
 public:
  explicit SelectLines(std::u16string_view pattern) : m_pattern(pattern) {}

  // The line of the select line that governs a binding on `bindingLine`:
  // the last one above it, else the first one; -1 when there is none.
  int Governing(CCnvBase& store, int bindingLine) {
    if (!m_known) {
      CCnvMatchList found;
      FindLines(store, m_pattern, found, 0, -1, 0);
      m_lines.clear();
      for (const CCnvMatch& match : found) m_lines.insert(m_lines.end(), match.m_line);
      m_known = true;
    }
    if (m_lines.empty()) return -1;
    const auto above = m_lines.lower_bound(bindingLine);
    return above == m_lines.begin() ? *above : *std::prev(above);
  }
  // Line `line` was given a new text.
  void Rewritten(CCnvBase& store, int line) {
    if (!m_known) return;
    CCnvMatchList found;
    if (FindLines(store, m_pattern, found, line, line, 0)) {
      m_lines.insert(line);
    } else {
      m_lines.erase(line);
    }
  }
  // Lines were inserted: every index may have moved.
  void Moved() { m_known = false; }

 private:
  std::u16string_view m_pattern;
  bool m_known = false;
  std::set<int> m_lines;  // the indices of the matching lines
};

// The select lines of both kinds.
struct Selects {
  SelectLines pp{kPpSelect};
  SelectLines tunnel{kTunnelSelect};
};

// The number N of the select line that governs the binding on line
// `bindingLine`: its first run of digits. 0 when there is no select line or
// its number is out of range.
int GoverningSelectNumber(CCnvBase& store, SelectLines& selects, int bindingLine, int64_t& number) {
  const int line = selects.Governing(store, bindingLine);
  if (line < 0) return 0;
  return FirstNumber(store.CmdLines()[static_cast<std::size_t>(line)], kMaxSelectNumber, number)
             ? 1
             : 0;
}

// Why a binding on a PP or tunnel has no first new number.
ReportText NoSelectLine(std::u16string_view interface) {
  return Said(
      u"the URL filter binding on a {1} takes its rule numbers from the '{1} select N' "
      u"line above it (else the first one), and there is no such line with N up to 10^15",
      {std::u16string(interface)});
}

// The first new number of a binding, by its interface and direction, and
// the binding's name; 0, and why in `why`, when it cannot be told.
int NumberBase(CCnvBase& store, Selects& selects, int bindingLine, std::u16string_view bindingText,
               BindingClaim& claim, std::string& whyCode, ReportText& why) {
  const auto named =
      std::find_if(std::begin(kUrlInterfaces), std::end(kUrlInterfaces),
                   [&](const UrlInterface& known) { return Contains(bindingText, known.word); });
  if (named == std::end(kUrlInterfaces)) {
    whyCode = "url-interface-unknown";
    why = Said(u"the URL filter binding names no interface the conversion knows");
    return 0;
  }
  claim.base = named->base;
  claim.name = u"url " + std::u16string(named->word);
  if (named->bySelect) {
    int64_t select = 0;
    SelectLines& lines = named->word == u"pp" ? selects.pp : selects.tunnel;
    if (!GoverningSelectNumber(store, lines, bindingLine, select)) {
      whyCode = "url-select-missing";
      why = NoSelectLine(named->word);
      return 0;
    }
    claim.base += kNumbersPerSelect * select;
    claim.name += u' ';
    claim.name += Decimal(select);
  }
  const bool out = Contains(bindingText, u"out");
  if (out) claim.base += kOutOffset;
  claim.name += out ? u" filter out" : u" filter in";
  return 1;
}

// Puts the removed rule lines back unchanged, once.
void PutBack(CCnvBase& store, const RuleBlock& rules, const RuleBlock& categories) {
  if (rules.pos >= 0) InsertLines(store, rules.lines, rules.pos, 0);
  if (categories.pos >= 0) {
    InsertLines(store, categories.lines, categories.pos + static_cast<int>(rules.lines.size()), 0);
  }
}

// What the report learns from the bindings: the rule numbers the rule lines
// carry, and the numbers the renumbered bindings named.
struct RuleUse {
  bool reporting = false;
  std::unordered_set<std::u16string> ruleNumbers;
  std::unordered_set<std::u16string> categoryNumbers;
  std::unordered_set<std::u16string> namedRules;
  std::unordered_set<std::u16string> namedCategories;
  std::string whyCode;  // the failure code of `why`
  ReportText why;       // why the last binding could not be renumbered
};

// The lines of a block that a binding can name (a number followed by a
// verdict): the digits of each one's number and its input line.
std::vector<NumberClaims::PutBackLine> NameableLines(const RuleBlock& block) {
  std::vector<NumberClaims::PutBackLine> nameable;
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const RuleNumber& number = block.numbers[i];
    if (number.found && number.verdict)
      nameable.push_back({Digits(block.lines[i], number.span), block.inputLines[i]});
  }
  return nameable;
}

// The numbers of a block's lines that CopyRules copies.
std::unordered_set<std::u16string> CopiedNumbers(const RuleBlock& block) {
  std::unordered_set<std::u16string> numbers;
  for (const NumberClaims::PutBackLine& line : NameableLines(block)) numbers.emplace(line.digits);
  return numbers;
}

// Records the numbers of one binding's map as named, and notes those that
// no rule line carries.
void NoteNamedNumbers(CCnvBase& store, int bindingLine, const CFilterList& map,
                      const std::unordered_set<std::u16string>& carried,
                      std::unordered_set<std::u16string>& named, std::u16string_view ruleLine) {
  constexpr std::size_t kListed = 10;
  std::u16string missing;
  std::size_t count = 0;
  for (const CFilterItem& item : map) {
    named.insert(item.m_oldNumber);
    if (carried.count(item.m_oldNumber) != 0) continue;
    if (count++ < kListed) missing += (missing.empty() ? u"" : u", ") + item.m_oldNumber;
  }
  if (count == 0) return;
  const InputLine where = LineAt(store, bindingLine);
  if (count <= kListed) {
    Notice(store, "url-number-missing", where,
           Said(u"the binding names {1}, which no '{2}' line carries; the binding is renumbered "
                u"all the same",
                {missing, std::u16string(ruleLine)}));
    return;
  }
  Notice(store, "url-number-missing", where,
         Said(u"the binding names {1} and {3} more, which no '{2}' line carries; the binding is "
              u"renumbered all the same",
              {missing, std::u16string(ruleLine), Decimal(static_cast<int64_t>(count - kListed))}));
}

// Notes every line of `block` that no binding named: it is not in the
// output.
void NoteDroppedRules(CCnvBase& store, const RuleBlock& block,
                      const std::unordered_set<std::u16string>& named, NumberKind kind) {
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const RuleNumber& number = block.numbers[i];
    const bool copied = number.found && number.verdict &&
                        named.count(std::u16string(Digits(block.lines[i], number.span))) != 0;
    if (copied) continue;
    const bool rule = kind == kRuleNumbers;
    if (number.found && number.verdict) {
      const std::u16string digits(Digits(block.lines[i], number.span));
      Notice(store, "url-rule-dropped", block.inputLines[i],
             rule ? Said(u"no URL filter binding names rule {1}, so this line is not in the output",
                         {digits})
                  : Said(u"no URL filter binding names category rule {1}, so this line is not in "
                         u"the output",
                         {digits}));
      continue;
    }
    Notice(store, "url-rule-dropped", block.inputLines[i],
           rule ? Said(u"this rule line has no number and verdict a binding could name, so it is "
                       u"not in the output")
                : Said(u"this category rule line has no number and verdict a binding could name, "
                       u"so it is not in the output"));
  }
}

// Rewrites one binding line to its own numbers and collects the copies of
// the rules it names; 0, and why in `use`, when its numbers cannot be told.
int RenumberBinding(CCnvBase& store, Selects& selects, const CCnvMatch& binding,
                    const RuleBlock& rules, const RuleBlock& categories, Lines& newRules,
                    Lines& newCategories, RuleUse& use, NumberClaims& claims) {
  const std::u16string_view whole = binding.m_text;
  const std::u16string_view bindingText =
      whole.substr(binding.m_start, binding.m_end - binding.m_start);
  const std::u16string_view restText = whole.substr(binding.m_end);
  BindingClaim claim;
  if (!NumberBase(store, selects, binding.m_line, bindingText, claim, use.whyCode, use.why))
    return 0;
  const int64_t base = claim.base;

  CFilterList ruleMap;
  const std::vector<Span> ruleSpans = ListedNumbers(bindingText);
  RecordNumbers(bindingText, ruleSpans, base, ruleMap);

  CFilterList categoryMap;
  std::vector<Span> categorySpans;
  if (Contains(restText, u"external-database")) categorySpans = ListedNumbers(restText);
  RecordNumbers(restText, categorySpans, base, categoryMap);
  if (use.reporting) {
    NoteNamedNumbers(store, binding.m_line, ruleMap, use.ruleNumbers, use.namedRules,
                     u"url filter <n> reject|pass");
    NoteNamedNumbers(store, binding.m_line, categoryMap, use.categoryNumbers, use.namedCategories,
                     u"url filter external-database category <n>");
  }

  claim.line = LineAt(store, binding.m_line);
  claim.count[kRuleNumbers] = static_cast<int64_t>(ruleMap.size());
  claim.count[kCategoryNumbers] = static_cast<int64_t>(categoryMap.size());
  claims.Add(std::move(claim));

  std::u16string first = Renumber(bindingText, ruleSpans, ruleMap);
  std::u16string second = Renumber(restText, categorySpans, categoryMap);
  if (!Contains(second, u"category")) {
    ReplaceAll(second, u"external-database", u"external-database category");
  }
  first += second;
  SetCommandPart(store, binding.m_line, std::move(first));
  selects.pp.Rewritten(store, binding.m_line);
  selects.tunnel.Rewritten(store, binding.m_line);

  CopyRules(rules, ruleMap, newRules);
  CopyRules(categories, categoryMap, newCategories);
  return 1;
}

int ConvertBindings(CCnvBase& store) {
  CCnvMatchList bindings;
  if (!FindLines(store, kBinding, bindings, 0, -1, 0)) return 1;
  const std::size_t count = bindings.size();

  RuleBlock rules;
  CollectRules(store, kRule, kRuleKind, rules);
  RuleBlock categories;
  CollectRules(store, kCategoryRule, kCategoryRuleKind, categories);
  RuleUse use;
  use.reporting = Reporting(store);
  if (use.reporting) {
    use.ruleNumbers = CopiedNumbers(rules);
    use.categoryNumbers = CopiedNumbers(categories);
  }

  Lines newRules;
  Lines newCategories;
  Selects selects;
  NumberClaims claims;
  bool putBack = false;
  bool search = true;
  for (std::size_t j = 0; j < count; ++j) {
    // The binding lines stay where they are while they are rewritten one by
    // one (a rewritten binding still matches the pattern, and no other line
    // changes), so one search serves until a put-back moves them.
    if (search) FindLines(store, kBinding, bindings, 0, -1, 0);
    search = false;
    // A binding line that was also taken as a rule line is gone.
    if (j >= bindings.size()) break;
    const CCnvMatch& binding = bindings[j];
    const std::u16string_view fromMatch =
        std::u16string_view(binding.m_text).substr(static_cast<std::size_t>(binding.m_start));
    if (Contains(fromMatch, u"reputation")) {
      // Reputation bindings keep their numbers, so their rules must stay.
      const InputLine where = LineAt(store, binding.m_line);  // before the put-back moves it
      if (!putBack) {
        PutBack(store, rules, categories);
        search = true;
        selects.pp.Moved();
        selects.tunnel.Moved();
      }
      putBack = true;
      Notice(store, "url-reputation-kept", where,
             Said(u"this binding uses reputation, so it keeps its rule numbers, and every rule "
                  u"line was put back as it was"));
      continue;
    }
    if (!RenumberBinding(store, selects, binding, rules, categories, newRules, newCategories, use,
                         claims)) {
      return FailNotConvertible(store, use.whyCode, LineAt(store, binding.m_line), use.why);
    }
  }
  if (putBack) {
    claims.PutBack(kRuleNumbers, NameableLines(rules));
    claims.PutBack(kCategoryNumbers, NameableLines(categories));
  }
  if (!FailOnCollision(store, claims)) return 0;
  if (use.reporting && !putBack) {
    NoteDroppedRules(store, rules, use.namedRules, kRuleNumbers);
    NoteDroppedRules(store, categories, use.namedCategories, kCategoryNumbers);
  }

  // The copies go where the first rule line and the first category rule line
  // stood, ahead of any lines that were put back there.
  if (rules.pos >= 0) InsertLines(store, newRules, rules.pos, 0);
  if (categories.pos >= 0) {
    std::size_t offset = newRules.size() + (putBack ? rules.lines.size() : 0);
    InsertLines(store, newCategories, categories.pos + static_cast<int>(offset), 0);
  }
  return 1;
}

}  // namespace

int ConvertUrlFilter(CCnvBase& converter) {
  ConvertDatabaseUse(converter);
  ConvertDatabaseId(converter);
  return ConvertBindings(converter);
}
