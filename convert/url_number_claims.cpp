#include "convert/url_number_claims.h"

#include <algorithm>
#include <iterator>

#include "engine/line_ops.h"
#include "engine/strutil.h"

namespace {

// Larger than any new number: bases stay below 400 * kMaxSelectNumber +
// 60000, and no binding line names anywhere near 10^17 numbers.
constexpr int64_t kBeyondNewNumbers = 1'000'000'000'000'000'000;
static_assert(400 * kMaxSelectNumber + 60000 < kBeyondNewNumbers / 2);

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

}  // namespace

void NumberClaims::PutBack(NumberKind kind, const std::vector<PutBackLine>& lines) {
  std::vector<CarriedNumber>& carried = m_carried[kind];
  for (const PutBackLine& put : lines) {
    int64_t value = 0;
    if (FirstNumber(put.digits, kBeyondNewNumbers, value)) carried.push_back({value, put.line});
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

// Fails the step on the later binding of the first number taken twice.
int FailOnCollision(CCnvBase& store, const NumberClaims& claims) {
  Collision found;
  if (!claims.FirstCollision(found)) return 1;
  return FailNotConvertible(store, "url-number-collision", found.binding->line,
                            CollisionReason(found));
}
