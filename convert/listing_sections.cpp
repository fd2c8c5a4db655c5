#include "convert/listing_sections.h"

#include <algorithm>
#include <iterator>

#include "engine/line_ops.h"
#include "engine/report.h"

namespace {

bool FindSectionHeaders(CCnvBase& store, const char16_t* titlePattern, CCnvMatchList& list) {
  return FindLineSequence(store, {kHeaderFrame, titlePattern, kHeaderFrame}, list) == 1 &&
         !list.empty();
}

}  // namespace

int FirstSectionHeader(CCnvBase& store, const char16_t* titlePattern) {
  CCnvMatchList list;
  return FindSectionHeaders(store, titlePattern, list) ? list.front().m_line : -1;
}

int LastSectionHeader(CCnvBase& store, const char16_t* titlePattern) {
  CCnvMatchList list;
  return FindSectionHeaders(store, titlePattern, list) ? list.back().m_line : -1;
}

int SectionEnd(const CCnvBase& store, int header) {
  const int count = store.LineCount();
  bool content = false;
  for (int i = header; i < count; ++i) {
    const bool command = !store.CmdLines()[i].empty();
    const bool commentFollows = i + 1 < count && !store.CommentLines()[i + 1].empty();
    if (command || commentFollows) content = true;
    if (content && !command) return i;
  }
  return -1;
}

int InsertProviderSection(CCnvBase& store, int ppHeader, ProviderSectionPlace place,
                          std::vector<std::u16string> lines) {
  std::vector<std::u16string> header(std::begin(kProviderTypeHeader),
                                     std::end(kProviderTypeHeader));
  int at = ppHeader - 2;  // the opening frame
  if (place == ProviderSectionPlace::kAtFrame) {
    lines.push_back(u"");
  } else {
    at = std::max(at - 1, 0);
    header.insert(header.begin(), u"");
  }
  // The lines first, then the header in front of them.
  return InsertLines(store, lines, at, 0) == 1 && InsertLines(store, header, at, 1) == 1 ? 1 : 0;
}

int EndFilterSection(CCnvBase& store, int filterHeader) {
  const int end = SectionEnd(store, filterHeader);
  if (end >= 0) return InsertLines(store, {kCatchAllFilterLine}, end, 0);
  Notice(store, "filter-line-not-added", LineAt(store, filterHeader - 1),
         Said(u"the IP filter section under this header runs to the end of the listing without a "
              u"place for the catch-all filter line '{1}'; it was not added",
              {kCatchAllFilterLine}));
  return 1;
}
