// Feeds arbitrary bytes to the TIFF reader: it may refuse them, never crash or over-read.
// Each input goes through a memory stream (decoded in place), a file stream and a plain
// stream (block reads); all must end the same way with the same pixels. The directory walk
// to later pages must end too, loops and all.
#include <cstddef>
#include <cstdint>

#include "formats/tiff.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::SniffAndLoadEveryWay<vumo::TTIFFGraphic>(data, size, /*samePosition=*/true);
  vumo::TTIFFGraphic pages;
  vumo::TMemoryStream walk(data, size);
  try {
    for (unsigned index = 1; index < 4; ++index) {
      walk.SetPosition(0);
      if (!pages.ReadImageProperties(walk, index)) break;
    }
  } catch (const vumo::Exception&) {
  }
  return 0;
}
