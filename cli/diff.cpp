#include "cli/diff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::ptrdiff_t kContext = 3;

// One line of the edit script: kept, removed from the first sequence or
// added from the second.
struct Edit {
  char16_t mark;  // ' ', '-' or '+'
  std::u16string text;
};

// The edit script of dtl's sequence diff, with each run of changes put as
// its removals followed by its additions, as unified diffs show them.
std::vector<Edit> EditScript(const std::vector<std::u16string>& before,
                             const std::vector<std::u16string>& after) {
  dtl::Diff<std::u16string, std::vector<std::u16string>> diff(before, after);
  diff.compose();
  std::vector<Edit> script;
  std::vector<Edit> added;
  for (const auto& [text, info] : diff.getSes().getSequence()) {
    if (info.type == dtl::SES_ADD) {
      added.push_back({u'+', text});
      continue;
    }
    if (info.type == dtl::SES_COMMON) {
      script.insert(script.end(), added.begin(), added.end());
      added.clear();
    }
    script.push_back({info.type == dtl::SES_DELETE ? u'-' : u' ', text});
  }
  script.insert(script.end(), added.begin(), added.end());
  return script;
}

std::u16string Number(std::ptrdiff_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

// A hunk range: "start,count", or "start" for one line. An empty range
// names the line before it.
std::u16string Range(std::ptrdiff_t firstLine, std::ptrdiff_t count) {
  if (count == 0) return Number(firstLine - 1) + u",0";
  if (count == 1) return Number(firstLine);
  return Number(firstLine) + u"," + Number(count);
}

}  // namespace

std::vector<std::u16string> UnifiedDiffHunks(const std::vector<std::u16string>& before,
                                             const std::vector<std::u16string>& after) {
  const std::vector<Edit> script = EditScript(before, after);
  const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(script.size());
  auto isChange = [&](std::ptrdiff_t i) { return script[i].mark != u' '; };

  std::vector<std::u16string> lines;
  std::ptrdiff_t oldLine = 1, newLine = 1;  // line numbers at `done`
  std::ptrdiff_t done = 0;                  // script entries already counted
  for (std::ptrdiff_t i = 0; i < size; ++i) {
    if (!isChange(i)) continue;
    // A hunk: from the context before this change to the context after the
    // last change that follows the one before it within two contexts.
    const std::ptrdiff_t first = std::max(done, i - kContext);
    std::ptrdiff_t last = i;
    for (std::ptrdiff_t j = i + 1; j < size && j <= last + 2 * kContext + 1; ++j) {
      if (isChange(j)) last = j;
    }
    const std::ptrdiff_t end = std::min(size, last + 1 + kContext);

    for (; done < first; ++done) {
      ++oldLine;
      ++newLine;
    }
    std::ptrdiff_t oldCount = 0, newCount = 0;
    for (std::ptrdiff_t k = first; k < end; ++k) {
      if (script[k].mark != u'+') ++oldCount;
      if (script[k].mark != u'-') ++newCount;
    }
    lines.push_back(u"@@ -" + Range(oldLine, oldCount) + u" +" + Range(newLine, newCount) + u" @@");
    for (std::ptrdiff_t k = first; k < end; ++k) lines.push_back(script[k].mark + script[k].text);
    oldLine += oldCount;
    newLine += newCount;
    done = end;
    i = end - 1;
  }
  return lines;
}
