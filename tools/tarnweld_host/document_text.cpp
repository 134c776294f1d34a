#include "document_text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/charset.h"
#include "text/ascii.h"
#include "text/encoding_sniff.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

Result<std::u16string> decodeUtf16(std::string_view bytes, bool bigEndian, const std::string& encoding) {
  if (bytes.size() % 2 != 0) return fail("the " + encoding + " text ends in half a code unit");
  return fromUtf16Bytes(bytes, bigEndian);
}

// A column counts characters: in UTF-8 every byte but a continuation byte
// starts one; in UTF-16, as an editor counts, every code unit.
bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }
bool startsCharacter(char16_t) { return true; }

// "line L, column C" of the position `at` in `text`, both from 1, lines ending at LF.
template <typename Char>
std::string lineAndColumn(std::basic_string_view<Char> text, std::size_t at) {
  const std::basic_string_view<Char> before = text.substr(0, at);
  const std::size_t lineStart = before.rfind(Char('\n'));
  const auto line = std::ranges::count(before, Char('\n')) + 1;
  const auto lineText = before.substr(lineStart == std::basic_string_view<Char>::npos ? 0 : lineStart + 1);
  const auto column = std::ranges::count_if(lineText, [](Char c) { return startsCharacter(c); }) + 1;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// `markLength` bytes of byte-order mark preceded `bytes` in the file: they
// count in the byte offset a failure names.
Result<std::u16string> decodeUtf8(std::string_view bytes, std::size_t markLength = 0) {
  std::optional<std::u16string> text = fromUtf8(bytes);
  if (!text) {
    const std::size_t bad = firstInvalidUtf8(bytes);
    return fail("the bytes are not valid UTF-8 (" + lineAndColumn(bytes, bad) + ", byte offset " +
                std::to_string(markLength + bad) + ")");
  }
  return std::move(*text);
}

// The host connection cannot carry NUL, and handing the plug-in a text with
// a character silently replaced is worse than refusing it: the user is told
// where it stands.
Result<std::u16string> refuseNul(Result<std::u16string> decoded) {
  if (!decoded) return decoded;
  const std::u16string_view text = *decoded;
  const std::size_t nul = text.find(u'\0');
  if (nul == std::u16string_view::npos) return decoded;
  return fail("the text holds a NUL character (" + lineAndColumn(text, nul) +
              "), which the host connection cannot carry");
}

Result<std::u16string> decodeText(std::string_view bytes) {
  const SniffedEncoding sniffed = sniffEncoding(bytes);
  if (!sniffed.declared) {
    // A mark, the UTF-16 shape, or nothing at all: the mark is not text.
    const std::string_view text = bytes.substr(sniffed.markLength);
    if (sniffed.name == kUtf16LeEncoding) return decodeUtf16(text, false, sniffed.name);
    if (sniffed.name == kUtf16BeEncoding) return decodeUtf16(text, true, sniffed.name);
    return decodeUtf8(text, sniffed.markLength);
  }
  const std::string& declared = *sniffed.declared;
  const std::string name = toUpperAscii(std::string_view(declared));
  if (namesUtf8(declared)) return decodeUtf8(bytes);
  if (name.starts_with("UTF-16") || name.starts_with("UCS-2") || name.starts_with("UTF-32")) {
    return fail("the XML declaration names " + declared +
                ", but the file has no byte-order mark and its declaration is not in that encoding");
  }
  return platform::decodeCharset(bytes, name);
}

// Browsers look for a meta charset within the first 1024 bytes only.
constexpr std::size_t kMetaPrescanLength = 1024;

// The charset a <meta> tag in the start of an HTML text names, in either form:
// charset="X", or http-equiv's content="text/html; charset=X".
std::optional<std::string> metaCharset(std::string_view text) {
  text = text.substr(0, kMetaPrescanLength);
  for (std::size_t meta = findIgnoringAsciiCase(text, std::string_view("<meta"), 0); meta != std::string_view::npos;
       meta = findIgnoringAsciiCase(text, std::string_view("<meta"), meta + 1)) {
    const std::string_view tag = text.substr(meta, text.find('>', meta) - meta);
    std::size_t at = findIgnoringAsciiCase(tag, std::string_view("charset"), 0);
    if (at == std::string_view::npos) continue;
    at = tag.find_first_not_of(" \t\r\n", at + 7);
    if (at == std::string_view::npos || tag[at] != '=') continue;
    at = tag.find_first_not_of(" \t\r\n\"'", at + 1);
    if (at == std::string_view::npos) continue;
    const std::size_t end = tag.find_first_of(" \t\r\n\"';/", at);
    return std::string(tag.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
  }
  return std::nullopt;
}

// UTF-16 as an XML parser reads it: "UTF-16" with a little-endian mark, the
// named byte orders without one.
std::optional<std::string> encodeUtf16(std::string_view utf8, std::string_view upper) {
  const std::optional<std::u16string> text = fromUtf8(utf8);
  if (!text) return std::nullopt;
  const bool bigEndian = upper == "UTF-16BE";
  std::string bytes = upper == "UTF-16" ? "\xFF\xFE" : "";
  bytes.reserve(bytes.size() + text->size() * 2);
  for (const char16_t unit : *text) {
    const auto high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

}  // namespace

Result<std::u16string> decodeDocument(std::string_view bytes) { return refuseNul(decodeText(bytes)); }

std::optional<std::string> namedEncoding(std::string_view text) {
  if (std::optional<std::string> declared = sniffEncoding(text).declared) return declared;
  std::optional<std::string> charset = metaCharset(text);
  // As browsers do, a page that names UTF-16 in its own text is read as UTF-8.
  if (charset && toUpperAscii(std::string_view(*charset)).starts_with("UTF-16")) return std::string(kUtf8Encoding);
  return charset;
}

std::optional<std::string> encodeText(std::string_view utf8, std::string_view encoding) {
  const std::string upper = toUpperAscii(encoding);
  if (namesUtf8(upper)) return std::string(utf8);
  if (upper == "UTF-16" || upper == "UTF-16LE" || upper == "UTF-16BE") return encodeUtf16(utf8, upper);
  return platform::encodeCharset(utf8, upper);
}

bool outputStandsAsItIs(std::string_view output, bool toTerminal, bool rawUtf8) {
  if (toTerminal) return output.empty() || output.ends_with('\n');
  if (rawUtf8) return true;
  const std::optional<std::string> name = namedEncoding(output);
  return !name || namesUtf8(*name);
}

std::string outputBytes(std::string output, bool toTerminal, bool rawUtf8) {
  if (toTerminal) {
    if (!output.empty() && !output.ends_with('\n')) output += '\n';
    return output;
  }
  if (rawUtf8) return output;
  const std::optional<std::string> name = namedEncoding(output);
  if (!name || namesUtf8(*name)) return output;
  std::optional<std::string> encoded = encodeText(output, *name);
  return encoded ? std::move(*encoded) : std::move(output);
}

std::optional<std::string_view> utf8TextOf(std::string_view bytes) {
  const std::optional<std::size_t> start = utf8TextStart(bytes);
  if (!start) return std::nullopt;
  const std::string_view text = bytes.substr(*start);
  if (!isUtf8WithoutNul(text)) return std::nullopt;
  return text;
}

std::optional<std::size_t> utf8TextStart(std::string_view head) {
  const SniffedEncoding sniffed = sniffEncoding(head);
  const bool utf8 = sniffed.declared ? namesUtf8(*sniffed.declared) : sniffed.name == kUtf8Encoding;
  if (!utf8) return std::nullopt;
  return sniffed.declared ? 0 : sniffed.markLength;
}

std::string utf8Refusal(std::string_view text, const Utf8Scan& scan, std::size_t markLength) {
  if (scan.stop != Utf8Scan::Stop::kNul) {
    return "the bytes are not valid UTF-8 (" + lineAndColumn(text, scan.end) + ", byte offset " +
           std::to_string(markLength + scan.end) + ")";
  }
  // As decodeDocument places it: the column in UTF-16 units, as an editor counts.
  const std::string_view before = text.substr(0, scan.end);
  const std::size_t lineStart = before.rfind('\n');
  const auto line = std::ranges::count(before, '\n') + 1;
  const std::size_t column =
      utf16LengthOfUtf8(before.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1)) + 1;
  return "the text holds a NUL character (line " + std::to_string(line) + ", column " + std::to_string(column) +
         "), which the host connection cannot carry";
}

}  // namespace tarnweld::host
