#include "convert/listing_sections.h"

#include "engine/line_ops.h"
#include "engine/report.h"

const char16_t kPpSectionTitle[] = u"{#+[ \\t]*PP configuration[ \\t]*}";
const char16_t kIpFilterSectionTitle[] = u"{#+[ \\t]*IP filter configuration[ \\t]*}";
const char16_t kCatchAllFilterLine[] = u"ip filter 500000 restrict * * * * *";

namespace {

constexpr char16_t kHeaderFrame[] = u"{#+[ \\t]*}";

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

std::vector<std::u16string> ProviderTypeHeader() {
  return {u"#", u"# Provider Type configuration", u"#", u""};
}

void NoteFilterLineNotAdded(CCnvBase& store, int filterHeader) {
  Notice(store, "filter-line-not-added", LineAt(store, filterHeader - 1),
         Said(u"the IP filter section under this header runs to the end of the listing without a "
              u"place for the catch-all filter line '{1}'; it was not added",
              {kCatchAllFilterLine}));
}
