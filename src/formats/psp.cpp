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

}  // namespace

const char* TPSPGraphic::FormatName() const { return gesPSP; }

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
  switch (LittleEndian16(a + 17)) {
    case 0:
      p.Compression = ctNone;
      break;
    case 1:
      p.Compression = ctRLE;
      break;
    case 2:
      p.Compression = ctLZ77;
      break;
    case 3:
      p.Compression = ctJPEG;
      break;
    default:
      p.Compression = ctUnknown;
      break;
  }
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
    const std::uint8_t* head = HeaderBytes();
    const unsigned version = LittleEndian16(head + 32);
    const std::int64_t fileEnd = Stream.Size();
    Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kFileHeader));
    StartProgress(gesPreparing);
    TBlock attributes;
    if (!ReadBlock(Stream, version, fileEnd, fileEnd, attributes)) RaiseInvalidImage();
    Stream.SetPosition(attributes.end);

    const TImageProperties& p = ImageProperties;
    const unsigned bits = p.BitsPerSample;
    if (!(p.ColorScheme == csRGB || bits == 1 || bits == 4 || bits == 8)) RaiseInvalidColorFormat();
    const bool rgb = p.ColorScheme == csRGB;
    const std::size_t width = p.Width, height = p.Height;
    TColorSetup colors;
    colors.SourceScheme = p.ColorScheme;
    colors.TargetScheme = rgb ? csBGR : p.ColorScheme;
    colors.SourceBits = colors.TargetBits = static_cast<std::uint8_t>(bits);
    colors.SourceSamples = colors.TargetSamples = p.SamplesPerPixel;
    ColorManager.Setup(colors);
    CheckImageSize(width, height, ColorManager.TargetPixelFormat());
    // Without a palette block, indices show as grey levels. The bitmap is made once, when
    // the layer shown says whether it has alpha, or at the end for a file without one.
    TLogPalette palette;
    if (!rgb) palette = ColorManager.CreateGrayPalette(false);
    auto allocate = [&](TPixelFormat format) {
      AllocateImage(width, height, format);
      if (!palette.empty()) SetPalette(palette);
    };
    EndProgress();

    bool shown = false;
    TBlock block;
    while (ReadBlock(Stream, version, fileEnd, fileEnd, block)) {
      if (block.type == btColorPalette && !rgb) {
        // From version 4 on the count stands in an information chunk of its own, and the
        // entries follow that chunk in the block.
        std::uint32_t count = 0;
        if (version > 3) {
          const std::int64_t infoEnd = ReadChunkEnd(Stream, block.end, 8);
          count = Read32(Stream);
          Stream.SetPosition(infoEnd);
        } else {
          if (block.end - Stream.Position() < 4) RaiseInvalidImage();
          count = Read32(Stream);
        }
        // Entries past 256 or past the block are not read.
        const std::uint32_t used =
            static_cast<std::uint32_t>(std::min<std::int64_t>({count, 256, (block.end - Stream.Position()) / 4}));
        std::vector<std::uint8_t> entries(std::size_t{used} * 4);
        Stream.ReadBuffer(entries.data(), entries.size());
        const void* const data[1] = {entries.data()};
        if (used > 0) palette = ColorManager.CreateColorPalette(data, pfInterlaced8Quad, used, true);
        if (used > 0 && !Empty()) SetPalette(palette);
      } else if (block.type == btLayerBank && !shown) {
        StartProgress(gesLoadingData);
        TBlock layer;
        while (!shown && ReadBlock(Stream, version, block.end, fileEnd, layer) && layer.type == btLayer) {
          // Layer information: its type and the rectangle it covers.
          std::uint8_t type = 0;
          std::uint8_t rect[16];
          std::uint16_t channelCount = 0;
          if (version > 3) {
            const std::int64_t infoEnd = ReadChunkEnd(Stream, layer.end, 8);
            const std::uint16_t nameLength = Read16(Stream);
            if (Stream.Position() + nameLength + 17 > infoEnd) RaiseInvalidImage();
            Stream.Seek(nameLength, TSeekOrigin::soCurrent);
            Stream.ReadBuffer(&type, 1);
            Stream.ReadBuffer(rect, 16);
            Stream.SetPosition(infoEnd);
            const std::int64_t bitmapEnd = ReadChunkEnd(Stream, layer.end, 8);
            Read16(Stream);  // bitmap count
            channelCount = Read16(Stream);
            Stream.SetPosition(bitmapEnd);
          } else {
            if (layer.end - layer.start < 256 + 115 + 4) RaiseInvalidImage();
            Stream.Seek(256, TSeekOrigin::soCurrent);
            Stream.ReadBuffer(&type, 1);
            Stream.ReadBuffer(rect, 16);
            Stream.Seek(115 - 17, TSeekOrigin::soCurrent);
            Read16(Stream);  // bitmap count
            channelCount = Read16(Stream);
          }
          if (version > 3 ? type > 1 : type != 0) {  // vector and other layers
            Stream.SetPosition(layer.end);
            continue;
          }
          const std::int64_t left = static_cast<std::int32_t>(LittleEndian32(rect)),
                             top = static_cast<std::int32_t>(LittleEndian32(rect + 4)),
                             right = static_cast<std::int32_t>(LittleEndian32(rect + 8)),
                             bottom = static_cast<std::int32_t>(LittleEndian32(rect + 12));
          if (left < 0 || top < 0 || right > static_cast<std::int64_t>(width) ||
              bottom > static_cast<std::int64_t>(height) || left > right || top > bottom)
            RaiseInvalidImage();
          const std::size_t layerWidth = static_cast<std::size_t>(right - left),
                            layerHeight = static_cast<std::size_t>(bottom - top);
          const std::size_t rowLength = PlaneRowLength(layerWidth, rgb ? 8 : bits);
          const std::size_t planeSize = rowLength * layerHeight;  // within the image's limits
          // The format's documents put every row on a 4-byte boundary; Paint Shop Pro pads
          // them so, other writers store them unpadded: a channel may hold either.
          const std::size_t paddedRow = ((layerWidth * (rgb ? 8 : bits) + 7) / 8 + 3) & ~std::size_t{3};
          if (p.Compression != ctNone && p.Compression != ctRLE && p.Compression != ctLZ77 && planeSize > 0)
            RaiseUnsupported(gesCompressionScheme);

          // The channels' headers first: whether the layer has alpha decides the bitmap.
          struct TChannel {
            std::uint16_t type;
            std::int64_t dataStart, end;
            std::uint64_t stored;
            std::size_t unpacked, stride;
          };
          std::vector<TChannel> channels;
          bool present[4] = {};
          for (unsigned c = 0; c < channelCount; ++c) {
            TBlock channel;
            if (!ReadBlock(Stream, version, layer.end, fileEnd, channel)) break;
            std::int64_t dataStart = 0;
            if (version > 3) dataStart = ReadChunkEnd(Stream, channel.end, 16);
            const std::uint32_t packed = Read32(Stream), unpacked = Read32(Stream);
            Read16(Stream);  // bitmap type
            const std::uint16_t channelType = Read16(Stream);
            if (version == 3) dataStart = Stream.Position();
            if (dataStart > channel.end) RaiseInvalidImage();  // the fields reach past the channel block
            if (channelType <= 3 && planeSize > 0) {
              const std::uint64_t stored = p.Compression == ctNone ? unpacked : packed;
              const std::size_t stride = unpacked == planeSize ? rowLength : paddedRow;
              if (unpacked != stride * layerHeight) RaiseInvalidImage();
              if (stored > static_cast<std::uint64_t>(channel.end - dataStart)) {
                if (channel.end == fileEnd) RaiseReadError();
                RaiseInvalidImage();
              }
              channels.push_back({channelType, dataStart, channel.end, stored, unpacked, stride});
              present[channelType] = true;
            }
            Stream.SetPosition(channel.end);
          }
          const std::int64_t afterChannels = Stream.Position();
          // A 24-bit layer with a fourth channel: its composite plane is the layer's transparency.
          const bool alpha = rgb && channelCount > 3 && present[0];
          if (alpha) SetAlphaChannel(true);
          allocate(alpha ? pf32bit : ColorManager.TargetPixelFormat());
          shown = true;

          // One channel at a time, each placed in the bitmap before the next is decoded:
          // no more than one plane lives at once, and it is no larger than the channel's
          // stored bytes can produce. What decoding does not produce stays blank.
          const std::size_t pixelBytes = alpha ? 4 : 3;
          std::vector<std::uint8_t> data;
          for (const TChannel& c : channels) {
            if (rgb && c.type == 0 && !alpha) continue;
            if (!rgb && c.type != 0) continue;
            Stream.SetPosition(c.dataStart);
            std::size_t room = c.unpacked;
            if (p.Compression == ctRLE) room = static_cast<std::size_t>(std::min<std::uint64_t>(room, c.stored / 2 * 127 + 127));
            if (p.Compression == ctLZ77) room = static_cast<std::size_t>(std::min<std::uint64_t>(room, c.stored * 1032 + 1024));
            std::unique_ptr<std::uint8_t[]> plane(new std::uint8_t[std::max<std::size_t>(room, 1)]);
            std::size_t produced = 0;
            if (p.Compression == ctNone) {
              Stream.ReadBuffer(plane.get(), room);
              produced = room;
            } else {
              data.resize(c.stored);
              Stream.ReadBuffer(data.data(), data.size());
              const std::uint8_t* source = data.data();
              std::uint8_t* dest = plane.get();
              if (p.Compression == ctRLE) {
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
              produced = static_cast<std::size_t>(dest - plane.get());
            }
            // Whole rows only; a last row decoded in part has its missing bytes blank.
            const std::size_t rows = std::min(layerHeight, (produced + c.stride - 1) / c.stride);
            if (rows * c.stride > produced) std::memset(plane.get() + produced, 0, std::min(room, rows * c.stride) - produced);
            for (std::size_t y = 0; y < rows; ++y) {
              const std::uint8_t* row = plane.get() + y * c.stride;
              const std::size_t rowBytes = std::min(c.stride, room - y * c.stride);
              const int line = static_cast<int>(top + static_cast<std::int64_t>(y));
              if (rgb) {
                // Red, green and blue to their bytes of a blue-green-red pixel, the composite to alpha.
                const std::size_t offset = c.type == 0 ? 3 : 3 - c.type;
                std::uint8_t* d = ScanLine(line) + static_cast<std::size_t>(left) * pixelBytes + offset;
                const std::size_t count = std::min(layerWidth, rowBytes);
                for (std::size_t x = 0; x < count; ++x, d += pixelBytes) *d = row[x];
              } else if (left == 0 && rowBytes >= rowLength) {
                const void* const sources[1] = {row};
                ColorManager.ConvertRow(std::span<const void* const>(sources, 1), rowBytes, ScanLine(line),
                                        BytesPerScanline(), static_cast<std::uint32_t>(layerWidth), 0xFF);
              } else {
                // Packed indices placed from column `left` on, one by one.
                std::uint8_t* d = ScanLine(line);
                const unsigned mask = (1u << bits) - 1;
                const std::size_t count = std::min(layerWidth, rowBytes * 8 / bits);
                for (std::size_t i = 0; i < count; ++i) {
                  const std::size_t from = i * bits, to = (static_cast<std::size_t>(left) + i) * bits;
                  const unsigned v = (row[from >> 3] >> (8 - bits - (from & 7))) & mask;
                  const unsigned shift = 8 - bits - (to & 7);
                  d[to >> 3] = static_cast<std::uint8_t>((d[to >> 3] & ~(mask << shift)) | (v << shift));
                }
              }
            }
          }
          Stream.SetPosition(afterChannels);
          EndProgress();
          StartProgress(gesTransfering);
          for (std::size_t y = 0; y < layerHeight; ++y)
            RowProgress(static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(layerHeight));
          EndProgress();
        }
        Stream.SetPosition(block.end);
        continue;
      }
      Stream.SetPosition(block.end);
    }
    // A file that stops inside a block's header is cut short, not a blank or whole picture.
    const std::int64_t left = fileEnd - Stream.Position();
    if (left > 0 && left < static_cast<std::int64_t>(BlockHeaderSize(version))) RaiseReadError();
    if (Empty()) allocate(ColorManager.TargetPixelFormat());
  } catch (...) {
    ReleaseImage();
    throw;
  }
}

}  // namespace vumo
