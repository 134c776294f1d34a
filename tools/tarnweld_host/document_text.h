// How the host stand-in turns a document file into the text an editor holds,
// and a result back into the bytes an editor saves. Pure functions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "text/utf.h"

namespace tarnweld::host {

// Decodes `bytes` the way an editor opens a file: a byte-order mark selects
// UTF-8, UTF-16 LE or UTF-16 BE (and is not part of the text); else "<?" in
// UTF-16 selects UTF-16; else the XML declaration's encoding (any that the
// platform's charsets know: UTF-8, ISO-8859-1, US-ASCII, windows-1252 ...);
// else UTF-8. Bytes that do not decode are a failure that says where, never
// replaced. UTF-16 is taken code unit
// by code unit, as an editor's buffer holds it: an unpaired surrogate stays.
// A text holding NUL is refused, with the line and column of the first one.
Result<std::u16string> decodeDocument(std::string_view bytes);

// The encoding a text names for itself: its XML declaration's, else the
// charset of an HTML <meta> tag in its first 1024 bytes (a meta charset of
// UTF-16 reads as UTF-8, as in a browser); nothing when it names none.
std::optional<std::string> namedEncoding(std::string_view text);

// The UTF-8 `utf8` written in `encoding` (any name iconv knows; on Windows
// UTF-8, UTF-16 and the code pages the decoding knows). "UTF-16" gets a
// little-endian byte-order mark. Nothing when the encoding is unknown or
// lacks one of the characters.
std::optional<std::string> encodeText(std::string_view utf8, std::string_view encoding);

// The bytes tarnweld-host writes for OUTPUT. On a terminal: the UTF-8 text,
// ending with a line break so the prompt starts on a line of its own.
// Elsewhere (a file, a pipe): the text in the encoding it names, as a saved
// file must be for its label to be true; the UTF-8 text as received when it
// names none or one that cannot hold it, or with `rawUtf8`.
std::string outputBytes(std::string output, bool toTerminal, bool rawUtf8);

// True only when outputBytes would give `output` back as it stands (a
// terminal's line break there, UTF-8 named or none, or raw UTF-8 asked for):
// a large result is then written from where it lies, with no copy.
bool outputStandsAsItIs(std::string_view output, bool toTerminal, bool rawUtf8);

// The text of `bytes` as UTF-8, without its byte-order mark, when
// decodeDocument would read them as UTF-8 and take them as they are (well
// formed, no NUL); nothing otherwise. A large UTF-8 document is then served
// as it is, validated but never decoded.
std::optional<std::string_view> utf8TextOf(std::string_view bytes);

// How many bytes of a document open its UTF-8 text (its byte-order mark, or
// 0), when decodeDocument would read it as UTF-8; nothing when it reads it
// in another encoding. Decided from its start alone (`head`: the mark and
// the XML declaration), so a large document can be taken in as it is read.
std::optional<std::size_t> utf8TextStart(std::string_view head);

// The reason decodeDocument gives for a UTF-8 document whose text (after a
// byte-order mark of `markLength` bytes) scanUtf8 stopped in for an
// ill-formed sequence or a NUL: `text` holds at least the text up to there.
std::string utf8Refusal(std::string_view text, const Utf8Scan& scan, std::size_t markLength);

}  // namespace tarnweld::host
