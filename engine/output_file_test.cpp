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
// do, and no temporary file stays. Were a file renamed before its flush,
// its target would hold the new text.
TEST_F(OutputFileTest, NoOutputReplacesItsTargetBeforeItsFlush) {
  const struct {
    const char* name;
    int files;
    bool grouped;
    std::set<int> failing;
  } cases[] = {
      {"alone", 1, false, {0}},
      {"one of a group", 8, true, {3}},
      {"some of a group", 8, true, {0, 5, 7}},
      {"a whole group", 4, true, {0, 1, 2, 3}},
      {"none of a group", 8, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto target = [&](int i) { return Path(("out-" + std::to_string(i) + ".txt").c_str()); };
    for (int i = 0; i < c.files; ++i) WriteBytes(target(i), "old\r\n");
    SetFlushFault([&](const std::filesystem::path& path) {
      for (int i : c.failing) {
        if (path == target(i)) return true;
      }
      return false;
    });
    CommitGroup group;
    std::vector<int> errors(c.files, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < c.files; ++i) {
      threads.emplace_back([&, i] {
        std::optional<CommitGroupScope> joined;
        if (c.grouped) joined.emplace(group);
        try {
          errors[i] = WriteTextLines(target(i), {u"new"}) ? 0 : -1;
        } catch (const FileError& e) {
          errors[i] = e.kind() == FileError::Kind::DiskFull ? e.systemError() : -1;
        }
      });
    }
    for (std::thread& t : threads) t.join();
    std::vector<std::string> names;
    for (int i = 0; i < c.files; ++i) {
      const bool fails = c.failing.count(i) != 0;
      EXPECT_EQ(errors[i], fails ? kDiskFull : 0) << i;
      EXPECT_EQ(ReadBytes(target(i)), fails ? "old\r\n" : "new\r\n") << i;
      names.push_back(target(i).filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(FolderNames(dir_), names);
    for (int i = 0; i < c.files; ++i) std::filesystem::remove(target(i));
  }
}

// An interrupt while the outputs of a group wait for their flush removes
// every temporary file, and the old outputs stay.
TEST_F(OutputFileTest, InterruptRemovesTheTemporaryFilesOfAGroup) {
  constexpr int kFiles = 6;
  const auto temporaries = [&] {
    int count = 0;
    for (const std::string& name : FolderNames(dir_)) count += name.ends_with(".tmp");
    return count;
  };
  std::vector<std::string> olds;
  for (int i = 0; i < kFiles; ++i) {
    olds.push_back("out-" + std::to_string(i) + ".txt");
    WriteBytes(dir_ / olds.back(), "old\r\n");
  }
  std::atomic<bool> interrupted = false;
  std::vector<std::string> leftAtInterrupt;
  // The first flush waits until every file is written (each one small) and
  // so waits in the group or is about to, then interrupts.
  SetFlushFault([&](const std::filesystem::path&) {
    if (interrupted.exchange(true)) return false;
    const auto start = std::chrono::steady_clock::now();
    while (temporaries() < kFiles && std::chrono::steady_clock::now() - start < 10s) {
      std::this_thread::sleep_for(1ms);
    }
    RemovePendingOutputFiles();
    leftAtInterrupt = FolderNames(dir_);
    return false;
  });
  CommitGroup group;
  std::atomic<int> written = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < kFiles; ++i) {
    threads.emplace_back([&, i] {
      const CommitGroupScope joined(group);
      written += WriteTextLines(dir_ / olds[i], {u"new"});
    });
  }
  for (std::thread& t : threads) t.join();
#ifndef _WIN32
  EXPECT_EQ(leftAtInterrupt, olds);  // on Windows a file open goes once it is closed
#endif
  EXPECT_EQ(written, 0);
  EXPECT_EQ(FolderNames(dir_), olds);
  for (const std::string& name : olds) EXPECT_EQ(ReadBytes(dir_ / name), "old\r\n");
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
