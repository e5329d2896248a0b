// Feeds arbitrary bytes to the PKM reader: it may refuse them, never crash, over-read or
// allocate without bound.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/pkm.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TPKMGraphic>(data, size);
  return 0;
}
