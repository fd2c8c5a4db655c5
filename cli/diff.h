// Unified diff of two line sequences (the configuration before and after
// conversion), computed with dtl's sequence diff.
#ifndef CNV_CLI_DIFF_H_
#define CNV_CLI_DIFF_H_

#include <string>
#include <vector>

// The hunks of a unified diff from `before` to `after` with three lines of
// context: "@@ -a,b +c,d @@" lines followed by the lines of the hunk, each
// prefixed with " ", "-" or "+". Lines carry no line end. Empty when the two
// sequences are equal. The caller adds the "---" and "+++" file lines.
std::vector<std::u16string> UnifiedDiffHunks(const std::vector<std::u16string>& before,
                                             const std::vector<std::u16string>& after);

#endif  // CNV_CLI_DIFF_H_
