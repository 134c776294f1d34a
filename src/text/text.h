// The program's text: one type, held in the form its platform's edges speak.
// On Windows that is UTF-16, what a BSTR holds; on Linux it is UTF-8, what the
// bus and libxml2 speak, so a document or a result crosses those edges
// without a conversion or a second copy. Every result the host sees is the
// same either way: where the host counts characters (a report's cut, a
// column), it counts UTF-16 units, and this file counts them so on Linux too.
// A text from outside on Linux is well-formed UTF-8 (U+FFFD stands for a bad
// sequence); a NUL may be part of a text in either form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnweld {

#if TARNWELD_TEXT_UTF16
using TextUnit = char16_t;
// A fixed text in the program's form, from a literal.
#define TXT(literal) u##literal
#else
using TextUnit = char;
#define TXT(literal) literal
#endif

using Text = std::basic_string<TextUnit>;
using TextView = std::basic_string_view<TextUnit>;

// The text as UTF-8: an unpaired surrogate (UTF-16 only) becomes U+FFFD.
std::string textToUtf8(TextView text);
// As textToUtf8, but a NUL becomes U+FFFD too: for channels that cannot carry
// NUL (the bus, C strings).
std::string textToUtf8WithoutNul(TextView text);

// Text from bytes in UTF-8; each ill-formed sequence becomes U+FFFD. The
// second form appends to `text`, with no string in between.
Text textFromUtf8(std::string_view bytes);
void appendTextFromUtf8(Text& text, std::string_view bytes);

// Text from a fixed ASCII string.
Text textFromAscii(std::string_view ascii);

// How many UTF-16 units the text takes: its length as the host counts it.
std::size_t utf16Length(TextView text);

// The first `units` UTF-16 units of `text`, as a text. When the cut falls
// between the halves of a surrogate pair, the half that is kept is unpaired;
// in UTF-8 it is written as U+FFFD, as it would reach the host.
Text firstUtf16Units(TextView text, std::size_t units);

}  // namespace tarnweld
