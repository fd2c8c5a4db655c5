#include "engine/listing.h"

#include "engine/line_ops.h"

bool HasListingMarkers(CCnvBase& store) {
  // Neither search can set an error, so the first line with the first
  // marker settles that one, and without it the second is not needed.
  CCnvMatchList matches;
  if (FindLinesUpTo(store, u"{#?[ \t]*clear configuration[ \t]*}", matches, 0, -1, 1, 1) != 1) {
    return false;
  }
  return FindLineSequence(store, {u"{#+[ \t]*System configuration[ \t]*}"}, matches) == 1;
}
