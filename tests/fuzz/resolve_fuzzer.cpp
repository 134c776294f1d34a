// The path resolution on any directory part and reference: it ends, never
// grows past the two put together, and keeps its simple rules.
#include "fuzz_input.h"
#include "run/stylesheet_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  const auto [directory, reference] = fuzz::twoTextsOf(data, size);
  const Text result = StylesheetLocator::resolvePath(directory, reference);
  fuzz::require(result.size() <= directory.size() + reference.size());
  const bool hasSeparator = reference.find_first_of("\\/") != Text::npos;
  const bool hasParentStep = reference.find("..") != Text::npos;
  if (!hasSeparator) fuzz::require(result == directory + reference);
  if (hasSeparator && !hasParentStep && reference.find(':') != Text::npos) {
    fuzz::require(result == reference);
  }
  // A climbed result is a leading piece of the directory followed by what
  // came after the last "..", less one separator.
  if (hasSeparator && hasParentStep) {
    std::size_t last = 0;
    for (std::size_t from = 0, at; (at = reference.find("..", from)) != Text::npos; from = at + 2) last = at;
    TextView rest = TextView(reference).substr(last + 2);
    if (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.remove_prefix(1);
    fuzz::require(result.ends_with(rest));
    const std::size_t kept = result.size() - rest.size();
    fuzz::require(kept <= directory.size() && directory.starts_with(result.substr(0, kept)));
  }
  return 0;
}
