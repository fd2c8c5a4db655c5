// Test support for the tool as users meet it: runs a program as a child
// process with its standard streams collected in files, and holds a file
// open the way another Windows program can.
#ifndef CNV_CLI_PROCESS_TEST_SUPPORT_H_
#define CNV_CLI_PROCESS_TEST_SUPPORT_H_

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct ChildOptions {
  std::filesystem::path workDir;     // the child's current folder
  std::filesystem::path captureDir;  // where its standard output and error are collected
  std::string locale = "C.UTF-8";    // POSIX: LC_ALL of the child (LANG and LC_* are dropped)
  long long fileSizeLimit = -1;      // POSIX: largest file the child may write, -1 no limit
  long long memoryLimit = -1;        // POSIX: largest address space of the child, -1 no limit
  int timeoutSeconds = 120;          // the child is killed after this long
  // POSIX: the signal sent to the child, once, as soon as `interruptWhen`
  // (polled while it runs) returns true; 0 for none.
  int interruptSignal = 0;
  std::function<bool()> interruptWhen = nullptr;
  std::filesystem::path stdinFile{};  // read as standard input; empty: the null device
};

struct ChildRun {
  int status = -1;        // exit status; -1 when the child did not exit by itself
  int signal = 0;         // POSIX: the signal that ended the child, 0 if none
  bool timedOut = false;  // killed after ChildOptions::timeoutSeconds
  double seconds = 0;     // wall-clock time of the run
  std::string out;        // the bytes of its standard output
  std::string err;        // the bytes of its standard error
  std::string failure;    // why the child could not be started, empty if it was
};

// Runs `program` with `args` (UTF-8) and standard input from the null
// device (or ChildOptions::stdinFile), so that it has no terminal; returns
// when it has ended.
ChildRun RunChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                  const ChildOptions& options);

// The program that was built at `builtPath`. On Windows it is looked up
// beside the running test program instead: a cross build records paths of
// the build machine, which Windows (or Wine) cannot start from another
// current folder.
std::filesystem::path BuiltProgram(const std::filesystem::path& builtPath);

// The bytes a console program run by RunChild writes for `text` on its
// standard error: UTF-8 in the locale RunChild gives it; on Windows the
// ANSI code page, with every line feed turned into CR LF by text-mode output.
std::string StderrBytes(const std::u16string& text);
// The text of such bytes: StderrBytes undone.
std::u16string StderrText(const std::string& bytes);

#ifdef _WIN32
// Holds a file open for reading and writing with no sharing, as an editor
// or a virus scanner may; the file is released when the object goes.
class FileHold {
 public:
  explicit FileHold(const std::filesystem::path& path);
  ~FileHold();
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  bool held() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};
#endif

#endif  // CNV_CLI_PROCESS_TEST_SUPPORT_H_
