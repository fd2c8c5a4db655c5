#include "engine/output_check.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/strutil.h"

namespace {

using Text = std::u16string_view;

Text SkipBlanks(Text text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// Takes `word` off the front of `text`; false when it is not there.
bool Take(Text& text, Text word) {
  if (!text.starts_with(word)) return false;
  text.remove_prefix(word.size());
  return true;
}

// Takes the run of digits at the front of `text`, without leading zeros
// ("0" for zero); empty when there is none.
Text TakeNumber(Text& text) {
  size_t end = 0;
  while (end < text.size() && IsDigit(text[end])) ++end;
  Text digits = text.substr(0, end);
  text.remove_prefix(end);
  while (digits.size() > 1 && digits.front() == u'0') digits.remove_prefix(1);
  return digits;
}

// The number a command opened by `keyword` carries right after it, with
// only blanks in between and no digit after it ("pp select 1"); empty
// when the command is not one.
Text NumberAfter(Text command, Text keyword) {
  Text rest = SkipBlanks(command);
  if (!Take(rest, keyword)) return {};
  return TakeNumber(rest);
}

// The number that a URL filter rule line ("url filter 12 pass ...")
// defines, or a category rule line ("url filter external-database category
// 3 ..."), which `category` tells.
Text RuleNumber(Text command, bool& category) {
  Text rest = SkipBlanks(command);
  if (rest.empty() || rest.front() != u'u' || !Take(rest, u"url filter")) return {};
  category = false;
  rest = SkipBlanks(rest);
  if (Take(rest, u"external-database category")) {
    category = true;
    rest = SkipBlanks(rest);
    return TakeNumber(rest);
  }
  const Text number = TakeNumber(rest);
  if (number.empty()) return {};
  rest = SkipBlanks(rest);
  return rest.starts_with(u"reject") || rest.starts_with(u"pass") ? number : Text();
}

// The number of the output line that store line `index` becomes.
std::u16string OutputLine(size_t index) {
  return Utf8ToUtf16(std::to_string(index + 2));
}

// How often each rule number of one kind is defined, and where first.
struct Definitions {
  struct Number {
    size_t count = 0;
    size_t first = 0;
  };
  std::unordered_map<std::u16string, Number> numbers;
  size_t most = 1;  // the largest count

  // Counts the definition on line `index`; its count so far.
  const Number& Add(Text number, size_t index) {
    Number& entry = numbers[std::u16string(number)];
    if (entry.count++ == 0) entry.first = index;
    if (entry.count > most) most = entry.count;
    return entry;
  }
};

class Checker {
 public:
  Checker(const CCnvBase& store, const OutputCheckAllowance& allowance, OutputCheckFailure& failure)
      : store_(store), allowance_(allowance), failure_(failure) {}

  bool Run() { return HeaderOnce() && RuleNumbersOnce() && ProvidersInTheirPps(); }

 private:
  bool Fail(size_t index, ReportText reason) {
    failure_.index = index;
    failure_.reason = std::move(reason);
    return false;
  }

  bool HeaderOnce() {
    const Text header(kOutputHeader);
    std::u16string scratch;
    for (size_t i = 0; i < store_.CmdLines().size(); ++i) {
      if (store_.CommentLines()[i].size() + store_.CmdLines()[i].size() != header.size()) continue;
      if (store_.JoinedLine(i, scratch) != header) continue;
      return Fail(i, Said(u"one header line: output line {1} is the header line again (an output "
                          u"has it once, as line 1)",
                          {OutputLine(i)}));
    }
    return true;
  }

  bool RuleNumbersOnce() {
    Definitions rules;
    Definitions categories;
    for (size_t i = 0; i < store_.CmdLines().size(); ++i) {
      bool category = false;
      const Text number = RuleNumber(store_.CmdLines()[i], category);
      if (number.empty()) continue;
      const auto& defined = (category ? categories : rules).Add(number, i);
      if (defined.count <= (category ? allowance_.categoryDefinitions : allowance_.ruleDefinitions))
        continue;
      const std::vector<std::u16string> args = {OutputLine(i), std::u16string(number),
                                                OutputLine(defined.first)};
      return Fail(i, category ? Said(u"rule numbers defined once: output line {1} defines URL "
                                     u"filter category rule {2} again, which output line {3} "
                                     u"already defines",
                                     args)
                              : Said(u"rule numbers defined once: output line {1} defines URL "
                                     u"filter rule {2} again, which output line {3} already "
                                     u"defines",
                                     args));
    }
    return true;
  }

  bool ProvidersInTheirPps() {
    std::unordered_set<std::u16string> pps;
    for (const std::u16string& command : store_.CmdLines()) {
      const Text number = NumberAfter(command, u"pp select ");
      if (!number.empty()) pps.emplace(number);
    }
    // The PP whose lines the scan is in; empty outside every PP.
    std::u16string current;
    for (size_t i = 0; i < store_.CmdLines().size(); ++i) {
      const Text command = store_.CmdLines()[i];
      const Text start = SkipBlanks(command);
      // Every command looked at below begins with one of these: most lines
      // are passed over at their first unit.
      if (start.empty() || (start.front() != u'p' && start.front() != u't')) continue;
      if (start.starts_with(u"pp select ")) {
        current = NumberAfter(command, u"pp select ");
      } else if (start.starts_with(u"tunnel select ")) {
        current.clear();
      }
      const Text provider = NumberAfter(command, u"provider set ");
      if (!provider.empty() && pps.count(std::u16string(provider)) == 0) {
        return Fail(i, Said(u"every provider has its PP: output line {1} sets provider {2}, and "
                            u"there is no 'pp select {2}' line",
                            {OutputLine(i), std::u16string(provider)}));
      }
      Text rest = start;
      if (!Take(rest, u"pp name \"PRV/")) continue;
      const Text named = TakeNumber(rest);
      if (named.empty() || !rest.starts_with(u"/") || named == current) continue;
      if (current.empty()) {
        return Fail(i, Said(u"every PP name in its PP: output line {1} names PP {2} but stands "
                            u"outside every PP's lines",
                            {OutputLine(i), std::u16string(named)}));
      }
      return Fail(i, Said(u"every PP name in its PP: output line {1} names PP {2} but stands "
                          u"inside the lines of PP {3}",
                          {OutputLine(i), std::u16string(named), current}));
    }
    return true;
  }

  const CCnvBase& store_;
  const OutputCheckAllowance& allowance_;
  OutputCheckFailure& failure_;
};

}  // namespace

OutputCheckAllowance InputAllowance(const CCnvBase& store) {
  Definitions rules;
  Definitions categories;
  for (size_t i = 0; i < store.CmdLines().size(); ++i) {
    bool category = false;
    const Text number = RuleNumber(store.CmdLines()[i], category);
    if (!number.empty()) (category ? categories : rules).Add(number, i);
  }
  return {rules.most, categories.most};
}

bool CheckConvertedLines(const CCnvBase& store, const OutputCheckAllowance& allowance,
                         OutputCheckFailure& failure) {
  return Checker(store, allowance, failure).Run();
}
