// The instruction scan on any text: it ends, reads nothing outside the text,
// and any value it takes is a non-empty piece of the text.
#include "fuzz_input.h"
#include "run/stylesheet_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  const Text text = fuzz::textOf(data, size);
  if (const auto value = StylesheetLocator::scanInstruction(text)) {
    fuzz::require(!value->empty());
    fuzz::require(value->data() >= text.data() && value->data() + value->size() <= text.data() + text.size());
  }
  return 0;
}
