#include "convert/pp_provider.h"

#include <climits>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>

#include "convert/cnv_gui.h"
#include "convert/markers.h"
#include "convert/pp_lines.h"
#include "convert/pp_provider_patterns.h"
#include "engine/line_ops.h"
#include "engine/strutil.h"

namespace {

// The first line whose command part matches `pattern`, searched through
// `lines` when given; false when none does.
bool FindFirstLine(CCnvBase& converter, std::u16string_view pattern, CCnvMatch& match,
                   const LiteralLines* lines = nullptr) {
  CCnvMatchList list;
  const int found = lines != nullptr ? lines->FindUpTo(converter, pattern, list, 1)
                                     : FindLinesUpTo(converter, pattern, list, 0, -1, 0, 1);
  if (found != 1 || list.empty()) return false;
  match = list.front();
  return true;
}

int CountLines(CCnvBase& converter, const LiteralLines& lines, std::u16string_view pattern) {
  CCnvMatchList list;
  lines.FindUpTo(converter, pattern, list, std::numeric_limits<size_t>::max());
  return static_cast<int>(list.size());
}

// Where the conversion of one PP finds its lines and makes its edits.
class PpEdits {
 public:
  virtual ~PpEdits() = default;
  // The marker of PP `number` among the lines of the PP opened on `select`.
  virtual std::optional<CCnvMatch> Description(CCnvBase& converter, int number, int select) = 0;
  // The DNS selector line of PP `number`, and its enable line.
  virtual std::optional<CCnvMatch> DnsSelect(CCnvBase& converter, int number) = 0;
  virtual std::optional<int> Enable(CCnvBase& converter, int number) = 0;
  virtual void Rewrite(CCnvBase& converter, int line, std::u16string text) = 0;
  virtual int Insert(CCnvBase& converter, std::vector<std::u16string> cmds,
                     std::vector<std::u16string> comments, int before) = 0;
};

// The lines found by number in one pass, the inserts made at the end
// (PpLines): for every input on which that is exact.
class OnePassEdits : public PpEdits {
 public:
  explicit OnePassEdits(PpLines& lines) : lines_(lines) {}
  std::optional<CCnvMatch> Description(CCnvBase& converter, int number, int select) override {
    return lines_.Description(converter, number, select, lines_.PpLast(select));
  }
  std::optional<CCnvMatch> DnsSelect(CCnvBase& converter, int number) override {
    return lines_.DnsSelect(converter, number);
  }
  std::optional<int> Enable(CCnvBase&, int number) override {
    const int line = lines_.Enable(number);
    return line < 0 ? std::nullopt : std::optional<int>(line);
  }
  void Rewrite(CCnvBase& converter, int line, std::u16string text) override {
    lines_.Rewrite(converter, line, std::move(text));
  }
  int Insert(CCnvBase&, std::vector<std::u16string> cmds, std::vector<std::u16string> comments,
             int before) override {
    lines_.Insert(before, std::move(cmds), std::move(comments));
    return 1;
  }

 private:
  PpLines& lines_;
};

// Searches of the store as each edit left it, through `lines`: for the
// inputs on which a rewritten marker or a provider's name can change what a
// later search finds.
class EditByEdit : public PpEdits {
 public:
  explicit EditByEdit(LiteralLines& lines) : lines_(lines) {}
  std::optional<CCnvMatch> Description(CCnvBase& converter, int number, int select) override {
    CCnvMatchList found;
    if (FindLinesUpTo(converter, PpDescriptionPattern(number), found, select,
                      PpLinesLast(converter, select), 0, 1) != 1 ||
        found.empty())
      return std::nullopt;
    return found.front();
  }
  std::optional<CCnvMatch> DnsSelect(CCnvBase& converter, int number) override {
    return First(converter, DnsServerSelectPattern(number));
  }
  std::optional<int> Enable(CCnvBase& converter, int number) override {
    const std::optional<CCnvMatch> enable = First(converter, PpEnablePattern(number));
    return enable ? std::optional<int>(enable->m_line) : std::nullopt;
  }
  void Rewrite(CCnvBase& converter, int line, std::u16string text) override {
    lines_.SetCommandPart(converter, line, std::move(text));
  }
  int Insert(CCnvBase& converter, std::vector<std::u16string> cmds,
             std::vector<std::u16string> comments, int before) override {
    return lines_.Insert(converter, cmds, comments, before);
  }

 private:
  std::optional<CCnvMatch> First(CCnvBase& converter, std::u16string_view pattern) {
    CCnvMatch match;
    if (!FindFirstLine(converter, pattern, match, &lines_)) return std::nullopt;
    return match;
  }
  // The last of the lines of the PP whose "pp select" line is `select`.
  static int PpLinesLast(const CCnvBase& store, int select) {
    int next = select + 1;
    while (next < store.LineCount() && !OpensSelect(store.CmdLines()[static_cast<size_t>(next)]))
      ++next;
    return next - 1;
  }

  LiteralLines& lines_;
};

// The PP number of a "pp select" line: its first run of digits. False when
// there is none or it is too large to carry the DNS selector offset.
bool ReadPpNumber(std::u16string_view commandPart, int& number) {
  int64_t value = 0;
  if (!FirstNumber(commandPart, INT_MAX - kDnsSelectorOffset, value)) return false;
  number = static_cast<int>(value);
  return true;
}

// The DNS server text of a PPPoE PP from its "dns server select" line: "pp"
// and the PP number, or one or two addresses with their separator.
bool ReadDnsServerText(const CCnvMatch& dnsLine, int number, std::u16string& serverText) {
  const std::u16string fromMatch = Substring(dnsLine.m_text, dnsLine.m_start);
  CCnvMatch part;
  if (!FirstMatchInText(DnsServerPartPattern(number), fromMatch, part)) return false;
  std::u16string text = Substring(part.m_text, part.m_start, part.m_end - part.m_start);
  ReplaceAll(text, u"any", u"");
  serverText = Trim(text);
  return true;
}

// The failure of a marked PP that lacks its enable line.
int FailWithoutEnable(CCnvBase& converter, int number, InputLine marker) {
  return FailNotConvertible(
      converter, "pp-enable-missing", marker,
      Said(u"PP {1} is marked as a provider but has no 'pp enable {1}' line", {Decimal(number)}));
}

// The DNS server line, and the provider selection for the chosen PPPoE PP,
// that follow the provider line of PP `number`, whose marker is on input
// line `marker`.
int DnsServerLines(CCnvBase& converter, PpEdits& edits, int number, PpProviderRun& run,
                   InputLine marker, InputLine select, std::vector<std::u16string>& added) {
  const std::optional<CCnvMatch> found = edits.DnsSelect(converter, number);
  if (!found) {
    return FailNotConvertible(
        converter, "dns-selector-missing", marker,
        Said(u"PP {1} is marked PRV/PPPoE but has no 'dns server select {2} ... restrict pp {1}' "
             u"line",
             {Decimal(number), Decimal(number + kDnsSelectorOffset)}));
  }
  const CCnvMatch& dnsLine = *found;
  std::u16string serverText;
  if (!ReadDnsServerText(dnsLine, number, serverText)) {
    return FailNotConvertible(
        converter, "dns-server-missing", LineAt(converter, dnsLine.m_line),
        Said(u"the 'dns server select' line of PP {1} names no DNS server ('pp {1}', one address "
             u"or two)",
             {Decimal(number)}));
  }
  if (serverText.find(u"pp") != std::u16string::npos)
    added.push_back(Format(kDnsServerByPpLine, {serverText, number}));
  else
    added.push_back(Format(kDnsServerByNumberLine, {number, serverText}));
  // The counter stays put once the selection is written, so every later
  // PPPoE PP gets one too.
  if (run.pppoeCounter == run.pppoeDescriptionCount - 1) {
    added.push_back(Format(kProviderSelectLine, {number}));
    run.selectedPps.push_back(select);
  } else {
    ++run.pppoeCounter;
  }
  run.lastPppoeSelect = select;
  return 1;
}

// Adds, after the enable line of PP `number`, the listing's comment block,
// the provider line and then the lines `after`, in one insert.
int AddProviderLines(CCnvBase& converter, PpEdits& edits, int number, const std::u16string& name,
                     PpInfoBlock infoBlock, InputLine marker,
                     const std::vector<std::u16string>& after) {
  const std::optional<int> enable = edits.Enable(converter, number);
  if (!enable) return FailWithoutEnable(converter, number, marker);
  std::vector<std::u16string> cmds;
  std::vector<std::u16string> comments;
  if (infoBlock == PpInfoBlock::kAdd) {
    cmds.resize(3);
    comments.assign(std::begin(kProviderInfoComments), std::end(kProviderInfoComments));
  }
  cmds.push_back(name.empty() ? Format(kProviderSetLine, {number})
                              : Format(kProviderSetNamedLine, {number, name}));
  cmds.insert(cmds.end(), after.begin(), after.end());
  comments.resize(cmds.size());
  if (edits.Insert(converter, std::move(cmds), std::move(comments), *enable + 1) != 1)
    return FailOperation(converter);
  return 1;
}

// The input line of the first provider marker, for failures of the step
// as a whole.
InputLine FirstMarker(CCnvBase& converter) {
  CCnvMatch pppoe;
  CCnvMatch fga;
  const bool hasPppoe = FindFirstLine(converter, kAnyPppoeDescription, pppoe);
  const bool hasFga = FindFirstLine(converter, kAnyFgaDescription, fga);
  if (hasPppoe && (!hasFga || pppoe.m_line < fga.m_line)) return LineAt(converter, pppoe.m_line);
  return hasFga ? LineAt(converter, fga.m_line) : InputLine{};
}

enum class PpResult { kSkipped, kConverted, kFailed };

// Converts PP `number`, whose "pp select" line is `select`, if a description
// with the number less one among the PP's own lines marks it as a provider.
PpResult ConvertPp(CCnvBase& converter, PpEdits& edits, int number, int select,
                   PpInfoBlock infoBlock, PpProviderRun& run) {
  const std::optional<CCnvMatch> found = edits.Description(converter, number, select);
  if (!found) return PpResult::kSkipped;
  const CCnvMatch& description = *found;

  const std::u16string name = TextBeforeQuote(Substring(description.m_text, description.m_end));
  const bool pppoe = description.m_text.find(u"PPPoE") != std::u16string::npos;
  const InputLine marker = LineAt(converter, description.m_line);
  const InputLine selectLine = LineAt(converter, select);
  edits.Rewrite(converter, description.m_line, Format(kPpNameLine, {number, name}));

  std::vector<std::u16string> dnsLines;
  if (pppoe && DnsServerLines(converter, edits, number, run, marker, selectLine, dnsLines) != 1)
    return PpResult::kFailed;
  if (AddProviderLines(converter, edits, number, name, infoBlock, marker, dnsLines) != 1)
    return PpResult::kFailed;

  if (run.firstPpNumber < 0) {
    run.firstPpNumber = number;
    run.firstMarker = marker;
  }
  run.lastPpNumber = number;
  run.lastProviderName = name;
  return PpResult::kConverted;
}

// Converts the PP whose "pp select" line is `select`, unless its number
// cannot be read.
PpResult ConvertSelected(CCnvBase& converter, PpEdits& edits, const CCnvMatch& select,
                         PpInfoBlock infoBlock, PpProviderRun& run) {
  int number = 0;
  if (!ReadPpNumber(select.m_text, number)) {
    Notice(converter, "pp-select-skipped", LineAt(converter, select.m_line),
           Said(u"the PP number of this 'pp select' line is too large for its DNS selector "
                u"number; the PP is not converted"));
    return PpResult::kSkipped;
  }
  return ConvertPp(converter, edits, number, select.m_line, infoBlock, run);
}

// Converts every PP with its lines found by number, and inserts the new
// lines at the end (also after a failure, so that the report shows the
// edits made until then); false when a PP failed.
bool ConvertInOnePass(CCnvBase& converter, PpLines& byNumber, PpInfoBlock infoBlock,
                      PpProviderRun& run) {
  OnePassEdits edits(byNumber);
  bool failed = false;
  for (const CCnvMatch& select : byNumber.Selects()) {
    failed = ConvertSelected(converter, edits, select, infoBlock, run) == PpResult::kFailed;
    if (failed) break;
  }
  if (byNumber.Flush(converter) != 1) {
    FailOperation(converter);
    return false;
  }
  return !failed;
}

// Converts the `iterations` PPs one after the other, searching the store
// as each one's edits left it; false when a PP failed.
bool ConvertEditByEdit(CCnvBase& converter, LiteralLines& lines, int iterations,
                       PpInfoBlock infoBlock, PpProviderRun& run) {
  EditByEdit edits(lines);
  for (int i = 0; i < iterations; ++i) {
    // Search afresh: the lines inserted so far have moved the PPs down.
    CCnvMatchList selects;
    lines.FindUpTo(converter, kPpSelect, selects, static_cast<size_t>(i) + 1);
    // A rewritten description can take a match with it; the PPs that were
    // counted past the end of the list are gone.
    if (i >= static_cast<int>(selects.size())) break;
    if (ConvertSelected(converter, edits, selects[i], infoBlock, run) == PpResult::kFailed)
      return false;
  }
  return true;
}

// The notices on the provider selection: none although PPPoE PPs were
// converted, or more than one.
void NoteProviderSelection(CCnvBase& converter, const PpProviderRun& run) {
  if (run.selectedPps.empty() && run.lastPppoeSelect.number != 0) {
    Notice(converter, "provider-select-missing", run.lastPppoeSelect,
           Said(u"PPPoE PPs were converted, but none got ' provider select' (a PPPoE marker was "
                u"not converted); add ' provider select N' to the PP the firewall should choose"));
  }
  for (size_t i = 1; i < run.selectedPps.size(); ++i) {
    Notice(converter, "provider-select-repeated", run.selectedPps[i],
           Said(u"this PP got ' provider select' as well as an earlier one (a marker that is not "
                u"PRV/PPPoE names PPPoE); keep it in one PP only"));
  }
}

}  // namespace

int FailOperation(CCnvBase& converter) {
  converter.SetError(kCnvOperationError);
  return 0;
}

int NotePpMarkersLeft(CCnvBase& converter) {
  NoteMarkersLeft(converter, u"description pp ", u"PP", {u"PPPoE", u"FGA_LAN", u"FGA_TERM"},
                  Said(u"PP marker {1} was not converted (the marker of PP N reads "
                       u"PRV/<kind>/<N - 1>:<name> and stands in PP N's own lines, from its 'pp "
                       u"select N' line to the next 'pp select' or 'tunnel select' line); the "
                       u"line is left as it is"));
  return 1;
}

bool ProviderBlockToPlace(CCnvBase& converter, PpInfoBlock infoBlock, PpProviderRun& run,
                          int& result) {
  switch (ConvertProviderPps(converter, infoBlock, run)) {
    case PpProviderOutcome::kNoProvider:
      result = NotePpMarkersLeft(converter);
      return false;
    case PpProviderOutcome::kFailed:
      result = 0;
      return false;
    case PpProviderOutcome::kConverted:
      break;
  }
  return true;
}

void NoteUnnamedProviderBlock(CCnvBase& converter, const PpProviderRun& run, InputLine where) {
  if (!run.lastProviderName.empty()) return;
  if (run.lastPpNumber < 0) {
    Notice(converter, "provider-block-unnamed", where,
           Said(u"the provider block's 'provider lan2 name \"PPPoE/0/1/5/0/0/0:\"' has an empty "
                u"name, as no PP marker was converted; the target's web-GUI save fails on it: give "
                u"the provider's name there by hand, or correct the PP markers"));
    return;
  }
  Notice(
      converter, "provider-block-unnamed", where,
      Said(u"the provider block's 'provider lan2 name \"PPPoE/0/1/5/0/0/0:\"' has an empty "
           u"name, as PP {1}, converted last, has an empty name; the target's web-GUI save fails "
           u"on it: give the provider's name there by hand",
           {Decimal(run.lastPpNumber)}));
}

std::vector<std::u16string> ProviderBlockLines(const std::u16string& lastProviderName) {
  return {kProviderLan1Line, kProviderTypeLine, kProviderFilterLine,
          Format(kProviderLan2NameLine, {lastProviderName})};
}

PpProviderOutcome ConvertProviderPps(CCnvBase& converter, PpInfoBlock infoBlock,
                                     PpProviderRun& run) {
  run = PpProviderRun{};
  LiteralLines lines(converter, {std::begin(kSearchedLiterals), std::end(kSearchedLiterals)});
  run.pppoeDescriptionCount = CountLines(converter, lines, kAnyPppoeDescription);
  if (run.pppoeDescriptionCount == 0 && CountLines(converter, lines, kAnyFgaDescription) == 0)
    return PpProviderOutcome::kNoProvider;

  const int iterations = CountLines(converter, lines, kPpSelect);
  if (iterations == 0) {
    FailNotConvertible(converter, "pp-select-missing", FirstMarker(converter),
                       Said(u"PPs are marked as providers (PRV/PPPoE, PRV/FGA_LAN or PRV/FGA_TERM) "
                            u"but there is no 'pp select N' line"));
    return PpProviderOutcome::kFailed;
  }
  PpLines byNumber(converter);
  const bool converted = byNumber.Exact()
                             ? ConvertInOnePass(converter, byNumber, infoBlock, run)
                             : ConvertEditByEdit(converter, lines, iterations, infoBlock, run);
  if (!converted) return PpProviderOutcome::kFailed;
  NoteProviderSelection(converter, run);
  return PpProviderOutcome::kConverted;
}

int CCnvGUI::ConvertPpProvider() {
  PpProviderRun run;
  int result = 0;
  if (!ProviderBlockToPlace(*this, PpInfoBlock::kNone, run, result)) return result;

  // The provider block stands in front of the first converted PP.
  CCnvMatch firstPp;
  if (run.firstPpNumber < 0) {
    return FailNotConvertible(
        *this, "pp-marker-unmatched", FirstMarker(*this),
        Said(u"PPs are marked as providers but no marker matches the PP it is in (the marker of PP "
             u"N reads PRV/<kind>/<N - 1>:<name> and stands in PP N's own lines)"));
  }
  if (!FindFirstLine(*this, PpSelectNumberPattern(run.firstPpNumber), firstPp)) {
    return FailNotConvertible(*this, "first-pp-gone", run.firstMarker,
                              Said(u"the 'pp select {1}' line of the first converted PP is gone",
                                   {Decimal(run.firstPpNumber)}));
  }
  const InputLine blockPlace = LineAt(*this, firstPp.m_line);
  if (InsertLines(*this, ProviderBlockLines(run.lastProviderName), firstPp.m_line, 0) != 1)
    return FailOperation(*this);
  NoteUnnamedProviderBlock(*this, run, blockPlace);

  // The filter line goes in front of the NAT descriptors, else at the end.
  CCnvMatch nat;
  const int placed = FindFirstLine(*this, kNatDescriptorType, nat)
                         ? InsertLines(*this, {kCatchAllFilterLine}, nat.m_line, 0)
                         : AppendCommentLines(*this, {kCatchAllFilterLine});
  if (placed != 1) return FailOperation(*this);
  return NotePpMarkersLeft(*this);
}
