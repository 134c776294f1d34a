#include "document_text.h"

#include <errno.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <climits>
#include <memory>

#include "text/ascii.h"
#include "text/encoding_sniff.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

DecodedDocument failure(std::string encoding, std::string error) {
  return {std::nullopt, std::move(encoding), std::move(error)};
}

DecodedDocument decodeUtf16(std::string_view bytes, bool bigEndian, std::string encoding) {
  if (bytes.size() % 2 != 0) return failure(encoding, "the " + encoding + " text ends in half a code unit");
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return {std::move(text), std::move(encoding), {}};
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
DecodedDocument decodeUtf8(std::string_view bytes, std::string encoding, std::size_t markLength = 0) {
  auto text = fromUtf8(bytes);
  if (!text) {
    const std::size_t bad = firstInvalidUtf8(bytes);
    return failure(encoding, "the bytes are not valid UTF-8 (" + lineAndColumn(bytes, bad) + ", byte offset " +
                                 std::to_string(markLength + bad) + ")");
  }
  return {std::move(text), std::move(encoding), {}};
}

#ifdef _WIN32
// Windows has no iconv: the encodings (upper case) that name a code page of
// the system are read and written through it; others are refused.
std::optional<UINT> codePage(std::string_view encoding) {
  struct CodePage {
    std::string_view name;
    UINT id;
  };
  static constexpr CodePage kCodePages[] = {
      {"US-ASCII", 20127},    {"ASCII", 20127},       {"ISO-8859-1", 28591},  {"LATIN1", 28591},
      {"ISO-8859-2", 28592},  {"ISO-8859-15", 28605}, {"WINDOWS-1250", 1250}, {"WINDOWS-1251", 1251},
      {"WINDOWS-1252", 1252}, {"CP1252", 1252},       {"KOI8-R", 20866},      {"SHIFT_JIS", 932},
      {"EUC-JP", 20932},      {"GB2312", 936},        {"GBK", 936},           {"BIG5", 950},
  };
  const auto page = std::ranges::find(kCodePages, encoding, &CodePage::name);
  if (page == std::end(kCodePages)) return std::nullopt;
  return page->id;
}

DecodedDocument decodeWithIconv(std::string_view bytes, const std::string& encoding) {
  const std::optional<UINT> page = codePage(encoding);
  if (!page || bytes.size() > INT_MAX) {
    return failure(encoding, "the declared encoding \"" + encoding + "\" is not supported");
  }
  if (bytes.empty()) return {std::u16string(), encoding, {}};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(*page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return failure(encoding, "the bytes are not valid " + encoding);
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(*page, MB_ERR_INVALID_CHARS, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), length);
  return {std::move(text), encoding, {}};
}
#else
// Any other declared encoding goes through iconv, to UTF-8 first.
DecodedDocument decodeWithIconv(std::string_view bytes, const std::string& encoding) {
  const iconv_t converter = iconv_open("UTF-8", encoding.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    return failure(encoding, "the declared encoding \"" + encoding + "\" is not supported");
  }
  const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, iconv_close);

  // Four bytes of UTF-8 per input byte covers every single- and multi-byte charset.
  std::string utf8(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
    const std::size_t offset = static_cast<std::size_t>(in - bytes.data());
    const std::string where = " at byte offset " + std::to_string(offset);
    if (errno == EINVAL) return failure(encoding, "the " + encoding + " text ends in an incomplete sequence" + where);
    return failure(encoding, "the bytes are not valid " + encoding + where);
  }
  utf8.resize(utf8.size() - outLeft);
  return decodeUtf8(utf8, encoding);
}
#endif

// The host connection cannot carry NUL, and handing the plug-in a text with
// a character silently replaced is worse than refusing it: the user is told
// where it stands.
DecodedDocument refuseNul(DecodedDocument decoded) {
  if (!decoded.text) return decoded;
  const std::u16string_view text = *decoded.text;
  const std::size_t nul = text.find(u'\0');
  if (nul == std::u16string_view::npos) return decoded;
  return failure(decoded.encoding, "the text holds a NUL character (" + lineAndColumn(text, nul) +
                                       "), which the host connection cannot carry");
}

// Whether `name` names UTF-8, in any case.
bool isUtf8Name(std::string_view name) {
  const std::string upper = toUpperAscii(name);
  return upper == "UTF-8" || upper == "UTF8";
}

DecodedDocument decodeText(std::string_view bytes) {
  const SniffedEncoding sniffed = sniffEncoding(bytes);
  if (!sniffed.declared) {
    // A mark, the UTF-16 shape, or nothing at all: the mark is not text.
    const std::string_view text = bytes.substr(sniffed.markLength);
    if (sniffed.name == kUtf16LeEncoding) return decodeUtf16(text, false, sniffed.name);
    if (sniffed.name == kUtf16BeEncoding) return decodeUtf16(text, true, sniffed.name);
    return decodeUtf8(text, sniffed.name, sniffed.markLength);
  }
  const std::string& declared = *sniffed.declared;
  const std::string name = toUpperAscii(std::string_view(declared));
  if (isUtf8Name(declared)) return decodeUtf8(bytes, "UTF-8");
  if (name.starts_with("UTF-16") || name.starts_with("UCS-2") || name.starts_with("UTF-32")) {
    return failure(name, "the XML declaration names " + declared +
                             ", but the file has no byte-order mark and its declaration is not in that encoding");
  }
  return decodeWithIconv(bytes, name);
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

#ifdef _WIN32
std::optional<std::string> encodeInCharset(std::string_view utf8, const std::string& upper) {
  const std::optional<UINT> page = codePage(upper);
  const std::optional<std::u16string> text = fromUtf8(utf8);
  if (!page || !text || text->size() > INT_MAX) return std::nullopt;
  if (text->empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text->data());
  const int size = static_cast<int>(text->size());
  // No best fit: a character the code page lacks is a failure, not a look-alike.
  BOOL defaulted = FALSE;
  const int length = WideCharToMultiByte(*page, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0, nullptr, &defaulted);
  if (length <= 0 || defaulted) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(*page, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length, nullptr, &defaulted);
  if (defaulted) return std::nullopt;
  return bytes;
}
#else
std::optional<std::string> encodeInCharset(std::string_view utf8, const std::string& upper) {
  const iconv_t converter = iconv_open(upper.c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, iconv_close);
  std::string bytes(utf8.size() + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  std::size_t written = 0;
  // Stateful charsets may need more bytes than the UTF-8 took: grow and go
  // on. Once the text is in, one more call returns to the initial shift state.
  bool flushing = false;
  for (;;) {
    char* out = bytes.data() + written;
    std::size_t outLeft = bytes.size() - written;
    const std::size_t r =
        flushing ? iconv(converter, nullptr, nullptr, &out, &outLeft) : iconv(converter, &in, &inLeft, &out, &outLeft);
    written = bytes.size() - outLeft;
    if (r == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return std::nullopt;
      bytes.resize(bytes.size() * 2);
    } else if (!flushing) {
      flushing = true;
    } else {
      break;
    }
  }
  bytes.resize(written);
  return bytes;
}
#endif

}  // namespace

DecodedDocument decodeDocument(std::string_view bytes) { return refuseNul(decodeText(bytes)); }

std::optional<std::string> namedEncoding(std::string_view text) {
  if (std::optional<std::string> declared = sniffEncoding(text).declared) return declared;
  std::optional<std::string> charset = metaCharset(text);
  // As browsers do, a page that names UTF-16 in its own text is read as UTF-8.
  if (charset && toUpperAscii(std::string_view(*charset)).starts_with("UTF-16")) return std::string(kUtf8Encoding);
  return charset;
}

std::optional<std::string> encodeText(std::string_view utf8, std::string_view encoding) {
  const std::string upper = toUpperAscii(encoding);
  if (isUtf8Name(upper)) return std::string(utf8);
  if (upper == "UTF-16" || upper == "UTF-16LE" || upper == "UTF-16BE") return encodeUtf16(utf8, upper);
  return encodeInCharset(utf8, upper);
}

std::string outputBytes(std::string output, bool toTerminal, bool rawUtf8) {
  if (toTerminal) {
    if (!output.empty() && !output.ends_with('\n')) output += '\n';
    return output;
  }
  if (rawUtf8) return output;
  const std::optional<std::string> name = namedEncoding(output);
  if (!name || isUtf8Name(*name)) return output;
  std::optional<std::string> encoded = encodeText(output, *name);
  return encoded ? std::move(*encoded) : std::move(output);
}

std::optional<std::string_view> utf8TextOf(std::string_view bytes) {
  const SniffedEncoding sniffed = sniffEncoding(bytes);
  const bool utf8 = sniffed.declared ? isUtf8Name(*sniffed.declared) : sniffed.name == kUtf8Encoding;
  if (!utf8) return std::nullopt;
  const std::string_view text = bytes.substr(sniffed.declared ? 0 : sniffed.markLength);
  if (!isUtf8WithoutNul(text)) return std::nullopt;
  return text;
}

}  // namespace tarnweld::host
