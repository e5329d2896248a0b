// Feeds arbitrary bytes to the .astc reader, whose blocks go through the ASTC decoder at the
// footprint the header names: it may refuse them, never crash, over-read or allocate without
// bound. Each input goes through a memory stream, a file stream and a plain stream
// (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/astc.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TASTCGraphic>(data, size);
  return 0;
}
