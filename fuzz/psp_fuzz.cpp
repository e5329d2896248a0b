// Feeds arbitrary bytes to the Paint Shop Pro reader: it may refuse them, never crash or over-read.
// Each input goes through a memory stream (decoded in place), a file stream and a plain
// stream (block reads); all must end the same way with the same pixels, and leave their
// streams at the same place.
#include <cstddef>
#include <cstdint>

#include "formats/psp.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TPSPGraphic>(data, size, /*samePosition=*/true);
  return 0;
}
