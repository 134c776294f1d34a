// Turns a fuzzer's bytes into the program's text. Bytes are read as UTF-8,
// leniently, so that the seeds stay readable and every input is some text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "text/text.h"
#include "text/utf.h"

namespace tarnweld::fuzz {

inline Text textOf(const std::uint8_t* data, std::size_t size) {
  return textFromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

// Splits the input at its first NUL byte into two texts.
inline std::pair<Text, Text> twoTextsOf(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find('\0');
  if (split == std::string_view::npos) return {textFromUtf8(bytes), ""};
  return {textFromUtf8(bytes.substr(0, split)), textFromUtf8(bytes.substr(split + 1))};
}

// Stops the fuzzer with a finding when a property does not hold.
inline void require(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace tarnweld::fuzz
