// Unified diff of two line sequences (the configuration before and after
// conversion), computed with dtl's sequence diff on line numbers from a
// table of distinct lines, so that neither side is held as copies of its
// lines.
#ifndef CNV_CLI_DIFF_H_
#define CNV_CLI_DIFF_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Distinct lines, each held once in a compact form (a code unit below 0x80
// in one byte), numbered from 0 in the order they were first added.
class LineTable {
 public:
  // The number of `line`; a line not in the table yet is added.
  uint32_t Intern(std::u16string_view line);
  // Appends the text of line `id` to `out`.
  void AppendText(uint32_t id, std::u16string& out) const;
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    uint32_t block;
    uint32_t offset;
    uint32_t size;
    uint32_t hash;
  };
  std::string_view Packed(const Entry& entry) const;
  void Grow();

  std::vector<std::string> blocks_;  // the lines' bytes, end to end
  std::vector<Entry> entries_;
  std::vector<uint32_t> slots_;  // open addressing: a number + 1, or 0
  std::string packed_;           // the line being looked up
};

// Gives line `index` (from 0) of a side of a diff again: a view of the
// caller's text or of `scratch`.
using DiffLineSource =
    std::function<std::u16string_view(std::size_t index, std::u16string& scratch)>;
// Receives the lines of a diff's hunks one at a time.
using HunkSink = std::function<void(std::u16string_view line)>;

// The two sides of a diff, each line held as its number in a table of
// distinct lines: a line that repeats costs four bytes.
class DiffInput {
 public:
  // Adds a line to the side before the change; those all come first.
  void AddBefore(std::u16string_view line) { before_.push_back(table_.Intern(line)); }
  void AddAfter(std::u16string_view line) { after_.push_back(table_.Intern(line)); }

 private:
  friend void UnifiedDiffHunks(DiffInput input, const DiffLineSource& afterLine,
                               const HunkSink& sink);
  LineTable table_;
  std::vector<uint32_t> before_;
  std::vector<uint32_t> after_;
};

// The hunks of a unified diff from the side before of `input` to the side
// after, with three lines of context, handed to `sink`:
// "@@ -a,b +c,d @@" lines followed by the lines of the hunk, each prefixed
// with " ", "-" or "+". Lines carry no line end. None when the two sides are
// equal. The caller adds the "---" and "+++" file lines. The text of lines
// the side after has is not kept: `afterLine` gives them again. The table
// is freed before the diff is computed.
void UnifiedDiffHunks(DiffInput input, const DiffLineSource& afterLine, const HunkSink& sink);

// The same hunks for two sequences of lines, as a vector.
std::vector<std::u16string> UnifiedDiffHunks(const std::vector<std::u16string>& before,
                                             const std::vector<std::u16string>& after);

#endif  // CNV_CLI_DIFF_H_
