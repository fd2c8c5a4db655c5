// The file layer: reading and writing configuration text files in the
// configured character set, with the line-end rules of Windows text files.
// Everything platform-specific in the core lives behind this header.
#ifndef CNV_ENGINE_TEXTFILE_H_
#define CNV_ENGINE_TEXTFILE_H_

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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

// Reads every line of `path` into `lines` (appending): LF and CR LF end a
// line, a lone CR stays in it, text after the last line end is a line.
// Returns false when the file cannot be opened (missing, a folder, or on
// Windows held open by another process); throws FileError (generic) on a
// read error, on bytes not valid in the character set (naming the line; the
// lines before it are appended) and on a NUL byte (not a text file).
bool ReadTextLines(const std::filesystem::path& path, std::vector<std::u16string>& lines);

// Gives line `index` of a text being written: a view of the caller's own
// text, or of `scratch` (kept from call to call) where it is built.
using LineSource = std::function<std::u16string_view(std::size_t index, std::u16string& scratch)>;

// Writes `count` lines taken from `line` in order, each followed by CR LF,
// to `path` through a temporary file in the same folder that replaces the
// target only when complete and flushed (a device or pipe is written
// directly). Returns false when the output cannot be created or replaced
// (missing folder, a folder, a read-only file); throws FileError (disk full)
// when a write fails or a character cannot be represented (naming the
// line). On every failure the old file is left as it was and no temporary
// file remains.
bool WriteTextLines(const std::filesystem::path& path, std::size_t count, const LineSource& line);
// The same for the lines of a vector.
bool WriteTextLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines);

// Test seam: makes the WriteTextLines calls that follow fail as on a full
// disk once their output would pass `bytes` bytes (the bytes up to that
// point are written first). A negative value switches the fault off.
void SetWriteFaultAfterBytes(long long bytes);

// Converts between the configured character set and UTF-16 (for messages
// on standard streams); throws FileError with an empty path on failure.
std::string EncodeText(const std::u16string& text);
std::u16string DecodeText(const std::string& bytes);

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
