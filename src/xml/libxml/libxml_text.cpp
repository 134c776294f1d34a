// The text rules of the libxml2 backend: source lines and decoding.
#include "xml/libxml/libxml_text.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>

#include <utility>

#include "platform/posix/sealed_file_text.h"
#include "platform/posix/sealed_memfd.h"
#include "text/ascii.h"
#include "text/encoding_sniff.h"
#include "text/utf.h"
#include "xml/libxml/libxml_owners.h"

namespace tarnweld::xml {

static_assert(std::is_same_v<TextUnit, char>, "the libxml2 backend holds the program's text in UTF-8");

namespace {

constexpr TextView kReplacementChar = TXT("\xEF\xBF\xBD");
constexpr TextView kByteOrderMark = TXT("\xEF\xBB\xBF");

// Encoding names match whatever the case of their ASCII letters.
bool isNamed(std::string_view encoding, std::string_view name) { return equalsIgnoringAsciiCase(encoding, name); }

// A byte-order mark overrides the order the name gave; a half unit at the
// end reads as U+FFFD, and so does an unpaired surrogate.
Text decodeUtf16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(bytes[0]), second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFF && second == 0xFE)
      bigEndian = false, bytes.remove_prefix(2);
    else if (first == 0xFE && second == 0xFF)
      bigEndian = true, bytes.remove_prefix(2);
  }
  std::string utf8 = toUtf8(fromUtf16Bytes(bytes, bigEndian));
  if (bytes.size() % 2 != 0) utf8.append(kReplacementChar.bytes());
  return textFromOwnedUtf8(std::move(utf8));
}

std::string_view bufferText(const xmlBuffer& buffer) {
  return std::string_view(reinterpret_cast<const char*>(xmlBufferContent(&buffer)), xmlBufferLength(&buffer));
}

Text withoutByteOrderMark(Text text) {
  if (text.starts_with(kByteOrderMark)) text.erase(0, kByteOrderMark.size());
  return text;
}

std::string_view withoutByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark.bytes())) bytes.remove_prefix(kByteOrderMark.size());
  return bytes;
}

// Any other encoding goes through libxml2's converter, the one it wrote with.
Text decodeWithLibxml(std::string_view bytes, xmlCharEncodingHandler& handler) {
  BufferPtr in(xmlBufferCreateSize(bytes.size() + 1));
  BufferPtr out(xmlBufferCreateSize(bytes.size() * 2 + 1));
  Text text;
  if (in && out &&
      xmlBufferAdd(in.get(), reinterpret_cast<const xmlChar*>(bytes.data()), static_cast<int>(bytes.size())) == 0) {
    // The converter stops where its room ends (a byte may take three as
    // UTF-8, more than the room it makes) and at a byte it cannot convert:
    // only a stop without progress is such a byte, which becomes U+FFFD, and
    // the conversion goes on after it.
    while (xmlBufferLength(in.get()) > 0) {
      const int before = xmlBufferLength(in.get());
      const int converted = xmlCharEncInFunc(&handler, out.get(), in.get());
      appendTextFromUtf8(text, bufferText(*out));
      xmlBufferEmpty(out.get());
      if (xmlBufferLength(in.get()) == 0) break;
      if (converted >= 0 && xmlBufferLength(in.get()) < before) continue;
      text.append(kReplacementChar);
      xmlBufferShrink(in.get(), 1);
    }
  }
  return withoutByteOrderMark(std::move(text));
}

}  // namespace

std::optional<Text> decodeFile(int fd, std::string_view encoding) {
  if (!posix::sealText(fd)) return std::nullopt;
  // UTF-8 is the program's text already: it stays in the file, unless a
  // byte-order mark opens it, which is not part of the text.
  if (isNamed(encoding, kUtf8Encoding)) {
    Result<Text> text = posix::readSealedText(fd, tarnweld::NulBytes::kMend);
    if (!text) return std::nullopt;
    return withoutByteOrderMark(std::move(*text));
  }
  posix::MappedBytes mapped;
  if (!posix::mapSealedMemfd(fd, mapped)) return std::nullopt;
  return decodeBytes(mapped.bytes(), encoding);
}

Text sourceLine(TextView text, std::int32_t line) {
  if (line < 1) return {};
  std::size_t start = 0;
  for (std::int32_t current = 1; current < line; ++current) {
    const std::size_t lineFeed = text.find('\n', start);
    if (lineFeed == TextView::npos) return {};
    start = lineFeed + 1;
  }
  std::size_t end = text.find('\n', start);
  if (end == TextView::npos) end = text.size();
  if (end > start && text[end - 1] == TXT('\r')) --end;
  const TextView whole = text.substr(start, end - start);
  if (whole.size() <= kMaxSourceLineBytes) return Text(whole);
  // Cut between characters.
  return Text(whole.substr(0, kMaxSourceLineBytes));
}

Text decodeBytes(std::string_view bytes, std::string_view encoding) {
  if (isNamed(encoding, kUtf16LeEncoding) || isNamed(encoding, "UTF-16") || isNamed(encoding, "UTF16")) {
    return decodeUtf16(bytes, false);
  }
  if (isNamed(encoding, kUtf16BeEncoding)) return decodeUtf16(bytes, true);
  if (!encoding.empty() && !namesUtf8(encoding)) {
    const std::string name(encoding);
    const EncodingHandlerPtr handler(xmlFindCharEncodingHandler(name.c_str()));
    if (handler && (!handler->name || !isNamed(handler->name, kUtf8Encoding))) return decodeWithLibxml(bytes, *handler);
  }
  return textFromUtf8(withoutByteOrderMark(bytes));
}

}  // namespace tarnweld::xml
