// The GPU block-compression formats BC1 to BC7: each 4 x 4 block of a texture as 8 or 16
// bytes, decoded to 8-bit RGBA (BC6H to float RGBA, being high dynamic range).
#pragma once

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
};

// Where the four 8-bit channels go in each output pixel: R, G, B, A in memory, or B, G, R, A
// as the 32-bit bitmap keeps them. BC6H always writes R, G, B, A floats.
enum TBlockPixelOrder : std::uint8_t { poRGBA, poBGRA };

// Bytes of one block: 8 for BC1 and BC4, 16 for the others.
std::size_t BlockBytes(TBlockFormat format);
// True for BC6H, whose pixels are four floats instead of four bytes.
bool BlockFormatIsFloat(TBlockFormat format);
// Bytes of the blocks of a surface: whole blocks cover the edges. Nothing on overflow.
std::optional<std::size_t> BlockSurfaceBytes(TBlockFormat format, std::uint32_t width, std::uint32_t height);

// Decodes one block into a 4 x 4 tile at `out` whose rows are `stride` bytes apart; each pixel
// is 4 bytes, or for BC6H 16 bytes (four floats, alpha 1). Reserved block encodings decode to
// transparent black (BC7) or opaque black (BC6H), as the format's definition asks.
void DecodeBlock(TBlockFormat format, const std::uint8_t* block, void* out, std::size_t stride,
                 TBlockPixelOrder order = poRGBA);

// Decodes the blocks of a `width` x `height` surface, stored row of blocks after row of blocks,
// into pixels whose rows are `stride` bytes apart. Blocks at the right and bottom edges are cut
// to the surface. Returns the number of pixel rows written whole: fewer than `height` when
// `bytes` ends before the last block row, whose rows are then left as they were.
std::uint32_t DecodeBlocks(TBlockFormat format, const std::uint8_t* blocks, std::size_t bytes, std::uint32_t width,
                           std::uint32_t height, void* out, std::size_t stride, TBlockPixelOrder order = poRGBA);

}  // namespace vumo
