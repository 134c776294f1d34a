#include "text/text.h"

#include "text/utf.h"

namespace tarnweld {

#if TARNWELD_TEXT_UTF16

std::string textToUtf8(TextView text) { return toUtf8(text); }
std::string textToUtf8WithoutNul(TextView text) { return toUtf8WithoutNul(text); }
Text textFromUtf8(std::string_view bytes) { return fromUtf8Lenient(bytes); }
void appendTextFromUtf8(Text& text, std::string_view bytes) { appendUtf8Lenient(text, bytes); }
Text textFromAscii(std::string_view ascii) { return fromAscii(ascii); }
std::size_t utf16Length(TextView text) { return text.size(); }
Text firstUtf16Units(TextView text, std::size_t units) { return Text(text.substr(0, units)); }

#else

namespace {

// A text is well-formed UTF-8 already; the copy is checked all the same, so
// that no text, however it was made, can make a channel refuse it.
std::string checkedCopy(TextView text, Utf8Nul nul) {
  std::string utf8;
  utf8.reserve(text.size());
  appendUtf8Lenient(utf8, text, nul);
  return utf8;
}

}  // namespace

std::string textToUtf8(TextView text) { return checkedCopy(text, Utf8Nul::kKeep); }
std::string textToUtf8WithoutNul(TextView text) { return checkedCopy(text, Utf8Nul::kReplace); }

Text textFromUtf8(std::string_view bytes) {
  Text text;
  appendTextFromUtf8(text, bytes);
  return text;
}

void appendTextFromUtf8(Text& text, std::string_view bytes) { appendUtf8Lenient(text, bytes); }

Text textFromAscii(std::string_view ascii) { return Text(ascii); }

std::size_t utf16Length(TextView text) { return utf16LengthOfUtf8(text); }

Text firstUtf16Units(TextView text, std::size_t units) {
  std::size_t at = 0;
  for (std::size_t counted = 0; at < text.size() && counted < units;) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 4 && counted + 1 == units) {
      // Only the high half of the pair would be kept: it reaches the host
      // as U+FFFD.
      return Text(text.substr(0, at)) + "\xEF\xBF\xBD";
    }
    counted += length == 4 ? 2 : 1;
    at += length;
  }
  return Text(text.substr(0, at));
}

#endif

}  // namespace tarnweld
