// One UTF-8 character decoded: the rule every check of UTF-8 in the program
// follows (no overlong form, surrogate or code point above U+10FFFF, no
// sequence cut short), constexpr so that a literal is held to it when it is
// compiled.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnweld::utf8 {

// Decodes the sequence at bytes[i]; returns its length, or 0 when it is
// ill-formed (then `cp` is unspecified).
constexpr std::size_t decodeCharacter(std::string_view bytes, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  std::size_t length = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace tarnweld::utf8
