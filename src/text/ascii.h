// Comparisons that ignore the case of the ASCII letters A to Z only; every
// other character must match exactly (U+0130 is not "i"). For the program's
// text and for bytes alike. Case is changed by the same rule, never by locale.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tarnweld {

template <typename Char>
constexpr Char foldAscii(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c + ('a' - 'A')) : c;
}

// `text` with the ASCII letters a to z in upper case, for a name that must be
// passed on or shown in one case.
template <typename Char>
std::basic_string<Char> toUpperAscii(std::basic_string_view<Char> text) {
  std::basic_string<Char> upper(text);
  for (Char& c : upper) {
    if (c >= Char('a') && c <= Char('z')) c = static_cast<Char>(c - ('a' - 'A'));
  }
  return upper;
}

template <typename Char>
constexpr bool equalsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return foldAscii(x) == foldAscii(y); });
}

template <typename Char>
constexpr bool startsWithIgnoringAsciiCase(std::basic_string_view<Char> text, std::basic_string_view<Char> start) {
  return text.size() >= start.size() && equalsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

// The first position at or after `from` where `target` occurs, or npos.
template <typename Char>
constexpr std::size_t findIgnoringAsciiCase(std::basic_string_view<Char> text, std::basic_string_view<Char> target,
                                            std::size_t from) {
  constexpr auto npos = std::basic_string_view<Char>::npos;
  if (from > text.size()) return npos;
  // A target that starts with anything but a letter ("<?xml-stylesheet") is
  // looked for by its first character, which the library finds fastest: a
  // large document without the target is passed over at memory speed.
  if (!target.empty() && foldAscii(target[0]) == target[0] && !(target[0] >= Char('a') && target[0] <= Char('z'))) {
    for (std::size_t at = text.find(target[0], from); at != npos; at = text.find(target[0], at + 1)) {
      if (text.size() - at < target.size()) return npos;
      if (equalsIgnoringAsciiCase(text.substr(at, target.size()), target)) return at;
    }
    return npos;
  }
  const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), target.begin(),
                              target.end(), [](Char a, Char b) { return foldAscii(a) == foldAscii(b); });
  return it == text.end() ? std::basic_string_view<Char>::npos : static_cast<std::size_t>(it - text.begin());
}

#if !TARNWELD_TEXT_UTF16
// The same for the program's text, read as its bytes: ASCII case folding
// leaves every other character as it is.
inline bool equalsIgnoringAsciiCase(TextView a, TextView b) { return equalsIgnoringAsciiCase(a.bytes(), b.bytes()); }
inline bool startsWithIgnoringAsciiCase(TextView text, TextView start) {
  return startsWithIgnoringAsciiCase(text.bytes(), start.bytes());
}
inline std::size_t findIgnoringAsciiCase(TextView text, TextView target, std::size_t from) {
  return findIgnoringAsciiCase(text.bytes(), target.bytes(), from);
}
#endif

}  // namespace tarnweld
