#include "formats/psp.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"
#include "pixels/lz77_decoder.h"
#include "pixels/messages.h"

namespace vumo {

namespace {

constexpr std::size_t kFileHeader = 36;
constexpr std::size_t kAttributes = 42;
// File header, the first block's header and chunk length, the attributes: 92 bytes in every
// version (version 3 has a 4-byte initial chunk length where later ones have a chunk length).
constexpr std::size_t kHeadBytes = kFileHeader + 10 + 4 + kAttributes;

enum TBlockType : std::uint16_t { btImageAttributes = 0, btColorPalette = 2, btLayerBank = 3, btLayer = 4 };

bool SignatureMatches(const std::uint8_t* b) {
  static const char kSignature[] = "Paint Shop Pro Image File";
  for (std::size_t i = 0; i < 25; ++i) {
    char c = static_cast<char>(b[i]), s = kSignature[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (s >= 'a' && s <= 'z') s = static_cast<char>(s - 'a' + 'A');
    if (c != s) return false;
  }
  return true;
}

std::size_t BlockHeaderSize(unsigned version) { return version == 3 ? 14 : 10; }

struct TBlock {
  std::uint16_t type = 0;
  std::int64_t start = 0;  // just after the header
  std::int64_t end = 0;
};

// Reads a block header at the stream's position; false at the end of the data or when the
// header does not begin with "~". A block that reaches past the file's end is a short file,
// one that reaches past `limit`, its parent's end, is refused.
bool ReadBlock(TStream& stream, unsigned version, std::int64_t limit, std::int64_t fileEnd, TBlock& block) {
  std::uint8_t h[14];
  const std::size_t size = BlockHeaderSize(version);
  if (limit - stream.Position() < static_cast<std::int64_t>(size)) return false;
  stream.ReadBuffer(h, size);
  if (h[0] != '~') return false;
  block.type = LittleEndian16(h + 4);
  block.start = stream.Position();
  block.end = block.start + LittleEndian32(h + size - 4);
  if (block.end > fileEnd) throw EReadError(kStreamReadError);
  if (block.end > limit) TReaderGraphic::RaiseNamed(gesInvalidImage, gesPSP);
  return true;
}

std::uint32_t Read32(TStream& stream) {
  std::uint8_t b[4];
  stream.ReadBuffer(b, 4);
  return LittleEndian32(b);
}

std::uint16_t Read16(TStream& stream) {
  std::uint8_t b[2];
  stream.ReadBuffer(b, 2);
  return LittleEndian16(b);
}

// A chunk of a version 4 or later block: its length counts itself and must stay in the block.
std::int64_t ReadChunkEnd(TStream& stream, std::int64_t blockEnd, std::uint32_t least) {
  const std::int64_t start = stream.Position();
  const std::uint32_t length = Read32(stream);
  if (length < least || start + length > blockEnd) TReaderGraphic::RaiseNamed(gesInvalidImage, gesPSP);
  return start + length;
}

std::size_t PlaneRowLength(std::size_t width, unsigned bits) {
  if (bits == 1) return (width + 7) / 8;
  if (bits == 4) return width / 2 + 1;
  return width;
}

[[noreturn]] void FailInvalid() { TReaderGraphic::RaiseNamed(gesInvalidImage, gesPSP); }

// The attributes block, always the first: read by the header, passed by here.
void PassAttributes(TStream& stream, unsigned version, std::int64_t fileEnd) {
  TBlock attributes;
  if (!ReadBlock(stream, version, fileEnd, fileEnd, attributes)) FailInvalid();
  stream.SetPosition(attributes.end);
}

bool EndsInBlockHeader(TStream& stream, unsigned version, std::int64_t fileEnd) {
  const std::int64_t left = fileEnd - stream.Position();
  return left > 0 && left < static_cast<std::int64_t>(BlockHeaderSize(version));
}

// The colour manager set up for the picture's depth; without a palette block, indices show
// as grey levels.
TLogPalette SetUpColors(TColorManager& manager, const TImageProperties& p) {
  const bool rgb = p.ColorScheme == csRGB;
  const auto bits = p.BitsPerSample;
  if (!(rgb || bits == 1 || bits == 4 || bits == 8)) TReaderGraphic::RaiseNamed(gesInvalidColorFormat, gesPSP);
  manager.Setup(TColorSetup{p.ColorScheme, bits, p.SamplesPerPixel, 0, rgb ? csBGR : p.ColorScheme, bits,
                            p.SamplesPerPixel, 0});
  return rgb ? TLogPalette{} : manager.CreateGrayPalette(false);
}

// A palette block's colours, into `palette`; false when it holds none. Entries past 256 or
// past the block are not read.
bool ReadPalette(TStream& stream, unsigned version, const TBlock& block, TColorManager& manager, TLogPalette& palette) {
  // From version 4 on the count stands in an information chunk of its own, and the
  // entries follow that chunk in the block.
  std::uint32_t count = 0;
  if (version > 3) {
    const std::int64_t infoEnd = ReadChunkEnd(stream, block.end, 8);
    count = Read32(stream);
    stream.SetPosition(infoEnd);
  } else {
    if (block.end - stream.Position() < 4) FailInvalid();
    count = Read32(stream);
  }
  const std::uint32_t used =
      static_cast<std::uint32_t>(std::min<std::int64_t>({count, 256, (block.end - stream.Position()) / 4}));
  std::vector<std::uint8_t> entries(std::size_t{used} * 4);
  stream.ReadBuffer(entries.data(), entries.size());
  const void* const data[1] = {entries.data()};
  if (used > 0) palette = manager.CreateColorPalette(data, pfInterlaced8Quad, used, true);
  return used > 0;
}

// Layer information: its type, the rectangle it covers and its channel count.
struct TLayerInfo {
  std::uint8_t type = 0;
  std::uint8_t rect[16] = {};
  std::uint16_t channelCount = 0;
  // Raster layers only: vector and other layers are passed by.
  bool Raster(unsigned version) const { return version > 3 ? type <= 1 : type == 0; }
};

TLayerInfo ReadLayerInfo(TStream& stream, unsigned version, const TBlock& layer) {
  TLayerInfo info;
  if (version > 3) {
    const std::int64_t infoEnd = ReadChunkEnd(stream, layer.end, 8);
    const std::uint16_t nameLength = Read16(stream);
    if (stream.Position() + nameLength + 17 > infoEnd) FailInvalid();
    stream.Seek(nameLength, TSeekOrigin::soCurrent);
    stream.ReadBuffer(&info.type, 1);
    stream.ReadBuffer(info.rect, 16);
    stream.SetPosition(infoEnd);
    const std::int64_t bitmapEnd = ReadChunkEnd(stream, layer.end, 8);
    Read16(stream);  // bitmap count
    info.channelCount = Read16(stream);
    stream.SetPosition(bitmapEnd);
  } else {
    if (layer.end - layer.start < 256 + 115 + 4) FailInvalid();
    stream.Seek(256, TSeekOrigin::soCurrent);
    stream.ReadBuffer(&info.type, 1);
    stream.ReadBuffer(info.rect, 16);
    stream.Seek(115 - 17, TSeekOrigin::soCurrent);
    Read16(stream);  // bitmap count
    info.channelCount = Read16(stream);
  }
  return info;
}

// The bank's first raster layer, its information read; false when the bank has none.
bool FindRasterLayer(TStream& stream, unsigned version, const TBlock& bank, std::int64_t fileEnd, TBlock& layer,
                     TLayerInfo& info) {
  while (ReadBlock(stream, version, bank.end, fileEnd, layer) && layer.type == btLayer) {
    info = ReadLayerInfo(stream, version, layer);
    if (info.Raster(version)) return true;
    stream.SetPosition(layer.end);
  }
  return false;
}

// Where a raster layer lies in the picture and the bytes of its planes' rows.
struct TLayerGeometry {
  std::int64_t left = 0, top = 0;
  std::size_t width = 0, height = 0, rowLength = 0, planeSize = 0, paddedRow = 0;
  unsigned bits = 0;

  TLayerGeometry(const TLayerInfo& info, std::size_t pictureWidth, std::size_t pictureHeight, unsigned sampleBits)
      : bits(sampleBits) {
    const std::uint8_t* rect = info.rect;
    left = static_cast<std::int32_t>(LittleEndian32(rect));
    top = static_cast<std::int32_t>(LittleEndian32(rect + 4));
    const std::int64_t right = static_cast<std::int32_t>(LittleEndian32(rect + 8)),
                       bottom = static_cast<std::int32_t>(LittleEndian32(rect + 12));
    if (left < 0 || top < 0 || right > static_cast<std::int64_t>(pictureWidth) ||
        bottom > static_cast<std::int64_t>(pictureHeight) || left > right || top > bottom)
      FailInvalid();
    width = static_cast<std::size_t>(right - left);
    height = static_cast<std::size_t>(bottom - top);
    rowLength = PlaneRowLength(width, bits);
    planeSize = rowLength * height;  // within the image's limits
    // The format's documents put every row on a 4-byte boundary; Paint Shop Pro pads
    // them so, other writers store them unpadded: a channel may hold either.
    paddedRow = ((width * bits + 7) / 8 + 3) & ~std::size_t{3};
  }
};

struct TChannel {
  std::uint16_t type;
  std::int64_t dataStart, end;
  std::uint64_t stored;
  std::size_t unpacked, stride;
};

// The channels' headers, read before any pixel: whether the layer has alpha decides the
// bitmap. Each channel's stored bytes are checked against its block.
struct TLayerChannels {
  std::vector<TChannel> channels;
  bool present[4] = {};

  TLayerChannels(TStream& stream, unsigned version, const TBlock& layer, std::int64_t fileEnd,
                 const TLayerInfo& info, TCompressionType compression, const TLayerGeometry& g) {
    if (compression != ctNone && compression != ctRLE && compression != ctLZ77 && g.planeSize > 0)
      throw EInvalidGraphic(FormatMessage(gesUnsupportedFeature, gesCompressionScheme, gesPSP));
    for (unsigned c = 0; c < info.channelCount; ++c) {
      TBlock channel;
      if (!ReadBlock(stream, version, layer.end, fileEnd, channel)) break;
      std::int64_t dataStart = 0;
      if (version > 3) dataStart = ReadChunkEnd(stream, channel.end, 16);
      const std::uint32_t packed = Read32(stream), unpacked = Read32(stream);
      Read16(stream);  // bitmap type
      const std::uint16_t channelType = Read16(stream);
      if (version == 3) dataStart = stream.Position();
      if (dataStart > channel.end) FailInvalid();  // the fields reach past the channel block
      if (channelType <= 3 && g.planeSize > 0) {
        const std::uint64_t stored = compression == ctNone ? unpacked : packed;
        const std::size_t stride = unpacked == g.planeSize ? g.rowLength : g.paddedRow;
        if (unpacked != stride * g.height) FailInvalid();
        if (stored > static_cast<std::uint64_t>(channel.end - dataStart)) {
          if (channel.end == fileEnd) throw EReadError(kStreamReadError);
          FailInvalid();
        }
        channels.push_back({channelType, dataStart, channel.end, stored, unpacked, stride});
        present[channelType] = true;
      }
      stream.SetPosition(channel.end);
    }
  }
};

// One channel at a time, each placed in the bitmap before the next is decoded: no more
// than one plane lives at once, and it is no larger than the channel's stored bytes can
// produce. What decoding does not produce stays blank.
class TChannelPlacer {
 public:
  TChannelPlacer(TBitmap& bitmap, TColorManager& manager, const TLayerGeometry& g, bool rgb, bool alpha)
      : bitmap_(bitmap), manager_(manager), g_(g), rgb_(rgb), pixelBytes_(alpha ? 4 : 3) {}

  void Place(TStream& stream, const TChannel& c, TCompressionType compression) {
    stream.SetPosition(c.dataStart);
    std::size_t room = c.unpacked;
    if (compression == ctRLE) room = static_cast<std::size_t>(std::min<std::uint64_t>(room, c.stored / 2 * 127 + 127));
    if (compression == ctLZ77) room = static_cast<std::size_t>(std::min<std::uint64_t>(room, c.stored * 1032 + 1024));
    std::unique_ptr<std::uint8_t[]> plane(new std::uint8_t[std::max<std::size_t>(room, 1)]);
    const std::size_t produced = Decode(stream, c, compression, plane.get(), room);
    // Whole rows only; a last row decoded in part has its missing bytes blank.
    const std::size_t rows = std::min(g_.height, (produced + c.stride - 1) / c.stride);
    if (rows * c.stride > produced) std::memset(plane.get() + produced, 0, std::min(room, rows * c.stride) - produced);
    for (std::size_t y = 0; y < rows; ++y)
      PlaceRow(c, plane.get() + y * c.stride, std::min(c.stride, room - y * c.stride),
               static_cast<int>(g_.top + static_cast<std::int64_t>(y)));
  }

 private:
  // The bytes the channel's data yields into `plane`, at most `room`.
  std::size_t Decode(TStream& stream, const TChannel& c, TCompressionType compression, std::uint8_t* plane,
                     std::size_t room) {
    if (compression == ctNone) {
      stream.ReadBuffer(plane, room);
      return room;
    }
    data_.resize(c.stored);
    stream.ReadBuffer(data_.data(), data_.size());
    const std::uint8_t* source = data_.data();
    std::uint8_t* dest = plane;
    if (compression == ctRLE) {
      // The run-length decoder does not say how far it got: its room, no more than
      // the stored bytes can fill, is cleared first.
      std::memset(dest, 0, room);
      TPSPRLEDecoder decoder;
      decoder.Decode(source, dest, static_cast<std::int32_t>(c.stored), static_cast<std::int32_t>(room));
      dest += room;
    } else {
      TLZ77Decoder decoder(kFlushFinish, false);
      decoder.DecodeInit();
      decoder.Decode(source, dest, static_cast<std::int32_t>(c.stored), static_cast<std::int32_t>(room));
      const int result = decoder.ZLibResult();
      decoder.DecodeEnd();
      if (result < 0 || result == 2) throw EGraphicCompression(kLZ77Error);  // 2: wants a dictionary
    }
    return static_cast<std::size_t>(dest - plane);
  }

  void PlaceRow(const TChannel& c, const std::uint8_t* row, std::size_t rowBytes, int line) {
    const std::size_t left = static_cast<std::size_t>(g_.left);
    if (rgb_) {
      // Red, green and blue to their bytes of a blue-green-red pixel, the composite to alpha.
      const std::size_t offset = c.type == 0 ? 3 : 3 - c.type;
      std::uint8_t* d = bitmap_.ScanLine(line) + left * pixelBytes_ + offset;
      const std::size_t count = std::min(g_.width, rowBytes);
      for (std::size_t x = 0; x < count; ++x, d += pixelBytes_) *d = row[x];
    } else if (left == 0 && rowBytes >= g_.rowLength) {
      const void* const sources[1] = {row};
      manager_.ConvertRow(std::span<const void* const>(sources, 1), rowBytes, bitmap_.ScanLine(line),
                          bitmap_.BytesPerScanline(), static_cast<std::uint32_t>(g_.width), 0xFF);
    } else {
      // Packed indices placed from column `left` on, one by one.
      std::uint8_t* d = bitmap_.ScanLine(line);
      const unsigned bits = g_.bits, mask = (1u << bits) - 1;
      const std::size_t count = std::min(g_.width, rowBytes * 8 / bits);
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = i * bits, to = (left + i) * bits;
        const unsigned v = (row[from >> 3] >> (8 - bits - (from & 7))) & mask;
        const unsigned shift = 8 - bits - (to & 7);
        d[to >> 3] = static_cast<std::uint8_t>((d[to >> 3] & ~(mask << shift)) | (v << shift));
      }
    }
  }

  TBitmap& bitmap_;
  TColorManager& manager_;
  const TLayerGeometry& g_;
  bool rgb_;
  std::size_t pixelBytes_;
  std::vector<std::uint8_t> data_;
};

}  // namespace

bool TPSPGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kFileHeader,
                    [](const std::uint8_t* b) { return SignatureMatches(b) && LittleEndian16(b + 32) >= 3; });
}

bool TPSPGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* head = ReadHeaderBytes(Stream, kHeadBytes);
  if (!head || !SignatureMatches(head) || LittleEndian16(head + 32) < 3) return false;
  const unsigned version = LittleEndian16(head + 32);
  const std::uint8_t* block = head + kFileHeader;
  // The attributes are always the first block.
  if (block[0] != '~' || LittleEndian16(block + 4) != btImageAttributes) return false;
  // Version 3 has an initial chunk length in the block header, later ones a chunk length after it.
  const std::uint8_t* a = head + kFileHeader + 14;
  TImageProperties& p = ImageProperties;
  p.Version = version;
  p.Width = LittleEndian32(a);
  p.Height = LittleEndian32(a + 4);
  double resolution = 0;
  std::uint8_t bits[8];
  for (int i = 0; i < 8; ++i) bits[i] = a[8 + i];
  std::uint64_t raw = 0;
  for (int i = 7; i >= 0; --i) raw = raw << 8 | bits[i];
  std::memcpy(&resolution, &raw, 8);
  if (a[16] == 2) resolution *= 2.54;
  p.XResolution = p.YResolution = static_cast<float>(resolution);
  static constexpr TCompressionType kCompressions[4] = {ctNone, ctRLE, ctLZ77, ctJPEG};
  const unsigned compression = LittleEndian16(a + 17);
  p.Compression = compression < 4 ? kCompressions[compression] : ctUnknown;
  const unsigned depth = LittleEndian16(a + 19);
  if (depth == 24) {
    p.ColorScheme = csRGB;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
  } else {
    p.ColorScheme = a[27] ? csGray : csIndexed;
    p.BitsPerSample = static_cast<std::uint8_t>(std::min(depth, 255u));
    p.SamplesPerPixel = 1;
  }
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  return true;
}

void TPSPGraphic::LoadFromStream(TStream& Stream) {
  // A refused load leaves the reader empty, whatever it had drawn.
  try {
    BeginLoad(Stream);
    if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
    const unsigned version = LittleEndian16(HeaderBytes() + 32);
    const std::int64_t fileEnd = Stream.Size();
    Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kFileHeader));
    StartProgress(gesPreparing);
    PassAttributes(Stream, version, fileEnd);

    const TImageProperties& p = ImageProperties;
    const bool rgb = p.ColorScheme == csRGB;
    const std::size_t width = p.Width, height = p.Height;
    TLogPalette palette = SetUpColors(ColorManager, p);
    CheckImageSize(width, height, ColorManager.TargetPixelFormat());
    // The bitmap is made once: when the layer shown says whether it has alpha, else at the end.
    auto allocate = [&](TPixelFormat format) {
      AllocateImage(width, height, format);
      if (!palette.empty()) SetPalette(palette);
    };
    EndProgress();

    bool shown = false;
    TBlock block;
    while (ReadBlock(Stream, version, fileEnd, fileEnd, block)) {
      if (block.type == btColorPalette && !rgb) {
        if (ReadPalette(Stream, version, block, ColorManager, palette) && !Empty()) SetPalette(palette);
      } else if (block.type == btLayerBank && !shown) {
        StartProgress(gesLoadingData);
        TBlock layer;
        TLayerInfo info;
        if (FindRasterLayer(Stream, version, block, fileEnd, layer, info)) {
          const TLayerGeometry g(info, width, height, rgb ? 8u : p.BitsPerSample);
          const TLayerChannels channels(Stream, version, layer, fileEnd, info, p.Compression, g);
          const std::int64_t afterChannels = Stream.Position();
          // A 24-bit layer with a fourth channel: its composite plane is the layer's transparency.
          const bool alpha = rgb && info.channelCount > 3 && channels.present[0];
          if (alpha) SetAlphaChannel(true);
          allocate(alpha ? pf32bit : ColorManager.TargetPixelFormat());
          shown = true;
          TChannelPlacer placer(*this, ColorManager, g, rgb, alpha);
          for (const TChannel& c : channels.channels)
            if (rgb ? c.type != 0 || alpha : c.type == 0) placer.Place(Stream, c, p.Compression);
          Stream.SetPosition(afterChannels);
          EndProgress();
          StartProgress(gesTransfering);
          for (std::size_t y = 0; y < g.height; ++y)
            RowProgress(static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(g.height));
          EndProgress();
        }
      }
      Stream.SetPosition(block.end);
    }
    // A file that stops inside a block's header is cut short, not a blank or whole picture.
    if (EndsInBlockHeader(Stream, version, fileEnd)) RaiseReadError();
    if (Empty()) allocate(ColorManager.TargetPixelFormat());
  } catch (...) {
    ReleaseImage();
    throw;
  }
}

}  // namespace vumo
