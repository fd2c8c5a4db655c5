#include "engine/codec.h"

bool WidenAscii(std::string_view bytes, std::u16string& out) {
  // Loops without early exits, which compilers turn into vector code.
  unsigned char all = 0;
  for (char c : bytes) all |= static_cast<unsigned char>(c);
  if (all >= 0x80) return false;
  out.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return true;
}

bool NarrowAscii(std::u16string_view text, std::string& out) {
  char16_t all = 0;
  for (char16_t c : text) all |= c;
  if (all >= 0x80) return false;
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
  return true;
}

bool KeepsAscii(const Codec& codec) {
  std::string bytes;
  std::u16string units;
  for (int c = 0; c < 0x80; ++c) {
    bytes += static_cast<char>(c);
    units += static_cast<char16_t>(c);
  }
  std::u16string decoded;
  std::string encoded;
  return codec.Decode(bytes, decoded) && decoded == units && codec.Encode(units, encoded) &&
         encoded == bytes;
}
