#include "text/utf.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "text/utf8_decode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The block check for mixed text is built for x86 whatever the compiler is
// told to assume, and chosen at run time where the processor has it.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARNWELD_UTF8_BLOCKS 1
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
  return utf8::decodeCharacter(bytes, i, cp);
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

#if defined(TARNWELD_UTF8_BLOCKS)
namespace {

// Text that mixes ASCII with other characters every few bytes is checked a
// block of 64 bytes at a time, by looking up every pair of adjacent bytes in
// three tables (indexed by the first byte's high and low halves and the
// second byte's high half) whose entries AND to nonzero exactly for the
// pairs that cannot occur in well-formed UTF-8, and by checking that the
// bytes that are continuations are exactly those that the lead bytes two and
// three before call for. A block passes when no such fault and no NUL lies in
// it; its units are the bytes that are not continuations plus the 4-byte
// leads. A pass says nothing about where a fault is: the scalar scan finds
// that. Each bit marks one kind of fault, for (first byte, second byte):
constexpr std::uint8_t kTooShort = 1 << 0;      // lead, then no continuation
constexpr std::uint8_t kTooLong = 1 << 1;       // ASCII, then a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;     // E0, then 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;      // F4..FF, then 90..BF
constexpr std::uint8_t kSurrogate = 1 << 4;     // ED, then A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;     // C0 or C1, then a continuation
constexpr std::uint8_t kTooLarge1000 = 1 << 6;  // F5..FF, then 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;     // F0, then 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;      // continuation after continuation
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

// Indexed by the first byte's high half.
constexpr std::uint8_t kFirstHigh[16] = {kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,
                                         kTooShort | kOverlong2,
                                         kTooShort,
                                         kTooShort | kOverlong3 | kSurrogate,
                                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
// Indexed by the first byte's low half.
constexpr std::uint8_t kFirstLow[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                        kCarry | kOverlong2,
                                        kCarry,
                                        kCarry,
                                        kCarry | kTooLarge,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000};
// Indexed by the second byte's high half.
constexpr std::uint8_t kSecondHigh[16] = {kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
                                          kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
                                          kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
                                          kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort,
                                          kTooShort};

constexpr std::size_t kBlock = 64;
// No block holds more units than this (at most two a byte), so a block is
// taken whole only while the limit is at least this far.
constexpr std::size_t kMostBlockUnits = 2 * kBlock;

// Whether the bytes just before `at` leave a character open, whose
// continuations must come first in the block at `at`.
bool leavesCharacterOpen(const unsigned char* at) { return at[-1] >= 0xC0 || at[-2] >= 0xE0 || at[-3] >= 0xF0; }

// Checks the 64 bytes at `at`, reading the three before it too; on a pass,
// adds the block's units to `units`. (No lambdas here: they would not share
// the function's target.)
__attribute__((target("avx2,popcnt"), always_inline)) inline bool blockPassesAvx2(const unsigned char* at,
                                                                                  std::size_t& units) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
  if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0 && !leavesCharacterOpen(at)) {
    const __m256i nul = _mm256_or_si256(_mm256_cmpeq_epi8(a, zero), _mm256_cmpeq_epi8(b, zero));
    if (!_mm256_testz_si256(nul, nul)) return false;
    units += kBlock;
    return true;
  }
  const __m256i firstHigh = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstHigh)));
  const __m256i firstLow = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLow)));
  const __m256i secondHigh =
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kSecondHigh)));
  const __m256i lowHalf = _mm256_set1_epi8(0x0F);
  const __m256i third = _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80));
  const __m256i fourth = _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80));
  const __m256i top = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i beforeContinuation = _mm256_set1_epi8(static_cast<char>(0xBF));
  const __m256i fourByteLead = _mm256_set1_epi8(static_cast<char>(0xF0));
  __m256i wrong = zero;
  std::size_t blockUnits = 0;
  for (std::size_t part = 0; part < kBlock; part += 32) {
    const unsigned char* from = at + part;
    const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i prev1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from - 1));
    const __m256i prev2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from - 2));
    const __m256i prev3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from - 3));
    const __m256i pairs = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), lowHalf)),
                         _mm256_shuffle_epi8(firstLow, _mm256_and_si256(prev1, lowHalf))),
        _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), lowHalf)));
    // The top bit is set where a lead two or three bytes before calls for a
    // continuation; kTwoConts has set it where one follows another.
    const __m256i called =
        _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(prev2, third), _mm256_subs_epu8(prev3, fourth)), top);
    wrong = _mm256_or_si256(wrong, _mm256_or_si256(_mm256_xor_si256(called, pairs), _mm256_cmpeq_epi8(input, zero)));
    // Signed, the bytes above 0xBF are the ASCII ones and those from 0xC0 up.
    const auto starts = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(input, beforeContinuation)));
    const auto leads =
        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(input, fourByteLead), input)));
    blockUnits += static_cast<std::size_t>(__builtin_popcount(starts) + __builtin_popcount(leads));
  }
  if (!_mm256_testz_si256(wrong, wrong)) return false;
  units += blockUnits;
  return true;
}

// The same check sixteen bytes at a time, for processors without AVX2.
__attribute__((target("ssse3"), always_inline)) inline bool blockPassesSsse3(const unsigned char* at,
                                                                             std::size_t& units) {
  const __m128i zero = _mm_setzero_si128();
  {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 48));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0 && !leavesCharacterOpen(at)) {
      // The smallest byte tells whether one is NUL.
      const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) return false;
      units += kBlock;
      return true;
    }
  }
  const __m128i firstHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstHigh));
  const __m128i firstLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLow));
  const __m128i secondHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSecondHigh));
  const __m128i lowHalf = _mm_set1_epi8(0x0F);
  const __m128i third = _mm_set1_epi8(static_cast<char>(0xE0 - 0x80));
  const __m128i fourth = _mm_set1_epi8(static_cast<char>(0xF0 - 0x80));
  const __m128i top = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i beforeContinuation = _mm_set1_epi8(static_cast<char>(0xBF));
  const __m128i fourByteLead = _mm_set1_epi8(static_cast<char>(0xF0));
  __m128i wrong = zero;
  __m128i perByte = zero;  // each byte's units, summed over the four parts
  for (std::size_t part = 0; part < kBlock; part += 16) {
    const unsigned char* from = at + part;
    const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i prev1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from - 1));
    const __m128i prev2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from - 2));
    const __m128i prev3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from - 3));
    const __m128i pairs =
        _mm_and_si128(_mm_and_si128(_mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(prev1, 4), lowHalf)),
                                    _mm_shuffle_epi8(firstLow, _mm_and_si128(prev1, lowHalf))),
                      _mm_shuffle_epi8(secondHigh, _mm_and_si128(_mm_srli_epi16(input, 4), lowHalf)));
    const __m128i called = _mm_and_si128(_mm_or_si128(_mm_subs_epu8(prev2, third), _mm_subs_epu8(prev3, fourth)), top);
    wrong = _mm_or_si128(wrong, _mm_or_si128(_mm_xor_si128(called, pairs), _mm_cmpeq_epi8(input, zero)));
    // A true comparison is -1: subtracting it counts one.
    perByte = _mm_sub_epi8(perByte, _mm_cmpgt_epi8(input, beforeContinuation));
    perByte = _mm_sub_epi8(perByte, _mm_cmpeq_epi8(_mm_max_epu8(input, fourByteLead), input));
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(wrong, zero)) != 0xFFFF) return false;
  const __m128i sums = _mm_sad_epu8(perByte, zero);
  units += static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_add_epi32(sums, _mm_srli_si128(sums, 8))));
  return true;
}

// Takes blocks from p[at, n) for as long as each passes and the limit is far;
// returns where the first block not taken starts.
__attribute__((target("avx2,popcnt"))) std::size_t blocksAvx2(const unsigned char* p, std::size_t n, std::size_t at,
                                                              std::size_t& units, std::size_t maxUnits) {
  while (n - at >= kBlock && maxUnits - units >= kMostBlockUnits && blockPassesAvx2(p + at, units)) at += kBlock;
  return at;
}

__attribute__((target("ssse3"))) std::size_t blocksSsse3(const unsigned char* p, std::size_t n, std::size_t at,
                                                         std::size_t& units, std::size_t maxUnits) {
  while (n - at >= kBlock && maxUnits - units >= kMostBlockUnits && blockPassesSsse3(p + at, units)) at += kBlock;
  return at;
}

using Blocks = std::size_t (*)(const unsigned char*, std::size_t, std::size_t, std::size_t&, std::size_t);

// The block check the tests chose, when they chose one.
std::optional<Blocks>& blocksChosenForTests() {
  static std::optional<Blocks> chosen;
  return chosen;
}

// The best block check this processor runs, or none.
Blocks blocksForThisProcessor() {
  static const Blocks blocks = []() -> Blocks {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")) return blocksAvx2;
    if (__builtin_cpu_supports("ssse3")) return blocksSsse3;
    return nullptr;
  }();
  return blocksChosenForTests().value_or(blocks);
}

// Takes whole blocks from the start of p[0, n) for as long as each passes
// and the limit is far, then returns the offset of the first character not
// wholly inside them, with `units` counting the characters before it. The
// bytes before a block that failed are well-formed but for their last
// character, which may still be open (its lead is counted, not its fault,
// which the failed block holds): the scalar scan starts again at that lead,
// so the first fault is found where it is.
std::size_t takeBlocks(const unsigned char* p, std::size_t n, std::size_t& units, std::size_t maxUnits) {
  const Blocks blocks = blocksForThisProcessor();
  if (blocks == nullptr || n < kBlock) return 0;
  {
    // The first block reads three bytes before the text: ASCII ones.
    unsigned char first[3 + kBlock] = {};
    std::memcpy(first + 3, p, kBlock);
    if (blocks(first + 3, kBlock, 0, units, maxUnits) == 0) return 0;
  }
  const std::size_t at = blocks(p, n, kBlock, units, maxUnits);
  // Back over the continuations of the last character to its lead; if the
  // character does not end before `at`, it starts again from its lead.
  for (std::size_t back = 1; back <= 3; ++back) {
    const unsigned char b = p[at - back];
    if ((b & 0xC0) == 0x80) continue;
    const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (length <= back) return at;
    units -= b >= 0xF0 ? 2 : 1;
    return at - back;
  }
  return at;
}

}  // namespace
#endif

void useUtf8BlocksForTests(Utf8Blocks blocks) {
#if defined(TARNWELD_UTF8_BLOCKS)
  __builtin_cpu_init();
  switch (blocks) {
    case Utf8Blocks::kBest:
      blocksChosenForTests().reset();
      break;
    case Utf8Blocks::kSsse3:
      blocksChosenForTests() = __builtin_cpu_supports("ssse3") ? blocksSsse3 : nullptr;
      break;
    case Utf8Blocks::kNone:
      blocksChosenForTests() = nullptr;
      break;
  }
#else
  static_cast<void>(blocks);
#endif
}

Utf8Scan scanUtf8(std::string_view bytes, std::size_t maxUnits) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t units = 0;
#if defined(TARNWELD_UTF8_BLOCKS)
  std::size_t i = takeBlocks(p, n, units, maxUnits);
#else
  std::size_t i = 0;
#endif
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
