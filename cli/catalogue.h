// The tool's texts in the user's language: English as written in the code,
// or Japanese from the catalogue cli/po/ja.po (compiled into the program at
// build time, the same table on every platform). Texts may hold the
// placeholders {1} to {9}, which the translation keeps in its own order.
#ifndef CNV_CLI_CATALOGUE_H_
#define CNV_CLI_CATALOGUE_H_

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "engine/report.h"

enum class Language { kEnglish, kJapanese };

// The language of a POSIX environment: the first non-empty of LC_ALL,
// LC_MESSAGES and LANG (null for unset); Japanese when it starts with "ja".
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The user's language: on Windows the user's UI language, elsewhere the
// environment's (LanguageOfLocale).
Language UserLanguage();

// The language of the tool's texts: the user's unless SetMessageLanguage
// chose one (the tests do). Set it before any run starts.
Language MessageLanguage();
void SetMessageLanguage(Language language);

// `english` (UTF-8) in the message language.
std::string_view Translated(std::string_view english);

// `text` with {1}... replaced by `args`; a placeholder without an argument
// is left as it is.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> args);
std::u16string Fill(std::u16string_view text, std::initializer_list<std::u16string_view> args);

// `text` in the terminal's character set (the locale's, whatever -e chose
// for configuration files); UTF-8 when the locale cannot represent it.
std::string TerminalText(const std::u16string& text);

// `english` translated and in the terminal's character set, with {1}...
// replaced by `args`, which already are bytes for the terminal (paths,
// numbers).
std::string Tr(std::string_view english, std::initializer_list<std::string_view> args = {});
// `english` translated, as UTF-16, with {1}... replaced by `args`.
std::u16string Tr16(std::string_view english, std::initializer_list<std::u16string_view> args = {});

// The converter's own message `message` (Japanese, engine/messages.cpp) as
// the tool shows it: as it is, followed under English by its meaning from
// the catalogue, " (the input file could not be opened)".
std::u16string ConverterMessage(const std::u16string& message);

// The words of a notice or failure of the report in the message language:
// under Japanese the catalogue's entry of context "report" for its form,
// filled with its facts; else, or without an entry, `english` (the words
// filled as the JSON gives them).
std::u16string Worded(const ReportText& words, std::u16string_view english);

// An English text of another part (the command-line library's usage
// errors, the file layer's reasons) in the message language and the
// terminal's character set: the catalogue's entries of context "pattern"
// are patterns whose placeholders stand for any text, taken over as it is.
// Unknown texts stay as they are.
std::string PatternText(std::string_view english);

// One entry of the catalogue.
struct CatalogueEntry {
  const char* context;  // "" for most texts
  const char* english;
  const char* japanese;
};

// The whole catalogue, in the order of the file.
std::span<const CatalogueEntry> CatalogueEntries();

#endif  // CNV_CLI_CATALOGUE_H_
