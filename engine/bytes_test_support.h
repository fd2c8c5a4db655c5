// Files as bytes, for the tests of every suite: written as given, read back
// whole.
#ifndef CNV_ENGINE_BYTES_TEST_SUPPORT_H_
#define CNV_ENGINE_BYTES_TEST_SUPPORT_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

#endif  // CNV_ENGINE_BYTES_TEST_SUPPORT_H_
