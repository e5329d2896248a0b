// Small files that declare far more than they hold, written byte by byte so that no large
// file is ever committed. The tests check each loads or is refused cheaply; the benchmarks
// time them.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vumo::test {

inline void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void PutPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

inline std::vector<std::uint8_t> Deflated(const std::vector<std::uint8_t>& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(size);
  compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(size);
  return packed;
}

// A PNG header of any size whose image data is `idat` (a zlib stream, whole or not).
inline std::vector<std::uint8_t> HostilePng(std::uint32_t width, std::uint32_t height, unsigned depth,
                                            unsigned colorType, bool interlaced,
                                            const std::vector<std::uint8_t>& idat) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  PutBig32(ihdr, width);
  PutBig32(ihdr, height);
  ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colorType), 0, 0,
                           static_cast<std::uint8_t>(interlaced ? 1 : 0)});
  PutPngChunk(out, "IHDR", ihdr);
  PutPngChunk(out, "IDAT", idat);
  PutPngChunk(out, "IEND", {});
  return out;
}

// A little-endian TIFF of one strip holding `strip`, grey of `bits` per sample unless told.
struct THostileTiff {
  std::uint32_t width = 16384, height = 16384;
  unsigned bits = 8, samples = 1, photometric = 1, compression = 8, planar = 1;
  std::vector<std::uint8_t> strip = Deflated(std::vector<std::uint8_t>(64, 0));

  std::vector<std::uint8_t> Bytes() const {
    struct TEntry {
      std::uint16_t tag, type;
      std::uint32_t count, value;
    };
    const std::uint32_t stripAt = 8;
    const std::uint32_t ifdAt = stripAt + static_cast<std::uint32_t>((strip.size() + 1) / 2 * 2);
    const std::vector<TEntry> entries = {
        {256, 4, 1, width},       {257, 4, 1, height},      {258, 3, 1, bits},
        {259, 3, 1, compression}, {262, 3, 1, photometric}, {273, 4, 1, stripAt},
        {277, 3, 1, samples},     {278, 4, 1, height},      {279, 4, 1, static_cast<std::uint32_t>(strip.size())},
        {284, 3, 1, planar}};
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    auto put16 = [&out](unsigned v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put32(ifdAt);
    out.insert(out.end(), strip.begin(), strip.end());
    if (out.size() % 2) out.push_back(0);
    put16(static_cast<unsigned>(entries.size()));
    for (const TEntry& e : entries) {
      put16(e.tag), put16(e.type), put32(e.count);
      if (e.type == 3) put16(e.value), put16(0);
      else put32(e.value);
    }
    put32(0);
    return out;
  }
};

}  // namespace vumo::test
