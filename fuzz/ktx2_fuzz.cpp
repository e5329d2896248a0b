// Feeds arbitrary bytes to the KTX2 reader, supercompressed levels and all, asking for the first image and for one picked by
// the file's last byte (a level, face, layer or slice further in): it may refuse them, never
// crash, over-read or allocate without bound.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/ktx.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TKTX2Graphic>(data, size);
  vumo::fuzz::LoadNamedImageEveryWay<vumo::TKTX2Graphic>(data, size, 16);
  return 0;
}
