// Conversions between UTF-16 and UTF-8, and the checks and repairs of UTF-8,
// for the edges: the bus, the parser libraries, COM and the terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnweld {

// The most UTF-16 units a text may hold: positions in a text are 32-bit
// signed. A text from outside that would be longer is refused, not cut.
inline constexpr std::size_t kMaxTextUnits = 2'147'483'647;

// Encodes `text` as UTF-8. An unpaired surrogate becomes U+FFFD, so the
// conversion never fails whatever the text holds.
std::string toUtf8(std::u16string_view text);

// As toUtf8, but a NUL character also becomes U+FFFD: for channels that cannot
// carry NUL (the bus, C strings).
std::string toUtf8WithoutNul(std::u16string_view text);

// No UTF-16 unit takes more than this many bytes of UTF-8 (a surrogate pair
// takes four for its two units, a replaced one three): a text of at most
// kMaxTextUnits units is at most this many times as many bytes.
inline constexpr std::size_t kMaxUtf8BytesPerUnit = 3;

// True when `bytes` is well-formed UTF-8 holding no NUL: what the bus and C
// strings carry.
bool isUtf8WithoutNul(std::string_view bytes);

// What one pass over bytes meant as UTF-8 found: where it stopped and why,
// and how many UTF-16 units the bytes before the stop decode to.
struct Utf8Scan {
  enum class Stop { kEnd, kIllFormed, kNul, kTooLong };
  Stop stop = Stop::kEnd;
  // Where it stopped: bytes.size() at kEnd; the first byte of the ill-formed
  // sequence, or the NUL; for kTooLong the character that would pass the
  // limit.
  std::size_t end = 0;
  std::size_t utf16Units = 0;  // the units of bytes[0, end)

  friend bool operator==(const Utf8Scan&, const Utf8Scan&) = default;
};
// Scans `bytes` once: well-formed UTF-8 (no overlongs, surrogates, or code
// points above U+10FFFF; a truncated sequence at the end is ill-formed)
// holding no NUL, counting UTF-16 units (a 4-byte sequence counts 2),
// stopping at the first ill-formed sequence, the first NUL, or the first
// character that would take the count past `maxUnits`. Where a sequence is
// ill-formed or a NUL, that is the stop even when the count is at the limit.
// Where the processor has SSSE3 or AVX2 (chosen when first used), the text
// is checked 64 bytes at a time whatever it mixes, and only the block where
// it stops is decoded a character at a time; elsewhere, runs of ASCII are
// taken sixteen bytes at a time (a word at a time without SSE2) and only a
// byte >= 0x80 is decoded on its own.
Utf8Scan scanUtf8(std::string_view bytes, std::size_t maxUnits = SIZE_MAX);
// The same scan a byte at a time, plainly written: the reference that the
// fast pass above is held to by the tests and the fuzzers.
Utf8Scan scanUtf8Scalar(std::string_view bytes, std::size_t maxUnits = SIZE_MAX);
// For the tests: which block check scanUtf8 takes (the processor's best, the
// SSSE3 one where it runs, or none: runs of ASCII only), so that each is held
// to the reference on any machine that runs it.
enum class Utf8Blocks { kBest, kSsse3, kNone };
void useUtf8BlocksForTests(Utf8Blocks blocks);

// A Unicode noncharacter found in a text: its code point, and its offset in
// bytes from the start of the text.
struct FoundNoncharacter {
  char32_t codePoint = 0;
  std::size_t offset = 0;
};
// The first noncharacter (U+FDD0 to U+FDEF, and the last two code points of
// every plane, U+FFFE and U+FFFF to U+10FFFE and U+10FFFF) in well-formed
// UTF-8 `bytes`: characters a text may hold and XML may too (all but U+FFFE
// and U+FFFF), but which the bus library refuses inside a message.
std::optional<FoundNoncharacter> firstNoncharacter(std::string_view bytes);

// Decodes UTF-8. Returns nothing when `bytes` is not well-formed UTF-8
// (overlong forms, surrogates and code points above U+10FFFF included).
std::optional<std::u16string> fromUtf8(std::string_view bytes);

// The offset of the first byte that starts an ill-formed UTF-8 sequence, or
// npos when `bytes` is well-formed: where fromUtf8 gives up.
std::size_t firstInvalidUtf8(std::string_view bytes);

// Decodes UTF-8 to UTF-16, replacing each ill-formed sequence with U+FFFD;
// the second form decodes onto the end of `text`, with no string in between.
std::u16string fromUtf8Lenient(std::string_view bytes);
void appendDecodedUtf8(std::u16string& text, std::string_view bytes);

// The same rule without leaving UTF-8, to mend bytes into text: appends
// `bytes` to `out` with each ill-formed sequence written as U+FFFD, exactly
// where fromUtf8Lenient would put one; with Utf8Nul::kReplace, each NUL too.
// Well-formed runs are copied as they stand.
enum class Utf8Nul { kKeep, kReplace };
void appendMendedUtf8(std::string& out, std::string_view bytes, Utf8Nul nul = Utf8Nul::kKeep);

// The number of UTF-16 units that well-formed UTF-8 `bytes` decodes to.
std::size_t utf16LengthOfUtf8(std::string_view bytes);

// For reading a long text a piece at a time with the same result as at once:
// the length of `bytes` without an incomplete sequence at its end (an
// ill-formed one stays: it gives U+FFFD wherever the piece ends).
std::size_t utf8PieceLength(std::string_view bytes);

// The UTF-16 code units that `bytes` holds in the given byte order, unit by
// unit (an unpaired surrogate stays as it is); an odd last byte is left out.
std::u16string fromUtf16Bytes(std::string_view bytes, bool bigEndian);

// Convenience for fixed ASCII texts.
std::u16string fromAscii(std::string_view ascii);

}  // namespace tarnweld
