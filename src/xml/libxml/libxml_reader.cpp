#include "xml/libxml/libxml_reader.h"

#include <algorithm>
#include <cstring>

namespace tarnweld::xml {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TextReader::TextReader(TextView text) : rest_(unitsOf(text)) {
  if (rest_.starts_with(kByteOrderMark)) rest_.remove_prefix(kByteOrderMark.size());
}

// Called from libxml2's C code; it copies and cannot fail.
int TextReader::read(void* context, char* buffer, int length) {
  auto& reader = *static_cast<TextReader*>(context);
  if (length <= 0) return 0;
  const std::size_t count = std::min(static_cast<std::size_t>(length), reader.rest_.size());
  std::memcpy(buffer, reader.rest_.data(), count);
  reader.rest_.remove_prefix(count);
  return static_cast<int>(count);
}

}  // namespace tarnweld::xml
