#include "formats/ktx.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

using TPixelKind = TTextureGraphic::TPixelKind;
using TPixelLayout = TTextureGraphic::TPixelLayout;
constexpr auto MaskLayout = &TTextureGraphic::MaskLayout;

constexpr std::uint8_t kKTXIdentifier[12] = {0xAB, 'K', 'T', 'X', ' ', '1', '1', 0xBB, '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kKTX2Identifier[12] = {0xAB, 'K', 'T', 'X', ' ', '2', '0', 0xBB, '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kKTXHeaderSize = 64, kKTX2HeaderSize = 80, kKTX2LevelEntry = 24;
constexpr std::uint32_t kKTXEndianness = 0x04030201;

std::uint64_t LittleEndian64(const std::uint8_t* p) {
  return std::uint64_t{LittleEndian32(p)} | std::uint64_t{LittleEndian32(p + 4)} << 32;
}

std::uint64_t Pad4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

// EAC, then ETC2, in OpenGL's order (KTX2's order differs: ETC2 first).
struct TETCFormat {
  TBlockFormat Format;
  const char* Name;
  bool Alpha;
};
constexpr TETCFormat kETCFormats[10] = {
    {TBlockFormat::EACR11, "EAC R11", false},
    {TBlockFormat::EACR11S, "EAC R11 signed", false},
    {TBlockFormat::EACRG11, "EAC RG11", false},
    {TBlockFormat::EACRG11S, "EAC RG11 signed", false},
    {TBlockFormat::ETC2RGB, "ETC2 RGB", false},
    {TBlockFormat::ETC2RGB, "ETC2 RGB sRGB", false},
    {TBlockFormat::ETC2RGBA1, "ETC2 RGB punch-through", true},
    {TBlockFormat::ETC2RGBA1, "ETC2 RGB punch-through sRGB", true},
    {TBlockFormat::ETC2RGBA, "ETC2 RGBA", true},
    {TBlockFormat::ETC2RGBA, "ETC2 RGBA sRGB", true},
};

TTextureGraphic::TPixelLayout ETCLayout(unsigned index) {
  const TETCFormat& f = kETCFormats[index];
  return TTextureGraphic::BlockLayout(f.Format, f.Name, f.Alpha);
}

// ASTC's two-dimensional footprints in the order both OpenGL and Vulkan number them.
constexpr std::uint8_t kASTCFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                                 {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};

TTextureGraphic::TPixelLayout ASTCLayout(unsigned footprint, bool srgb) {
  const std::uint8_t w = kASTCFootprints[footprint][0], h = kASTCFootprints[footprint][1];
  const std::string name =
      "ASTC " + std::to_string(w) + "x" + std::to_string(h) + (srgb ? " sRGB" : "");
  return TTextureGraphic::BlockLayout(TBlockKind(srgb ? TBlockFormat::ASTCsRGB : TBlockFormat::ASTC, w, h),
                                      name.c_str(), true);
}

// Walks key/value entries: each a 32-bit length, that many bytes, padding to 4. False when
// one runs past the block.
template <typename Read32>
bool KeyValuesFit(const std::uint8_t* data, std::uint64_t bytes, Read32 read32) {
  std::uint64_t at = 0;
  while (at < bytes) {
    if (bytes - at < 4) return false;
    const std::uint64_t length = read32(data + at);
    at += 4;
    if (length > bytes - at) return false;
    at += Pad4(length);
  }
  return true;
}

// Whether an entry names normals: its key or its value holds "normal" in any case, as a
// "normalMap" key or toktx's "--normal_mode" among the writer's options do.
template <typename Read32>
bool KeyValuesSayNormals(const std::uint8_t* data, std::uint64_t bytes, Read32 read32) {
  static constexpr char kWord[] = "normal";
  constexpr std::size_t kLength = sizeof kWord - 1;
  for (std::uint64_t at = 0; at + 4 <= bytes;) {
    const std::uint64_t length = std::min<std::uint64_t>(read32(data + at), bytes - at - 4);
    const std::uint8_t* entry = data + at + 4;
    for (std::uint64_t i = 0; i + kLength <= length; ++i) {
      std::size_t k = 0;
      while (k < kLength && (entry[i + k] | 0x20) == kWord[k]) ++k;
      if (k == kLength) return true;
    }
    at += 4 + Pad4(length);
  }
  return false;
}

// Two signed channels, red and green.
TPixelLayout SignedRG(std::uint8_t bits, const char* name) {
  TPixelLayout p = bits == 16 ? MaskLayout(16, 0xFF, 0xFF00, 0, 0, name)
                              : MaskLayout(32, 0xFFFF, 0xFFFF0000, 0, 0, name);
  p.Signed = true;
  return p;
}

// The pixel layouts both versions share, by the channel arrangement.
TPixelLayout RGBA8(const char* name) { return MaskLayout(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, name); }
TPixelLayout RGB8(const char* name) { return MaskLayout(24, 0xFF, 0xFF00, 0xFF0000, 0, name); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// KTX

bool TKTXGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kKTXHeaderSize, [](const std::uint8_t* header) {
    return std::memcmp(header, kKTXIdentifier, 12) == 0;
  });
}

TPixelLayout TKTXGraphic::GLPixels(std::uint32_t type, std::uint32_t format, std::uint32_t internalFormat) const {
  switch (internalFormat) {
    case 0x83F0: return BlockLayout(TBlockFormat::BC1, "BC1", false);
    case 0x83F1: return BlockLayout(TBlockFormat::BC1, "BC1", true);
    case 0x83F2: return BlockLayout(TBlockFormat::BC2, "BC2", true);
    case 0x83F3: return BlockLayout(TBlockFormat::BC3, "BC3", true);
    case 0x8C4C: return BlockLayout(TBlockFormat::BC1, "BC1 sRGB", false);
    case 0x8C4D: return BlockLayout(TBlockFormat::BC1, "BC1 sRGB", true);
    case 0x8C4E: return BlockLayout(TBlockFormat::BC2, "BC2 sRGB", true);
    case 0x8C4F: return BlockLayout(TBlockFormat::BC3, "BC3 sRGB", true);
    case 0x8DBB: return BlockLayout(TBlockFormat::BC4U, "BC4", false);
    case 0x8DBC: return BlockLayout(TBlockFormat::BC4S, "BC4 signed", false);
    case 0x8DBD: return BlockLayout(TBlockFormat::BC5U, "BC5", false);
    case 0x8DBE: return BlockLayout(TBlockFormat::BC5S, "BC5 signed", false);
    case 0x8E8C: return BlockLayout(TBlockFormat::BC7, "BC7", true);
    case 0x8E8D: return BlockLayout(TBlockFormat::BC7, "BC7 sRGB", true);
    case 0x8E8E: return BlockLayout(TBlockFormat::BC6HS, "BC6H signed float", false);
    case 0x8E8F: return BlockLayout(TBlockFormat::BC6HU, "BC6H unsigned float", false);
    case 0x8058: return RGBA8("RGBA8");
    case 0x8C43: return RGBA8("RGBA8 sRGB");
    case 0x8051: return RGB8("RGB8");
    case 0x8C41: return RGB8("RGB8 sRGB");
    case 0x8229: return MaskLayout(8, 0xFF, 0, 0, 0, "R8");
    case 0x822B: return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "RG8");
    case 0x8040: return MaskLayout(8, 0xFF, 0, 0, 0, "L8");
    case 0x8045: return MaskLayout(16, 0xFF, 0, 0, 0xFF00, "L8A8");
    case 0x803C: return MaskLayout(8, 0, 0, 0, 0xFF, "A8");
    case 0x822A: return MaskLayout(16, 0xFFFF, 0, 0, 0, "R16");
    case 0x822C: return MaskLayout(32, 0xFFFF, 0xFFFF0000, 0, 0, "RG16");
    case 0x8F95: return SignedRG(16, "RG8 signed");
    case 0x8F99: return SignedRG(32, "RG16 signed");
    case 0x805B: return FloatLayout(TPixelKind::RGBA16, 4, "RGBA16");
    case 0x8D62: return MaskLayout(16, 0xF800, 0x7E0, 0x1F, 0, "RGB565");
    case 0x8059: return MaskLayout(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, "RGB10A2");
    case 0x822D: return FloatLayout(TPixelKind::Half, 1, "R16F");
    case 0x822F: return FloatLayout(TPixelKind::Half, 2, "RG16F");
    case 0x881B: return FloatLayout(TPixelKind::Half, 3, "RGB16F");
    case 0x881A: return FloatLayout(TPixelKind::Half, 4, "RGBA16F");
    case 0x822E: return FloatLayout(TPixelKind::Float, 1, "R32F");
    case 0x8230: return FloatLayout(TPixelKind::Float, 2, "RG32F");
    case 0x8815: return FloatLayout(TPixelKind::Float, 3, "RGB32F");
    case 0x8814: return FloatLayout(TPixelKind::Float, 4, "RGBA32F");
    case 0x8C3A: return FloatLayout(TPixelKind::R11G11B10, 3, "R11F G11F B10F");
    case 0x8C3D: return FloatLayout(TPixelKind::RGB9E5, 3, "RGB9 E5");
    default: break;
  }
  // Older writers give the unsized format with its type: 8-bit channels by their arrangement.
  if (type == 0x1401) switch (format) {
      case 0x1908: return RGBA8("RGBA8");
      case 0x1907: return RGB8("RGB8");
      case 0x80E1: return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "BGRA8");
      case 0x1903:
      case 0x1909: return MaskLayout(8, 0xFF, 0, 0, 0, format == 0x1903 ? "R8" : "L8");
      case 0x8227: return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "RG8");
      case 0x190A: return MaskLayout(16, 0xFF, 0, 0, 0xFF00, "L8A8");
      case 0x1906: return MaskLayout(8, 0, 0, 0, 0xFF, "A8");
      default: break;
    }
  if (internalFormat == 0x8D64) return BlockLayout(TBlockFormat::ETC1, "ETC1", false);
  if (internalFormat >= 0x9270 && internalFormat <= 0x9279) return ETCLayout(internalFormat - 0x9270);
  if (internalFormat >= 0x93B0 && internalFormat <= 0x93BD) return ASTCLayout(internalFormat - 0x93B0, false);
  if (internalFormat >= 0x93D0 && internalFormat <= 0x93DD) return ASTCLayout(internalFormat - 0x93D0, true);
  char number[16];
  std::snprintf(number, sizeof number, "0x%04X", internalFormat);
  RaiseUnsupported(FormatMessage(gesKTXFormat, number).c_str());
}

bool TKTXGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t start = Stream.Position();
  const std::uint8_t* h = ReadHeaderBytes(Stream, kKTXHeaderSize);
  if (!h || std::memcmp(h, kKTXIdentifier, 12) != 0) return false;
  // The writer's own byte order, which every number of the file and its pixels follow.
  const bool big = BigEndian32(h + 12) == kKTXEndianness;
  if (!big && LittleEndian32(h + 12) != kKTXEndianness) RaiseInvalidImage();
  auto read32 = [big](const std::uint8_t* p) { return big ? BigEndian32(p) : LittleEndian32(p); };
  const std::uint32_t type = read32(h + 16), typeSize = read32(h + 20), format = read32(h + 24),
                      internalFormat = read32(h + 28);
  TLayout layout;
  layout.Width = read32(h + 36);
  // A height of 0 is a 1-D texture, a depth of 0 a 2-D one, no array elements a single layer.
  layout.Height = std::max<std::uint32_t>(read32(h + 40), 1);
  layout.Depth = std::max<std::uint32_t>(read32(h + 44), 1);
  const std::uint32_t arrayElements = read32(h + 48), faces = read32(h + 52);
  layout.Layers = std::max<std::uint32_t>(arrayElements, 1);
  // No levels asks the reader to make them: the file holds the first.
  layout.Levels = std::max<std::uint32_t>(read32(h + 56), 1);
  const std::uint32_t keyValueBytes = read32(h + 60);
  if (faces != 1 && faces != 6) RaiseInvalidImage();
  if (faces == 6) {
    layout.FaceMask = 0x3F;
    if (layout.Depth > 1) RaiseInvalidImage();
  }
  layout.Pixels = GLPixels(type, format, internalFormat);
  if (big && layout.Pixels.Kind != TPixelKind::Blocks && (typeSize == 2 || typeSize == 4))
    layout.Pixels.SwapBytes = static_cast<std::uint8_t>(typeSize);
  // Rows of uncompressed pixels start on multiples of 4 bytes.
  layout.Pixels.RowAlignment = 4;
  SetLayout(std::move(layout));

  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0));
  if (keyValueBytes > available - kKTXHeaderSize) RaiseReadError();
  std::vector<std::uint8_t> keyValues(keyValueBytes);
  if (keyValueBytes && Stream.Read(keyValues.data(), keyValueBytes) != keyValueBytes) RaiseReadError();
  if (!KeyValuesFit(keyValues.data(), keyValueBytes, read32)) RaiseInvalidImage();
  layout_.Pixels.Normals = KeyValuesSayNormals(keyValues.data(), keyValueBytes, read32);

  // Each level: its size field, its images, padding to 4. A cube map that is not an array
  // gives the size of one face, each face padded on its own.
  cubeFacesPadded_ = faces == 6 && arrayElements == 0;
  levels_.clear();
  std::uint64_t at = kKTXHeaderSize + keyValueBytes;
  for (std::uint32_t level = 0; level < layout_.Levels && at + 4 <= available; ++level) {
    std::uint8_t field[4];
    Stream.SetPosition(start + static_cast<std::int64_t>(at));
    if (Stream.Read(field, 4) != 4) RaiseReadError();
    const std::uint64_t imageSize = read32(field);
    const TLevelSize size = LevelSize(level);
    const std::uint64_t images = std::uint64_t{layout_.Layers} * faces * size.Slices;
    const std::uint64_t expected = cubeFacesPadded_ ? size.Bytes : images * size.Bytes;
    if (imageSize < expected) RaiseInvalidImage();
    TLevel entry;
    entry.Offset = at + 4;
    entry.FaceStride = Pad4(imageSize);
    levels_.push_back(entry);
    at = entry.Offset + (cubeFacesPadded_ ? 6 * Pad4(imageSize) : Pad4(imageSize));
  }
  Stream.SetPosition(start + kKTXHeaderSize);

  imageCount_ = CountWholeImages(available);
  FillImageProperties(ImageIndex);
  return true;
}

bool TKTXGraphic::PlaceSurface(TSurface& s, std::uint64_t available) const {
  if (s.Level >= levels_.size()) return false;
  const TLevel& level = levels_[s.Level];
  const unsigned faces = layout_.FaceMask ? 6 : 1;
  if (cubeFacesPadded_) s.Offset = level.Offset + s.FaceInFile * level.FaceStride;
  else s.Offset = level.Offset + ((std::uint64_t{s.Layer} * faces + s.FaceInFile) * s.Slices + s.Slice) * s.Bytes;
  return s.Offset + s.Bytes <= available;
}

std::span<const std::uint8_t> TKTXGraphic::Identifier() const { return kKTXIdentifier; }

// ---------------------------------------------------------------------------------------------
// KTX2

bool TKTX2Graphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kKTX2HeaderSize, [](const std::uint8_t* header) {
    return std::memcmp(header, kKTX2Identifier, 12) == 0;
  });
}

TPixelLayout TKTX2Graphic::VulkanPixels(std::uint32_t format) const {
  switch (format) {
    case 2: return MaskLayout(16, 0xF000, 0x0F00, 0x00F0, 0x000F, "R4G4B4A4");
    case 3: return MaskLayout(16, 0x00F0, 0x0F00, 0xF000, 0x000F, "B4G4R4A4");
    case 4: return MaskLayout(16, 0xF800, 0x07E0, 0x001F, 0, "R5G6B5");
    case 5: return MaskLayout(16, 0x001F, 0x07E0, 0xF800, 0, "B5G6R5");
    case 8: return MaskLayout(16, 0x7C00, 0x03E0, 0x001F, 0x8000, "A1R5G5B5");
    case 9: return MaskLayout(8, 0xFF, 0, 0, 0, "R8");
    case 15: return MaskLayout(8, 0xFF, 0, 0, 0, "R8 sRGB");
    case 16: return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "R8G8");
    case 17: return SignedRG(16, "R8G8 signed");
    case 22: return MaskLayout(16, 0xFF, 0xFF00, 0, 0, "R8G8 sRGB");
    case 23: return RGB8("R8G8B8");
    case 29: return RGB8("R8G8B8 sRGB");
    case 30: return MaskLayout(24, 0xFF0000, 0xFF00, 0xFF, 0, "B8G8R8");
    case 36: return MaskLayout(24, 0xFF0000, 0xFF00, 0xFF, 0, "B8G8R8 sRGB");
    case 37: return RGBA8("R8G8B8A8");
    case 43: return RGBA8("R8G8B8A8 sRGB");
    case 44: return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "B8G8R8A8");
    case 50: return MaskLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "B8G8R8A8 sRGB");
    case 64: return MaskLayout(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, "A2B10G10R10");
    case 70: return MaskLayout(16, 0xFFFF, 0, 0, 0, "R16");
    case 76: return FloatLayout(TPixelKind::Half, 1, "R16 float");
    case 77: return MaskLayout(32, 0xFFFF, 0xFFFF0000, 0, 0, "R16G16");
    case 78: return SignedRG(32, "R16G16 signed");
    case 83: return FloatLayout(TPixelKind::Half, 2, "R16G16 float");
    case 90: return FloatLayout(TPixelKind::Half, 3, "R16G16B16 float");
    case 91: return FloatLayout(TPixelKind::RGBA16, 4, "R16G16B16A16");
    case 97: return FloatLayout(TPixelKind::Half, 4, "R16G16B16A16 float");
    case 100: return FloatLayout(TPixelKind::Float, 1, "R32 float");
    case 103: return FloatLayout(TPixelKind::Float, 2, "R32G32 float");
    case 106: return FloatLayout(TPixelKind::Float, 3, "R32G32B32 float");
    case 109: return FloatLayout(TPixelKind::Float, 4, "R32G32B32A32 float");
    case 122: return FloatLayout(TPixelKind::R11G11B10, 3, "B10G11R11 float");
    case 123: return FloatLayout(TPixelKind::RGB9E5, 3, "E5B9G9R9 float");
    case 131: return BlockLayout(TBlockFormat::BC1, "BC1", false);
    case 132: return BlockLayout(TBlockFormat::BC1, "BC1 sRGB", false);
    case 133: return BlockLayout(TBlockFormat::BC1, "BC1", true);
    case 134: return BlockLayout(TBlockFormat::BC1, "BC1 sRGB", true);
    case 135: return BlockLayout(TBlockFormat::BC2, "BC2", true);
    case 136: return BlockLayout(TBlockFormat::BC2, "BC2 sRGB", true);
    case 137: return BlockLayout(TBlockFormat::BC3, "BC3", true);
    case 138: return BlockLayout(TBlockFormat::BC3, "BC3 sRGB", true);
    case 139: return BlockLayout(TBlockFormat::BC4U, "BC4", false);
    case 140: return BlockLayout(TBlockFormat::BC4S, "BC4 signed", false);
    case 141: return BlockLayout(TBlockFormat::BC5U, "BC5", false);
    case 142: return BlockLayout(TBlockFormat::BC5S, "BC5 signed", false);
    case 143: return BlockLayout(TBlockFormat::BC6HU, "BC6H unsigned float", false);
    case 144: return BlockLayout(TBlockFormat::BC6HS, "BC6H signed float", false);
    case 145: return BlockLayout(TBlockFormat::BC7, "BC7", true);
    case 146: return BlockLayout(TBlockFormat::BC7, "BC7 sRGB", true);
    default: break;
  }
  // ETC2 and EAC follow the BC formats, then ASTC's footprints, each unsigned and sRGB.
  if (format >= 147 && format <= 152) return ETCLayout(4 + (format - 147));
  if (format >= 153 && format <= 156) return ETCLayout(format - 153);
  if (format >= 157 && format <= 184) return ASTCLayout((format - 157) / 2, (format - 157) % 2 == 1);
  RaiseUnsupported(FormatMessage(gesKTXFormat, ("VkFormat " + std::to_string(format)).c_str()).c_str());
}

std::uint64_t TKTX2Graphic::LevelBytes(std::uint32_t level) const {
  const TLevelSize size = LevelSize(level);
  const unsigned faces = layout_.FaceMask ? 6 : 1;
  // Sides, layers and slices are checked, so this stays far inside 64 bits.
  return std::uint64_t{layout_.Layers} * faces * size.Slices * size.Bytes;
}

bool TKTX2Graphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t start = Stream.Position();
  const std::uint8_t* h = ReadHeaderBytes(Stream, kKTX2HeaderSize);
  if (!h || std::memcmp(h, kKTX2Identifier, 12) != 0) return false;
  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0));
  const std::uint32_t vkFormat = LittleEndian32(h + 12), faces = LittleEndian32(h + 36);
  TLayout layout;
  layout.Width = LittleEndian32(h + 20);
  layout.Height = std::max<std::uint32_t>(LittleEndian32(h + 24), 1);
  layout.Depth = std::max<std::uint32_t>(LittleEndian32(h + 28), 1);
  layout.Layers = std::max<std::uint32_t>(LittleEndian32(h + 32), 1);
  const std::uint32_t levelCount = std::max<std::uint32_t>(LittleEndian32(h + 40), 1);
  const std::uint32_t scheme = LittleEndian32(h + 44);
  if (faces != 1 && faces != 6) RaiseInvalidImage();
  if (faces == 6) {
    layout.FaceMask = 0x3F;
    if (layout.Depth > 1) RaiseInvalidImage();
  }
  // More levels than 32 halvings is no texture.
  if (levelCount > 32) RaiseInvalidImage();
  layout.Levels = levelCount;

  // The data format descriptor: its first block says the colour model and transfer curve.
  const std::uint32_t dfdOffset = LittleEndian32(h + 48), dfdBytes = LittleEndian32(h + 52);
  const std::uint32_t kvdOffset = LittleEndian32(h + 56), kvdBytes = LittleEndian32(h + 60);
  auto readRange = [&](std::uint64_t offset, std::uint64_t bytes) {
    if (offset > available || bytes > available - offset) RaiseReadError();
    std::vector<std::uint8_t> data(bytes);
    Stream.SetPosition(start + static_cast<std::int64_t>(offset));
    if (Stream.Read(data.data(), bytes) != bytes) RaiseReadError();
    return data;
  };
  std::uint8_t colorModel = 0, transfer = 0;
  bool normals = false;
  if (dfdBytes) {
    const std::vector<std::uint8_t> dfd = readRange(dfdOffset, dfdBytes);
    if (dfdBytes < 4 + 24 || LittleEndian32(dfd.data()) != dfdBytes) RaiseInvalidImage();
    const std::uint32_t blockBytes = LittleEndian32(dfd.data() + 8) >> 16;
    if (blockBytes < 24 || blockBytes > dfdBytes - 4) RaiseInvalidImage();
    colorModel = dfd[4 + 8];
    transfer = dfd[4 + 10];
  }
  if (kvdBytes) {
    const std::vector<std::uint8_t> kvd = readRange(kvdOffset, kvdBytes);
    auto read32 = [](const std::uint8_t* p) { return LittleEndian32(p); };
    if (!KeyValuesFit(kvd.data(), kvdBytes, read32)) RaiseInvalidImage();
    normals = KeyValuesSayNormals(kvd.data(), kvdBytes, read32);
  }
  // Payloads of a universal codec that are transcoded rather than decoded.
  constexpr std::uint8_t kModelETC1S = 163, kModelUASTC = 166;
  if (scheme == scBasisLZ || colorModel == kModelETC1S) RaiseUnsupported(FormatMessage(gesKTXPayload, "BasisLZ/ETC1S").c_str());
  if (colorModel == kModelUASTC) RaiseUnsupported(FormatMessage(gesKTXPayload, "UASTC").c_str());
  if (scheme > scZlib) RaiseUnsupported(FormatMessage(gesKTXSupercompression, std::to_string(scheme).c_str()).c_str());
  if (vkFormat == 0) RaiseInvalidColorFormat();
  layout.Pixels = VulkanPixels(vkFormat);
  layout.Pixels.Normals = normals;
  // A transfer function of sRGB on a format named as linear is still sRGB-encoded.
  constexpr std::uint8_t kTransferSRGB = 2;
  if (transfer == kTransferSRGB && layout.Pixels.Name.find("sRGB") == std::string::npos) layout.Pixels.Name += " sRGB";
  scheme_ = static_cast<TSupercompression>(scheme);
  SetLayout(std::move(layout));

  // The level index, largest level first; each level's images are checked against the sizes.
  const std::vector<std::uint8_t> index = readRange(kKTX2HeaderSize, std::uint64_t{levelCount} * kKTX2LevelEntry);
  levels_.assign(layout_.Levels, TLevel{});
  for (std::uint32_t level = 0; level < layout_.Levels; ++level) {
    const std::uint8_t* entry = index.data() + level * kKTX2LevelEntry;
    TLevel& l = levels_[level];
    l.Offset = LittleEndian64(entry);
    l.Bytes = LittleEndian64(entry + 8);
    l.InflatedBytes = LittleEndian64(entry + 16);
    const std::uint64_t expected = LevelBytes(level);
    if (scheme_ == scNone ? l.Bytes < expected : l.InflatedBytes != expected) RaiseInvalidImage();
    // A supercompressed level says how large it inflates: refuse what no encoder makes of so
    // few bytes before it is allocated.
    if (scheme_ != scNone && (expected > kMaxBitmapBytes || expected / kMaxPixelsPerFileByte > l.Bytes))
      RaiseTooLarge(layout_.Width, layout_.Height);
  }
  inflated_.clear();
  inflatedLevel_ = ~0u;
  Stream.SetPosition(start + kKTX2HeaderSize);

  imageCount_ = CountWholeImages(available);
  FillImageProperties(ImageIndex);
  return true;
}

bool TKTX2Graphic::PlaceSurface(TSurface& s, std::uint64_t available) const {
  const TLevel& level = levels_[s.Level];
  if (level.Offset > available || level.Bytes > available - level.Offset) return false;
  const unsigned faces = layout_.FaceMask ? 6 : 1;
  const std::uint64_t within = ((std::uint64_t{s.Layer} * faces + s.FaceInFile) * s.Slices + s.Slice) * s.Bytes;
  if (scheme_ != scNone) {
    s.Offset = within;
    return true;
  }
  s.Offset = level.Offset + within;
  return s.Offset + s.Bytes <= available;
}

const std::vector<std::uint8_t>* TKTX2Graphic::InflatedLevel(TStream& Stream, std::uint32_t level) {
  if (scheme_ == scNone) return nullptr;
  if (inflatedLevel_ == level) return &inflated_;
  const TLevel& l = levels_[level];
  std::vector<std::uint8_t> packed(l.Bytes);
  Stream.SetPosition(BasePosition + static_cast<std::int64_t>(l.Offset));
  if (Stream.Read(packed.data(), packed.size()) != packed.size()) RaiseReadError();
  inflatedLevel_ = ~0u;
  inflated_.resize(l.InflatedBytes);
  bool whole = false;
  if (scheme_ == scZstd) {
    const std::size_t n = ZSTD_decompress(inflated_.data(), inflated_.size(), packed.data(), packed.size());
    whole = !ZSTD_isError(n) && n == inflated_.size();
  } else {
    uLongf n = static_cast<uLongf>(inflated_.size());
    whole = uncompress(inflated_.data(), &n, packed.data(), static_cast<uLong>(packed.size())) == Z_OK &&
            n == inflated_.size();
  }
  if (!whole) Raise(gesKTXInflate);
  inflatedLevel_ = level;
  return &inflated_;
}

std::span<const std::uint8_t> TKTX2Graphic::Identifier() const { return kKTX2Identifier; }

}  // namespace vumo
