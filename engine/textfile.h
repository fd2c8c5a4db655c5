// The file layer: reading and writing configuration text files in the
// configured character set, with the line-end rules of Windows text files.
// Everything platform-specific in the core lives behind this header.
#ifndef CNV_ENGINE_TEXTFILE_H_
#define CNV_ENGINE_TEXTFILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Selects the character set of configuration files by name ("CP932",
// "UTF-8", ...); an empty name selects the user's default: the ANSI code
// page on Windows, the locale's character set elsewhere (set by the front
// end with setlocale), where plain ASCII counts as UTF-8. Shift_JIS names
// select code page 932. Returns false (and keeps the previous choice) for a
// name the platform does not know or a set in which line ends, "#" and the
// double quote are not plain ASCII bytes (UTF-16, for example).
bool SetFileEncoding(const std::string& name);
// The name of the character set in use.
std::string FileEncoding();

// The size above which an input is refused: no router's configuration
// comes near it, and a larger file is most likely not one.
inline constexpr std::uint64_t kDefaultMaxInputBytes = std::uint64_t{64} << 20;

// Sets `bytes` to every byte of `path`, read once and to its end in
// blocks, so that a pipe, a device or a process substitution reads like a
// regular file. Returns false when it cannot be opened (missing, a folder,
// or on Windows held open by another process), with the system's reason in
// `why`; throws FileError (generic) on a read error. Input that cannot be a
// configuration costs no more than it must (see InputScreen): a regular
// file of more than `maxBytes` bytes is refused before it is read.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes, std::error_code& why,
                   std::uint64_t maxBytes = kDefaultMaxInputBytes);

class InputScreen;
// ReadFileBytes with the blocks watched by `screen`, made for `path`: the
// platform's half of the reading, which the screen may decode as it goes.
bool ReadFileThrough(const std::filesystem::path& path, InputScreen& screen, std::string& bytes,
                     std::error_code& why);

// Takes the lines of an input as they are read (InputScreen::PassLines).
class LineSink {
 public:
  // Told once, before the first line, about how many lines the input
  // holds, judged by its size and its first block (0: not known).
  virtual void Expect(std::size_t lines) = 0;
  // The next line, in order; it may be moved from.
  virtual void Take(std::u16string& line) = 0;

 protected:
  ~LineSink() = default;
};

// Watches an input named `name` as it is read, block by block, and refuses
// it as soon as it is sure to be refused, with the FileError that
// DecodeTextLines would throw for the whole input: at the first block with
// a NUL byte; at the end for bytes not valid in the character set, holding
// from there on no more of the input than a line (the message's hint and a
// later NUL byte need the rest of it read); an input that
// passes `maxBytes` bytes as it is read, or whose size says it will, throws
// FileError (TooLarge). An earlier output of the converter (its header
// line first) is only counted: it is refused later, whatever it holds.
class InputScreen {
 public:
  InputScreen(std::filesystem::path name, std::uint64_t maxBytes);
  ~InputScreen();
  InputScreen(const InputScreen&) = delete;
  InputScreen& operator=(const InputScreen&) = delete;

  // Refuses, before it is read, an input known to have `size` bytes.
  void CheckSize(std::uint64_t size) const;
  // The same, and makes room in `bytes` for an input that is held whole.
  void Expect(std::uint64_t size, std::string& bytes);
  // Has the screen decode each line as soon as it is complete, as
  // DecodeTextLines would decode the whole input, pass it to `sink` and
  // drop its bytes: `bytes` then holds no more than a block and a line.
  // Refusals are DecodeTextLines', thrown by Add and Finish once lines
  // before them may have been passed on. Not for an earlier output (see
  // PassedLines), whose bytes are kept whole and not decoded.
  void PassLines(LineSink& sink);
  // After Finish: whether the lines went to the sink (false: an earlier
  // output, or no sink).
  bool PassedLines() const;
  // Takes the next block of the input and appends it to `bytes`, the input
  // so far (emptied once the input is sure to be refused).
  void Add(std::string_view block, std::string& bytes);
  // At the end of the input: throws the refusal found on the way, if any.
  void Finish(std::string& bytes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Decodes `bytes`, the whole of the input named `name`, line by line in
// the character set in use and passes each line to `sink` in order: LF and
// CR LF end a line, a lone CR stays in it, text after the last line end is
// a line. A UTF-8 byte-order mark at the very start is not part of line 1
// when the character set is UTF-8. Throws FileError (generic, naming `name`)
// on a NUL byte (not a text file), on bytes not valid in the character set
// (naming the line, after the lines before it were passed on; with
// readsAs() set when another common character set reads the whole input),
// and, in any other set, on input that begins with a UTF-8 byte-order mark
// and reads as UTF-8 (readsAs() "UTF-8").
void DecodeTextLines(std::string_view bytes, const std::filesystem::path& name,
                     const std::function<void(std::u16string& line)>& sink);

// ReadFileBytes followed by DecodeTextLines, appending the lines to
// `lines`: false when the file cannot be opened.
bool ReadTextLines(const std::filesystem::path& path, std::vector<std::u16string>& lines);

// Gives line `index` of a text being written: a view of the caller's own
// text, or of `scratch` (kept from call to call) where it is built.
using LineSource = std::function<std::u16string_view(std::size_t index, std::u16string& scratch)>;

// Writes `count` lines taken from `line` in order, each followed by CR LF,
// to `path` through a temporary file in the same folder that replaces the
// target only when complete and flushed (a device or pipe is written
// directly), alone or with the thread's CommitGroup. Returns false when
// the output cannot be created or replaced (missing folder, a folder, a
// read-only file); throws FileError (disk full) when a write or the flush
// fails or a character cannot be represented (naming the line). On every
// failure the old file is left as it was and no temporary file remains.
bool WriteTextLines(const std::filesystem::path& path, std::size_t count, const LineSource& line);
// The same for the lines of a vector.
bool WriteTextLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines);
// The system's reason why the last WriteTextLines on this thread could not
// create or replace its output; empty after one that could.
std::error_code LastOutputOpenError();

// Lets a pool of writers use the processor while one of them waits for the
// disk: told before and after each wait of the thread's writes for their
// output to become durable (fsync, FlushFileBuffers, a move written
// through). The two calls always pair up, on the writing thread.
class DiskWaitListener {
 public:
  virtual void DiskWaitBegins() = 0;
  virtual void DiskWaitEnds() = 0;

 protected:
  ~DiskWaitListener() = default;
};

// Hands `listener` to the file layer for the writes of the calling thread
// while the scope lives; the thread's listener before it, if any, comes
// back after.
class DiskWaitScope {
 public:
  explicit DiskWaitScope(DiskWaitListener& listener);
  ~DiskWaitScope();
  DiskWaitScope(const DiskWaitScope&) = delete;
  DiskWaitScope& operator=(const DiskWaitScope&) = delete;

 private:
  DiskWaitListener* previous_;
};

// Lets the writes of several threads share their waits for the disk (group
// commit). A WriteTextLines on a thread that has joined a group writes its
// temporary file, then waits while one of the group's writers makes every
// output then waiting durable together (one flush of each file system on
// Linux, each file in turn elsewhere), renames each over its target and
// flushes each of their folders once. An output still replaces its target
// only once its bytes are on the disk, the call returns or throws what it
// would alone, and its temporary file stays among the pending ones until
// it is renamed. The group must outlive the writes of its threads.
class CommitGroup {
 public:
  CommitGroup();
  ~CommitGroup();
  CommitGroup(const CommitGroup&) = delete;
  CommitGroup& operator=(const CommitGroup&) = delete;

  struct State;  // the outputs waiting, private to the file layer

 private:
  friend class CommitGroupScope;
  std::unique_ptr<State> state_;
};

// Joins the calling thread's writes to `group` while the scope lives; the
// thread's group before it, if any, comes back after.
class CommitGroupScope {
 public:
  explicit CommitGroupScope(CommitGroup& group);
  ~CommitGroupScope();
  CommitGroupScope(const CommitGroupScope&) = delete;
  CommitGroupScope& operator=(const CommitGroupScope&) = delete;

 private:
  CommitGroup::State* previous_;
};

// Removes the temporary files of the writes now under way (their targets
// stay as they were), for interrupt handlers that end the process next. On
// POSIX it is async-signal-safe: it calls only unlink and lock-free atomics
// and keeps errno. A write it interrupts fails if the process goes on.
void RemovePendingOutputFiles();

// Test seam: makes the WriteTextLines calls that follow fail as on a full
// disk (FileError with the system's code of a full disk) once their output
// would pass `bytes` bytes (the bytes up to that point are written first).
// A negative value switches the fault off.
void SetWriteFaultAfterBytes(long long bytes);
// Test seam: `fails` is asked, on the thread that flushes it, before each
// output is flushed to the disk; where it answers true, that flush fails as
// on a full disk. Empty switches the fault off.
void SetFlushFault(std::function<bool(const std::filesystem::path& target)> fails);

// Converts between the configured character set and UTF-16 (for messages
// on standard streams); throws FileError with an empty path on failure.
std::string EncodeText(const std::u16string& text);
std::u16string DecodeText(const std::string& bytes);
// The same in the character set named `charset`, whatever is in use for
// configuration files; an empty name is the user's default. Safe to call
// from several threads, as it changes no setting.
std::string EncodeTextIn(const std::string& charset, const std::u16string& text);
std::u16string DecodeTextIn(const std::string& charset, const std::string& bytes);

// Encodes lines of configuration text, each followed by a line end, and
// hands the bytes on in pieces (of some 32,768 code units of text), so that
// a large text is never held whole: the bytes are those EncodeText gives
// for all the lines at once. Add and Finish throw FileError as EncodeText does; the pieces
// handed on before stay handed on.
class LineEncoder {
 public:
  using Sink = std::function<void(std::string_view bytes)>;
  LineEncoder(std::u16string_view lineEnd, Sink sink);
  ~LineEncoder();
  LineEncoder(const LineEncoder&) = delete;
  LineEncoder& operator=(const LineEncoder&) = delete;

  void Add(std::u16string_view line);
  // Encodes and hands on what is still held.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

#endif  // CNV_ENGINE_TEXTFILE_H_
