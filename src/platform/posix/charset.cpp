#include "platform/charset.h"

#include <errno.h>
#include <iconv.h>

#include <memory>

#include "text/utf.h"

namespace tarnweld::platform {
namespace {

// An iconv descriptor, closed when its owner goes; empty when the pair of
// charsets is unknown.
using Converter = std::unique_ptr<void, int (*)(iconv_t)>;
Converter openConverter(const char* to, const char* from) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return Converter(nullptr, iconv_close);
  return Converter(converter, iconv_close);
}

}  // namespace

Result<std::u16string> decodeCharset(std::string_view bytes, const std::string& encoding) {
  const Converter converter = openConverter("UTF-8", encoding.c_str());
  if (!converter) return fail("the declared encoding \"" + encoding + "\" is not supported");

  // Four bytes of UTF-8 per input byte covers every single- and multi-byte charset.
  std::string utf8(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
    const std::size_t offset = static_cast<std::size_t>(in - bytes.data());
    const std::string where = " at byte offset " + std::to_string(offset);
    if (errno == EINVAL) return fail("the " + encoding + " text ends in an incomplete sequence" + where);
    return fail("the bytes are not valid " + encoding + where);
  }
  utf8.resize(utf8.size() - outLeft);
  std::optional<std::u16string> text = fromUtf8(utf8);
  if (!text) return fail("the bytes are not valid " + encoding);
  return std::move(*text);
}

std::optional<std::string> encodeCharset(std::string_view utf8, const std::string& encoding) {
  const Converter converter = openConverter(encoding.c_str(), "UTF-8");
  if (!converter) return std::nullopt;
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
    const std::size_t r = flushing ? iconv(converter.get(), nullptr, nullptr, &out, &outLeft)
                                   : iconv(converter.get(), &in, &inLeft, &out, &outLeft);
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

}  // namespace tarnweld::platform
