#include "bench/search_patterns.h"

#include <cstddef>
#include <map>

#include "convert/converter_patterns_test_support.h"

namespace {

size_t AtomEnd(const std::u16string& p, size_t i);

// Translates p[i, end) and appends it to `out`.
void Translate(const std::u16string& p, size_t i, size_t end, std::string& out) {
  while (i < end) {
    const char16_t c = p[i];
    if (c == u'{') {
      out += '(';
      ++i;
    } else if (c == u'(') {
      out += "(?:";
      ++i;
    } else if (c == u'}' || c == u')') {
      out += ')';
      ++i;
    } else if (c == u'[') {
      const size_t close = AtomEnd(p, i);
      for (size_t k = i; k < close; ++k) out += static_cast<char>(p[k]);
      i = close;
    } else if (c == u'\\' && i + 1 < end) {
      const char16_t e = p[i + 1];
      const bool letterOrDigit =
          (e >= u'a' && e <= u'z') || (e >= u'A' && e <= u'Z') || (e >= u'0' && e <= u'9');
      if (!letterOrDigit) out += '\\';
      out += static_cast<char>(e);
      i += 2;
    } else if (c == u'!') {
      const size_t atomEnd = AtomEnd(p, i + 1);
      out += "(?!";
      Translate(p, i + 1, atomEnd, out);
      out += ')';
      i = atomEnd;
    } else if (c == u'^' || c == u'$') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
}

// Index just after the atom that starts at i: a bracketed group, a class,
// an escape or one character.
size_t AtomEnd(const std::u16string& p, size_t i) {
  if (i >= p.size()) return i;
  const char16_t open = p[i];
  if (open == u'[') {
    size_t k = i + 1;
    if (k < p.size() && p[k] == u'^') ++k;
    for (; k < p.size(); ++k) {
      if (p[k] == u'\\') {
        ++k;
      } else if (p[k] == u']' && k > i + 1) {
        return k + 1;
      }
    }
    return p.size();
  }
  if (open == u'(' || open == u'{') {
    const char16_t close = open == u'(' ? u')' : u'}';
    int depth = 0;
    for (size_t k = i; k < p.size(); ++k) {
      if (p[k] == u'[') {
        k = AtomEnd(p, k) - 1;
      } else if (p[k] == u'\\') {
        ++k;
      } else if (p[k] == open) {
        ++depth;
      } else if (p[k] == close && --depth == 0) {
        return k + 1;
      }
    }
    return p.size();
  }
  if (open == u'\\') return i + 2;
  return i + 1;
}

}  // namespace

std::string ToPcreSyntax(const std::u16string& pattern) {
  std::string out;
  Translate(pattern, 0, pattern.size(), out);
  return out;
}

std::vector<SearchPattern> BenchPatterns() {
  // RE2 has no look-ahead: these consume the unit after the group instead,
  // which finds the same lines and the same span of the first group.
  const std::map<std::string, std::string> re2Forms = {
      {"pp_enable_n", "(pp enable 5)(?:[^0-9]|$)"},
      {"pp_select_n", "(pp select 1)(?:[^0-9]|$)"},
      {"reputation_not_off", "(reputation )(?:$|[^o]|o$|o[^f]|of$|of[^f])"},
  };
  std::vector<SearchPattern> patterns;
  for (const ConverterPattern& p : ConverterPatterns()) {
    const auto re2 = re2Forms.find(p.id);
    patterns.push_back(
        {p.id, p.text, p.includeComments, "", re2 == re2Forms.end() ? "" : re2->second});
  }
  return patterns;
}
