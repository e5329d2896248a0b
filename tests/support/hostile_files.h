// Small files that declare far more than they hold, written byte by byte so that no large
// file is ever committed. The tests check each loads or is refused cheaply; the benchmarks
// time them.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/metafile_writer.h"

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

// A grey TIFF one pixel wide whose every row is a strip of one byte, the strips laid out in
// the file in order or shuffled: a reader seeks for each. 100,000 rows make 900 KB.
inline std::vector<std::uint8_t> OneByteStripsTiff(std::uint32_t rows, bool shuffled) {
  std::vector<std::uint32_t> order(rows);
  for (std::uint32_t i = 0; i < rows; ++i) order[i] = i;
  if (shuffled) std::shuffle(order.begin(), order.end(), std::mt19937(20));
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
  auto put16 = [&out](unsigned v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
  auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  const std::uint32_t dataAt = 8, offsetsAt = dataAt + (rows + 1) / 2 * 2, countsAt = offsetsAt + 4 * rows;
  const std::uint32_t ifdAt = countsAt + 4 * rows;
  put32(ifdAt);
  std::vector<std::uint8_t> data(rows);
  std::vector<std::uint32_t> offsets(rows);
  for (std::uint32_t slot = 0; slot < rows; ++slot) {
    data[slot] = static_cast<std::uint8_t>(order[slot] * 7);
    offsets[order[slot]] = dataAt + slot;
  }
  out.insert(out.end(), data.begin(), data.end());
  if (out.size() % 2) out.push_back(0);
  for (std::uint32_t o : offsets) put32(o);
  for (std::uint32_t i = 0; i < rows; ++i) put32(1);
  const std::uint32_t entries[][4] = {{256, 4, 1, 1},         {257, 4, 1, rows},         {258, 3, 1, 8},
                                      {259, 3, 1, 1},         {262, 3, 1, 1},            {273, 4, rows, offsetsAt},
                                      {277, 3, 1, 1},         {278, 4, 1, 1},            {279, 4, rows, countsAt}};
  put16(static_cast<unsigned>(std::size(entries)));
  for (const auto& e : entries) {
    put16(e[0]), put16(e[1]), put32(e[2]);
    if (e[1] == 3) put16(e[3]), put16(0);
    else put32(e[3]);
  }
  put32(0);
  return out;
}

// Enhanced metafiles of a few hundred kilobytes at most that an unbounded painter spends
// minutes on, each on a frame of 1000 x 1000 pixels.
struct THostileMetafile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

inline std::vector<THostileMetafile> HostileMetafiles() {
  constexpr std::uint32_t kPolygon = 3, kPolyline = 4, kMoveTo = 27, kClipRect = 30, kRectangle = 43, kLineTo = 54;
  std::mt19937 random(29);
  auto poly = [&random](TEmfWriter& emf, std::uint32_t type, int count, int spread) {
    std::vector<std::uint8_t> p(16, 0);
    Put32(p, static_cast<std::uint32_t>(count));
    for (int i = 0; i < 2 * count; ++i) Put32(p, static_cast<std::uint32_t>(static_cast<int>(random() % spread) - spread / 4));
    emf.Raw(type, p);
  };
  std::vector<THostileMetafile> files;
  {
    TEmfWriter emf(1000, 1000);
    emf.Brush(1, 0, 0x0000FF).Select(1);
    poly(emf, kPolygon, 5000, 1500);
    files.push_back({"polygon_5000_points", emf.Bytes()});
  }
  {
    TEmfWriter emf(1000, 1000);
    emf.Pen(1, 0x10000, 40, 0xFF0000).Select(1);  // a geometric pen
    poly(emf, kPolyline, 5000, 1500);
    files.push_back({"polyline_5000_points_pen_40", emf.Bytes()});
  }
  {
    TEmfWriter emf(1000, 1000);
    emf.Pen(1, 0x10000, 9, 0x00FF00).Select(1);
    for (int i = 0; i < 200; ++i)
      emf.Record(kMoveTo, {-20000000 + i * 1000, -20000000}).Record(kLineTo, {20000000, 20000000 - i * 1000});
    files.push_back({"long_lines_200_pen_9", emf.Bytes()});
  }
  {
    TEmfWriter emf(1000, 1000);
    emf.Brush(1, 0, 0x808080).Select(1);
    for (int i = 0; i < 12000; ++i)
      emf.Record(kClipRect, {i % 500, i % 400, 1000 - i % 300, 1000 - i % 200}).Record(kRectangle, {0, 0, 1000, 1000});
    files.push_back({"clips_and_rectangles_12000", emf.Bytes()});
  }
  {
    TEmfWriter emf(1000, 1000);
    emf.Pen(1, 0x10000, 3000, 0x0000FF).Select(1);
    for (int i = 0; i < 3000; ++i) poly(emf, kPolyline, 5, 3000);
    files.push_back({"polylines_3000_pen_3000", emf.Bytes()});
  }
  return files;
}

}  // namespace vumo::test
