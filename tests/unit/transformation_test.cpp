// The transformation with its error reports, on the fake parser: which calls
// are made, what a failure at each leaves behind, and the reports' exact text.
#include "run/transformation.h"

#include <gtest/gtest.h>

#include "fakes/fake_parser.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

TEST(ReportTest, ComposesTheThreeReportsExactly) {
  const ParseErrorValues full{TXT("Bad thing"), TXT("<a><b></a>"), 3, 12};
  const struct {
    const char* name;
    ReportKind kind;
    ParseErrorValues values;
    TextView expected;
  } cases[] = {
      {"xml", ReportKind::Xml, full,
       TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
           "Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>")},
      {"stylesheet", ReportKind::Stylesheet, full,
       TXT("Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
           "Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>")},
      {"transform", ReportKind::Transform, full,
       TXT("Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
           "Reason: Bad thing\r\nLine: 3 Column: 12\r\n\r\nText: <a><b></a>")},
      {"missing file",
       ReportKind::Stylesheet,
       {TXT("System error -2146697210."), TXT(""), 0, 0},
       TXT("Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
           "Reason: File was not found.\r\n\r\nLine: 0 Column: 0\r\n\r\nText: ")},
      {"the code only matters to the stylesheet report",
       ReportKind::Xml,
       {TXT("-2146697210"), TXT(""), 0, 0},
       TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
           "Reason: -2146697210\r\nLine: 0 Column: 0\r\n\r\nText: ")},
      {"negative numbers",
       ReportKind::Xml,
       {TXT("r"), TXT("t"), -1, -2147483647 - 1},
       TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
           "Reason: r\r\nLine: -1 Column: -2147483648\r\n\r\nText: t")},
      {"nothing readable", ReportKind::Xml, {}, TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n")},
      {"unreadable stylesheet reason",
       ReportKind::Stylesheet,
       {std::nullopt, TXT("t"), 1, 2},
       TXT("Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
           "Reason: File was not found.\r\n\r\nLine: 1 Column: 2\r\n\r\nText: t")},
      {"unreadable column drops the line whole",
       ReportKind::Transform,
       {TXT("r"), TXT("t"), 5, std::nullopt},
       TXT("Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
           "Reason: r\r\nText: t")},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(textToUtf8(composeReport(row.kind, TXT("C:\\d\\a.xsl"), row.values)), textToUtf8(row.expected));
  }
}

// Characters are counted as the host counts them, in UTF-16 units, whatever
// form the text is held in.
TEST(ReportTest, CutsTheSourceTextAtAThousandCharacters) {
  const auto repeat = [](TextView piece, std::size_t times) {
    Text text;
    for (std::size_t i = 0; i < times; ++i) text.append(piece);
    return text;
  };
  const Text thousand(1000, TXT('x'));
  const Text marker = TXT(" [...]");
#if TARNWELD_TEXT_UTF16
  const Text halfPair = Text(1, TextUnit{0xD834});
#else
  const Text halfPair = TXT("\uFFFD");  // a lone half cannot be UTF-8
#endif
  const struct {
    Text source, quoted;
  } cases[] = {
      {Text(999, TXT('x')), Text(999, TXT('x'))},
      {thousand, thousand},
      {Text(1001, TXT('x')), thousand + marker},
      {Text(10'000'000, TXT('x')), thousand + marker},
      {repeat(TXT("\u00E9"), 1001), repeat(TXT("\u00E9"), 1000) + marker},
      {Text(998, TXT('x')) + TXT("\U0001D11E"), Text(998, TXT('x')) + TXT("\U0001D11E")},
      {Text(999, TXT('x')) + TXT("\U0001D11E"), Text(999, TXT('x')) + halfPair + marker},
      {repeat(TXT("\U0001D11E"), 600), repeat(TXT("\U0001D11E"), 500) + marker},
  };
  for (const auto& row : cases) {
    const Text report = composeReport(ReportKind::Xml, TXT(""), {TXT("r"), row.source, 1, 2});
    EXPECT_TRUE(report.ends_with(TXT("\r\n\r\nText: ") + row.quoted)) << row.source.size();
    EXPECT_EQ(report.size(), report.find(TXT("Text: ")) + 6 + row.quoted.size()) << row.source.size();
  }
}

struct Transformation {
  fakes::CallLog log;
  fakes::FakeParser parser{log};
  RunRequest request;
  std::unique_ptr<xml::XmlDocument> xmlDocument, stylesheetDocument;

  Transformation() {
    request.inputText = request.outputText = TXT("<doc/>");
    request.stylesheetPath = TXT("C:\\d\\a.xsl");
    parser.xml = {true, TXT(""), TXT(""), 0, 0, TXT("<out/>")};
    parser.xsl = {true, TXT(""), TXT(""), 0, 0, std::nullopt};
  }
  Text run() {
    transformWithStylesheet(request, parser, xmlDocument, stylesheetDocument);
    return request.outputText;
  }
};

TEST(TransformationTest, LoadsBothThenTransforms) {
  Transformation t;
  EXPECT_EQ(t.run(), TXT("<out/>"));
  EXPECT_EQ(t.log.entries, (std::vector<std::string>{"xml.create", "xsl.create", "xml.setValidateOnParse",
                                                     "xml.setAsync", "xml.loadXML", "xsl.setValidateOnParse",
                                                     "xsl.setAsync", "xsl.load", "xml.transformNode"}));
  EXPECT_EQ(t.parser.loadedPath, TXT("C:\\d\\a.xsl"));
  EXPECT_NE(t.xmlDocument, nullptr);
  EXPECT_NE(t.stylesheetDocument, nullptr);
}

TEST(TransformationTest, ASourceThatDoesNotLoadNeverOpensTheStylesheet) {
  Transformation t;
  t.parser.xml = {false, TXT("Opening and ending tag mismatch"), TXT("<a></b>"), 1, 8, TXT("<out/>")};
  EXPECT_EQ(t.run(), TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n"
                         "Reason: Opening and ending tag mismatch\r\nLine: 1 Column: 8\r\n\r\nText: <a></b>"));
  for (const std::string& entry : t.log.entries) EXPECT_FALSE(entry.starts_with("xsl.") && entry != "xsl.create");
}

TEST(TransformationTest, StylesheetFailuresReadTheStylesheetRecord) {
  Transformation t;
  t.parser.xml.reason = TXT("from the source");
  t.parser.xsl = {false, TXT("not found -2146697210"), TXT(""), 0, 0, std::nullopt};
  EXPECT_EQ(t.run(), TXT("Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
                         "Reason: File was not found.\r\n\r\nLine: 0 Column: 0\r\n\r\nText: "));

  Transformation broken;
  broken.parser.xsl = {false, TXT("Premature end of data"), TXT("<xsl:stylesheet"), 4, 1, std::nullopt};
  EXPECT_EQ(broken.run(), TXT("Tarnweld Error - The XSL File (C:\\d\\a.xsl) Did Not Validate!\r\n\r\n"
                              "Reason: Premature end of data\r\nLine: 4 Column: 1\r\n\r\nText: <xsl:stylesheet"));
}

TEST(TransformationTest, AnEmptyResultTakesTheTransformReportFromTheSourceRecord) {
  Transformation t;
  t.parser.xml.transformResult = TXT("");
  t.parser.xml.reason = TXT("source record");
  t.parser.xsl.reason = TXT("stylesheet record");
  EXPECT_EQ(t.run(), TXT("Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\a.xsl)!\r\n\r\n"
                         "Reason: source record\r\nLine: 0 Column: 0\r\n\r\nText: "));
}

TEST(TransformationTest, AResultIsHandedBackExactly) {
  Transformation t;
  t.parser.xml.transformResult = Text(TXT(" \r\nx\uFFFD "));
  EXPECT_EQ(t.run(), Text(TXT(" \r\nx\uFFFD ")));
}

}  // namespace
}  // namespace tarnweld
