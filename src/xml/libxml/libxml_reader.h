// Feeds the editor's UTF-16 text to libxml2 as UTF-8, one chunk at a time,
// so that a large document never exists whole in a second encoding.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tarnweld::xml {

// An input for xmlCtxtReadIO: `read` is its read callback and the reader its
// context. The text must outlive the reader.
class Utf16Reader {
 public:
  // A byte-order mark at the start of the editor's text is not part of the
  // document; as UTF-8 it would stand before the XML declaration.
  explicit Utf16Reader(std::u16string_view text);

  static int read(void* context, char* buffer, int length);

 private:
  int readInto(char* buffer, int length);

  std::u16string_view rest_;
  std::unique_ptr<char[]> pending_;  // one piece of the text, as UTF-8
  std::string_view unread_;          // what libxml2 has not taken of it
};

}  // namespace tarnweld::xml
