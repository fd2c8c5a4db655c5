#include "engine/cnv_base.h"

#include "engine/messages.h"
#include "engine/textfile.h"

const char16_t kOutputHeader[] = u"# VLK250->QDN570変換コンフィグ";

CCnvBase::~CCnvBase() = default;

void SplitComment(const std::u16string& line, std::u16string& cmd, std::u16string& comment) {
  bool inQuotes = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u'"') {
      inQuotes = !inQuotes;  // no escape character: every quote flips
    } else if (line[i] == u'#' && !inQuotes) {
      cmd.assign(line, 0, i);
      comment.assign(line, i, std::u16string::npos);
      return;
    }
  }
  cmd = line;
  comment.clear();
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
  std::vector<std::u16string> lines;
  bool opened = false;
  try {
    opened = ReadTextLines(path, lines);
  } catch (...) {
    // The lines read before a read error stay in the store; the error
    // itself is for the front end.
    AppendLines(lines);
    throw;
  }
  if (!opened) return 0;
  AppendLines(lines);
  return 1;
}

std::u16string_view CCnvBase::JoinedLine(std::size_t index, std::u16string& scratch) const {
  const std::u16string& comment = m_commentLines[index];
  if (comment.empty()) return m_cmdLines[index];
  scratch.assign(m_cmdLines[index]);
  scratch += comment;
  return scratch;
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

void CCnvBase::SetError(int code) {
  m_error = code;
}

void CCnvBase::GetErrorMessage(std::u16string& text) {
  // Codes outside the table have no message; the text stays as it was.
  if (m_error < kCnvOk || m_error > kCnvOutputOpen) return;
  LoadMessage(kIdsErrorNone + m_error, text);
}
