// An LZW coder for fixtures of the readers that take GIF's code order (GIF itself and early
// libtiff): eight-bit literal codes only, least significant bit first, with a clear code often
// enough that the table never grows past nine-bit codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vumo::test {

inline std::vector<std::uint8_t> LiteralLZW(const std::vector<std::uint8_t>& data, std::size_t clearEvery) {
  std::vector<std::uint8_t> out;
  std::uint32_t bits = 0;
  unsigned count = 0;
  auto put = [&](unsigned code) {
    bits |= code << count;
    for (count += 9; count >= 8; count -= 8, bits >>= 8) out.push_back(static_cast<std::uint8_t>(bits));
  };
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % clearEvery == 0) put(256);
    put(data[i]);
  }
  put(257);
  if (count) out.push_back(static_cast<std::uint8_t>(bits));
  return out;
}

}  // namespace vumo::test
