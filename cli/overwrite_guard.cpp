#include "cli/overwrite_guard.h"

#include <cstdint>
#include <fstream>
#include <string_view>
#include <system_error>

#include "cli/catalogue.h"
#include "cli/tool_io.h"
#include "engine/cnv_base.h"
#include "engine/strutil.h"

namespace fs = std::filesystem;

namespace {

// Whether `path` is a file the tool never replaces, even with -f: a
// regular file, not empty, whose first line is not the header line of an
// earlier output (in the configuration's character set, UTF-8 or CP932).
// Such a file is most likely a router's configuration, often its only copy.
bool IsForeignFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  const auto size = fs::file_size(path, ec);
  if (ec || size == 0) return false;
  std::ifstream file(path, std::ios::binary);
  // A file held open by another program, or not readable: the write that
  // follows meets the same obstacle and reports it.
  if (!file) return false;
  char buffer[256];
  file.read(buffer, sizeof buffer);
  if (file.gcount() <= 0) return false;
  std::string_view first(buffer, static_cast<size_t>(file.gcount()));
  const size_t lineEnd = first.find('\n');
  if (lineEnd == std::string_view::npos && static_cast<std::uintmax_t>(first.size()) < size) {
    return true;  // a first line longer than any header
  }
  return !BeginsWithOutputHeader(first);
}

}  // namespace

bool PathEntryExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool MayReplace(const fs::path& output, bool force, const OverwriteQuestion& ask, std::ostream& err,
                std::string& said) {
  const auto refuse = [&](std::string message) {
    Say(err, message);
    said = std::move(message);
    return false;
  };
  // A folder in the output's place is no file to replace, and -f would not
  // help: saving reports that the output cannot be created.
  std::error_code ec;
  if (!PathEntryExists(output) || fs::is_directory(output, ec)) return true;
  if (IsForeignFile(output)) {
    return refuse(
        Tr("{1} is not an output of this tool (its first line is not the header line); "
           "not replaced, even with -f",
           {PathForTerminal(output)}));
  }
  if (force) return true;
  if (!ask) {
    return refuse(Tr("{1} already exists; not overwritten (use -f to overwrite it)",
                     {PathForTerminal(output)}));
  }
  const std::u16string question = Utf8ToUtf16(std::string(kProgram) + ": ") +
                                  Tr16("{1} already exists. Overwrite? [y/N] ", {PathText(output)});
  if (ask(question)) return true;
  return refuse(Tr("{1} not overwritten", {PathForTerminal(output)}));
}
