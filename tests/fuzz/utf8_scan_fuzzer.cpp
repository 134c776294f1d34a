// The fast UTF-8 scan on any bytes: it stops where the plain reference
// stops, with the same count, under any limit on units taken from the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnweld;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Utf8Scan whole = scanUtf8Scalar(bytes);
  fuzz::require(scanUtf8(bytes) == whole);
  // Every limit up to one past the whole count, in steps that keep an input
  // to about a hundred scans, and each one around the whole count.
  const std::size_t step = whole.utf16Units / 64 + 1;
  for (std::size_t limit = 0; limit <= whole.utf16Units + 1; limit += step) {
    fuzz::require(scanUtf8(bytes, limit) == scanUtf8Scalar(bytes, limit));
  }
  for (std::size_t limit = whole.utf16Units > 0 ? whole.utf16Units - 1 : 0; limit <= whole.utf16Units + 1; ++limit) {
    fuzz::require(scanUtf8(bytes, limit) == scanUtf8Scalar(bytes, limit));
  }
  return 0;
}
