// The conversion of PP connections that the source marks, by their
// descriptions, as PPPoE or FGA providers: each becomes a named PP with a
// provider line and, for PPPoE, its DNS server lines. Both converters run
// this per-PP conversion and then place the provider block and the filter
// line in their own way (the web-GUI save's in pp_provider.cpp, the
// sectioned listing's in pp_provider_listing.cpp).
#ifndef CNV_CONVERT_PP_PROVIDER_H_
#define CNV_CONVERT_PP_PROVIDER_H_

#include <string>
#include <vector>

#include "engine/cnv_base.h"
#include "engine/report.h"

// What one run of the per-PP conversion leaves for the placement steps.
struct PpProviderRun {
  int pppoeDescriptionCount = 0;  // lines with a PPPoE description, counted first
  int pppoeCounter = 0;           // PPPoE PPs converted without a provider selection
  int firstPpNumber = -1;         // number of the first PP converted, -1 for none
  InputLine firstMarker;          // the input line of that PP's marker
  int lastPpNumber = -1;          // number of the PP converted last
  std::u16string lastProviderName;
  InputLine lastPppoeSelect;           // the "pp select" line of the last PPPoE PP converted
  std::vector<InputLine> selectedPps;  // the "pp select" lines of the PPs given a selection
};

enum class PpProviderOutcome {
  kNoProvider,  // no PP is marked as a provider: nothing was changed
  kConverted,   // the marked PPs were converted (possibly none of them matched)
  kFailed,      // an error code was set; the store is partly edited
};

// Whether each converted PP also gets the listing's "Provider information"
// comment block after its enable line.
enum class PpInfoBlock { kNone, kAdd };

// Converts every PP whose description marks it as a provider, in store
// order, and fills `run`.
PpProviderOutcome ConvertProviderPps(CCnvBase& converter, PpInfoBlock infoBlock,
                                     PpProviderRun& run);

// The beginning both converters share: runs ConvertProviderPps. True when
// PPs were converted and the provider block is to be placed; otherwise the
// step ends with `result`.
bool ProviderBlockToPlace(CCnvBase& converter, PpInfoBlock infoBlock, PpProviderRun& run,
                          int& result);

// The end of a step that did not fail: notes the PP markers it left; 1.
int NotePpMarkersLeft(CCnvBase& converter);

// The end of a step whose line operation failed: sets kCnvOperationError; 0.
int FailOperation(CCnvBase& converter);

// The four provider lines put in front of the PP definitions; the last one
// carries `lastProviderName`.
std::vector<std::u16string> ProviderBlockLines(const std::u16string& lastProviderName);

// After the provider block was written (its place on input line `where`):
// the notice of a block without a name, for which the target's web-GUI save
// fails.
void NoteUnnamedProviderBlock(CCnvBase& converter, const PpProviderRun& run, InputLine where);

#endif  // CNV_CONVERT_PP_PROVIDER_H_
