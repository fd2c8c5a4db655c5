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
#include "engine/line_ops.h"
#include "engine/report.h"
#include "engine/strutil.h"

namespace {

using Lines = std::vector<std::u16string>;

constexpr std::u16string_view kUsePattern =
    u"{url filter external-database use (reputation off category )?}";
constexpr std::u16string_view kIdPattern = u"{url filter external-database id[ \t]*}";
constexpr std::u16string_view kBindingPattern =
    u"{[ \t]*url ((lan1)|(lan2)|(wan1)|(pp)|(tunnel)) filter ((out)|(in))(([ \t]+[0-9]+)+)?}";
constexpr std::u16string_view kRulePattern =
    u"{[ \t]*url filter[ \t]*[0-9]+[ \t]*((reject)|(pass))}";
constexpr std::u16string_view kCategoryPattern =
    u"{[ \t]*url filter external-database category[ \t]*[0-9]+}";
constexpr std::u16string_view kListedNumberPattern = u"{[ \t]+[0-9]+}";

// Where the number of a rule line stands: the leftmost match of the pattern
// begins with the keyword, then blanks and the number.
struct RuleKind {
  std::u16string_view numberPattern;
  std::u16string_view keyword;
};
constexpr RuleKind kRule = {u"{url filter[ \t]*[0-9]+[ \t]*((reject)|(pass))}", u"url filter"};
constexpr RuleKind kCategoryRule = {u"{url filter external-database category[ \t]*[0-9]+}",
                                    u"url filter external-database category"};

// Pattern-free text helpers.
bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}
bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

std::u16string Decimal(int64_t value) {
  std::string ascii = std::to_string(value);
  return std::u16string(ascii.begin(), ascii.end());
}

// ---- Phase 1: the external-database selection line ----

void ConvertDatabaseUse(CCnvBase& store) {
  CCnvMatchList found;
  if (!FindLines(store, kUsePattern, found, 0, -1, 0)) return;
  CCnvMatchList probe;
  for (const CCnvMatch& match : found) {
    const std::u16string head = Substring(match.m_text, match.m_start);
    const std::u16string rest = Substring(match.m_text, match.m_end);
    // A reputation setting other than "off" has no counterpart to rewrite.
    if (MatchAllInText(u"{reputation !(off)}", head, probe)) {
      Notice(store, "url-database-kept", LineAt(store, match.m_line),
             Said(u"an external-database selection with a reputation setting other than 'off' has "
                  u"no counterpart in the target; the line is left as it is"));
      continue;
    }
    std::u16string text = Format(u"url filter external-database use category %s", {rest});
    if (!MatchAllInText(u"{reputation off category }", head, probe) && rest == u"digitalarts") {
      ReplaceAll(text, u"digitalarts", u"digitalarts2");
    }
    SetCommandPart(store, match.m_line, text);
  }
}

// ---- Phase 2: the external-database id line ----

void ConvertDatabaseId(CCnvBase& store) {
  CCnvMatchList found;
  if (!FindLines(store, kIdPattern, found, 0, -1, 0)) return;
  for (const CCnvMatch& match : found) {
    const std::u16string rest = Substring(match.m_text, match.m_end);
    int pos = 0;
    const std::u16string first = NextToken(rest, u" ", pos);
    std::u16string second;
    if (pos >= 0) second = NextToken(rest, u" ", pos);
    // "id <vendor> <id>" is already in the target's form.
    const bool vendor = first == u"trendmicro" || first == u"digitalarts";
    if (vendor && !second.empty()) continue;
    SetCommandPart(store, match.m_line,
                   Format(u"url filter external-database id digitalarts %s", {rest}));
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
  MatchAllInText(kListedNumberPattern, text, found);
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
  SelectLines pp{u"{pp select [0-9]+[ \t]*}"};
  SelectLines tunnel{u"{tunnel select [0-9]+[ \t]*}"};
};

// Largest select number whose rule numbers stay far inside 64 bits.
constexpr int64_t kMaxSelectNumber = 1'000'000'000'000'000;

// The number N of the select line that governs the binding on line
// `bindingLine`: its first run of digits. 0 when there is no select line or
// its number is out of range.
int GoverningSelectNumber(CCnvBase& store, SelectLines& selects, int bindingLine, int64_t& number) {
  const int line = selects.Governing(store, bindingLine);
  if (line < 0) return 0;
  const std::u16string_view text = store.CmdLines()[static_cast<std::size_t>(line)];
  std::size_t i = 0;
  while (i < text.size() && !IsDigit(text[i])) ++i;
  if (i == text.size()) return 0;
  number = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    number = number * 10 + (text[i] - u'0');
    if (number > kMaxSelectNumber) return 0;
  }
  return 1;
}

// Why a binding on a PP or tunnel has no first new number.
ReportText NoSelectLine(std::u16string_view interface) {
  return Said(
      u"the URL filter binding on a {1} takes its rule numbers from the '{1} select N' "
      u"line above it (else the first one), and there is no such line with N up to 10^15",
      {std::u16string(interface)});
}

// The kinds of new numbers; a rule and a category rule may share a number.
enum NumberKind { kRuleNumbers = 0, kCategoryNumbers = 1, kNumberKinds = 2 };

// One renumbered binding: how a failure reason names it, and the new
// numbers it takes, base ... base+count-1 of each kind.
struct BindingClaim {
  InputLine line;
  std::u16string name;  // "url lan1 filter in", "url pp 3 filter out"
  int64_t base = 0;
  int64_t count[kNumberKinds] = {};
};

// The first new number of a binding, by its interface and direction, and
// the binding's name; 0, and why in `why`, when it cannot be told.
int NumberBase(CCnvBase& store, Selects& selects, int bindingLine, std::u16string_view bindingText,
               BindingClaim& claim, std::string& whyCode, ReportText& why) {
  int64_t select = 0;
  int64_t& base = claim.base;
  if (Contains(bindingText, u"lan1")) {
    base = 10000;
    claim.name = u"url lan1";
  } else if (Contains(bindingText, u"lan2")) {
    base = 10400;
    claim.name = u"url lan2";
  } else if (Contains(bindingText, u"wan1")) {
    base = 10800;
    claim.name = u"url wan1";
  } else if (Contains(bindingText, u"pp")) {
    if (!GoverningSelectNumber(store, selects.pp, bindingLine, select)) {
      whyCode = "url-select-missing";
      why = NoSelectLine(u"pp");
      return 0;
    }
    base = 400 * select + 19600;
    claim.name = u"url pp " + Decimal(select);
  } else if (Contains(bindingText, u"tunnel")) {
    if (!GoverningSelectNumber(store, selects.tunnel, bindingLine, select)) {
      whyCode = "url-select-missing";
      why = NoSelectLine(u"tunnel");
      return 0;
    }
    base = 400 * select + 59600;
    claim.name = u"url tunnel " + Decimal(select);
  } else {
    whyCode = "url-interface-unknown";
    why = Said(u"the URL filter binding names no interface the conversion knows");
    return 0;
  }
  const bool out = Contains(bindingText, u"out");
  if (out) base += 200;
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

// The numbers of a block's lines that CopyRules copies.
std::unordered_set<std::u16string> CopiedNumbers(const RuleBlock& block) {
  std::unordered_set<std::u16string> numbers;
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const RuleNumber& number = block.numbers[i];
    if (number.found && number.verdict) numbers.emplace(Digits(block.lines[i], number.span));
  }
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

// ---- New numbers taken twice ----

// Larger than any new number: bases stay below 400 * kMaxSelectNumber +
// 60000, and no binding line names anywhere near 10^17 numbers.
constexpr int64_t kBeyondNewNumbers = 1'000'000'000'000'000'000;
static_assert(400 * kMaxSelectNumber + 60000 < kBeyondNewNumbers / 2);

// The value of a run of digits; false when it is beyond every new number.
bool NumberValue(std::u16string_view digits, int64_t& value) {
  value = 0;
  for (char16_t c : digits) {
    const int digit = c - u'0';
    if (value > (kBeyondNewNumbers - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

// A number that a rule line put back unchanged carries.
struct CarriedNumber {
  int64_t value = 0;
  InputLine line;
  bool operator<(const CarriedNumber& other) const { return value < other.value; }
};

// A binding that takes a number something else already has.
struct Collision {
  const BindingClaim* binding = nullptr;  // the later binding
  NumberKind kind = kRuleNumbers;
  int64_t number = 0;                    // the smallest number taken twice
  const BindingClaim* holder = nullptr;  // the earlier binding; null: a put-back rule line
  InputLine carrier;                     // that rule line
};

// The new numbers of the renumbered bindings, in binding order, and the
// numbers the put-back rule lines carry: finds a number taken twice
// comparing ranges, never single numbers, as a range may be huge.
class NumberClaims {
 public:
  void Add(BindingClaim claim) { m_bindings.push_back(std::move(claim)); }
  // The lines of `block` were put back with the numbers they carry.
  void PutBack(const RuleBlock& block, NumberKind kind);
  // The first binding that takes a number an earlier binding or a put-back
  // rule line already has.
  bool FirstCollision(Collision& found) const;

 private:
  // The ranges of the bindings seen so far, by first number, to the binding;
  // they do not overlap until a collision is found.
  using Ranges = std::map<int64_t, std::size_t>;

  int64_t Last(std::size_t binding, NumberKind kind) const {
    return m_bindings[binding].base + m_bindings[binding].count[kind] - 1;
  }
  bool Shared(const Ranges& taken, NumberKind kind, int64_t first, int64_t last,
              Collision& found) const;
  bool Carried(NumberKind kind, int64_t first, int64_t last, Collision& found) const;
  bool Taken(const Ranges& taken, NumberKind kind, const BindingClaim& claim,
             Collision& found) const;

  std::vector<BindingClaim> m_bindings;
  std::vector<CarriedNumber> m_carried[kNumberKinds];  // by value, then in block order
};

void NumberClaims::PutBack(const RuleBlock& block, NumberKind kind) {
  std::vector<CarriedNumber>& carried = m_carried[kind];
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const RuleNumber& number = block.numbers[i];
    int64_t value = 0;
    if (number.found && number.verdict && NumberValue(Digits(block.lines[i], number.span), value)) {
      carried.push_back({value, block.inputLines[i]});
    }
  }
  std::stable_sort(carried.begin(), carried.end());
}

// The smallest number of first ... last that a range in `taken` holds.
bool NumberClaims::Shared(const Ranges& taken, NumberKind kind, int64_t first, int64_t last,
                          Collision& found) const {
  const auto after = taken.upper_bound(first);
  auto holder = taken.end();
  if (after != taken.begin() && Last(std::prev(after)->second, kind) >= first) {
    holder = std::prev(after);
    found.number = first;
  } else if (after != taken.end() && after->first <= last) {
    holder = after;
    found.number = after->first;
  }
  if (holder == taken.end()) return false;
  found.holder = &m_bindings[holder->second];
  return true;
}

// The smallest number of first ... last that a put-back rule line carries.
bool NumberClaims::Carried(NumberKind kind, int64_t first, int64_t last, Collision& found) const {
  const std::vector<CarriedNumber>& carried = m_carried[kind];
  const auto it = std::lower_bound(carried.begin(), carried.end(), CarriedNumber{first, {}});
  if (it == carried.end() || it->value > last) return false;
  found.number = it->value;
  found.holder = nullptr;
  found.carrier = it->line;
  return true;
}

bool NumberClaims::Taken(const Ranges& taken, NumberKind kind, const BindingClaim& claim,
                         Collision& found) const {
  const int64_t first = claim.base;
  const int64_t last = claim.base + claim.count[kind] - 1;
  Collision byBinding;
  Collision byLine;
  const bool shared = Shared(taken, kind, first, last, byBinding);
  const bool carried = Carried(kind, first, last, byLine);
  if (!shared && !carried) return false;
  found = shared && (!carried || byBinding.number <= byLine.number) ? byBinding : byLine;
  found.binding = &claim;
  found.kind = kind;
  return true;
}

bool NumberClaims::FirstCollision(Collision& found) const {
  Ranges taken[kNumberKinds];
  for (std::size_t i = 0; i < m_bindings.size(); ++i) {
    for (NumberKind kind : {kRuleNumbers, kCategoryNumbers}) {
      if (m_bindings[i].count[kind] == 0) continue;
      if (Taken(taken[kind], kind, m_bindings[i], found)) return true;
      taken[kind].emplace(m_bindings[i].base, i);
    }
  }
  return false;
}

// Why a number is taken twice: the later binding, the number, and what
// already has it, the earlier binding (by its input line, its name and how
// many numbers it takes) or a rule line put back for a reputation binding.
// The reason is recorded only with a report, when every line has its input
// line.
ReportText CollisionReason(const Collision& found) {
  const bool rule = found.kind == kRuleNumbers;
  const std::u16string binding = found.binding->name;
  const std::u16string number = Decimal(found.number);
  if (!found.holder) {
    const std::vector<std::u16string> args = {binding, number, Decimal(found.carrier.number)};
    return rule ? Said(
                      u"{1} gets {2}, which the rule line on line {3}, put back for a "
                      u"reputation binding, already carries",
                      args)
                : Said(
                      u"{1} gets category rule {2}, which the category rule line on line {3}, "
                      u"put back for a reputation binding, already carries",
                      args);
  }
  const BindingClaim& holder = *found.holder;
  const int64_t count = holder.count[found.kind];
  const std::vector<std::u16string> args = {binding, number, Decimal(holder.line.number),
                                            holder.name, Decimal(count)};
  if (rule) {
    return count == 1 ? Said(u"{1} gets {2}, which line {3} ({4}, 1 rule) already uses", args)
                      : Said(u"{1} gets {2}, which line {3} ({4}, {5} rules) already uses", args);
  }
  return count == 1
             ? Said(
                   u"{1} gets category rule {2}, which line {3} ({4}, 1 category rule) already "
                   u"uses",
                   args)
             : Said(
                   u"{1} gets category rule {2}, which line {3} ({4}, {5} category rules) already "
                   u"uses",
                   args);
}

// Fails the step on the later binding of the first number taken twice.
int FailOnCollision(CCnvBase& store, const NumberClaims& claims) {
  Collision found;
  if (!claims.FirstCollision(found)) return 1;
  return FailNotConvertible(store, "url-number-collision", found.binding->line,
                            CollisionReason(found));
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
  if (!FindLines(store, kBindingPattern, bindings, 0, -1, 0)) return 1;
  const std::size_t count = bindings.size();

  RuleBlock rules;
  CollectRules(store, kRulePattern, kRule, rules);
  RuleBlock categories;
  CollectRules(store, kCategoryPattern, kCategoryRule, categories);
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
    if (search) FindLines(store, kBindingPattern, bindings, 0, -1, 0);
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
    claims.PutBack(rules, kRuleNumbers);
    claims.PutBack(categories, kCategoryNumbers);
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
