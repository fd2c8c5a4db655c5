// Configuration text as lines: screening input as it is read and decoding
// it into lines, encoding lines for the output file and for standard
// streams.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "engine/cnv_base.h"
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

// The refusals of input that is not configuration text, the same whether
// the input is screened as it is read or decoded whole.
FileError NulRefusal(const fs::path& name) {
  return FileError(FileError::Kind::Generic, name,
                   "not a configuration text: the file contains a NUL byte (a binary or UTF-16 "
                   "file?)");
}

FileError ByteOrderMarkRefusal(const fs::path& name, const Codec& codec, const Codec& utf8) {
  FileError error(FileError::Kind::Generic, name,
                  LineText(1) +
                      ": begins with a UTF-8 byte-order mark: the file looks like "
                      "UTF-8, not " +
                      codec.Name());
  error.setReadsAs(utf8.Name());
  return error;
}

// Line `lineNumber` is not valid in `codec`; `readsAs` is the other common
// set when the whole input reads in it, else null.
FileError InvalidBytesRefusal(const fs::path& name, size_t lineNumber, const Codec& codec,
                              const Codec* readsAs) {
  FileError error(FileError::Kind::Generic, name,
                  LineText(lineNumber) + ": bytes that are not valid " + codec.Name() +
                      (readsAs ? "; the whole file reads as " + readsAs->Name() : ""));
  if (readsAs) error.setReadsAs(readsAs->Name());
  return error;
}

// Whether the byte-order mark of an input in `codec` makes it UTF-8 read in
// the wrong set: the other set is UTF-8 and reads the whole input.
bool MarkSaysUtf8(const Codec& codec, OtherCommonSet& other, bool restReadsAsOther) {
  return !codec.IsUtf8() && other.codec().IsUtf8() && restReadsAsOther;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A UTF-8 byte-order mark at the start of `bytes` is dropped when the set is
// UTF-8, and refused in another set when the rest reads as UTF-8: read as it
// stands, the mark would become characters in front of the first command.
void TakeByteOrderMark(std::string_view& bytes, const fs::path& name, const Codec& codec,
                       OtherCommonSet& other) {
  if (bytes.substr(0, kUtf8Bom.size()) != kUtf8Bom) return;
  if (codec.IsUtf8()) {
    bytes.remove_prefix(kUtf8Bom.size());
  } else if (MarkSaysUtf8(codec, other, other.Reads(bytes.substr(kUtf8Bom.size())))) {
    throw ByteOrderMarkRefusal(name, codec, other.codec());
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

FileError UnsupportedSetRefusal(const fs::path& name, const Codec& codec) {
  return FileError(FileError::Kind::Generic, name,
                   "the character set " + codec.Name() + " is not supported");
}

}  // namespace

void DecodeTextLines(std::string_view bytes, const fs::path& name,
                     const std::function<void(std::u16string& line)>& sink) {
  if (bytes.find('\0') != std::string_view::npos) throw NulRefusal(name);
  const std::shared_ptr<const Codec> active = ActiveCodec();
  const Codec& codec = *active;
  if (!codec.usable()) throw UnsupportedSetRefusal(name, codec);
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
      throw InvalidBytesRefusal(name, lineNumber, codec,
                                other.Reads(bytes) ? &other.codec() : nullptr);
    }
    sink(line);
    start = next;
  }
}

namespace {

// How much of an input the screen waits for before it decides whether the
// input is an earlier output: more than its header line in any set.
constexpr size_t kHeaderReach = 80;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

FileError SizeRefusal(const fs::path& name, std::int64_t size, std::uint64_t limit) {
  const std::string mib = std::to_string(limit >> 20);
  FileError error(FileError::Kind::TooLarge, name,
                  size < 0 ? "the input is more than " + std::to_string(limit) +
                                 " bytes, over the size limit of " + mib + " MiB"
                           : "the input is " + std::to_string(size) +
                                 " bytes, over the size limit of " + mib + " MiB");
  error.setSizes(size, limit);
  return error;
}

}  // namespace

struct InputScreen::State {
  State(fs::path input, std::uint64_t limit) : name(std::move(input)), maxBytes(limit) {}

  // Chooses, once the first line is in, what to look for.
  void Decide(const std::string& bytes) {
    decided = true;
    codec = ActiveCodec();
    other.emplace(*codec);
    screening = !BeginsWithOutputHeader(bytes);
    bom = std::string_view(bytes).starts_with(kUtf8Bom);
    if (bom && codec->IsUtf8()) lineStart = kUtf8Bom.size();
    linesAreAscii = codec->usable() && KeepsAscii(*codec);
    passing = sink != nullptr && screening;
    if (passing) sink->Expect(ExpectedLines(bytes));
  }

  // The lines of an input of `size` bytes, judged by its first bytes, and
  // at most one for every 16 bytes: a beginning of short lines says little
  // of the rest, and arrays too small only grow.
  size_t ExpectedLines(std::string_view first) const {
    if (size == 0 || first.empty()) return 0;
    const auto ends = static_cast<std::uint64_t>(std::count(first.begin(), first.end(), '\n'));
    const std::uint64_t judged = size * std::max<std::uint64_t>(ends, 1) / first.size();
    return static_cast<size_t>(std::min(judged, size / 16 + 1));
  }

  // Passing lines on: hands each complete line (the last one too at the
  // end of the input) to the sink, decoded, and drops the bytes of those
  // passed on.
  void PassOn(std::string& bytes, bool atEnd) {
    if (std::memchr(bytes.data() + nulFrom, '\0', bytes.size() - nulFrom)) throw NulRefusal(name);
    nulFrom = bytes.size();
    if (!codec->usable()) return;  // refused at the end, as DecodeTextLines refuses it
    const std::string_view all(bytes);
    while (lineStart < all.size()) {
      const size_t from = std::max(lineStart, endFrom);
      const void* lf = std::memchr(all.data() + from, '\n', all.size() - from);
      if (!lf && !atEnd) {
        endFrom = all.size();  // a long line is searched once
        break;
      }
      size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - all.data()) : all.size();
      const size_t next = lf ? end + 1 : end;
      if (lf && end > lineStart && all[end - 1] == '\r') --end;
      ++lineNumber;
      const std::string_view text = all.substr(lineStart, end - lineStart);
      if (!(linesAreAscii && WidenAscii(text, line))) {
        if (!codec->Decode(text, line)) {
          BeginRefusal(bytes);
          return;
        }
        HoldForOther(all.substr(lineStart, next - lineStart));
      }
      sink->Take(line);
      lineStart = next;
    }
    bytes.erase(0, lineStart);
    nulFrom -= lineStart;
    endFrom = endFrom > lineStart ? endFrom - lineStart : 0;
    lineStart = 0;
  }

  // A line passed on that the other set must read for a refusal's hint
  // (every line but those of plain ASCII, which both common sets read):
  // tried in it a mebibyte at a time.
  void HoldForOther(std::string_view raw) {
    if (!otherReadSoFar) return;
    untried.append(raw);
    if (untried.size() < (size_t{1} << 20)) return;
    otherReadSoFar = other->Reads(untried);
    std::string().swap(untried);
  }

  // Whether the other set reads every line passed on.
  bool OtherReadsPassed() { return otherReadSoFar && other->Reads(untried); }

  // At the end of lines passed on: DecodeTextLines' refusals of the whole
  // input that no line shows.
  void EndPassing() {
    if (!codec->usable()) throw UnsupportedSetRefusal(name, *codec);
    if (bom && !codec->IsUtf8() && MarkSaysUtf8(*codec, *other, OtherReadsPassed())) {
      throw ByteOrderMarkRefusal(name, *codec, other->codec());
    }
  }

  // Looks at what came in since the last look: a NUL byte, then each
  // complete line (the last one too at the end of the input).
  void Look(std::string& bytes, bool atEnd) {
    if (!screening) return;
    if (std::memchr(bytes.data() + nulFrom, '\0', bytes.size() - nulFrom)) throw NulRefusal(name);
    nulFrom = bytes.size();
    if (!codec->usable()) return;  // DecodeTextLines says so
    const std::string_view all(bytes);
    const size_t lastEnd = all.rfind('\n');
    // Lines of plain ASCII are valid in a set that keeps it: counted, not decoded.
    if (linesAreAscii && lastEnd != std::string_view::npos && lastEnd >= lineStart) {
      const std::string_view run = all.substr(lineStart, lastEnd + 1 - lineStart);
      if (IsAscii(run)) {
        lineNumber += static_cast<size_t>(std::count(run.begin(), run.end(), '\n'));
        lineStart = lastEnd + 1;
      }
    }
    while (lineStart < all.size()) {
      size_t end = all.find('\n', std::max(lineStart, endFrom));
      if (end == std::string_view::npos && !atEnd) {
        endFrom = all.size();  // a long line is searched once
        return;
      }
      const size_t next = end == std::string_view::npos ? all.size() : end + 1;
      if (end == std::string_view::npos) {
        end = all.size();
      } else if (end > lineStart && all[end - 1] == '\r') {
        --end;
      }
      ++lineNumber;
      const std::string_view line = all.substr(lineStart, end - lineStart);
      if (!(linesAreAscii && IsAscii(line)) && !codec->Decode(line, scratch)) {
        BeginRefusal(bytes);
        return;
      }
      lineStart = next;
    }
    if (scratch.capacity() > 65536) std::u16string().swap(scratch);  // not kept for a long line
  }

  // Line `lineNumber` is not valid: the input is refused, and what is left
  // to learn is whether it all reads in the other set.
  void BeginRefusal(std::string& bytes) {
    badLine = lineNumber;
    // Lines passed on were held for the other set; the bytes from the bad
    // line on are still here.
    const size_t from = passing ? lineStart : 0;
    const size_t lastEnd = bytes.rfind('\n');
    const size_t upTo = lastEnd == std::string::npos || lastEnd < from ? from : lastEnd + 1;
    otherReads = (!passing || OtherReadsPassed()) &&
                 other->Reads(std::string_view(bytes).substr(from, upTo - from));
    if (otherReads) pending.assign(bytes, upTo);
    std::string().swap(bytes);
  }

  // A block after the refusal: the other set reads each complete line.
  void ReadOn(std::string_view block) {
    if (std::memchr(block.data(), '\0', block.size())) throw NulRefusal(name);
    if (!otherReads) return;
    pending.append(block);
    const size_t lastEnd = pending.rfind('\n');
    if (lastEnd == std::string::npos) return;
    otherReads = other->Reads(std::string_view(pending).substr(0, lastEnd + 1));
    pending.erase(0, lastEnd + 1);
    if (!otherReads) std::string().swap(pending);
  }

  [[noreturn]] void Refuse() {
    if (otherReads && !pending.empty()) otherReads = other->Reads(pending);
    if (bom && MarkSaysUtf8(*codec, *other, otherReads)) {
      throw ByteOrderMarkRefusal(name, *codec, other->codec());
    }
    throw InvalidBytesRefusal(name, badLine, *codec, otherReads ? &other->codec() : nullptr);
  }

  const fs::path name;
  const std::uint64_t maxBytes;
  std::uint64_t size = 0;   // the input's, when known before it is read
  std::uint64_t total = 0;  // bytes taken
  LineSink* sink = nullptr;
  bool passing = false;  // lines go to the sink
  bool decided = false;
  bool screening = false;  // not an earlier output, which is refused whatever it holds
  std::shared_ptr<const Codec> codec;
  std::optional<OtherCommonSet> other;
  bool bom = false;            // the input begins with a UTF-8 byte-order mark
  bool linesAreAscii = false;  // an ASCII line is valid in the set
  size_t nulFrom = 0;          // where the next look for a NUL byte begins
  size_t lineStart = 0;        // the first line not yet looked at
  size_t endFrom = 0;          // where the search for its end goes on
  size_t lineNumber = 0;       // of the lines looked at
  std::u16string scratch;
  // Once a line is not valid: its number, whether the input so far reads
  // in the other set, and the bytes after its last line end.
  size_t badLine = 0;
  bool otherReads = false;
  std::string pending;
  // While passing: the line being passed on, whether the other set reads
  // the lines passed on and not held, and those held.
  std::u16string line;
  bool otherReadSoFar = true;
  std::string untried;
};

InputScreen::InputScreen(fs::path name, std::uint64_t maxBytes)
    : state_(std::make_unique<State>(std::move(name), maxBytes)) {}

InputScreen::~InputScreen() = default;

void InputScreen::CheckSize(std::uint64_t size) const {
  if (size > state_->maxBytes) {
    throw SizeRefusal(state_->name, static_cast<std::int64_t>(size), state_->maxBytes);
  }
}

void InputScreen::Expect(std::uint64_t size, std::string& bytes) {
  CheckSize(size);
  state_->size = size;
  if (!state_->sink) bytes.reserve(static_cast<size_t>(size));
}

void InputScreen::PassLines(LineSink& sink) {
  state_->sink = &sink;
}

bool InputScreen::PassedLines() const {
  return state_->passing;
}

void InputScreen::Add(std::string_view block, std::string& bytes) {
  State& s = *state_;
  s.total += block.size();
  if (s.total > s.maxBytes) throw SizeRefusal(s.name, -1, s.maxBytes);
  if (s.badLine != 0) {
    s.ReadOn(block);
    return;
  }
  bytes.append(block);
  if (!s.decided) {
    if (bytes.size() <= kHeaderReach && bytes.find('\n') == std::string::npos) return;
    s.Decide(bytes);
  }
  if (s.passing) {
    s.PassOn(bytes, false);
  } else {
    s.Look(bytes, false);
  }
}

void InputScreen::Finish(std::string& bytes) {
  State& s = *state_;
  if (!s.decided) s.Decide(bytes);
  if (s.badLine == 0) {
    if (s.passing) {
      s.PassOn(bytes, true);
    } else {
      s.Look(bytes, true);
    }
  }
  if (s.badLine != 0) s.Refuse();
  if (s.passing) s.EndPassing();
}

bool ReadFileBytes(const fs::path& path, std::string& bytes, std::error_code& why,
                   std::uint64_t maxBytes) {
  InputScreen screen(path, maxBytes);
  return ReadFileThrough(path, screen, bytes, why);
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
  const CommitResult committed = FinishAndCommit(file);
  switch (committed.failed) {
    case CommitResult::Failed::kNone:
      return true;
    case CommitResult::Failed::kFlush:
      throw FileError(FileError::Kind::DiskFull, path, "write failed (disk full?)",
                      committed.why.value());
    case CommitResult::Failed::kRename:
      break;
  }
  t_lastOutputOpenError = committed.why;
  return false;
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
    if (!codec->Encode(text, bytes)) {
      throw FileError(FileError::Kind::DiskFull, {},
                      "a character that " + codec->Name() + " cannot represent");
    }
    text.clear();
    sink(bytes);
  }

  // The thread's codec: opening one costs about as much as encoding a small
  // configuration.
  const std::shared_ptr<const Codec> codec = ActiveCodec();
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
  if (state_->text.size() >= kPieceUnits && state_->codec->EncodesLinesApart()) state_->Flush();
}

void LineEncoder::Finish() {
  state_->Flush();
}
