// The GPU block-compression formats: BC1 to BC7, ETC1, ETC2 and EAC, each 4 x 4 block of a
// texture as 8 or 16 bytes, and ASTC, 16 bytes a block of 4 x 4 to 12 x 12 pixels; decoded to
// 8-bit RGBA (BC6H to float RGBA, being high dynamic range). The BC formats are decoded here,
// ETC and EAC in etc_decoders.cpp, ASTC in astc_decoder.cpp.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vumo {

enum class TBlockFormat : std::uint8_t {
  BC1,    // colour with an optional 1-bit alpha (DXT1)
  BC2,    // colour with explicit 4-bit alpha (DXT2, DXT3)
  BC3,    // colour with interpolated alpha (DXT4, DXT5)
  BC4U,   // one channel, shown as grey
  BC4S,   // the same, signed
  BC5U,   // two channels as red and green; blue is 0, as a GPU samples it
  BC5S,   // the same, signed
  BC6HU,  // unsigned half-float RGB
  BC6HS,  // signed half-float RGB
  BC7,    // RGBA in eight modes
  ETC1,       // RGB in two halves, each a base colour and a table of offsets
  ETC2RGB,    // ETC1 with the T, H and planar modes
  ETC2RGBA1,  // ETC2 RGB with punch-through (1-bit) alpha
  ETC2RGBA,   // an EAC alpha block, then an ETC2 RGB block
  EACR11,     // one 11-bit channel, shown as grey
  EACR11S,    // the same, signed
  EACRG11,    // two 11-bit channels as red and green; blue is 0
  EACRG11S,   // the same, signed
  ASTC,       // ASTC, LDR profile: the footprint is the kind's
  ASTCsRGB,   // the same, decoded as sRGB-encoded texels
};

// A block format with the pixels one block covers: 4 x 4 for all but ASTC.
struct TBlockKind {
  TBlockFormat Format = TBlockFormat::BC1;
  std::uint8_t Width = 4, Height = 4;

  constexpr TBlockKind() = default;
  constexpr TBlockKind(TBlockFormat format, std::uint8_t width = 4, std::uint8_t height = 4)
      : Format(format), Width(width), Height(height) {}
  friend constexpr bool operator==(const TBlockKind&, const TBlockKind&) = default;
};

// Where the four 8-bit channels go in each output pixel: R, G, B, A in memory, or B, G, R, A
// as the 32-bit bitmap keeps them. BC6H always writes R, G, B, A floats.
enum TBlockPixelOrder : std::uint8_t { poRGBA, poBGRA };

// One 8-bit pixel as the 32-bit value whose bytes in memory are in `Order`; alpha is the fourth
// byte in both orders, so an alpha palette can be or-ed into a colour palette.
template <TBlockPixelOrder Order>
constexpr std::uint32_t PackPixel(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  std::uint32_t v = Order == poRGBA ? (r | g << 8 | b << 16 | a << 24) : (b | g << 8 | r << 16 | a << 24);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

// Bytes of one block: 8 for BC1, BC4, ETC1, ETC2 RGB (with punch-through) and EAC R11, 16 for
// the others.
std::size_t BlockBytes(TBlockKind kind);
// True for BC6H, whose pixels are four floats instead of four bytes.
bool BlockFormatIsFloat(TBlockKind kind);
// True for the footprints ASTC defines in two dimensions (4 x 4 to 12 x 12), and 4 x 4 for the
// others.
bool BlockFootprintValid(TBlockKind kind);
// Bytes of one row of blocks across `width` pixels, and of the blocks of a surface: whole
// blocks cover the edges. Nothing on overflow.
std::size_t BlockRowBytes(TBlockKind kind, std::uint32_t width);
std::optional<std::size_t> BlockSurfaceBytes(TBlockKind kind, std::uint32_t width, std::uint32_t height);

// Decodes one block into a tile of the kind's footprint at `out` whose rows are `stride` bytes
// apart; each pixel is 4 bytes, or for BC6H 16 bytes (four floats, alpha 1). Reserved block
// encodings decode as the format's definition asks: transparent black (BC7), opaque black
// (BC6H), the error colour magenta (ASTC).
void DecodeBlock(TBlockKind kind, const std::uint8_t* block, void* out, std::size_t stride,
                 TBlockPixelOrder order = poRGBA);

// Decodes the blocks of a `width` x `height` surface, stored row of blocks after row of blocks,
// into pixels whose rows are `stride` bytes apart. Blocks at the right and bottom edges are cut
// to the surface. Returns the number of pixel rows written whole: fewer than `height` when
// `bytes` ends before the last block row, whose rows are then left as they were.
std::uint32_t DecodeBlocks(TBlockKind kind, const std::uint8_t* blocks, std::size_t bytes, std::uint32_t width,
                           std::uint32_t height, void* out, std::size_t stride, TBlockPixelOrder order = poRGBA);

}  // namespace vumo
