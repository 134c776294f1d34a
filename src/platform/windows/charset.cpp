#include "platform/charset.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <iterator>

#include "text/utf.h"

namespace tarnweld::platform {
namespace {

// Windows has no iconv: the charsets (upper case) that name a code page of
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

}  // namespace

Result<std::u16string> decodeCharset(std::string_view bytes, const std::string& encoding) {
  const std::optional<UINT> page = codePage(encoding);
  if (!page || bytes.size() > INT_MAX) return fail("the declared encoding \"" + encoding + "\" is not supported");
  if (bytes.empty()) return std::u16string();
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(*page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return fail("the bytes are not valid " + encoding);
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(*page, MB_ERR_INVALID_CHARS, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), length);
  return text;
}

std::optional<std::string> encodeCharset(std::string_view utf8, const std::string& encoding) {
  const std::optional<UINT> page = codePage(encoding);
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

}  // namespace tarnweld::platform
