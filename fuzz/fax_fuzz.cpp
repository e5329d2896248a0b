// Feeds arbitrary bytes to the fax decoders: the first bytes choose the decoder, its
// options and the row width, the rest is coded data. They must stay inside both buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/ccitt_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const unsigned kind = data[0] % 5;
  const bool swap = data[1] & 1;
  const std::uint32_t options = data[1] >> 1;
  const std::uint32_t width = 1 + ((std::uint32_t{data[2]} << 8 | data[3]) % 4000);
  const std::size_t rows = 64;
  std::vector<std::uint8_t> input(data + 4, data + size);
  std::vector<std::uint8_t> output((width + 7) / 8 * rows);
  const std::uint8_t* source = input.data();
  std::uint8_t* dest = output.data();
  const auto packed = static_cast<std::int32_t>(input.size());
  const auto unpacked = static_cast<std::int32_t>(output.size());
  if (kind < 2) {
    vumo::TCCITTFax3Decoder decoder(kind == 1 ? options | vumo::kT4TwoDimensional : options, swap, false, width);
    decoder.Decode(source, dest, packed, unpacked);
  } else if (kind < 4) {
    vumo::TCCITTMHDecoder decoder(options, swap, kind == 3, width);
    decoder.Decode(source, dest, packed, unpacked);
  } else {
    vumo::TCCITTFax4Decoder decoder(options, swap, width);
    decoder.Decode(source, dest, packed, unpacked);
  }
  return 0;
}
