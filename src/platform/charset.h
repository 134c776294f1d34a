// The charsets other than UTF-8 and UTF-16 that the tools read and write:
// through iconv on Linux (any name it knows), through the system's code
// pages on Windows (the common ones, by name).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"

namespace tarnweld::platform {

// `bytes` in the charset `encoding` (upper case) as UTF-16. Fails, saying
// why, when the charset is unknown or the bytes are not valid in it (with the
// byte offset where the system names one).
Result<std::u16string> decodeCharset(std::string_view bytes, const std::string& encoding);

// The UTF-8 `utf8` in the charset `encoding` (upper case). Nothing when the
// charset is unknown or lacks one of the characters: no look-alike is put in
// its place.
std::optional<std::string> encodeCharset(std::string_view utf8, const std::string& encoding);

}  // namespace tarnweld::platform
