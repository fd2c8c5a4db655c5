// The one exception type of the file layer: a read or write that failed
// after the file was opened. Neither the steps nor the engine catch it; the
// front ends report it with the path.
#ifndef CNV_ENGINE_FILE_ERROR_H_
#define CNV_ENGINE_FILE_ERROR_H_

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

class FileError : public std::runtime_error {
 public:
  enum class Kind {
    Generic,   // a read error, an invalid byte, a file that is not text
    DiskFull,  // a write failed, or a character the output cannot hold
    TooLarge,  // an input over the size limit, refused before or while it is read
  };

  // `detail` says what went wrong, in UTF-8 (it names the line where known).
  // `systemError` is the system's code for the failure where there is one
  // (errno on POSIX, GetLastError() on Windows), else 0; the front end
  // words it, in the system's language.
  FileError(Kind kind, std::filesystem::path path, const std::string& detail, int systemError = 0)
      : std::runtime_error(detail),
        kind_(kind),
        path_(std::move(path)),
        systemError_(systemError) {}

  Kind kind() const { return kind_; }
  const std::filesystem::path& path() const { return path_; }
  int systemError() const { return systemError_; }
  // For input that is not valid in the character set in use: the name of
  // another common character set in which the whole input reads ("CP932",
  // "UTF-8"); empty when there is none.
  const std::string& readsAs() const { return readsAs_; }
  void setReadsAs(std::string name) { readsAs_ = std::move(name); }
  // For an input over the size limit (TooLarge): its size in bytes, or -1
  // for one with no size beforehand (standard input, a pipe) that passed
  // the limit while it was read; and the limit in bytes.
  std::int64_t inputSize() const { return inputSize_; }
  std::uint64_t sizeLimit() const { return sizeLimit_; }
  void setSizes(std::int64_t inputSize, std::uint64_t sizeLimit) {
    inputSize_ = inputSize;
    sizeLimit_ = sizeLimit;
  }

 private:
  Kind kind_;
  std::filesystem::path path_;
  int systemError_;
  std::string readsAs_;
  std::int64_t inputSize_ = -1;
  std::uint64_t sizeLimit_ = 0;
};

#endif  // CNV_ENGINE_FILE_ERROR_H_
