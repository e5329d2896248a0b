// Feeds arbitrary bytes to the icon reader: it must load them or raise the program's own errors.
// Each input goes through a memory stream, a file stream and a plain stream (fuzz_support.h).
#include <cstddef>
#include <cstdint>

#include "formats/icon.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::fuzz::PlainLoadEveryWay<vumo::TIcon>(data, size);
  return 0;
}
