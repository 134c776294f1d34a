#include "text/utf.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnweld {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::size_t decodeOne(std::string_view bytes, std::size_t i, char32_t& cp);

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Markup is mostly ASCII, so both directions take runs of it a machine word
// at a time: the length of the ASCII run (without NUL, which the bus
// replaces) that starts at text[i] / bytes[i], counted in whole words.
constexpr std::size_t kUnitsPerWord = sizeof(std::uint64_t) / sizeof(char16_t);

std::size_t asciiUnitsAt(std::u16string_view text, std::size_t i) {
  const std::size_t start = i;
  for (; i + kUnitsPerWord <= text.size(); i += kUnitsPerWord) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    const bool hasZero = ((word - 0x0001000100010001) & ~word & 0x8000800080008000) != 0;
    if ((word & 0xFF80FF80FF80FF80) != 0 || hasZero) break;
  }
  return i - start;
}

// Longer runs go sixteen characters at a time where the processor has SSE2
// (every x86-64): copied from the start of `in` to `out`, widened or
// narrowed, for as many whole blocks of ASCII as there are (narrowing stops
// at NUL too). Returns how many characters it copied; the word-at-a-time
// loops take the rest.
std::size_t widenAscii([[maybe_unused]] const char* in, [[maybe_unused]] std::size_t n,
                       [[maybe_unused]] char16_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (_mm_movemask_epi8(bytes) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
  }
#endif
  return i;
}

std::size_t narrowAscii([[maybe_unused]] const char16_t* in, [[maybe_unused]] std::size_t n,
                        [[maybe_unused]] char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; i + 16 <= n; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
    const __m128i outside = _mm_and_si128(_mm_or_si128(low, high), nonAscii);
    const __m128i nul = _mm_or_si128(_mm_cmpeq_epi16(low, zero), _mm_cmpeq_epi16(high, zero));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_xor_si128(_mm_cmpeq_epi16(outside, zero), _mm_set1_epi8(-1)), nul)) != 0) {
      break;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
#endif
  return i;
}

std::size_t asciiBytesAt(std::string_view bytes, std::size_t i) {
  const std::size_t start = i;
  for (; i + sizeof(std::uint64_t) <= bytes.size(); i += sizeof(std::uint64_t)) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if ((word & 0x8080808080808080) != 0) break;
  }
  return i - start;
}

std::size_t encodedSize(std::u16string_view text, bool replaceNul) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t ascii = asciiUnitsAt(text, i);
    bytes += ascii;
    i += ascii;
    if (i == text.size()) break;
    const char16_t c = text[i];
    if (c < 0x80) {
      bytes += (c == 0 && replaceNul) ? 3 : 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;
    }
  }
  return bytes;
}

char* encodeInto(std::u16string_view text, bool replaceNul, char* o) {
  auto put = [&o](char32_t cp) {
    if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *o++ = static_cast<char>(0xF0 | (cp >> 18));
      *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t block = narrowAscii(text.data() + i, text.size() - i, o);
    o += block;
    i += block;
    const std::size_t ascii = asciiUnitsAt(text, i);
    for (std::size_t k = 0; k < ascii; ++k) o[k] = static_cast<char>(text[i + k]);
    o += ascii;
    i += ascii;
    if (i == text.size()) break;
    const char16_t c = text[i];
    if (c < 0x80 && (c != 0 || !replaceNul)) {
      *o++ = static_cast<char>(c);
    } else if (c == 0) {
      put(kReplacement);
    } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      put(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      put(kReplacement);
    } else {
      put(c);
    }
  }
  return o;
}

// Documents run to tens of megabytes, so both directions size their output
// once and write through a pointer rather than growing a string a character
// at a time.
std::string encode(std::u16string_view text, bool replaceNul) {
  std::string out(encodedSize(text, replaceNul), '\0');
  encodeInto(text, replaceNul, out.data());
  return out;
}

// Decodes `bytes` onto the end of `out`; an ill-formed sequence gives U+FFFD
// when `lenient`, and otherwise stops the decoding, leaving `out` as it was.
// Every sequence of n bytes gives at most n UTF-16 units, so the output never
// outgrows the input's length.
bool decodeOnto(std::string_view bytes, bool lenient, std::u16string& out) {
  const std::size_t start = out.size();
  out.resize(start + bytes.size());
  char16_t* o = out.data() + start;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t block = widenAscii(bytes.data() + i, bytes.size() - i, o);
    o += block;
    i += block;
    const std::size_t ascii = asciiBytesAt(bytes, i);
    for (std::size_t k = 0; k < ascii; ++k) o[k] = static_cast<std::uint8_t>(bytes[i + k]);
    o += ascii;
    i += ascii;
    if (i == bytes.size()) break;
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b < 0x80) {
      *o++ = b;
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t n = decodeOne(bytes, i, cp);
    if (n == 0) {
      if (!lenient) {
        out.resize(start);
        return false;
      }
      cp = kReplacement;
    }
    if (cp < 0x10000) {
      *o++ = static_cast<char16_t>(cp);
    } else {
      *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    i += n == 0 ? 1 : n;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return true;
}

std::optional<std::u16string> decode(std::string_view bytes, bool lenient) {
  std::u16string out;
  if (!decodeOnto(bytes, lenient, out)) return std::nullopt;
  return out;
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length, or 0 when the
// sequence is ill-formed (then `cp` is unspecified).
std::size_t decodeOne(std::string_view bytes, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<std::uint8_t>(bytes[i]);
  std::size_t length;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<std::uint8_t>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string toUtf8(std::u16string_view text) { return encode(text, false); }

std::string toUtf8WithoutNul(std::u16string_view text) { return encode(text, true); }

bool isUtf8WithoutNul(std::string_view bytes) { return scanUtf8(bytes).stop == Utf8Scan::Stop::kEnd; }

Utf8Scan scanUtf8Scalar(std::string_view bytes, std::size_t maxUnits) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp;
    const std::size_t n = decodeOne(bytes, i, cp);
    if (n == 0) return {Utf8Scan::Stop::kIllFormed, i, units};
    if (cp == 0) return {Utf8Scan::Stop::kNul, i, units};
    const std::size_t charUnits = cp < 0x10000 ? 1 : 2;
    if (units + charUnits > maxUnits) return {Utf8Scan::Stop::kTooLong, i, units};
    units += charUnits;
    i += n;
  }
  return {Utf8Scan::Stop::kEnd, bytes.size(), units};
}

namespace {

// The scan's non-ASCII part: decodes the characters from p[i], whose byte is
// >= 0x80, for as long as they are not ASCII, and returns at the first ASCII
// byte (i then points at it) or with the stop in `stop`. A continuation byte
// is checked by its top two bits; a lead byte by its range, with the second
// byte's range where the lead alone allows an overlong form, a surrogate or
// a code point above U+10FFFF (E0, ED, F0, F4).
bool scanNonAscii(const unsigned char* p, std::size_t n, std::size_t& i, std::size_t& units, std::size_t maxUnits,
                  Utf8Scan& stop) {
  const auto isContinuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  while (i < n && p[i] >= 0x80) {
    const unsigned char lead = p[i];
    std::size_t length;
    std::size_t charUnits = 1;
    if (lead < 0xC2) {
      length = 0;
    } else if (lead < 0xE0) {
      length = i + 1 < n && isContinuation(p[i + 1]) ? 2 : 0;
    } else if (lead < 0xF0) {
      const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
      const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
      length = i + 2 < n && p[i + 1] >= low && p[i + 1] <= high && isContinuation(p[i + 2]) ? 3 : 0;
    } else if (lead < 0xF5) {
      const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
      const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
      length = i + 3 < n && p[i + 1] >= low && p[i + 1] <= high && isContinuation(p[i + 2]) && isContinuation(p[i + 3])
                   ? 4
                   : 0;
      charUnits = 2;
    } else {
      length = 0;
    }
    if (length == 0) {
      stop = {Utf8Scan::Stop::kIllFormed, i, units};
      return false;
    }
    if (charUnits > maxUnits - units) {
      stop = {Utf8Scan::Stop::kTooLong, i, units};
      return false;
    }
    units += charUnits;
    i += length;
  }
  return true;
}

// One byte of the scan, ASCII or not, for the ends a block does not cover.
bool scanByte(const unsigned char* p, std::size_t n, std::size_t& i, std::size_t& units, std::size_t maxUnits,
              Utf8Scan& stop) {
  if (p[i] >= 0x80) return scanNonAscii(p, n, i, units, maxUnits, stop);
  if (p[i] == 0) {
    stop = {Utf8Scan::Stop::kNul, i, units};
    return false;
  }
  if (units == maxUnits) {
    stop = {Utf8Scan::Stop::kTooLong, i, units};
    return false;
  }
  ++units;
  ++i;
  return true;
}

}  // namespace

Utf8Scan scanUtf8(std::string_view bytes, std::size_t maxUnits) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  std::size_t units = 0;
  Utf8Scan stop;
#if defined(__SSE2__)
  // A block is plain when no byte has its top bit set and none is zero: each
  // byte is then one character of one unit.
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    // Four blocks at once while the limit is far: the smallest byte tells
    // whether one is zero.
    while (i + 64 <= n && maxUnits - units >= 64) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 48));
      const __m128i high = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
      const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
      if (_mm_movemask_epi8(_mm_or_si128(high, _mm_cmpeq_epi8(least, zero))) != 0) break;
      i += 64;
      units += 64;
    }
    if (i + 16 > n) break;
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto marks = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(block, _mm_cmpeq_epi8(block, zero))));
    const std::size_t plain = marks == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(marks));
    if (plain > maxUnits - units) return {Utf8Scan::Stop::kTooLong, i + (maxUnits - units), maxUnits};
    i += plain;
    units += plain;
    if (plain == 16) continue;
    if (p[i] == 0) return {Utf8Scan::Stop::kNul, i, units};
    if (!scanNonAscii(p, n, i, units, maxUnits, stop)) return stop;
  }
#else
  // A word is plain when no byte has its top bit set and none is zero.
  constexpr std::uint64_t kHigh = 0x8080808080808080;
  constexpr std::uint64_t kLow = 0x0101010101010101;
  while (i + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if (((word | ((word - kLow) & ~word)) & kHigh) == 0 && maxUnits - units >= 8) {
      i += 8;
      units += 8;
      continue;
    }
    // Up to the end of the word a byte at a time, then words again.
    for (const std::size_t end = i + 8; i < end;) {
      if (!scanByte(p, n, i, units, maxUnits, stop)) return stop;
    }
  }
#endif
  while (i < n) {
    if (!scanByte(p, n, i, units, maxUnits, stop)) return stop;
  }
  return {Utf8Scan::Stop::kEnd, n, units};
}

std::optional<FoundNoncharacter> firstNoncharacter(std::string_view bytes) {
  // Each noncharacter is three bytes (EF B7 90 to EF B7 AF, EF BF BE, EF BF
  // BF) or four ending in BF BE or BF BF: only those lead bytes start one.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b != 0xEF && (b < 0xF0 || b > 0xF4)) continue;
    char32_t cp = 0;
    const std::size_t n = decodeOne(bytes, i, cp);
    if (n == 0) continue;
    if ((cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE) return FoundNoncharacter{cp, i};
    i += n - 1;
  }
  return std::nullopt;
}

std::optional<std::u16string> fromUtf8(std::string_view bytes) { return decode(bytes, false); }

std::size_t firstInvalidUtf8(std::string_view bytes) {
  // A NUL is well-formed: the scan goes on after it.
  for (std::size_t from = 0;;) {
    const Utf8Scan scan = scanUtf8(bytes.substr(from));
    if (scan.stop == Utf8Scan::Stop::kEnd) return std::string_view::npos;
    if (scan.stop == Utf8Scan::Stop::kIllFormed) return from + scan.end;
    from += scan.end + 1;
  }
}

std::u16string fromUtf8Lenient(std::string_view bytes) { return *decode(bytes, true); }

void appendDecodedUtf8(std::u16string& text, std::string_view bytes) { decodeOnto(bytes, true, text); }

void appendMendedUtf8(std::string& out, std::string_view bytes, Utf8Nul nul) {
  constexpr std::string_view kReplacementBytes = "\xEF\xBF\xBD";
  const bool replaceNul = nul == Utf8Nul::kReplace;
  std::size_t run = 0;  // the start of the well-formed run not yet copied
  for (std::size_t i = 0; i < bytes.size();) {
    // Runs of ASCII are passed a word at a time, stopping at a NUL to replace.
    const std::size_t ascii = asciiBytesAt(bytes, i);
    const void* zero = replaceNul ? std::memchr(bytes.data() + i, 0, ascii) : nullptr;
    i = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data()) : i + ascii;
    if (i == bytes.size()) break;
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    char32_t cp;
    const std::size_t n = b < 0x80 ? 1 : decodeOne(bytes, i, cp);
    if (n != 0 && (b != 0 || !replaceNul)) {
      i += n;
      continue;
    }
    out.append(bytes.substr(run, i - run)).append(kReplacementBytes);
    run = ++i;
  }
  out.append(bytes.substr(run));
}

std::size_t utf16LengthOfUtf8(std::string_view bytes) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t ascii = asciiBytesAt(bytes, i);
    units += ascii;
    i += ascii;
    if (i == bytes.size()) break;
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    // Every byte but a continuation starts one unit; a four-byte sequence
    // is a surrogate pair.
    if ((b & 0xC0) != 0x80) ++units;
    if (b >= 0xF0) ++units;
  }
  return units;
}

std::size_t utf16PieceLength(std::u16string_view text, std::size_t units) {
  if (units >= text.size()) return text.size();
  units = std::max<std::size_t>(units, 1);
  const bool splitsPair = text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF;
  if (!splitsPair) return units;
  return units > 1 ? units - 1 : units + 1;
}

std::size_t utf8PieceLength(std::string_view bytes) {
  // A sequence is at most four bytes: only the last three can start one that
  // runs past the end.
  const std::size_t stop = bytes.size() < 3 ? 0 : bytes.size() - 3;
  for (std::size_t at = bytes.size(); at > stop;) {
    const auto lead = static_cast<std::uint8_t>(bytes[--at]);
    if ((lead & 0xC0) == 0x80) continue;
    const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    return at + length > bytes.size() ? at : bytes.size();
  }
  return bytes.size();
}

std::u16string fromAscii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string fromUtf16Bytes(std::string_view bytes, bool bigEndian) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return text;
}

}  // namespace tarnweld
