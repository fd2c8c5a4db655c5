// Fuzzes the whole conversion from raw bytes through the real load path:
// the bytes become an input file, the engine converts it to an output file.
// The first byte holds flags: bit 0 prefixes the two markers of a sectioned
// listing so that both converters are reached, bit 1 reads and writes the
// files in CP932 instead of UTF-8.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/textfile.h"

namespace {

// A folder of this process's own, removed at exit. On tmpfs when there is
// one: the file layer flushes every output to the disk, which on a real disk
// would cost more than the conversion.
class WorkDir {
 public:
  WorkDir() {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    const auto base =
        std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
    path_ = base / ("cnv-fuzz-convert-" + std::to_string(getpid()));
    std::filesystem::create_directories(path_);
  }
  ~WorkDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::filesystem::path& Dir() {
  static const WorkDir dir;
  return dir.path();
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Only the input and, after a successful conversion, the output: a failed
// save leaves no temporary file behind.
void CheckFolder(bool outputExpected) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Dir())) {
    const auto name = entry.path().filename();
    if (name != "in.txt" && !(outputExpected && name == "out.txt")) std::abort();
    ++files;
  }
  if (files != (outputExpected ? 2 : 1)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto in = Dir() / "in.txt";
  const auto out = Dir() / "out.txt";
  std::string input;
  if (data[0] & 1) input = "clear configuration\n#\n# System configuration\n#\n";
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    f << input;
  }
  if (!SetFileEncoding((data[0] & 2) ? "CP932" : "UTF-8")) std::abort();
  std::filesystem::remove(out);
  bool converted = false;
  try {
    CCnvEngine engine(in);
    if (!engine.m_converter) std::abort();  // the input file exists
    const int result = engine.Convert(out);
    const CCnvBase& cnv = *engine.m_converter;
    if (cnv.CmdLines().size() != cnv.CommentLines().size()) std::abort();
    if (result != 1 && result != 0) std::abort();
    converted = result == 1;
  } catch (const FileError&) {
    // Invalid bytes and NUL bytes are reported as file errors; no output.
  }
  // The input is never touched; the output exists exactly after success
  // and then opens with the header comment line.
  if (ReadBytes(in) != input) std::abort();
  CheckFolder(converted);
  if (converted && ReadBytes(out).rfind("# ", 0) != 0) std::abort();
  return 0;
}
