// Comparisons that ignore the case of the ASCII letters A to Z only; every
// other character must match exactly (U+0130 is not "i"). For the program's
// text and for bytes alike. Case is changed by the same rule, never by locale.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

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
// Documents run to millions of characters and seldom hold the target: its
// first two characters are looked for a block at a time, in a loop without
// a branch the compiler can run on several characters at once.
template <typename Char>
constexpr std::size_t findIgnoringAsciiCase(std::basic_string_view<Char> text, std::basic_string_view<Char> target,
                                            std::size_t from) {
  constexpr std::size_t npos = std::basic_string_view<Char>::npos;
  constexpr std::size_t kBlock = 16;
  if (from > text.size() || target.size() > text.size() - from) return npos;
  const std::size_t last = text.size() - target.size();  // the last place it can start
  const auto at = [&](std::size_t start) { return equalsIgnoringAsciiCase(text.substr(start, target.size()), target); };
  for (std::size_t start = from; start <= last;) {
    if (target.size() >= 2 && last - start >= kBlock) {
      const Char first = foldAscii(target[0]), second = foldAscii(target[1]);
      bool candidate = false;
      for (std::size_t k = 0; k < kBlock; ++k) {
        candidate |= (foldAscii(text[start + k]) == first) & (foldAscii(text[start + k + 1]) == second);
      }
      for (std::size_t k = 0; candidate && k < kBlock; ++k) {
        if (at(start + k)) return start + k;
      }
      start += kBlock;
    } else {
      if (at(start)) return start;
      ++start;
    }
  }
  return npos;
}

}  // namespace tarnweld
