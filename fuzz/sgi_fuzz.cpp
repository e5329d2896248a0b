// Feeds arbitrary bytes to the SGI reader: it may refuse them or load part of a picture,
// never crash, over-read or allocate without bound.
#include <cstddef>
#include <cstdint>

#include "formats/sgi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TMemoryStream stream(data, size);
  vumo::TSGIGraphic::CanLoad(stream);
  vumo::TSGIGraphic graphic;
  try {
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception&) {
    // a clean refusal
  }
  return 0;
}
