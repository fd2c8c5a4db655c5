#include "engine/listing.h"

#include "engine/line_ops.h"

bool HasListingMarkers(CCnvBase& store) {
  // Neither search can set an error, so the first line with the first
  // marker settles that one, and without it the second is not needed.
  CCnvMatchList matches;
  if (FindLinesUpTo(store, kClearConfiguration, matches, 0, -1, 1, 1) != 1) {
    return false;
  }
  return FindLineSequence(store, {kSystemConfiguration}, matches) == 1;
}
