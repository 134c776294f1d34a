#include "text/text.h"

#include <algorithm>

#include "text/utf.h"

namespace tarnweld {

#if TARNWELD_TEXT_UTF16

Text withAsciiReplaced(TextView text, TextUnit from, TextUnit to) {
  Text replaced(text);
  std::replace(replaced.begin(), replaced.end(), from, to);
  return replaced;
}

std::string textToUtf8(TextView text) { return toUtf8(text); }
std::string textToUtf8WithoutNul(TextView text) { return toUtf8WithoutNul(text); }
Text textFromUtf8(std::string_view bytes) { return fromUtf8Lenient(bytes); }
void appendTextFromUtf8(Text& text, std::string_view bytes) { appendDecodedUtf8(text, bytes); }
Text textFromOwnedUtf8(std::string bytes) { return fromUtf8Lenient(bytes); }
Text textFromAscii(std::string_view ascii) { return fromAscii(ascii); }
std::size_t utf16Length(TextView text) { return text.size(); }
std::size_t utf16Length(const Text& text) { return text.size(); }
Text firstUtf16Units(TextView text, std::size_t units) { return Text(text.substr(0, units)); }

#else

namespace {

constexpr TextView kReplacement = TXT("\xEF\xBF\xBD");

// Bytes a scan found not to be text as they stand, mended: U+FFFD for each
// ill-formed sequence and each NUL.
std::string mended(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 2 * kReplacement.size());
  appendMendedUtf8(out, bytes, Utf8Nul::kReplace);
  return out;
}

}  // namespace

// One ASCII character for another leaves the text well-formed.
Text withAsciiReplaced(TextView text, TextUnit from, TextUnit to) {
  std::string replaced(text.bytes());
  std::replace(replaced.begin(), replaced.end(), from, to);
  return Text::trusted(std::move(replaced), Text::kUnknownUnits);
}

// A text is well-formed UTF-8 without NUL: its bytes are what every channel
// takes, as they stand.
std::string textToUtf8(TextView text) { return std::string(text.bytes()); }
std::string textToUtf8WithoutNul(TextView text) { return std::string(text.bytes()); }

Text textFromUtf8(std::string_view bytes) {
  const Utf8Scan scan = scanUtf8(bytes);
  if (scan.stop == Utf8Scan::Stop::kEnd) return Text::trusted(std::string(bytes), scan.utf16Units);
  return Text::trusted(mended(bytes), Text::kUnknownUnits);
}

Text Text::checked(std::string_view bytes) { return textFromUtf8(bytes); }

Text textFromOwnedUtf8(std::string bytes) {
  const Utf8Scan scan = scanUtf8(bytes);
  if (scan.stop == Utf8Scan::Stop::kEnd) return Text::trusted(std::move(bytes), scan.utf16Units);
  return Text::trusted(mended(bytes), Text::kUnknownUnits);
}

void appendTextFromUtf8(Text& text, std::string_view bytes) {
  if (scanUtf8(bytes).stop == Utf8Scan::Stop::kEnd) {
    text.append(TextView::trusted(bytes));
  } else {
    text.append(TextView::trusted(mended(bytes)));
  }
}

HeldText textHeldIn(std::shared_ptr<const TextStorage> storage, NulBytes nul, std::size_t maxUnits) {
  static_assert(kMaxTextUnits == 2'147'483'647, "the default limit of textHeldIn is the host's");
  const auto tooLong = [&] { return "the text is longer than " + std::to_string(maxUnits) + " characters"; };
  const std::string_view bytes = storage->bytes();
  const Utf8Scan scan = scanUtf8(bytes, maxUnits);
  switch (scan.stop) {
    case Utf8Scan::Stop::kEnd:
      return {Text::trusted(std::move(storage), scan.utf16Units), {}};
    case Utf8Scan::Stop::kTooLong:
      return {std::nullopt, tooLong()};
    case Utf8Scan::Stop::kNul:
      if (nul == NulBytes::kRefuse) return {std::nullopt, "the text holds a NUL"};
      break;
    case Utf8Scan::Stop::kIllFormed:
      break;
  }
  // Bytes that are not text as they stand become a mended copy: one U+FFFD
  // for each bad byte or NUL, so the copy is counted again against the limit.
  Text text = Text::trusted(mended(bytes), Text::kUnknownUnits);
  if (utf16Length(text) > maxUnits) return {std::nullopt, tooLong()};
  return {std::move(text), {}};
}

Text textFromAscii(std::string_view ascii) { return textFromUtf8(ascii); }

std::size_t utf16Length(TextView text) { return utf16LengthOfUtf8(text.bytes()); }

std::size_t utf16Length(const Text& text) {
  const std::size_t known = text.knownUtf16Units();
  return known != Text::kUnknownUnits ? known : utf16Length(text.view());
}

Text firstUtf16Units(TextView text, std::size_t units) {
  std::size_t at = 0;
  for (std::size_t counted = 0; at < text.size() && counted < units;) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 4 && counted + 1 == units) {
      // Only the high half of the pair would be kept: it reaches the host
      // as U+FFFD.
      return Text(text.substr(0, at)).append(kReplacement);
    }
    counted += length == 4 ? 2 : 1;
    at += length;
  }
  return Text(text.substr(0, at));
}

#endif

}  // namespace tarnweld
