// Feeds arbitrary bytes to the GIF reader, asking for the frame the last byte names: it may
// refuse them or load part of a picture, never crash, over-read or allocate without bound.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/gif.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::LoadNamedImageEveryWay<vumo::TGIFGraphic>(data, size, 4);
  return 0;
}
