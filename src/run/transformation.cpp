#include "run/transformation.h"

#include "core/failure_policy.h"
#include "core/names.h"

namespace tarnweld {
namespace {

constexpr TextView kLineBreak = TXT("\r\n");
constexpr auto kXmlHeader = kReportPrefix + "The XML Source Did Not Validate!";
constexpr auto kStylesheetHeaderStart = kReportPrefix + "The XSL File (";
constexpr TextView kStylesheetHeaderEnd = TXT(") Did Not Validate!");
constexpr auto kTransformHeaderStart = kReportPrefix + "The XML Source Did Not Transform With XSL File (";
constexpr TextView kTransformHeaderEnd = TXT(")!");
constexpr TextView kReasonLabel = TXT("Reason: ");
constexpr TextView kFileNotFound = TXT("Reason: File was not found.");
constexpr TextView kLineLabel = TXT("Line: ");
constexpr TextView kColumnLabel = TXT(" Column: ");
constexpr TextView kTextLabel = TXT("Text: ");

// Plain decimal digits, with a leading "-" when negative.
void appendNumber(Text& out, std::int32_t value) { out.append(textFromAscii(std::to_string(value))); }

// Stands in for a document that could not be created: every call on it
// fails, so each step made on it is a failed step like any other.
class MissingDocument final : public xml::XmlDocument {
 public:
  bool setValidateOnParse(bool) override { return false; }
  bool setAsync(bool) override { return false; }
  std::optional<bool> loadXML(TextView) override { return std::nullopt; }
  std::optional<bool> load(TextView) override { return std::nullopt; }
  std::unique_ptr<xml::ParseError> parseError() const override { return nullptr; }
  std::optional<Text> transformNode(xml::XmlDocument&) override { return std::nullopt; }
};

xml::XmlDocument& orMissing(const std::unique_ptr<xml::XmlDocument>& document) {
  static MissingDocument missing;
  return document ? *document : missing;
}

}  // namespace

void writeReport(Text& out, ReportKind kind, TextView stylesheetPath, const ParseErrorValues& values) noexcept {
  // Each piece is built apart and then added in one go, so a step that runs
  // out of memory leaves the report as the earlier steps wrote it.
  runStep([&] {
    Text header;
    switch (kind) {
      case ReportKind::Xml:
        header.append(kXmlHeader.text());
        break;
      case ReportKind::Stylesheet:
        header.append(kStylesheetHeaderStart.text()).append(stylesheetPath).append(kStylesheetHeaderEnd);
        break;
      case ReportKind::Transform:
        header.append(kTransformHeaderStart.text()).append(stylesheetPath).append(kTransformHeaderEnd);
        break;
    }
    out = header.append(kLineBreak).append(kLineBreak);
    return true;
  });

  runStep([&] {
    Text piece;
    // The platform parser's only sign of a missing stylesheet file is its
    // object-not-found code inside the reason; an unreadable reason counts too.
    if (kind == ReportKind::Stylesheet &&
        (!values.reason || values.reason->find(xml::kObjectNotFoundCode) != Text::npos)) {
      piece.append(kFileNotFound).append(kLineBreak).append(kLineBreak);
    } else if (values.reason) {
      piece.append(kReasonLabel).append(*values.reason).append(kLineBreak);
    }
    out.append(piece);
    return true;
  });

  // The line is written whole or not at all.
  runStep([&] {
    if (!values.line || !values.linepos) return false;
    Text piece(kLineLabel);
    appendNumber(piece, *values.line);
    piece.append(kColumnLabel);
    appendNumber(piece, *values.linepos);
    out.append(piece.append(kLineBreak).append(kLineBreak));
    return true;
  });

  runStep([&] {
    if (!values.srcText) return false;
    const TextView source = *values.srcText;
    Text piece(kTextLabel);
    // Characters are counted as the host counts them, in UTF-16 units.
    const Text kept = firstUtf16Units(source, kMaxSourceTextLength);
    piece.append(kept);
    if (kept.size() < source.size()) piece.append(kSourceTextCutMarker);
    out.append(piece);
    return true;
  });
}

Text composeReport(ReportKind kind, TextView stylesheetPath, const ParseErrorValues& values) {
  Text report;
  writeReport(report, kind, stylesheetPath, values);
  return report;
}

ParseErrorValues readParseError(const xml::XmlDocument& document) {
  ParseErrorValues values;
  std::unique_ptr<xml::ParseError> record;
  runStep(record, [&] { return document.parseError(); });
  if (!record) return values;
  runStep(values.reason, [&] { return record->reason(); });
  runStep(values.srcText, [&] { return record->srcText(); });
  // The report writes the line only when both numbers were read.
  runStep(values.line, [&] { return record->line(); });
  runStep(values.linepos, [&] { return record->linepos(); });
  return values;
}

void transformWithStylesheet(RunRequest& request, xml::XmlParser& parser,
                             std::unique_ptr<xml::XmlDocument>& xmlDocument,
                             std::unique_ptr<xml::XmlDocument>& stylesheetDocument) {
  // Both documents exist before either is used.
  runStep(xmlDocument, [&] { return parser.createDocument(); });
  runStep(stylesheetDocument, [&] { return parser.createDocument(); });
  xml::XmlDocument& source = orMissing(xmlDocument);
  xml::XmlDocument& stylesheet = orMissing(stylesheetDocument);

  // One loaded flag, written by both loads: a stylesheet load that fails
  // outright leaves it true from the XML load.
  bool loaded = false;

  runStep([&] { return source.setValidateOnParse(true); });
  runStep([&] { return source.setAsync(false); });
  // Where the text lies, for the references the parser resolves as it reads.
  runStep([&] { source.setTextLocation(request.fileName); });
  runStep(loaded, [&] { return source.loadXML(request.inputText); });
  // Nothing reads the input text again: a large document's text is released
  // now rather than kept beside its parsed tree through the transformation.
  Text().swap(request.inputText);
  if (!loaded) {
    writeReport(request.outputText, ReportKind::Xml, request.stylesheetPath, readParseError(source));
    return;
  }

  runStep([&] { return stylesheet.setValidateOnParse(true); });
  runStep([&] { return stylesheet.setAsync(false); });
  runStep(loaded, [&] { return stylesheet.load(request.stylesheetPath); });
  if (!loaded) {
    writeReport(request.outputText, ReportKind::Stylesheet, request.stylesheetPath, readParseError(stylesheet));
    return;
  }

  // A failed or empty transformation takes the transform report, which reads
  // the XML document's record: the one that describes its (successful) load.
  std::optional<Text> result;
  runStep(result, [&] { return source.transformNode(stylesheet); });
  if (result && !result->empty()) {
    request.outputText = std::move(*result);
  } else {
    writeReport(request.outputText, ReportKind::Transform, request.stylesheetPath, readParseError(source));
  }
}

}  // namespace tarnweld
