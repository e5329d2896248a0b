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

constexpr std::size_t kHeaderSize = 128;  // "DDS " and the 124-byte header
constexpr std::size_t kDX10Size = 20;

constexpr std::uint32_t FourCC(const char (&code)[5]) {
  return static_cast<std::uint32_t>(code[0]) | static_cast<std::uint32_t>(code[1]) << 8 |
         static_cast<std::uint32_t>(code[2]) << 16 | static_cast<std::uint32_t>(code[3]) << 24;
}

// Header flags, pixel format flags and capabilities.
constexpr std::uint32_t kFlagDepth = 0x800000;
constexpr std::uint32_t kPixelAlphaPixels = 0x1, kPixelAlpha = 0x2, kPixelFourCC = 0x4, kPixelRGB = 0x40,
                        kPixelLuminance = 0x20000;
constexpr std::uint32_t kCapsCubeMap = 0x200, kCapsVolume = 0x200000;
constexpr std::uint32_t kCubeFaceFlags = 0xFC00;  // +X, -X, +Y, -Y, +Z, -Z from bit 10 up
constexpr std::uint32_t kMiscTextureCube = 0x4;
constexpr std::uint32_t kDimensionTexture1D = 2, kDimensionTexture3D = 4;
constexpr std::uint32_t kAlphaModeOpaque = 3;

// More layers than this is a broken header, not a texture.
constexpr std::uint32_t kMaxLayers = 1u << 16;

const char* const kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};

TPixelLayout BlockLayout(TBlockFormat format, const char* name, bool alpha) {
  TPixelLayout p;
  p.Kind = TPixelKind::Blocks;
  p.Blocks = format;
  p.Alpha = alpha;
  p.Name = name;
  return p;
}

TPixelLayout MaskLayout(std::uint8_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a,
                        const char* name) {
  TPixelLayout p;
  p.Kind = TPixelKind::Masks;
  p.BitsPerPixel = bits;
  p.Masks[0] = r;
  p.Masks[1] = g;
  p.Masks[2] = b;
  p.Masks[3] = a;
  p.Grey = r && !g && !b;
  p.Alpha = a != 0;
  p.Name = name;
  return p;
}

TPixelLayout FloatLayout(TPixelKind kind, std::uint8_t channels, const char* name) {
  TPixelLayout p;
  p.Kind = kind;
  p.Channels = channels;
  p.BitsPerPixel = static_cast<std::uint8_t>(kind == TPixelKind::Half    ? 16 * channels
                                             : kind == TPixelKind::Float ? 32 * channels
                                             : kind == TPixelKind::RGBA16 ? 64
                                                                          : 32);
  p.Grey = channels == 1;
  p.Alpha = channels == 4;
  p.Name = name;
  return p;
}

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
    {40, [] { return FloatLayout(TPixelKind::Float, 1, "D32 float"); }},
    {41, [] { return FloatLayout(TPixelKind::Float, 1, "R 32-bit float"); }},
    {49, [] { return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "R8G8"); }},
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

// ---------------------------------------------------------------------------------------------
// Pixels to the bitmap

// One channel of a masked pixel to 8 bits, through a table of its values.
struct TMaskChannel {
  unsigned Shift = 0;
  std::uint32_t Mask = 0;  // after the shift
  std::vector<std::uint8_t> Values;

  explicit TMaskChannel(std::uint32_t mask) {
    if (!mask) return;
    Shift = static_cast<unsigned>(std::countr_zero(mask));
    // Channels wider than 16 bits are read by their top 16.
    const unsigned bits = static_cast<unsigned>(std::popcount(mask));
    if (bits > 16) Shift += bits - 16;
    Mask = (mask >> Shift) & 0xFFFF;
    const std::uint32_t max = Mask;
    Values.resize(std::size_t{max} + 1);
    for (std::uint32_t v = 0; v <= max; ++v) Values[v] = static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
  std::uint8_t operator()(std::uint32_t pixel, std::uint8_t absent) const {
    return Mask ? Values[(pixel >> Shift) & Mask] : absent;
  }
};

void MaskRowToBGRA(const TPixelLayout& p, const std::uint8_t* source, std::uint8_t* out, std::uint32_t width,
                   const TMaskChannel (&channels)[4]) {
  const unsigned bytes = p.BitsPerPixel / 8;
  for (std::uint32_t x = 0; x < width; ++x, source += bytes, out += 4) {
    std::uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(source[i]) << (8 * i);
    const std::uint8_t r = channels[0](v, 0);
    out[0] = p.Grey ? r : channels[2](v, 0);
    out[1] = p.Grey ? r : channels[1](v, 0);
    out[2] = r;
    out[3] = channels[3](v, 255);
  }
}

// Whether any BC1 block uses its transparent black: most BC1 textures are opaque, and are
// shown (and converted) without an alpha channel.
bool BC1BlocksTransparent(const std::uint8_t* blocks, std::size_t bytes) {
  for (std::size_t at = 0; at + 8 <= bytes; at += 8) {
    const std::uint8_t* b = blocks + at;
    if (LittleEndian16(b) > LittleEndian16(b + 2)) continue;
    const std::uint32_t indices = LittleEndian32(b + 4);
    if (indices & (indices >> 1) & 0x55555555u) return true;  // an index of 3
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Pixels to floats

float SmallFloat(std::uint32_t v, unsigned mantissaBits) {
  const std::uint32_t e = v >> mantissaBits, m = v & ((1u << mantissaBits) - 1);
  const float scale = static_cast<float>(1u << mantissaBits);
  if (e == 0) return std::ldexp(static_cast<float>(m) / scale, -14);
  // An infinity or NaN, which no texture should hold, is shown as the largest value instead.
  if (e == 31) return 65024.0f;
  return std::ldexp(1.0f + static_cast<float>(m) / scale, static_cast<int>(e) - 15);
}

void FloatRow(const TPixelLayout& p, const std::uint8_t* source, float* out, std::uint32_t width) {
  for (std::uint32_t x = 0; x < width; ++x, out += 4) {
    float v[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    switch (p.Kind) {
      case TPixelKind::Half:
        for (unsigned c = 0; c < p.Channels; ++c, source += 2) v[c] = HalfToFloat(LittleEndian16(source));
        break;
      case TPixelKind::Float:
        for (unsigned c = 0; c < p.Channels; ++c, source += 4) {
          const std::uint32_t bits = LittleEndian32(source);
          std::memcpy(&v[c], &bits, 4);
        }
        break;
      case TPixelKind::R11G11B10: {
        const std::uint32_t bits = LittleEndian32(source);
        source += 4;
        v[0] = SmallFloat(bits & 0x7FF, 6);
        v[1] = SmallFloat((bits >> 11) & 0x7FF, 6);
        v[2] = SmallFloat(bits >> 22, 5);
        break;
      }
      case TPixelKind::RGB9E5: {
        const std::uint32_t bits = LittleEndian32(source);
        source += 4;
        const int exponent = static_cast<int>(bits >> 27) - 15 - 9;
        for (unsigned c = 0; c < 3; ++c) v[c] = std::ldexp(static_cast<float>((bits >> (9 * c)) & 0x1FF), exponent);
        break;
      }
      default:
        break;
    }
    if (p.Grey) v[1] = v[2] = v[0];
    std::memcpy(out, v, sizeof v);
  }
}

}  // namespace

VUMO_DEFINE_GRAPHIC_CLASS(TDDSGraphic, TReaderGraphic::ClassInfo())

bool TDDSGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) {
    return LittleEndian32(header) == FourCC("DDS ") && LittleEndian32(header + 4) == 124;
  });
}

const char* TDDSGraphic::FormatName() const { return gesDDS; }

TPixelLayout TDDSGraphic::DXGIPixels(std::uint32_t format) const {
  for (const TDXGIRow& row : kDXGIFormats)
    if (row.Format == format) return row.Make();
  RaiseUnsupported(FormatMessage(gesDDSDXGI, std::to_string(format).c_str()).c_str());
}

TPixelLayout TDDSGraphic::LegacyPixels(const std::uint8_t* header) const {
  const std::uint32_t flags = LittleEndian32(header + 80), fourCC = LittleEndian32(header + 84);
  // Some exporters fill in the FourCC and forget its flag.
  if (flags & kPixelFourCC || (fourCC != 0 && (flags & ~kPixelAlphaPixels) == 0)) {
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

TDDSGraphic::TLevelSize TDDSGraphic::LevelSize(std::uint32_t level) const {
  TLevelSize size;
  size.Width = std::max<std::uint32_t>(layout_.Width >> level, 1);
  size.Height = std::max<std::uint32_t>(layout_.Height >> level, 1);
  size.Slices = std::max<std::uint32_t>(layout_.Depth >> level, 1);
  // Sides are at most kMaxImageSide, so none of these can overflow 64 bits.
  const TPixelLayout& p = layout_.Pixels;
  size.Bytes = p.Kind == TPixelKind::Blocks
                   ? (std::uint64_t{size.Width} + 3) / 4 * ((std::uint64_t{size.Height} + 3) / 4) * BlockBytes(p.Blocks)
                   : (std::uint64_t{size.Width} * p.BitsPerPixel + 7) / 8 * size.Height;
  return size;
}

TDDSGraphic::TLayerSize TDDSGraphic::LayerSize() const {
  TLayerSize layer;
  layer.Faces = layout_.FaceMask ? static_cast<unsigned>(std::popcount(layout_.FaceMask)) : 1;
  for (std::uint32_t level = 0; level < layout_.Levels; ++level) {
    const TLevelSize size = LevelSize(level);
    layer.Images += std::uint64_t{layer.Faces} * size.Slices;
    layer.Bytes += layer.Faces * size.Slices * size.Bytes;
  }
  return layer;
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
  layout.DataOffset = kHeaderSize;
  bool volume = ((caps2 & kCapsVolume) || (flags & kFlagDepth)) && depth > 1;

  const bool dx10 = LittleEndian32(h + 84) == FourCC("DX10");
  if (dx10) {
    std::uint8_t ext[kDX10Size];
    if (Stream.Read(ext, kDX10Size) != kDX10Size) RaiseReadError();
    layout.DataOffset += kDX10Size;
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
  if (layout.FaceMask) volume = false;
  layout.Depth = volume ? depth : 1;
  Stream.SetPosition(start + static_cast<std::int64_t>(layout.DataOffset));

  if (layout.Width == 0 || layout.Height == 0 || layout.Width > kMaxImageSide || layout.Height > kMaxImageSide ||
      layout.Depth > kMaxImageSide || layout.Layers > kMaxLayers)
    RaiseInvalidImage();
  // No more levels than halving the largest side down to 1 gives.
  const std::uint32_t chain =
      static_cast<std::uint32_t>(std::bit_width(std::max({layout.Width, layout.Height, layout.Depth})));
  layout.Levels = std::min(layout.Levels, chain);
  layout_ = std::move(layout);

  // The images whose bytes lie whole in the file are the ones it holds.
  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0));
  const TLayerSize layer = LayerSize();
  const std::uint64_t data = available > layout_.DataOffset ? available - layout_.DataOffset : 0;
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

  TSurface surface;
  FindSurface(ImageIndex < imageCount_ ? ImageIndex : 0, ~std::uint64_t{0}, surface);
  TImageProperties& p = ImageProperties;
  p.Width = surface.Width;
  p.Height = surface.Height;
  p.HasAlpha = layout_.Pixels.Alpha;
  p.ColorScheme = layout_.Pixels.Grey ? (p.HasAlpha ? csGrayAlpha : csGray) : p.HasAlpha ? csRGBA : csRGB;
  // A block of 8 bytes is 4 bits a pixel, one of 16 is 8.
  p.BitsPerPixel = layout_.Pixels.Kind == TPixelKind::Blocks
                       ? static_cast<std::uint8_t>(BlockBytes(layout_.Pixels.Blocks) / 2)
                       : layout_.Pixels.BitsPerPixel;
  p.Compression = layout_.Pixels.Kind == TPixelKind::Blocks ? ctUnknown : ctNone;
  p.ImageCount = static_cast<std::uint16_t>(std::min<std::uint64_t>(imageCount_, 0xFFFF));
  return true;
}

// Walks the images in the file's order (layers, then faces, then levels, then slices) to the
// one at `index`; false when it is not there.
bool TDDSGraphic::FindSurface(std::uint64_t index, std::uint64_t available, TSurface& surface) const {
  const TLayerSize layer = LayerSize();
  const unsigned faces = layer.Faces;
  const std::uint64_t perLayer = layer.Images, layerBytes = layer.Bytes;
  surface.Layer = static_cast<std::uint32_t>(index / perLayer);
  if (surface.Layer >= layout_.Layers) return false;
  index %= perLayer;
  std::uint64_t offset;
  if (__builtin_mul_overflow(std::uint64_t{surface.Layer}, layerBytes, &offset)) return false;
  offset += layout_.DataOffset;
  const std::uint64_t perFace = perLayer / faces;
  const unsigned faceInFile = static_cast<unsigned>(index / perFace);
  index %= perFace;
  offset += faceInFile * (layerBytes / faces);
  // The face's name: the faceInFile-th face present.
  unsigned face = 0;
  for (unsigned seen = 0; face < 6; ++face)
    if (layout_.FaceMask >> face & 1 && seen++ == faceInFile) break;
  surface.Face = layout_.FaceMask ? face : 0;
  for (std::uint32_t level = 0; level < layout_.Levels; ++level) {
    const TLevelSize size = LevelSize(level);
    if (index < size.Slices) {
      surface.Width = size.Width;
      surface.Height = size.Height;
      surface.Level = level;
      surface.Slice = static_cast<std::uint32_t>(index);
      surface.Slices = size.Slices;
      surface.Offset = offset + index * size.Bytes;
      surface.Bytes = size.Bytes;
      return surface.Offset + size.Bytes <= available;
    }
    index -= size.Slices;
    offset += size.Slices * size.Bytes;
  }
  return false;
}

std::string TDDSGraphic::Caption(const TSurface& s) const {
  std::string caption;
  auto add = [&caption](const std::string& part) { caption += (caption.empty() ? "" : ", ") + part; };
  if (layout_.Layers > 1) add(ImageCaption("layer", s.Layer, layout_.Layers));
  if (layout_.FaceMask) add(std::string("face ") + kFaceNames[s.Face]);
  if (layout_.Levels > 1)
    add(ImageCaption("level", s.Level, layout_.Levels) + " (" + std::to_string(s.Width) + " x " +
        std::to_string(s.Height) + ")");
  if (s.Slices > 1) add(ImageCaption("slice", s.Slice, s.Slices));
  return caption;
}

void TDDSGraphic::DecodeBytes(TByteSource& source, const TSurface& s, std::uint8_t* pixels, std::size_t stride) {
  const TPixelLayout& p = layout_.Pixels;
  if (p.Kind == TPixelKind::Blocks) {
    const std::size_t rowBytes = (std::size_t{s.Width} + 3) / 4 * BlockBytes(p.Blocks);
    for (std::uint32_t y = 0; y < s.Height; y += 4) {
      const std::uint8_t* blocks = source.Take(rowBytes);
      if (!blocks) RaiseReadError();
      if (p.Blocks == TBlockFormat::BC1 && !bc1Transparent_) bc1Transparent_ = BC1BlocksTransparent(blocks, rowBytes);
      const std::uint32_t rows = std::min<std::uint32_t>(4, s.Height - y);
      DecodeBlocks(p.Blocks, blocks, rowBytes, s.Width, rows, pixels + y * stride, stride, poBGRA);
      RowProgress(y, s.Height);
    }
    if (p.RedInAlpha)
      for (std::uint32_t y = 0; y < s.Height; ++y)
        for (std::uint8_t *px = pixels + y * stride, *end = px + 4 * s.Width; px < end; px += 4) {
          px[2] = px[3];
          px[3] = 255;
        }
    return;
  }
  const std::size_t rowBytes = (std::size_t{s.Width} * p.BitsPerPixel + 7) / 8;
  if (p.Kind == TPixelKind::RGBA16) {
    for (std::uint32_t y = 0; y < s.Height; ++y) {
      const std::uint8_t* row = source.Take(rowBytes);
      if (!row) RaiseReadError();
      std::uint8_t* out = pixels + y * stride;
      for (std::uint32_t x = 0; x < s.Width; ++x, row += 8, out += 4) {
        static constexpr int kOrder[4] = {2, 1, 0, 3};  // R, G, B, A to B, G, R, A
        for (int c = 0; c < 4; ++c)
          out[kOrder[c]] = static_cast<std::uint8_t>((LittleEndian16(row + 2 * c) * 255u + 32767) / 65535);
      }
    }
    return;
  }
  const TMaskChannel channels[4] = {TMaskChannel(p.Masks[0]), TMaskChannel(p.Masks[1]), TMaskChannel(p.Masks[2]),
                                    TMaskChannel(p.Masks[3])};
  // The usual A8R8G8B8 layout is the bitmap's own.
  const bool asStored = p.BitsPerPixel == 32 && p.Masks[0] == 0xFF0000 && p.Masks[1] == 0xFF00 && p.Masks[2] == 0xFF;
  for (std::uint32_t y = 0; y < s.Height; ++y) {
    const std::uint8_t* row = source.Take(rowBytes);
    if (!row) RaiseReadError();
    std::uint8_t* out = pixels + y * stride;
    if (asStored) {
      std::memcpy(out, row, rowBytes);
      if (p.Masks[3] != 0xFF000000)
        for (std::uint32_t x = 0; x < s.Width; ++x) out[4 * x + 3] = 255;
    } else {
      MaskRowToBGRA(p, row, out, s.Width, channels);
    }
  }
}

void TDDSGraphic::DecodeFloats(TByteSource& source, const TSurface& s, float* pixels, std::size_t stride) {
  const TPixelLayout& p = layout_.Pixels;
  if (p.Kind == TPixelKind::Blocks) {
    const std::size_t rowBytes = (std::size_t{s.Width} + 3) / 4 * BlockBytes(p.Blocks);
    for (std::uint32_t y = 0; y < s.Height; y += 4) {
      const std::uint8_t* blocks = source.Take(rowBytes);
      if (!blocks) RaiseReadError();
      DecodeBlocks(p.Blocks, blocks, rowBytes, s.Width, std::min<std::uint32_t>(4, s.Height - y), pixels + y * stride,
                   stride * sizeof(float));
      RowProgress(y, s.Height);
    }
  } else {
    const std::size_t rowBytes = (std::size_t{s.Width} * p.BitsPerPixel + 7) / 8;
    for (std::uint32_t y = 0; y < s.Height; ++y) {
      const std::uint8_t* row = source.Take(rowBytes);
      if (!row) RaiseReadError();
      FloatRow(p, row, pixels + y * stride, s.Width);
      RowProgress(y, s.Height);
    }
  }
}

void TDDSGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, RequestedImage())) {
    // A file shorter than its header is a short read, not a foreign format.
    if (Stream.Size() - BasePosition >= 4 && LittleEndian32(HeaderBytes()) == FourCC("DDS ")) RaiseReadError();
    RaiseInvalidImage();
  }
  if (imageCount_ == 0) RaiseReadError();
  TEmptyOnFailure emptyOnFailure(*this);
  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - BasePosition, 0));
  // A cube map whose six faces are there shows them as a cross too, after its other images.
  TSurface faces[6];
  bool cross = layout_.FaceMask == 0x3F;
  const std::uint64_t perFace = cross ? LayerSize().Images / 6 : 0;
  for (unsigned f = 0; f < 6 && cross; ++f) cross = f * perFace < imageCount_ && FindSurface(f * perFace, available, faces[f]);
  const std::uint64_t count = imageCount_ + (cross ? 1 : 0);
  TSurface surface;
  const bool asCross = cross && RequestedImage() == imageCount_;
  if (RequestedImage() >= count || (!asCross && !FindSurface(RequestedImage(), available, surface)))
    throw EInvalidGraphic(FormatMessage(kNoSuchImage, RequestedImage() + 1));
  const TPixelLayout& p = layout_.Pixels;
  const bool isFloat = p.Kind == TPixelKind::Half || p.Kind == TPixelKind::Float || p.Kind == TPixelKind::R11G11B10 ||
                       p.Kind == TPixelKind::RGB9E5 || (p.Kind == TPixelKind::Blocks && BlockFormatIsFloat(p.Blocks));
  // The cross: +Y above, -X, +Z, +X, -Z across, -Y below, as the faces meet.
  static constexpr int kCrossColumn[6] = {2, 0, 1, 1, 1, 3}, kCrossRow[6] = {1, 1, 0, 2, 1, 1};
  const std::uint64_t width = asCross ? 4 * std::uint64_t{faces[0].Width} : surface.Width;
  const std::uint64_t height = asCross ? 3 * std::uint64_t{faces[0].Height} : surface.Height;
  CheckImageSize(width, height);
  StartProgress(gesTransfering);
  bc1Transparent_ = false;
  TByteSource source(Stream);
  auto place = [&](const TSurface& s, unsigned f, auto decode) {
    source.Seek(BasePosition + static_cast<std::int64_t>(s.Offset));
    decode(s, asCross ? kCrossColumn[f] * s.Width : 0u, asCross ? kCrossRow[f] * s.Height : 0u);
  };
  auto each = [&](auto decode) {
    if (!asCross) return place(surface, 0, decode);
    for (unsigned f = 0; f < 6; ++f) place(faces[f], f, decode);
  };
  if (isFloat) {
    std::shared_ptr<TFloatPixels> floats = NewFloatPixels(static_cast<int>(width), static_cast<int>(height));
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    each([&](const TSurface& s, std::uint32_t x, std::uint32_t y) {
      DecodeFloats(source, s, floats->RGBA.data() + y * stride + std::size_t{x} * 4, stride);
    });
    AllocateImageToOverwrite(width, height, pf32bit);
    SetFloatPixels(std::move(floats));
  } else {
    // The cross's corners are left transparent.
    if (asCross) AllocateImage(width, height, pf32bit);
    else AllocateImageToOverwrite(width, height, pf32bit);
    std::uint8_t* pixels = ScanLine(0);
    const std::size_t stride = BytesPerScanline();
    each([&](const TSurface& s, std::uint32_t x, std::uint32_t y) {
      DecodeBytes(source, s, pixels + y * stride + std::size_t{x} * 4, stride);
    });
  }
  source.Sync();
  SetAlphaChannel(asCross ||
                  (p.Alpha && (p.Kind != TPixelKind::Blocks || p.Blocks != TBlockFormat::BC1 || bc1Transparent_)));
  SetImages(TImageSet{static_cast<unsigned>(std::min<std::uint64_t>(count, 0xFFFFFFFF)), RequestedImage(),
                      asCross ? "faces as a cross" : count > 1 ? Caption(surface) : std::string()});
  SetFormatDescription(p.Name);
  Progress(psEnding, 100, true, ProgressRect, "");
}

}  // namespace vumo
