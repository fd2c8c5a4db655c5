// The sections of the sectioned listing: each group of settings opens with
// a three-line comment header (frame, title, frame). The conversions find
// headers by their title and place new lines relative to them.
#ifndef CNV_CONVERT_LISTING_SECTIONS_H_
#define CNV_CONVERT_LISTING_SECTIONS_H_

#include <string>
#include <vector>

#include "engine/cnv_base.h"

// Title patterns of the sections the conversions use.
extern const char16_t kPpSectionTitle[];
extern const char16_t kIpFilterSectionTitle[];

// Index of the closing frame line of the first (or last) header block with
// the title pattern; -1 when the listing has none.
int FirstSectionHeader(CCnvBase& store, const char16_t* titlePattern);
int LastSectionHeader(CCnvBase& store, const char16_t* titlePattern);

// Where a line that ends the section whose header closes at `header` goes:
// the first line from there on whose command part is empty and which
// follows a command or precedes a comment (such as the next header's
// frame). The line after the last one counts as having no comment. -1 when
// the scan runs off the end of the store.
int SectionEnd(const CCnvBase& store, int header);

// The comment lines that open the provider section the conversions add.
std::vector<std::u16string> ProviderTypeHeader();

// The catch-all filter line that goes with the provider definitions.
extern const char16_t kCatchAllFilterLine[];

// The notice for the catch-all filter line when the IP filter section whose
// header closes at `filterHeader` has no end to put it at.
void NoteFilterLineNotAdded(CCnvBase& store, int filterHeader);

#endif  // CNV_CONVERT_LISTING_SECTIONS_H_
