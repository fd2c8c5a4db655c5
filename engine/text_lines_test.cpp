#include "engine/textfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "engine/file_error.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"

namespace {

using Lines = std::vector<std::u16string>;

class TextLinesTest : public FileTest {};

TEST_F(TextLinesTest, LineEndsOnInput) {
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {u"a"}},
      {"a\n", {u"a"}},
      {"a\r\nb\nc", {u"a", u"b", u"c"}},
      {"\n", {u""}},
      {"\r\n\r\n", {u"", u""}},
      {"a\n\nb\n", {u"a", u"", u"b"}},
      {"a\rb\r\n", {u"a\rb"}},  // a lone CR stays inside the line
      {"a\r\r\n", {u"a\r"}},
      {"a\r", {u"a\r"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadBack(c.bytes), c.lines) << "input: " << c.bytes;
  }
}

TEST_F(TextLinesTest, EveryLineEndsInCrLfOnOutput) {
  ASSERT_TRUE(WriteTextLines(Path("out.txt"), {u"a", u"", u"b\rc", u"d\ne"}));
  EXPECT_EQ(ReadBytes(Path("out.txt")), "a\r\n\r\nb\rc\r\nd\r\ne\r\n");
  ASSERT_TRUE(WriteTextLines(Path("empty.txt"), {}));
  EXPECT_EQ(ReadBytes(Path("empty.txt")), "");
}

TEST_F(TextLinesTest, MissingFileOrFolderCannotBeOpened) {
  Lines lines{u"kept"};
  EXPECT_FALSE(ReadTextLines(Path("missing.txt"), lines));
  EXPECT_FALSE(ReadTextLines(dir_, lines));
  EXPECT_EQ(lines, Lines{u"kept"});
}

// Reads `path` expecting a read error whose text contains `detail`;
// returns the lines read before it.
Lines ExpectReadError(const std::filesystem::path& path, const char* detail) {
  Lines lines;
  try {
    ReadTextLines(path, lines);
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::Generic);
    EXPECT_EQ(e.path(), path);
    EXPECT_NE(std::string(e.what()).find(detail), std::string::npos) << e.what();
  }
  return lines;
}

// The same for a file of `bytes`.
Lines ReadError(const std::filesystem::path& path, const std::string& bytes, const char* detail) {
  WriteBytes(path, bytes);
  return ExpectReadError(path, detail);
}

// Bytes this process has read so far, from any file; -1 where unknown.
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = -1;
  while (io >> key >> value && key != "rchar:") value = -1;
  return value;
}

// Input that cannot be a configuration costs what it must: a sparse file of
// NUL bytes (no disk) is refused at its first block however big, one over
// the size limit before a byte of it is read.
TEST_F(TextLinesTest, BadInputIsRefusedAsSoonAsItShows) {
  const struct {
    std::uintmax_t size;
    std::uint64_t maxBytes;
    const char* refusal;
    long long mostRead;
  } cases[] = {
      {std::uintmax_t{1} << 30, std::uint64_t{2} << 30,
       "not a configuration text: the file contains a NUL byte (a binary or UTF-16 file?)",
       1 << 17},
      {std::uintmax_t{65} << 20, kDefaultMaxInputBytes,
       "the input is 68157440 bytes, over the size limit of 64 MiB", 1 << 12},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("in.txt"), "");
    std::filesystem::resize_file(Path("in.txt"), c.size);
    const long long before = BytesRead();
    std::string bytes;
    std::error_code why;
    try {
      ReadFileBytes(Path("in.txt"), bytes, why, c.maxBytes);
      ADD_FAILURE() << "read " << c.size << " bytes";
    } catch (const FileError& e) {
      EXPECT_EQ(e.what(), std::string(c.refusal));
      EXPECT_EQ(e.kind() == FileError::Kind::TooLarge, c.size > c.maxBytes);
    }
    if (before >= 0) {
      EXPECT_LE(BytesRead() - before, c.mostRead) << c.refusal;
    }
  }
}

TEST_F(TextLinesTest, InvalidBytesNameTheLine) {
  // The file is refused as it is read: no line before the error is passed
  // on (decoded bytes pass them on: LineStoreFiles).
  EXPECT_TRUE(
      ReadError(Path("in.txt"), "ok\r\nfine\r\nbad \xff\xfe here\r\nlater\r\n", "line 3").empty());
}

// A UTF-8 byte-order mark is no part of line 1; input that does not read in
// the character set in use names the common one in which it does read.
TEST_F(TextLinesTest, ByteOrderMarkAndTheOtherCommonCharacterSet) {
  const std::string sjis = "# \x96\x7b\x8e\xd0\nip lan1\n";  // "# 本社"
  const struct {
    const char* encoding;
    std::string bytes;
    Lines lines;          // when read
    const char* detail;   // else the error's text
    const char* readsAs;  // and the set it names
  } cases[] = {
      {"UTF-8", "\xEF\xBB\xBFlogin timer 1800\n", {u"login timer 1800"}, nullptr, ""},
      {"UTF-8", "\xEF\xBB\xBF", {}, nullptr, ""},
      {"UTF-8", "a\n\xEF\xBB\xBF", {u"a", u"\uFEFF"}, nullptr, ""},  // only at the very start
      {"CP932",
       "\xEF\xBB\xBFip lan1\n",
       {},
       "line 1: begins with a UTF-8 byte-order mark",
       "UTF-8"},
      {"UTF-8",
       sjis,
       {},
       "line 1: bytes that are not valid UTF-8; the whole file reads as CP932",
       "CP932"},
      {"CP932",
       "ok\n# \xE3\x81\x82\n",
       {},
       "line 2: bytes that are not valid CP932; the whole file reads as UTF-8",
       "UTF-8"},
      {"UTF-8",
       "ok\n\xff\n",
       {},
       "line 2: bytes that are not valid UTF-8",
       ""},  // neither reads it
      // The mark decides over a line not valid in the set, a NUL over all.
      {"CP932", "\xEF\xBB\xBF# \xE3\x81\x82\nip", {}, "line 1: begins with a UTF-8", "UTF-8"},
      {"CP932", "ok\n\xff\n" + std::string(1, '\0'), {}, "not a configuration text", ""},
      {"CP932", "ok\n# \xE3\x81\x82\n\xff\n", {}, "line 2: bytes that are not valid CP932", ""},
      // A line before the bad one that only the set in use reads.
      {"UTF-8", "# \xE3\x81\x82\n# \x96\x7b\n", {}, "line 2: bytes that are not valid UTF-8", ""},
  };
  // Takes the lines a screen passes on.
  struct Passed final : LineSink {
    void Expect(size_t) override {}
    void Take(std::u16string& line) override { lines.push_back(std::move(line)); }
    Lines lines;
  };
  // "text|set" of the refusal, empty when every line is read: of the bytes
  // decoded whole, or fed to the screen a byte at a time and then decoded,
  // or so fed to a screen that passes the lines on (into `passed`).
  const auto refusal = [](const std::string& bytes, bool screened, Passed* passed = nullptr) {
    try {
      std::string kept = screened ? "" : bytes;
      InputScreen screen("in.txt", kDefaultMaxInputBytes);
      if (passed) screen.PassLines(*passed);
      for (size_t i = 0; screened && i < bytes.size(); ++i) screen.Add(bytes.substr(i, 1), kept);
      if (screened) screen.Finish(kept);
      EXPECT_EQ(screen.PassedLines(), passed != nullptr);
      if (!passed) DecodeTextLines(kept, "in.txt", [](std::u16string&) {});
      if (passed) {
        EXPECT_EQ(kept, "") << "lines passed on are not kept";
      }
      return std::string();
    } catch (const FileError& e) {
      return e.what() + ("|" + e.readsAs());
    }
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(SetFileEncoding(c.encoding));
    Lines lines;
    try {
      DecodeTextLines(c.bytes, "in.txt", [&lines](std::u16string& line) { lines.push_back(line); });
      EXPECT_EQ(c.detail, nullptr) << c.bytes;
      EXPECT_EQ(lines, c.lines) << c.bytes;
    } catch (const FileError& e) {
      ASSERT_NE(c.detail, nullptr) << c.bytes << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.detail), std::string::npos) << e.what();
      EXPECT_EQ(e.readsAs(), c.readsAs) << c.bytes;
    }
    EXPECT_EQ(refusal(c.bytes, true), refusal(c.bytes, false)) << c.bytes;
    Passed passed;
    const std::string passedRefusal = refusal(c.bytes, true, &passed);
    EXPECT_EQ(passedRefusal, refusal(c.bytes, false)) << c.bytes;
    if (passedRefusal.empty()) {
      EXPECT_EQ(passed.lines, c.lines) << c.bytes;
    }
  }
}

TEST_F(TextLinesTest, JapaneseRoundTripsInUtf8AndCp932) {
  const Lines lines{u"# VLK250->QDN570変換コンフィグ", u"description 1 \"東京 設定\"", u"ip lan1"};
  const std::string utf8 =
      Utf16ToUtf8(lines[0]) + "\r\n" + Utf16ToUtf8(lines[1]) + "\r\nip lan1\r\n";
  const std::string cp932 =
      "# VLK250->QDN570\x95\xcf\x8a\xb7\x83\x52\x83\x93\x83\x74\x83\x42\x83\x4f\r\n"
      "description 1 \"\x93\x8c\x8b\x9e \x90\xdd\x92\xe8\"\r\nip lan1\r\n";
  const struct {
    const char* encoding;
    const std::string& bytes;
  } cases[] = {{"UTF-8", utf8}, {"CP932", cp932}};
  for (const auto& c : cases) {
    ASSERT_TRUE(SetFileEncoding(c.encoding)) << c.encoding;
    ASSERT_TRUE(WriteTextLines(Path("out.txt"), lines));
    EXPECT_EQ(ReadBytes(Path("out.txt")), c.bytes) << c.encoding;
    EXPECT_EQ(ReadBack(c.bytes), lines) << c.encoding;
  }
}

#ifndef _WIN32
// In ISO-2022-JP every switch between kanji and ASCII costs an escape
// sequence, so a line can take more than twice the bytes of its UTF-16
// units: the conversion must grow its buffer and lose nothing.
TEST_F(TextLinesTest, StatefulCharacterSetOutgrowsTheFirstBuffer) {
  if (!SetFileEncoding("ISO-2022-JP")) GTEST_SKIP() << "no ISO-2022-JP";
  std::u16string line;
  for (int i = 0; i < 200; ++i) line += u"東a";
  ASSERT_TRUE(WriteTextLines(Path("out.txt"), {line}));
  const std::string bytes = ReadBytes(Path("out.txt"));
  EXPECT_EQ(bytes.size(), 200 * 9 + 2u);
  EXPECT_EQ(bytes.substr(0, 18), "\x1b$BEl\x1b(Ba\x1b$BEl\x1b(Ba");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_EQ(ReadBack(bytes), Lines{line});
}
#endif

#ifdef _WIN32
TEST_F(TextLinesTest, InputHeldOpenElsewhereCannotBeOpened) {
  // The input is opened without sharing, so the open fails while another
  // handle to the file is open.
  WriteBytes(Path("in.txt"), "ip lan1\r\n");
  std::ofstream holder(Path("in.txt"), std::ios::app);
  ASSERT_TRUE(holder);
  Lines lines;
  EXPECT_FALSE(ReadTextLines(Path("in.txt"), lines));
  holder.close();
  EXPECT_TRUE(ReadTextLines(Path("in.txt"), lines));
}
#endif

#ifdef __linux__
// A read that fails after the open is an error naming the file, never a
// configuration cut short.
TEST_F(TextLinesTest, ReadErrorIsNotAShortFile) {
  // Reading a process's own memory from offset 0 fails with an I/O error.
  const std::filesystem::path memory = "/proc/self/mem";
  if (!std::filesystem::exists(memory)) GTEST_SKIP() << "no " << memory;
  EXPECT_TRUE(ExpectReadError(memory, "read error after 0 bytes").empty());
}
#endif

TEST_F(TextLinesTest, TextForStandardStreams) {
  ASSERT_TRUE(SetFileEncoding("CP932"));
  EXPECT_EQ(EncodeText(u"東京"), "\x93\x8c\x8b\x9e");
  EXPECT_EQ(DecodeText("\x93\x8c\x8b\x9e"), u"東京");
  EXPECT_THROW(EncodeText(u"caf\u00e9"), FileError);
  EXPECT_THROW(DecodeText("\x93"), FileError);
}

// Lines handed on in pieces give the bytes of the whole text, in character
// sets with and without a shift state.
TEST_F(TextLinesTest, LineEncoderGivesTheBytesOfTheWholeText) {
  for (const char* encoding : {"UTF-8", "CP932", "ISO-2022-JP"}) {
    SCOPED_TRACE(encoding);
    const bool known = SetFileEncoding(encoding);
#ifdef _WIN32
    if (!known && std::string_view(encoding) == "ISO-2022-JP") continue;  // not under Wine
#endif
    ASSERT_TRUE(known);
    std::u16string whole;
    std::string bytes;
    int pieces = 0;
    LineEncoder encoder(u"\r\n", [&](std::string_view piece) {
      bytes += piece;
      ++pieces;
    });
    for (int i = 0; i < 4000; ++i) {
      const std::u16string line = u"description " + Utf8ToUtf16(std::to_string(i)) + u" 拠点A";
      encoder.Add(line);
      whole += line + u"\r\n";
    }
    encoder.Finish();
    EXPECT_EQ(bytes, EncodeText(whole));
    // Windows encodes a set with a shift state whole.
    if (std::string_view(encoding) != "ISO-2022-JP") {
      EXPECT_GT(pieces, 1);
    }
  }
  LineEncoder lacking(u"\n", [](std::string_view) { ADD_FAILURE() << "bytes handed on"; });
  lacking.Add(u"caf\u00e9");
  EXPECT_THROW(lacking.Finish(), FileError);
}

}  // namespace
