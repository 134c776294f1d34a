// Report composition on any values: the header comes first, the path stands
// in it exactly, and the source text (cut at its limit, with the marker)
// closes the report with nothing after it.
#include "fuzz_input.h"
#include "run/transformation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  if (size < 9) return 0;
  const auto kind = static_cast<ReportKind>(data[0] % 3);
  const std::uint8_t present = data[1];
  std::int32_t line, linepos;
  __builtin_memcpy(&line, data + 2, 4);
  linepos = static_cast<std::int32_t>(data[6]) - 128;
  const auto [path, rest] = fuzz::twoTextsOf(data + 7, size - 7);
  // A cut of a text falls between characters.
  const std::size_t split = rest.substr(0, rest.size() / 2).size();

  ParseErrorValues values;
  if (present & 1) values.reason = rest.substr(0, split);
  if (present & 2) values.srcText = rest.substr(split);
  if (present & 4) values.line = line;
  if (present & 8) values.linepos = linepos;

  const Text report = composeReport(kind, path, values);
  fuzz::require(report.starts_with("Tarnweld Error - "));
  if (kind != ReportKind::Xml) fuzz::require(report.find(Text("(").append(path).append(")")) != Text::npos);
  if (values.srcText) {
    // The cut counts UTF-16 units, as the host does: checked in UTF-16, and
    // written back as UTF-8 (a half pair left by the cut reads U+FFFD).
    const std::u16string source = fromUtf8Lenient(values.srcText->bytes());
    const bool cut = source.size() > kMaxSourceTextLength;
    fuzz::require(report.ends_with(Text("Text: ")
                                       .append(textFromUtf8(toUtf8(source.substr(0, kMaxSourceTextLength))))
                                       .append(cut ? kSourceTextCutMarker : TextView())));
  }
  if (values.line && values.linepos) {
    fuzz::require(report.find("Line: " + textFromAscii(std::to_string(line)) +
                              " Column: " + textFromAscii(std::to_string(linepos)) + "\r\n\r\n") != Text::npos);
  }
  return 0;
}
