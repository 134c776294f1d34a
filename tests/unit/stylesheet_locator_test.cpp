// Finding the stylesheet: the default path beside the document, the scan of
// the document's xml-stylesheet instruction, and the placing of the reference
// against the document's directory.
#include "run/stylesheet_locator.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace tarnweld {
namespace {

std::string show(std::u16string_view text) { return "«" + toUtf8(text) + "»"; }

TEST(DefaultPathTest, SplitsAtTheLastBackslashAndDropsTheLastExtension) {
  const struct {
    std::u16string_view fileName, directoryPart, filePart, baseName, stylesheetPath;
  } cases[] = {
      {u"C:\\docs\\report.xml", u"C:\\docs\\", u"report.xml", u"report", u"C:\\docs\\report.xsl"},
      {u"C:\\docs\\report.old.xml", u"C:\\docs\\", u"report.old.xml", u"report.old", u"C:\\docs\\report.old.xsl"},
      {u"C:\\my.dir\\data", u"C:\\my.dir\\", u"data", u"data", u"C:\\my.dir\\data.xsl"},
      {u"C:\\docs\\.profile", u"C:\\docs\\", u".profile", u"", u"C:\\docs\\.xsl"},
      {u"C:\\docs\\name.", u"C:\\docs\\", u"name.", u"name", u"C:\\docs\\name.xsl"},
      {u"C:\\docs\\", u"C:\\docs\\", u"", u"", u"C:\\docs\\.xsl"},
      {u"report.xml", u"", u"report.xml", u"report", u"report.xsl"},
      {u"", u"", u"", u"", u".xsl"},
      {u"C:/web/site/page.xml", u"", u"C:/web/site/page.xml", u"C:/web/site/page", u"C:/web/site/page.xsl"},
      {u"C:\\web/site/page.xml", u"C:\\", u"web/site/page.xml", u"web/site/page", u"C:\\web/site/page.xsl"},
      {u"\\\\server\\share\\doc.xml", u"\\\\server\\share\\", u"doc.xml", u"doc", u"\\\\server\\share\\doc.xsl"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(show(row.fileName));
    RunRequest request;
    request.fileName = row.fileName;
    StylesheetLocator::deriveDefaultPath(request);
    EXPECT_EQ(request.directoryPart, row.directoryPart);
    EXPECT_EQ(request.filePart, row.filePart);
    EXPECT_EQ(request.baseName, row.baseName);
    EXPECT_EQ(request.stylesheetPath, row.stylesheetPath);
  }
}

constexpr std::u16string_view kNone = u"\x01none";

TEST(InstructionScanTest, TakesTheFirstHrefValueByPlainTextRules) {
  const struct {
    std::u16string_view text, value;
  } cases[] = {
      {u"<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet href='a.xsl'?>", u"a.xsl"},
      {u"<?xml-stylesheet href = \"a.xsl\" ?>", u"a.xsl"},
      {u"<?xml-stylesheet href=   \"a.xsl\"?>", u"a.xsl"},
      {u"<?XML-STYLESHEET HREF=\"a.xsl\"?>", u"a.xsl"},
      {u"<?Xml-StyleSheet Href='a.xsl'?>", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl?>", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl type=text/xsl?>", u"a.xsl"},
      {u"<?xml-stylesheet href=a b.xsl?>", u"a"},
      {u"<?xml-stylesheet href=\"a b.xsl\"?>", u"a b.xsl"},
      {u"<?xml-stylesheet href=\"it's.xsl\"?>", u"it's.xsl"},
      {u"<?xml-stylesheet href=\"a&amp;b.xsl\"?>", u"a&amp;b.xsl"},
      {u"<?xml-stylesheet href=\"a.xsl\"\r\n<doc/>", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl\r\n<doc/>", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl\r\ntype=\"text/xsl\"?>", u"a.xsl\r\ntype=\"text/xsl\""},
      {u"<?xml-stylesheet href=a.xsl\n<doc/>", u"a.xsl\n<doc/>"},
      {u"<?xml-stylesheet href=\"a.xsl\r\n\"?>", u"a.xsl\r\n"},
      {u"<?xml-stylesheet href=\"a.xsl?>", kNone},
      {u"<?xml-stylesheet href=\"a.xsl?>\r\n<doc a=\"1\"/>", kNone},
      {u"<?xml-stylesheet href=\"a.xsl?>\" x", kNone},
      {u"<?xml-stylesheet href='a.xsl\"?>", kNone},
      {u"<?xml-stylesheet href=\"\"?>", kNone},
      {u"<?xml-stylesheet href=''?>", kNone},
      {u"<?xml-stylesheet href=?>", kNone},
      {u"<?xml-stylesheet href=   ?>", kNone},
      {u"<?xml-stylesheet href=\"?>", u"\""},
      {u"<?xml-stylesheet href=x \"a.xsl\"?>", u"x"},
      {u"<?xml-stylesheet href=a\"b\"?>", u"a\"b\""},
      {u"<?xml-stylesheet href==\"a.xsl\"?>", u"=\"a.xsl\""},
      {u"<?xml-stylesheet href=\t\"a.xsl\"?>", u"\t\"a.xsl\""},
      {u"<?xml-stylesheet href=\r\n\"a.xsl\"?>", u"\r\n\"a.xsl\""},
      {u"<?xml-stylesheet href \"a.xsl\" type=\"text/xsl\"?>", u"text/xsl"},
      {u"<?xml-stylesheet type=\"text/xsl\"?>\r\n<a href=\"x.xsl\"/>", u"x.xsl"},
      {u"<?xml-stylesheet xhref=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheethref=\"a.xsl\"?>", u"a.xsl"},
      {u"<!-- <?xml-stylesheet href=\"old.xsl\"?> --><?xml-stylesheet href=\"a.xsl\"?>", u"old.xsl"},
      {u"<?xml-stylesheet href=\"a.xsl\"?><?xml-stylesheet href=\"b.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet", kNone},
      {u"<?xml-stylesheet href", kNone},
      {u"<?xml-stylesheet href=", kNone},
      {u"<?xml-stylesheet href= ", kNone},
      {u"<doc/>", kNone},
      // Only the ASCII letters fold: a dotless capital I is not an "i".
      {u"<?xml-stylesheet hrEf=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet hre\u0130=\"a.xsl\"?>", kNone},
      // An instruction that declares CSS is passed over for the next one.
      {u"<?xml-stylesheet type=\"text/css\" href=\"screen.css\"?><?xml-stylesheet href=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet type=\"text/css\" href=\"screen.css\"?>\r\n<a href=\"x.xsl\"/>", kNone},
      {u"<?xml-stylesheet type=\"TEXT/CSS\" href=\"s.css\"?><?xml-stylesheet href='a.xsl'?>", u"a.xsl"},
      {u"<?xml-stylesheet type=text/css href=s.css?><?xml-stylesheet href=a.xsl?>", u"a.xsl"},
      {u"<?xml-stylesheet type = \"text/css\" href=\"s.css\"?><?xml-stylesheet href=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet type='text/xsl' href='a.xsl'?><?xml-stylesheet type='text/css' href='s.css'?>", u"a.xsl"},
      {u"<?xml-stylesheet href=\"s.css\" type=\"text/css\"?><?xml-stylesheet href=\"a.xsl\"?>", u"a.xsl"},
      {u"<?xml-stylesheet href=\"a.xsl\" ctype=\"text/css\"?>", u"a.xsl"},
      {u"<?xml-stylesheet href=\"a.xsl\" type=\"text/css\"", u"a.xsl"},
      {u"<?xml-stylesheet href=a.xsl?> <doc/>", u"a.xsl"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(show(row.text));
    const auto value = StylesheetLocator::scanInstruction(row.text);
    if (row.value == kNone) {
      EXPECT_FALSE(value.has_value()) << show(value.value_or(u""));
    } else {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(*value, row.value);
    }
  }
}

TEST(InstructionScanTest, LongDocumentsKeepTheirInstruction) {
  // Positions are as wide as the text: a document past 32,767 characters
  // still names its stylesheet.
  const std::u16string filler(100'000, u'x');
  EXPECT_EQ(StylesheetLocator::scanInstruction(u"<?xml-stylesheet href=\"a.xsl\"?>" + filler), u"a.xsl");
  EXPECT_EQ(StylesheetLocator::scanInstruction(filler + u"<?xml-stylesheet href=a.xsl"), u"a.xsl");
  for (std::size_t length : {32'766u, 32'767u, 32'768u, 65'536u}) {
    std::u16string text(length, u' ');
    const std::u16string_view tail = u"<?xml-stylesheet href=a.xsl";
    text.replace(length - tail.size(), tail.size(), tail);
    EXPECT_EQ(StylesheetLocator::scanInstruction(text), u"a.xsl") << length;
  }
}

TEST(InstructionScanTest, EveryPrefixEndsInsideTheText) {
  // Run under the sanitizer build, this shows no read past the last character.
  for (std::u16string_view whole : {u"<?xml-stylesheet href=\"a b.xsl\" type='t'?>\r\n<d/>",
                                    u"<?xml-stylesheet href='a.xsl'?>", u"<?xml-stylesheet href=   a.xsl x"}) {
    for (std::size_t length = 0; length <= whole.size(); ++length) {
      const std::u16string prefix(whole.substr(0, length));  // its own allocation, so overreads are caught
      const auto value = StylesheetLocator::scanInstruction(prefix);
      if (value) {
        EXPECT_FALSE(value->empty());
        EXPECT_GE(value->data(), prefix.data());
        EXPECT_LE(value->data() + value->size(), prefix.data() + prefix.size());
      }
    }
  }
}

TEST(PathResolutionTest, PlacesReferencesAgainstTheDirectory) {
  const struct {
    std::u16string_view reference, directory, result;
  } cases[] = {
      // No separator: under the directory, whatever else it holds.
      {u"a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\a.xsl"},
      {u"..a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\..a.xsl"},
      {u"x.xsl", u"", u"x.xsl"},
      {u".xsl", u"", u".xsl"},
      {u"http:a.xsl", u"C:\\d\\", u"C:\\d\\http:a.xsl"},
      // A separator and no parent step.
      {u"styles\\a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\styles\\a.xsl"},
      {u"styles/a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\styles/a.xsl"},
      {u"/styles/a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\styles/a.xsl"},
      {u"\\a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\a.xsl"},
      {u"./a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\xml\\./a.xsl"},
      {u"C:\\styles\\a.xsl", u"C:\\docs\\xml\\", u"C:\\styles\\a.xsl"},
      {u"C:/styles/a.xsl", u"C:\\docs\\xml\\", u"C:/styles/a.xsl"},
      {u"http://example.org/s/a.xsl", u"C:\\d\\", u"http://example.org/s/a.xsl"},
      {u"/x.xsl", u"", u"x.xsl"},
      {u"\\\\server\\a.xsl", u"C:\\d\\", u"C:\\d\\\\server\\a.xsl"},
      // Parent steps climb one level each, and stop at the top.
      {u"../a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\a.xsl"},
      {u"..\\a.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\a.xsl"},
      {u"a/../b.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\b.xsl"},
      {u"../styles/x.xsl", u"C:\\site\\pages\\", u"C:\\site\\styles/x.xsl"},
      {u"..\\..\\x.xsl", u"C:\\a\\b\\c\\", u"C:\\a\\x.xsl"},
      {u"../../../../x.xsl", u"C:\\a\\", u"C:\\x.xsl"},
      {u".../x.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\./x.xsl"},
      {u"....\\x.xsl", u"C:\\docs\\xml\\", u"C:\\x.xsl"},
      {u"..\\\\x.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\\\x.xsl"},
      {u"styles/..", u"C:\\a\\b\\", u"C:\\a\\"},
      {u"C:\\other\\..\\x.xsl", u"C:\\docs\\xml\\", u"C:\\docs\\x.xsl"},
      {u"../x.xsl", u"", u"x.xsl"},
      {u"../x.xsl", u"\\", u"\\x.xsl"},
      {u"../x.xsl", u"\\a\\", u"\\x.xsl"},
      {u"../x.xsl", u"C:\\a/b/c\\", u"C:\\x.xsl"},
      {u"../../x.xsl", u"C:/web/site\\", u"C:/x.xsl"},
      {u"../x.xsl", u"C:\\x\\y\\..\\", u"C:\\x\\y\\x.xsl"},
      {u"C:\\docs\\report.xsl", u"C:\\docs\\", u"C:\\docs\\report.xsl"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(show(row.reference) + " in " + show(row.directory));
    EXPECT_EQ(StylesheetLocator::resolvePath(row.directory, row.reference), row.result);
  }
}

TEST(PathResolutionTest, ParentStepsPastTheTopStopThere) {
  std::u16string chain;
  for (int i = 0; i < 5'000; ++i) chain += u"../";
  EXPECT_EQ(StylesheetLocator::resolvePath(u"C:\\a\\b\\", chain + u"x.xsl"), u"C:\\x.xsl");
  // A directory part longer than any 16-bit position climbs as well.
  const std::u16string deep = u"C:\\" + std::u16string(40'000, u'd') + u"\\e\\";
  EXPECT_EQ(StylesheetLocator::resolvePath(deep, u"../x.xsl"), deep.substr(0, deep.size() - 2) + u"x.xsl");
  EXPECT_EQ(StylesheetLocator::resolvePath(deep, u"../../x.xsl"), u"C:\\x.xsl");
}

}  // namespace
}  // namespace tarnweld
