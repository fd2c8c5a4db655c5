#include "convert/markers.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/report.h"
#include "engine/strutil.h"

namespace {

constexpr std::u16string_view kMarkerStart = u"PRV/";

// The next "PRV/" in `text` from `from` on; npos when there is none. Most
// lines have no "P" at all.
size_t FindMarkerStart(std::u16string_view text, size_t from) {
  for (size_t pos = FindUnit(text, u'P', from); pos != std::u16string_view::npos;
       pos = FindUnit(text, u'P', pos + 1)) {
    if (text.substr(pos, kMarkerStart.size()) == kMarkerStart) return pos;
  }
  return std::u16string_view::npos;
}

// Whether `description` ("description pp "), and maybe a double quote,
// ends just before `at` in `text`.
bool DescriptionBefore(std::u16string_view text, size_t at, std::u16string_view description) {
  if (at > 0 && text[at - 1] == u'"') --at;
  return at >= description.size() &&
         text.substr(at - description.size(), description.size()) == description;
}

// The kind of the marker whose "PRV/" begins at `at`: up to the next "/",
// ":", quote or blank.
std::u16string_view KindAt(std::u16string_view text, size_t at) {
  const size_t from = at + kMarkerStart.size();
  size_t end = from;
  while (end < text.size() &&
         std::u16string_view(u"/:\" \t").find(text[end]) == std::u16string_view::npos) {
    ++end;
  }
  return text.substr(from, end - from);
}

}  // namespace

void NoteMarkersLeft(CCnvBase& store, std::u16string_view description, std::u16string_view subject,
                     std::initializer_list<std::u16string_view> known,
                     const ReportText& unconverted) {
  if (!Reporting(store)) return;
  std::u16string knownList;
  for (std::u16string_view kind : known) {
    knownList += (knownList.empty() ? u"PRV/" : u", PRV/") + std::u16string(kind);
  }
  for (size_t i = 0; i < store.CmdLines().size(); ++i) {
    const std::u16string_view text = store.CmdLines()[i];
    for (size_t at = FindMarkerStart(text, 0); at != std::u16string_view::npos;
         at = FindMarkerStart(text, at + 1)) {
      if (!DescriptionBefore(text, at, description)) continue;
      const std::u16string_view kind = KindAt(text, at);
      const std::u16string marker = u"PRV/" + std::u16string(kind);
      const InputLine where = LineAt(store, static_cast<int>(i));
      if (std::find(known.begin(), known.end(), kind) == known.end()) {
        Notice(store, "marker-unknown", where,
               Said(u"{1} marker {2} is of a kind the conversion does not know (it knows {3}); the "
                    u"line is left as it is",
                    {std::u16string(subject), marker, knownList}));
      } else {
        Notice(store, "marker-unconverted", where, ReportText{unconverted.form, {marker}});
      }
      break;  // one notice a line
    }
  }
}
