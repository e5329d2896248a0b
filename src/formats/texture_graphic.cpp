#include "formats/texture_graphic.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"
#include "pixels/normal_maps.h"

namespace vumo {
namespace {

using TPixelKind = TTextureGraphic::TPixelKind;
using TPixelLayout = TTextureGraphic::TPixelLayout;

// More layers than this is a broken header, not a texture.
constexpr std::uint32_t kMaxLayers = 1u << 16;

const char* const kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};

// Bytes of one row of pixels in the file, padding included.
std::size_t RowPitch(const TPixelLayout& p, std::uint32_t width) {
  const std::size_t bytes = (std::size_t{width} * p.BitsPerPixel + 7) / 8, align = std::max<std::size_t>(p.RowAlignment, 1);
  return (bytes + align - 1) / align * align;
}

// ---------------------------------------------------------------------------------------------
// Pixels to the bitmap

// One channel of a masked pixel to 8 bits, through a table of its values.
struct TMaskChannel {
  unsigned Shift = 0;
  std::uint32_t Mask = 0;  // after the shift
  std::vector<std::uint8_t> Values;

  explicit TMaskChannel(std::uint32_t mask, bool isSigned = false) {
    if (!mask) return;
    Shift = static_cast<unsigned>(std::countr_zero(mask));
    // Channels wider than 16 bits are read by their top 16.
    const unsigned bits = static_cast<unsigned>(std::popcount(mask));
    if (bits > 16) Shift += bits - 16;
    Mask = (mask >> Shift) & 0xFFFF;
    const std::uint32_t max = Mask;
    Values.resize(std::size_t{max} + 1);
    // Signed channels show -1..1 as 0..255, as the signed block formats decode.
    if (isSigned && max == 0xFF)
      for (std::uint32_t v = 0; v <= max; ++v) Values[v] = UnitToByte(SignedByteToUnit(static_cast<std::int8_t>(v)));
    else if (isSigned && max == 0xFFFF)
      for (std::uint32_t v = 0; v <= max; ++v) Values[v] = UnitToByte(Signed16ToUnit(static_cast<std::int16_t>(v)));
    else
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

TTextureGraphic::TPixelLayout TTextureGraphic::BlockLayout(TBlockKind blocks, const char* name, bool alpha) {
  TPixelLayout p;
  p.Kind = TPixelKind::Blocks;
  p.Blocks = blocks;
  p.Alpha = alpha;
  p.Name = name;
  return p;
}

TTextureGraphic::TPixelLayout TTextureGraphic::MaskLayout(std::uint8_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a,
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

TTextureGraphic::TPixelLayout TTextureGraphic::FloatLayout(TPixelKind kind, std::uint8_t channels, const char* name) {
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

TNormalLayout TTextureGraphic::NormalLayoutOf(const TPixelLayout& p) {
  TNormalLayout n;
  n.SaysNormals = p.Normals || p.RedInAlpha;
  auto place = [&n](TNormalLayout::TSlot x, TNormalLayout::TSlot y, bool isSigned) {
    n.X = x;
    n.Y = y;
    n.Signed = isSigned;
  };
  switch (p.Kind) {
    case TPixelKind::Blocks:
      switch (p.Blocks.Format) {
        case TBlockFormat::BC5U:
        case TBlockFormat::EACRG11: place(TNormalLayout::nsRed, TNormalLayout::nsGreen, false); break;
        case TBlockFormat::BC5S:
        case TBlockFormat::EACRG11S: place(TNormalLayout::nsRed, TNormalLayout::nsGreen, true); break;
        case TBlockFormat::BC3:
          // RXGB's red is back in red by the time the bitmap is drawn.
          if (p.RedInAlpha) place(TNormalLayout::nsRed, TNormalLayout::nsGreen, false);
          else if (p.Normals) place(TNormalLayout::nsAlpha, TNormalLayout::nsGreen, false);
          break;
        default:
          if (p.Normals && !BlockFormatIsFloat(p.Blocks)) place(TNormalLayout::nsRed, TNormalLayout::nsGreen, false);
          break;
      }
      break;
    case TPixelKind::Masks:
    case TPixelKind::RGBA16: {
      const bool masks = p.Kind == TPixelKind::Masks;
      const bool r = p.Masks[0], g = p.Masks[1], b = p.Masks[2], a = p.Masks[3];
      if (masks && r && g && !b && !a) place(TNormalLayout::nsRed, TNormalLayout::nsGreen, p.Signed);
      else if (masks && r && !g && !b && a) place(TNormalLayout::nsRed, TNormalLayout::nsAlpha, p.Signed);
      else if (p.Normals) place(TNormalLayout::nsRed, TNormalLayout::nsGreen, p.Signed);
      break;
    }
    default: break;
  }
  return n;
}

TTextureGraphic::TLevelSize TTextureGraphic::LevelSize(std::uint32_t level) const {
  TLevelSize size;
  size.Width = std::max<std::uint32_t>(layout_.Width >> level, 1);
  size.Height = std::max<std::uint32_t>(layout_.Height >> level, 1);
  size.Slices = std::max<std::uint32_t>(layout_.Depth >> level, 1);
  // Sides are at most kMaxImageSide, so none of these can overflow 64 bits.
  const TPixelLayout& p = layout_.Pixels;
  size.Bytes = p.Kind == TPixelKind::Blocks
                   ? std::uint64_t{BlockRowBytes(p.Blocks, size.Width)} * ((size.Height + p.Blocks.Height - 1) / p.Blocks.Height)
                   : RowPitch(p, size.Width) * size.Height;
  return size;
}

TTextureGraphic::TLayerSize TTextureGraphic::LayerSize() const {
  TLayerSize layer;
  layer.Faces = layout_.FaceMask ? static_cast<unsigned>(std::popcount(layout_.FaceMask)) : 1;
  for (std::uint32_t level = 0; level < layout_.Levels; ++level) {
    const TLevelSize size = LevelSize(level);
    layer.Images += std::uint64_t{layer.Faces} * size.Slices;
    layer.Bytes += layer.Faces * size.Slices * size.Bytes;
  }
  return layer;
}

void TTextureGraphic::SetLayout(TLayout layout) {
  if (layout.Width == 0 || layout.Height == 0 || layout.Width > kMaxImageSide || layout.Height > kMaxImageSide ||
      layout.Depth == 0 || layout.Depth > kMaxImageSide || layout.Layers == 0 || layout.Layers > kMaxLayers)
    RaiseInvalidImage();
  // A deep volume that is also a large array is a broken header: refused before its sizes
  // could overflow.
  if (std::bit_width(layout.Width) + std::bit_width(layout.Height) + std::bit_width(layout.Depth) +
          std::bit_width(layout.Layers) > 56)
    RaiseInvalidImage();
  const std::uint32_t chain =
      static_cast<std::uint32_t>(std::bit_width(std::max({layout.Width, layout.Height, layout.Depth})));
  layout.Levels = std::clamp<std::uint32_t>(layout.Levels, 1, chain);
  layout_ = std::move(layout);
}

bool TTextureGraphic::FindSurface(std::uint64_t index, std::uint64_t available, TSurface& surface) const {
  const TLayerSize layer = LayerSize();
  surface.Layer = static_cast<std::uint32_t>(index / layer.Images);
  if (surface.Layer >= layout_.Layers) return false;
  index %= layer.Images;
  const std::uint64_t perFace = layer.Images / layer.Faces;
  surface.FaceInFile = static_cast<std::uint32_t>(index / perFace);
  index %= perFace;
  // The face's name: the FaceInFile-th face present.
  unsigned face = 0;
  for (unsigned seen = 0; face < 6; ++face)
    if (layout_.FaceMask >> face & 1 && seen++ == surface.FaceInFile) break;
  surface.Face = layout_.FaceMask ? face : 0;
  for (std::uint32_t level = 0; level < layout_.Levels; ++level) {
    const TLevelSize size = LevelSize(level);
    if (index < size.Slices) {
      surface.Width = size.Width;
      surface.Height = size.Height;
      surface.Level = level;
      surface.Slice = static_cast<std::uint32_t>(index);
      surface.Slices = size.Slices;
      surface.Bytes = size.Bytes;
      return PlaceSurface(surface, available);
    }
    index -= size.Slices;
  }
  return false;
}

std::uint64_t TTextureGraphic::CountWholeImages(std::uint64_t available) const {
  const TLayerSize layer = LayerSize();
  const std::uint64_t total = layer.Images * layout_.Layers, perFace = layer.Images / layer.Faces;
  // Within a level the images lie in order, so a file whose last image of every level is
  // whole holds them all; supercompressed levels would otherwise be walked image by image.
  bool complete = true;
  for (std::uint32_t level = 0, first = 0; level < layout_.Levels && complete; ++level) {
    const std::uint32_t slices = LevelSize(level).Slices;
    TSurface last;
    complete = FindSurface(total - perFace + first + slices - 1, available, last);
    first += slices;
  }
  if (complete) return total;
  // Otherwise the images from the first on that are whole; each costs bytes of the file.
  std::uint64_t count = 0;
  for (TSurface surface; count < total && FindSurface(count, available, surface);) ++count;
  return count;
}

void TTextureGraphic::FillImageProperties(unsigned index) {
  TSurface surface;
  FindSurface(index < imageCount_ ? index : 0, ~std::uint64_t{0}, surface);
  TImageProperties& p = ImageProperties;
  const TPixelLayout& pixels = layout_.Pixels;
  p.Width = surface.Width;
  p.Height = surface.Height;
  p.HasAlpha = pixels.Alpha;
  p.ColorScheme = pixels.Grey ? (p.HasAlpha ? csGrayAlpha : csGray) : p.HasAlpha ? csRGBA : csRGB;
  // A block's bits over its pixels, rounded: 4 for 8 bytes over 4 x 4, 1 for ASTC 12 x 12.
  const unsigned blockPixels = unsigned{pixels.Blocks.Width} * pixels.Blocks.Height;
  p.BitsPerPixel = pixels.Kind == TPixelKind::Blocks
                       ? static_cast<std::uint8_t>(std::max<std::size_t>(
                             1, (BlockBytes(pixels.Blocks) * 8 + blockPixels / 2) / blockPixels))
                       : pixels.BitsPerPixel;
  p.Compression = pixels.Kind == TPixelKind::Blocks ? ctUnknown : ctNone;
  p.ImageCount = static_cast<std::uint16_t>(std::min<std::uint64_t>(imageCount_, 0xFFFF));
}

std::string TTextureGraphic::Caption(const TSurface& s) const {
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

const std::uint8_t* TTextureGraphic::TakeRow(TByteSource& source, std::size_t rowBytes) {
  const TPixelLayout& p = layout_.Pixels;
  // The padding after the last row may be missing where nothing follows it.
  const std::size_t align = std::max<std::size_t>(p.RowAlignment, 1);
  const std::uint8_t* row = source.Take((rowBytes + align - 1) / align * align);
  if (!row) row = source.Take(rowBytes);
  if (!row) RaiseReadError();
  if (p.SwapBytes < 2) return row;
  swapped_.assign(row, row + rowBytes);
  for (std::size_t at = 0; at + p.SwapBytes <= rowBytes; at += p.SwapBytes)
    std::reverse(swapped_.begin() + static_cast<std::ptrdiff_t>(at),
                 swapped_.begin() + static_cast<std::ptrdiff_t>(at + p.SwapBytes));
  return swapped_.data();
}

template <typename Decode>
void TTextureGraphic::ForEachBlockRow(TByteSource& source, const TSurface& s, Decode decode) {
  const TBlockKind& blocks = layout_.Pixels.Blocks;
  const std::size_t rowBytes = BlockRowBytes(blocks, s.Width);
  for (std::uint32_t y = 0; y < s.Height; y += blocks.Height) {
    const std::uint8_t* row = source.Take(rowBytes);
    if (!row) RaiseReadError();
    decode(row, rowBytes, y, std::min<std::uint32_t>(blocks.Height, s.Height - y));
    RowProgress(y, s.Height);
  }
}

void TTextureGraphic::DecodeBytes(TByteSource& source, const TSurface& s, std::uint8_t* pixels, std::size_t stride) {
  const TPixelLayout& p = layout_.Pixels;
  if (p.Kind == TPixelKind::Blocks) {
    ForEachBlockRow(source, s, [&](const std::uint8_t* blocks, std::size_t rowBytes, std::uint32_t y,
                                   std::uint32_t rows) {
      if (p.Blocks == TBlockFormat::BC1 && !bc1Transparent_) bc1Transparent_ = BC1BlocksTransparent(blocks, rowBytes);
      DecodeBlocks(p.Blocks, blocks, rowBytes, s.Width, rows, pixels + y * stride, stride, poBGRA);
    });
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
      const std::uint8_t* row = TakeRow(source, rowBytes);
      std::uint8_t* out = pixels + y * stride;
      for (std::uint32_t x = 0; x < s.Width; ++x, row += 8, out += 4) {
        static constexpr int kOrder[4] = {2, 1, 0, 3};  // R, G, B, A to B, G, R, A
        for (int c = 0; c < 4; ++c)
          out[kOrder[c]] = static_cast<std::uint8_t>((LittleEndian16(row + 2 * c) * 255u + 32767) / 65535);
      }
    }
    return;
  }
  const TMaskChannel channels[4] = {TMaskChannel(p.Masks[0], p.Signed), TMaskChannel(p.Masks[1], p.Signed),
                                    TMaskChannel(p.Masks[2], p.Signed), TMaskChannel(p.Masks[3], p.Signed)};
  // The usual A8R8G8B8 layout is the bitmap's own.
  const bool asStored =
      !p.Signed && p.BitsPerPixel == 32 && p.Masks[0] == 0xFF0000 && p.Masks[1] == 0xFF00 && p.Masks[2] == 0xFF;
  for (std::uint32_t y = 0; y < s.Height; ++y) {
    const std::uint8_t* row = TakeRow(source, rowBytes);
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

void TTextureGraphic::DecodeFloats(TByteSource& source, const TSurface& s, float* pixels, std::size_t stride) {
  const TPixelLayout& p = layout_.Pixels;
  if (p.Kind == TPixelKind::Blocks) {
    ForEachBlockRow(source, s, [&](const std::uint8_t* blocks, std::size_t rowBytes, std::uint32_t y,
                                   std::uint32_t rows) {
      DecodeBlocks(p.Blocks, blocks, rowBytes, s.Width, rows, pixels + y * stride, stride * sizeof(float));
    });
  } else {
    const std::size_t rowBytes = (std::size_t{s.Width} * p.BitsPerPixel + 7) / 8;
    for (std::uint32_t y = 0; y < s.Height; ++y) {
      const std::uint8_t* row = TakeRow(source, rowBytes);
      FloatRow(p, row, pixels + y * stride, s.Width);
      RowProgress(y, s.Height);
    }
  }
}

void TTextureGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, RequestedImage())) {
    const std::span<const std::uint8_t> identifier = Identifier();
    if (Stream.Size() - BasePosition >= static_cast<std::int64_t>(identifier.size()) &&
        std::memcmp(HeaderBytes(), identifier.data(), identifier.size()) == 0)
      RaiseReadError();
    RaiseInvalidImage();
  }
  LoadTexture(Stream);
}

void TTextureGraphic::LoadTexture(TStream& Stream) {
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
    const std::uint32_t x = asCross ? kCrossColumn[f] * s.Width : 0u, y = asCross ? kCrossRow[f] * s.Height : 0u;
    if (const std::vector<std::uint8_t>* level = InflatedLevel(Stream, s.Level)) {
      TMemoryStream memory(level->data(), level->size());
      TByteSource inflated(memory);
      inflated.Seek(static_cast<std::int64_t>(s.Offset));
      return decode(inflated, s, x, y);
    }
    source.Seek(BasePosition + static_cast<std::int64_t>(s.Offset));
    decode(source, s, x, y);
  };
  auto each = [&](auto decode) {
    if (!asCross) return place(surface, 0, decode);
    for (unsigned f = 0; f < 6; ++f) place(faces[f], f, decode);
  };
  if (isFloat) {
    // One image fills every pixel (or the load fails); the cross leaves its corners clear.
    std::shared_ptr<TFloatPixels> floats = NewFloatPixels(static_cast<int>(width), static_cast<int>(height), asCross);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    each([&](TByteSource& from, const TSurface& s, std::uint32_t x, std::uint32_t y) {
      DecodeFloats(from, s, floats->RGBA.data() + y * stride + std::size_t{x} * 4, stride);
    });
    AllocateImageToOverwrite(width, height, pf32bit);
    SetFloatPixels(std::move(floats));
  } else {
    // The cross's corners are left transparent.
    if (asCross) AllocateImage(width, height, pf32bit);
    else AllocateImageToOverwrite(width, height, pf32bit);
    std::uint8_t* pixels = ScanLine(0);
    const std::size_t stride = BytesPerScanline();
    each([&](TByteSource& from, const TSurface& s, std::uint32_t x, std::uint32_t y) {
      DecodeBytes(from, s, pixels + y * stride + std::size_t{x} * 4, stride);
    });
  }
  source.Sync();
  SetAlphaChannel(asCross ||
                  (p.Alpha && (p.Kind != TPixelKind::Blocks || p.Blocks != TBlockFormat::BC1 || bc1Transparent_)));
  SetImages(TImageSet{static_cast<unsigned>(std::min<std::uint64_t>(count, 0xFFFFFFFF)), RequestedImage(),
                      asCross ? "faces as a cross" : count > 1 ? Caption(surface) : std::string(),
                      cross ? 1u : 0u});
  TImagePlace at(asCross ? TImagePlace::ipComposite : TImagePlace::ipSurface);
  if (!asCross) {
    at.Layer = surface.Layer;
    at.Level = surface.Level;
    at.Slice = surface.Slice;
    at.Face = layout_.FaceMask ? static_cast<std::int8_t>(surface.Face) : std::int8_t{-1};
  }
  SetImagePlace(at);
  SetFormatDescription(p.Name);
  SetNormalLayout(NormalLayoutOf(p));
  Progress(psEnding, 100, true, ProgressRect, "");
}

}  // namespace vumo
