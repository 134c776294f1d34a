// Transformations of any document with any stylesheet (the input split at
// its first NUL byte): they end, and write no file. run.sh starts the fuzzer
// in an empty directory; a file appearing there stops it here.
#include <filesystem>

#include "fuzz_input.h"
#include "xml/libxml/libxml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  static const auto parser = xml::makeLibxmlParser();
  const auto [source, stylesheet] = fuzz::twoTextsOf(data, size);
  const auto sourceDocument = parser->createDocument();
  const auto stylesheetDocument = parser->createDocument();
  if (sourceDocument->loadXML(source) != true || stylesheetDocument->loadXML(stylesheet) != true) return 0;
  if (const auto result = sourceDocument->transformNode(*stylesheetDocument)) {
    // A second transformation with the same stylesheet gives the same text.
    fuzz::require(sourceDocument->transformNode(*stylesheetDocument) == result);
  }
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    fuzz::require(name.starts_with("crash-") || name.starts_with("leak-") || name.starts_with("timeout-") ||
                  name.starts_with("oom-"));
  }
  return 0;
}
