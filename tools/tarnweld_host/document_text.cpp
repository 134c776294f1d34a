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

DecodedDocument decodeUtf8(std::string_view bytes, std::string encoding) {
  auto text = fromUtf8(bytes);
  if (!text) return failure(encoding, "the bytes are not valid UTF-8");
  return {std::move(text), std::move(encoding), {}};
}

#ifdef _WIN32
// Windows has no iconv: the declared encodings that name a code page of the
// system are decoded by it; others are refused.
DecodedDocument decodeWithIconv(std::string_view bytes, const std::string& encoding) {
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
  if (page == std::end(kCodePages) || bytes.size() > INT_MAX) {
    return failure(encoding, "the declared encoding \"" + encoding + "\" is not supported");
  }
  if (bytes.empty()) return {std::u16string(), encoding, {}};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(page->id, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return failure(encoding, "the bytes are not valid " + encoding);
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(page->id, MB_ERR_INVALID_CHARS, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()),
                      length);
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
  const std::u16string_view before = text.substr(0, nul);
  const std::size_t lineStart = before.rfind(u'\n');
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), u'\n')) + 1;
  const std::size_t column = nul - (lineStart == std::u16string_view::npos ? 0 : lineStart + 1) + 1;
  return failure(decoded.encoding, "the text holds a NUL character (line " + std::to_string(line) + ", column " +
                                       std::to_string(column) + "), which the host connection cannot carry");
}

bool isUtf8Name(std::string_view declared) {
  const std::string name = toUpperAscii(declared);
  return name == "UTF-8" || name == "UTF8";
}

DecodedDocument decodeText(std::string_view bytes) {
  const SniffedEncoding sniffed = sniffEncoding(bytes);
  if (!sniffed.declared) {
    // A mark, the UTF-16 shape, or nothing at all: the mark is not text.
    const std::string_view text = bytes.substr(sniffed.markLength);
    if (sniffed.name == kUtf16LeEncoding) return decodeUtf16(text, false, sniffed.name);
    if (sniffed.name == kUtf16BeEncoding) return decodeUtf16(text, true, sniffed.name);
    return decodeUtf8(text, sniffed.name);
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

}  // namespace

DecodedDocument decodeDocument(std::string_view bytes) { return refuseNul(decodeText(bytes)); }

std::optional<std::string_view> utf8TextOf(std::string_view bytes) {
  const SniffedEncoding sniffed = sniffEncoding(bytes);
  const bool utf8 = sniffed.declared ? isUtf8Name(*sniffed.declared) : sniffed.name == kUtf8Encoding;
  if (!utf8) return std::nullopt;
  const std::string_view text = bytes.substr(sniffed.declared ? 0 : sniffed.markLength);
  if (!isUtf8WithoutNul(text)) return std::nullopt;
  return text;
}

}  // namespace tarnweld::host
