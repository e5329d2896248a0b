// Feeds arbitrary bytes to the Dr. Halo reader: the first two bytes give the length of a
// palette file that follows them, the rest is the picture. It may refuse them or load part
// of a picture, never crash, over-read or allocate without bound. The picture goes through a
// memory stream, a file stream and a plain stream (fuzz_support.h); the palette stays in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "formats/cut.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t paletteSize = 0;
  if (size >= 2) {
    paletteSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    data += 2;
    size -= 2;
  }
  const std::uint8_t* paletteBytes = data;
  vumo::fuzz::LoadEveryWay<vumo::TCUTGraphic>(
      data + paletteSize, size - paletteSize, [&](vumo::TCUTGraphic& graphic, vumo::TStream& picture) {
        vumo::TMemoryStream palette(paletteBytes, paletteSize);
        graphic.LoadWithPalette(picture, paletteSize ? &palette : nullptr);
      });
  return 0;
}
