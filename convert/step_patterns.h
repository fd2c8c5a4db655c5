// What the tables of patterns and lines of the conversion steps have in
// common: the entry by which each table lists its patterns for the tests
// and benchmarks of the search, and the patterns and lines that more than
// one step uses. Each step's own table is in its <step>_patterns.h.
#ifndef CNV_CONVERT_STEP_PATTERNS_H_
#define CNV_CONVERT_STEP_PATTERNS_H_

#include <string_view>

// One pattern of a step, as the step passes it to FindLines,
// FindLineSequence or MatchAllInText.
struct StepPattern {
  const char* id;            // a short name for test and benchmark names
  std::u16string_view text;  // in the matcher's syntax
  bool includeComments;      // searched in comment parts as well
};

// The line that opens a PP's settings: the PP step walks the PPs by it, the
// URL filter step takes a PP binding's rule numbers from it.
inline constexpr char16_t kPpSelect[] = u"{pp select [0-9]+[ \\t]*}";
// In a web-GUI save, the catch-all filter line goes in front of this line.
inline constexpr char16_t kNatDescriptorType[] = u"{nat descriptor type}";

inline constexpr StepPattern kSharedPatterns[] = {
    {"pp_select", kPpSelect, false},
    {"nat_descriptor_type", kNatDescriptorType, false},
};

// Lines written by the LAN2 and the PP steps.
inline constexpr char16_t kProviderLan1Line[] = u"provider lan1 name LAN:";
// The catch-all filter line that goes with the provider definitions.
inline constexpr char16_t kCatchAllFilterLine[] = u"ip filter 500000 restrict * * * * *";

#endif  // CNV_CONVERT_STEP_PATTERNS_H_
