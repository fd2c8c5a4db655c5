// The PP provider step of the sectioned listing: after the per-PP
// conversion, the provider block goes under a header of its own in front of
// the first PP section, and the catch-all filter line ends the last IP
// filter section.
#include "convert/cnv_tftp.h"
#include "convert/listing_sections.h"
#include "convert/pp_provider.h"
#include "engine/line_ops.h"
#include "engine/report.h"

int CCnvTFTP::ConvertPpProvider() {
  PpProviderRun run;
  int result = 0;
  if (!ProviderBlockToPlace(*this, PpInfoBlock::kAdd, run, result)) return result;

  // The provider block, under a header of its own, in front of the first
  // PP section header.
  const int ppHeader = FirstSectionHeader(*this, kPpSectionTitle);
  if (ppHeader < 0) {
    return FailNotConvertible(
        *this, "pp-header-missing", run.firstMarker,
        Said(u"PPs are marked as providers but the listing has no 'PP configuration' section "
             u"header to put the provider block in front of"));
  }
  const InputLine blockPlace = LineAt(*this, ppHeader - 1);
  if (InsertProviderSection(*this, ppHeader, ProviderSectionPlace::kAtFrame,
                            ProviderBlockLines(run.lastProviderName)) != 1)
    return FailOperation(*this);
  NoteUnnamedProviderBlock(*this, run, blockPlace);

  // The filter line ends the last IP filter section.
  const int filterHeader = LastSectionHeader(*this, kIpFilterSectionTitle);
  if (filterHeader < 0) {
    return FailNotConvertible(
        *this, "ip-filter-header-missing", run.firstMarker,
        Said(u"PPs are marked as providers but the listing has no 'IP filter configuration' "
             u"section header to end with the catch-all filter line"));
  }
  if (EndFilterSection(*this, filterHeader) != 1) return FailOperation(*this);
  return NotePpMarkersLeft(*this);
}
