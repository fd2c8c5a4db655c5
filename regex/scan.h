// Private to the matcher: how common a code unit is in configuration text,
// which the scans (regex/scan.cpp) and the analysis that orders required
// literals for them both go by.
#ifndef CNV_REGEX_SCAN_H_
#define CNV_REGEX_SCAN_H_

namespace regex_internal {

// How often a code unit occurs in configuration text, roughly (higher:
// more often). Scans look for the rarest unit of a literal.
int Commonness(char16_t unit);

}  // namespace regex_internal

#endif  // CNV_REGEX_SCAN_H_
