// The transformation with its error reports, on the fake parser: which calls
// are made, what a failure at each leaves behind, and the reports' exact text.
#include "run/transformation.h"

#include <gtest/gtest.h>

#include "fakes/fake_parser.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

TEST(ReportTest, ComposesTheThreeReportsExactly) {
  const ParseErrorValues full{u"Bad thing", u"<a><b></a>", 3, 12};
  const struct {
    const char* name;
    ReportKind kind;
    ParseErrorValues values;
    std::u16string_view expected;
  } cases[] = {
      {"xml", ReportKind::Xml, full,
       u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
       u"Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>"},
      {"stylesheet", ReportKind::Stylesheet, full,
       u"Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
       u"Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>"},
      {"transform", ReportKind::Transform, full,
       u"Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
       u"Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>"},
      {"missing file",
       ReportKind::Stylesheet,
       {u"System error -2146697210.", u"", 0, 0},
       u"Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
       u"Reason: File was not found.\r\n\r\nLine: 0 Column: 0\r\n\r\nText: "},
      {"the code only matters to the stylesheet report",
       ReportKind::Xml,
       {u"-2146697210", u"", 0, 0},
       u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
       u"Reason: -2146697210\r\nLine: 0 Column: 0\r\n\r\nText: "},
      {"negative numbers",
       ReportKind::Xml,
       {u"r", u"t", -1, -2147483647 - 1},
       u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
       u"Reason: r\r\nLine: -1 Column: -2147483648\r\n\r\nText: t"},
      {"nothing readable", ReportKind::Xml, {}, u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"},
      {"unreadable stylesheet reason",
       ReportKind::Stylesheet,
       {std::nullopt, u"t", 1, 2},
       u"Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
       u"Reason: File was not found.\r\n\r\nLine: 1 Column: 2\r\n\r\nText: t"},
      {"unreadable column drops the line whole",
       ReportKind::Transform,
       {u"r", u"t", 5, std::nullopt},
       u"Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
       u"Reason: r\r\nText: t"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(toUtf8(composeReport(row.kind, u"C:\\d\\a.xsl", row.values)), toUtf8(row.expected));
  }
}

TEST(ReportTest, CutsTheSourceTextAtAThousandCharacters) {
  const std::u16string thousand(1000, u'x');
  const struct {
    std::size_t length;
    std::u16string text;
  } cases[] = {
      {999, std::u16string(999, u'x')},
      {1000, thousand},
      {1001, thousand + u" [...]"},
      {10'000'000, thousand + u" [...]"},
  };
  for (const auto& row : cases) {
    const std::u16string report = composeReport(ReportKind::Xml, u"", {u"r", std::u16string(row.length, u'x'), 1, 2});
    EXPECT_TRUE(report.ends_with(u"\r\n\r\nText: " + row.text)) << row.length;
    EXPECT_EQ(report.size(), report.find(u"Text: ") + 6 + row.text.size()) << row.length;
  }
}

struct Transformation {
  fakes::CallLog log;
  fakes::FakeParser parser{log};
  RunRequest request;
  std::unique_ptr<xml::XmlDocument> xmlDocument, stylesheetDocument;

  Transformation() {
    request.inputText = request.outputText = u"<doc/>";
    request.stylesheetPath = u"C:\\d\\a.xsl";
    parser.xml = {true, u"", u"", 0, 0, u"<out/>"};
    parser.xsl = {true, u"", u"", 0, 0, std::nullopt};
  }
  std::u16string run() {
    transformWithStylesheet(request, parser, xmlDocument, stylesheetDocument);
    return request.outputText;
  }
};

TEST(TransformationTest, LoadsBothThenTransforms) {
  Transformation t;
  EXPECT_EQ(t.run(), u"<out/>");
  EXPECT_EQ(t.log.entries, (std::vector<std::string>{"xml.create", "xsl.create", "xml.setValidateOnParse",
                                                     "xml.setAsync", "xml.loadXML", "xsl.setValidateOnParse",
                                                     "xsl.setAsync", "xsl.load", "xml.transformNode"}));
  EXPECT_EQ(t.parser.loadedPath, u"C:\\d\\a.xsl");
  EXPECT_NE(t.xmlDocument, nullptr);
  EXPECT_NE(t.stylesheetDocument, nullptr);
}

TEST(TransformationTest, ASourceThatDoesNotLoadNeverOpensTheStylesheet) {
  Transformation t;
  t.parser.xml = {false, u"Opening and ending tag mismatch", u"<a></b>", 1, 8, u"<out/>"};
  EXPECT_EQ(t.run(),
            u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
            u"Reason: Opening and ending tag mismatch\r\nLine: 1 Column: 8\r\n\r\nText: <a></b>");
  for (const std::string& entry : t.log.entries) EXPECT_FALSE(entry.starts_with("xsl.") && entry != "xsl.create");
}

TEST(TransformationTest, StylesheetFailuresReadTheStylesheetRecord) {
  Transformation t;
  t.parser.xml.reason = u"from the source";
  t.parser.xsl = {false, u"not found -2146697210", u"", 0, 0, std::nullopt};
  EXPECT_EQ(t.run(),
            u"Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
            u"Reason: File was not found.\r\n\r\nLine: 0 Column: 0\r\n\r\nText: ");

  Transformation broken;
  broken.parser.xsl = {false, u"Premature end of data", u"<xsl:stylesheet", 4, 1, std::nullopt};
  EXPECT_EQ(broken.run(),
            u"Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
            u"Reason: Premature end of data\r\nLine: 4 Column: 1\r\n\r\nText: <xsl:stylesheet");
}

TEST(TransformationTest, AnEmptyResultTakesTheTransformReportFromTheSourceRecord) {
  Transformation t;
  t.parser.xml.transformResult = u"";
  t.parser.xml.reason = u"source record";
  t.parser.xsl.reason = u"stylesheet record";
  EXPECT_EQ(t.run(),
            u"Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
            u"Reason: source record\r\nLine: 0 Column: 0\r\n\r\nText: ");
}

TEST(TransformationTest, AResultIsHandedBackExactly) {
  Transformation t;
  t.parser.xml.transformResult = std::u16string(u" \r\n\0x\xFFFD ", 7);
  EXPECT_EQ(t.run(), std::u16string(u" \r\n\0x\xFFFD ", 7));
}

}  // namespace
}  // namespace tarnweld
