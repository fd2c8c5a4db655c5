// The sections of the sectioned listing: each group of settings opens with
// a three-line comment header (frame, title, frame). The conversions find
// headers by their title and place new lines relative to them.
#ifndef CNV_CONVERT_LISTING_SECTIONS_H_
#define CNV_CONVERT_LISTING_SECTIONS_H_

#include <string>
#include <vector>

#include "convert/listing_patterns.h"
#include "engine/cnv_base.h"

// Index of the closing frame line of the first (or last) header block with
// the title pattern (kPpSectionTitle, ...); -1 when the listing has none.
int FirstSectionHeader(CCnvBase& store, const char16_t* titlePattern);
int LastSectionHeader(CCnvBase& store, const char16_t* titlePattern);

// Where a line that ends the section whose header closes at `header` goes:
// the first line from there on whose command part is empty and which
// follows a command or precedes a comment (such as the next header's
// frame). The line after the last one counts as having no comment. -1 when
// the scan runs off the end of the store.
int SectionEnd(const CCnvBase& store, int header);

// Where a provider section goes in front of a PP section header.
enum class ProviderSectionPlace {
  // In front of the header's opening frame, its lines followed by an empty
  // line.
  kAtFrame,
  // In front of the line before the frame (normally the empty line ending
  // the previous section), opened by an empty line of its own, so that
  // empty lines frame it; for a header at the very top of the store, at
  // the top.
  kBeforeFrame,
};

// Adds a provider section, its comment header (kProviderTypeHeader) and then
// `lines`, in front of the PP section header that closes at `ppHeader`.
// 1, or 0 when an insert failed.
int InsertProviderSection(CCnvBase& store, int ppHeader, ProviderSectionPlace place,
                          std::vector<std::u16string> lines);

// Ends the IP filter section whose header closes at `filterHeader` with the
// catch-all filter line, or, when the section has no end to put it at
// (SectionEnd), adds a notice that it was not added. 1, or 0 when the
// insert failed.
int EndFilterSection(CCnvBase& store, int filterHeader);

#endif  // CNV_CONVERT_LISTING_SECTIONS_H_
