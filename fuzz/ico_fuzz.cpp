// Feeds arbitrary bytes to the reader: it must load them or raise the program's own errors.
#include <cstddef>
#include <cstdint>

#include "formats/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TMemoryStream stream(data, size);
  vumo::TIcon graphic;
  try {
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception&) {
  }
  return 0;
}
