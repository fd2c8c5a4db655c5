// Recognition of the sectioned listing: CCnvTFTP accepts a file only when
// it carries both markers of such a listing.
#include "convert/cnv_tftp.h"
#include "convert/listing_patterns.h"
#include "engine/line_ops.h"

int CCnvTFTP::Load(const std::filesystem::path& path) {
  const int loaded = CCnvBase::Load(path);
  if (loaded != 1) return loaded;
  return HasListingMarkers() ? 1 : 0;
}

int CCnvTFTP::LoadBytes(std::string_view bytes, const std::filesystem::path& name) {
  const int loaded = CCnvBase::LoadBytes(bytes, name);
  if (loaded != 1) return loaded;
  return HasListingMarkers() ? 1 : 0;
}

bool CCnvTFTP::HasListingMarkers() {
  // Neither search can set an error, so the first line with the first
  // marker settles that one, and without it the second is not needed.
  CCnvMatchList matches;
  if (FindLinesUpTo(*this, kClearConfiguration, matches, 0, -1, 1, 1) != 1) {
    return false;
  }
  return FindLineSequence(*this, {kSystemConfiguration}, matches) == 1;
}
