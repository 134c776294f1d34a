// The UTF-8 edge: what goes out on the bus and to the parser must always
// encode, and what comes in must decode or be refused, never mangled.
#include <gtest/gtest.h>

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
  for (const auto& row : cases) {
    EXPECT_EQ(toUtf8(row.text), row.utf8);
    EXPECT_EQ(toUtf8WithoutNul(row.text), row.withoutNul);
  }
}

TEST(TextTest, DecodesWellFormedUtf8AndRefusesTheRest) {
  EXPECT_EQ(fromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"), u"é€𝄞");
  for (std::string_view bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
    EXPECT_FALSE(fromUtf8(bad).has_value()) << testing::PrintToString(bad);
  }
  EXPECT_EQ(fromUtf8Lenient("a\xFF"
                            "b\xC3"),
            u"a\xFFFD"
            u"b\xFFFD");
}

TEST(TextTest, PathsCrossBetweenTheHostsConventionAndPosixButUrisStayAsTheyAre) {
  const struct {
    std::u16string host, posix;
  } cases[] = {
      {u"dir\\sub\\a.xsl", u"dir/sub/a.xsl"},
      {u"\\\\server\\share\\a.xsl", u"//server/share/a.xsl"},
      {u"C:\\dir\\a.xsl", u"C:/dir/a.xsl"},
      {u"http://host/a\\b.xsl", u"http://host/a\\b.xsl"},
      {u"file:///tmp/a.xsl", u"file:///tmp/a.xsl"},
      {u"/already/posix.xsl", u"/already/posix.xsl"},
      {u"a:b\\c", u"a:b/c"},
  };
  for (const auto& row : cases) EXPECT_EQ(toUtf8(fromHostPath(row.host)), toUtf8(row.posix)) << toUtf8(row.host);
  EXPECT_EQ(toHostPath("/home/u/doc.xml"), "\\home\\u\\doc.xml");
}

}  // namespace
}  // namespace tarnweld
