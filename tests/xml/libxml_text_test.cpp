// The backend's text rules: source lines and decoding.
#include "xml/libxml/libxml_text.h"

#include <gtest/gtest.h>

#include "xml_test_support.h"

namespace tarnweld::xml {
namespace {

using testing::utf8;

TEST(LibxmlTextTest, SourceLinesEndAtLineFeedsAsTheParserCountsThem) {
  const Text text = "one\r\ntwo\rstill two\n\nfour";
  const struct {
    std::int32_t line;
    Text expected;
  } cases[] = {{0, ""}, {1, "one"}, {2, "two\rstill two"}, {3, ""}, {4, "four"}, {5, ""}};
  for (const auto& row : cases) EXPECT_EQ(utf8(sourceLine(text, row.line)), utf8(row.expected)) << row.line;
}

TEST(LibxmlTextTest, BytesAreDecodedFromTheEncodingTheyWereWrittenIn) {
  using namespace std::string_literals;
  Text euros;
  for (int i = 0; i < 3000; ++i) euros += "\u20AC";
  const struct {
    std::string bytes;
    std::string encoding;
    Text expected;
  } cases[] = {
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>", "ISO-8859-1",
       "<?xml version='1.0' encoding='ISO-8859-1'?><a>\u00E9</a>"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x80", "windows-1252",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\u20AC"},
      {"\xEF\xBB\xBF<a>\xC3\xA9</a>", "UTF-8", "<a>\u00E9</a>"},
      {"\xFF\xFE<\0a\0>\0\xE9\0"s, "UTF-16LE", "<a>\u00E9"},
      {"\xFE\xFF\0<\0a\0>\0\xE9"s, "UTF-16BE", "<a>\u00E9"},
      {"<\0?\0x\0"s, "UTF-16LE", "<?x"},
      {"<a>\xC3\xA9\xFF</a>", "UTF-8", "<a>\u00E9\uFFFD</a>"},
      {"<?xml version='1.0' encoding='x-none'?>\xC3\xA9", "x-none", "<?xml version='1.0' encoding='x-none'?>\u00E9"},
      {"\xFF\xFE<\0a\0x"s, "UTF-16LE", "<a\uFFFD"},        // half a unit at the end
      {std::string(3000, '\x80'), "windows-1252", euros},  // one byte, three as UTF-8
  };
  for (const auto& row : cases) {
    const Text decoded = decodeBytes(row.bytes, row.encoding);
    const auto differs = std::mismatch(decoded.begin(), decoded.end(), row.expected.begin(), row.expected.end());
    EXPECT_TRUE(decoded == row.expected) << row.encoding << ": differs from byte " << (differs.first - decoded.begin())
                                         << " of " << decoded.size();
  }
}

}  // namespace
}  // namespace tarnweld::xml
