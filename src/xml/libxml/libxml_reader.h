// Feeds the editor's text, already UTF-8, to libxml2 straight from where it
// lies, one read at a time: libxml2 would copy a text given to it whole from
// memory, and a large document must not exist twice.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tarnweld::xml {

// An input for xmlCtxtReadIO: `read` is its read callback and the reader its
// context. The text must outlive the reader.
class TextReader {
 public:
  // A byte-order mark at the start of the editor's text is not part of the
  // document; it would stand before the XML declaration.
  explicit TextReader(TextView text);

  static int read(void* context, char* buffer, int length);

 private:
  std::string_view rest_;
};

}  // namespace tarnweld::xml
