// Feeds arbitrary bytes to the QOI reader: it may refuse them or load a picture, never
// crash, over-read or allocate without bound.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/qoi.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TQOIGraphic>(data, size);
  return 0;
}
