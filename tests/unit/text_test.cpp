// The UTF-8 edge: what goes out on the bus and to the parser must always
// encode, and what comes in must decode or be refused, never mangled.
#include "text/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "text/ascii.h"
#include "text/encoding_sniff.h"
#include "text/host_path.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

TEST(TextTest, EncodesEveryTextAndReplacesWhatCannotTravel) {
  const struct {
    std::u16string text;
    std::string utf8, withoutNul;
  } cases[] = {
      {u"plain", "plain", "plain"},
      {u"é€𝄞", "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"},
      {std::u16string(u"a\0b", 3), std::string("a\0b", 3),
       "a\xEF\xBF\xBD"
       "b"},
      {u"x\xD800", "x\xEF\xBF\xBD", "x\xEF\xBF\xBD"},
      {u"\xDC00y", "\xEF\xBF\xBDy", "\xEF\xBF\xBDy"},
      {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
  };
  // Each case also inside runs of ASCII, at every offset within a word and
  // within a block of sixteen, the way it meets the conversions inside a
  // large document.
  for (const auto& row : cases) {
    for (std::size_t pad = 0; pad < 40; ++pad) {
      const std::string before(pad, 'a'), after = "0123456789abcdef";
      const std::u16string text = std::u16string(pad, u'a') + row.text + u"0123456789abcdef";
      EXPECT_EQ(toUtf8(text), before + row.utf8 + after) << pad;
      EXPECT_EQ(toUtf8WithoutNul(text), before + row.withoutNul + after) << pad;
      EXPECT_EQ(fromUtf8Lenient(before + row.withoutNul + after),
                std::u16string(pad, u'a') + fromUtf8Lenient(row.withoutNul) + u"0123456789abcdef")
          << pad;
    }
  }
}

// Large texts are read a piece at a time; wherever the pieces end, the
// result must be the whole text's.
TEST(TextTest, PiecewiseConversionGivesTheWholeTextsResult) {
  const std::string bytes =
      "a\xF0\x9F\x98\x80\xE2\x82\xAC\xC3\xA9\xFF\x80\xE2\x82"
      "b\xF0\x9F\x98"
      "c\xC3";
  for (std::size_t size = 1; size <= 6; ++size) {
    std::u16string decoded;
    std::string kept;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
      kept += bytes.substr(at, size);
      const std::size_t length = utf8PieceLength(kept);
      appendDecodedUtf8(decoded, std::string_view(kept).substr(0, length));
      kept.erase(0, length);
    }
    decoded += fromUtf8Lenient(kept);
    EXPECT_EQ(decoded, fromUtf8Lenient(bytes)) << size;
  }
}

// A match must be found wherever it stands, behind near-misses, and never
// past the text's end.
TEST(TextTest, CaseBlindSearchFindsTheFirstMatchWhereverItStands) {
  const std::u16string target = u"<?Xml-S";
  for (std::size_t pad = 0; pad < 40; ++pad) {
    const std::u16string before = std::u16string(pad, u'a') + u"<?xm<?x";
    for (const std::u16string& text : {before + u"<?XML-s<?xml-s" + u"tail", before + u"<?xml-", before}) {
      const std::size_t expected = std::search(text.begin(), text.end(), target.begin(), target.end(),
                                               [](char16_t a, char16_t b) { return foldAscii(a) == foldAscii(b); }) -
                                   text.begin();
      const std::size_t found = findIgnoringAsciiCase<char16_t>(text, target, 0);
      EXPECT_EQ(found, expected == text.size() ? std::u16string_view::npos : expected) << pad;
      if (found != std::u16string_view::npos) {
        EXPECT_EQ(findIgnoringAsciiCase<char16_t>(text, target, found + 1), found + 7) << pad;
      }
    }
  }
}

TEST(TextTest, DecodesWellFormedUtf8AndRefusesTheRest) {
  EXPECT_EQ(fromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"), u"é€𝄞");
  for (std::string_view bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
    EXPECT_FALSE(fromUtf8(bad).has_value()) << testing::PrintToString(bad);
    EXPECT_FALSE(isUtf8WithoutNul(std::string(20, 'a') + std::string(bad))) << testing::PrintToString(bad);
  }
  // What the bus carries: well-formed and without NUL, wherever a NUL stands
  // in a run of ASCII.
  EXPECT_TRUE(isUtf8WithoutNul(std::string(20, 'a') + "\xC3\xA9\xF0\x9D\x84\x9E" + std::string(20, 'b')));
  for (std::size_t at = 0; at < 20; ++at) {
    std::string text(20, 'a');
    text[at] = '\0';
    EXPECT_FALSE(isUtf8WithoutNul(text + "\xC3\xA9")) << at;
  }
  EXPECT_EQ(fromUtf8Lenient("a\xFF"
                            "b\xC3"),
            u"a\xFFFD"
            u"b\xFFFD");
}

// Mending UTF-8 without leaving it gives what decoding and encoding again
// gives, and the UTF-16 length it counts is that of the decoded text.
TEST(TextTest, Utf8IsMendedAndCountedAsItsUtf16Form) {
  const std::string cases[] = {
      "plain",
      "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E",
      "a\xFF"
      "b\xC3",
      "\xED\xA0\x80",
      "\xC0\xAF",
      "\xF4\x90\x80\x80",
      std::string("a\0b", 3),
      "\xE2\x82",
      "0123456789abcdef\x80"
      "0123456789abcdef",
      std::string("0123456789\0abcdefghij", 21),  // a NUL inside a run taken a word at a time
  };
  for (const std::string& bytes : cases) {
    std::string mended;
    appendMendedUtf8(mended, bytes);
    EXPECT_EQ(mended, toUtf8(fromUtf8Lenient(bytes))) << bytes;
    EXPECT_EQ(utf16LengthOfUtf8(mended), fromUtf8Lenient(bytes).size()) << bytes;
    std::string withoutNul;
    appendMendedUtf8(withoutNul, bytes, Utf8Nul::kReplace);
    EXPECT_EQ(withoutNul, toUtf8WithoutNul(fromUtf8Lenient(bytes))) << bytes;
  }
}

// The characters the bus library refuses inside a message, found with their
// offset; their neighbours and ill-formed bytes are not among them.
TEST(TextTest, NoncharactersAreFoundWhereTheyStand) {
  const struct {
    std::string bytes;
    char32_t codePoint;  // 0: none
    std::size_t offset;
  } cases[] = {
      {"", 0, 0},
      {"plain \xEF\xBF\xBD \xEF\xB7\x8F \xEF\xB7\xB0 \xF0\x9F\xBF\xBD \xE0\xBF\xBE", 0, 0},
      {"ab\xEF\xB7\x90", 0xFDD0, 2},
      {"\xEF\xB7\xAF", 0xFDEF, 0},
      {"\xC3\xA9\xEF\xBF\xBE", 0xFFFE, 2},
      {"\xEF\xBF\xBF", 0xFFFF, 0},
      {"x\xF0\x9F\xBF\xBE", 0x1FFFE, 1},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 0},
      {"\xEF\xB7", 0, 0},
      {"\xEF\xEF\xBF\xBF", 0xFFFF, 1},
  };
  for (const auto& row : cases) {
    const std::optional<FoundNoncharacter> found = firstNoncharacter(row.bytes);
    EXPECT_EQ(found ? found->codePoint : 0, row.codePoint) << testing::PrintToString(row.bytes);
    if (found) {
      EXPECT_EQ(found->offset, row.offset) << testing::PrintToString(row.bytes);
    }
  }
}

TEST(TextTest, PathsCrossBetweenTheHostsConventionAndPosixButUrisStayAsTheyAre) {
  const struct {
    Text host, posix;
  } cases[] = {
      {TXT("dir\\sub\\a.xsl"), TXT("dir/sub/a.xsl")},
      {TXT("\\\\server\\share\\a.xsl"), TXT("//server/share/a.xsl")},
      {TXT("C:\\dir\\a.xsl"), TXT("C:/dir/a.xsl")},
      {TXT("http://host/a\\b.xsl"), TXT("http://host/a\\b.xsl")},
      {TXT("file:///tmp/a.xsl"), TXT("file:///tmp/a.xsl")},
      {TXT("/already/posix.xsl"), TXT("/already/posix.xsl")},
      {TXT("a:b\\c"), TXT("a:b/c")},
  };
  for (const auto& row : cases) EXPECT_EQ(fromHostPath(row.host), row.posix) << textToUtf8(row.host);
  EXPECT_EQ(toHostPath("/home/u/doc.xml"), "\\home\\u\\doc.xml");
}

TEST(TextTest, EncodingComesFromTheMarkThenTheUtf16ShapeThenTheDeclarationElseUtf8) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string bytes;
    std::string name;
    std::size_t markLength;
    std::optional<std::string> declared;
  } cases[] = {
      {"no declaration", "<a>\xC3\xA9</a>", "UTF-8", 0, std::nullopt},
      {"UTF-8 mark", "\xEF\xBB\xBF<a/>", "UTF-8", 3, std::nullopt},
      {"UTF-16 LE mark", "\xFF\xFE<\0a\0"s, "UTF-16LE", 2, std::nullopt},
      {"UTF-16 BE mark", "\xFE\xFF\0<\0a"s, "UTF-16BE", 2, std::nullopt},
      {"UTF-16 LE shape", "<\0?\0x\0"s, "UTF-16LE", 0, std::nullopt},
      {"UTF-16 BE shape", "\0<\0?\0x"s, "UTF-16BE", 0, std::nullopt},
      {"half a UTF-16 shape", "<\0?x"s, "UTF-8", 0, std::nullopt},
      {"mark beats declaration", "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>", "UTF-8", 3, std::nullopt},
      {"single quotes", "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>", "ISO-8859-1", 0, "ISO-8859-1"},
      {"double quotes", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x80", "windows-1252", 0, "windows-1252"},
      {"spaces around =", "<?xml version=\"1.0\" encoding = 'latin1' ?>", "latin1", 0, "latin1"},
      {"unknown name kept", "<?xml version='1.0' encoding='x-none'?>", "x-none", 0, "x-none"},
      {"no encoding", "<?xml version='1.0'?><a/>", "UTF-8", 0, std::nullopt},
      {"no = after encoding", "<?xml version='1.0' encoding 'ISO-8859-1'?>", "UTF-8", 0, std::nullopt},
      {"not at the start", " <?xml version='1.0' encoding='ISO-8859-1'?>", "UTF-8", 0, std::nullopt},
      {"another instruction", "<?xml-stylesheet encoding='ISO-8859-1'?>", "UTF-8", 0, std::nullopt},
      {"declaration never ends", "<?xml version='1.0' encoding='ISO-8859-1'", "UTF-8", 0, std::nullopt},
      {"declaration too long", "<?xml encoding='ISO-8859-1'" + std::string(1024, ' ') + "?>", "UTF-8", 0, std::nullopt},
  };
  for (const auto& row : cases) {
    const SniffedEncoding sniffed = sniffEncoding(row.bytes);
    EXPECT_EQ(sniffed.name, row.name) << row.what;
    EXPECT_EQ(sniffed.markLength, row.markLength) << row.what;
    EXPECT_EQ(sniffed.declared, row.declared) << row.what;
  }
}

#if !TARNWELD_TEXT_UTF16
// On Linux a text is well-formed UTF-8 without NUL whatever made it: bytes
// are mended once where they come in, counted in the same pass, and no cut
// or change splits a character.
TEST(Utf8TextTest, ATextStaysWellFormedWhateverMadeOrCutIt) {
  const struct {
    std::string_view bytes;
    std::string_view text;
  } cases[] = {
      {"plain \xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "plain \xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"},
      {std::string_view("a\0b", 3),
       "a\xEF\xBF\xBD"
       "b"},
      {"\xFF", "\xEF\xBF\xBD"},
      {"ab\xE2\x82", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    Text appended(TXT("x"));
    appendTextFromUtf8(appended, row.bytes);
    for (const Text& text : {textFromUtf8(row.bytes), textFromOwnedUtf8(std::string(row.bytes)), appended.substr(1)}) {
      EXPECT_EQ(text.bytes(), row.text);
      EXPECT_EQ(utf16Length(text), fromUtf8Lenient(row.text).size());
    }
  }
  const Text text = textFromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E.");
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    SCOPED_TRACE(cut);
    Text truncated = text, erased = text;
    truncated.truncate(cut);
    erased.erase(cut);
    for (const Text& part : {text.substr(0, cut), text.substr(cut), truncated, erased}) {
      EXPECT_TRUE(isUtf8WithoutNul(part.bytes())) << testing::PrintToString(part.bytes());
    }
    EXPECT_TRUE(text.starts_with(text.substr(0, cut)));
    EXPECT_EQ(text.substr(0, cut).size() + text.substr(text.substr(0, cut).size()).size(), text.size());
  }
}

// A text held outside the heap shares its storage; changing one copies it
// first, and the storage stays as it was.
TEST(Utf8TextTest, AChangeToAHeldTextLeavesItsStorageAsItWas) {
  struct Fixed final : TextStorage {
    std::string held = "abc";
    std::string_view bytes() const override { return held; }
  };
  const auto storage = std::make_shared<const Fixed>();
  const HeldText read = textHeldIn(storage, NulBytes::kRefuse);
  ASSERT_TRUE(read.text) << read.refusal;
  const Text held = *read.text;
  EXPECT_EQ(held.storage(), storage.get());
  EXPECT_EQ(held.bytes().data(), storage->held.data()) << "a copy, not the storage";
  Text changed = held;
  changed.append(TXT("d\xC3\xA9"));
  EXPECT_EQ(changed, "abcd\xC3\xA9");
  EXPECT_EQ(utf16Length(changed), 5u);
  EXPECT_EQ(changed.storage(), nullptr);
  EXPECT_EQ(held, "abc");
  EXPECT_EQ(storage->held, "abc");
}

// A stored text is refused past the limit it is read under, mended or not,
// and taken up to it.
TEST(Utf8TextTest, AHeldTextIsRefusedPastItsLimit) {
  struct Fixed final : TextStorage {
    explicit Fixed(std::string bytes) : held(std::move(bytes)) {}
    std::string held;
    std::string_view bytes() const override { return held; }
  };
  const struct {
    std::string bytes;
    std::size_t maxUnits;
    bool taken;
  } cases[] = {
      {"abcd", 4, true},
      {"abcde", 4, false},
      {"ab\xF0\x9D\x84\x9E", 4, true},
      {"abc\xF0\x9D\x84\x9E", 4, false},
      {"ab\xFF\xFF", 4, true},
      {"ab\xFF\xFF\xFF", 4, false},
  };
  for (const auto& row : cases) {
    const HeldText read = textHeldIn(std::make_shared<const Fixed>(row.bytes), NulBytes::kMend, row.maxUnits);
    EXPECT_EQ(read.text.has_value(), row.taken) << testing::PrintToString(row.bytes);
  }
}
#endif

}  // namespace
}  // namespace tarnweld
