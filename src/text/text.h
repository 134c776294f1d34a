// The program's text: one type, held in the form its platform's edges speak.
// On Windows that is UTF-16, what a BSTR holds; on Linux it is UTF-8, what the
// bus and libxml2 speak, so a document or a result crosses those edges
// without a conversion or a second copy. Every result the host sees is the
// same either way: where the host counts characters (a report's cut, a
// column), it counts UTF-16 units, and this file counts them so on Linux too.
// On Linux the text is its own type (utf8_text.h): well-formed UTF-8 without
// NUL, checked once where it comes in, U+FFFD standing for each bad sequence
// and each NUL. On Windows it is the UTF-16 string COM hands over, where a
// NUL may be part of a text.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#if !TARNWELD_TEXT_UTF16
#include "text/utf8_text.h"
#endif

namespace tarnweld {

#if TARNWELD_TEXT_UTF16
using TextUnit = char16_t;
using Text = std::basic_string<TextUnit>;
using TextView = std::basic_string_view<TextUnit>;
// A fixed text in the program's form, from a literal.
#define TXT(literal) u##literal
#else
// A fixed text, from a literal checked when it is compiled; a character
// literal stays a character.
#define TXT(literal) ::tarnweld::text_detail::fixed(literal)
namespace text_detail {
consteval char fixed(char c) {
  if (c == 0 || static_cast<unsigned char>(c) >= 0x80) literalIsNotWellFormedUtf8();
  return c;
}
template <std::size_t N>
consteval TextView fixed(const char (&literal)[N]) {
  return TextView::literal(literal);
}
}  // namespace text_detail
#endif

// The text as UTF-8: an unpaired surrogate (UTF-16 only) becomes U+FFFD.
std::string textToUtf8(TextView text);
// As textToUtf8, but a NUL becomes U+FFFD too: for channels that cannot carry
// NUL (the bus, C strings).
std::string textToUtf8WithoutNul(TextView text);

// Text from bytes in UTF-8, checked once; each ill-formed sequence becomes
// U+FFFD, and on Linux each NUL too. The second form appends to `text`, with
// no string in between; the third takes the bytes over, with no copy when
// they are text already.
Text textFromUtf8(std::string_view bytes);
void appendTextFromUtf8(Text& text, std::string_view bytes);
Text textFromOwnedUtf8(std::string bytes);

#if !TARNWELD_TEXT_UTF16
// The text that `storage` holds, checked once and left where it lies: the
// text shares the storage, which lives as long as any text made from it.
// When its bytes are not text as they stand, the text is a mended copy on
// the heap instead (U+FFFD for each bad sequence and NUL), and the storage
// is let go. A text longer than `maxUnits` UTF-16 units (the host's limit,
// kMaxTextUnits) is refused, its count stopped there; with NulBytes::kRefuse
// so is one holding NUL.
enum class NulBytes { kMend, kRefuse };
struct HeldText {
  std::optional<Text> text;
  std::string refusal;  // why there is no text
};
HeldText textHeldIn(std::shared_ptr<const TextStorage> storage, NulBytes nul, std::size_t maxUnits = 2'147'483'647);
#endif

// Text from a fixed ASCII string.
Text textFromAscii(std::string_view ascii);

// A view of fixed ASCII units, checked where they were made (a name
// compiled into the program).
#if TARNWELD_TEXT_UTF16
constexpr TextView fixedAsciiText(const TextUnit* units, std::size_t count) { return {units, count}; }
#else
constexpr TextView fixedAsciiText(const TextUnit* units, std::size_t count) {
  return TextView::trusted({units, count});
}
#endif

// The text's units as a plain view (UTF-16 units on Windows, UTF-8 bytes on
// Linux), for code that reads it unit by unit.
#if TARNWELD_TEXT_UTF16
inline std::u16string_view unitsOf(TextView text) { return text; }
#else
inline std::string_view unitsOf(TextView text) { return text.bytes(); }
#endif

// `text` with every `from` written as `to`, both ASCII characters.
Text withAsciiReplaced(TextView text, TextUnit from, TextUnit to);

// How many UTF-16 units the text takes: its length as the host counts it.
// A text whose edge counted them says so without another pass.
std::size_t utf16Length(TextView text);
std::size_t utf16Length(const Text& text);

// The first `units` UTF-16 units of `text`, as a text. When the cut falls
// between the halves of a surrogate pair, the half that is kept is unpaired;
// in UTF-8 it is written as U+FFFD, as it would reach the host.
Text firstUtf16Units(TextView text, std::size_t units);

}  // namespace tarnweld
