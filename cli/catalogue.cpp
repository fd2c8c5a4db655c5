#include "cli/catalogue.h"

#include <atomic>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "engine/file_error.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Generated from cli/po/ja.po by cli/po/catalogue.cmake.
constexpr CatalogueEntry kEntries[] = {
#include "catalogue_table.inc"
};

// -1: not chosen yet, else a Language.
std::atomic<int> chosenLanguage{-1};

// The texts without context, by their English.
const std::unordered_map<std::string_view, std::string_view>& Japanese() {
  static const auto* const table = [] {
    auto* map = new std::unordered_map<std::string_view, std::string_view>;
    for (const CatalogueEntry& entry : kEntries) {
      if (entry.context[0] == '\0') map->emplace(entry.english, entry.japanese);
    }
    return map;
  }();
  return *table;
}

// Calls `literal` with each piece of `text` between placeholders and
// `placeholder` with each placeholder's number (1 to 9).
template <typename Char, typename Literal, typename Placeholder>
void Pieces(std::basic_string_view<Char> text, Literal literal, Placeholder placeholder) {
  size_t start = 0;
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] == Char('{') && text[i + 1] >= Char('1') && text[i + 1] <= Char('9') &&
        text[i + 2] == Char('}')) {
      literal(text.substr(start, i - start));
      placeholder(static_cast<size_t>(text[i + 1] - Char('0')));
      start = i + 3;
      i += 2;
    }
  }
  literal(text.substr(start));
}

template <typename Char>
std::basic_string<Char> FillText(std::basic_string_view<Char> text,
                                 std::initializer_list<std::basic_string_view<Char>> args) {
  std::basic_string<Char> filled;
  Pieces(
      text, [&](std::basic_string_view<Char> piece) { filled += piece; },
      [&](size_t n) {
        if (n <= args.size()) {
          filled += std::data(args)[n - 1];
        } else {
          const Char kept[] = {Char('{'), static_cast<Char>(Char('0') + n), Char('}')};
          filled.append(kept, 3);
        }
      });
  return filled;
}

// Whether `text` is `pattern` with each placeholder standing for a
// non-empty text; the texts go to `parts` by placeholder number.
bool Matches(std::string_view pattern, std::string_view text, std::string_view (&parts)[10]) {
  size_t at = 0;
  size_t pending = 0;  // a placeholder waiting for the text before the next literal
  bool matched = true;
  Pieces(
      pattern,
      [&](std::string_view literal) {
        if (!matched) return;
        if (pending == 0) {
          matched = text.compare(at, literal.size(), literal) == 0;
          at += literal.size();
          return;
        }
        // The placeholder takes the text up to where the literal next
        // follows (or all the rest, when it ends the pattern).
        const size_t found = literal.empty() ? text.size() : text.find(literal, at + 1);
        if (found == std::string_view::npos || found == at) {
          matched = false;
          return;
        }
        parts[pending] = text.substr(at, found - at);
        at = found + literal.size();
        pending = 0;
      },
      [&](size_t n) { pending = n; });
  return matched && pending == 0 && at == text.size();
}

// `text` (UTF-8) in the terminal's character set, with {1}... replaced by
// `args`, which are terminal bytes already.
std::string TerminalFill(std::string_view text, const std::string_view* args, size_t count) {
  std::string bytes;
  Pieces(
      text,
      [&](std::string_view piece) {
        if (!piece.empty()) bytes += TerminalText(Utf8ToUtf16(piece));
      },
      [&](size_t n) {
        if (n <= count) bytes += args[n - 1];
      });
  return bytes;
}

}  // namespace

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || value[0] == '\0') continue;
    return std::string_view(value).starts_with("ja") ? Language::kJapanese : Language::kEnglish;
  }
  return Language::kEnglish;
}

Language UserLanguage() {
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese
                                                                    : Language::kEnglish;
#else
  return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
#endif
}

Language MessageLanguage() {
  int chosen = chosenLanguage.load(std::memory_order_relaxed);
  if (chosen < 0) {
    chosen = static_cast<int>(UserLanguage());
    chosenLanguage.store(chosen, std::memory_order_relaxed);
  }
  return static_cast<Language>(chosen);
}

void SetMessageLanguage(Language language) {
  chosenLanguage.store(static_cast<int>(language), std::memory_order_relaxed);
}

std::string_view Translated(std::string_view english) {
  if (MessageLanguage() != Language::kJapanese) return english;
  const auto& table = Japanese();
  const auto found = table.find(english);
  return found == table.end() ? english : found->second;
}

std::string TerminalText(const std::u16string& text) {
  try {
    return EncodeTextIn("", text);
  } catch (const FileError&) {
    return Utf16ToUtf8(text);
  }
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> args) {
  return FillText(text, args);
}

std::u16string Fill(std::u16string_view text, std::initializer_list<std::u16string_view> args) {
  return FillText(text, args);
}

std::string Tr(std::string_view english, std::initializer_list<std::string_view> args) {
  return TerminalFill(Translated(english), std::data(args), args.size());
}

std::u16string Tr16(std::string_view english, std::initializer_list<std::u16string_view> args) {
  const std::u16string text = Utf8ToUtf16(Translated(english));
  return Fill(std::u16string_view(text), args);
}

std::u16string ConverterMessage(const std::u16string& message) {
  if (MessageLanguage() == Language::kJapanese) return message;
  const std::string japanese = Utf16ToUtf8(message);
  for (const CatalogueEntry& entry : kEntries) {
    if (std::string_view(entry.context).starts_with("converter") && japanese == entry.japanese) {
      return message + u" (" + Utf8ToUtf16(entry.english) + u")";
    }
  }
  return message;
}

std::u16string Worded(const ReportText& words, std::u16string_view english) {
  if (MessageLanguage() != Language::kJapanese || words.form.empty())
    return std::u16string(english);
  static const auto* const forms = [] {
    auto* map = new std::unordered_map<std::string_view, std::string_view>;
    for (const CatalogueEntry& entry : kEntries) {
      if (std::string_view(entry.context) == "report") map->emplace(entry.english, entry.japanese);
    }
    return map;
  }();
  const auto found = forms->find(Utf16ToUtf8(words.form));
  if (found == forms->end()) return std::u16string(english);
  return Filled(ReportText{Utf8ToUtf16(found->second), words.args});
}

std::string PatternText(std::string_view english) {
  if (MessageLanguage() != Language::kJapanese) return std::string(english);
  for (const CatalogueEntry& entry : kEntries) {
    std::string_view parts[10];
    if (std::string_view(entry.context) != "pattern" || !Matches(entry.english, english, parts)) {
      continue;
    }
    return TerminalFill(entry.japanese, parts + 1, 9);
  }
  return std::string(english);
}

std::span<const CatalogueEntry> CatalogueEntries() {
  return kEntries;
}
