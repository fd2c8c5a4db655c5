// Build tool (runs on the build machine): writes the STRINGTABLE of the
// dialog program's resources from the engine's message table, so that the
// texts exist in one place only. Output is UTF-8 for windres with
// "#pragma code_page(65001)".
#include <cstdio>
#include <string>

#include "engine/messages.h"
#include "engine/strutil.h"

namespace {

// A resource-script string literal: quotes doubled, backslashes and line
// breaks escaped.
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_string_table OUTPUT.rc\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out, "// Generated from engine/messages.cpp; do not edit.\n");
  std::fprintf(out, "STRINGTABLE\nBEGIN\n");
  int count = 0;
  for (int id = 1; id <= 65535; ++id) {
    std::u16string text;
    if (!LoadMessage(id, text)) continue;
    std::fprintf(out, "    %d, %s\n", id, Quote(Utf16ToUtf8(text)).c_str());
    ++count;
  }
  std::fprintf(out, "END\n");
  return std::fclose(out) == 0 && count > 0 ? 0 : 1;
}
