// Feeds arbitrary bytes to the ThunderScan decoder with a width and row count taken from
// the first bytes; it must stay inside both buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/thunder_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t width = 1 + ((std::uint32_t{data[0]} << 8 | data[1]) % 2000);
  const std::size_t rows = 1 + data[2] % 32;
  std::vector<std::uint8_t> input(data + 3, data + size);
  std::vector<std::uint8_t> output((width + 1) / 2 * rows);
  const std::uint8_t* source = input.data();
  std::uint8_t* dest = output.data();
  vumo::TThunderDecoder decoder(width);
  decoder.Decode(source, dest, static_cast<std::int32_t>(input.size()), static_cast<std::int32_t>(output.size()));
  return 0;
}
