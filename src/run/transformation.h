// The transformation of a run and the error reports that take its place when
// a load or the transformation fails. The report texts are what the user reads
// in the host editor: their wording and layout are fixed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

#include "run/run_request.h"
#include "xml/xml_document.h"

namespace tarnweld {

// The values of a parse-error record as far as they could be read.
struct ParseErrorValues {
  std::optional<Text> reason;
  std::optional<Text> srcText;
  std::optional<std::int32_t> line;
  std::optional<std::int32_t> linepos;
};

enum class ReportKind { Xml, Stylesheet, Transform };

// A report quotes at most this many characters of the source line, then the
// cut marker: a document whose one line runs to megabytes must not flood the
// editor with it.
inline constexpr std::size_t kMaxSourceTextLength = 1000;
inline constexpr TextView kSourceTextCutMarker = TXT(" [...]");

// Writes the report of `kind` for the stylesheet at `stylesheetPath` into
// `out` in four steps, each under the failure policy: the header replaces
// `out`, then the reason, the line and column, and the source text are
// appended. A step that fails (memory ran out) leaves its piece out and the
// next one still runs; a step whose value is missing from `values` leaves its
// piece out too. Lines end in CR LF; the report ends after the source text,
// with no line break. Never throws.
void writeReport(Text& out, ReportKind kind, TextView stylesheetPath,
                 const ParseErrorValues& values) noexcept;

// The report that writeReport would write into an empty text.
Text composeReport(ReportKind kind, TextView stylesheetPath, const ParseErrorValues& values);

// Reads what can be read of a document's parse-error record.
ParseErrorValues readParseError(const xml::XmlDocument& document);

// Creates the two documents (stored in `xmlDocument` and `stylesheetDocument`),
// loads the input text and the stylesheet, transforms, and leaves in the
// request's output text the result or the report of the first step that failed.
void transformWithStylesheet(RunRequest& request, xml::XmlParser& parser,
                             std::unique_ptr<xml::XmlDocument>& xmlDocument,
                             std::unique_ptr<xml::XmlDocument>& stylesheetDocument);

}  // namespace tarnweld
