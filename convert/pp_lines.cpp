#include "convert/pp_lines.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "convert/pp_provider_patterns.h"
#include "engine/strutil.h"

namespace {

constexpr std::u16string_view kDescription = u"description pp ";
constexpr std::u16string_view kDnsSelect = u"dns server select ";
constexpr std::u16string_view kEnable = u"pp enable ";

// How many times the texts of kSearchedLiterals stand in `text`.
size_t LiteralCount(std::u16string_view text) {
  size_t count = 0;
  for (const char16_t* literal : kSearchedLiterals) {
    const std::u16string_view part = literal;
    for (size_t at = text.find(part); at != std::u16string_view::npos; at = text.find(part, at + 1))
      ++count;
  }
  return count;
}

// Files line `line` under `key`, once.
void File(std::unordered_map<std::u16string, std::vector<int32_t>>& buckets, std::u16string key,
          int32_t line) {
  std::vector<int32_t>& lines = buckets[std::move(key)];
  if (lines.empty() || lines.back() != line) lines.push_back(line);
}

// The run of ASCII digits at `at`.
std::u16string DigitsAt(std::u16string_view text, size_t at) {
  size_t end = at;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return std::u16string(text.substr(at, end - at));
}

// Files `line` under the digits after each `literal` in `text`: a match of
// a pattern built with number K holds the literal followed by K's digits
// and no further digit.
void FileByNumber(std::unordered_map<std::u16string, std::vector<int32_t>>& buckets,
                  std::u16string_view text, std::u16string_view literal, int32_t line) {
  for (size_t at = text.find(literal); at != std::u16string_view::npos;
       at = text.find(literal, at + 1)) {
    std::u16string digits = DigitsAt(text, at + literal.size());
    if (!digits.empty()) File(buckets, std::move(digits), line);
  }
}

// A marker that PpDescriptionPattern(K) matches: "description pp ", a
// double quote or none, "PRV/", a kind, "/", the digits of K and a colon.
// `key` is the text between the kind's slash and the first colon after it,
// which in such a match is K's digits; `end` is just after the colon.
struct Marker {
  size_t start = 0;
  size_t end = 0;
  std::u16string_view key;
};

// The marker whose "description pp " stands at `at`, if it is one.
std::optional<Marker> MarkerAt(std::u16string_view text, size_t at) {
  std::u16string_view rest = text.substr(at + kDescription.size());
  if (rest.starts_with(u'"')) rest.remove_prefix(1);
  if (!rest.starts_with(u"PRV/")) return std::nullopt;
  rest.remove_prefix(4);
  for (std::u16string_view kind : {u"PPPoE/", u"FGA_LAN/", u"FGA_TERM/"}) {
    if (!rest.starts_with(kind)) continue;
    const std::u16string_view number = rest.substr(kind.size());
    const size_t colon = number.find(u':');
    if (colon == std::u16string_view::npos) return std::nullopt;
    const size_t keyAt = static_cast<size_t>(number.data() - text.data());
    return Marker{at, keyAt + colon + 1, number.substr(0, colon)};
  }
  return std::nullopt;
}

// The leftmost marker of `text` whose key is `key`: where the search of
// PpDescriptionPattern finds its match.
std::optional<Marker> MarkerWithKey(std::u16string_view text, std::u16string_view key) {
  for (size_t at = text.find(kDescription); at != std::u16string_view::npos;
       at = text.find(kDescription, at + 1)) {
    const std::optional<Marker> marker = MarkerAt(text, at);
    if (marker && marker->key == key) return marker;
  }
  return std::nullopt;
}

// Files a marker line under the key of each of its markers.
void FileMarker(std::unordered_map<std::u16string, std::vector<int32_t>>& buckets,
                std::u16string_view text, int32_t line) {
  for (size_t at = text.find(kDescription); at != std::u16string_view::npos;
       at = text.find(kDescription, at + 1)) {
    if (const std::optional<Marker> marker = MarkerAt(text, at))
      File(buckets, std::u16string(marker->key), line);
  }
}

}  // namespace

bool OpensSelect(std::u16string_view command) {
  const size_t start = command.find_first_not_of(u" \t");
  if (start == std::u16string_view::npos) return false;
  command.remove_prefix(start);
  return command.starts_with(u"pp select ") || command.starts_with(u"tunnel select ");
}

PpLines::PpLines(CCnvBase& store) {
  FindLines(store, kPpSelect, selects_, 0, -1, 0);
  const int32_t count = store.LineCount();
  nextOpener_.assign(static_cast<size_t>(count) + 1, count);
  rewritten_.assign(static_cast<size_t>(count), false);
  for (int32_t i = count; i-- > 0;) {
    const std::u16string_view text = store.CmdLines()[static_cast<size_t>(i)];
    nextOpener_[i] = OpensSelect(text) ? i : nextOpener_[i + 1];
  }
  for (int32_t i = 0; i < count; ++i) {
    const std::u16string_view text = store.CmdLines()[static_cast<size_t>(i)];
    if (text.find(kDescription) != std::u16string_view::npos) {
      if (LiteralCount(text) > 1) exact_ = false;
      FileMarker(descriptions_, text, i);
    }
    FileByNumber(dnsSelects_, text, kDnsSelect, i);
    FileByNumber(enables_, text, kEnable, i);
  }
}

int PpLines::PpLast(int select) const {
  return nextOpener_[static_cast<size_t>(select) + 1] - 1;
}

std::optional<CCnvMatch> PpLines::Description(const CCnvBase& store, int number, int first,
                                              int last) const {
  const std::u16string key = Decimal(number - 1);
  const auto bucket = descriptions_.find(key);
  if (bucket == descriptions_.end()) return std::nullopt;
  const std::vector<int32_t>& lines = bucket->second;
  for (auto it = std::lower_bound(lines.begin(), lines.end(), first);
       it != lines.end() && *it <= last; ++it) {
    if (rewritten_[static_cast<size_t>(*it)]) continue;
    const std::u16string& text = store.CmdLines()[static_cast<size_t>(*it)];
    if (const std::optional<Marker> marker = MarkerWithKey(text, key)) {
      return CCnvMatch(*it, text, static_cast<int32_t>(marker->start),
                       static_cast<int32_t>(marker->end), 0);
    }
  }
  return std::nullopt;
}

std::optional<CCnvMatch> PpLines::FirstOf(CCnvBase& store, const Buckets& buckets,
                                          const std::u16string& key, const std::u16string& pattern,
                                          int number, Found& found) {
  const auto known = found.find(number);
  if (known != found.end()) return known->second;
  std::optional<CCnvMatch>& first = found[number];
  const auto bucket = buckets.find(key);
  CCnvMatchList list;
  if (bucket != buckets.end() && MatchLines(store, pattern, bucket->second, list, 1) == 1)
    first = list.front();
  return first;
}

std::optional<CCnvMatch> PpLines::DnsSelect(CCnvBase& store, int number) {
  return FirstOf(store, dnsSelects_, Decimal(number + kDnsSelectorOffset),
                 DnsServerSelectPattern(number), number, dnsFound_);
}

int PpLines::Enable(int number) const {
  // Every line filed under N's digits holds "pp enable N" followed by no
  // further digit, which is what PpEnablePattern(N) matches.
  const auto bucket = enables_.find(Decimal(number));
  return bucket == enables_.end() ? -1 : bucket->second.front();
}

void PpLines::Rewrite(CCnvBase& store, int line, std::u16string text) {
  SetCommandPart(store, line, std::move(text));
  rewritten_[static_cast<size_t>(line)] = true;
}

void PpLines::Insert(int before, std::vector<std::u16string> cmds,
                     std::vector<std::u16string> comments) {
  held_.push_back({before, std::move(cmds), std::move(comments)});
}

int PpLines::Flush(CCnvBase& store) {
  // Inserts asked for later stand in front of earlier ones at the same
  // place, as each went in right after its line.
  std::vector<LineGroup> groups(std::make_move_iterator(held_.rbegin()),
                                std::make_move_iterator(held_.rend()));
  held_.clear();
  const int count = store.LineCount();
  for (LineGroup& group : groups) {
    if (group.before < 0 || group.before > count) group.before = count;
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const LineGroup& a, const LineGroup& b) { return a.before < b.before; });
  return InsertLineGroups(store, groups);
}
