// Small DDS, KTX and KTX2 files written field by field, for tests that need a layout or a
// header flag no fixture has.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace vumo::test {

inline constexpr std::uint32_t kDDSFourCCFlag = 0x4, kDDSRGBFlag = 0x40, kDDSAlphaPixelsFlag = 0x1,
                               kDDSNormalFlag = 0x80000000;

inline std::uint32_t FourCCOf(const char (&code)[5]) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(code[i]);
  return v;
}

inline void Append32(Bytes& bytes, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void Append64(Bytes& bytes, std::uint64_t v) {
  Append32(bytes, static_cast<std::uint32_t>(v));
  Append32(bytes, static_cast<std::uint32_t>(v >> 32));
}

// A DDS file of one image: the pixel format's flags, FourCC, bits and masks as given.
inline Bytes DDSFile(std::uint32_t width, std::uint32_t height, std::uint32_t pixelFlags, std::uint32_t fourCC,
                     std::uint32_t bits, const std::uint32_t (&masks)[4], const Bytes& pixels) {
  Bytes b(128, 0);
  std::memcpy(b.data(), "DDS ", 4);
  PutLittleEndian32(b, 4, 124);
  PutLittleEndian32(b, 8, 0x1007);  // caps, height, width, pixel format
  PutLittleEndian32(b, 12, height);
  PutLittleEndian32(b, 16, width);
  PutLittleEndian32(b, 76, 32);
  PutLittleEndian32(b, 80, pixelFlags);
  PutLittleEndian32(b, 84, fourCC);
  PutLittleEndian32(b, 88, bits);
  for (int i = 0; i < 4; ++i) PutLittleEndian32(b, 92 + 4 * static_cast<std::size_t>(i), masks[i]);
  PutLittleEndian32(b, 108, 0x1000);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// A DDS file with the DX10 header naming a DXGI format.
inline Bytes DX10File(std::uint32_t width, std::uint32_t height, std::uint32_t dxgi, const Bytes& pixels,
                      std::uint32_t pixelFlags = kDDSFourCCFlag) {
  Bytes b = DDSFile(width, height, pixelFlags, FourCCOf("DX10"), 0, {0, 0, 0, 0}, {});
  Append32(b, dxgi);
  Append32(b, 3);  // a 2-D texture
  Append32(b, 0);
  Append32(b, 1);
  Append32(b, 0);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

using KeyValues = std::vector<std::pair<std::string, std::string>>;

inline Bytes KeyValueData(const KeyValues& entries) {
  Bytes b;
  for (const auto& [key, value] : entries) {
    const std::string entry = key + '\0' + value;
    Append32(b, static_cast<std::uint32_t>(entry.size()));
    b.insert(b.end(), entry.begin(), entry.end());
    while (b.size() % 4) b.push_back(0);
  }
  return b;
}

// A little-endian KTX file of one uncompressed or compressed level.
inline Bytes KTXFile(std::uint32_t internalFormat, std::uint32_t width, std::uint32_t height, const KeyValues& entries,
                     const Bytes& pixels) {
  static constexpr std::uint8_t kId[12] = {0xAB, 'K', 'T', 'X', ' ', '1', '1', 0xBB, '\r', '\n', 0x1A, '\n'};
  Bytes b(kId, kId + 12);
  const Bytes kvd = KeyValueData(entries);
  for (std::uint32_t v : {0x04030201u, 0u, 1u, 0u, internalFormat, 0u, width, height, 0u, 0u, 1u, 1u,
                          static_cast<std::uint32_t>(kvd.size())})
    Append32(b, v);
  b.insert(b.end(), kvd.begin(), kvd.end());
  Append32(b, static_cast<std::uint32_t>(pixels.size()));
  b.insert(b.end(), pixels.begin(), pixels.end());
  while (b.size() % 4) b.push_back(0);
  return b;
}

// A KTX2 file of one level, without a data format descriptor.
inline Bytes KTX2File(std::uint32_t vkFormat, std::uint32_t width, std::uint32_t height, const KeyValues& entries,
                      const Bytes& pixels) {
  static constexpr std::uint8_t kId[12] = {0xAB, 'K', 'T', 'X', ' ', '2', '0', 0xBB, '\r', '\n', 0x1A, '\n'};
  const Bytes kvd = KeyValueData(entries);
  const std::uint32_t kvdOffset = 80 + 24;
  const std::uint64_t dataOffset = (kvdOffset + kvd.size() + 15) / 16 * 16;
  Bytes b(kId, kId + 12);
  for (std::uint32_t v : {vkFormat, 1u, width, height, 0u, 0u, 1u, 1u, 0u, 0u, 0u, kvd.empty() ? 0u : kvdOffset,
                          static_cast<std::uint32_t>(kvd.size())})
    Append32(b, v);
  Append64(b, 0);
  Append64(b, 0);
  Append64(b, dataOffset);
  Append64(b, pixels.size());
  Append64(b, pixels.size());
  b.insert(b.end(), kvd.begin(), kvd.end());
  b.resize(dataOffset, 0);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

}  // namespace vumo::test
