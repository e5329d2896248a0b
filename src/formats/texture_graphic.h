// What the GPU texture readers (DDS, KTX, KTX2, ASTC, PKM) share: the load, how a texture's
// pixels are stored, the decoding of one surface into the bitmap or a float plane, and the
// file's images (array layers, cube faces, mip levels, volume slices) with their captions and
// a cube map's cross.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/reader_graphic.h"
#include "pixels/bc_decoders.h"

namespace vumo {

class TByteSource;

class TTextureGraphic : public TReaderGraphic {
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
    TBlockKind Blocks;              // blocks: the format and its footprint
    std::uint8_t BitsPerPixel = 0;   // all but blocks
    std::uint32_t Masks[4] = {};     // R, G, B, A
    std::uint8_t Channels = 0;       // Half and Float
    bool Grey = false;               // one channel, shown in all three
    bool Alpha = false;
    bool RedInAlpha = false;         // RXGB: the red of a BC3 normal map moved into alpha
    bool Signed = false;             // masked channels hold two's complement -1..1 (8 or 16 bits)
    bool Normals = false;            // the file says it holds normals
    std::uint8_t SwapBytes = 0;      // 2 or 4: the bytes of each value of that size are big-endian
    std::uint8_t RowAlignment = 1;   // rows of pixels start on multiples of this in the file
    std::string Name;                // for FormatDescription: "BC7 sRGB", "A8R8G8B8"
  };
  // What the header says, checked.
  struct TLayout {
    std::uint32_t Width = 0, Height = 0, Depth = 1;
    std::uint32_t Levels = 1, Layers = 1;
    std::uint8_t FaceMask = 0;  // the cube faces present, +X first; 0 when not a cube map
    TPixelLayout Pixels;
  };
  // One image of the file: where its bytes are and what it is among the others. The images
  // are numbered layer by layer, face by face, level by level, slice by slice.
  struct TSurface {
    std::uint32_t Width = 0, Height = 0;
    std::uint64_t Offset = 0, Bytes = 0;
    std::uint32_t Layer = 0, Face = 0, FaceInFile = 0, Level = 0, Slice = 0, Slices = 1;
  };

  // Every container loads the same way: its header (ReadImageProperties), then the requested
  // image.
  void LoadFromStream(TStream& Stream) override;

  const TLayout& Layout() const { return layout_; }

  static TPixelLayout BlockLayout(TBlockKind blocks, const char* name, bool alpha);
  static TPixelLayout MaskLayout(std::uint8_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                                 std::uint32_t a, const char* name);
  static TPixelLayout FloatLayout(TPixelKind kind, std::uint8_t channels, const char* name);
  // Where a layout keeps a normal map's X and Y in the decoded bitmap: the two channels of
  // BC5, EAC RG11, R8G8 and R16G16 (and grey with alpha), alpha and green of a BC3 file that
  // says it holds normals (DXT5nm), red and green of any other 8-bit layout that says so.
  // Float layouts are drawn through an exposure and are not offered.
  static TNormalLayout NormalLayoutOf(const TPixelLayout& pixels);

 protected:
  TLayout layout_;
  std::uint64_t imageCount_ = 0;  // images whose bytes lie whole in the file

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

  // Refuses sides, depth or layers past the limits and keeps no more levels than halving the
  // largest side down to 1 gives; then takes the layout as the reader's.
  void SetLayout(TLayout layout);
  // The bytes every file of the container begins with: a file that starts with them but ends
  // inside its header is a short read, not a foreign format.
  virtual std::span<const std::uint8_t> Identifier() const = 0;
  // Where the surface's bytes lie from BasePosition (or in its level's inflated bytes); false
  // when they do not lie whole within `available`.
  virtual bool PlaceSurface(TSurface& surface, std::uint64_t available) const = 0;
  // The bytes of a supercompressed level, inflated, with the surface's Offset within them;
  // null for a reader that finds its surfaces in the file itself.
  virtual const std::vector<std::uint8_t>* InflatedLevel(TStream&, std::uint32_t) { return nullptr; }
  // The image at `index`; false when it is not there.
  bool FindSurface(std::uint64_t index, std::uint64_t available, TSurface& surface) const;
  // The images from the first on that lie whole in the file, for files whose levels are not
  // stored in the order the images are numbered.
  std::uint64_t CountWholeImages(std::uint64_t available) const;
  // The image properties of image `index` (the first when the file lacks it).
  void FillImageProperties(unsigned index);

 private:
  // The load once the header is read: the requested image, or the cube map's cross after the
  // other images, into the bitmap or a float plane.
  void LoadTexture(TStream& Stream);

  bool bc1Transparent_ = false;  // a BC1 block of the image uses its transparent black
  std::vector<std::uint8_t> swapped_;

  std::string Caption(const TSurface& surface) const;
  // One row's bytes from the source, padding skipped, in little-endian order.
  const std::uint8_t* TakeRow(TByteSource& source, std::size_t rowBytes);
  // Hands each row of blocks of the surface to decode(blocks, bytes, first pixel row, pixel rows).
  template <typename Decode>
  void ForEachBlockRow(TByteSource& source, const TSurface& surface, Decode decode);
  // One image's pixels into rows `stride` pixels' bytes or floats apart.
  void DecodeBytes(TByteSource& source, const TSurface& surface, std::uint8_t* pixels, std::size_t stride);
  void DecodeFloats(TByteSource& source, const TSurface& surface, float* pixels, std::size_t stride);
};

// The base of a texture container's reader: TTextureReader<TKTXGraphic, "TKTXGraphic", &gesKTX>.
template <class Reader, TClassName Name, const char* const* Format>
using TTextureReader = TReader<Reader, Name, Format, TTextureGraphic>;

}  // namespace vumo
