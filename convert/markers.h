// The provider markers of description lines: "description pp" or
// "description lan2", an optional double quote, then "PRV/" and a kind
// ("PRV/PPPoE/0:name"). The conversions take the markers they know by
// their own patterns; after them, the report notes every marker left as it
// was.
#ifndef CNV_CONVERT_MARKERS_H_
#define CNV_CONVERT_MARKERS_H_

#include <initializer_list>
#include <string_view>

#include "engine/cnv_base.h"
#include "engine/report.h"

// Adds a notice for every line whose command part carries a marker after
// `description` ("description pp "): "marker-unknown" when its kind is not
// one of `known`, else "marker-unconverted". `subject` names the marked
// interface in the texts ("PP", "LAN2"); `unconverted` is the words of a
// marker of a known kind, with {1} for the marker. Only while a report is
// being collected.
void NoteMarkersLeft(CCnvBase& store, std::u16string_view description, std::u16string_view subject,
                     std::initializer_list<std::u16string_view> known,
                     const ReportText& unconverted);

#endif  // CNV_CONVERT_MARKERS_H_
