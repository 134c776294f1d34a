// How the host stand-in turns a document file into the text an editor holds,
// and how it names the file in the host's path convention. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnweld::host {

// The text of a document, or why its bytes do not decode.
struct DecodedDocument {
  std::optional<std::u16string> text;
  std::string encoding;  // the encoding used, or that was tried
  std::string error;     // set when text is empty
};

// Decodes `bytes` the way an editor opens a file: a byte-order mark selects
// UTF-8, UTF-16 LE or UTF-16 BE (and is not part of the text); else "<?" in
// UTF-16 selects UTF-16; else the XML declaration's encoding (any that iconv
// knows: UTF-8, ISO-8859-1, US-ASCII, windows-1252 ...); else UTF-8. Bytes
// that do not decode are an error, never replaced. UTF-16 is taken code unit
// by code unit, as an editor's buffer holds it: an unpaired surrogate stays.
// A text holding NUL is refused, with the line and column of the first one.
DecodedDocument decodeDocument(std::string_view bytes);

// The text of `bytes` as UTF-8, without its byte-order mark, when
// decodeDocument would read them as UTF-8 and take them as they are (well
// formed, no NUL); nothing otherwise. A large UTF-8 document is then served
// as it is, validated but never decoded.
std::optional<std::string_view> utf8TextOf(std::string_view bytes);

}  // namespace tarnweld::host
