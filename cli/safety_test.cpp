// Inputs on which a wrong configuration could be handed over as converted:
// each must be refused, fail with its code or be converted with its
// notice, through the tool as a script runs it (--json, an OUTPUT file).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// The header line of an earlier output, in UTF-8.
const std::string kHeader = Utf16ToUtf8(kOutputHeader);

// A listing around the PP lines `pps`: the PP and IP filter sections.
std::string Listing(const std::string& pps) {
  return std::string(kListingStart) + "\n#\n# PP configuration\n#\n" + pps +
         "\n#\n# IP filter configuration\n#\nip filter 1 pass * * * * *\n\n#\n# NAT "
         "configuration\n#\nnat descriptor type 1 masquerade\n";
}

struct SafetyRow {
  const char* name;
  std::string input;
  std::vector<std::string> options;  // before INPUT and OUTPUT
  int status;                        // the exit status
  // The failure's code, when the conversion must fail; else empty.
  const char* failure;
  // A notice the conversion must give; may be empty.
  const char* notice = "";
  // A line the output must hold; may be empty.
  const char* line = "";
};

// PP 1 carries the marker of PP 2, and PP 2 its own.
const std::string kMarkerInTheWrongPp =
    "pp select 1\n description pp \"PRV/PPPoE/1:Wrong number\"\n pp enable 1\n"
    "pp select 2\n description pp \"PRV/PPPoE/1:Right number\"\n pp enable 2\n"
    "dns server select 500001 pp 1 any . restrict pp 1\n"
    "dns server select 500002 pp 2 any . restrict pp 2\n";

void PrintTo(const SafetyRow& row, std::ostream* os) {
  *os << row.name;
}

// clang-format off
const SafetyRow kRows[] = {
    // Earlier outputs are refused, whatever they hold.
    {"EarlierOutput", kHeader + "\r\nip lan1 address 192.168.0.1/24\r\n", {},
     kExitConversionFailed, "already-converted"},
    {"EarlierOutputWithByteOrderMark", "\xEF\xBB\xBF" + kHeader + "\nurl lan1 filter in 1\n", {},
     kExitConversionFailed, "already-converted"},
    {"EarlierListingOutput", kHeader + "\n" + Listing("pp select 1\n pp enable 1\n"), {},
     kExitConversionFailed, "already-converted"},
    // The last check of the converted lines.
    {"HeaderOnASecondLine", "ip lan1 address 192.168.0.1/24\n" + kHeader + "\n", {},
     kExitConversionFailed, "output-check"},
    // --strict: any notice fails the conversion.
    {"StrictRefusesANotice",
     "url filter 1 reject *.example.com\nurl filter 2 pass *\nurl lan1 filter in 1\n",
     {"--strict"}, kExitConversionFailed, "strict-notices", "url-rule-dropped"},
    {"StrictKeepsAQuietConversion", "url filter 1 reject *.example.com\nurl lan1 filter in 1\n",
     {"--strict"}, kExitConverted, ""},
    // A PP's marker is taken from its own lines only.
    {"MarkerInTheWrongPp", kMarkerInTheWrongPp, {}, kExitConverted, "", "marker-unconverted",
     " pp name \"PRV/2/1/5/0/0/0:Right number\""},
    {"MarkerInTheWrongPpInAListing", Listing(kMarkerInTheWrongPp), {}, kExitConverted, "",
     "marker-unconverted", " pp name \"PRV/2/1/5/0/0/0:Right number\""},
    // The provider selection and the provider block's name.
    {"ProviderSelectMissing",
     "pp select 1\n description pp \"PRV/PPPoE/0:Main\"\n pp enable 1\n"
     " description pp \"PRV/PPPoE/7:Stray\"\ndns server select 500001 pp 1 any . restrict pp 1\n",
     {}, kExitConverted, "", "provider-select-missing"},
    {"ProviderSelectRepeated",
     "pp select 1\n description pp \"PRV/PPPoE/0:A\"\n pp enable 1\n"
     "pp select 2\n description pp \"PRV/FGA_LAN/1:PPPoE B\"\n pp enable 2\n"
     "dns server select 500001 pp 1 any . restrict pp 1\n"
     "dns server select 500002 pp 2 any . restrict pp 2\n",
     {}, kExitConverted, "", "provider-select-repeated"},
    {"ProviderBlockUnnamedInAListing",
     Listing("pp select 1\n description pp \"PRV/FGA_LAN/1:Wrong\"\n pp enable 1\n"), {},
     kExitConverted, "", "provider-block-unnamed",
     "provider lan2 name \"PPPoE/0/1/5/0/0/0:\""},
    // New rule numbers taken twice: two bindings of one interface and
    // direction, and PP 101 with tunnel 1 (both from 60000).
    {"UrlNumbersCollide", "url lan2 filter in 1\nurl lan2 filter in 2\n", {},
     kExitConversionFailed, "url-number-collision"},
    {"UrlNumbersCollideInAListing",
     Listing("pp select 101\n pp enable 101\n url pp filter in 1\ntunnel select 1\n url tunnel "
             "filter in 1\n"),
     {}, kExitConversionFailed, "url-number-collision"},
};
// clang-format on

class SafetyTest : public ::testing::TestWithParam<SafetyRow> {};

TEST_P(SafetyTest, RefusedFailedOrNoticed) {
  const SafetyRow& row = GetParam();
  const fs::path dir = TestDir();
  WriteBytes(dir / "in.txt", row.input);
  std::vector<std::string> args = {"-e", "UTF-8", "--json"};
  args.insert(args.end(), row.options.begin(), row.options.end());
  args.push_back((dir / "in.txt").string());
  args.push_back((dir / "out.txt").string());
  std::istringstream in;
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  EXPECT_EQ(status, row.status) << err.str();
  EXPECT_EQ(fs::exists(dir / "out.txt"), row.status == kExitConverted) << err.str();

  const Json doc = Json::parse(out.str());
  EXPECT_EQ(doc["result"], row.status == kExitConverted ? "converted" : "failed");
  std::string failure;
  for (const Json& step : doc["steps"]) {
    if (!step["failure"].is_null()) failure = step["failure"]["code"];
  }
  if (!doc["failure"].is_null()) failure = doc["failure"]["code"];
  EXPECT_EQ(failure, row.failure) << out.str();
  if (*row.line) {
    EXPECT_NE(ReadBytes(dir / "out.txt").find(std::string(row.line) + "\r\n"), std::string::npos)
        << ReadBytes(dir / "out.txt");
  }
  if (*row.notice) {
    bool found = false;
    for (const Json& step : doc["steps"]) {
      for (const Json& notice : step["notices"]) found = found || notice["code"] == row.notice;
    }
    EXPECT_TRUE(found) << out.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SafetyTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SafetyRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
