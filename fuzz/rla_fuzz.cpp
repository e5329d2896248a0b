// Feeds arbitrary bytes to the RLA reader: it may refuse them or load part of a picture,
// never crash, over-read or allocate without bound.
#include <cstddef>
#include <cstdint>

#include "formats/rla.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TMemoryStream stream(data, size);
  vumo::TRLAGraphic::CanLoad(stream);
  vumo::TRLAGraphic graphic;
  try {
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception&) {
    // a clean refusal
  }
  return 0;
}
