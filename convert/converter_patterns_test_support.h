// For the tests and benchmarks of the search: every pattern the conversion
// steps search with, taken from the steps' own tables (convert/*_patterns.h).
#ifndef CNV_CONVERT_CONVERTER_PATTERNS_TEST_SUPPORT_H_
#define CNV_CONVERT_CONVERTER_PATTERNS_TEST_SUPPORT_H_

#include <span>
#include <string>
#include <vector>

#include "convert/external_memory_patterns.h"
#include "convert/lan_provider_patterns.h"
#include "convert/listing_patterns.h"
#include "convert/pp_provider_patterns.h"
#include "convert/step_patterns.h"
#include "convert/system_settings_patterns.h"
#include "convert/url_filter_patterns.h"

struct ConverterPattern {
  const char* id;        // a short name for test and benchmark names
  std::u16string text;   // as the step passes it, numbers filled in
  bool includeComments;  // searched in comment parts as well
};

// The patterns of every step's table, and those built per PP for a typical
// PP (5) and, for the select line, the first PP (1).
inline std::vector<ConverterPattern> ConverterPatterns() {
  std::vector<ConverterPattern> patterns;
  const auto add = [&patterns](std::span<const StepPattern> table) {
    for (const StepPattern& p : table)
      patterns.push_back({p.id, std::u16string(p.text), p.includeComments});
  };
  add(kListingPatterns);
  add(kSharedPatterns);
  add(kLanProviderPatterns);
  add(kPpProviderPatterns);
  add(kSystemSettingsPatterns);
  add(kUrlFilterPatterns);
  add(kExternalMemoryPatterns);
  constexpr int kPp = 5;
  patterns.push_back({"pp_description_n", PpDescriptionPattern(kPp), false});
  patterns.push_back({"dns_server_select_n", DnsServerSelectPattern(kPp), false});
  patterns.push_back({"dns_server_part_n", DnsServerPartPattern(kPp), false});
  patterns.push_back({"pp_enable_n", PpEnablePattern(kPp), false});
  patterns.push_back({"pp_select_n", PpSelectNumberPattern(1), false});
  return patterns;
}

#endif  // CNV_CONVERT_CONVERTER_PATTERNS_TEST_SUPPORT_H_
