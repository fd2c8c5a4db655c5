#include "fuzz/json_oracle.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string_view>

bool ValidUtf8(std::string_view text) {
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xe  ? 3
                          : (lead >> 3) == 0x1e ? 4
                                                : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    if (code < kLeast[length] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000)) return false;
    i += length;
  }
  return true;
}

namespace {

// How often `needle` occurs in `text`.
std::size_t Occurrences(std::string_view text, std::string_view needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

const char* JsonDocumentFault(std::string_view json, bool converted, std::size_t edits) {
  if (!ValidUtf8(json)) return "the JSON document is valid UTF-8";
  if (!nlohmann::json::accept(json)) return "the JSON document parses";
  // Inside a JSON string every double quote is escaped, so these keys
  // followed by their values occur nowhere else.
  if (Occurrences(json, converted ? "\"result\":\"converted\"" : "\"result\":\"failed\"") != 1) {
    return "the JSON document says whether the input was converted";
  }
  if (Occurrences(json, "{\"op\":\"") != edits) return "the JSON document holds every edit";
  return nullptr;
}
