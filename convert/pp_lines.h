// The lines the PP provider step looks up by a PP's number (its marker, its
// DNS selector, its enable line), filed by that number in one pass over the
// store, and the step's inserts held until its end and then made in one
// pass. Each PP's look-ups then cost what its own lines cost, not what the
// lines in front of it do.
#ifndef CNV_CONVERT_PP_LINES_H_
#define CNV_CONVERT_PP_LINES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/line_ops.h"

// Whether a command part opens the lines of a PP or a tunnel: "pp select "
// or "tunnel select " after blanks and tabs.
bool OpensSelect(std::u16string_view command);

class PpLines {
 public:
  // Files the lines of `store`.
  explicit PpLines(CCnvBase& store);

  // Whether the look-ups below give what searches of the store would give
  // after the step's edits so far. So they do unless a line that holds
  // "description pp " holds a second text of kSearchedLiterals: only then
  // can a rewritten marker, or a line made from a provider's name, match a
  // later search, or a rewrite take a match away.
  bool Exact() const { return exact_; }

  // The lines kPpSelect matches, in store order.
  const CCnvMatchList& Selects() const { return selects_; }
  // The last line of the PP whose "pp select" line is `select`: the line
  // before the next one that opens a PP or a tunnel, or the store's last.
  int PpLast(int select) const;
  // The record of the first line from `first` to `last` that
  // PpDescriptionPattern(number) matches and that was not rewritten.
  std::optional<CCnvMatch> Description(const CCnvBase& store, int number, int first,
                                       int last) const;
  // The record of the first line DnsServerSelectPattern(number) matches.
  std::optional<CCnvMatch> DnsSelect(CCnvBase& store, int number);
  // The first line PpEnablePattern(number) matches; -1 when none does.
  int Enable(int number) const;

  // SetCommandPart, and the line no marker any more.
  void Rewrite(CCnvBase& store, int line, std::u16string text);
  // Holds an insert in front of `before` until Flush.
  void Insert(int before, std::vector<std::u16string> cmds, std::vector<std::u16string> comments);
  // Makes the held inserts in one pass, each as InsertLineParts would have
  // when it was asked for; 1, else 0 with the error set.
  int Flush(CCnvBase& store);

 private:
  using Buckets = std::unordered_map<std::u16string, std::vector<int32_t>>;
  using Found = std::unordered_map<int, std::optional<CCnvMatch>>;

  // The record of the first line filed under `key` that `pattern` matches,
  // searched once per number.
  static std::optional<CCnvMatch> FirstOf(CCnvBase& store, const Buckets& buckets,
                                          const std::u16string& key, const std::u16string& pattern,
                                          int number, Found& found);

  bool exact_ = true;
  CCnvMatchList selects_;
  // Per line, and one past the last: the first line from it on that opens
  // a PP or a tunnel.
  std::vector<int32_t> nextOpener_;
  Buckets descriptions_;  // by the number in the marker, N - 1
  Buckets dnsSelects_;    // by the selector number, N + kDnsSelectorOffset
  Buckets enables_;       // by N
  Found dnsFound_;
  std::vector<bool> rewritten_;
  std::vector<LineGroup> held_;  // in the order asked for
};

#endif  // CNV_CONVERT_PP_LINES_H_
