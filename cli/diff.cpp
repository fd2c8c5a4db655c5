#include "cli/diff.h"

#include <dtl/dtl.hpp>

namespace {

// A hunk range as "start,count". An empty range names the line before it,
// which for an empty side is line 0 (dtl reports it as line 1).
std::u16string Range(long long start, long long count) {
  if (count == 0) start = start > 0 ? start - 1 : 0;
  std::string text = std::to_string(start) + "," + std::to_string(count);
  return std::u16string(text.begin(), text.end());
}

template <typename SesElem>
void AppendEdits(const std::vector<SesElem>& edits, std::vector<std::u16string>& lines) {
  for (const SesElem& edit : edits) {
    const char16_t mark = edit.second.type == dtl::SES_ADD      ? u'+'
                          : edit.second.type == dtl::SES_DELETE ? u'-'
                                                                : u' ';
    lines.push_back(mark + edit.first);
  }
}

}  // namespace

std::vector<std::u16string> UnifiedDiffHunks(const std::vector<std::u16string>& before,
                                             const std::vector<std::u16string>& after) {
  dtl::Diff<std::u16string, std::vector<std::u16string>> diff(before, after);
  diff.compose();
  diff.composeUnifiedHunks();

  std::vector<std::u16string> lines;
  for (const auto& hunk : diff.getUniHunks()) {
    lines.push_back(u"@@ -" + Range(hunk.a, hunk.b) + u" +" + Range(hunk.c, hunk.d) + u" @@");
    AppendEdits(hunk.common[0], lines);
    AppendEdits(hunk.change, lines);
    AppendEdits(hunk.common[1], lines);
  }
  return lines;
}
