// Feeds arbitrary bytes to the EPS reader (a DOS EPS header and the TIFF preview it points
// to): it may refuse them, never crash or over-read. Each input goes through a memory
// stream, a file stream and a plain stream; all must end the same way with the same pixels.
#include <cstddef>
#include <cstdint>

#include "formats/tiff.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TEPSGraphic>(data, size, /*samePosition=*/true);
  return 0;
}
