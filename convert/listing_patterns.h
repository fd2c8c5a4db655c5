// The patterns of the sectioned listing: the two markers by which the
// listing converter knows one (defined with their search in engine/listing.h),
// and its three-line section headers (frame, title, frame); and the header of
// the provider section the conversions add.
#ifndef CNV_CONVERT_LISTING_PATTERNS_H_
#define CNV_CONVERT_LISTING_PATTERNS_H_

#include "convert/step_patterns.h"
#include "engine/listing.h"  // the markers, kClearConfiguration and kSystemConfiguration

// A header's frame line, and the titles of the sections the conversions use.
inline constexpr char16_t kHeaderFrame[] = u"{#+[ \\t]*}";
inline constexpr char16_t kPpSectionTitle[] = u"{#+[ \\t]*PP configuration[ \\t]*}";
inline constexpr char16_t kIpFilterSectionTitle[] = u"{#+[ \\t]*IP filter configuration[ \\t]*}";

inline constexpr StepPattern kListingPatterns[] = {
    {"clear_configuration", kClearConfiguration, true},
    {"system_configuration", kSystemConfiguration, true},
    {"header_frame", kHeaderFrame, true},
    {"header_pp", kPpSectionTitle, true},
    {"header_ip_filter", kIpFilterSectionTitle, true},
};

// The comment lines that open the provider section the conversions add.
inline constexpr const char16_t* kProviderTypeHeader[] = {u"#", u"# Provider Type configuration",
                                                          u"#", u""};

#endif  // CNV_CONVERT_LISTING_PATTERNS_H_
