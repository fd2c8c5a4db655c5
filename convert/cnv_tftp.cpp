// The listing converter's load: it accepts a file only when it carries
// both markers of a sectioned listing.
#include "convert/cnv_tftp.h"

#include "engine/listing.h"

int CCnvTFTP::Load(const std::filesystem::path& path) {
  const int loaded = CCnvBase::Load(path);
  if (loaded != 1) return loaded;
  return HasListingMarkers(*this) ? 1 : 0;
}

int CCnvTFTP::LoadBytes(std::string_view bytes, const std::filesystem::path& name) {
  const int loaded = CCnvBase::LoadBytes(bytes, name);
  if (loaded != 1) return loaded;
  return HasListingMarkers(*this) ? 1 : 0;
}
