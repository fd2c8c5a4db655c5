#include "cli/tool_io.h"

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "engine/file_error.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

namespace fs = std::filesystem;

fs::path PathFromArg(const std::string& arg) {
#ifdef _WIN32
  return fs::path(std::u8string(arg.begin(), arg.end()));
#else
  return fs::path(arg);
#endif
}

// A path as the terminal shows it. POSIX paths already are bytes in the
// locale's character set. "-" is standard input.
std::string PathForTerminal(const fs::path& path) {
  if (path == fs::path(kStdinName)) return Tr("standard input");
#ifdef _WIN32
  return TerminalText(path.u16string());
#else
  return path.native();
#endif
}

// A path as text for a question on the terminal.
std::u16string PathText(const fs::path& path) {
#ifdef _WIN32
  return path.u16string();
#else
  try {
    return DecodeTextIn("", path.native());
  } catch (const FileError&) {
    return Utf8ToUtf16(path.native());
  }
#endif
}

std::string Text(std::string_view utf8) {
  return TerminalText(Utf8ToUtf16(utf8));
}

// Writes one message line, "cnvqdn570conf: " and `bytes`, to `err`.
void Say(std::ostream& err, const std::string& bytes) {
  err << kProgram << ": " << bytes << '\n' << std::flush;
}

// Writes bytes of configuration text to standard output; a failed write is
// a file error like a failed write of a file.
void WriteToStdout(std::ostream& out, const std::string& bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw FileError(FileError::Kind::DiskFull, {}, "the write failed");
}

std::string ReportFileError(const FileError& error, std::ostream& err) {
  const std::string where =
      error.path().empty() ? Tr("standard output") : PathForTerminal(error.path());
  std::string hint;
  if (!error.readsAs().empty()) hint = Tr(" (try -e {1})", {error.readsAs()});
  if (error.kind() == FileError::Kind::TooLarge) hint = Tr(" (raise it with --max-input-size)");
  std::string said = Tr(error.kind() == FileError::Kind::DiskFull ? "{1}: cannot write: {2}"
                                                                  : "{1}: cannot read: {2}",
                        {where, PatternText(error.what())}) +
                     hint;
  Say(err, said);
  return said;
}

// The input or output path as the JSON document gives it, UTF-8.
std::string JsonPath(const fs::path& path) {
  if (path == fs::path(kStdinName)) return kStdinName;
  return Utf16ToUtf8(PathText(path));
}

// A path as an argument of one conversion: UTF-8 on Windows, the native
// bytes elsewhere.
std::string ArgFromPath(const fs::path& path) {
#ifdef _WIN32
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
#else
  return path.native();
#endif
}
