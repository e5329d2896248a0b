// DirectDraw surfaces (.dds): GPU textures, block-compressed or not, with their mip levels,
// array layers, cube faces and volume slices as the file's images.
#pragma once

#include <cstdint>
#include <string>

#include "formats/reader_graphic.h"
#include "pixels/bc_decoders.h"

namespace vumo {

class TDDSGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TDDSGraphic)

 public:
  // How a surface's pixels are stored.
  enum class TPixelKind : std::uint8_t {
    Blocks,     // a block-compression format
    Masks,      // up to 32 bits a pixel, each channel a run of bits
    RGBA16,     // four 16-bit unsigned normalised channels
    Half,       // 1 to 4 half floats: R, G, B, A
    Float,      // 1 to 4 floats
    R11G11B10,  // three small floats in 32 bits
    RGB9E5,     // three mantissas and a shared exponent
  };
  struct TPixelLayout {
    TPixelKind Kind = TPixelKind::Masks;
    TBlockFormat Blocks = TBlockFormat::BC1;
    std::uint8_t BitsPerPixel = 0;   // all but blocks
    std::uint32_t Masks[4] = {};     // R, G, B, A
    std::uint8_t Channels = 0;       // Half and Float
    bool Grey = false;               // one channel, shown in all three
    bool Alpha = false;
    bool RedInAlpha = false;         // RXGB: the red of a BC3 normal map moved into alpha
    std::string Name;                // for FormatDescription: "BC7 sRGB", "A8R8G8B8"
  };
  // What the header says, checked.
  struct TLayout {
    std::uint32_t Width = 0, Height = 0, Depth = 1;
    std::uint32_t Levels = 1, Layers = 1;
    std::uint8_t FaceMask = 0;  // the cube faces present, +X first; 0 when not a cube map
    std::uint32_t DataOffset = 0;
    TPixelLayout Pixels;
  };
  // One image of the file: where its bytes are and what it is among the others.
  struct TSurface {
    std::uint32_t Width = 0, Height = 0;
    std::uint64_t Offset = 0, Bytes = 0;
    std::uint32_t Layer = 0, Face = 0, Level = 0, Slice = 0, Slices = 1;
  };

  const TLayout& Layout() const { return layout_; }

 protected:
  const char* FormatName() const override;

 private:
  TLayout layout_;
  std::uint64_t imageCount_ = 0;  // images whose bytes lie whole in the file
  bool bc1Transparent_ = false;   // a BC1 block of the image uses its transparent black

  TPixelLayout LegacyPixels(const std::uint8_t* header) const;
  TPixelLayout DXGIPixels(std::uint32_t format) const;
  // One level's side, slices and bytes a slice; one layer's images and bytes, all faces.
  struct TLevelSize {
    std::uint32_t Width = 0, Height = 0, Slices = 1;
    std::uint64_t Bytes = 0;
  };
  struct TLayerSize {
    unsigned Faces = 1;
    std::uint64_t Images = 0, Bytes = 0;
  };
  TLevelSize LevelSize(std::uint32_t level) const;
  TLayerSize LayerSize() const;
  bool FindSurface(std::uint64_t index, std::uint64_t available, TSurface& surface) const;
  std::string Caption(const TSurface& surface) const;
  // One image's pixels into rows `stride` pixels' bytes or floats apart.
  void DecodeBytes(class TByteSource& source, const TSurface& surface, std::uint8_t* pixels, std::size_t stride);
  void DecodeFloats(class TByteSource& source, const TSurface& surface, float* pixels, std::size_t stride);
};

}  // namespace vumo
