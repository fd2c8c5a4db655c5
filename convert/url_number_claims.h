// The new rule numbers of the URL filter step's renumbered bindings, and
// the check that no number is taken twice: by two bindings, or by a binding
// and a rule line put back unchanged for a reputation binding.
#ifndef CNV_CONVERT_URL_NUMBER_CLAIMS_H_
#define CNV_CONVERT_URL_NUMBER_CLAIMS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/cnv_base.h"
#include "engine/report.h"

// Largest select number whose rule numbers stay far inside 64 bits.
constexpr int64_t kMaxSelectNumber = 1'000'000'000'000'000;

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
  // The rule lines of one kind were put back unchanged: the digits of the
  // number each carries, and its input line, in block order.
  struct PutBackLine {
    std::u16string_view digits;
    InputLine line;
  };
  void PutBack(NumberKind kind, const std::vector<PutBackLine>& lines);
  // The first binding that takes a number an earlier binding or a put-back
  // rule line already has.
  bool FirstCollision(Collision& found) const;

 private:
  // The ranges of the bindings seen so far, by first number, to the binding;
  // they do not overlap until a collision is found.
  using Ranges = std::map<int64_t, std::size_t>;
  // A number that a rule line put back unchanged carries.
  struct CarriedNumber {
    int64_t value = 0;
    InputLine line;
    bool operator<(const CarriedNumber& other) const { return value < other.value; }
  };

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

// Fails the step (FailNotConvertible) on the later binding of the first
// number taken twice; 1 when there is none.
int FailOnCollision(CCnvBase& store, const NumberClaims& claims);

#endif  // CNV_CONVERT_URL_NUMBER_CLAIMS_H_
