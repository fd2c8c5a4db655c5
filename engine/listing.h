// Recognition of the sectioned listing handed out over TFTP: the file
// carries both of its markers.
#ifndef CNV_ENGINE_LISTING_H_
#define CNV_ENGINE_LISTING_H_

#include "engine/cnv_base.h"

// The markers: a "clear configuration" line and the "System configuration"
// header's title, searched in command and comment parts.
inline constexpr char16_t kClearConfiguration[] = u"{#?[ \t]*clear configuration[ \t]*}";
inline constexpr char16_t kSystemConfiguration[] = u"{#+[ \t]*System configuration[ \t]*}";

// Whether the lines of `store` carry both markers of a sectioned listing:
// a "clear configuration" line and the "System configuration" header.
bool HasListingMarkers(CCnvBase& store);

#endif  // CNV_ENGINE_LISTING_H_
