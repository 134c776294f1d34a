// The one pass that checks UTF-8 and counts its UTF-16 units: the fast scan
// (blocks of 64 bytes of any text, then runs of ASCII at a time) stops where
// the plain reference stops, with the same count, wherever a fault or the
// limit lies against the blocks' edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "text/utf.h"

namespace tarnweld {
namespace {

using Stop = Utf8Scan::Stop;

// Every test runs with each block check the processor has: the best, SSSE3,
// and none.
class Utf8ScanTest : public ::testing::TestWithParam<Utf8Blocks> {
 protected:
  void SetUp() override { useUtf8BlocksForTests(GetParam()); }
  void TearDown() override { useUtf8BlocksForTests(Utf8Blocks::kBest); }
};

// Both scans give `expected` for `bytes`, printed on failure.
void expectScan(const std::string& bytes, std::size_t maxUnits, const Utf8Scan& expected) {
  const auto shown = testing::PrintToString(bytes) + " limit " + std::to_string(maxUnits);
  const Utf8Scan reference = scanUtf8Scalar(bytes, maxUnits);
  EXPECT_EQ(reference.stop, expected.stop) << shown;
  EXPECT_EQ(reference.end, expected.end) << shown;
  EXPECT_EQ(reference.utf16Units, expected.utf16Units) << shown;
  EXPECT_EQ(scanUtf8(bytes, maxUnits), reference) << shown;
}

// `size` bytes of well-formed text that mixes ASCII with characters of two,
// three and four bytes, ending in ASCII where a character would not fit: the
// blocks around a fault then hold characters that straddle their edges.
std::string mixedText(std::size_t size) {
  const std::string characters[] = {"a", "\xC3\xA9", "b", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "c"};
  std::string text;
  for (std::size_t k = 0; text.size() + characters[k % std::size(characters)].size() <= size; ++k) {
    text += characters[k % std::size(characters)];
  }
  return text + std::string(size - text.size(), 'd');
}

// Every kind of fault, and well-formed characters of each length, at every
// offset 0..140 in ASCII and in mixed text, so that each lies across the
// edges of the blocks taken at once (and of the first two blocks of 64): the
// stop is at the fault's first byte, the count that of the padding and the
// characters before it.
TEST_P(Utf8ScanTest, StopsAtTheFirstFaultWhereverItLies) {
  const struct {
    std::string bytes;
    Stop stop;
    std::size_t at;     // offset of the stop within `bytes`
    std::size_t units;  // units before it
  } cases[] = {
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", Stop::kEnd, 9, 4},  // 2, 3 and 4 bytes
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", Stop::kEnd, 7, 3},          // the highest of 3 and 4 bytes
      {"\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", Stop::kEnd, 9, 4},  // the lowest of 2, 3 and 4 bytes
      {"\xED\x9F\xBF\xEE\x80\x80", Stop::kEnd, 6, 2},              // either side of the surrogates
      {"\x80", Stop::kIllFormed, 0, 0},                            // lone continuation
      {"\xC3\xA9\xBF", Stop::kIllFormed, 2, 1},                    // continuation after a whole character
      {"\xC0\xAF", Stop::kIllFormed, 0, 0},                        // overlong, 2 bytes
      {"\xC1\xBF", Stop::kIllFormed, 0, 0},
      {"\xE0\x9F\xBF", Stop::kIllFormed, 0, 0},      // overlong, 3 bytes
      {"\xF0\x8F\xBF\xBF", Stop::kIllFormed, 0, 0},  // overlong, 4 bytes
      {"\xED\xA0\x80", Stop::kIllFormed, 0, 0},      // surrogates
      {"\xED\xBF\xBF", Stop::kIllFormed, 0, 0},
      {"\xF4\x90\x80\x80", Stop::kIllFormed, 0, 0},  // above U+10FFFF
      {"\xF5\x80\x80\x80", Stop::kIllFormed, 0, 0},  // leads that start nothing
      {"\xF8\x88\x80\x80\x80", Stop::kIllFormed, 0, 0},
      {"\xFE", Stop::kIllFormed, 0, 0},
      {"\xFF", Stop::kIllFormed, 0, 0},
      {"\xC3", Stop::kIllFormed, 0, 0},  // a lead without all its continuations
      {"\xE2\x82", Stop::kIllFormed, 0, 0},
      {"\xF0\x9D\x84", Stop::kIllFormed, 0, 0},
      {"\xE2\x82\xC3\xA9", Stop::kIllFormed, 0, 0},
      {std::string("\0", 1), Stop::kNul, 0, 0},
      {std::string("\xC3\xA9\0", 3), Stop::kNul, 2, 1},
  };
  for (const auto& row : cases) {
    for (std::size_t pad = 0; pad <= 140; ++pad) {
      for (const std::string& before : {std::string(pad, 'a'), mixedText(pad)}) {
        const std::size_t beforeUnits = scanUtf8Scalar(before).utf16Units;
        // With text after it (a whole block of ASCII, or mixed), and at the
        // very end (where a lead byte alone is a sequence cut short).
        for (const std::string& after : {std::string(80, 'b'), mixedText(140), std::string()}) {
          const std::string bytes = before + row.bytes + after;
          const bool whole = row.stop == Stop::kEnd;
          const std::size_t afterUnits = whole ? scanUtf8Scalar(after).utf16Units : 0;
          expectScan(bytes, SIZE_MAX,
                     {row.stop, whole ? bytes.size() : pad + row.at, beforeUnits + row.units + afterUnits});
        }
      }
    }
  }
}

// Strings built at random (fixed seed) under random limits: short ones of
// any pieces, and long ones of mixed text, half of them with a fault or a
// stray byte here and there, which the blocks must hand over where it lies:
// the fast scan is the reference's.
TEST_P(Utf8ScanTest, MatchesTheReferenceOnRandomStrings) {
  const std::string wellFormed[] = {"a",
                                    "0123456789abcdefghij",
                                    "\xC3\xA9",
                                    "\xE2\x82\xAC",
                                    "\xF0\x9D\x84\x9E",
                                    "\xEF\xBF\xBF",
                                    "\xF4\x8F\xBF\xBF",
                                    "\xC2\x80"};
  const std::string faults[] = {"\x80",         "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xE0\x9F\xBF", "\xC1\xBF",     "\xE2\x82",
                                "\xF0\x9D\x84", "\xC3",         std::string("\0", 1)};
  std::mt19937 random(27);
  for (int round = 0; round < 6000; ++round) {
    const bool isLong = round % 2 == 0;
    const bool faulty = random() % 2 == 0;
    // A fault in one piece of 8 in a short string, of 60 in a long one.
    const std::size_t faultEvery = isLong ? 60 : 8;
    std::string bytes;
    const std::size_t count = random() % (isLong ? 120 : 24);
    for (std::size_t k = 0; k < count; ++k) {
      if (!faulty || random() % faultEvery != 0) {
        bytes += wellFormed[random() % std::size(wellFormed)];
      } else if (random() % 2 == 0) {
        bytes.push_back(static_cast<char>(random()));
      } else {
        bytes += faults[random() % std::size(faults)];
      }
    }
    const std::size_t whole = scanUtf8Scalar(bytes).utf16Units;
    for (const std::size_t limit : {SIZE_MAX, whole, static_cast<std::size_t>(random() % (whole + 2))}) {
      ASSERT_EQ(scanUtf8(bytes, limit), scanUtf8Scalar(bytes, limit)) << testing::PrintToString(bytes) << limit;
    }
  }
}

// Every limit from none to past the whole count, on mixed text long enough
// for several blocks: wherever the limit falls against a block's edge, or
// inside a character that straddles one, the stop is the reference's.
TEST_P(Utf8ScanTest, StopsAtEveryLimitWhereverItFallsAgainstTheBlocks) {
  // A 4-byte character across every edge of the blocks of 64, its lead last
  // in one: that block holds more units than bytes.
  std::string acrossEdges(63, 'a');
  for (int k = 0; k < 5; ++k) acrossEdges += "\xF0\x9D\x84\x9E" + std::string(60, 'a');
  for (const std::string& bytes : {mixedText(400), std::string(300, 'a') + mixedText(100), acrossEdges}) {
    const std::size_t whole = scanUtf8Scalar(bytes).utf16Units;
    for (std::size_t limit = 0; limit <= whole + 1; ++limit) {
      ASSERT_EQ(scanUtf8(bytes, limit), scanUtf8Scalar(bytes, limit)) << testing::PrintToString(bytes) << limit;
    }
  }
}

// The limit on units: a text that reaches it exactly is whole; one unit more
// stops at the character that would pass it, a surrogate pair included, in a
// run of ASCII or out of it.
TEST_P(Utf8ScanTest, StopsAtTheCharacterThatWouldPassTheLimit) {
  const std::string ascii(100, 'a');
  const std::string pair = "\xF0\x9D\x84\x9E";
  const struct {
    std::string bytes;
    std::size_t maxUnits;
    Utf8Scan expected;
  } cases[] = {
      {ascii, 100, {Stop::kEnd, 100, 100}},
      {ascii, 99, {Stop::kTooLong, 99, 99}},
      {ascii, 64, {Stop::kTooLong, 64, 64}},
      {ascii, 17, {Stop::kTooLong, 17, 17}},
      {ascii, 0, {Stop::kTooLong, 0, 0}},
      {"", 0, {Stop::kEnd, 0, 0}},
      {ascii.substr(0, 20) + pair, 22, {Stop::kEnd, 24, 22}},
      {ascii.substr(0, 20) + pair, 21, {Stop::kTooLong, 20, 20}},  // the pair straddles the limit
      {ascii.substr(0, 20) + pair + ascii, 22, {Stop::kTooLong, 24, 22}},
      {"\xC3\xA9\xC3\xA9" + ascii, 1, {Stop::kTooLong, 2, 1}},
      {ascii.substr(0, 20) + "\xE2\x82\xAC", 20, {Stop::kTooLong, 20, 20}},
      // A fault right at the limit is the stop: it is the first real cause.
      {ascii.substr(0, 20) + "\xFF", 20, {Stop::kIllFormed, 20, 20}},
      {ascii.substr(0, 20) + std::string("\0", 1), 20, {Stop::kNul, 20, 20}},
  };
  for (const auto& row : cases) expectScan(row.bytes, row.maxUnits, row.expected);
}

// The checks built on the scan keep their meaning: a NUL is well-formed to
// firstInvalidUtf8 (it goes on past it) but not to isUtf8WithoutNul.
TEST_P(Utf8ScanTest, ChecksOnTheScanKeepTheirMeaning) {
  const std::string nul("\0", 1);
  const struct {
    std::string bytes;
    bool withoutNul;
    std::size_t firstInvalid;
  } cases[] = {
      {std::string(40, 'a'), true, std::string_view::npos},
      {std::string(20, 'a') + nul + std::string(20, 'a'), false, std::string_view::npos},
      {std::string(20, 'a') + nul + nul + "\xC3\xA9" + nul + "\xFF", false, 25},
      {std::string(20, 'a') + "\xFF" + nul, false, 20},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(isUtf8WithoutNul(row.bytes), row.withoutNul) << testing::PrintToString(row.bytes);
    EXPECT_EQ(firstInvalidUtf8(row.bytes), row.firstInvalid) << testing::PrintToString(row.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(EachBlockCheck, Utf8ScanTest,
                         ::testing::Values(Utf8Blocks::kBest, Utf8Blocks::kSsse3, Utf8Blocks::kNone));

}  // namespace
}  // namespace tarnweld
