// The path resolution on any directory part and reference: it ends, never
// grows past the two put together, and keeps its simple rules.
#include "fuzz_input.h"
#include "run/stylesheet_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  const auto [directory, reference] = fuzz::twoTextsOf(data, size);
  const std::u16string result = StylesheetLocator::resolvePath(directory, reference);
  fuzz::require(result.size() <= directory.size() + reference.size());
  const bool hasSeparator = reference.find_first_of(u"\\/") != std::u16string::npos;
  const bool hasParentStep = reference.find(u"..") != std::u16string::npos;
  if (!hasSeparator) fuzz::require(result == directory + reference);
  if (hasSeparator && !hasParentStep && reference.find(u':') != std::u16string::npos) {
    fuzz::require(result == reference);
  }
  // A climbed result is a leading piece of the directory followed by what
  // came after the last "..", less one separator.
  if (hasSeparator && hasParentStep) {
    std::size_t last = 0;
    for (std::size_t from = 0, at; (at = reference.find(u"..", from)) != std::u16string::npos; from = at + 2) last = at;
    std::u16string_view rest = std::u16string_view(reference).substr(last + 2);
    if (!rest.empty() && (rest.front() == u'\\' || rest.front() == u'/')) rest.remove_prefix(1);
    fuzz::require(result.ends_with(rest));
    const std::size_t kept = result.size() - rest.size();
    fuzz::require(kept <= directory.size() && directory.starts_with(result.substr(0, kept)));
  }
  return 0;
}
