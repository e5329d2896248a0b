// Feeds arbitrary bytes to the PNG reader: it may refuse them, never crash or over-read.
// Each input goes through a memory stream (decoded in place), a file stream and a plain
// stream (block reads); all must end the same way with the same pixels, and leave their
// streams at the same place.
#include <cstddef>
#include <cstdint>

#include "formats/png.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TPNGGraphic>(data, size, /*samePosition=*/true);
  return 0;
}
