#include "pixels/bc_decoders.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "pixels/astc_decoder.h"
#include "pixels/byte_order.h"
#include "pixels/etc_decoders.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

// ---------------------------------------------------------------------------------------------
// Pixels

constexpr std::uint32_t AlphaShift(std::uint32_t a) {
  return std::endian::native == std::endian::big ? a : a << 24;
}

inline void Store4(std::uint8_t* row, std::uint32_t p0, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3) {
  const std::uint32_t v[4] = {p0, p1, p2, p3};
  std::memcpy(row, v, sizeof v);
}

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

constexpr std::uint32_t Expand5(std::uint32_t v) { return v << 3 | v >> 2; }
constexpr std::uint32_t Expand6(std::uint32_t v) { return v << 2 | v >> 4; }

// ---------------------------------------------------------------------------------------------
// BC1 to BC3

// The four colours of a BC1 colour block. Only BC1 has the three-colour mode with transparent
// black; BC2 and BC3 always interpolate four, and their alpha comes from the alpha block, so
// their palette's alpha bytes are 0.
template <TBlockPixelOrder Order, bool WithPunchThrough>
inline void ColorPalette(const std::uint8_t* b, std::uint32_t palette[4]) {
  const std::uint32_t c0 = LittleEndian16(b), c1 = LittleEndian16(b + 2);
  const std::uint32_t r0 = Expand5(c0 >> 11), g0 = Expand6((c0 >> 5) & 63), b0 = Expand5(c0 & 31);
  const std::uint32_t r1 = Expand5(c1 >> 11), g1 = Expand6((c1 >> 5) & 63), b1 = Expand5(c1 & 31);
  constexpr std::uint32_t opaque = WithPunchThrough ? 255 : 0;
  palette[0] = PackPixel<Order>(r0, g0, b0, opaque);
  palette[1] = PackPixel<Order>(r1, g1, b1, opaque);
  if (!WithPunchThrough || c0 > c1) {
    palette[2] = PackPixel<Order>((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3, opaque);
    palette[3] = PackPixel<Order>((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3, opaque);
  } else {
    palette[2] = PackPixel<Order>((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2, opaque);
    palette[3] = 0;
  }
}

template <TBlockPixelOrder Order>
void DecodeBC1(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t palette[4];
  ColorPalette<Order, true>(b, palette);
  std::uint32_t indices = LittleEndian32(b + 4);
  for (int y = 0; y < 4; ++y, indices >>= 8, out += stride)
    Store4(out, palette[indices & 3], palette[(indices >> 2) & 3], palette[(indices >> 4) & 3],
           palette[(indices >> 6) & 3]);
}

template <TBlockPixelOrder Order>
void DecodeBC2(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t palette[4];
  ColorPalette<Order, false>(b + 8, palette);
  std::uint32_t indices = LittleEndian32(b + 12);
  for (int y = 0; y < 4; ++y, indices >>= 8, out += stride) {
    const std::uint32_t alpha = LittleEndian16(b + 2 * y);
    std::uint32_t p[4];
    for (int x = 0; x < 4; ++x) p[x] = palette[(indices >> (2 * x)) & 3] | AlphaShift(((alpha >> (4 * x)) & 15) * 17);
    Store4(out, p[0], p[1], p[2], p[3]);
  }
}

// The eight values of an interpolated 8-bit channel block (BC3's alpha, BC4, BC5). Sevenths and
// fifths are rounded down, as the colour thirds are: what libsquish, Pillow and ImageMagick
// show, to the byte.
inline void UnsignedChannelPalette(const std::uint8_t* b, std::uint32_t values[8]) {
  const std::uint32_t a0 = b[0], a1 = b[1];
  values[0] = a0;
  values[1] = a1;
  if (a0 > a1) {
    for (std::uint32_t i = 1; i < 7; ++i) values[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (std::uint32_t i = 1; i < 5; ++i) values[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    values[6] = 0;
    values[7] = 255;
  }
}

// The signed form, -1..1 in steps of 1/127 (the code -128 is -1 as well), shown as 0..255.
inline void SignedChannelPalette(const std::uint8_t* b, std::uint32_t values[8]) {
  const int a0 = std::max<int>(static_cast<std::int8_t>(b[0]), -127);
  const int a1 = std::max<int>(static_cast<std::int8_t>(b[1]), -127);
  float v[8] = {static_cast<float>(a0), static_cast<float>(a1)};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) v[i + 1] = static_cast<float>((7 - i) * a0 + i * a1) / 7.0f;
  } else {
    for (int i = 1; i < 5; ++i) v[i + 1] = static_cast<float>((5 - i) * a0 + i * a1) / 5.0f;
    v[6] = -127.0f;
    v[7] = 127.0f;
  }
  for (int i = 0; i < 8; ++i) values[i] = static_cast<std::uint32_t>((v[i] + 127.0f) * (255.0f / 254.0f) + 0.5f);
}

inline std::uint64_t ChannelIndices(const std::uint8_t* b) { return Load64(b) >> 16; }

template <TBlockPixelOrder Order>
void DecodeBC3(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t alphas[8], palette[4];
  UnsignedChannelPalette(b, alphas);
  for (auto& a : alphas) a = AlphaShift(a);
  ColorPalette<Order, false>(b + 8, palette);
  std::uint64_t alphaIndices = ChannelIndices(b);
  std::uint32_t indices = LittleEndian32(b + 12);
  for (int y = 0; y < 4; ++y, indices >>= 8, alphaIndices >>= 12, out += stride)
    Store4(out, palette[indices & 3] | alphas[alphaIndices & 7],
           palette[(indices >> 2) & 3] | alphas[(alphaIndices >> 3) & 7],
           palette[(indices >> 4) & 3] | alphas[(alphaIndices >> 6) & 7],
           palette[(indices >> 6) & 3] | alphas[(alphaIndices >> 9) & 7]);
}

// ---------------------------------------------------------------------------------------------
// BC4 and BC5

template <TBlockPixelOrder Order, bool Signed>
void DecodeBC4(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t values[8];
  if constexpr (Signed) SignedChannelPalette(b, values);
  else UnsignedChannelPalette(b, values);
  std::uint32_t grey[8];
  for (int i = 0; i < 8; ++i) grey[i] = PackPixel<Order>(values[i], values[i], values[i], 255);
  std::uint64_t indices = ChannelIndices(b);
  for (int y = 0; y < 4; ++y, indices >>= 12, out += stride)
    Store4(out, grey[indices & 7], grey[(indices >> 3) & 7], grey[(indices >> 6) & 7], grey[(indices >> 9) & 7]);
}

template <TBlockPixelOrder Order, bool Signed>
void DecodeBC5(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t reds[8], greens[8];
  if constexpr (Signed) {
    SignedChannelPalette(b, reds);
    SignedChannelPalette(b + 8, greens);
  } else {
    UnsignedChannelPalette(b, reds);
    UnsignedChannelPalette(b + 8, greens);
  }
  for (int i = 0; i < 8; ++i) {
    reds[i] = PackPixel<Order>(reds[i], 0, 0, 255);
    greens[i] = PackPixel<Order>(0, greens[i], 0, 0);
  }
  std::uint64_t r = ChannelIndices(b), g = ChannelIndices(b + 8);
  for (int y = 0; y < 4; ++y, r >>= 12, g >>= 12, out += stride)
    Store4(out, reds[r & 7] | greens[g & 7], reds[(r >> 3) & 7] | greens[(g >> 3) & 7],
           reds[(r >> 6) & 7] | greens[(g >> 6) & 7], reds[(r >> 9) & 7] | greens[(g >> 9) & 7]);
}

// ---------------------------------------------------------------------------------------------
// The partition and anchor tables BC6H and BC7 share, as published: which subset each pixel of
// a block belongs to, and the pixel of each further subset whose index has one bit less.

constexpr std::uint8_t kPartitions2[64][16] = {
    {0,0,1,1,0,0,1,1,0,0,1,1,0,0,1,1}, {0,0,0,1,0,0,0,1,0,0,0,1,0,0,0,1},
    {0,1,1,1,0,1,1,1,0,1,1,1,0,1,1,1}, {0,0,0,1,0,0,1,1,0,0,1,1,0,1,1,1},
    {0,0,0,0,0,0,0,1,0,0,0,1,0,0,1,1}, {0,0,1,1,0,1,1,1,0,1,1,1,1,1,1,1},
    {0,0,0,1,0,0,1,1,0,1,1,1,1,1,1,1}, {0,0,0,0,0,0,0,1,0,0,1,1,0,1,1,1},
    {0,0,0,0,0,0,0,0,0,0,0,1,0,0,1,1}, {0,0,1,1,0,1,1,1,1,1,1,1,1,1,1,1},
    {0,0,0,0,0,0,0,1,0,1,1,1,1,1,1,1}, {0,0,0,0,0,0,0,0,0,0,0,1,0,1,1,1},
    {0,0,0,1,0,1,1,1,1,1,1,1,1,1,1,1}, {0,0,0,0,0,0,0,0,1,1,1,1,1,1,1,1},
    {0,0,0,0,1,1,1,1,1,1,1,1,1,1,1,1}, {0,0,0,0,0,0,0,0,0,0,0,0,1,1,1,1},
    {0,0,0,0,1,0,0,0,1,1,1,0,1,1,1,1}, {0,1,1,1,0,0,0,1,0,0,0,0,0,0,0,0},
    {0,0,0,0,0,0,0,0,1,0,0,0,1,1,1,0}, {0,1,1,1,0,0,1,1,0,0,0,1,0,0,0,0},
    {0,0,1,1,0,0,0,1,0,0,0,0,0,0,0,0}, {0,0,0,0,1,0,0,0,1,1,0,0,1,1,1,0},
    {0,0,0,0,0,0,0,0,1,0,0,0,1,1,0,0}, {0,1,1,1,0,0,1,1,0,0,1,1,0,0,0,1},
    {0,0,1,1,0,0,0,1,0,0,0,1,0,0,0,0}, {0,0,0,0,1,0,0,0,1,0,0,0,1,1,0,0},
    {0,1,1,0,0,1,1,0,0,1,1,0,0,1,1,0}, {0,0,1,1,0,1,1,0,0,1,1,0,1,1,0,0},
    {0,0,0,1,0,1,1,1,1,1,1,0,1,0,0,0}, {0,0,0,0,1,1,1,1,1,1,1,1,0,0,0,0},
    {0,1,1,1,0,0,0,1,1,0,0,0,1,1,1,0}, {0,0,1,1,1,0,0,1,1,0,0,1,1,1,0,0},
    {0,1,0,1,0,1,0,1,0,1,0,1,0,1,0,1}, {0,0,0,0,1,1,1,1,0,0,0,0,1,1,1,1},
    {0,1,0,1,1,0,1,0,0,1,0,1,1,0,1,0}, {0,0,1,1,0,0,1,1,1,1,0,0,1,1,0,0},
    {0,0,1,1,1,1,0,0,0,0,1,1,1,1,0,0}, {0,1,0,1,0,1,0,1,1,0,1,0,1,0,1,0},
    {0,1,1,0,1,0,0,1,0,1,1,0,1,0,0,1}, {0,1,0,1,1,0,1,0,1,0,1,0,0,1,0,1},
    {0,1,1,1,0,0,1,1,1,1,0,0,1,1,1,0}, {0,0,0,1,0,0,1,1,1,1,0,0,1,0,0,0},
    {0,0,1,1,0,0,1,0,0,1,0,0,1,1,0,0}, {0,0,1,1,1,0,1,1,1,1,0,1,1,1,0,0},
    {0,1,1,0,1,0,0,1,1,0,0,1,0,1,1,0}, {0,0,1,1,1,1,0,0,1,1,0,0,0,0,1,1},
    {0,1,1,0,0,1,1,0,1,0,0,1,1,0,0,1}, {0,0,0,0,0,1,1,0,0,1,1,0,0,0,0,0},
    {0,1,0,0,1,1,1,0,0,1,0,0,0,0,0,0}, {0,0,1,0,0,1,1,1,0,0,1,0,0,0,0,0},
    {0,0,0,0,0,0,1,0,0,1,1,1,0,0,1,0}, {0,0,0,0,0,1,0,0,1,1,1,0,0,1,0,0},
    {0,1,1,0,1,1,0,0,1,0,0,1,0,0,1,1}, {0,0,1,1,0,1,1,0,1,1,0,0,1,0,0,1},
    {0,1,1,0,0,0,1,1,1,0,0,1,1,1,0,0}, {0,0,1,1,1,0,0,1,1,1,0,0,0,1,1,0},
    {0,1,1,0,1,1,0,0,1,1,0,0,1,0,0,1}, {0,1,1,0,0,0,1,1,0,0,1,1,1,0,0,1},
    {0,1,1,1,1,1,1,0,1,0,0,0,0,0,0,1}, {0,0,0,1,1,0,0,0,1,1,1,0,0,1,1,1},
    {0,0,0,0,1,1,1,1,0,0,1,1,0,0,1,1}, {0,0,1,1,0,0,1,1,1,1,1,1,0,0,0,0},
    {0,0,1,0,0,0,1,0,1,1,1,0,1,1,1,0}, {0,1,0,0,0,1,0,0,0,1,1,1,0,1,1,1},
};

constexpr std::uint8_t kPartitions3[64][16] = {
    {0,0,1,1,0,0,1,1,0,2,2,1,2,2,2,2}, {0,0,0,1,0,0,1,1,2,2,1,1,2,2,2,1},
    {0,0,0,0,2,0,0,1,2,2,1,1,2,2,1,1}, {0,2,2,2,0,0,2,2,0,0,1,1,0,1,1,1},
    {0,0,0,0,0,0,0,0,1,1,2,2,1,1,2,2}, {0,0,1,1,0,0,1,1,0,0,2,2,0,0,2,2},
    {0,0,2,2,0,0,2,2,1,1,1,1,1,1,1,1}, {0,0,1,1,0,0,1,1,2,2,1,1,2,2,1,1},
    {0,0,0,0,0,0,0,0,1,1,1,1,2,2,2,2}, {0,0,0,0,1,1,1,1,1,1,1,1,2,2,2,2},
    {0,0,0,0,1,1,1,1,2,2,2,2,2,2,2,2}, {0,0,1,2,0,0,1,2,0,0,1,2,0,0,1,2},
    {0,1,1,2,0,1,1,2,0,1,1,2,0,1,1,2}, {0,1,2,2,0,1,2,2,0,1,2,2,0,1,2,2},
    {0,0,1,1,0,1,1,2,1,1,2,2,1,2,2,2}, {0,0,1,1,2,0,0,1,2,2,0,0,2,2,2,0},
    {0,0,0,1,0,0,1,1,0,1,1,2,1,1,2,2}, {0,1,1,1,0,0,1,1,2,0,0,1,2,2,0,0},
    {0,0,0,0,1,1,2,2,1,1,2,2,1,1,2,2}, {0,0,2,2,0,0,2,2,0,0,2,2,1,1,1,1},
    {0,1,1,1,0,1,1,1,0,2,2,2,0,2,2,2}, {0,0,0,1,0,0,0,1,2,2,2,1,2,2,2,1},
    {0,0,0,0,0,0,1,1,0,1,2,2,0,1,2,2}, {0,0,0,0,1,1,0,0,2,2,1,0,2,2,1,0},
    {0,1,2,2,0,1,2,2,0,0,1,1,0,0,0,0}, {0,0,1,2,0,0,1,2,1,1,2,2,2,2,2,2},
    {0,1,1,0,1,2,2,1,1,2,2,1,0,1,1,0}, {0,0,0,0,0,1,1,0,1,2,2,1,1,2,2,1},
    {0,0,2,2,1,1,0,2,1,1,0,2,0,0,2,2}, {0,1,1,0,0,1,1,0,2,0,0,2,2,2,2,2},
    {0,0,1,1,0,1,2,2,0,1,2,2,0,0,1,1}, {0,0,0,0,2,0,0,0,2,2,1,1,2,2,2,1},
    {0,0,0,0,0,0,0,2,1,1,2,2,1,2,2,2}, {0,2,2,2,0,0,2,2,0,0,1,2,0,0,1,1},
    {0,0,1,1,0,0,1,2,0,0,2,2,0,2,2,2}, {0,1,2,0,0,1,2,0,0,1,2,0,0,1,2,0},
    {0,0,0,0,1,1,1,1,2,2,2,2,0,0,0,0}, {0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0},
    {0,1,2,0,2,0,1,2,1,2,0,1,0,1,2,0}, {0,0,1,1,2,2,0,0,1,1,2,2,0,0,1,1},
    {0,0,1,1,1,1,2,2,2,2,0,0,0,0,1,1}, {0,1,0,1,0,1,0,1,2,2,2,2,2,2,2,2},
    {0,0,0,0,0,0,0,0,2,1,2,1,2,1,2,1}, {0,0,2,2,1,1,2,2,0,0,2,2,1,1,2,2},
    {0,0,2,2,0,0,1,1,0,0,2,2,0,0,1,1}, {0,2,2,0,1,2,2,1,0,2,2,0,1,2,2,1},
    {0,1,0,1,2,2,2,2,2,2,2,2,0,1,0,1}, {0,0,0,0,2,1,2,1,2,1,2,1,2,1,2,1},
    {0,1,0,1,0,1,0,1,0,1,0,1,2,2,2,2}, {0,2,2,2,0,1,1,1,0,2,2,2,0,1,1,1},
    {0,0,0,2,1,1,1,2,0,0,0,2,1,1,1,2}, {0,0,0,0,2,1,1,2,2,1,1,2,2,1,1,2},
    {0,2,2,2,0,1,1,1,0,1,1,1,0,2,2,2}, {0,0,0,2,1,1,1,2,1,1,1,2,0,0,0,2},
    {0,1,1,0,0,1,1,0,0,1,1,0,2,2,2,2}, {0,0,0,0,0,0,0,0,2,1,1,2,2,1,1,2},
    {0,1,1,0,0,1,1,0,2,2,2,2,2,2,2,2}, {0,0,2,2,0,0,1,1,0,0,1,1,0,0,2,2},
    {0,0,2,2,1,1,2,2,1,1,2,2,0,0,2,2}, {0,0,0,0,0,0,0,0,0,0,0,0,2,1,1,2},
    {0,0,0,2,0,0,0,1,0,0,0,2,0,0,0,1}, {0,2,2,2,1,2,2,2,0,2,2,2,1,2,2,2},
    {0,1,0,1,2,2,2,2,2,2,2,2,2,2,2,2}, {0,1,1,1,2,0,1,1,2,2,0,1,2,2,2,0},
};

constexpr std::uint8_t kAnchors2[64] = {
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15,
    15, 2, 8, 2, 2, 8, 8, 15, 2, 8, 2, 2, 8, 8, 2, 2,
    15, 15, 6, 8, 2, 8, 15, 15, 2, 8, 2, 2, 2, 15, 15, 6,
    6, 2, 6, 8, 15, 15, 2, 2, 15, 15, 15, 15, 15, 2, 2, 15,
};
constexpr std::uint8_t kAnchors3Second[64] = {
    3, 3, 15, 15, 8, 3, 15, 15, 8, 8, 6, 6, 6, 5, 3, 3,
    3, 3, 8, 15, 3, 3, 6, 10, 5, 8, 8, 6, 8, 5, 15, 15,
    8, 15, 3, 5, 6, 10, 8, 15, 15, 3, 15, 5, 15, 15, 15, 15,
    3, 15, 5, 5, 5, 8, 5, 10, 5, 10, 8, 13, 15, 12, 3, 3,
};
constexpr std::uint8_t kAnchors3Third[64] = {
    15, 8, 8, 3, 15, 15, 3, 8, 15, 15, 15, 15, 15, 15, 15, 8,
    15, 8, 15, 3, 15, 8, 15, 8, 3, 15, 6, 10, 15, 15, 10, 8,
    15, 3, 15, 10, 10, 8, 9, 10, 6, 15, 8, 15, 3, 6, 6, 8,
    15, 3, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 3, 15, 15, 8,
};

// Interpolation weights out of 64 for indices of 2, 3 and 4 bits.
constexpr std::uint8_t kWeights2[4] = {0, 21, 43, 64};
constexpr std::uint8_t kWeights3[8] = {0, 9, 18, 27, 37, 46, 55, 64};
constexpr std::uint8_t kWeights4[16] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};

constexpr const std::uint8_t* WeightsFor(unsigned bits) {
  return bits == 2 ? kWeights2 : bits == 3 ? kWeights3 : kWeights4;
}

constexpr int Interpolate(int e0, int e1, unsigned weight) {
  return (e0 * (64 - static_cast<int>(weight)) + e1 * static_cast<int>(weight) + 32) >> 6;
}

__extension__ using TUint128 = unsigned __int128;

// The 128 bits of a block, read from the lowest up.
class TBlockBits {
 public:
  explicit TBlockBits(const std::uint8_t* b) : bits_(TUint128{Load64(b + 8)} << 64 | Load64(b)) {}
  // n <= 32; reading past bit 127 yields zeros.
  std::uint32_t Read(unsigned n) {
    const std::uint64_t v = pos_ < 128 ? static_cast<std::uint64_t>(bits_ >> pos_) : 0;
    pos_ += n;
    return static_cast<std::uint32_t>(v & ((std::uint64_t{1} << n) - 1));
  }
  void Skip(unsigned n) { pos_ += n; }

 private:
  TUint128 bits_;
  unsigned pos_ = 0;
};

// Which pixels of a block have one index bit less: the first pixel and each further subset's anchor.
inline std::uint32_t AnchorMask(unsigned subsets, unsigned partition) {
  std::uint32_t mask = 1;
  if (subsets == 2) mask |= 1u << kAnchors2[partition];
  if (subsets == 3) mask |= 1u << kAnchors3Second[partition] | 1u << kAnchors3Third[partition];
  return mask;
}

// ---------------------------------------------------------------------------------------------
// BC7

struct TBC7Mode {
  std::uint8_t Subsets, PartitionBits, RotationBits, IndexSelectionBits, ColorBits, AlphaBits, EndpointPBits,
      SharedPBits, IndexBits, SecondaryIndexBits;
};

constexpr TBC7Mode kBC7Modes[8] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0}, {2, 6, 0, 0, 6, 0, 0, 1, 3, 0}, {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0}, {1, 0, 2, 1, 5, 6, 0, 0, 2, 3}, {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0}, {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},
};

// A quantised endpoint value of `bits` bits as 8 bits: the top bits repeated into the low ones.
constexpr int Unquantize8(std::uint32_t v, unsigned bits) {
  v <<= 8 - bits;
  return static_cast<int>(v | v >> bits);
}

template <TBlockPixelOrder Order>
void DecodeBC7(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  if (b[0] == 0) {
    // The reserved mode: transparent black.
    for (int y = 0; y < 4; ++y) std::memset(out + y * stride, 0, 16);
    return;
  }
  const unsigned modeNumber = static_cast<unsigned>(std::countr_zero(b[0]));
  const TBC7Mode& mode = kBC7Modes[modeNumber];
  TBlockBits bits(b);
  bits.Skip(modeNumber + 1);
  const unsigned partition = bits.Read(mode.PartitionBits);
  const unsigned rotation = bits.Read(mode.RotationBits);
  const unsigned indexSelection = bits.Read(mode.IndexSelectionBits);

  // endpoints[subset * 2 + end][channel]
  int endpoints[6][4] = {};
  const unsigned ends = 2u * mode.Subsets;
  for (unsigned c = 0; c < 3; ++c)
    for (unsigned e = 0; e < ends; ++e) endpoints[e][c] = static_cast<int>(bits.Read(mode.ColorBits));
  if (mode.AlphaBits)
    for (unsigned e = 0; e < ends; ++e) endpoints[e][3] = static_cast<int>(bits.Read(mode.AlphaBits));
  unsigned pBits[6] = {};
  if (mode.EndpointPBits)
    for (unsigned e = 0; e < ends; ++e) pBits[e] = bits.Read(1);
  if (mode.SharedPBits)
    for (unsigned s = 0; s < mode.Subsets; ++s) pBits[2 * s] = pBits[2 * s + 1] = bits.Read(1);
  const unsigned p = mode.EndpointPBits | mode.SharedPBits;
  for (unsigned e = 0; e < ends; ++e) {
    for (unsigned c = 0; c < 3; ++c)
      endpoints[e][c] = Unquantize8(static_cast<std::uint32_t>(endpoints[e][c]) << p | pBits[e], mode.ColorBits + p);
    endpoints[e][3] = mode.AlphaBits ? Unquantize8(static_cast<std::uint32_t>(endpoints[e][3]) << p | pBits[e],
                                                   mode.AlphaBits + p)
                                     : 255;
  }

  const std::uint8_t* subsetOf = mode.Subsets == 2 ? kPartitions2[partition]
                                 : mode.Subsets == 3 ? kPartitions3[partition]
                                                     : nullptr;
  const std::uint32_t anchors = AnchorMask(mode.Subsets, partition);
  std::uint8_t primary[16], secondary[16] = {};
  for (unsigned i = 0; i < 16; ++i) primary[i] = static_cast<std::uint8_t>(bits.Read(mode.IndexBits - ((anchors >> i) & 1)));
  if (mode.SecondaryIndexBits)
    for (unsigned i = 0; i < 16; ++i)
      secondary[i] = static_cast<std::uint8_t>(bits.Read(mode.SecondaryIndexBits - (i == 0)));

  // Mode 4's selection bit swaps which index set drives colour and which alpha.
  const bool colorFromSecondary = indexSelection == 1;
  const bool alphaFromSecondary = mode.SecondaryIndexBits && !colorFromSecondary;
  const std::uint8_t* colorIndices = colorFromSecondary ? secondary : primary;
  const std::uint8_t* alphaIndices = alphaFromSecondary ? secondary : primary;
  const std::uint8_t* colorWeights = WeightsFor(colorFromSecondary ? mode.SecondaryIndexBits : mode.IndexBits);
  const std::uint8_t* alphaWeights = WeightsFor(alphaFromSecondary ? mode.SecondaryIndexBits : mode.IndexBits);

  for (unsigned i = 0; i < 16; ++i) {
    const unsigned s = subsetOf ? subsetOf[i] : 0;
    const int* e0 = endpoints[2 * s];
    const int* e1 = endpoints[2 * s + 1];
    const unsigned wc = colorWeights[colorIndices[i]], wa = alphaWeights[alphaIndices[i]];
    int rgba[4] = {Interpolate(e0[0], e1[0], wc), Interpolate(e0[1], e1[1], wc), Interpolate(e0[2], e1[2], wc),
                   Interpolate(e0[3], e1[3], wa)};
    if (rotation) std::swap(rgba[3], rgba[rotation - 1]);
    const std::uint32_t v = PackPixel<Order>(static_cast<std::uint32_t>(rgba[0]), static_cast<std::uint32_t>(rgba[1]),
                                        static_cast<std::uint32_t>(rgba[2]), static_cast<std::uint32_t>(rgba[3]));
    std::memcpy(out + (i >> 2) * stride + (i & 3) * 4, &v, 4);
  }
}

// ---------------------------------------------------------------------------------------------
// BC6H

// Where each mode keeps its bits, as published: fields left to right from the lowest bit,
// v[a:b] moving bits b..a (a > b) or, reversed, the first bit to b and on towards a (a < b).
// Variables are m (the mode), and r, g, b of endpoints 0 to 3.
struct TBC6HMode {
  std::uint8_t Number;
  bool Transformed;
  std::uint8_t PartitionBits, EndpointBits, DeltaBits[3];
  const char* Layout;
};

constexpr TBC6HMode kBC6HModes[14] = {
    {0, true, 5, 10, {5, 5, 5},
     "m[1:0],g2[4],b2[4],b3[4],r0[9:0],g0[9:0],b0[9:0],r1[4:0],g3[4],g2[3:0],"
     "g1[4:0],b3[0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3]"},
    {1, true, 5, 7, {6, 6, 6},
     "m[1:0],g2[5],g3[4],g3[5],r0[6:0],b3[0],b3[1],b2[4],g0[6:0],b2[5],b3[2],"
     "g2[4],b0[6:0],b3[3],b3[5],b3[4],r1[5:0],g2[3:0],g1[5:0],g3[3:0],b1[5:0],"
     "b2[3:0],r2[5:0],r3[5:0]"},
    {2, true, 5, 11, {5, 4, 4},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[4:0],r0[10],g2[3:0],g1[3:0],g0[10],"
     "b3[0],g3[3:0],b1[3:0],b0[10],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3]"},
    {6, true, 5, 11, {4, 5, 4},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10],g3[4],g2[3:0],g1[4:0],"
     "g0[10],g3[3:0],b1[3:0],b0[10],b3[1],b2[3:0],r2[3:0],b3[0],b3[2],r3[3:0],"
     "g2[4],b3[3]"},
    {10, true, 5, 11, {4, 4, 5},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10],b2[4],g2[3:0],g1[3:0],"
     "g0[10],b3[0],g3[3:0],b1[4:0],b0[10],b2[3:0],r2[3:0],b3[1],b3[2],r3[3:0],"
     "b3[4],b3[3]"},
    {14, true, 5, 9, {5, 5, 5},
     "m[4:0],r0[8:0],b2[4],g0[8:0],g2[4],b0[8:0],b3[4],r1[4:0],g3[4],g2[3:0],"
     "g1[4:0],b3[0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3]"},
    {18, true, 5, 8, {6, 5, 5},
     "m[4:0],r0[7:0],g3[4],b2[4],g0[7:0],b3[2],g2[4],b0[7:0],b3[3],b3[4],"
     "r1[5:0],g2[3:0],g1[4:0],b3[0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[5:0],"
     "r3[5:0]"},
    {22, true, 5, 8, {5, 6, 5},
     "m[4:0],r0[7:0],b3[0],b2[4],g0[7:0],g2[5],g2[4],b0[7:0],g3[5],b3[4],"
     "r1[4:0],g3[4],g2[3:0],g1[5:0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],"
     "b3[2],r3[4:0],b3[3]"},
    {26, true, 5, 8, {5, 5, 6},
     "m[4:0],r0[7:0],b3[1],b2[4],g0[7:0],b2[5],g2[4],b0[7:0],b3[5],b3[4],"
     "r1[4:0],g3[4],g2[3:0],g1[4:0],b3[0],g3[3:0],b1[5:0],b2[3:0],r2[4:0],"
     "b3[2],r3[4:0],b3[3]"},
    {30, false, 5, 6, {6, 6, 6},
     "m[4:0],r0[5:0],g3[4],b3[0],b3[1],b2[4],g0[5:0],g2[5],b2[5],b3[2],"
     "g2[4],b0[5:0],g3[5],b3[3],b3[5],b3[4],r1[5:0],g2[3:0],g1[5:0],g3[3:0],"
     "b1[5:0],b2[3:0],r2[5:0],r3[5:0]"},
    {3, false, 0, 10, {10, 10, 10}, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[9:0],g1[9:0],b1[9:0]"},
    {7, true, 0, 11, {9, 9, 9},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[8:0],r0[10],g1[8:0],g0[10],b1[8:0],"
     "b0[10]"},
    {11, true, 0, 12, {8, 8, 8},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[7:0],r0[10:11],g1[7:0],g0[10:11],"
     "b1[7:0],b0[10:11]"},
    {15, true, 0, 16, {4, 4, 4},
     "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10:15],g1[3:0],g0[10:15],"
     "b1[3:0],b0[10:15]"},
};

// One field of a layout, ready to read: `Count` bits into variable `Variable` (0 the mode, then
// 1 + 3 * endpoint + channel) from bit `Low` up, or from bit `Low` down when reversed.
struct TBC6HField {
  std::uint8_t Variable, Low, Count;
  bool Reversed;
};

struct TBC6HLayout {
  const TBC6HMode* Mode = nullptr;
  std::uint8_t FieldCount = 0;
  TBC6HField Fields[32] = {};
};

constexpr unsigned ParseNumber(const char*& s) {
  unsigned v = 0;
  while (*s >= '0' && *s <= '9') v = v * 10 + static_cast<unsigned>(*s++ - '0');
  return v;
}

constexpr TBC6HLayout ParseLayout(const TBC6HMode& mode) {
  TBC6HLayout layout;
  layout.Mode = &mode;
  const char* s = mode.Layout;
  while (*s) {
    TBC6HField f{};
    if (*s == 'm') {
      f.Variable = 0;
      ++s;
    } else {
      const unsigned channel = *s == 'r' ? 0 : *s == 'g' ? 1 : 2;
      ++s;
      f.Variable = static_cast<std::uint8_t>(1 + 3 * static_cast<unsigned>(*s++ - '0') + channel);
    }
    ++s;  // '['
    const unsigned a = ParseNumber(s);
    unsigned b = a;
    if (*s == ':') {
      ++s;
      b = ParseNumber(s);
    }
    ++s;  // ']'
    if (*s == ',') ++s;
    f.Reversed = a < b;
    f.Low = static_cast<std::uint8_t>(b);
    f.Count = static_cast<std::uint8_t>((a > b ? a - b : b - a) + 1);
    layout.Fields[layout.FieldCount++] = f;
  }
  return layout;
}

struct TBC6HLayouts {
  // By the mode's value in the low five bits (the two-bit modes at every value they end).
  const TBC6HLayout* ByModeBits[32] = {};
  TBC6HLayout Layouts[14];

  constexpr TBC6HLayouts() {
    for (int i = 0; i < 14; ++i) Layouts[i] = ParseLayout(kBC6HModes[i]);
    for (unsigned m = 0; m < 32; ++m) {
      const unsigned number = (m & 3) < 2 ? (m & 3) : m;
      for (int i = 0; i < 14; ++i)
        if (kBC6HModes[i].Number == number) ByModeBits[m] = &Layouts[i];
    }
  }
};

constexpr TBC6HLayouts kBC6HLayouts;

constexpr int SignExtend(int v, unsigned bits) {
  const int shift = 32 - static_cast<int>(bits);
  return static_cast<int>(static_cast<std::uint32_t>(v) << shift) >> shift;
}

constexpr int UnquantizeUnsigned(int x, unsigned bits) {
  if (bits >= 15) return x;
  if (x == 0) return 0;
  if (x == (1 << bits) - 1) return 0xFFFF;
  return ((x << 15) + 0x4000) >> (bits - 1);
}

constexpr int UnquantizeSigned(int x, unsigned bits) {
  if (bits >= 16) return x;
  const bool negative = x < 0;
  if (negative) x = -x;
  int q;
  if (x == 0) q = 0;
  else if (x >= (1 << (bits - 1)) - 1) q = 0x7FFF;
  else q = ((x << 15) + 0x4000) >> (bits - 1);
  return negative ? -q : q;
}

// An interpolated value as the bits of a half float.
constexpr std::uint16_t FinishHalf(int v, bool isSigned) {
  if (!isSigned) return static_cast<std::uint16_t>((v * 31) >> 6);
  // Mode 15 takes its 16-bit endpoints as they are, and -32768 would scale to an infinity,
  // which the format never yields.
  v = std::max(v, -0x7FFF);
  if (v < 0) return static_cast<std::uint16_t>(0x8000 | (((-v) * 31) >> 5));
  return static_cast<std::uint16_t>((v * 31) >> 5);
}

// A finite half (all BC6H yields) as a float: its bits moved into a float's place and scaled
// by the difference of the exponent biases, which is exact for subnormals too.
inline float FiniteHalfToFloat(std::uint16_t half) {
  const std::uint32_t bits = static_cast<std::uint32_t>(half & 0x7FFF) << 13;
  float f;
  std::memcpy(&f, &bits, 4);
  f *= 0x1p112f;
  return half & 0x8000 ? -f : f;
}

template <bool Signed>
void DecodeBC6H(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  const TBC6HLayout* layout = kBC6HLayouts.ByModeBits[b[0] & 31];
  if (!layout) {
    // A reserved mode: opaque black.
    static constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) std::memcpy(out + y * stride + x * 16, kBlack, 16);
    return;
  }
  const TBC6HMode& mode = *layout->Mode;
  TBlockBits bits(b);
  int v[13] = {};
  for (unsigned i = 0; i < layout->FieldCount; ++i) {
    const TBC6HField& f = layout->Fields[i];
    if (!f.Reversed) {
      v[f.Variable] |= static_cast<int>(bits.Read(f.Count) << f.Low);
    } else {
      for (unsigned k = 0; k < f.Count; ++k) v[f.Variable] |= static_cast<int>(bits.Read(1) << (f.Low - k));
    }
  }
  const unsigned subsets = mode.PartitionBits ? 2 : 1;
  const unsigned partition = bits.Read(mode.PartitionBits);
  const unsigned epb = mode.EndpointBits;

  // endpoints[end][channel], ends 0 and 1 of subset 0, then 2 and 3 of subset 1
  int* e = v + 1;
  for (unsigned c = 0; c < 3; ++c) {
    int& base = e[c];
    if (Signed) base = SignExtend(base, epb);
    for (unsigned end = 1; end < 2 * subsets; ++end) {
      int& x = e[3 * end + c];
      if (Signed || mode.Transformed) x = SignExtend(x, mode.DeltaBits[c]);
      if (mode.Transformed) {
        x = (base + x) & ((1 << epb) - 1);
        if (Signed) x = SignExtend(x, epb);
      }
    }
    for (unsigned end = 0; end < 2 * subsets; ++end)
      e[3 * end + c] = Signed ? UnquantizeSigned(e[3 * end + c], epb) : UnquantizeUnsigned(e[3 * end + c], epb);
  }

  // Every colour the block can take, once: 16 of one subset or 8 of each of two.
  const unsigned indexBits = subsets == 2 ? 3 : 4;
  const std::uint8_t* weights = WeightsFor(indexBits);
  float palette[16][4];
  for (unsigned s = 0; s < subsets; ++s)
    for (unsigned k = 0; k < (1u << indexBits); ++k) {
      float* colour = palette[(s << indexBits) | k];
      for (unsigned c = 0; c < 3; ++c)
        colour[c] = FiniteHalfToFloat(FinishHalf(Interpolate(e[6 * s + c], e[6 * s + 3 + c], weights[k]), Signed));
      colour[3] = 1.0f;
    }
  const std::uint32_t anchors = AnchorMask(subsets, partition);
  const std::uint8_t* subsetOf = kPartitions2[partition];
  for (unsigned i = 0; i < 16; ++i) {
    const unsigned index = bits.Read(indexBits - ((anchors >> i) & 1));
    const unsigned s = subsets == 2 ? subsetOf[i] : 0;
    std::memcpy(out + (i >> 2) * stride + (i & 3) * 16, palette[(s << indexBits) | index], 16);
  }
}

// ---------------------------------------------------------------------------------------------
// Surfaces

using TBlockDecoder = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);

template <TBlockPixelOrder Order>
TBlockDecoder DecoderFor(TBlockFormat format) {
  switch (format) {
    case TBlockFormat::BC1: return DecodeBC1<Order>;
    case TBlockFormat::BC2: return DecodeBC2<Order>;
    case TBlockFormat::BC3: return DecodeBC3<Order>;
    case TBlockFormat::BC4U: return DecodeBC4<Order, false>;
    case TBlockFormat::BC4S: return DecodeBC4<Order, true>;
    case TBlockFormat::BC5U: return DecodeBC5<Order, false>;
    case TBlockFormat::BC5S: return DecodeBC5<Order, true>;
    case TBlockFormat::BC6HU: return DecodeBC6H<false>;
    case TBlockFormat::BC6HS: return DecodeBC6H<true>;
    case TBlockFormat::BC7: return DecodeBC7<Order>;
    default: break;
  }
  return DecodeBC1<Order>;
}

TBlockDecoder DecoderFor(TBlockFormat format, TBlockPixelOrder order) {
  return order == poBGRA ? DecoderFor<poBGRA>(format) : DecoderFor<poRGBA>(format);
}

// The rows of blocks, with the decoder inlined: one call a block would cost BC1 a fifth of its speed.
template <typename Decode>
void DecodeBlockRows(Decode decode, TBlockKind kind, std::size_t pixelBytes, const std::uint8_t* blocks,
                     std::uint32_t blockRows, std::uint32_t width, std::uint32_t height, std::uint8_t* out,
                     std::size_t stride) {
  const std::size_t blockBytes = BlockBytes(kind);
  const std::uint32_t bw = kind.Width, bh = kind.Height;
  const std::uint32_t wholeColumns = width / bw, columns = (width + bw - 1) / bw;
  for (std::uint32_t by = 0; by < blockRows; ++by) {
    std::uint8_t* row = out + std::size_t{by} * bh * stride;
    const std::uint32_t rowsHere = std::min<std::uint32_t>(bh, height - bh * by);
    for (std::uint32_t bx = 0; bx < columns; ++bx, blocks += blockBytes) {
      std::uint8_t* target = row + std::size_t{bx} * bw * pixelBytes;
      if (rowsHere == bh && bx < wholeColumns) {
        decode(blocks, target, stride);
        continue;
      }
      // An edge block goes through a tile and only its pixels inside the surface are kept.
      alignas(16) std::uint8_t tile[12 * 12 * 16];
      decode(blocks, tile, bw * pixelBytes);
      const std::size_t keep = std::min<std::uint32_t>(bw, width - bw * bx) * pixelBytes;
      for (std::uint32_t y = 0; y < rowsHere; ++y) std::memcpy(target + y * stride, tile + y * bw * pixelBytes, keep);
    }
  }
}

bool IsETC(TBlockFormat format) { return format >= TBlockFormat::ETC1 && format <= TBlockFormat::EACRG11S; }
bool IsASTC(TBlockFormat format) { return format == TBlockFormat::ASTC || format == TBlockFormat::ASTCsRGB; }

}  // namespace

std::size_t BlockBytes(TBlockKind kind) {
  switch (kind.Format) {
    case TBlockFormat::BC1:
    case TBlockFormat::BC4U:
    case TBlockFormat::BC4S:
    case TBlockFormat::ETC1:
    case TBlockFormat::ETC2RGB:
    case TBlockFormat::ETC2RGBA1:
    case TBlockFormat::EACR11:
    case TBlockFormat::EACR11S: return 8;
    default: return 16;
  }
}

bool BlockFormatIsFloat(TBlockKind kind) {
  return kind.Format == TBlockFormat::BC6HU || kind.Format == TBlockFormat::BC6HS;
}

bool BlockFootprintValid(TBlockKind kind) {
  if (!IsASTC(kind.Format)) return kind.Width == 4 && kind.Height == 4;
  static constexpr std::uint8_t kFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                                      {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};
  for (const auto& f : kFootprints)
    if (f[0] == kind.Width && f[1] == kind.Height) return true;
  return false;
}

std::size_t BlockRowBytes(TBlockKind kind, std::uint32_t width) {
  return (std::size_t{width} + kind.Width - 1) / kind.Width * BlockBytes(kind);
}

std::optional<std::size_t> BlockSurfaceBytes(TBlockKind kind, std::uint32_t width, std::uint32_t height) {
  const std::size_t rows = (std::size_t{height} + kind.Height - 1) / kind.Height;
  return CheckedMul(BlockRowBytes(kind, width), rows);
}

void DecodeBlock(TBlockKind kind, const std::uint8_t* block, void* out, std::size_t stride, TBlockPixelOrder order) {
  auto* target = static_cast<std::uint8_t*>(out);
  if (IsETC(kind.Format)) DecodeETCBlock(kind.Format, block, target, stride, order);
  else if (IsASTC(kind.Format))
    DecodeASTCBlock(block, kind.Width, kind.Height, kind.Format == TBlockFormat::ASTCsRGB, target, stride, order);
  else DecoderFor(kind.Format, order)(block, target, stride);
}

std::uint32_t DecodeBlocks(TBlockKind kind, const std::uint8_t* blocks, std::size_t bytes, std::uint32_t width,
                           std::uint32_t height, void* out, std::size_t stride, TBlockPixelOrder order) {
  if (width == 0 || height == 0) return height;
  if (!BlockFootprintValid(kind)) return 0;
  const std::size_t rowBytes = BlockRowBytes(kind, width);
  const std::uint32_t blockRows = static_cast<std::uint32_t>(
      std::min<std::size_t>((std::size_t{height} + kind.Height - 1) / kind.Height, blocks ? bytes / rowBytes : 0));
  const std::size_t pixelBytes = BlockFormatIsFloat(kind) ? 16 : 4;
  auto* target = static_cast<std::uint8_t*>(out);
  auto run = [&](auto decode) {
    DecodeBlockRows(decode, kind, pixelBytes, blocks, blockRows, width, height, target, stride);
  };
#define VUMO_BLOCK_CASE(Format, Rgba, Bgra)                                           \
  case TBlockFormat::Format:                                                          \
    if (order == poBGRA) run([](const std::uint8_t* b, std::uint8_t* o, std::size_t s) { Bgra(b, o, s); }); \
    else run([](const std::uint8_t* b, std::uint8_t* o, std::size_t s) { Rgba(b, o, s); });                \
    break;
  switch (kind.Format) {
    VUMO_BLOCK_CASE(BC1, DecodeBC1<poRGBA>, DecodeBC1<poBGRA>)
    VUMO_BLOCK_CASE(BC2, DecodeBC2<poRGBA>, DecodeBC2<poBGRA>)
    VUMO_BLOCK_CASE(BC3, DecodeBC3<poRGBA>, DecodeBC3<poBGRA>)
    VUMO_BLOCK_CASE(BC4U, (DecodeBC4<poRGBA, false>), (DecodeBC4<poBGRA, false>))
    VUMO_BLOCK_CASE(BC4S, (DecodeBC4<poRGBA, true>), (DecodeBC4<poBGRA, true>))
    VUMO_BLOCK_CASE(BC5U, (DecodeBC5<poRGBA, false>), (DecodeBC5<poBGRA, false>))
    VUMO_BLOCK_CASE(BC5S, (DecodeBC5<poRGBA, true>), (DecodeBC5<poBGRA, true>))
    VUMO_BLOCK_CASE(BC6HU, DecodeBC6H<false>, DecodeBC6H<false>)
    VUMO_BLOCK_CASE(BC6HS, DecodeBC6H<true>, DecodeBC6H<true>)
    VUMO_BLOCK_CASE(BC7, DecodeBC7<poRGBA>, DecodeBC7<poBGRA>)
    case TBlockFormat::ASTC:
    case TBlockFormat::ASTCsRGB: {
      const bool srgb = kind.Format == TBlockFormat::ASTCsRGB;
      run([&](const std::uint8_t* b, std::uint8_t* o, std::size_t s) {
        DecodeASTCBlock(b, kind.Width, kind.Height, srgb, o, s, order);
      });
      break;
    }
    default:
      run([&](const std::uint8_t* b, std::uint8_t* o, std::size_t s) { DecodeETCBlock(kind.Format, b, o, s, order); });
      break;
  }
#undef VUMO_BLOCK_CASE
  return std::min<std::uint32_t>(height, blockRows * kind.Height);
}

}  // namespace vumo
