#include "formats/dds.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

using TPixelKind = TDDSGraphic::TPixelKind;
using TPixelLayout = TDDSGraphic::TPixelLayout;
constexpr auto BlockLayout = &TTextureGraphic::BlockLayout;
constexpr auto MaskLayout = &TTextureGraphic::MaskLayout;
constexpr auto FloatLayout = &TTextureGraphic::FloatLayout;

constexpr std::size_t kHeaderSize = 128;  // "DDS " and the 124-byte header
constexpr std::size_t kDX10Size = 20;

constexpr std::uint32_t FourCC(const char (&code)[5]) {
  return static_cast<std::uint32_t>(code[0]) | static_cast<std::uint32_t>(code[1]) << 8 |
         static_cast<std::uint32_t>(code[2]) << 16 | static_cast<std::uint32_t>(code[3]) << 24;
}
constexpr std::uint8_t kIdentifier[4] = {'D', 'D', 'S', ' '};

// Header flags, pixel format flags and capabilities.
constexpr std::uint32_t kFlagDepth = 0x800000;
constexpr std::uint32_t kPixelAlphaPixels = 0x1, kPixelAlpha = 0x2, kPixelFourCC = 0x4, kPixelRGB = 0x40,
                        kPixelLuminance = 0x20000;
// NVIDIA's tools mark normal maps with this pixel format flag, in DX10 files as well.
constexpr std::uint32_t kPixelNormal = 0x80000000;
constexpr std::uint32_t kCapsCubeMap = 0x200, kCapsVolume = 0x200000;
constexpr std::uint32_t kCubeFaceFlags = 0xFC00;  // +X, -X, +Y, -Y, +Z, -Z from bit 10 up
constexpr std::uint32_t kMiscTextureCube = 0x4;
constexpr std::uint32_t kDimensionTexture1D = 2, kDimensionTexture3D = 4;
constexpr std::uint32_t kAlphaModeOpaque = 3;

// "A8R8G8B8", "R5G6B5", "L8": the channels from the highest bits down, as D3D names them.
std::string MaskName(const std::uint32_t (&masks)[4], unsigned bits, bool luminance) {
  struct Part {
    int Shift, Bits;
    char Letter;
  };
  std::vector<Part> parts;
  const char letters[4] = {luminance ? 'L' : 'R', 'G', 'B', 'A'};
  std::uint32_t used = 0;
  for (int c = 0; c < 4; ++c) {
    if (!masks[c]) continue;
    parts.push_back({std::countr_zero(masks[c]), std::popcount(masks[c]), letters[c]});
    used |= masks[c];
  }
  // Bits no channel uses, above the others, are the X of X8R8G8B8.
  const int top = std::bit_width(used);
  if (top < static_cast<int>(bits)) parts.push_back({top, static_cast<int>(bits) - top, 'X'});
  std::sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) { return a.Shift > b.Shift; });
  std::string name;
  for (const Part& p : parts) name += p.Letter + std::to_string(p.Bits);
  return name;
}

// Two signed channels, red and green.
TPixelLayout SignedLayout(std::uint8_t bits, std::uint32_t r, std::uint32_t g, const char* name) {
  TPixelLayout p = MaskLayout(bits, r, g, 0, 0, name);
  p.Signed = true;
  return p;
}

struct TDXGIRow {
  std::uint32_t Format;
  TPixelLayout (*Make)();
};

// The DXGI formats read, with their published numbers; the typeless block formats are read
// as their UNORM twins, as texture tools write them for either.
const TDXGIRow kDXGIFormats[] = {
    {2, [] { return FloatLayout(TPixelKind::Float, 4, "RGBA 32-bit float"); }},
    {6, [] { return FloatLayout(TPixelKind::Float, 3, "RGB 32-bit float"); }},
    {10, [] { return FloatLayout(TPixelKind::Half, 4, "RGBA 16-bit float"); }},
    {11, [] { return FloatLayout(TPixelKind::RGBA16, 4, "RGBA 16-bit"); }},
    {16, [] { return FloatLayout(TPixelKind::Float, 2, "RG 32-bit float"); }},
    {24, [] { return MaskLayout(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, "R10G10B10A2"); }},
    {26, [] { return FloatLayout(TPixelKind::R11G11B10, 3, "R11G11B10 float"); }},
    {27, [] { return MaskLayout(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, "R8G8B8A8"); }},
    {28, [] { return MaskLayout(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, "R8G8B8A8"); }},
    {29, [] { return MaskLayout(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, "R8G8B8A8 sRGB"); }},
    {34, [] { return FloatLayout(TPixelKind::Half, 2, "RG 16-bit float"); }},
    {35, [] { return MaskLayout(32, 0xFFFF, 0xFFFF0000, 0, 0, "R16G16"); }},
    {37, [] { return SignedLayout(32, 0xFFFF, 0xFFFF0000, "R16G16 signed"); }},
    {40, [] { return FloatLayout(TPixelKind::Float, 1, "D32 float"); }},
    {41, [] { return FloatLayout(TPixelKind::Float, 1, "R 32-bit float"); }},
    {49, [] { return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "R8G8"); }},
    {51, [] { return SignedLayout(16, 0xFF, 0xFF00, "R8G8 signed"); }},
    {54, [] { return FloatLayout(TPixelKind::Half, 1, "R 16-bit float"); }},
    {56, [] { return MaskLayout(16, 0xFFFF, 0, 0, 0, "R16"); }},
    {61, [] { return MaskLayout(8, 0xFF, 0, 0, 0, "R8"); }},
    {65, [] { return MaskLayout(8, 0, 0, 0, 0xFF, "A8"); }},
    {67, [] { return FloatLayout(TPixelKind::RGB9E5, 3, "R9G9B9E5 float"); }},
    {70, [] { return BlockLayout(TBlockFormat::BC1, "BC1", true); }},
    {71, [] { return BlockLayout(TBlockFormat::BC1, "BC1", true); }},
    {72, [] { return BlockLayout(TBlockFormat::BC1, "BC1 sRGB", true); }},
    {73, [] { return BlockLayout(TBlockFormat::BC2, "BC2", true); }},
    {74, [] { return BlockLayout(TBlockFormat::BC2, "BC2", true); }},
    {75, [] { return BlockLayout(TBlockFormat::BC2, "BC2 sRGB", true); }},
    {76, [] { return BlockLayout(TBlockFormat::BC3, "BC3", true); }},
    {77, [] { return BlockLayout(TBlockFormat::BC3, "BC3", true); }},
    {78, [] { return BlockLayout(TBlockFormat::BC3, "BC3 sRGB", true); }},
    {79, [] { return BlockLayout(TBlockFormat::BC4U, "BC4", false); }},
    {80, [] { return BlockLayout(TBlockFormat::BC4U, "BC4", false); }},
    {81, [] { return BlockLayout(TBlockFormat::BC4S, "BC4 signed", false); }},
    {82, [] { return BlockLayout(TBlockFormat::BC5U, "BC5", false); }},
    {83, [] { return BlockLayout(TBlockFormat::BC5U, "BC5", false); }},
    {84, [] { return BlockLayout(TBlockFormat::BC5S, "BC5 signed", false); }},
    {85, [] { return MaskLayout(16, 0xF800, 0x7E0, 0x1F, 0, "B5G6R5"); }},
    {86, [] { return MaskLayout(16, 0x7C00, 0x3E0, 0x1F, 0x8000, "B5G5R5A1"); }},
    {87, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "B8G8R8A8"); }},
    {88, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0, "B8G8R8X8"); }},
    {90, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "B8G8R8A8"); }},
    {91, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "B8G8R8A8 sRGB"); }},
    {92, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0, "B8G8R8X8"); }},
    {93, [] { return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0, "B8G8R8X8 sRGB"); }},
    {94, [] { return BlockLayout(TBlockFormat::BC6HU, "BC6H unsigned float", false); }},
    {95, [] { return BlockLayout(TBlockFormat::BC6HU, "BC6H unsigned float", false); }},
    {96, [] { return BlockLayout(TBlockFormat::BC6HS, "BC6H signed float", false); }},
    {97, [] { return BlockLayout(TBlockFormat::BC7, "BC7", true); }},
    {98, [] { return BlockLayout(TBlockFormat::BC7, "BC7", true); }},
    {99, [] { return BlockLayout(TBlockFormat::BC7, "BC7 sRGB", true); }},
    {115, [] { return MaskLayout(16, 0xF00, 0xF0, 0xF, 0xF000, "B4G4R4A4"); }},
};

}  // namespace

bool TDDSGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) {
    return LittleEndian32(header) == FourCC("DDS ") && LittleEndian32(header + 4) == 124;
  });
}

TPixelLayout TDDSGraphic::DXGIPixels(std::uint32_t format) const {
  for (const TDXGIRow& row : kDXGIFormats)
    if (row.Format == format) return row.Make();
  RaiseUnsupported(FormatMessage(gesDDSDXGI, std::to_string(format).c_str()).c_str());
}

TPixelLayout TDDSGraphic::LegacyPixels(const std::uint8_t* header) const {
  const std::uint32_t flags = LittleEndian32(header + 80), fourCC = LittleEndian32(header + 84);
  // Some exporters fill in the FourCC and forget its flag.
  if (flags & kPixelFourCC || (fourCC != 0 && (flags & ~(kPixelAlphaPixels | kPixelNormal)) == 0)) {
    switch (fourCC) {
      case FourCC("DXT1"): return BlockLayout(TBlockFormat::BC1, "BC1", true);
      case FourCC("DXT2"): return BlockLayout(TBlockFormat::BC2, "BC2 premultiplied", true);
      case FourCC("DXT3"): return BlockLayout(TBlockFormat::BC2, "BC2", true);
      case FourCC("DXT4"): return BlockLayout(TBlockFormat::BC3, "BC3 premultiplied", true);
      case FourCC("DXT5"): return BlockLayout(TBlockFormat::BC3, "BC3", true);
      case FourCC("ATI1"):
      case FourCC("BC4U"): return BlockLayout(TBlockFormat::BC4U, "BC4", false);
      case FourCC("BC4S"): return BlockLayout(TBlockFormat::BC4S, "BC4 signed", false);
      case FourCC("ATI2"):
      case FourCC("BC5U"): return BlockLayout(TBlockFormat::BC5U, "BC5", false);
      case FourCC("BC5S"): return BlockLayout(TBlockFormat::BC5S, "BC5 signed", false);
      case FourCC("RXGB"): {
        TPixelLayout p = BlockLayout(TBlockFormat::BC3, "BC3 RXGB", false);
        p.RedInAlpha = true;
        return p;
      }
      // The D3DFMT numbers writers put where a FourCC goes.
      case 36: return FloatLayout(TPixelKind::RGBA16, 4, "A16B16G16R16");
      case 60: return SignedLayout(16, 0xFF, 0xFF00, "V8U8");
      case 64: return SignedLayout(32, 0xFFFF, 0xFFFF0000, "V16U16");
      case 111: return FloatLayout(TPixelKind::Half, 1, "R16F");
      case 112: return FloatLayout(TPixelKind::Half, 2, "G16R16F");
      case 113: return FloatLayout(TPixelKind::Half, 4, "A16B16G16R16F");
      case 114: return FloatLayout(TPixelKind::Float, 1, "R32F");
      case 115: return FloatLayout(TPixelKind::Float, 2, "G32R32F");
      case 116: return FloatLayout(TPixelKind::Float, 4, "A32B32G32R32F");
      default: break;
    }
    std::string code;
    for (int i = 0; i < 4; ++i) {
      const char c = static_cast<char>(fourCC >> (8 * i));
      code += c >= 32 && c < 127 ? c : '?';
    }
    RaiseUnsupported(FormatMessage(gesDDSFourCC, code.c_str()).c_str());
  }
  if (!(flags & (kPixelRGB | kPixelLuminance | kPixelAlpha))) RaiseInvalidColorFormat();
  const std::uint32_t bits = LittleEndian32(header + 88);
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) RaiseInvalidColorFormat();
  std::uint32_t masks[4] = {LittleEndian32(header + 92), LittleEndian32(header + 96), LittleEndian32(header + 100),
                            LittleEndian32(header + 104)};
  // An alpha mask counts only with its flag: some writers leave one behind in X8R8G8B8 files.
  if (!(flags & (kPixelAlphaPixels | kPixelAlpha))) masks[3] = 0;
  if (flags & kPixelAlpha && !(flags & (kPixelRGB | kPixelLuminance))) masks[0] = masks[1] = masks[2] = 0;
  if (flags & kPixelLuminance) masks[1] = masks[2] = 0;
  bool any = false;
  for (std::uint32_t& m : masks) {
    if (bits < 32) m &= (1u << bits) - 1;
    // Each channel is one run of bits.
    if (m && !std::has_single_bit((m >> std::countr_zero(m)) + 1ull)) RaiseInvalidColorFormat();
    any |= m != 0;
  }
  if (!any) RaiseInvalidColorFormat();
  return MaskLayout(static_cast<std::uint8_t>(bits), masks[0], masks[1], masks[2], masks[3],
                    MaskName(masks, bits, (flags & kPixelLuminance) != 0).c_str());
}

bool TDDSGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t start = Stream.Position();
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h || LittleEndian32(h) != FourCC("DDS ") || LittleEndian32(h + 4) != 124) return false;

  TLayout layout;
  const std::uint32_t flags = LittleEndian32(h + 8), caps2 = LittleEndian32(h + 112);
  layout.Height = LittleEndian32(h + 12);
  layout.Width = LittleEndian32(h + 16);
  const std::uint32_t depth = LittleEndian32(h + 24);
  // The mip count is read whether or not its flag is set: writers forget the flag.
  layout.Levels = std::max<std::uint32_t>(LittleEndian32(h + 28), 1);
  std::uint32_t dataOffset = kHeaderSize;
  bool volume = ((caps2 & kCapsVolume) || (flags & kFlagDepth)) && depth > 1;

  const bool dx10 = LittleEndian32(h + 84) == FourCC("DX10");
  if (dx10) {
    std::uint8_t ext[kDX10Size];
    if (Stream.Read(ext, kDX10Size) != kDX10Size) RaiseReadError();
    dataOffset += kDX10Size;
    layout.Pixels = DXGIPixels(LittleEndian32(ext));
    const std::uint32_t dimension = LittleEndian32(ext + 4), misc = LittleEndian32(ext + 8);
    // Writers put 0 for a texture that is not an array.
    layout.Layers = std::max<std::uint32_t>(LittleEndian32(ext + 12), 1);
    volume = dimension == kDimensionTexture3D && depth > 1;
    if (dimension == kDimensionTexture1D) layout.Height = std::max<std::uint32_t>(layout.Height, 1);
    if (misc & kMiscTextureCube) layout.FaceMask = 0x3F;
    // The alpha mode of newer writers: alpha that is there but says nothing is not shown.
    if ((LittleEndian32(ext + 16) & 7) == kAlphaModeOpaque) layout.Pixels.Alpha = false;
  } else {
    layout.Pixels = LegacyPixels(h);
    if (caps2 & kCapsCubeMap) {
      layout.FaceMask = static_cast<std::uint8_t>((caps2 & kCubeFaceFlags) >> 10);
      // A cube map flag without its faces' flags: all six, as old exporters meant.
      if (layout.FaceMask == 0) layout.FaceMask = 0x3F;
    }
  }
  layout.Pixels.Normals = (LittleEndian32(h + 80) & kPixelNormal) != 0;
  if (layout.FaceMask) volume = false;
  layout.Depth = volume ? depth : 1;
  Stream.SetPosition(start + static_cast<std::int64_t>(dataOffset));
  dataOffset_ = dataOffset;
  SetLayout(std::move(layout));

  // The images whose bytes lie whole in the file are the ones it holds.
  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0));
  const TLayerSize layer = LayerSize();
  const std::uint64_t data = available > dataOffset_ ? available - dataOffset_ : 0;
  const std::uint64_t wholeLayers = std::min<std::uint64_t>(layout_.Layers, data / layer.Bytes);
  imageCount_ = wholeLayers * layer.Images;
  if (wholeLayers < layout_.Layers) {
    // The images of the last layer the file begins, one level at a time.
    std::uint64_t left = data - wholeLayers * layer.Bytes;
    for (unsigned f = 0; f < layer.Faces && left; ++f)
      for (std::uint32_t level = 0; level < layout_.Levels && left; ++level) {
        const TLevelSize size = LevelSize(level);
        const std::uint64_t fit = std::min<std::uint64_t>(size.Slices, left / size.Bytes);
        imageCount_ += fit;
        left = fit < size.Slices ? 0 : left - fit * size.Bytes;
      }
  }

  FillImageProperties(ImageIndex);
  return true;
}

bool TDDSGraphic::PlaceSurface(TSurface& surface, std::uint64_t available) const {
  // The file's order is the images' own: layers, faces, levels, slices.
  const TLayerSize layer = LayerSize();
  std::uint64_t offset;
  if (__builtin_mul_overflow(std::uint64_t{surface.Layer}, layer.Bytes, &offset)) return false;
  offset += dataOffset_ + surface.FaceInFile * (layer.Bytes / layer.Faces);
  for (std::uint32_t level = 0; level < surface.Level; ++level) {
    const TLevelSize size = LevelSize(level);
    offset += size.Slices * size.Bytes;
  }
  surface.Offset = offset + surface.Slice * surface.Bytes;
  return surface.Offset + surface.Bytes <= available;
}

std::span<const std::uint8_t> TDDSGraphic::Identifier() const { return kIdentifier; }

}  // namespace vumo
