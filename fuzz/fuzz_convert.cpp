// Fuzzes the whole conversion from raw bytes through the real load path:
// the bytes become an input file, the engine converts it to an output file.
// An odd first byte prefixes the two markers of a sectioned listing so that
// both converters are reached.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/textfile.h"

namespace {

std::filesystem::path WorkDir() {
  static const std::filesystem::path dir = [] {
    auto d =
        std::filesystem::temp_directory_path() / ("cnv-fuzz-convert-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    SetFileEncoding("UTF-8");
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto in = WorkDir() / "in.txt";
  const auto out = WorkDir() / "out.txt";
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    if (data[0] & 1) f << "clear configuration\n#\n# System configuration\n#\n";
    f.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  std::filesystem::remove(out);
  try {
    CCnvEngine engine(in);
    if (!engine.m_converter) std::abort();  // the input file exists
    const int result = engine.Convert(out);
    const CCnvBase& cnv = *engine.m_converter;
    if (cnv.m_cmdLines.size() != cnv.m_commentLines.size()) std::abort();
    if (result == 1 && !std::filesystem::exists(out)) std::abort();
    if (result != 1 && std::filesystem::exists(out)) std::abort();
    if (result != 1 && result != 0) std::abort();
  } catch (const FileError&) {
    // Invalid bytes and NUL bytes are reported as file errors; no output.
    if (std::filesystem::exists(out)) std::abort();
  }
  return 0;
}
