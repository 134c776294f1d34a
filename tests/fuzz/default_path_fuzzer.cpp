// The default path on any file name: the pieces always fit back together.
#include "fuzz_input.h"
#include "run/stylesheet_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  RunRequest request;
  request.fileName = fuzz::textOf(data, size);
  StylesheetLocator::deriveDefaultPath(request);
  fuzz::require(request.directoryPart + request.filePart == request.fileName);
  fuzz::require(request.directoryPart.empty() || request.directoryPart.back() == '\\');
  fuzz::require(request.filePart.find('\\') == Text::npos);
  fuzz::require(request.filePart.starts_with(request.baseName));
  fuzz::require(request.stylesheetPath == request.directoryPart + request.baseName + ".xsl");
  return 0;
}
