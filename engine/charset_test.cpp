#include "engine/textfile.h"

#include <gtest/gtest.h>

#include "engine/file_test_support.h"

namespace {

using Lines = std::vector<std::u16string>;

class CharsetTest : public FileTest {};

TEST_F(CharsetTest, EncodingNames) {
  EXPECT_TRUE(SetFileEncoding("Shift_JIS"));
  EXPECT_EQ(FileEncoding(), "CP932");
  // Shift_JIS files are read as code page 932: 0x5C is a backslash.
  EXPECT_EQ(ReadBack("a\\b~\r\n"), Lines{u"a\\b~"});
  EXPECT_FALSE(SetFileEncoding("NO-SUCH-CHARSET"));
  EXPECT_EQ(FileEncoding(), "CP932");  // the previous choice stays
  // Line ends and "#" would not be plain bytes.
  EXPECT_FALSE(SetFileEncoding("UTF-16LE"));
  EXPECT_TRUE(SetFileEncoding("1252"));
  EXPECT_EQ(ReadBack("caf\xe9"), Lines{u"caf\u00e9"});
  EXPECT_TRUE(SetFileEncoding("utf-8"));
  EXPECT_EQ(ReadBack("\xe6\x9d\xb1"), Lines{u"東"});
}

#ifndef _WIN32
TEST_F(CharsetTest, PlainAsciiLocaleCountsAsUtf8) {
  // The tests run in the C locale, whose character set is plain ASCII.
  ASSERT_TRUE(SetFileEncoding(""));
  EXPECT_EQ(FileEncoding(), "UTF-8");
}
#endif

}  // namespace
