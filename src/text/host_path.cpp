#include "text/host_path.h"

#include <algorithm>

namespace tarnweld {
namespace {

template <typename Char>
constexpr bool isAsciiLetter(Char c) {
  return (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'));
}

template <typename Char>
constexpr bool isSchemeCharacter(Char c) {
  return isAsciiLetter(c) || (c >= Char('0') && c <= Char('9')) || c == Char('+') || c == Char('-') || c == Char('.');
}

template <typename Char>
bool hasScheme(std::basic_string_view<Char> location) {
  const std::size_t colon = location.find(Char(':'));
  if (colon == std::basic_string_view<Char>::npos || colon < 2) return false;
  return isAsciiLetter(location[0]) &&
         std::all_of(location.begin(), location.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](Char c) { return isSchemeCharacter(c); });
}

}  // namespace

bool hasUriScheme(std::u16string_view location) { return hasScheme(location); }
bool hasUriScheme(std::string_view location) { return hasScheme(location); }

std::string toHostPath(std::string_view posixPath) {
  std::string path(posixPath);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

Text fromHostPath(TextView hostPath) {
  if (hasUriScheme(unitsOf(hostPath))) return Text(hostPath);
  return withAsciiReplaced(hostPath, TXT('\\'), TXT('/'));
}

}  // namespace tarnweld
