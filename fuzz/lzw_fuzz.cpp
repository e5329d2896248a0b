// Feeds arbitrary bytes to the LZW decoder in each packing and root width, with the output
// room taken from the first bytes: it may stop anywhere, never write past its room or
// report more than it wrote.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "pixels/lzw_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto packing = static_cast<vumo::TLZWPacking>(data[0] % 3);
  const unsigned rootBits = 2 + data[0] / 3 % 10;
  const std::size_t room = (std::size_t{data[1]} << 8 | data[2]) * 4;
  std::vector<std::uint8_t> out(room + 1, 0xA5);
  const vumo::TLZWResult r = vumo::DecodeLZW(packing, rootBits, std::span(data + 3, size - 3), std::span(out.data(), room));
  if (r.written > room || out[room] != 0xA5) std::abort();
  return 0;
}
