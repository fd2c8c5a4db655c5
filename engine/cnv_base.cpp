#include "engine/cnv_base.h"

#include <algorithm>

#include "engine/file_error.h"
#include "engine/messages.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

const char16_t kOutputHeader[] = u"# VLK250->QDN570変換コンフィグ";

CCnvBase::~CCnvBase() = default;

namespace {

// Where the comment part of `line` begins: its first "#" outside double
// quotes, or npos.
size_t CommentMark(const std::u16string& line) {
  const size_t first = FindUnit(line, u'#');
  if (first == std::u16string::npos) return first;  // most lines
  bool inQuotes = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u'"') {
      inQuotes = !inQuotes;  // no escape character: every quote flips
    } else if (line[i] == u'#' && !inQuotes) {
      return i;
    }
  }
  return std::u16string::npos;
}

}  // namespace

void SplitComment(const std::u16string& line, std::u16string& cmd, std::u16string& comment) {
  const size_t mark = CommentMark(line);
  if (mark == std::u16string::npos) {
    cmd = line;
    comment.clear();
  } else {
    cmd.assign(line, 0, mark);
    comment.assign(line, mark, std::u16string::npos);
  }
}

void CCnvBase::AppendLines(const std::vector<std::u16string>& lines) {
  m_cmdLines.reserve(m_cmdLines.size() + lines.size());
  m_commentLines.reserve(m_commentLines.size() + lines.size());
  for (const std::u16string& line : lines) {
    std::u16string cmd, comment;
    SplitComment(line, cmd, comment);
    m_cmdLines.push_back(std::move(cmd));
    m_commentLines.push_back(std::move(comment));
  }
}

int CCnvBase::Load(const std::filesystem::path& path) {
  std::string earlierOutput;
  std::error_code why;
  const int read = LoadFile(path, kDefaultMaxInputBytes, why, earlierOutput);
  return read == 2 ? CCnvBase::LoadBytes(earlierOutput, path) : read;
}

void CCnvBase::MakeRoom(std::size_t lines) {
  // Room too for the lines the steps insert, so that the arrays are not
  // moved (and a larger copy filled) on the first insertion: reserved room
  // that is never used costs address space, not memory.
  const size_t room = lines + 1 + lines / 2 + 256;
  m_cmdLines.reserve(m_cmdLines.size() + room);
  m_commentLines.reserve(m_commentLines.size() + room);
}

void CCnvBase::AppendSplit(std::u16string& line) {
  // The line itself becomes the command part.
  const size_t mark = CommentMark(line);
  if (mark == std::u16string::npos) {
    m_commentLines.emplace_back();
  } else {
    m_commentLines.emplace_back(line, mark);
    line.resize(mark);
  }
  m_cmdLines.push_back(std::move(line));
}

int CCnvBase::LoadBytes(std::string_view bytes, const std::filesystem::path& name) {
  // Each line goes straight into the store, split: no second copy of the
  // configuration is held while it loads.
  MakeRoom(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
  DecodeTextLines(bytes, name, [this](std::u16string& line) { AppendSplit(line); });
  return 1;
}

class CCnvBase::Loader final : public LineSink {
 public:
  explicit Loader(CCnvBase& store) : store_(store) {}
  void Expect(std::size_t lines) override { store_.MakeRoom(lines); }
  void Take(std::u16string& line) override { store_.AppendSplit(line); }

 private:
  CCnvBase& store_;
};

int CCnvBase::LoadFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                       std::error_code& why, std::string& earlierOutput) {
  earlierOutput.clear();
  const size_t before = m_cmdLines.size();
  Loader loader(*this);
  InputScreen screen(path, maxBytes);
  screen.PassLines(loader);
  try {
    if (!ReadFileThrough(path, screen, earlierOutput, why)) return 0;
  } catch (...) {
    // Refused as it was read: none of its lines stays.
    m_cmdLines.resize(before);
    m_commentLines.resize(before);
    throw;
  }
  if (!screen.PassedLines()) return 2;
  earlierOutput.clear();
  return 1;
}

std::u16string_view CCnvBase::JoinedLine(std::size_t index, std::u16string& scratch) const {
  const std::u16string& comment = m_commentLines[index];
  if (comment.empty()) return m_cmdLines[index];
  scratch.assign(m_cmdLines[index]);
  scratch += comment;
  return scratch;
}

std::vector<std::u16string> CCnvBase::JoinedLines() const {
  std::vector<std::u16string> lines;
  lines.reserve(m_cmdLines.size());
  std::u16string scratch;
  for (size_t i = 0; i < m_cmdLines.size(); ++i) lines.emplace_back(JoinedLine(i, scratch));
  return lines;
}

int CCnvBase::Save(const std::filesystem::path& path) {
  // The lines go to the file one by one, straight from the store.
  const LineSource line = [this](std::size_t i, std::u16string& scratch) {
    return i == 0 ? std::u16string_view(kOutputHeader) : JoinedLine(i - 1, scratch);
  };
  if (!WriteTextLines(path, m_cmdLines.size() + 1, line)) {
    SetError(kCnvOutputOpen);
    return 0;
  }
  return 1;
}

void CCnvBase::Clear() {
  m_cmdLines.clear();
  m_commentLines.clear();
}

void CCnvBase::TakeLines(CCnvBase& other) {
  m_cmdLines = std::move(other.m_cmdLines);
  m_commentLines = std::move(other.m_commentLines);
  other.Clear();
}

void CCnvBase::SetError(int code) {
  m_error = code;
}

void CCnvBase::GetErrorMessage(std::u16string& text) {
  // Codes outside the table have no message; the text stays as it was.
  if (m_error >= kCnvOk && m_error <= kCnvOutputOpen) {
    LoadMessage(kIdsErrorNone + m_error, text);
  } else if (m_error == kCnvAlreadyConverted) {
    LoadMessage(kIdsErrorAlreadyConverted, text);
  } else if (m_error == kCnvOutputCheck) {
    LoadMessage(kIdsErrorOutputCheck, text);
  }
}

bool BeginsWithOutputHeader(std::string_view bytes) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  std::string_view first = bytes.substr(0, bytes.find('\n'));
  if (first.ends_with('\r')) first.remove_suffix(1);
  // Longer than the header in any of the character sets: not worth encoding.
  constexpr size_t kLongest = 64;
  if (first.size() > kLongest || !first.starts_with("# VLK250->QDN570")) return false;
  const std::u16string header(kOutputHeader);
  for (const char* charset : {"UTF-8", "CP932"}) {
    try {
      if (first == EncodeTextIn(charset, header)) return true;
    } catch (const FileError&) {
    }
  }
  try {
    return first == EncodeText(header);
  } catch (const FileError&) {
    return false;
  }
}
