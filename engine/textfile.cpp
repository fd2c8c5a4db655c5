#include "engine/textfile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/file_error.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// Why the last WriteTextLines of this thread could not create its output.
thread_local std::error_code t_lastOutputOpenError;

// The system's reason for the failure that has just happened.
std::error_code LastSystemError() {
#ifdef _WIN32
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
  return std::error_code(errno, std::generic_category());
#endif
}

// The system's code of a full disk.
#ifdef _WIN32
constexpr int kDiskFullError = ERROR_DISK_FULL;
#else
constexpr int kDiskFullError = ENOSPC;
#endif

// Test seam: total of bytes a write may reach before it fails (negative:
// no fault), and the bytes written so far by the current WriteTextLines.
long long g_writeFaultAfter = -1;
thread_local long long g_bytesWritten = 0;

// Characters whose bytes must be plain ASCII in any character set usable
// for configuration files: the line ends, the comment mark and the quote.
constexpr char16_t kAsciiProbe[] = u"\t\r\n #\"09AZaz";

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Shift_JIS as configuration files know it is code page 932, whose lower
// half is plain ASCII (backslash and tilde included).
bool IsShiftJisName(const std::string& upper) {
  return upper == "SHIFT_JIS" || upper == "SHIFT-JIS" || upper == "SJIS" || upper == "MS932" ||
         upper == "WINDOWS-31J" || upper == "CP932" || upper == "MS_KANJI" || upper == "932";
}

std::string LineText(size_t lineNumber) {
  return "line " + std::to_string(lineNumber);
}

// Pure ASCII text in a character set that keeps ASCII as it is: the
// conversion is a copy of each unit, with no call into the system's
// converter. False (nothing done) when the text is not pure ASCII. (Loops
// without early exits, which compilers turn into vector code.)
bool WidenAscii(std::string_view bytes, std::u16string& out) {
  unsigned char all = 0;
  for (char c : bytes) all |= static_cast<unsigned char>(c);
  if (all >= 0x80) return false;
  out.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return true;
}

bool NarrowAscii(std::u16string_view text, std::string& out) {
  char16_t all = 0;
  for (char16_t c : text) all |= c;
  if (all >= 0x80) return false;
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
  return true;
}

// Whether `codec`, of a character set known to be stateless and to keep
// ASCII as it is, reads and writes every ASCII character as its own byte,
// so that WidenAscii and NarrowAscii give what its conversions give. (Stateful sets such as
// ISO-2022-JP may pass every single ASCII byte through, yet read an escape sequence as a shift:
// they are not in the known list.)
template <typename CodecT>
bool KeepsAscii(const CodecT& codec) {
  std::string bytes;
  std::u16string units;
  for (int c = 0; c < 0x80; ++c) {
    bytes += static_cast<char>(c);
    units += static_cast<char16_t>(c);
  }
  std::u16string decoded;
  std::string encoded;
  return codec.Decode(bytes, decoded) && decoded == units && codec.Encode(units, encoded) &&
         encoded == bytes;
}

// ------------------------------------------------- temporary files now open

thread_local const DiskWaitHooks* t_diskWaitHooks = nullptr;

// Tells this thread's pool, if any, that the thread waits for the disk
// while it lives.
class DiskWait {
 public:
  DiskWait() : hooks_(t_diskWaitHooks) {
    if (hooks_) hooks_->leave(hooks_->context);
  }
  ~DiskWait() {
    if (hooks_) hooks_->enter(hooks_->context);
  }
  DiskWait(const DiskWait&) = delete;
  DiskWait& operator=(const DiskWait&) = delete;

 private:
  const DiskWaitHooks* hooks_;
};

// The temporary files of the writes under way, for interrupt handlers to
// remove: a fixed table, so that a handler reads it without allocating or
// locking. A slot is claimed (Filling), gets its path, and is published
// (Ready); a handler takes a Ready slot (Removing) while it removes the file
// and gives it back. A path too long for a slot, or a write beyond the
// table's size, goes unregistered: it is still removed on every other path.
#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
constexpr int kPendingSlots = 512;  // a fleet run writes from two threads a -j seat, -j 256 at most
constexpr size_t kPendingPathSize = 4096;  // with the NUL; PATH_MAX on Linux

enum PendingState : int { kFree, kFilling, kReady, kRemoving };

struct PendingFile {
  std::atomic<int> state{kFree};
  PathChar path[kPendingPathSize];
};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

PendingFile g_pending[kPendingSlots];

// Registers `path` before the file is created, so that no interrupt falls
// between the two; returns the slot, or -1 when it cannot be registered.
int RegisterPending(const fs::path& path) {
  const fs::path::string_type& native = path.native();
  if (native.size() >= kPendingPathSize) return -1;
  for (int i = 0; i < kPendingSlots; ++i) {
    PendingFile& slot = g_pending[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      continue;
    }
    std::copy(native.begin(), native.end(), slot.path);
    slot.path[native.size()] = 0;
    slot.state.store(kReady, std::memory_order_release);
    return i;
  }
  return -1;
}

// Frees a slot once its file is renamed or removed. While a handler on
// another thread removes the file, waits for it to finish.
void UnregisterPending(int index) {
  if (index < 0) return;
  std::atomic<int>& state = g_pending[index].state;
  for (;;) {
    int expected = kReady;
    if (state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel) ||
        expected != kRemoving) {
      return;
    }
    std::this_thread::yield();
  }
}

#ifdef _WIN32

// ---------------------------------------------------------------- Windows

UINT g_codePage = 0;  // 0: the ANSI code page of the system (CP_ACP)

UINT ActiveCodePage() {
  return g_codePage != 0 ? g_codePage : GetACP();
}

// Code pages whose conversions take no flags (and give no default-character
// report); their strictness is checked by a round trip instead.
bool TakesNoFlags(UINT cp) {
  return cp == 42 || cp == 65000 || (cp >= 50220 && cp <= 50229) || (cp >= 57002 && cp <= 57011);
}

class Codec {
 public:
  Codec() : Codec(ActiveCodePage()) {}
  explicit Codec(UINT cp) : cp_(cp) {
    // UTF-8, Shift_JIS, EUC-JP, the ISO 8859 and the Windows 125x sets.
    const bool known = cp == CP_UTF8 || cp == 932 || cp == 20932 || (cp >= 28591 && cp <= 28605) ||
                       (cp >= 1250 && cp <= 1258);
    keepsAscii_ = known && KeepsAscii(*this);
  }

  std::string Name() const { return cp_ == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(cp_); }
  bool IsUtf8() const { return cp_ == CP_UTF8; }
  // The other character set configuration files commonly come in.
  UINT OtherCommon() const { return IsUtf8() ? 932 : CP_UTF8; }

  // Whether a text's bytes are those of its lines (with their line ends)
  // encoded one after another. Not known for the code pages that keep a
  // shift state, so those are encoded whole.
  bool EncodesLinesApart() const { return !TakesNoFlags(cp_); }

  bool Decode(std::string_view bytes, std::u16string& out) const {
    out.clear();
    if (bytes.empty() || (keepsAscii_ && WidenAscii(bytes, out))) return true;
    const DWORD flags = TakesNoFlags(cp_) ? 0 : MB_ERR_INVALID_CHARS;
    const int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(cp_, flags, bytes.data(), size, nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    n = MultiByteToWideChar(cp_, flags, bytes.data(), size, wide.data(), n);
    if (n <= 0) return false;
    out.assign(wide.begin(), wide.begin() + n);
    return true;
  }

  bool Encode(std::u16string_view text, std::string& out) const {
    out.clear();
    if (text.empty() || (keepsAscii_ && NarrowAscii(text, out))) return true;
    const std::wstring wide(text.begin(), text.end());
    const int size = static_cast<int>(wide.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = &usedDefault;
    if (cp_ == CP_UTF8 || cp_ == 54936) {
      flags = WC_ERR_INVALID_CHARS;
      usedDefaultPtr = nullptr;
    } else if (TakesNoFlags(cp_)) {
      flags = 0;
      usedDefaultPtr = nullptr;
    }
    int n = WideCharToMultiByte(cp_, flags, wide.data(), size, nullptr, 0, nullptr, usedDefaultPtr);
    if (n <= 0 || usedDefault) return false;
    out.assign(static_cast<size_t>(n), '\0');
    n = WideCharToMultiByte(cp_, flags, wide.data(), size, out.data(), n, nullptr, usedDefaultPtr);
    if (n <= 0 || usedDefault) return false;
    out.resize(static_cast<size_t>(n));
    if (TakesNoFlags(cp_)) {
      std::u16string back;
      if (!Decode(out, back) || back != text) return false;
    }
    return true;
  }

 private:
  UINT cp_;
  bool keepsAscii_ = false;  // see KeepsAscii
};

// A code page's conversions hold no resources: a codec is made where needed.
std::shared_ptr<const Codec> ActiveCodec() {
  return std::make_shared<const Codec>();
}

// Maps a character-set name to a code page: a number, "CP<number>" or a
// common name. 0 when the name is not known.
UINT CodePageOfName(const std::string& name) {
  const std::string upper = UpperAscii(name);
  if (IsShiftJisName(upper)) return 932;
  if (upper == "UTF-8" || upper == "UTF8") return CP_UTF8;
  struct Alias {
    const char* name;
    UINT cp;
  };
  static const Alias kAliases[] = {
      {"US-ASCII", 20127},    {"ASCII", 20127},       {"ANSI_X3.4-1968", 20127},
      {"EUC-JP", 20932},      {"EUCJP", 20932},       {"ISO-2022-JP", 50220},
      {"ISO-8859-1", 28591},  {"LATIN1", 28591},      {"ISO-8859-15", 28605},
      {"GBK", 936},           {"GB2312", 936},        {"GB18030", 54936},
      {"BIG5", 950},          {"EUC-KR", 949},        {"UHC", 949},
      {"WINDOWS-1250", 1250}, {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252},
      {"KOI8-R", 20866},
  };
  for (const Alias& a : kAliases) {
    if (upper == a.name) return a.cp;
  }
  std::string digits = upper;
  if (digits.rfind("WINDOWS-", 0) == 0) {
    digits = digits.substr(8);
  } else if (digits.rfind("CP", 0) == 0) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  const UINT cp = static_cast<UINT>(std::stoul(digits));
  return cp != 0 && IsValidCodePage(cp) ? cp : 0;
}

bool ReadAllBytes(const fs::path& path, std::string& bytes, std::error_code& why) {
  // No sharing: the open fails while another process holds the file.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return false;
  }
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      // A pipe whose writer has closed its end is at its end.
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;
      CloseHandle(file);
      throw FileError(FileError::Kind::Generic, path,
                      "read error after " + std::to_string(bytes.size()) + " bytes",
                      static_cast<int>(error));
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return true;
}

// The output file: a temporary file beside the target that replaces the
// target only when Commit succeeds; removed on every other path.
class OutputFile {
 public:
  ~OutputFile() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    if (!temp_.empty()) DeleteFileW(temp_.c_str());
    UnregisterPending(pending_);
  }
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const fs::path& target) {
    target_ = target;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return false;
    }
    static std::atomic<unsigned> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path temp = target;
      temp += L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
              L".tmp";
      pending_ = RegisterPending(temp);
      // Shared for deletion, so that an interrupt handler on another thread
      // can delete it while it is open: it goes when the process ends.
      file_ = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file_ != INVALID_HANDLE_VALUE) {
        temp_ = temp;
        return true;
      }
      const DWORD error = GetLastError();
      UnregisterPending(pending_);
      pending_ = -1;
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return false;
  }

  bool Write(const char* data, size_t size) {
    while (size > 0) {
      DWORD done = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
      if (!WriteFile(file_, data, chunk, &done, nullptr) || done == 0) return false;
      data += done;
      size -= done;
    }
    return true;
  }

  // Flushes and closes; false when that fails (a write error).
  bool Finish() {
    bool flushed;
    {
      const DiskWait wait;
      flushed = FlushFileBuffers(file_) != 0;
    }
    const bool closed = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return flushed && closed;
  }

  // Replaces the target (the temporary file is closed by now, so that no
  // handle stands in the way); false when it cannot be replaced.
  bool Commit() {
    const DiskWait wait;
    if (!MoveFileExW(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return false;
    }
    temp_.clear();
    UnregisterPending(pending_);
    pending_ = -1;
    return true;
  }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  fs::path target_;
  fs::path temp_;
  int pending_ = -1;  // the temporary file's slot in the table of open ones
};

#else

// ------------------------------------------------------------------ POSIX

std::string g_charset;  // empty: the character set of the user's locale

// The character set of the user's locale.
std::string DefaultCharset() {
  const char* codeset = nl_langinfo(CODESET);
  const std::string upper = UpperAscii(codeset != nullptr ? codeset : "");
  // The plain-ASCII set of the C/POSIX locale counts as UTF-8, so that the
  // header can always be written.
  if (upper.empty() || upper == "ANSI_X3.4-1968" || upper == "US-ASCII" || upper == "ASCII" ||
      upper == "646") {
    return "UTF-8";
  }
  if (IsShiftJisName(upper)) return "CP932";
  return codeset;
}

std::string ActiveCharset() {
  return g_charset.empty() ? DefaultCharset() : g_charset;
}

// The iconv name for a character-set name as users give it; empty is the
// user's default. A bare number names a code page, as on Windows.
std::string CharsetOfName(const std::string& name) {
  if (name.empty()) return DefaultCharset();
  if (IsShiftJisName(UpperAscii(name))) return "CP932";
  const bool number =
      std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
  return number ? "CP" + name : name;
}

// Runs one iconv conversion of a whole buffer from its initial state; false
// on an invalid or incomplete sequence or an irreversible conversion.
bool RunIconv(iconv_t cd, std::string_view in, std::string& out) {
  out.clear();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  out.resize(in.size() * 2 + 16);
  size_t done = 0;
  bool flushing = false;
  for (;;) {
    char* outPtr = out.data() + done;
    size_t outLeft = out.size() - done;
    const size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                              : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno != E2BIG) return false;
      out.resize(out.size() * 2);
      continue;
    }
    if (r != 0) return false;
    if (flushing) break;
    flushing = true;  // write the shift sequence back to the initial state
  }
  out.resize(done);
  return true;
}

class Codec {
 public:
  Codec() : Codec(ActiveCharset()) {}
  explicit Codec(std::string charset) : charset_(std::move(charset)) {
    decode_ = iconv_open("UTF-16LE", charset_.c_str());
    encode_ = iconv_open(charset_.c_str(), "UTF-16LE");
    // UTF-8, Shift_JIS, EUC-JP, the ISO 8859 and the Windows 125x sets.
    const std::string upper = UpperAscii(charset_);
    const bool known = upper == "UTF-8" || upper == "UTF8" || upper == "CP932" ||
                       upper == "EUC-JP" || upper.rfind("ISO-8859-", 0) == 0 ||
                       upper.rfind("CP125", 0) == 0 || upper.rfind("WINDOWS-125", 0) == 0;
    keepsAscii_ = known && usable() && KeepsAscii(*this);
  }
  ~Codec() {
    if (valid(decode_)) iconv_close(decode_);
    if (valid(encode_)) iconv_close(encode_);
  }
  Codec(const Codec&) = delete;
  Codec& operator=(const Codec&) = delete;

  bool usable() const { return valid(decode_) && valid(encode_); }
  const std::string& Name() const { return charset_; }
  bool IsUtf8() const {
    const std::string upper = UpperAscii(charset_);
    return upper == "UTF-8" || upper == "UTF8";
  }
  // The other character set configuration files commonly come in.
  std::string OtherCommon() const { return IsUtf8() ? "CP932" : "UTF-8"; }

  // Whether a text's bytes are those of its lines (with their line ends)
  // encoded one after another: iconv's sets with a shift state return to
  // the initial state at every line end (checked on every set the file
  // layer accepts, with both line ends).
  bool EncodesLinesApart() const { return true; }

  bool Decode(std::string_view bytes, std::u16string& out) const {
    out.clear();
    if (keepsAscii_ && WidenAscii(bytes, out)) return true;
    std::string units;
    if (!usable() || !RunIconv(decode_, bytes, units)) return false;
    out.resize(units.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                     (static_cast<unsigned char>(units[2 * i + 1]) << 8));
    }
    return true;
  }

  // Strict: a character is representable only when its bytes read back as
  // the same character (no best-fit substitutes).
  bool Encode(std::u16string_view text, std::string& out) const {
    out.clear();
    if (keepsAscii_ && NarrowAscii(text, out)) return true;
    std::string units(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
      units[2 * i] = static_cast<char>(text[i] & 0xFF);
      units[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    if (!usable() || !RunIconv(encode_, units, out)) return false;
    std::u16string back;
    return Decode(out, back) && back == text;
  }

 private:
  static bool valid(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

  std::string charset_;
  iconv_t decode_;
  iconv_t encode_;
  bool keepsAscii_ = false;  // see KeepsAscii
};

// This thread's codec for a character set. Opening iconv's converters costs
// about as much as converting a small file, and for a set such as CP932 loads
// its module again each time, so a thread keeps the few it uses.
std::shared_ptr<const Codec> ThreadCodec(const std::string& charset) {
  thread_local std::vector<std::shared_ptr<const Codec> > codecs;  // most recent last
  for (size_t i = 0; i < codecs.size(); ++i) {
    if (codecs[i]->Name() == charset) {
      std::rotate(codecs.begin() + static_cast<std::ptrdiff_t>(i),
                  codecs.begin() + static_cast<std::ptrdiff_t>(i) + 1, codecs.end());
      return codecs.back();
    }
  }
  constexpr size_t kKept = 8;
  if (codecs.size() >= kKept) codecs.erase(codecs.begin());
  codecs.push_back(std::make_shared<const Codec>(charset));
  return codecs.back();
}

std::shared_ptr<const Codec> ActiveCodec() {
  return ThreadCodec(ActiveCharset());
}

bool ReadAllBytes(const fs::path& path, std::string& bytes, std::error_code& why) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::error_code(errno, std::generic_category());
    return false;
  }
  struct stat st;
  const bool statted = fstat(fd, &st) == 0;
  if (!statted || S_ISDIR(st.st_mode)) {
    why = std::error_code(statted ? EISDIR : errno, std::generic_category());
    close(fd);
    return false;
  }
  // A regular file is read in one piece of its own size.
  if (S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(bytes.size() + static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      throw FileError(
          FileError::Kind::Generic, path,
          "read error after " + std::to_string(bytes.size()) + " bytes: " + std::strerror(error),
          error);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

// The output file: a temporary file beside the target that replaces the
// target only when Commit succeeds; removed on every other path. A target
// that is a device or a pipe is written directly.
class OutputFile {
 public:
  ~OutputFile() {
    if (fd_ >= 0) close(fd_);
    if (!temp_.empty()) unlink(temp_.c_str());
    UnregisterPending(pending_);
  }
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const fs::path& path) {
    target_ = path;
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return false;
    if (exists && !S_ISREG(st.st_mode)) {
      fd_ = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      return fd_ >= 0;
    }
    // Write beside the file a symbolic link names, so that the link stays.
    std::error_code ec;
    if (exists && fs::is_symlink(path, ec)) {
      fs::path real = fs::canonical(path, ec);
      if (!ec) target_ = real;
    }
    // A file the user may not write stays as it is, as an open for writing
    // would fail on it.
    if (exists && access(target_.c_str(), W_OK) != 0) return false;
    static std::atomic<unsigned> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path temp = target_;
      temp += ".~" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
      pending_ = RegisterPending(temp);
      fd_ = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        temp_ = temp;
        if (exists) fchmod(fd_, st.st_mode & 07777);
        return true;
      }
      const int error = errno;
      UnregisterPending(pending_);
      pending_ = -1;
      if (error != EEXIST) break;
    }
    return false;
  }

  bool Write(const char* data, size_t size) {
    while (size > 0) {
      const ssize_t done = write(fd_, data, size);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      data += done;
      size -= static_cast<size_t>(done);
    }
    return true;
  }

  // Flushes to the disk and closes; false when that fails (a write error).
  bool Finish() {
    bool ok = true;
    if (!temp_.empty()) {
      const DiskWait wait;
      ok = fsync(fd_) == 0;
    }
    ok = close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }

  // Replaces the target; false when it cannot be replaced.
  bool Commit() {
    if (temp_.empty()) return true;  // written directly
    if (rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    UnregisterPending(pending_);
    pending_ = -1;
    // Make the new directory entry durable too; a failure here loses nothing.
    const int dir = open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                         O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
      const DiskWait wait;
      fsync(dir);
      close(dir);
    }
    return true;
  }

 private:
  int fd_ = -1;
  fs::path target_;
  fs::path temp_;
  int pending_ = -1;  // the temporary file's slot in the table of open ones
};

#endif

// ----------------------------------------------------------- both platforms

// Whether a character set keeps the bytes of line ends, "#" and '"' plain.
bool IsAsciiCompatible(const Codec& codec) {
  std::string bytes;
  std::u16string back;
  const std::u16string_view probe(kAsciiProbe);
  return codec.Encode(probe, bytes) && bytes.size() == probe.size() &&
         std::equal(probe.begin(), probe.end(), bytes.begin(),
                    [](char16_t c, char b) { return c == static_cast<unsigned char>(b); }) &&
         codec.Decode(bytes, back) && back == probe;
}

// Buffers the bytes of the output and passes them to the file, failing as
// the test seam asks.
class ByteSink {
 public:
  ByteSink(OutputFile& file, const fs::path& path) : file_(file), path_(path) {}

  void Append(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= 65536) Flush();
  }

  void Flush() {
    std::string_view pending = buffer_;
    bool ok = true;
    int error = 0;
    if (g_writeFaultAfter >= 0) {
      const long long room = std::max(0LL, g_writeFaultAfter - g_bytesWritten);
      if (static_cast<long long>(pending.size()) > room) {
        pending = pending.substr(0, static_cast<size_t>(room));
        ok = false;
        error = kDiskFullError;  // the fault stands for a full disk
      }
    }
    if (!file_.Write(pending.data(), pending.size())) {
      ok = false;
      error = LastSystemError().value();
    }
    g_bytesWritten += static_cast<long long>(pending.size());
    buffer_.clear();
    if (!ok) throw FileError(FileError::Kind::DiskFull, path_, "write failed (disk full?)", error);
  }

 private:
  OutputFile& file_;
  const fs::path& path_;
  std::string buffer_;
};

}  // namespace

bool SetFileEncoding(const std::string& name) {
#ifdef _WIN32
  if (name.empty()) {
    g_codePage = 0;
    return true;
  }
  const UINT cp = CodePageOfName(name);
  if (cp == 0 || !IsAsciiCompatible(Codec(cp))) return false;
  g_codePage = cp;
  return true;
#else
  if (name.empty()) {
    g_charset.clear();
    return true;
  }
  const std::string charset = CharsetOfName(name);
  const Codec codec(charset);
  if (!codec.usable() || !IsAsciiCompatible(codec)) return false;
  g_charset = charset;
  return true;
#endif
}

std::string FileEncoding() {
#ifdef _WIN32
  return Codec().Name();
#else
  return ActiveCharset();
#endif
}

void SetDiskWaitHooks(const DiskWaitHooks* hooks) {
  t_diskWaitHooks = hooks;
}

void RemovePendingOutputFiles() {
  for (PendingFile& slot : g_pending) {
    int expected = kReady;
    if (!slot.state.compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
      continue;
    }
#ifdef _WIN32
    DeleteFileW(slot.path);
#else
    const int saved = errno;  // a handler leaves errno as it found it
    unlink(slot.path);
    errno = saved;
#endif
    slot.state.store(kReady, std::memory_order_release);
  }
}

void SetWriteFaultAfterBytes(long long bytes) {
  g_writeFaultAfter = bytes < 0 ? -1 : bytes;
}

bool ReadFileBytes(const fs::path& path, std::string& bytes, std::error_code& why) {
  why.clear();
  return ReadAllBytes(path, bytes, why);
}

void DecodeTextLines(std::string_view bytes, const fs::path& name,
                     const std::function<void(std::u16string& line)>& sink) {
  if (bytes.find('\0') != std::string_view::npos) {
    throw FileError(FileError::Kind::Generic, name,
                    "not a configuration text: the file contains a NUL byte (a binary or UTF-16 "
                    "file?)");
  }
  const std::shared_ptr<const Codec> active = ActiveCodec();
  const Codec& codec = *active;
#ifndef _WIN32
  if (!codec.usable()) {
    throw FileError(FileError::Kind::Generic, name,
                    "the character set " + codec.Name() + " is not supported");
  }
#endif
  // The other common character set, opened only for a hint on a refusal:
  // opening it for every file would load its converter every time.
  std::optional<Codec> other;
  const auto otherCodec = [&]() -> const Codec& {
    if (!other) other.emplace(codec.OtherCommon());
    return *other;
  };
  // Whether the other common character set reads every byte of `text`.
  const auto otherReads = [&](std::string_view text) {
    std::u16string ignored;
#ifndef _WIN32
    if (!otherCodec().usable()) return false;
#endif
    return otherCodec().Decode(text, ignored);
  };
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    if (codec.IsUtf8()) {
      bytes.remove_prefix(kUtf8Bom.size());
    } else if (otherCodec().IsUtf8() && otherReads(bytes.substr(kUtf8Bom.size()))) {
      // Read as it stands, the mark would become characters in front of
      // the first command.
      FileError error(FileError::Kind::Generic, name,
                      LineText(1) +
                          ": begins with a UTF-8 byte-order mark: the file looks like "
                          "UTF-8, not " +
                          codec.Name());
      error.setReadsAs(otherCodec().Name());
      throw error;
    }
  }
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
      const bool readsAsOther = otherReads(bytes);
      FileError error(FileError::Kind::Generic, name,
                      LineText(lineNumber) + ": bytes that are not valid " + codec.Name() +
                          (readsAsOther ? "; the whole file reads as " + otherCodec().Name() : ""));
      if (readsAsOther) error.setReadsAs(otherCodec().Name());
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
#ifndef _WIN32
  if (!codec.usable()) return false;
#endif
  t_lastOutputOpenError.clear();
  OutputFile file;
  if (!file.Create(path)) {
    const std::error_code reason = LastSystemError();
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      t_lastOutputOpenError = std::make_error_code(std::errc::is_a_directory);
    } else {
      t_lastOutputOpenError = reason ? reason : std::make_error_code(std::errc::permission_denied);
    }
    return false;
  }
  g_bytesWritten = 0;
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

std::error_code LastOutputOpenError() {
  return t_lastOutputOpenError;
}

bool WriteTextLines(const fs::path& path, const std::vector<std::u16string>& lines) {
  return WriteTextLines(
      path, lines.size(),
      [&lines](std::size_t i, std::u16string&) -> std::u16string_view { return lines[i]; });
}

namespace {

// Converts with `codec`; throws FileError with an empty path on failure.
template <typename C>
std::string EncodeWith(const C& codec, const std::u16string& text) {
  std::string bytes;
  if (!codec.Encode(text, bytes)) {
    throw FileError(FileError::Kind::DiskFull, {},
                    "a character that " + codec.Name() + " cannot represent");
  }
  return bytes;
}

template <typename C>
std::u16string DecodeWith(const C& codec, const std::string& bytes) {
  std::u16string text;
  if (!codec.Decode(bytes, text)) {
    throw FileError(FileError::Kind::Generic, {}, "bytes that are not valid " + codec.Name());
  }
  return text;
}

}  // namespace

// Runs `convert` with the codec a character-set name selects; empty is the
// user's default.
template <typename Convert>
auto WithNamedCodec(const std::string& charset, Convert convert) {
#ifdef _WIN32
  const UINT cp = charset.empty() ? GetACP() : CodePageOfName(charset);
  if (cp == 0) throw FileError(FileError::Kind::Generic, {}, "unknown character set " + charset);
  return convert(Codec(cp));
#else
  return convert(*ThreadCodec(CharsetOfName(charset)));
#endif
}

std::string EncodeTextIn(const std::string& charset, const std::u16string& text) {
  return WithNamedCodec(charset, [&](const auto& codec) { return EncodeWith(codec, text); });
}

std::u16string DecodeTextIn(const std::string& charset, const std::string& bytes) {
  return WithNamedCodec(charset, [&](const auto& codec) { return DecodeWith(codec, bytes); });
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
