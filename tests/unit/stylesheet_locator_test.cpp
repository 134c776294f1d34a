// Finding the stylesheet: the default path beside the document, the scan of
// the document's xml-stylesheet instruction, and the placing of the reference
// against the document's directory.
#include "run/stylesheet_locator.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace tarnweld {
namespace {

std::string show(TextView text) { return "«" + textToUtf8(text) + "»"; }

TEST(DefaultPathTest, SplitsAtTheLastBackslashAndDropsTheLastExtension) {
  const struct {
    TextView fileName, directoryPart, filePart, baseName, stylesheetPath;
  } cases[] = {
      {TXT("C:\\docs\\report.xml"), TXT("C:\\docs\\"), TXT("report.xml"), TXT("report"), TXT("C:\\docs\\report.xsl")},
      {TXT("C:\\docs\\report.old.xml"), TXT("C:\\docs\\"), TXT("report.old.xml"), TXT("report.old"),
       TXT("C:\\docs\\report.old.xsl")},
      {TXT("C:\\my.dir\\data"), TXT("C:\\my.dir\\"), TXT("data"), TXT("data"), TXT("C:\\my.dir\\data.xsl")},
      {TXT("C:\\docs\\.profile"), TXT("C:\\docs\\"), TXT(".profile"), TXT(""), TXT("C:\\docs\\.xsl")},
      {TXT("C:\\docs\\name."), TXT("C:\\docs\\"), TXT("name."), TXT("name"), TXT("C:\\docs\\name.xsl")},
      {TXT("C:\\docs\\"), TXT("C:\\docs\\"), TXT(""), TXT(""), TXT("C:\\docs\\.xsl")},
      {TXT("report.xml"), TXT(""), TXT("report.xml"), TXT("report"), TXT("report.xsl")},
      {TXT(""), TXT(""), TXT(""), TXT(""), TXT(".xsl")},
      {TXT("C:/web/site/page.xml"), TXT(""), TXT("C:/web/site/page.xml"), TXT("C:/web/site/page"),
       TXT("C:/web/site/page.xsl")},
      {TXT("C:\\web/site/page.xml"), TXT("C:\\"), TXT("web/site/page.xml"), TXT("web/site/page"),
       TXT("C:\\web/site/page.xsl")},
      {TXT("\\\\server\\share\\doc.xml"), TXT("\\\\server\\share\\"), TXT("doc.xml"), TXT("doc"),
       TXT("\\\\server\\share\\doc.xsl")},
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

constexpr TextView kNone = TXT("\x01none");

TEST(InstructionScanTest, TakesTheFirstHrefValueByPlainTextRules) {
  const struct {
    TextView text, value;
  } cases[] = {
      {TXT("<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href='a.xsl'?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href = \"a.xsl\" ?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=   \"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?XML-STYLESHEET HREF=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?Xml-StyleSheet Href='a.xsl'?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl type=text/xsl?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a b.xsl?>"), TXT("a")},
      {TXT("<?xml-stylesheet href=\"a b.xsl\"?>"), TXT("a b.xsl")},
      {TXT("<?xml-stylesheet href=\"it's.xsl\"?>"), TXT("it's.xsl")},
      {TXT("<?xml-stylesheet href=\"a&amp;b.xsl\"?>"), TXT("a&amp;b.xsl")},
      {TXT("<?xml-stylesheet href=\"a.xsl\"\r\n<doc/>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl\r\n<doc/>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl\r\ntype=\"text/xsl\"?>"), TXT("a.xsl\r\ntype=\"text/xsl\"")},
      {TXT("<?xml-stylesheet href=a.xsl\n<doc/>"), TXT("a.xsl\n<doc/>")},
      {TXT("<?xml-stylesheet href=\"a.xsl\r\n\"?>"), TXT("a.xsl\r\n")},
      {TXT("<?xml-stylesheet href=\"a.xsl?>"), kNone},
      {TXT("<?xml-stylesheet href=\"a.xsl?>\r\n<doc a=\"1\"/>"), kNone},
      {TXT("<?xml-stylesheet href=\"a.xsl?>\" x"), kNone},
      {TXT("<?xml-stylesheet href='a.xsl\"?>"), kNone},
      {TXT("<?xml-stylesheet href=\"\"?>"), kNone},
      {TXT("<?xml-stylesheet href=''?>"), kNone},
      {TXT("<?xml-stylesheet href=?>"), kNone},
      {TXT("<?xml-stylesheet href=   ?>"), kNone},
      {TXT("<?xml-stylesheet href=\"?>"), TXT("\"")},
      {TXT("<?xml-stylesheet href=x \"a.xsl\"?>"), TXT("x")},
      {TXT("<?xml-stylesheet href=a\"b\"?>"), TXT("a\"b\"")},
      {TXT("<?xml-stylesheet href==\"a.xsl\"?>"), TXT("=\"a.xsl\"")},
      {TXT("<?xml-stylesheet href=\t\"a.xsl\"?>"), TXT("\t\"a.xsl\"")},
      {TXT("<?xml-stylesheet href=\r\n\"a.xsl\"?>"), TXT("\r\n\"a.xsl\"")},
      {TXT("<?xml-stylesheet href \"a.xsl\" type=\"text/xsl\"?>"), TXT("text/xsl")},
      {TXT("<?xml-stylesheet type=\"text/xsl\"?>\r\n<a href=\"x.xsl\"/>"), TXT("x.xsl")},
      {TXT("<?xml-stylesheet xhref=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheethref=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<!-- <?xml-stylesheet href=\"old.xsl\"?> --><?xml-stylesheet href=\"a.xsl\"?>"), TXT("old.xsl")},
      {TXT("<?xml-stylesheet href=\"a.xsl\"?><?xml-stylesheet href=\"b.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet"), kNone},
      {TXT("<?xml-stylesheet href"), kNone},
      {TXT("<?xml-stylesheet href="), kNone},
      {TXT("<?xml-stylesheet href= "), kNone},
      {TXT("<doc/>"), kNone},
      // Only the ASCII letters fold: a dotless capital I is not an "i".
      {TXT("<?xml-stylesheet hrEf=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet hre\u0130=\"a.xsl\"?>"), kNone},
      // An instruction that declares CSS is passed over for the next one.
      {TXT("<?xml-stylesheet type=\"text/css\" href=\"screen.css\"?><?xml-stylesheet href=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet type=\"text/css\" href=\"screen.css\"?>\r\n<a href=\"x.xsl\"/>"), kNone},
      {TXT("<?xml-stylesheet type=\"TEXT/CSS\" href=\"s.css\"?><?xml-stylesheet href='a.xsl'?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet type=text/css href=s.css?><?xml-stylesheet href=a.xsl?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet type = \"text/css\" href=\"s.css\"?><?xml-stylesheet href=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet type='text/xsl' href='a.xsl'?><?xml-stylesheet type='text/css' href='s.css'?>"),
       TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=\"s.css\" type=\"text/css\"?><?xml-stylesheet href=\"a.xsl\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=\"a.xsl\" ctype=\"text/css\"?>"), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=\"a.xsl\" type=\"text/css\""), TXT("a.xsl")},
      {TXT("<?xml-stylesheet href=a.xsl?> <doc/>"), TXT("a.xsl")},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(show(row.text));
    const auto value = StylesheetLocator::scanInstruction(row.text);
    if (row.value == kNone) {
      EXPECT_FALSE(value.has_value()) << show(value.value_or(TXT("")));
    } else {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(*value, row.value);
    }
  }
}

TEST(InstructionScanTest, LongDocumentsKeepTheirInstruction) {
  // Positions are as wide as the text: a document past 32,767 characters
  // still names its stylesheet.
  const Text filler(100'000, TXT('x'));
  EXPECT_EQ(StylesheetLocator::scanInstruction(TXT("<?xml-stylesheet href=\"a.xsl\"?>") + filler), TXT("a.xsl"));
  EXPECT_EQ(StylesheetLocator::scanInstruction(filler + TXT("<?xml-stylesheet href=a.xsl")), TXT("a.xsl"));
  for (std::size_t length : {32'766u, 32'767u, 32'768u, 65'536u}) {
    const TextView tail = TXT("<?xml-stylesheet href=a.xsl");
    Text text(length - tail.size(), TXT(' '));
    text.append(tail);
    EXPECT_EQ(StylesheetLocator::scanInstruction(text), TXT("a.xsl")) << length;
  }
}

TEST(InstructionScanTest, EveryPrefixEndsInsideTheText) {
  // Run under the sanitizer build, this shows no read past the last character.
  for (TextView whole : {TXT("<?xml-stylesheet href=\"a b.xsl\" type='t'?>\r\n<d/>"),
                         TXT("<?xml-stylesheet href='a.xsl'?>"), TXT("<?xml-stylesheet href=   a.xsl x")}) {
    for (std::size_t length = 0; length <= whole.size(); ++length) {
      const Text prefix(whole.substr(0, length));  // its own allocation, so overreads are caught
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
    TextView reference, directory, result;
  } cases[] = {
      // No separator: under the directory, whatever else it holds.
      {TXT("a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\a.xsl")},
      {TXT("..a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\..a.xsl")},
      {TXT("x.xsl"), TXT(""), TXT("x.xsl")},
      {TXT(".xsl"), TXT(""), TXT(".xsl")},
      {TXT("http:a.xsl"), TXT("C:\\d\\"), TXT("C:\\d\\http:a.xsl")},
      // A separator and no parent step.
      {TXT("styles\\a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\styles\\a.xsl")},
      {TXT("styles/a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\styles/a.xsl")},
      {TXT("/styles/a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\styles/a.xsl")},
      {TXT("\\a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\a.xsl")},
      {TXT("./a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\xml\\./a.xsl")},
      {TXT("C:\\styles\\a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\styles\\a.xsl")},
      {TXT("C:/styles/a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:/styles/a.xsl")},
      {TXT("http://example.org/s/a.xsl"), TXT("C:\\d\\"), TXT("http://example.org/s/a.xsl")},
      {TXT("/x.xsl"), TXT(""), TXT("x.xsl")},
      {TXT("\\\\server\\a.xsl"), TXT("C:\\d\\"), TXT("C:\\d\\\\server\\a.xsl")},
      // Parent steps climb one level each, and stop at the top.
      {TXT("../a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\a.xsl")},
      {TXT("..\\a.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\a.xsl")},
      {TXT("a/../b.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\b.xsl")},
      {TXT("../styles/x.xsl"), TXT("C:\\site\\pages\\"), TXT("C:\\site\\styles/x.xsl")},
      {TXT("..\\..\\x.xsl"), TXT("C:\\a\\b\\c\\"), TXT("C:\\a\\x.xsl")},
      {TXT("../../../../x.xsl"), TXT("C:\\a\\"), TXT("C:\\x.xsl")},
      {TXT(".../x.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\./x.xsl")},
      {TXT("....\\x.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\x.xsl")},
      {TXT("..\\\\x.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\\\x.xsl")},
      {TXT("styles/.."), TXT("C:\\a\\b\\"), TXT("C:\\a\\")},
      {TXT("C:\\other\\..\\x.xsl"), TXT("C:\\docs\\xml\\"), TXT("C:\\docs\\x.xsl")},
      {TXT("../x.xsl"), TXT(""), TXT("x.xsl")},
      {TXT("../x.xsl"), TXT("\\"), TXT("\\x.xsl")},
      {TXT("../x.xsl"), TXT("\\a\\"), TXT("\\x.xsl")},
      {TXT("../x.xsl"), TXT("C:\\a/b/c\\"), TXT("C:\\x.xsl")},
      {TXT("../../x.xsl"), TXT("C:/web/site\\"), TXT("C:/x.xsl")},
      {TXT("../x.xsl"), TXT("C:\\x\\y\\..\\"), TXT("C:\\x\\y\\x.xsl")},
      {TXT("C:\\docs\\report.xsl"), TXT("C:\\docs\\"), TXT("C:\\docs\\report.xsl")},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(show(row.reference) + " in " + show(row.directory));
    EXPECT_EQ(StylesheetLocator::resolvePath(row.directory, row.reference), row.result);
  }
}

TEST(PathResolutionTest, ParentStepsPastTheTopStopThere) {
  Text chain;
  for (int i = 0; i < 5'000; ++i) chain += TXT("../");
  EXPECT_EQ(StylesheetLocator::resolvePath(TXT("C:\\a\\b\\"), chain + TXT("x.xsl")), TXT("C:\\x.xsl"));
  // A directory part longer than any 16-bit position climbs as well.
  const Text deep = TXT("C:\\") + Text(40'000, TXT('d')) + TXT("\\e\\");
  EXPECT_EQ(StylesheetLocator::resolvePath(deep, TXT("../x.xsl")), deep.substr(0, deep.size() - 2) + TXT("x.xsl"));
  EXPECT_EQ(StylesheetLocator::resolvePath(deep, TXT("../../x.xsl")), TXT("C:\\x.xsl"));
}

}  // namespace
}  // namespace tarnweld
