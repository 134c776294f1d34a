// The libxml2 documents' loadXML on any text: it ends, prints nothing, and
// its parse-error record is empty after a load that worked and names a
// place in the text after one that did not.
#include "fuzz_input.h"
#include "xml/libxml/libxml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  static const auto parser = xml::makeLibxmlParser();
  const Text text = fuzz::textOf(data, size);
  const auto document = parser->createDocument();
  fuzz::require(document != nullptr);
  const std::optional<bool> loaded = document->loadXML(text);
  fuzz::require(loaded.has_value());
  const auto record = document->parseError();
  fuzz::require(record != nullptr);
  const auto reason = record->reason();
  const auto line = record->line();
  fuzz::require(reason && line && record->linepos() && record->srcText());
  if (*loaded) {
    fuzz::require(reason->empty() && *line == 0);
  } else {
    fuzz::require(!reason->empty() && *line >= 0);
  }
  return 0;
}
