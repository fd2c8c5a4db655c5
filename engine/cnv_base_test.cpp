#include "engine/cnv_base.h"

#include <gtest/gtest.h>

#include "engine/file_error.h"
#include "engine/file_test_support.h"
#include "engine/messages.h"
#include "engine/store_test_support.h"
#include "engine/strutil.h"

namespace {

const std::string kHeader = Utf16ToUtf8(kOutputHeader) + "\r\n";

TEST(CommentSplit, FirstHashOutsideQuotes) {
  const struct {
    std::u16string line, cmd, comment;
  } cases[] = {
      {u"ip lan1 address 192.168.0.1/24 # office", u"ip lan1 address 192.168.0.1/24 ", u"# office"},
      {u"description 1 \"a#b\" #x", u"description 1 \"a#b\" ", u"#x"},
      {u"# System configuration", u"", u"# System configuration"},
      {u"a \"b # c", u"a \"b # c", u""},  // odd quotes: no comment
      {u"", u"", u""},
      {u"pp select 1", u"pp select 1", u""},
      {u"a\\\"#b\"#c", u"a\\\"#b\"", u"#c"},  // a backslash does not escape
      {u"x ## y", u"x ", u"## y"},
      {u"\"\"#", u"\"\"", u"#"},
  };
  for (const auto& c : cases) {
    std::u16string cmd = u"stale", comment = u"stale";
    SplitComment(c.line, cmd, comment);
    EXPECT_EQ(cmd, c.cmd) << Utf16ToUtf8(c.line);
    EXPECT_EQ(comment, c.comment) << Utf16ToUtf8(c.line);
  }
}

TEST(LineStore, ErrorMessagesByCode) {
  const char16_t* const messages[] = {
      u"正常です。",
      u"サポートされていません。",
      u"configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。",
      u"エラーです。",
      u"出力ファイルのオープンに失敗しました。",
      u"入力ファイルは変換済みのQDN570用コンフィグです。\nVLK250から保存したコンフィグを指定してく"
      u"ださい。",
      u"変換結果の検査で誤りが見つかったため、出力しませんでした。",
  };
  Store store;
  for (int code = 0; code <= 6; ++code) {
    store.SetError(code);
    std::u16string text;
    store.GetErrorMessage(text);
    EXPECT_EQ(text, messages[code]) << code;
  }
  // SetError takes any value; a code without a message leaves the text.
  for (int code : {-1, 7, 110}) {
    store.SetError(code);
    EXPECT_EQ(store.m_error, code);
    std::u16string text = u"before";
    store.GetErrorMessage(text);
    EXPECT_EQ(text, u"before");
  }
  std::u16string text;
  ASSERT_TRUE(LoadMessage(kIdsErrorInputOpen, text));
  EXPECT_EQ(text, u"入力ファイルのオープンに失敗しました。");
  EXPECT_FALSE(LoadMessage(999, text));
}

TEST(LineStore, ClearKeepsTheErrorCode) {
  Store store({u"a"});
  store.SetError(2);
  store.Clear();
  EXPECT_EQ(store.LineCount(), 0);
  EXPECT_TRUE(store.CommentLines().empty());
  EXPECT_EQ(store.m_error, 2);
}

class LineStoreFiles : public FileTest {};

TEST_F(LineStoreFiles, LoadSplitsAndAppends) {
  WriteBytes(Path("in.txt"), "ip lan1 # office\r\n\r\n# System configuration\na \"b # c");
  Store store({u"kept"});
  ASSERT_EQ(store.Load(Path("in.txt")), 1);
  EXPECT_EQ(store.CmdLines(),
            (std::vector<std::u16string>{u"kept", u"ip lan1 ", u"", u"", u"a \"b # c"}));
  EXPECT_EQ(store.CommentLines(),
            (std::vector<std::u16string>{u"", u"# office", u"", u"# System configuration", u""}));
  EXPECT_EQ(store.m_error, 0);
}

// A file is refused as it is read: none of its lines stays appended, not
// even those passed on before the refusal showed (a NUL byte after the
// first block).
TEST_F(LineStoreFiles, RefusedFileAppendsNoLine) {
  const std::string lines = "one\ntwo # c\n" + std::string(70000, 'x') + "\n";
  for (const std::string& bytes : {lines + "\xff\nfour\n", lines + std::string(1, '\0')}) {
    WriteBytes(Path("in.txt"), bytes);
    Store store({u"kept"});
    EXPECT_THROW(store.Load(Path("in.txt")), FileError);
    EXPECT_EQ(store.CmdLines(), std::vector<std::u16string>{u"kept"});
    EXPECT_EQ(store.CommentLines(), std::vector<std::u16string>{u""});
  }
}

TEST_F(LineStoreFiles, MissingInputIsNotAnError) {
  Store store;
  EXPECT_EQ(store.Load(Path("missing.txt")), 0);
  EXPECT_EQ(store.m_error, 0);
  EXPECT_EQ(store.LineCount(), 0);
}

TEST_F(LineStoreFiles, LoadAndSaveReproduceEveryLineAfterTheHeader) {
  const std::string lines =
      "# comment line\n"
      "ip lan1 address 192.168.0.1/24 # office\n"
      "\n"
      "description 1 \"a#b\" #x\n"
      "  indented\twith tab  \n"
      "a \"b # c\n"
      "description 2 \"東京\"\n"
      "bare\rcr\n"
      "\n"
      "last line without line end";
  WriteBytes(Path("in.txt"), lines);
  Store store;
  ASSERT_EQ(store.Load(Path("in.txt")), 1);
  EXPECT_EQ(store.LineCount(), 10);
  ASSERT_EQ(store.Save(Path("out.txt")), 1);
  EXPECT_EQ(ReadBytes(Path("out.txt")), ExpectedOutput(lines));
}

TEST_F(LineStoreFiles, EmptyStoreWritesOnlyTheHeader) {
  WriteBytes(Path("in.txt"), "");
  Store store;
  ASSERT_EQ(store.Load(Path("in.txt")), 1);
  EXPECT_EQ(store.LineCount(), 0);
  ASSERT_EQ(store.Save(Path("out.txt")), 1);
  EXPECT_EQ(ReadBytes(Path("out.txt")), kHeader);
}

TEST_F(LineStoreFiles, OutputThatCannotBeCreatedIsCode4) {
  Store store;
  EXPECT_EQ(store.Save(dir_ / "missing" / "out.txt"), 0);
  EXPECT_EQ(store.m_error, kCnvOutputOpen);
  std::u16string text;
  store.GetErrorMessage(text);
  EXPECT_EQ(text, u"出力ファイルのオープンに失敗しました。");
}

TEST_F(LineStoreFiles, HeaderTheOutputCannotHoldIsAWriteError) {
  ASSERT_TRUE(SetFileEncoding("ISO-8859-1"));
  WriteBytes(Path("out.txt"), "old\r\n");
  Store store;
  EXPECT_THROW(store.Save(Path("out.txt")), FileError);
  EXPECT_EQ(ReadBytes(Path("out.txt")), "old\r\n");
  EXPECT_EQ(store.m_error, 0);
}

// Bytes already read keep the lines before the bad one (a file is refused
// as it is read, before any line: TextLinesTest).
TEST_F(LineStoreFiles, ReadErrorKeepsTheLinesBeforeIt) {
  Store store;
  EXPECT_THROW(store.LoadBytes("one\ntwo # c\n\xff\nfour\n", "in.txt"), FileError);
  EXPECT_EQ(store.CmdLines(), (std::vector<std::u16string>{u"one", u"two "}));
  EXPECT_EQ(store.CommentLines(), (std::vector<std::u16string>{u"", u"# c"}));
}

}  // namespace
