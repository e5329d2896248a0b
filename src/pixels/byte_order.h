// Multi-byte numbers as files store them, read from a byte buffer whatever the machine's
// own order, and the byte swap of whole rows of 16-bit samples. The caller has checked
// that the bytes are there.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vumo {

inline std::uint16_t LittleEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t LittleEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

inline std::uint64_t BigEndian64(const std::uint8_t* p) {
  return std::uint64_t{BigEndian32(p)} << 32 | BigEndian32(p + 4);
}

inline std::uint32_t Endian16(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? BigEndian16(p) : LittleEndian16(p);
}

inline std::uint32_t Endian32(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? BigEndian32(p) : LittleEndian32(p);
}

// True when 16-bit samples stored in a file's byte order must be swapped on this machine.
inline constexpr bool kSwapBigEndian = std::endian::native == std::endian::little;
inline constexpr bool kSwapLittleEndian = std::endian::native == std::endian::big;

// Exchanges the two bytes of each of `count` 16-bit samples (source and target may be the same).
inline void SwapBytes16(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t high = source[2 * i];
    target[2 * i] = source[2 * i + 1];
    target[2 * i + 1] = high;
  }
}

}  // namespace vumo
