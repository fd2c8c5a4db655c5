// Test support for the engine: files made from bytes, read back as bytes or lines,
// and the file layer's settings restored after each test.
#ifndef CNV_ENGINE_FILE_TEST_SUPPORT_H_
#define CNV_ENGINE_FILE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/convert_test_support.h"
#include "engine/bytes_test_support.h"
#include "engine/textfile.h"

// The names in a folder, to show that no temporary file was left behind.
inline std::vector<std::string> FolderNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs each test in a fresh folder with UTF-8 files and no write fault.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFileEncoding("UTF-8"));
    dir_ = TestDir();
  }
  void TearDown() override {
    SetWriteFaultAfterBytes(-1);
    SetFlushFault({});
    SetFileEncoding("UTF-8");
  }
  std::filesystem::path Path(const char* name) const { return dir_ / name; }
  // The lines read from a file of `bytes`.
  std::vector<std::u16string> ReadBack(const std::string& bytes) {
    WriteBytes(Path("in.txt"), bytes);
    std::vector<std::u16string> lines;
    EXPECT_TRUE(ReadTextLines(Path("in.txt"), lines));
    return lines;
  }

  std::filesystem::path dir_;
};

#endif  // CNV_ENGINE_FILE_TEST_SUPPORT_H_
