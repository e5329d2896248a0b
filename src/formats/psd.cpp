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

// Each mode's colour scheme by its number: bitmap (white stored as 0), grey, indexed, RGB,
// CMYK, two numbers no mode has, multichannel, duotone and Lab. RGB and multichannel
// documents of other than three channels carry alpha.
constexpr std::uint16_t kModeBitmap = 0, kModeMultichannel = 7;
constexpr TColorScheme kModeSchemes[10] = {csGray,    csGray,    csIndexed, csRGB,  csCMYK,
                                           csUnknown, csUnknown, csRGB,     csGray, csCIELab};

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

[[noreturn]] void Fail(const char* message) { TReaderGraphic::RaiseNamed(message, gesPSD); }

// What the document's mode and depth make of its channels.
struct TPsdPlan {
  TColorScheme scheme = csUnknown;
  unsigned bits = 0;
  unsigned channelsUsed = 0;  // the channels shown; none for modes not read, which load blank
  bool copyPath = false;      // grey and indexed rows are the bitmap's own rows
  bool reduceFirst = false;
  TPixelFormat format = pf24bit;
  // Rows converted or copied raw are written whole; PackBits rows decoded straight into the
  // bitmap may end short and leave the rest of the row as it was.
  bool ConvertGray() const { return copyPath && bits == 16; }
  bool DecodesIntoBitmap(bool packBits) const { return packBits && copyPath && !ConvertGray(); }
  // CMYK is stored inverted: 255 is no ink.
  bool Inverted() const { return scheme == csCMYK; }
  bool Rewritten() const { return reduceFirst || Inverted(); }
};

unsigned ChannelsShown(TColorScheme scheme) {
  switch (scheme) {
    case csGray:
    case csIndexed: return 1;
    case csRGB:
    case csCIELab: return 3;
    case csRGBA:
    case csCMYK: return 4;
    default: return 0;
  }
}

TColorSetup ColorSetupFor(const TPsdPlan& plan, const TImageProperties& p) {
  TColorSetup colors;
  colors.SourceScheme = colors.TargetScheme = plan.scheme;
  colors.SourceBits = plan.reduceFirst ? 8 : static_cast<std::uint8_t>(plan.bits);
  colors.SourceSamples = plan.copyPath ? 1 : plan.scheme == csCIELab ? 3 : p.SamplesPerPixel;
  colors.SourceOptions = kBigEndianSamples;
  colors.TargetBits = plan.bits == 16 ? 8 : static_cast<std::uint8_t>(plan.bits);
  colors.TargetSamples = plan.copyPath ? 1 : p.SamplesPerPixel;
  switch (plan.scheme) {
    case csRGB: colors.TargetScheme = csBGR; break;
    case csRGBA: colors.TargetScheme = csBGRA; break;
    case csCMYK:
      colors.TargetScheme = csBGR;
      colors.TargetSamples = 3;
      break;
    case csCIELab:
      colors.TargetScheme = csBGR;
      colors.TargetSamples = 3;
      colors.SourceOptions |= cvLabScaledLightness | cvLabChromaOffset;
      break;
    default: break;
  }
  return colors;
}

// The header checked, then what its mode makes of the channels, the colour manager set up to
// convert them.
TPsdPlan PlanChannels(const TPSDHeader& h, const TImageProperties& p, TColorManager& manager) {
  // Large documents (version 2) count their rows and sections in wider fields; they are not
  // read. Other versions are taken as ordinary documents.
  if (h.Version == 2 || h.Channels == 0 || h.Channels > 255) Fail(gesInvalidImage);
  // Only the depth's low byte counts. 32-bit documents hold floating-point samples.
  if (p.BitsPerSample != 1 && p.BitsPerSample != 8 && p.BitsPerSample != 16) Fail(gesInvalidColorFormat);
  TPsdPlan plan;
  plan.bits = p.BitsPerSample;
  plan.scheme = p.ColorScheme;
  // Multichannel documents of one or two channels have no colour triple: the first
  // channel is shown in grey.
  if (h.Mode == kModeMultichannel && h.Channels < 3) plan.scheme = csGray;
  plan.copyPath = plan.scheme == csGray || plan.scheme == csIndexed;
  plan.channelsUsed = ChannelsShown(plan.scheme);
  if (plan.channelsUsed > h.Channels) Fail(gesInvalidColorFormat);
  if (plan.bits == 1 && !plan.copyPath && plan.scheme != csUnknown) Fail(gesInvalidColorFormat);
  // CMYK and Lab samples of 16 bits are brought to 8 here: their converters neither swap
  // bytes nor scale a 16-bit Lab triple.
  plan.reduceFirst = plan.bits == 16 && (plan.scheme == csCMYK || plan.scheme == csCIELab);
  if (plan.scheme != csUnknown) {
    manager.Setup(ColorSetupFor(plan, p));
    plan.format = manager.TargetPixelFormat();
  }
  return plan;
}

// Colour mode data: the palette of indexed documents, three planes of one third each.
void ReadColorModeData(TStream& stream, const TPsdPlan& plan, TBitmap& bitmap, TColorManager& manager,
                       bool minIsWhite) {
  const std::uint64_t length = ReadSectionLength(stream, false);
  const std::int64_t start = stream.Position();
  if (plan.scheme == csIndexed) {
    const std::size_t plane = static_cast<std::size_t>(length / 3);
    const std::size_t count = std::min<std::size_t>(plane, 256);
    std::uint8_t colors[3][256] = {};
    for (std::size_t k = 0; k < 3; ++k) {
      stream.SetPosition(start + static_cast<std::int64_t>(k * plane));
      stream.ReadBuffer(colors[k], count);
    }
    const void* const data[3] = {colors[0], colors[1], colors[2]};
    if (count > 0)
      bitmap.SetPalette(manager.CreateColorPalette(data, pfPlane8Triple, static_cast<std::uint32_t>(count), false));
  } else if (plan.scheme == csGray) {
    bitmap.SetPalette(manager.CreateGrayPalette(minIsWhite));
  }
  stream.SetPosition(start + static_cast<std::int64_t>(length));
}

// The layer section's layer count is negative when the first extra channel holds the
// transparency of the merged picture. Photoshop then stores its colours blended over
// white; ImageMagick writes the same count with the colours as they are, so the colours
// are unblended only when every pixel is consistent with a white matte.
bool ReadMergedTransparency(TStream& stream) {
  bool mergedTransparency = false;
  const std::uint64_t layerSection = ReadSectionLength(stream, false);
  const std::int64_t layerStart = stream.Position();
  if (layerSection >= 6 && ReadBe32(stream) >= 2) {
    std::uint8_t count[2];
    stream.ReadBuffer(count, 2);
    mergedTransparency = static_cast<std::int16_t>(BigEndian16(count)) < 0;
  }
  stream.SetPosition(layerStart + static_cast<std::int64_t>(layerSection));
  return mergedTransparency;
}

// Where the rows of the channels shown lie in the pixel data, checked against the rest of
// the file before the bitmap is made: the PackBits byte-count table, or whole planes.
struct TPsdRowTable {
  bool packBits = false;
  std::size_t rowLength = 0, height = 0, dataSize = 0;
  std::vector<std::uint32_t> counts;
  std::vector<std::size_t> offsets;

  TPsdRowTable(TStream& stream, const TPsdPlan& plan, unsigned channels, std::size_t width, std::size_t rows,
               std::uint16_t compression)
      : packBits(compression == 1), rowLength(plan.bits == 1 ? (width + 7) / 8 : width * (plan.bits == 16 ? 2 : 1)),
        height(rows) {
    if (plan.channelsUsed == 0 || width == 0 || height == 0) return;
    if (packBits) {
      const auto tableBytes = CheckedMul(height, channels, 2);
      if (!tableBytes || *tableBytes > static_cast<std::size_t>(stream.Remaining())) throw EReadError(kStreamReadError);
      const std::size_t used = height * plan.channelsUsed;
      std::vector<std::uint8_t> table(used * 2);
      stream.ReadBuffer(table.data(), table.size());
      Skip(stream, *tableBytes - table.size());
      counts.resize(used);
      offsets.resize(used);
      for (std::size_t i = 0; i < used; ++i) {
        counts[i] = BigEndian16(&table[2 * i]);
        offsets[i] = dataSize;
        dataSize += counts[i];
      }
    } else {
      const auto planeBytes = CheckedMul(rowLength, height, plan.channelsUsed);
      if (!planeBytes) throw EReadError(kStreamReadError);
      dataSize = *planeBytes;
    }
    if (dataSize > static_cast<std::size_t>(stream.Remaining())) throw EReadError(kStreamReadError);
  }
  std::size_t Start(unsigned c, std::size_t r) const {
    return packBits ? offsets[c * height + r] : c * rowLength * height + r * rowLength;
  }
  std::size_t Length(unsigned c, std::size_t r) const {
    return packBits ? std::size_t{counts[c * height + r]} : rowLength;
  }
};

// The rows of the channels shown, each a span of the pixel data: in place when the stream
// is in memory, else read a band of rows of one channel at a time (the rows of a channel lie
// one after the other), so no more than a band per channel is ever held.
class TChannelRows {
 public:
  TChannelRows(TStream& stream, const TPsdRowTable& table, unsigned channels)
      : stream_(stream), dataStart_(stream.Position()), rows_(table.height) {
    if (const std::uint8_t* memory = stream.Memory()) memory_ = memory + dataStart_;
    for (unsigned c = 0; c < channels; ++c) {
      bands_[c].starts.resize(rows_);
      bands_[c].lengths.resize(rows_);
      for (std::size_t r = 0; r < rows_; ++r) {
        bands_[c].starts[r] = table.Start(c, r);
        bands_[c].lengths[r] = table.Length(c, r);
      }
    }
    end_ = dataStart_ + static_cast<std::int64_t>(table.dataSize);
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

// One row of every channel shown as the colour manager takes it: PackBits decoded (direct
// rows of 1 and 8 bits straight into the bitmap), 16-bit CMYK and Lab reduced to 8 bits and
// CMYK's ink turned into colour.
class TPsdRowPlanes {
 public:
  TPsdRowPlanes(const TPsdPlan& plan, const TPsdRowTable& table, TChannelRows& data, std::size_t width)
      : plan_(plan), table_(table), data_(data), width_(width),
        rows_(table.packBits || plan.Rewritten() ? table.rowLength * plan.channelsUsed : 0),
        rewritten_(plan.Rewritten() ? width * plan.channelsUsed : 0) {
    decoder_.DecodeInit();
  }
  ~TPsdRowPlanes() { decoder_.DecodeEnd(); }

  // Row r's planes, the first of them the row itself on the copy path.
  std::span<const void* const> Row(std::size_t r, std::uint8_t* scanline) {
    const std::uint8_t* channelRows[4] = {};
    TPackbitsRLEDecoder::TRow packed[4];
    for (unsigned c = 0; c < plan_.channelsUsed; ++c) {
      if (table_.packBits) {
        std::uint8_t* dest = plan_.DecodesIntoBitmap(true) ? scanline : &rows_[c * table_.rowLength];
        packed[c] = {data_.Row(c, r), table_.counts[c * table_.height + r], dest, table_.rowLength};
        channelRows[c] = dest;
      } else {
        channelRows[c] = data_.Row(c, r);
      }
    }
    if (table_.packBits) decoder_.DecodeRows(std::span<const TPackbitsRLEDecoder::TRow>(packed, plan_.channelsUsed));
    for (unsigned c = 0; c < plan_.channelsUsed; ++c) {
      planes_[c] = channelRows[c];
      if (plan_.copyPath || !plan_.Rewritten()) continue;
      std::uint8_t* out = &rewritten_[c * width_];
      if (plan_.reduceFirst)
        ReduceTo8(channelRows[c], out, width_, plan_.Inverted());
      else
        Invert8(channelRows[c], out, width_);
      planes_[c] = out;
    }
    return std::span<const void* const>(planes_, plan_.channelsUsed);
  }
  // The bytes of one plane of a row.
  std::size_t PlaneBytes() const { return plan_.Rewritten() ? width_ : table_.rowLength; }

 private:
  const TPsdPlan& plan_;
  const TPsdRowTable& table_;
  TChannelRows& data_;
  std::size_t width_;
  TPackbitsRLEDecoder decoder_;
  std::vector<std::uint8_t> rows_, rewritten_;
  const void* planes_[4] = {};
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
  p.ColorScheme = h.Mode < 10 ? kModeSchemes[h.Mode] : csUnknown;
  if (p.ColorScheme == csRGB && h.Channels != 3) p.ColorScheme = csRGBA;
  if (h.Mode == kModeBitmap) p.Options |= ioMinIsWhite;
  return true;
}

void TPSDGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeaderSize));
  StartProgress(gesPreparing);
  const TPSDHeader h = ParseHeader(HeaderBytes());
  const TImageProperties& p = ImageProperties;
  const TPsdPlan plan = PlanChannels(h, p, ColorManager);
  const std::size_t width = p.Width, height = p.Height;
  CheckImageSize(width, height, plan.format);
  SetPixelFormat(plan.format);

  ReadColorModeData(Stream, plan, *this, ColorManager, (p.Options & ioMinIsWhite) != 0);
  Skip(Stream, ReadSectionLength(Stream, false));  // the image resources
  const bool unmatte = ReadMergedTransparency(Stream) && plan.scheme == csRGBA;
  if (unmatte) SetAlphaChannel(true);
  std::uint8_t code[2];
  Stream.ReadBuffer(code, 2);
  const std::uint16_t compression = BigEndian16(code);
  if (compression > 1 && plan.scheme != csUnknown && width > 0 && height > 0) RaiseUnsupported(gesCompressionScheme);
  const TPsdRowTable table(Stream, plan, h.Channels, width, height, compression);

  if (plan.channelsUsed > 0 && !plan.DecodesIntoBitmap(table.packBits))
    SetSizeToOverwrite(static_cast<int>(width), static_cast<int>(height));
  else
    SetSize(static_cast<int>(width), static_cast<int>(height));
  TEmptyOnFailure guard(*this);
  EndProgress();
  if (plan.channelsUsed == 0 || Empty()) {
    StartProgress(gesTransfering);
    for (std::size_t r = 0; r < height; ++r)
      RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
    EndProgress();
    return;
  }

  StartProgress(plan.copyPath ? gesTransfering : gesLoadingData);
  TChannelRows data(Stream, table, plan.channelsUsed);
  if (!plan.copyPath) {
    EndProgress();
    StartProgress(gesTransfering);
  }
  bool whiteMatte = unmatte;
  TPsdRowPlanes planes(plan, table, data, width);
  for (std::size_t r = 0; r < height; ++r) {
    const int y = static_cast<int>(r);
    const std::span<const void* const> row = planes.Row(r, ScanLine(y));
    if (!plan.copyPath) {
      ConvertRowTo(y, row, planes.PlaneBytes());
      if (whiteMatte) whiteMatte = BlendedOverWhiteBGRA(ScanLine(y), width);
    } else if (plan.ConvertGray()) {
      ConvertRowTo(y, row[0], table.rowLength);
    } else if (!table.packBits) {
      CopyRowTo(y, static_cast<const std::uint8_t*>(row[0]), table.rowLength);
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  if (whiteMatte)
    for (std::size_t r = 0; r < height; ++r) UnmatteWhiteBGRA(ScanLine(static_cast<int>(r)), width);
  EndProgress();
}

}  // namespace vumo
