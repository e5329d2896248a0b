#include "pixels/etc_decoders.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "pixels/byte_order.h"

namespace vumo {
namespace {

// ---------------------------------------------------------------------------------------------
// Pixels

template <TBlockPixelOrder Order>
constexpr std::uint32_t kColorBits = PackPixel<Order>(255, 255, 255, 0);

constexpr std::uint32_t Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<std::uint32_t>(v); }

template <TBlockPixelOrder Order>
constexpr std::uint32_t Opaque(int r, int g, int b) {
  return PackPixel<Order>(Clamp255(r), Clamp255(g), Clamp255(b), 255);
}

// `pixels` hold a tile in rows of four; each row is written with one copy.
inline void StoreTile(const std::uint32_t pixels[16], std::uint8_t* out, std::size_t stride) {
  for (int y = 0; y < 4; ++y, out += stride) std::memcpy(out, pixels + 4 * y, 16);
}

constexpr int Extend4(std::uint32_t v) { return static_cast<int>(v << 4 | v); }
constexpr int Extend5(std::uint32_t v) { return static_cast<int>(v << 3 | v >> 2); }
constexpr int Extend6(std::uint32_t v) { return static_cast<int>(v << 2 | v >> 4); }
constexpr int Extend7(std::uint32_t v) { return static_cast<int>(v << 1 | v >> 6); }

// A 3-bit two's-complement field.
constexpr int Signed3(std::uint32_t v) { return static_cast<int>(v ^ 4) - 4; }

// ---------------------------------------------------------------------------------------------
// ETC1 and ETC2 colour

// The modifier tables of the individual and differential modes, in the order of the 2-bit pixel
// index (its high bit from the upper 16 index bits, the low bit from the lower 16): a, b, -a, -b.
constexpr int kModifiers[8][4] = {
    {2, 8, -2, -8},     {5, 17, -5, -17},   {9, 29, -9, -29},     {13, 42, -13, -42},
    {18, 60, -18, -60}, {24, 80, -24, -80}, {33, 106, -33, -106}, {47, 183, -47, -183},
};

// The distances of the T and H modes.
constexpr int kDistances[8] = {3, 6, 11, 16, 23, 32, 41, 64};

// Pixel j of a block's index planes is column j / 4, row j % 4; `second` marks the pixels that
// take palette entries 4 to 7 (the second half of an individual or differential block).
inline void Paint(const std::uint32_t* palette, std::uint32_t second, std::uint64_t word, std::uint32_t pixels[16]) {
  const auto low = static_cast<std::uint32_t>(word & 0xFFFF), high = static_cast<std::uint32_t>(word >> 16 & 0xFFFF);
  for (int j = 0; j < 16; ++j) {
    const std::uint32_t index = (second >> j & 1) << 2 | (high >> j & 1) << 1 | (low >> j & 1);
    pixels[(j & 3) * 4 + (j >> 2)] = palette[index];
  }
}

// The four colours of one half of an individual or differential block. Without the opaque bit
// of punch-through, the small modifiers are 0 and index 2 is transparent black.
template <TBlockPixelOrder Order, bool Transparent>
inline void HalfPalette(int r, int g, int b, unsigned table, std::uint32_t* palette) {
  const int* m = kModifiers[table];
  if constexpr (Transparent) {
    palette[0] = Opaque<Order>(r, g, b);
    palette[1] = Opaque<Order>(r + m[1], g + m[1], b + m[1]);
    palette[2] = 0;
    palette[3] = Opaque<Order>(r + m[3], g + m[3], b + m[3]);
  } else {
    for (int i = 0; i < 4; ++i) palette[i] = Opaque<Order>(r + m[i], g + m[i], b + m[i]);
  }
}

template <TBlockPixelOrder Order, bool Transparent>
inline void DecodeHalves(std::uint64_t word, int r1, int g1, int b1, int r2, int g2, int b2, std::uint32_t pixels[16]) {
  std::uint32_t palette[8];
  HalfPalette<Order, Transparent>(r1, g1, b1, word >> 37 & 7, palette);
  HalfPalette<Order, Transparent>(r2, g2, b2, word >> 34 & 7, palette + 4);
  // Side by side, the second half is columns 2 and 3 (pixels 8 to 15); flipped, rows 2 and 3.
  Paint(palette, (word >> 32 & 1) ? 0xCCCCu : 0xFF00u, word, pixels);
}

template <TBlockPixelOrder Order, bool Transparent>
inline void DecodeT(std::uint64_t word, std::uint32_t pixels[16]) {
  const auto r1 = static_cast<std::uint32_t>((word >> 59 & 3) << 2 | (word >> 56 & 3));
  const int d = kDistances[(word >> 34 & 3) << 1 | (word >> 32 & 1)];
  const int R1 = Extend4(r1), G1 = Extend4(word >> 52 & 15), B1 = Extend4(word >> 48 & 15);
  const int R2 = Extend4(word >> 44 & 15), G2 = Extend4(word >> 40 & 15), B2 = Extend4(word >> 36 & 15);
  const std::uint32_t palette[4] = {Opaque<Order>(R1, G1, B1), Opaque<Order>(R2 + d, G2 + d, B2 + d),
                                    Transparent ? 0 : Opaque<Order>(R2, G2, B2), Opaque<Order>(R2 - d, G2 - d, B2 - d)};
  Paint(palette, 0, word, pixels);
}

template <TBlockPixelOrder Order, bool Transparent>
inline void DecodeH(std::uint64_t word, std::uint32_t pixels[16]) {
  const auto g1 = static_cast<std::uint32_t>((word >> 56 & 7) << 1 | (word >> 52 & 1));
  const auto b1 = static_cast<std::uint32_t>((word >> 51 & 1) << 3 | (word >> 47 & 7));
  const int R1 = Extend4(word >> 59 & 15), G1 = Extend4(g1), B1 = Extend4(b1);
  const int R2 = Extend4(word >> 43 & 15), G2 = Extend4(word >> 39 & 15), B2 = Extend4(word >> 35 & 15);
  // The distance index's low bit is whether the first base colour is at least the second.
  const unsigned first = static_cast<unsigned>(R1 << 16 | G1 << 8 | B1), other = static_cast<unsigned>(R2 << 16 | G2 << 8 | B2);
  const int d = kDistances[(word >> 34 & 1) << 2 | (word >> 32 & 1) << 1 | (first >= other ? 1 : 0)];
  const std::uint32_t palette[4] = {Opaque<Order>(R1 + d, G1 + d, B1 + d), Opaque<Order>(R1 - d, G1 - d, B1 - d),
                                    Transparent ? 0 : Opaque<Order>(R2 + d, G2 + d, B2 + d),
                                    Opaque<Order>(R2 - d, G2 - d, B2 - d)};
  Paint(palette, 0, word, pixels);
}

// Planar: a plane through the origin colour O and the colours H four pixels right and V four
// pixels down, rounded half up; always opaque.
template <TBlockPixelOrder Order>
inline void DecodePlanar(std::uint64_t word, std::uint32_t pixels[16]) {
  const int ro = Extend6(word >> 57 & 63);
  const int go = Extend7(static_cast<std::uint32_t>((word >> 56 & 1) << 6 | (word >> 49 & 63)));
  const int bo = Extend6(static_cast<std::uint32_t>((word >> 48 & 1) << 5 | (word >> 43 & 3) << 3 | (word >> 39 & 7)));
  const int rh = Extend6(static_cast<std::uint32_t>((word >> 34 & 31) << 1 | (word >> 32 & 1)));
  const int gh = Extend7(word >> 25 & 127), bh = Extend6(word >> 19 & 63);
  const int rv = Extend6(word >> 13 & 63), gv = Extend7(word >> 6 & 127), bv = Extend6(word & 63);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      pixels[4 * y + x] = Opaque<Order>((x * (rh - ro) + y * (rv - ro) + 4 * ro + 2) >> 2,
                                        (x * (gh - go) + y * (gv - go) + 4 * go + 2) >> 2,
                                        (x * (bh - bo) + y * (bv - bo) + 4 * bo + 2) >> 2);
}

// One 64-bit colour block (big-endian word). ETC1 blocks decode as ETC2's: a valid ETC1 block
// never overflows its differential colours, and ETC2 gave the overflows their meaning. With
// punch-through, bit 33 is the opaque bit instead of the choice of individual mode.
template <TBlockPixelOrder Order, bool PunchThrough>
void DecodeColor(std::uint64_t word, std::uint32_t pixels[16]) {
  const bool bit33 = word >> 33 & 1;
  if (!PunchThrough && !bit33) {
    DecodeHalves<Order, false>(word, Extend4(word >> 60 & 15), Extend4(word >> 52 & 15), Extend4(word >> 44 & 15),
                               Extend4(word >> 56 & 15), Extend4(word >> 48 & 15), Extend4(word >> 40 & 15), pixels);
    return;
  }
  const int r = static_cast<int>(word >> 59 & 31), g = static_cast<int>(word >> 51 & 31);
  const int b = static_cast<int>(word >> 43 & 31);
  const int r2 = r + Signed3(word >> 56 & 7), g2 = g + Signed3(word >> 48 & 7), b2 = b + Signed3(word >> 40 & 7);
  const bool transparent = PunchThrough && !bit33;
  if (r2 < 0 || r2 > 31) {
    if (transparent) DecodeT<Order, true>(word, pixels);
    else DecodeT<Order, false>(word, pixels);
  } else if (g2 < 0 || g2 > 31) {
    if (transparent) DecodeH<Order, true>(word, pixels);
    else DecodeH<Order, false>(word, pixels);
  } else if (b2 < 0 || b2 > 31) {
    DecodePlanar<Order>(word, pixels);
  } else {
    const int R1 = Extend5(static_cast<std::uint32_t>(r)), G1 = Extend5(static_cast<std::uint32_t>(g));
    const int B1 = Extend5(static_cast<std::uint32_t>(b));
    const int R2 = Extend5(static_cast<std::uint32_t>(r2)), G2 = Extend5(static_cast<std::uint32_t>(g2));
    const int B2 = Extend5(static_cast<std::uint32_t>(b2));
    if (transparent) DecodeHalves<Order, true>(word, R1, G1, B1, R2, G2, B2, pixels);
    else DecodeHalves<Order, false>(word, R1, G1, B1, R2, G2, B2, pixels);
  }
}

// ---------------------------------------------------------------------------------------------
// EAC: ETC2's 8-bit alpha and the 11-bit R11 and RG11 channels

constexpr int kEACModifiers[16][8] = {
    {-3, -6, -9, -15, 2, 5, 8, 14}, {-3, -7, -10, -13, 2, 6, 9, 12}, {-2, -5, -8, -13, 1, 4, 7, 12},
    {-2, -4, -6, -13, 1, 3, 5, 12}, {-3, -6, -8, -12, 2, 5, 7, 11},  {-3, -7, -9, -11, 2, 6, 8, 10},
    {-4, -7, -8, -11, 3, 6, 7, 10}, {-3, -5, -8, -11, 2, 4, 7, 10},  {-2, -6, -8, -10, 1, 5, 7, 9},
    {-2, -5, -8, -10, 1, 4, 7, 9},  {-2, -4, -8, -10, 1, 3, 7, 9},   {-2, -5, -7, -10, 1, 4, 6, 9},
    {-3, -4, -7, -10, 2, 3, 6, 9},  {-1, -2, -3, -10, 0, 1, 2, 9},   {-4, -6, -8, -9, 3, 5, 7, 8},
    {-3, -5, -7, -9, 2, 4, 6, 8},
};

enum TEACKind { ekAlpha8, ekUnsigned11, ekSigned11 };

// The eight values of an EAC block as 8-bit values: ETC2's alpha directly, the 11-bit channels
// rounded to 8 bits, the signed ones mapping -1..1 onto 0..255 as BC4S and BC5S do.
template <TEACKind Kind>
inline void EACValues(std::uint64_t word, std::uint32_t values[8]) {
  const int multiplier = static_cast<int>(word >> 52 & 15);
  const int* m = kEACModifiers[word >> 48 & 15];
  if constexpr (Kind == ekAlpha8) {
    const int base = static_cast<int>(word >> 56 & 255);
    for (int i = 0; i < 8; ++i) values[i] = Clamp255(base + m[i] * multiplier);
  } else if constexpr (Kind == ekUnsigned11) {
    const int base = static_cast<int>(word >> 56 & 255) * 8 + 4, scale = multiplier ? multiplier * 8 : 1;
    for (int i = 0; i < 8; ++i) {
      const int v = std::min(std::max(base + m[i] * scale, 0), 2047);
      values[i] = static_cast<std::uint32_t>((v * 255 + 1023) / 2047);
    }
  } else {
    // The code -128 is read as -127.
    const int base = std::max<int>(static_cast<std::int8_t>(word >> 56 & 255), -127) * 8;
    const int scale = multiplier ? multiplier * 8 : 1;
    for (int i = 0; i < 8; ++i) {
      const int v = std::min(std::max(base + m[i] * scale, -1023), 1023);
      values[i] = static_cast<std::uint32_t>(((v + 1023) * 255 + 1023) / 2046);
    }
  }
}

// The 3-bit index of pixel j (column j / 4, row j % 4), the first pixel's at the top.
constexpr unsigned EACIndex(std::uint64_t word, int j) { return static_cast<unsigned>(word >> (45 - 3 * j) & 7); }

template <TBlockPixelOrder Order>
void DecodeETC2RGBA(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t pixels[16], alphas[8];
  DecodeColor<Order, false>(BigEndian64(b + 8), pixels);
  const std::uint64_t alpha = BigEndian64(b);
  EACValues<ekAlpha8>(alpha, alphas);
  for (auto& a : alphas) a = PackPixel<Order>(0, 0, 0, a);
  for (int j = 0; j < 16; ++j) {
    std::uint32_t& p = pixels[(j & 3) * 4 + (j >> 2)];
    p = (p & kColorBits<Order>) | alphas[EACIndex(alpha, j)];
  }
  StoreTile(pixels, out, stride);
}

template <TBlockPixelOrder Order, bool PunchThrough>
void DecodeETC2(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t pixels[16];
  DecodeColor<Order, PunchThrough>(BigEndian64(b), pixels);
  StoreTile(pixels, out, stride);
}

template <TBlockPixelOrder Order, bool Signed>
void DecodeR11(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t values[8], pixels[16];
  const std::uint64_t word = BigEndian64(b);
  EACValues<Signed ? ekSigned11 : ekUnsigned11>(word, values);
  for (auto& v : values) v = PackPixel<Order>(v, v, v, 255);
  for (int j = 0; j < 16; ++j) pixels[(j & 3) * 4 + (j >> 2)] = values[EACIndex(word, j)];
  StoreTile(pixels, out, stride);
}

template <TBlockPixelOrder Order, bool Signed>
void DecodeRG11(const std::uint8_t* b, std::uint8_t* out, std::size_t stride) {
  std::uint32_t reds[8], greens[8], pixels[16];
  const std::uint64_t red = BigEndian64(b), green = BigEndian64(b + 8);
  EACValues<Signed ? ekSigned11 : ekUnsigned11>(red, reds);
  EACValues<Signed ? ekSigned11 : ekUnsigned11>(green, greens);
  for (int i = 0; i < 8; ++i) {
    reds[i] = PackPixel<Order>(reds[i], 0, 0, 255);
    greens[i] = PackPixel<Order>(0, greens[i], 0, 0);
  }
  for (int j = 0; j < 16; ++j) pixels[(j & 3) * 4 + (j >> 2)] = reds[EACIndex(red, j)] | greens[EACIndex(green, j)];
  StoreTile(pixels, out, stride);
}

template <TBlockPixelOrder Order>
void Decode(TBlockFormat format, const std::uint8_t* block, std::uint8_t* out, std::size_t stride) {
  switch (format) {
    case TBlockFormat::ETC1:
    case TBlockFormat::ETC2RGB: DecodeETC2<Order, false>(block, out, stride); break;
    case TBlockFormat::ETC2RGBA1: DecodeETC2<Order, true>(block, out, stride); break;
    case TBlockFormat::ETC2RGBA: DecodeETC2RGBA<Order>(block, out, stride); break;
    case TBlockFormat::EACR11: DecodeR11<Order, false>(block, out, stride); break;
    case TBlockFormat::EACR11S: DecodeR11<Order, true>(block, out, stride); break;
    case TBlockFormat::EACRG11: DecodeRG11<Order, false>(block, out, stride); break;
    case TBlockFormat::EACRG11S: DecodeRG11<Order, true>(block, out, stride); break;
    default: break;  // not an ETC format: DecodeBlock never sends one here
  }
}

}  // namespace

void DecodeETCBlock(TBlockFormat format, const std::uint8_t* block, std::uint8_t* out, std::size_t stride,
                    TBlockPixelOrder order) {
  if (order == poBGRA) Decode<poBGRA>(format, block, out, stride);
  else Decode<poRGBA>(format, block, out, stride);
}

}  // namespace vumo
