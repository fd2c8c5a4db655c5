// The tool's two languages: how the language is chosen, the catalogue
// against the code and the converter's messages, and representative
// messages of the real binary in English and in Japanese.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "cli/process_test_support.h"
#include "engine/file_test_support.h"
#include "engine/messages.h"
#include "engine/strutil.h"

namespace fs = std::filesystem;

namespace {

// The tests that run the tool in-process assert its English texts.
class EnglishMessages : public ::testing::Environment {
 public:
  void SetUp() override { SetMessageLanguage(Language::kEnglish); }
};
::testing::Environment* const kEnglishMessages =
    ::testing::AddGlobalTestEnvironment(new EnglishMessages);

TEST(LanguageTest, FirstNonEmptyLocaleVariableDecides) {
  const struct {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language language;
  } cases[] = {
      {nullptr, nullptr, "ja_JP.UTF-8", Language::kJapanese},
      {"C", nullptr, "ja_JP.UTF-8", Language::kEnglish},
      {"", "ja_JP.eucJP", "en_US.UTF-8", Language::kJapanese},
      {"", "POSIX", "ja_JP.UTF-8", Language::kEnglish},
      {"ja", "", "", Language::kJapanese},
      {nullptr, "", "", Language::kEnglish},
      {"de_DE.UTF-8", nullptr, nullptr, Language::kEnglish},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LanguageOfLocale(c.lcAll, c.lcMessages, c.lang), c.language) << &c - cases;
  }
}

// Adds to `used` the texts that the calls `call` in the source file `path`
// give as literals (plain or u""), adjacent ones joined, up to the first "{"
// or the closing parenthesis.
void AddCallTexts(const fs::path& path, const std::regex& call, std::set<std::string>& used) {
  const std::regex escape(R"re(\\(.))re");
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  const std::string source(std::istreambuf_iterator<char>(file), {});
  for (std::sregex_iterator c(source.begin(), source.end(), call), end; c != end; ++c) {
    std::string text;
    bool joined = false;
    int depth = 1;
    for (size_t at = c->position() + c->length(); depth > 0; ++at) {
      if (source[at] == 'u' && source[at + 1] == '"') continue;
      if (source[at] == '"') {
        size_t quote = at + 1;
        while (quote = source.find('"', quote), source[quote - 1] == '\\') ++quote;
        text += std::regex_replace(source.substr(at + 1, quote - at - 1), escape, "$1");
        at = quote;
        joined = true;
      } else if (!std::isspace(static_cast<unsigned char>(source[at]))) {
        if (joined) used.insert(text);
        text.clear();
        joined = false;
        depth += (source[at] == '(') - (source[at] == ')');
        if (source[at] == '{' && depth == 1) break;
      }
    }
  }
}

// Every text of `used` has an entry of `context`, and every such entry is
// one of them.
void ExpectEntries(const std::set<std::string>& used, std::string_view context) {
  std::set<std::string> entries;
  for (const CatalogueEntry& entry : CatalogueEntries()) {
    if (entry.context == context) entries.insert(entry.english);
  }
  for (const std::string& text : used) EXPECT_TRUE(entries.count(text)) << "not in ja.po: " << text;
  for (const std::string& text : entries) EXPECT_TRUE(used.count(text)) << "unused: " << text;
}

// Every text the sources of both front ends translate (the tool's files
// and the dialog's result box) has its entry, and every entry without
// context is one of them: the literals given to Tr, Tr16 and Counted.
TEST(CatalogueTest, CoversTheTextsOfTheCode) {
  std::set<std::string> used;
  const std::regex call(R"re(\b(Tr16|Tr|Counted)\()re");
  for (const auto& entry : fs::directory_iterator(fs::path(CNV_CLI_SOURCES))) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".cpp" && name.find("_test") == std::string::npos) {
      AddCallTexts(entry.path(), call, used);
    }
  }
  AddCallTexts(fs::path(CNV_CLI_SOURCES) / ".." / "ui" / "result_box.cpp", call, used);
  ExpectEntries(used, "");
}

// The same for the words of the report's notices and failures (the forms
// given to Said), in every folder of the product: the entries of context
// "report".
TEST(CatalogueTest, CoversTheReportsWords) {
  std::set<std::string> used;
  const std::regex call(R"re(\bSaid\()re");
  for (const char* folder : {"cli", "convert", "engine"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(CNV_CLI_SOURCES) / ".." / folder)) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() != ".cpp" || name.ends_with("_test.cpp")) continue;
      AddCallTexts(entry.path(), call, used);
    }
  }
  EXPECT_GT(used.size(), 10u);
  ExpectEntries(used, "report");
}

// The Japanese of the catalogue, README.ja.md, the packages' readme and
// the Japanese manual page keeps the glossary (docs/glossary.md): none of the variants it rules
// out, and the long-vowel forms. The converter's own fixed messages are not the catalogue's words.
TEST(CatalogueTest, JapaneseKeepsTheGlossary) {
  const std::regex variant(
      "設定一覧|通知|試行|セクション付きのリスト|目印|適用行|写し|全通過|インタフェース|"
      "(フォルダ|サーバ|ルータ|フィルタ|インストーラ|プロバイダ|ヘッダ|カテゴリ|ユーザ)(?!ー)");
  const auto expectNone = [&](const std::string& text, const std::string& where) {
    std::smatch found;
    EXPECT_FALSE(std::regex_search(text, found, variant)) << where << ": " << found.str(0);
  };
  for (const CatalogueEntry& entry : CatalogueEntries()) {
    if (std::string_view(entry.context).starts_with("converter")) continue;
    expectNone(entry.japanese, entry.english);
  }
  for (const char* name :
       {"README.ja.md", "packaging/readme.txt.in", "packaging/cnvqdn570conf.ja.h2m"}) {
    std::ifstream file(fs::path(CNV_CLI_SOURCES) / ".." / name);
    ASSERT_TRUE(file) << name;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
      expectNone(line, std::string(name) + ":" + std::to_string(number));
    }
  }
}

// The converter's messages in the catalogue are the engine's, and English
// adds their meaning.
TEST(CatalogueTest, ConverterMessagesMatchTheEngine) {
  for (int id = kIdsErrorNone; id <= kIdsErrorOutputCheck; ++id) {
    std::u16string message;
    ASSERT_TRUE(LoadMessage(id, message));
    const std::string context = "converter message " + std::to_string(id);
    const CatalogueEntry* found = nullptr;
    for (const CatalogueEntry& entry : CatalogueEntries()) {
      if (entry.context == context) found = &entry;
    }
    ASSERT_NE(found, nullptr) << context;
    EXPECT_EQ(Utf16ToUtf8(message), found->japanese) << context;
    EXPECT_EQ(ConverterMessage(message), message + u" (" + Utf8ToUtf16(found->english) + u")");
  }
}

// Texts of other parts: the first pattern that matches, its placeholders
// filled with what they matched; unknown texts unchanged.
TEST(CatalogueTest, PatternsTranslateOtherPartsTexts) {
  const struct {
    const char* english;
    const char16_t* japanese;
  } cases[] = {
      {"--jobs: Value 300 not in range 1 to 256",
       u"--jobs には 1 から 256 までの値を指定してください（指定された値：300）"},
      {"--encoding: 1 required NAME missing", u"--encoding には NAME を指定してください"},
      {"line 3: bytes that are not valid UTF-8; the whole file reads as CP932",
       u"3 行目：UTF-8 として正しくないバイトがあります。ファイル全体は CP932 として読めます"},
      {"line 3: bytes that are not valid UTF-8", u"3 行目：UTF-8 として正しくないバイトがあります"},
      {"read error after 10 bytes", u"10 バイトを読んだところで読み込みエラーが起きました"},
      {" is required", u" is required"},
      {"something else", u"something else"},
  };
  SetMessageLanguage(Language::kJapanese);
  for (const auto& c : cases) EXPECT_EQ(PatternText(c.english), TerminalText(c.japanese));
  SetMessageLanguage(Language::kEnglish);
  EXPECT_EQ(PatternText("read error after 10 bytes"), "read error after 10 bytes");
}

// Representative texts of the binary in both languages: the start of its
// standard error (of standard output for --help). Natively each row runs in
// both locales; under Wine every child has the test program's UI language
// (Wine fixes it when the program starts), so each run covers that one.
TEST(BilingualTest, RepresentativeMessages) {
  const fs::path dir = TestDir();
  WriteBytes(dir / "config.txt", ReadBytes(fs::path(CNV_EXAMPLES_DIR) / "gui-config.txt"));
  const struct {
    std::vector<std::string> args;
    bool toStdout;
    const char16_t* english;
    const char16_t* japanese;
  } rows[] = {
      {{"-r", "config.txt"},
       false,
       u"cnvqdn570conf: -r, -j and -q go with -o DIR\n",
       u"cnvqdn570conf: -r、-j、-q は -o DIR と一緒に指定してください\n"},
      {{"--bogus"},
       false,
       u"cnvqdn570conf: unknown option --bogus\n",
       u"cnvqdn570conf: 不明なオプションです：--bogus\n"},
      {{"-j", "0", "-o", "out", "config.txt"},
       false,
       u"cnvqdn570conf: --jobs: Value 0 not in range 1 to 256\n",
       u"cnvqdn570conf: --jobs には 1 から 256 までの値を指定してください（指定された値：0）\n"},
      {{"-o", "out", "missing"},
       false,
       u"cnvqdn570conf: missing does not exist\n",
       u"cnvqdn570conf: missing が見つかりません\n"},
      {{"-e", "UTF-8", "config.txt", "out.txt"},
       false,
       u"cnvqdn570conf: converted config.txt (web-GUI save) to out.txt: 35 lines changed by 5 "
       u"steps\n",
       u"cnvqdn570conf: config.txt（Web GUI で保存したコンフィグ）を変換して out.txt "
       u"に書き出しました：5 ステップで 35 行を変更\n"},
      {{"--help"},
       true,
       u"Converts a configuration saved from a VLK250 router",
       u"VLK250 ルーターから保存したコンフィグ"},
      {{"missing.txt"},
       false,
       u"cnvqdn570conf: missing.txt: 入力ファイルのオープンに失敗しました。 (the input file could "
       u"not be opened) (",
       u"cnvqdn570conf: missing.txt: 入力ファイルのオープンに失敗しました。（"},
  };
  for (const Language language : {Language::kEnglish, Language::kJapanese}) {
    ChildOptions options{dir, dir};
    const bool japanese = language == Language::kJapanese;
#ifdef _WIN32
    if (language != UserLanguage()) continue;
    // cli/CMakeLists.txt checks that the Japanese run was one.
    std::cout << "[ language ] " << (japanese ? "Japanese" : "English") << "\n";
#else
    options.locale = japanese ? "ja_JP.UTF-8" : "C.UTF-8";
#endif
    for (const auto& row : rows) {
      fs::remove(dir / "out.txt");
      const ChildRun run = RunChild(BuiltProgram(CNV_CLI_BINARY), row.args, options);
      const std::string& shown = row.toStdout ? run.out : run.err;
      const std::string expected = StderrBytes(japanese ? row.japanese : row.english);
      const std::string other = StderrBytes(japanese ? row.english : row.japanese);
      EXPECT_EQ(shown.substr(0, expected.size()), expected) << options.locale << " " << row.args[0];
      if (expected.rfind(other, 0) != 0) {
        EXPECT_NE(shown.substr(0, other.size()), other) << options.locale << " " << row.args[0];
      }
    }
  }
}

}  // namespace
