// Feeds arbitrary bytes to the Dr. Halo reader: the first two bytes give the length of a
// palette file that follows them, the rest is the picture. It may refuse them or load part
// of a picture, never crash, over-read or allocate without bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "formats/cut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t paletteSize = 0;
  if (size >= 2) {
    paletteSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    data += 2;
    size -= 2;
  }
  vumo::TMemoryStream palette(data, paletteSize);
  vumo::TMemoryStream picture(data + paletteSize, size - paletteSize);
  vumo::TCUTGraphic graphic;
  try {
    graphic.LoadWithPalette(picture, paletteSize ? &palette : nullptr);
  } catch (const vumo::Exception&) {
    // a clean refusal
  }
  return 0;
}
