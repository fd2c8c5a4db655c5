// Inputs on which a wrong configuration could be handed over as converted:
// each must be refused, fail with its code or be converted with its
// notice, through the tool as a script runs it (--json, an OUTPUT file);
// and every code, on these inputs and the engine's, in words of the user's
// language.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "cli/process_test_support.h"
#include "convert/report_rows_test_support.h"
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

// Codes that no input gives: faults of the program itself, and a DNS
// selector line without a server, which the step's search never finds.
const std::set<std::string> kUnreachableCodes = {"dns-server-missing", "first-pp-gone",
                                                 "operation-error",    "report-incomplete",
                                                 "step-failed",        "url-interface-unknown"};

// Literals of the code's shape that are not codes: the steps' names, words
// of the configurations, character sets and the JSON's converter names.
const std::set<std::string> kNotCodes = {"lan-provider", "pp-provider",     "system-settings",
                                         "url-filter",   "external-memory", "external-database",
                                         "utf-8",        "utf-16le",        "web-gui"};

// The codes the sources of the core and the tool give.
std::set<std::string> CodesOfTheSources() {
  const std::regex literal(R"re("([a-z0-9]+(-[a-z0-9]+)+)")re");
  std::set<std::string> codes;
  for (const char* folder : {"convert", "engine", "cli"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(CNV_CLI_SOURCES) / ".." / folder)) {
      const std::string name = entry.path().filename().string();
      const std::string ext = entry.path().extension().string();
      if (name.find("_test") != std::string::npos || (ext != ".cpp" && ext != ".h")) continue;
      std::ifstream file(entry.path());
      const std::string text{std::istreambuf_iterator<char>(file), {}};
      for (std::sregex_iterator m(text.begin(), text.end(), literal), end; m != end; ++m) {
        if (!kNotCodes.count((*m)[1])) codes.insert((*m)[1]);
      }
    }
  }
  return codes;
}

// `text` without what it quotes of the input or the code: 「…」, '…', "…"
// and <…>.
std::u16string Unquoted(std::u16string text) {
  static const std::pair<char16_t, char16_t> kQuotes[] = {
      {u'「', u'」'}, {u'\'', u'\''}, {u'"', u'"'}, {u'<', u'>'}};
  for (const auto& [open, close] : kQuotes) {
    size_t at;
    while ((at = text.find(open)) != std::u16string::npos) {
      const size_t end = text.find(close, at + 1);
      if (end == std::u16string::npos) break;
      text.erase(at, end - at + 1);
    }
  }
  return text;
}

// Whether `text` holds an English sentence: three words of letters in a
// row, leaving out what it quotes.
bool HasEnglishSentence(const std::u16string& text) {
  static const std::regex kThreeWords(
      "(^|[^A-Za-z/.-])[A-Za-z]{2,}( [A-Za-z]{2,}){2}([^A-Za-z/.-]|$)");
  return std::regex_search(Utf16ToUtf8(Unquoted(text)), kThreeWords);
}

// The lines of --report and the summary that word a notice or a failure.
std::vector<std::u16string> WordedLines(const std::u16string& err, const std::string& code) {
  const std::u16string code16 = Utf8ToUtf16(code);
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start < err.size()) {
    size_t end = err.find(u'\n', start);
    if (end == std::u16string::npos) end = err.size();
    const std::u16string line = err.substr(start, end - start);
    const std::u16string trimmed = line.substr(std::min(line.find_first_not_of(u' '), line.size()));
    if (line.find(code16) != std::u16string::npos || trimmed.rfind(u"失敗", 0) == 0 ||
        trimmed.rfind(u"failed", 0) == 0 || trimmed.rfind(u"cnvqdn570conf:", 0) == 0) {
      lines.push_back(line);
    }
    start = end + 1;
  }
  return lines;
}

struct WordingCase {
  std::string name;
  std::string input;
  std::vector<std::string> options;
  std::string code;
};

// Under a Japanese locale every notice and failure the tool prints is
// Japanese, with no English sentence but what it quotes; under C.UTF-8 it
// is English. Every code that an input can give has an input here.
TEST(WordingTest, EveryCodeInTheUsersLanguage) {
  std::vector<WordingCase> cases;
  for (const SafetyRow& row : kRows) {
    const std::string code = *row.failure ? row.failure : row.notice;
    if (!code.empty()) cases.push_back({row.name, row.input, row.options, code});
  }
  for (const ReportRow& row : kReportRows) cases.push_back({row.name, row.input, {}, row.code});

  std::set<std::string> uncovered = CodesOfTheSources();
  for (const std::string& code : kUnreachableCodes) uncovered.erase(code);
  for (const WordingCase& c : cases) uncovered.erase(c.code);
  for (const std::string& code : uncovered) {
    ADD_FAILURE() << "no input gives " << code << ": add one to a table, or to kUnreachableCodes";
  }

  const fs::path dir = TestDir();
  for (const Language language : {Language::kEnglish, Language::kJapanese}) {
    ChildOptions options{dir, dir};
    const bool japanese = language == Language::kJapanese;
#ifdef _WIN32
    // Every child has the test program's UI language.
    if (language != UserLanguage()) continue;
#else
    options.locale = japanese ? "ja_JP.UTF-8" : "C.UTF-8";
#endif
    for (const WordingCase& c : cases) {
      WriteBytes(dir / "in.txt", c.input);
      std::vector<std::string> args = {"-e", "UTF-8", "-n", "--report"};
      args.insert(args.end(), c.options.begin(), c.options.end());
      args.push_back("in.txt");
      const ChildRun run = RunChild(BuiltProgram(CNV_CLI_BINARY), args, options);
      const std::u16string err = StderrText(run.err);
      const std::vector<std::u16string> lines = WordedLines(err, c.code);
      EXPECT_FALSE(lines.empty()) << c.name << ": status " << run.status << " " << run.failure
                                  << ": " << run.err;
      for (const std::u16string& line : lines) {
        if (japanese) {
          EXPECT_FALSE(HasEnglishSentence(line)) << c.name << ": " << Utf16ToUtf8(line);
        } else if (line.find(Utf8ToUtf16(c.code)) != std::u16string::npos ||
                   line.find(u"failed") != std::u16string::npos) {
          EXPECT_TRUE(HasEnglishSentence(line)) << c.name << ": " << Utf16ToUtf8(line);
        }
      }
    }
  }
}

}  // namespace
