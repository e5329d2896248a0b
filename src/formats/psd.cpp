#include "formats/psd.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

namespace vumo {

namespace {

constexpr std::size_t kHeaderSize = 26;

enum TPSDMode : std::uint16_t {
  pmBitmap = 0,
  pmGrayscale = 1,
  pmIndexed = 2,
  pmRGB = 3,
  pmCMYK = 4,
  pmMultichannel = 7,
  pmDuotone = 8,
  pmLab = 9,
};

struct TPSDHeader {
  char Signature[4] = {};
  std::uint16_t Version = 0;
  std::uint16_t Channels = 0;
  std::uint32_t Height = 0;
  std::uint32_t Width = 0;
  std::uint16_t Depth = 0;
  std::uint16_t Mode = 0;
};

TPSDHeader ParseHeader(const std::uint8_t* b) {
  TPSDHeader h;
  std::memcpy(h.Signature, b, 4);
  h.Version = BigEndian16(b + 4);
  h.Channels = BigEndian16(b + 12);
  h.Height = BigEndian32(b + 14);
  h.Width = BigEndian32(b + 18);
  h.Depth = BigEndian16(b + 22);
  h.Mode = BigEndian16(b + 24);
  return h;
}

std::uint32_t ReadBe32(TStream& stream) {
  std::uint8_t b[4];
  stream.ReadBuffer(b, 4);
  return BigEndian32(b);
}

// Reads a section length (8 bytes wide in large documents) and checks the section is there.
std::uint64_t ReadSectionLength(TStream& stream, bool wide) {
  std::uint64_t length = ReadBe32(stream);
  if (wide) length = (length << 32) | ReadBe32(stream);
  if (length > static_cast<std::uint64_t>(stream.Remaining())) throw EReadError(kStreamReadError);
  return length;
}

void Skip(TStream& stream, std::uint64_t length) {
  stream.Seek(static_cast<std::int64_t>(length), TSeekOrigin::soCurrent);
}

// 16-bit big-endian samples to 8 bits, the colour manager's 16-to-8 scaling; with `invert`
// the stored value is taken as 65535 minus itself first.
void ReduceTo8(const std::uint8_t* source, std::uint8_t* target, std::size_t count, bool invert) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint16_t v = BigEndian16(source + 2 * i);
    if (invert) v = static_cast<std::uint16_t>(65535 - v);
    target[i] = static_cast<std::uint8_t>(MulDiv16(v, 255, 65535));
  }
}

void Invert8(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) target[i] = static_cast<std::uint8_t>(255 - source[i]);
}

// The rows of the channels shown, each a span of the pixel data: in place when the stream
// is in memory, else read a band of rows of one channel at a time (the rows of a channel lie
// one after the other), so no more than a band per channel is ever held.
class TChannelRows {
 public:
  // `start(c, r)` and `length(c, r)` place channel c's row r within the pixel data.
  template <typename Start, typename Length>
  TChannelRows(TStream& stream, std::size_t dataSize, unsigned channels, std::size_t rows, Start start, Length length)
      : stream_(stream), dataStart_(stream.Position()), rows_(rows) {
    if (const std::uint8_t* memory = stream.Memory()) memory_ = memory + dataStart_;
    for (unsigned c = 0; c < channels; ++c) {
      bands_[c].starts.resize(rows);
      bands_[c].lengths.resize(rows);
      for (std::size_t r = 0; r < rows; ++r) {
        bands_[c].starts[r] = start(c, r);
        bands_[c].lengths[r] = length(c, r);
      }
    }
    end_ = dataStart_ + static_cast<std::int64_t>(dataSize);
  }
  // Leaves the stream just past the pixel data, as a reader that took it all would.
  ~TChannelRows() { stream_.SetPosition(end_); }

  const std::uint8_t* Row(unsigned c, std::size_t r) {
    TBand& band = bands_[c];
    if (memory_) return memory_ + band.starts[r];
    if (r < band.first || r >= band.end) {
      constexpr std::size_t kBandBytes = std::size_t{1} << 18;
      band.first = r;
      band.end = r + 1;
      while (band.end < rows_ && band.starts[band.end] + band.lengths[band.end] - band.starts[r] <= kBandBytes)
        ++band.end;
      const std::size_t bytes = band.starts[band.end - 1] + band.lengths[band.end - 1] - band.starts[r];
      band.bytes.resize(bytes);
      stream_.SetPosition(dataStart_ + static_cast<std::int64_t>(band.starts[r]));
      stream_.ReadBuffer(band.bytes.data(), bytes);
    }
    return band.bytes.data() + (band.starts[r] - band.starts[band.first]);
  }

 private:
  struct TBand {
    std::vector<std::size_t> starts, lengths;
    std::vector<std::uint8_t> bytes;
    std::size_t first = 0, end = 0;
  };
  TStream& stream_;
  std::int64_t dataStart_;
  std::int64_t end_;
  std::size_t rows_;
  const std::uint8_t* memory_ = nullptr;
  TBand bands_[4];
};

}  // namespace

bool TPSDGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* bytes) {
    const TPSDHeader h = ParseHeader(bytes);
    static const char kSignature[4] = {'8', 'B', 'P', 'S'};
    bool result = h.Version == 1;
    for (int i = 0; i < 4; ++i) {
      char c = h.Signature[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != kSignature[i]) result = false;
    }
    return result;
  });
}

const char* TPSDGraphic::FormatName() const { return gesPSD; }

bool TPSDGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* bytes = ReadHeaderBytes(Stream, kHeaderSize);
  if (!bytes) RaiseReadError();
  const TPSDHeader h = ParseHeader(bytes);
  if (std::memcmp(h.Signature, "8BPS", 4) != 0) return false;
  Skip(Stream, ReadSectionLength(Stream, false));
  Skip(Stream, ReadSectionLength(Stream, false));
  Skip(Stream, ReadSectionLength(Stream, h.Version == 2));
  std::uint8_t code[2];
  Stream.ReadBuffer(code, 2);

  TImageProperties& p = ImageProperties;
  p.Version = h.Version;
  p.Options = ioBigEndian;
  p.BitsPerSample = static_cast<std::uint8_t>(h.Depth & 0xFF);
  p.ChannelCount = static_cast<std::uint8_t>(std::min<unsigned>(h.Channels, 255));
  p.SamplesPerPixel = static_cast<std::uint8_t>(std::min<unsigned>(h.Channels, 4));
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  p.Width = h.Width;
  p.Height = h.Height;
  p.Compression = BigEndian16(code) == 1 ? ctPackedBits : ctNone;
  switch (h.Mode) {
    case pmBitmap:
      p.ColorScheme = csGray;
      p.Options |= ioMinIsWhite;
      break;
    case pmGrayscale:
    case pmDuotone: p.ColorScheme = csGray; break;
    case pmIndexed: p.ColorScheme = csIndexed; break;
    case pmRGB:
    case pmMultichannel: p.ColorScheme = h.Channels == 3 ? csRGB : csRGBA; break;
    case pmCMYK: p.ColorScheme = csCMYK; break;
    case pmLab: p.ColorScheme = csCIELab; break;
    default: p.ColorScheme = csUnknown; break;
  }
  return true;
}

void TPSDGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeaderSize));
  StartProgress(gesPreparing);
  const TPSDHeader h = ParseHeader(HeaderBytes());
  const TImageProperties& p = ImageProperties;

  // Large documents (version 2) count their rows and sections in wider fields; they are not
  // read. Other versions are taken as ordinary documents.
  if (h.Version == 2) RaiseInvalidImage();
  if (h.Channels == 0 || h.Channels > 255) RaiseInvalidImage();
  const unsigned bits = p.BitsPerSample;
  // Only the depth's low byte counts. 32-bit documents hold floating-point samples.
  if (bits != 1 && bits != 8 && bits != 16) RaiseInvalidColorFormat();

  TColorScheme scheme = p.ColorScheme;
  // Multichannel documents of one or two channels have no colour triple: the first
  // channel is shown in grey.
  if (h.Mode == pmMultichannel && h.Channels < 3) scheme = csGray;
  const bool copyPath = scheme == csGray || scheme == csIndexed;
  unsigned channelsUsed = 0;
  switch (scheme) {
    case csGray:
    case csIndexed: channelsUsed = 1; break;
    case csRGB:
    case csCIELab: channelsUsed = 3; break;
    case csRGBA:
    case csCMYK: channelsUsed = 4; break;
    default: channelsUsed = 0; break;
  }
  if (channelsUsed > h.Channels) RaiseInvalidColorFormat();
  if (bits == 1 && !copyPath && scheme != csUnknown) RaiseInvalidColorFormat();

  // CMYK and Lab samples of 16 bits are brought to 8 here: their converters neither swap
  // bytes nor scale a 16-bit Lab triple.
  const bool reduceFirst = bits == 16 && (scheme == csCMYK || scheme == csCIELab);
  TConversionOptions sourceOptions = kBigEndianSamples;
  TColorScheme target = scheme;
  std::uint8_t targetSamples = copyPath ? 1 : p.SamplesPerPixel;
  switch (scheme) {
    case csRGB: target = csBGR; break;
    case csRGBA: target = csBGRA; break;
    case csCMYK:
      target = csBGR;
      targetSamples = 3;
      break;
    case csCIELab:
      target = csBGR;
      targetSamples = 3;
      sourceOptions |= cvLabScaledLightness | cvLabChromaOffset;
      break;
    default: break;
  }
  TPixelFormat format = pf24bit;
  if (scheme != csUnknown) {
    TColorSetup colors;
    colors.SourceScheme = scheme;
    colors.SourceBits = reduceFirst ? 8 : static_cast<std::uint8_t>(bits);
    colors.SourceSamples = copyPath ? 1 : scheme == csCIELab ? 3 : p.SamplesPerPixel;
    colors.SourceOptions = sourceOptions;
    colors.TargetScheme = target;
    colors.TargetBits = bits == 16 ? 8 : static_cast<std::uint8_t>(bits);
    colors.TargetSamples = targetSamples;
    ColorManager.Setup(colors);
    format = ColorManager.TargetPixelFormat();
  }
  const std::size_t width = p.Width, height = p.Height;
  CheckImageSize(width, height, format);
  SetPixelFormat(format);

  // Colour mode data: the palette of indexed documents, three planes of one third each.
  const std::uint64_t modeDataLength = ReadSectionLength(Stream, false);
  const std::int64_t modeDataStart = Stream.Position();
  if (scheme == csIndexed) {
    const std::size_t plane = static_cast<std::size_t>(modeDataLength / 3);
    const std::size_t count = std::min<std::size_t>(plane, 256);
    std::uint8_t colors[3][256] = {};
    for (std::size_t k = 0; k < 3; ++k) {
      Stream.SetPosition(modeDataStart + static_cast<std::int64_t>(k * plane));
      Stream.ReadBuffer(colors[k], count);
    }
    const void* const data[3] = {colors[0], colors[1], colors[2]};
    if (count > 0) SetPalette(ColorManager.CreateColorPalette(data, pfPlane8Triple, static_cast<std::uint32_t>(count), false));
  } else if (scheme == csGray) {
    SetPalette(ColorManager.CreateGrayPalette((p.Options & ioMinIsWhite) != 0));
  }
  Stream.SetPosition(modeDataStart + static_cast<std::int64_t>(modeDataLength));
  Skip(Stream, ReadSectionLength(Stream, false));
  // The layer section's layer count is negative when the first extra channel holds the
  // transparency of the merged picture. Photoshop then stores its colours blended over
  // white; ImageMagick writes the same count with the colours as they are, so the colours
  // are unblended only when every pixel is consistent with a white matte.
  bool mergedTransparency = false;
  const std::uint64_t layerSection = ReadSectionLength(Stream, false);
  const std::int64_t layerStart = Stream.Position();
  if (layerSection >= 6 && ReadBe32(Stream) >= 2) {
    std::uint8_t count[2];
    Stream.ReadBuffer(count, 2);
    mergedTransparency = static_cast<std::int16_t>(BigEndian16(count)) < 0;
  }
  Stream.SetPosition(layerStart + static_cast<std::int64_t>(layerSection));
  const bool unmatte = mergedTransparency && scheme == csRGBA;
  if (unmatte) SetAlphaChannel(true);
  std::uint8_t code[2];
  Stream.ReadBuffer(code, 2);
  const std::uint16_t compression = BigEndian16(code);
  if (compression > 1 && scheme != csUnknown && width > 0 && height > 0)
    throw EInvalidGraphic(FormatMessage(gesUnsupportedFeature, gesCompressionScheme, gesPSD));

  const std::size_t bytesPerSample = bits == 16 ? 2 : 1;
  const std::size_t rowLength = bits == 1 ? (width + 7) / 8 : width * bytesPerSample;
  const bool packBits = compression == 1;

  // Everything the pixels need is checked against the rest of the file before the bitmap
  // is made: the byte-count table, then the channels that are shown.
  std::vector<std::uint32_t> counts;
  std::vector<std::size_t> offsets;
  std::size_t dataSize = 0;
  if (channelsUsed > 0 && width > 0 && height > 0) {
    if (packBits) {
      const auto tableBytes = CheckedMul(height, h.Channels, 2);
      if (!tableBytes || *tableBytes > static_cast<std::size_t>(Stream.Remaining())) RaiseReadError();
      const std::size_t used = height * channelsUsed;
      std::vector<std::uint8_t> table(used * 2);
      Stream.ReadBuffer(table.data(), table.size());
      Skip(Stream, *tableBytes - table.size());
      counts.resize(used);
      offsets.resize(used);
      for (std::size_t i = 0; i < used; ++i) {
        counts[i] = BigEndian16(&table[2 * i]);
        offsets[i] = dataSize;
        dataSize += counts[i];
      }
    } else {
      const auto planeBytes = CheckedMul(rowLength, height, channelsUsed);
      if (!planeBytes) RaiseReadError();
      dataSize = *planeBytes;
    }
    if (dataSize > static_cast<std::size_t>(Stream.Remaining())) RaiseReadError();
  }

  // Rows converted or copied raw are written whole; PackBits rows decoded straight into the
  // bitmap may end short and leave the rest of the row as it was.
  const bool convertGray = copyPath && bits == 16;
  if (channelsUsed > 0 && !(packBits && copyPath && !convertGray))
    SetSizeToOverwrite(static_cast<int>(width), static_cast<int>(height));
  else
    SetSize(static_cast<int>(width), static_cast<int>(height));
  TEmptyOnFailure guard(*this);
  EndProgress();
  if (channelsUsed == 0 || Empty()) {
    StartProgress(gesTransfering);
    for (std::size_t r = 0; r < height; ++r)
      RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
    EndProgress();
    return;
  }

  StartProgress(copyPath ? gesTransfering : gesLoadingData);
  const std::size_t planeSize = rowLength * height;
  TChannelRows data(
      Stream, dataSize, channelsUsed, height,
      [&](unsigned c, std::size_t r) { return packBits ? offsets[c * height + r] : c * planeSize + r * rowLength; },
      [&](unsigned c, std::size_t r) { return packBits ? std::size_t{counts[c * height + r]} : rowLength; });
  if (!copyPath) {
    EndProgress();
    StartProgress(gesTransfering);
  }

  bool whiteMatte = unmatte;
  TPackbitsRLEDecoder decoder;
  decoder.DecodeInit();
  // One decoded row per channel shown; the rows converted need 8-bit samples.
  std::vector<std::uint8_t> rows(packBits || reduceFirst || scheme == csCMYK ? rowLength * channelsUsed : 0);
  std::vector<std::uint8_t> reduced(reduceFirst || scheme == csCMYK ? width * channelsUsed : 0);
  for (std::size_t r = 0; r < height; ++r) {
    std::uint8_t* scanline = ScanLine(static_cast<int>(r));
    const std::uint8_t* channelRows[4] = {};
    TPackbitsRLEDecoder::TRow packed[4];
    for (unsigned c = 0; c < channelsUsed; ++c) {
      if (packBits) {
        // Direct rows of 1 and 8 bits decode straight into the bitmap.
        std::uint8_t* dest = copyPath && !convertGray ? scanline : &rows[c * rowLength];
        packed[c] = {data.Row(c, r), counts[c * height + r], dest, rowLength};
        channelRows[c] = dest;
      } else {
        channelRows[c] = data.Row(c, r);
      }
    }
    if (packBits) decoder.DecodeRows(std::span<const TPackbitsRLEDecoder::TRow>(packed, channelsUsed));
    if (copyPath) {
      if (convertGray) {
        ConvertRowTo(static_cast<int>(r), channelRows[0], rowLength);
      } else if (!packBits) {
        CopyRowTo(static_cast<int>(r), channelRows[0], rowLength);
      }
    } else {
      const void* planes[4] = {};
      for (unsigned c = 0; c < channelsUsed; ++c) {
        if (reduceFirst) {
          std::uint8_t* out = &reduced[c * width];
          ReduceTo8(channelRows[c], out, width, scheme == csCMYK);
          planes[c] = out;
        } else if (scheme == csCMYK) {
          // CMYK is stored inverted: 255 is no ink.
          std::uint8_t* out = &reduced[c * width];
          Invert8(channelRows[c], out, width);
          planes[c] = out;
        } else {
          planes[c] = channelRows[c];
        }
      }
      ConvertRowTo(static_cast<int>(r), std::span<const void* const>(planes, channelsUsed),
                   reduceFirst || scheme == csCMYK ? width : rowLength);
      if (whiteMatte) whiteMatte = BlendedOverWhiteBGRA(scanline, width);
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  decoder.DecodeEnd();
  if (whiteMatte)
    for (std::size_t r = 0; r < height; ++r) UnmatteWhiteBGRA(ScanLine(static_cast<int>(r)), width);
  EndProgress();
}

}  // namespace vumo
