#include "engine/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <set>
#include <thread>

#include "engine/file_error.h"
#include "engine/file_test_support.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::u16string>;

#ifdef _WIN32
constexpr int kDiskFull = 112;  // ERROR_DISK_FULL
#else
constexpr int kDiskFull = ENOSPC;
#endif

class OutputFileTest : public FileTest {};

TEST_F(OutputFileTest, OverwriteReplacesTheOldContent) {
  WriteBytes(Path("out.txt"), "old content that is longer than the new one\r\n");
  ASSERT_TRUE(WriteTextLines(Path("out.txt"), {u"new"}));
  EXPECT_EQ(ReadBytes(Path("out.txt")), "new\r\n");
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"out.txt"});
}

// A pool gives up a thread's seat around each wait for the disk: the calls
// must pair up, or a seat would be lost or doubled, and the wait for the
// file's own bytes comes before the file takes the output's name.
TEST_F(OutputFileTest, DiskWaitsArePairedAndPrecedeTheRename) {
  struct Calls final : DiskWaitListener {
    explicit Calls(std::filesystem::path out) : output(std::move(out)) {}
    void DiskWaitBegins() override {
      if (depth++ != 0) unpaired = true;
      if (waits++ == 0) renamedBeforeFirstWait = std::filesystem::exists(output);
    }
    void DiskWaitEnds() override {
      if (--depth != 0) unpaired = true;
    }
    std::filesystem::path output;
    int depth = 0, waits = 0;
    bool unpaired = false, renamedBeforeFirstWait = false;
  } calls{Path("out.txt")}, outer{Path("out.txt")};
  bool written;
  {
    const DiskWaitScope outerScope(outer);
    {
      const DiskWaitScope scope(calls);
      written = WriteTextLines(calls.output, {u"line"});
    }
    // The listener before it comes back.
    ASSERT_TRUE(WriteTextLines(calls.output, {u"outer"}));
  }
  ASSERT_TRUE(written);
  EXPECT_GE(calls.waits, 1);
  EXPECT_EQ(calls.depth, 0);
  EXPECT_FALSE(calls.unpaired);
  EXPECT_FALSE(calls.renamedBeforeFirstWait);
  EXPECT_EQ(outer.waits, calls.waits);
  EXPECT_EQ(outer.depth, 0);
  // Off again: a write after both scopes calls neither.
  const int before = calls.waits;
  ASSERT_TRUE(WriteTextLines(calls.output, {u"again"}));
  EXPECT_EQ(calls.waits, before);
  EXPECT_EQ(outer.waits, before);
}

TEST_F(OutputFileTest, OutputThatCannotBeCreated) {
  std::filesystem::create_directory(Path("folder"));
  EXPECT_FALSE(WriteTextLines(Path("folder"), {u"x"}));
  EXPECT_FALSE(WriteTextLines(dir_ / "missing" / "out.txt", {u"x"}));
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"folder"});
  EXPECT_TRUE(std::filesystem::is_empty(Path("folder")));
}

TEST_F(OutputFileTest, ReadOnlyOutputStaysAsItIs) {
  WriteBytes(Path("out.txt"), "old\r\n");
  namespace fs = std::filesystem;
  fs::permissions(Path("out.txt"), fs::perms::owner_read, fs::perm_options::replace);
  if (std::ofstream(Path("out.txt"), std::ios::app)) {
    fs::permissions(Path("out.txt"), fs::perms::owner_all, fs::perm_options::replace);
    GTEST_SKIP() << "this user may write read-only files";
  }
  EXPECT_FALSE(WriteTextLines(Path("out.txt"), {u"new"}));
  fs::permissions(Path("out.txt"), fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_EQ(ReadBytes(Path("out.txt")), "old\r\n");
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"out.txt"});
}

// A write that fails half-way, or a character the output cannot hold, must
// leave an existing output as it was and no temporary file behind.
TEST_F(OutputFileTest, FailedWriteKeepsTheOldOutput) {
  const std::string old = "old output\r\n";
  Lines many(2000, u"ip filter 100 pass * * * * *");
  const struct {
    const char* name;
    const char* encoding;
    long long faultAfter;
    Lines lines;
  } cases[] = {
      {"fault in the first line", "UTF-8", 3, many},
      {"fault after many buffers", "UTF-8", 40000, many},
      {"fault at the very end", "UTF-8", 2000 * 30 - 1, many},
      {"character cp932 lacks", "CP932", -1, {u"ip lan1", u"description 1 caf\u00e9"}},
      {"unpaired surrogate", "UTF-8", -1, {u"a\xd800"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path("out.txt"), old);
    ASSERT_TRUE(SetFileEncoding(c.encoding));
    SetWriteFaultAfterBytes(c.faultAfter);
    try {
      WriteTextLines(Path("out.txt"), c.lines);
      ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::DiskFull);
      EXPECT_EQ(e.path(), Path("out.txt"));
    }
    SetWriteFaultAfterBytes(-1);
    EXPECT_EQ(ReadBytes(Path("out.txt")), old);
    EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"out.txt"});
  }
  // Without an old output, none appears.
  std::filesystem::remove(Path("out.txt"));
  SetWriteFaultAfterBytes(10);
  EXPECT_THROW(WriteTextLines(Path("out.txt"), many), FileError);
  EXPECT_TRUE(FolderNames(dir_).empty());
}

// Outputs written alone or by threads of one group: a file whose flush
// fails keeps its old output and fails as a full disk, whatever the others
// do (were it renamed before its flush, its target would hold the new
// text); an interrupt while the group waits removes every temporary file.
TEST_F(OutputFileTest, NoOutputReplacesItsTargetBeforeItsFlush) {
  const struct {
    const char* name;
    int files;
    bool grouped;
    std::set<int> failing;
    bool interrupted = false;
  } cases[] = {
      {"alone", 1, false, {0}},
      {"one of a group", 8, true, {3}},
      {"some of a group", 8, true, {0, 5, 7}},
      {"a whole group", 4, true, {0, 1, 2, 3}},
      {"none of a group", 8, true, {}},
      {"a group interrupted", 6, true, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> names;
    for (int i = 0; i < c.files; ++i) {
      names.push_back("out-" + std::to_string(i) + ".txt");
      WriteBytes(dir_ / names[i], "old\r\n");
    }
    std::atomic<bool> interrupted = false;
    std::vector<std::string> atInterrupt = names;
    SetFlushFault([&](const std::filesystem::path& path) {
      if (c.interrupted && !interrupted.exchange(true)) {
        // Once every (small) file is written, all wait in the group or are about to.
        for (auto t = std::chrono::steady_clock::now();
             FolderNames(dir_).size() < names.size() * 2 &&
             std::chrono::steady_clock::now() - t < 10s;) {
          std::this_thread::sleep_for(1ms);
        }
        RemovePendingOutputFiles();
        atInterrupt = FolderNames(dir_);
      }
      const auto at = std::find(names.begin(), names.end(), path.filename().string());
      return c.failing.count(static_cast<int>(at - names.begin())) != 0;
    });
    CommitGroup group;
    std::vector<int> errors(c.files, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < c.files; ++i) {
      threads.emplace_back([&, i] {
        std::optional<CommitGroupScope> joined;
        if (c.grouped) joined.emplace(group);
        try {
          errors[i] = WriteTextLines(dir_ / names[i], {u"new"}) ? 0 : -1;
        } catch (const FileError& e) {
          errors[i] = e.kind() == FileError::Kind::DiskFull ? e.systemError() : -1;
        }
      });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < c.files; ++i) {
      const bool fails = c.failing.count(i) != 0;
      EXPECT_EQ(errors[i], c.interrupted ? -1 : fails ? kDiskFull : 0) << i;
      const bool kept = fails || c.interrupted;
      EXPECT_EQ(ReadBytes(dir_ / names[i]), kept ? "old\r\n" : "new\r\n") << i;
    }
#ifndef _WIN32
    EXPECT_EQ(atInterrupt, names);  // on Windows a file open goes once it is closed
#endif
    EXPECT_EQ(FolderNames(dir_), names);
    for (const std::string& name : names) std::filesystem::remove(dir_ / name);
  }
}

TEST_F(OutputFileTest, FaultSeamCountsBytes) {
  // Exactly the allowed bytes still succeed.
  SetWriteFaultAfterBytes(5);
  EXPECT_TRUE(WriteTextLines(Path("out.txt"), {u"abc"}));
  EXPECT_EQ(ReadBytes(Path("out.txt")), "abc\r\n");
  EXPECT_THROW(WriteTextLines(Path("out.txt"), {u"abcd"}), FileError);
  EXPECT_EQ(ReadBytes(Path("out.txt")), "abc\r\n");
}

#ifdef __linux__
TEST_F(OutputFileTest, FullDeviceIsADiskFullError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  try {
    WriteTextLines("/dev/full", {u"x"});
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.systemError(), ENOSPC);  // the system's code, for the dialog to word
  }
}
#endif

#ifndef _WIN32
// An output named by a symbolic link is replaced where the link points, so
// the link stays and the file it names gets the new content.
TEST_F(OutputFileTest, OutputThroughASymbolicLinkKeepsTheLink) {
  namespace fs = std::filesystem;
  fs::create_directory(Path("real"));
  WriteBytes(dir_ / "real" / "config.txt", "old\r\n");
  fs::create_symlink(fs::path("real") / "config.txt", Path("link.txt"));
  ASSERT_TRUE(WriteTextLines(Path("link.txt"), {u"new"}));
  EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
  EXPECT_EQ(ReadBytes(dir_ / "real" / "config.txt"), "new\r\n");
  EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"link.txt", "real"}));
  EXPECT_EQ(FolderNames(dir_ / "real"), std::vector<std::string>{"config.txt"});
}
#endif

}  // namespace
