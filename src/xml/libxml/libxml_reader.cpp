#include "xml/libxml/libxml_reader.h"

#include <algorithm>
#include <cstring>

#include "text/utf.h"

namespace tarnweld::xml {
namespace {

// The editor's text is encoded this many UTF-16 units at a time.
constexpr std::size_t kTextChunkUnits = 64 * 1024;
constexpr char16_t kByteOrderMark = 0xFEFF;

}  // namespace

Utf16Reader::Utf16Reader(std::u16string_view text)
    : rest_(text),
      // Room for the largest piece, or for the whole of a short text.
      pending_(
          std::make_unique_for_overwrite<char[]>((std::min(text.size(), kTextChunkUnits) + 1) * kMaxUtf8BytesPerUnit)) {
  if (!rest_.empty() && rest_.front() == kByteOrderMark) rest_.remove_prefix(1);
}

// Called from libxml2's C code: an exception must not cross it, and -1 makes
// the parse fail instead.
int Utf16Reader::read(void* context, char* buffer, int length) {
  try {
    return static_cast<Utf16Reader*>(context)->readInto(buffer, length);
  } catch (...) {
    return -1;
  }
}

int Utf16Reader::readInto(char* buffer, int length) {
  if (length <= 0) return 0;
  if (unread_.empty()) {
    if (rest_.empty()) return 0;
    const std::size_t take = utf16PieceLength(rest_, kTextChunkUnits);
    unread_ = std::string_view(pending_.get(), writeUtf8(rest_.substr(0, take), pending_.get()));
    rest_.remove_prefix(take);
  }
  const std::size_t count = std::min(static_cast<std::size_t>(length), unread_.size());
  std::memcpy(buffer, unread_.data(), count);
  unread_.remove_prefix(count);
  return static_cast<int>(count);
}

}  // namespace tarnweld::xml
