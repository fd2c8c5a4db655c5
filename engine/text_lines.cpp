// Configuration text as lines: decoding input into lines, encoding lines
// for the output file and for standard streams.
#include <optional>
#include <utility>

#include "engine/codec.h"
#include "engine/file_error.h"
#include "engine/output_file.h"
#include "engine/textfile.h"

namespace {

namespace fs = std::filesystem;

// Why the last WriteTextLines of this thread could not create its output.
thread_local std::error_code t_lastOutputOpenError;

std::string LineText(size_t lineNumber) {
  return "line " + std::to_string(lineNumber);
}

// The other common character set of `codec`, opened only for a hint on a
// refusal: opening it for every file would load its converter every time.
class OtherCommonSet {
 public:
  explicit OtherCommonSet(const Codec& codec) : codec_(codec) {}

  const Codec& codec() {
    if (!other_) other_.emplace(codec_.OtherCommon());
    return *other_;
  }
  // Whether it reads every byte of `text`.
  bool Reads(std::string_view text) {
    std::u16string ignored;
    return codec().usable() && codec().Decode(text, ignored);
  }

 private:
  const Codec& codec_;
  std::optional<Codec> other_;
};

// A UTF-8 byte-order mark at the start of `bytes` is dropped when the set is
// UTF-8, and refused in another set when the rest reads as UTF-8: read as it
// stands, the mark would become characters in front of the first command.
void TakeByteOrderMark(std::string_view& bytes, const fs::path& name, const Codec& codec,
                       OtherCommonSet& other) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kUtf8Bom.size()) != kUtf8Bom) return;
  if (codec.IsUtf8()) {
    bytes.remove_prefix(kUtf8Bom.size());
  } else if (other.codec().IsUtf8() && other.Reads(bytes.substr(kUtf8Bom.size()))) {
    FileError error(FileError::Kind::Generic, name,
                    LineText(1) +
                        ": begins with a UTF-8 byte-order mark: the file looks like "
                        "UTF-8, not " +
                        codec.Name());
    error.setReadsAs(other.codec().Name());
    throw error;
  }
}

// Converts with `codec`; throws FileError with an empty path on failure.
std::string EncodeWith(const Codec& codec, const std::u16string& text) {
  std::string bytes;
  if (!codec.Encode(text, bytes)) {
    throw FileError(FileError::Kind::DiskFull, {},
                    "a character that " + codec.Name() + " cannot represent");
  }
  return bytes;
}

std::u16string DecodeWith(const Codec& codec, const std::string& bytes) {
  std::u16string text;
  if (!codec.Decode(bytes, text)) {
    throw FileError(FileError::Kind::Generic, {}, "bytes that are not valid " + codec.Name());
  }
  return text;
}

// Creates the output, keeping the system's reason when it cannot.
bool CreateOutput(OutputFile& file, const fs::path& path) {
  t_lastOutputOpenError.clear();
  if (file.Create(path)) return true;
  const std::error_code reason = LastSystemError();
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    t_lastOutputOpenError = std::make_error_code(std::errc::is_a_directory);
  } else {
    t_lastOutputOpenError = reason ? reason : std::make_error_code(std::errc::permission_denied);
  }
  return false;
}

}  // namespace

void DecodeTextLines(std::string_view bytes, const fs::path& name,
                     const std::function<void(std::u16string& line)>& sink) {
  if (bytes.find('\0') != std::string_view::npos) {
    throw FileError(FileError::Kind::Generic, name,
                    "not a configuration text: the file contains a NUL byte (a binary or UTF-16 "
                    "file?)");
  }
  const std::shared_ptr<const Codec> active = ActiveCodec();
  const Codec& codec = *active;
  if (!codec.usable()) {
    throw FileError(FileError::Kind::Generic, name,
                    "the character set " + codec.Name() + " is not supported");
  }
  OtherCommonSet other(codec);
  TakeByteOrderMark(bytes, name, codec, other);
  // LF and CR LF end a line; a lone CR stays in the line. Text after the
  // last line feed is a last line of its own.
  size_t start = 0;
  size_t lineNumber = 0;
  std::u16string line;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end == std::string_view::npos) {
      end = bytes.size();
    } else if (end > start && bytes[end - 1] == '\r') {
      --end;
    }
    ++lineNumber;
    if (!codec.Decode(bytes.substr(start, end - start), line)) {
      const bool readsAsOther = other.Reads(bytes);
      FileError error(
          FileError::Kind::Generic, name,
          LineText(lineNumber) + ": bytes that are not valid " + codec.Name() +
              (readsAsOther ? "; the whole file reads as " + other.codec().Name() : ""));
      if (readsAsOther) error.setReadsAs(other.codec().Name());
      throw error;
    }
    sink(line);
    start = next;
  }
}

bool ReadTextLines(const fs::path& path, std::vector<std::u16string>& lines) {
  std::string bytes;
  std::error_code why;
  if (!ReadFileBytes(path, bytes, why)) return false;
  DecodeTextLines(bytes, path,
                  [&lines](std::u16string& line) { lines.push_back(std::move(line)); });
  return true;
}

bool WriteTextLines(const fs::path& path, std::size_t count, const LineSource& line) {
  const std::shared_ptr<const Codec> active = ActiveCodec();
  const Codec& codec = *active;
  if (!codec.usable()) return false;
  OutputFile file;
  if (!CreateOutput(file, path)) return false;
  ByteSink sink(file, path);
  std::string bytes;
  std::u16string scratch;
  for (size_t i = 0; i < count; ++i) {
    if (!codec.Encode(line(i, scratch), bytes)) {
      throw FileError(FileError::Kind::DiskFull, path,
                      LineText(i + 1) + ": a character that " + codec.Name() + " cannot represent");
    }
    // Every line feed becomes CR LF, as text-mode files write it.
    size_t from = 0;
    for (size_t lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', from)) {
      sink.Append(std::string_view(bytes).substr(from, lf - from));
      sink.Append("\r\n");
      from = lf + 1;
    }
    sink.Append(std::string_view(bytes).substr(from));
    sink.Append("\r\n");
  }
  sink.Flush();
  if (!file.Finish()) {
    throw FileError(FileError::Kind::DiskFull, path, "write failed (disk full?)",
                    LastSystemError().value());
  }
  if (!file.Commit()) {
    t_lastOutputOpenError = LastSystemError();
    return false;
  }
  return true;
}

bool WriteTextLines(const fs::path& path, const std::vector<std::u16string>& lines) {
  return WriteTextLines(
      path, lines.size(),
      [&lines](std::size_t i, std::u16string&) -> std::u16string_view { return lines[i]; });
}

std::error_code LastOutputOpenError() {
  return t_lastOutputOpenError;
}

std::string EncodeTextIn(const std::string& charset, const std::u16string& text) {
  return EncodeWith(*NamedCodec(charset), text);
}

std::u16string DecodeTextIn(const std::string& charset, const std::string& bytes) {
  return DecodeWith(*NamedCodec(charset), bytes);
}

std::string EncodeText(const std::u16string& text) {
  return EncodeWith(*ActiveCodec(), text);
}

std::u16string DecodeText(const std::string& bytes) {
  return DecodeWith(*ActiveCodec(), bytes);
}

// Lines are gathered into pieces of this many code units before they are
// encoded; a character set that cannot be encoded line by line gets one.
constexpr size_t kPieceUnits = 32768;

struct LineEncoder::State {
  State(std::u16string_view end, Sink out) : lineEnd(end), sink(std::move(out)) {}

  void Flush() {
    if (text.empty()) return;
    if (!codec.Encode(text, bytes)) {
      throw FileError(FileError::Kind::DiskFull, {},
                      "a character that " + codec.Name() + " cannot represent");
    }
    text.clear();
    sink(bytes);
  }

  const Codec codec;
  const std::u16string lineEnd;
  const Sink sink;
  std::u16string text;  // lines not yet encoded
  std::string bytes;
};

LineEncoder::LineEncoder(std::u16string_view lineEnd, Sink sink)
    : state_(std::make_unique<State>(lineEnd, std::move(sink))) {}

LineEncoder::~LineEncoder() = default;

void LineEncoder::Add(std::u16string_view line) {
  state_->text += line;
  state_->text += state_->lineEnd;
  if (state_->text.size() >= kPieceUnits && state_->codec.EncodesLinesApart()) state_->Flush();
}

void LineEncoder::Finish() {
  state_->Flush();
}
