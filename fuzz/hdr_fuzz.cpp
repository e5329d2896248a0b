// Feeds arbitrary bytes to the Radiance reader: it may refuse them or load a picture, never
// crash, over-read or allocate without bound.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/hdr.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::THDRGraphic>(data, size);
  return 0;
}
