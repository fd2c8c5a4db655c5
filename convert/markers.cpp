#include "convert/markers.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/report.h"

namespace {

constexpr std::u16string_view kMarkerStart = u"PRV/";

// Whether a marker follows in `text` from `from` on (what follows
// "description pp "); sets `kind` to its kind, which may be empty.
bool MarkerAt(std::u16string_view text, size_t from, std::u16string_view& kind) {
  if (from < text.size() && text[from] == u'"') ++from;
  if (text.substr(from, kMarkerStart.size()) != kMarkerStart) return false;
  from += kMarkerStart.size();
  size_t end = from;
  while (end < text.size() && std::u16string_view(u"/:\" \t").find(text[end]) == std::u16string_view::npos) {
    ++end;
  }
  kind = text.substr(from, end - from);
  return true;
}

}  // namespace

void NoteMarkersLeft(CCnvBase& store, std::u16string_view description, std::u16string_view subject,
                     std::initializer_list<std::u16string_view> known, std::u16string_view form) {
  if (!Reporting(store)) return;
  std::u16string knownList;
  for (std::u16string_view kind : known) {
    knownList += (knownList.empty() ? u"PRV/" : u", PRV/") + std::u16string(kind);
  }
  for (size_t i = 0; i < store.m_cmdLines.size(); ++i) {
    const std::u16string_view text = store.m_cmdLines[i];
    for (size_t at = text.find(description); at != std::u16string_view::npos;
         at = text.find(description, at + 1)) {
      std::u16string_view kind;
      if (!MarkerAt(text, at + description.size(), kind)) continue;
      const std::u16string marker = u"PRV/" + std::u16string(kind);
      const InputLine where = LineAt(store, static_cast<int>(i));
      if (std::find(known.begin(), known.end(), kind) == known.end()) {
        Notice(store, "marker-unknown", where,
               std::u16string(subject) + u" marker " + marker +
                   u" is of a kind the conversion does not know (it knows " + knownList +
                   u"); the line is left as it is");
      } else {
        Notice(store, "marker-unconverted", where,
               std::u16string(subject) + u" marker " + marker + u" was not converted (" +
                   std::u16string(form) + u"); the line is left as it is");
      }
      break;  // one notice a line
    }
  }
}
