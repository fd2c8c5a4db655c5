#include <gtest/gtest.h>

#include "convert/cnv_tftp.h"
#include "engine/file_test_support.h"

namespace {

class Listing : public FileTest {
 protected:
  int Recognise(const std::string& text) {
    WriteBytes(Path("in.txt"), text);
    CCnvTFTP converter;
    const int result = converter.Load(Path("in.txt"));
    EXPECT_EQ(converter.m_error, 0);  // recognition never sets an error
    return result;
  }
};

TEST_F(Listing, BothMarkersAnywhereInAnyOrder) {
  const struct {
    const char* name;
    const char* text;
    int result;
  } cases[] = {
      {"command and comment line", "clear configuration\n#\n# System configuration\n#\nip lan1\n",
       1},
      {"reverse order", "# System configuration\nip lan1\nclear configuration\n", 1},
      {"commented clear", "#clear configuration\n## System configuration\n", 1},
      {"blank-separated clear", "# clear configuration\n#\t System configuration  \n", 1},
      {"one line, both parts", "clear configuration # System configuration\n", 1},
      {"hash in quotes counts", "clear configuration\ndescription 1 \"# System configuration\"\n",
       1},
      {"no clear marker", "# System configuration\nip lan1\n", 0},
      {"no system marker", "clear configuration\nip lan1\n", 0},
      {"system marker without hash", "clear configuration\nSystem configuration\n", 0},
      {"lower-case system", "clear configuration\n# system configuration\n", 0},
      {"empty file", "", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Recognise(c.text), c.result) << c.name;
}

TEST_F(Listing, LinesStayLoaded) {
  WriteBytes(Path("in.txt"), "clear configuration\n# System configuration\nip lan1\n");
  CCnvTFTP converter;
  ASSERT_EQ(converter.Load(Path("in.txt")), 1);
  EXPECT_EQ(converter.LineCount(), 3);
  EXPECT_EQ(converter.CmdLines()[2], u"ip lan1");
}

TEST_F(Listing, MissingFile) {
  CCnvTFTP converter;
  EXPECT_EQ(converter.Load(Path("missing.txt")), 0);
  EXPECT_EQ(converter.m_error, 0);
}

}  // namespace
