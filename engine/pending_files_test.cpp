#include "engine/pending_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/file_test_support.h"
#include "engine/textfile.h"

namespace {

using Names = std::vector<std::string>;

class PendingFilesTest : public FileTest {};

// An interrupt handler removes every registered file, however many writes
// are under way (more than one block of entries here), and none whose entry
// was freed; freed entries serve again.
TEST_F(PendingFilesTest, HandlerRemovesEveryRegisteredFileAndNoFreedOne) {
  std::vector<PendingFile*> entries;
  for (int i = 0; i < 100; ++i) {
    const std::filesystem::path path = dir_ / (std::to_string(i) + ".tmp");
    entries.push_back(RegisterPending(path));
    ASSERT_NE(entries.back(), nullptr) << i;
    WriteBytes(path, "x");
  }
  UnregisterPending(entries[0]);  // as after its rename
  RemovePendingOutputFiles();
  EXPECT_EQ(FolderNames(dir_), Names{"0.tmp"});
  for (size_t i = 1; i < entries.size(); ++i) UnregisterPending(entries[i]);
  WriteBytes(Path("1.tmp"), "x");
  RemovePendingOutputFiles();
  EXPECT_EQ(FolderNames(dir_), (Names{"0.tmp", "1.tmp"}));

  PendingFile* again = RegisterPending(Path("0.tmp"));
  EXPECT_EQ(again, entries[0]);
  RemovePendingOutputFiles();
  UnregisterPending(again);
  EXPECT_EQ(FolderNames(dir_), Names{"1.tmp"});
  // A path too long for an entry is not registered.
  EXPECT_EQ(RegisterPending(dir_ / std::string(5000, 'a')), nullptr);
}

}  // namespace
