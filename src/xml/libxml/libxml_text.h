// The small text rules the libxml2 backend applies around the libraries:
// how a source line is cut for the parse-error record, and how the bytes of
// a file or of a transformation's output are decoded to the program's text,
// which this backend holds in UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tarnweld::xml {

// The text of line `line` (1-based) of `text`, without its line break. Lines
// end at LF, as the parser counts them; a CR before the LF is dropped. Empty
// when the text has no such line. A longer line keeps its first
// kMaxSourceLineBytes, in whole characters: a report quotes far less of it,
// and a document of one line must not be copied whole for its record.
inline constexpr std::size_t kMaxSourceLineBytes = std::size_t{64} << 10;
Text sourceLine(TextView text, std::int32_t line);

// `bytes` decoded from `encoding` (any name libxml2 knows, as sniffEncoding
// finds it; UTF-8 when it knows none), a leading byte-order mark dropped.
// What cannot be decoded becomes U+FFFD, so no text is lost silently in a
// shorter string.
Text decodeBytes(std::string_view bytes, std::string_view encoding);

// decodeBytes for the bytes of the memory file `fd`, which must allow
// sealing and be the caller's alone: it is sealed against change and mapped.
// UTF-8 is checked once where it lies and the text stays there, in the file
// (posix::readSealedText), so that it reaches the host as that same file;
// any other encoding is decoded to the heap. Nothing when the file cannot
// be sealed or read, or holds more than a text may.
std::optional<Text> decodeFile(int fd, std::string_view encoding);

}  // namespace tarnweld::xml
