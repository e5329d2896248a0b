#include "formats/tiff.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/ccitt_decoders.h"
#include "pixels/decoders.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"
#include "pixels/lz77_decoder.h"
#include "pixels/lzw_decoder.h"
#include "pixels/row_kernels.h"
#include "pixels/thunder_decoder.h"
#include "pixels/tiff_jpeg_decoder.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TTIFFGraphic, TReaderGraphic::ClassInfo())
VUMO_DEFINE_GRAPHIC_CLASS(TEPSGraphic, TTIFFGraphic::ClassInfo())

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEPSHeaderSize = 30;
constexpr std::uint8_t kEPSMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
// A chain longer than this is taken for a damaged file: no real document has more pages.
constexpr unsigned kMaxDirectories = 65536;

enum TTag : std::uint16_t {
  tgImageWidth = 256,
  tgImageLength = 257,
  tgBitsPerSample = 258,
  tgCompression = 259,
  tgPhotometric = 262,
  tgFillOrder = 266,
  tgStripOffsets = 273,
  tgSamplesPerPixel = 277,
  tgRowsPerStrip = 278,
  tgStripByteCounts = 279,
  tgXResolution = 282,
  tgYResolution = 283,
  tgPlanarConfig = 284,
  tgT4Options = 292,
  tgResolutionUnit = 296,
  tgPredictor = 317,
  tgWhitePoint = 318,
  tgColorMap = 320,
  tgTileWidth = 322,
  tgTileLength = 323,
  tgTileOffsets = 324,
  tgTileByteCounts = 325,
  tgExtraSamples = 338,
  tgSampleFormat = 339,
  tgJPEGTables = 347,
  tgYCbCrCoefficients = 529,
  tgYCbCrSubSampling = 530,
  tgYCbCrPositioning = 531,
};

enum TType : std::uint16_t {
  ttByte = 1,
  ttAscii = 2,
  ttShort = 3,
  ttLong = 4,
  ttRational = 5,
  ttSByte = 6,
  ttUndefined = 7,
  ttSShort = 8,
  ttSLong = 9,
  ttSRational = 10,
  ttFloat = 11,
  ttDouble = 12,
};

// Bytes of one value of a type; 0 for types this reader does not know.
unsigned TypeSize(std::uint16_t type) {
  switch (type) {
    case ttByte:
    case ttAscii:
    case ttSByte:
    case ttUndefined: return 1;
    case ttShort:
    case ttSShort: return 2;
    case ttLong:
    case ttSLong:
    case ttFloat: return 4;
    case ttRational:
    case ttSRational:
    case ttDouble: return 8;
    default: return 0;
  }
}

TCompressionType MapCompression(std::uint32_t code) {
  switch (code) {
    case 1: return ctNone;
    case 2: return ctFaxRLE;
    case 3: return ctFax3;
    case 4: return ctFax4;
    case 5: return ctLZW;
    case 6: return ctOJPEG;
    case 7: return ctJPEG;
    case 8:
    case 32946: return ctLZ77;
    case 32766: return ctNext;
    case 32771: return ctFaxRLEW;
    case 32773: return ctPackedBits;
    case 32809: return ctThunderscan;
    case 32895: return ctIT8CTPAD;
    case 32896: return ctIT8LW;
    case 32897: return ctIT8MP;
    case 32898: return ctIT8BL;
    case 32908: return ctPixarFilm;
    case 32909: return ctPixarLog;
    case 32947: return ctDCS;
    case 34661: return ctJBIG;
    default: return ctUnknown;
  }
}

TColorScheme MapPhotometric(std::uint32_t code, std::uint32_t samples) {
  switch (code) {
    case 0:
    case 1: return csGray;
    case 2: return samples < 4 ? csRGB : csRGBA;
    case 3: return csIndexed;
    case 5: return csCMYK;
    case 6: return csYCbCr;
    case 8: return csCIELab;
    default: return csUnknown;
  }
}

// The most bytes `packed` bytes of a coding can decode to. A block's buffer is no larger,
// whatever size its header declares, so a file of a few bytes claiming gigabytes costs no
// more than its data can fill. Fax rows are one bit a pixel, never more than the bitmap.
std::uint64_t MostDecodedBytes(TCompressionType compression, std::uint64_t packed) {
  switch (compression) {
    case ctNone: return packed;
    case ctPackedBits: return (packed + 1) / 2 * 128;  // a run of 128 bytes in two
    case ctLZ77: return packed * 1032 + 1024;           // deflate's longest match in its fewest bits
    case ctLZW: return (packed * 8 / 9 + 1) * 4096;     // a code of 9 bits or more, a string of 4096 at most
    case ctThunderscan: return packed * 32 + 32;        // a run of 63 four-bit pixels a byte
    // A block of 64 samples coded in two bits, four luma blocks to each chroma pair, and
    // headers between: far more than libjpeg's encoder reaches.
    case ctJPEG: return packed * 4096 + 65536;
    default: return UINT64_MAX;
  }
}

std::uint8_t ReverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Undoes horizontal differencing on one row of `count` samples, each adding the one
// `stride` samples before it; 16-bit samples in the file's byte order.
void UndoPredictor(std::uint8_t* row, std::size_t count, std::size_t stride, unsigned bits, bool bigEndian) {
  if (bits == 8) {
    if (stride == 3 && count >= 3) {
      // The running sums stay in registers instead of being read back from the row.
      std::uint8_t r = row[0], g = row[1], b = row[2];
      for (std::size_t i = 3; i + 2 < count; i += 3) {
        row[i] = r = static_cast<std::uint8_t>(r + row[i]);
        row[i + 1] = g = static_cast<std::uint8_t>(g + row[i + 1]);
        row[i + 2] = b = static_cast<std::uint8_t>(b + row[i + 2]);
      }
      return;
    }
    for (std::size_t i = stride; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
    return;
  }
  for (std::size_t i = stride; i < count; ++i) {
    std::uint8_t* p = row + 2 * i;
    const std::uint8_t* q = row + 2 * (i - stride);
    const auto v = static_cast<std::uint16_t>(Endian16(p, bigEndian) + Endian16(q, bigEndian));
    if (bigEndian) {
      p[0] = static_cast<std::uint8_t>(v >> 8);
      p[1] = static_cast<std::uint8_t>(v);
    } else {
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
    }
  }
}

// Photoshop's 24-bit floats: a sign, 7 bits of exponent biased by 63, 16 bits of mantissa.
float Float24ToFloat(std::uint32_t v) {
  const float sign = (v & 0x800000u) ? -1.0f : 1.0f;
  const int exponent = static_cast<int>((v >> 16) & 0x7F);
  const auto mantissa = static_cast<float>(v & 0xFFFFu);
  if (exponent == 0) return sign * std::ldexp(mantissa, -62 - 16);
  if (exponent == 0x7F) return (v & 0xFFFFu) ? std::numeric_limits<float>::quiet_NaN() : sign * HUGE_VALF;
  return sign * std::ldexp(1.0f + mantissa / 65536.0f, exponent - 63);
}

// One floating-point sample of 2, 3 or 4 bytes.
float FloatSample(const std::uint8_t* p, unsigned bytes, bool bigEndian) {
  switch (bytes) {
    case 2: return HalfToFloat(static_cast<std::uint16_t>(Endian16(p, bigEndian)));
    case 3: return Float24ToFloat(bigEndian ? std::uint32_t{p[0]} << 16 | p[1] << 8 | p[2]
                                            : std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0]);
    default: {
      const std::uint32_t v = Endian32(p, bigEndian);
      float f;
      std::memcpy(&f, &v, 4);
      return f;
    }
  }
}

// One row of float samples, interleaved or one plane each, to linear RGBA: grey fills the
// three colours, a missing alpha is opaque.
void StoreFloatRow(const void* const* sources, bool planar, unsigned samples, unsigned bytes, bool bigEndian,
                   bool associated, std::size_t count, float* out) {
  auto sample = [&](std::size_t x, unsigned c) {
    const auto* base = static_cast<const std::uint8_t*>(sources[planar ? c : 0]);
    return FloatSample(base + (planar ? x : x * samples + c) * bytes, bytes, bigEndian);
  };
  const bool colour = samples >= 3, alpha = samples == 2 || samples == 4;
  for (std::size_t x = 0; x < count; ++x, out += 4) {
    out[0] = sample(x, 0);
    out[1] = colour ? sample(x, 1) : out[0];
    out[2] = colour ? sample(x, 2) : out[0];
    out[3] = alpha ? sample(x, colour ? 3 : 1) : 1.0f;
    // Colours stored multiplied by their alpha are divided again: float pixels keep them apart.
    if (associated && out[3] > 0.0f)
      for (int c = 0; c < 3; ++c) out[c] /= out[3];
  }
}

// Undoes the floating-point predictor on one row of `count` samples of `bytes` bytes: the
// bytes were differenced `stride` apart after the row was split into byte planes, most
// significant first. The samples come back big-endian whatever the file's byte order.
void UndoFloatPredictor(std::uint8_t* row, std::size_t count, std::size_t stride, unsigned bytes,
                        std::vector<std::uint8_t>& scratch) {
  const std::size_t total = count * bytes;
  for (std::size_t i = stride; i < total; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
  scratch.assign(row, row + total);
  for (std::size_t i = 0; i < count; ++i)
    for (unsigned b = 0; b < bytes; ++b) row[i * bytes + b] = scratch[b * count + i];
}

// 16-bit samples to 8 bits for the converters that neither swap nor scale them: CMYK by the
// colour manager's 16-to-8 scaling, CIE L*a*b* with L to 0..255 and a*, b* to signed bytes.
// `chroma(i)` tells the a* and b* samples of a Lab row from L.
template <typename IsChroma>
void ReduceTo8(const std::uint8_t* source, std::uint8_t* target, std::size_t count, bool bigEndian, IsChroma chroma) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t v = static_cast<std::uint16_t>(Endian16(source + 2 * i, bigEndian));
    if (chroma(i))
      target[i] = static_cast<std::uint8_t>(static_cast<std::int16_t>(v) >> 8);
    else
      target[i] = static_cast<std::uint8_t>(MulDiv16(v, 255, 65535));
  }
}

}  // namespace

// ---- Directory ----------------------------------------------------------------------------

bool TTIFFGraphic::CanLoad(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  const std::int64_t size = Stream.Size();
  return TestHeader(Stream, kHeaderSize, [start, size](const std::uint8_t* b) {
    const bool big = b[0] == 'M' && b[1] == 'M';
    if (!big && !(b[0] == 'I' && b[1] == 'I')) return false;
    if (Endian16(b + 2, big) != 42) return false;
    return static_cast<std::int64_t>(Endian32(b + 4, big)) < size - start;
  });
}

const char* TTIFFGraphic::FormatName() const { return gesTIFF; }

const TTIFFGraphic::TEntry* TTIFFGraphic::Find(std::uint16_t tag) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                             [](const TEntry& e, std::uint16_t t) { return e.Tag < t; });
  return it != entries_.end() && it->Tag == tag ? &*it : nullptr;
}

std::uint32_t TTIFFGraphic::Value(std::uint16_t tag, std::uint32_t fallback) const {
  const TEntry* e = Find(tag);
  if (!e || e->Count != 1) return fallback;
  switch (e->Type) {
    case ttByte: return e->Field[0];
    case ttShort:
    case ttSShort: return Endian16(e->Field, bigEndian_);
    case ttLong:
    case ttSLong: return Endian32(e->Field, bigEndian_);
    default: return fallback;
  }
}

const std::uint8_t* TTIFFGraphic::EntryData(TStream& Stream, const TEntry& entry, std::vector<std::uint8_t>& storage) const {
  const std::uint64_t size = std::uint64_t{TypeSize(entry.Type)} * entry.Count;
  if (size <= 4) return entry.Field;
  const std::uint64_t offset = Endian32(entry.Field, bigEndian_);
  // The values must lie inside the file: a count can claim gigabytes.
  if (offset > tiffSize_ || size > tiffSize_ - offset) RaiseReadError();
  storage.resize(static_cast<std::size_t>(size));
  Stream.SetPosition(tiffStart_ + static_cast<std::int64_t>(offset));
  Stream.ReadBuffer(storage.data(), storage.size());
  return storage.data();
}

std::vector<std::uint32_t> TTIFFGraphic::Values(TStream& Stream, std::uint16_t tag) const {
  std::vector<std::uint32_t> result;
  const TEntry* e = Find(tag);
  if (!e) return result;
  const unsigned size = TypeSize(e->Type);
  if (e->Type != ttByte && e->Type != ttShort && e->Type != ttLong && e->Type != ttSShort && e->Type != ttSLong &&
      e->Type != ttUndefined)
    return result;
  std::vector<std::uint8_t> storage;
  const std::uint8_t* data = EntryData(Stream, *e, storage);
  result.resize(e->Count);
  for (std::size_t i = 0; i < result.size(); ++i) {
    const std::uint8_t* p = data + i * size;
    result[i] = size == 1 ? p[0] : size == 2 ? Endian16(p, bigEndian_) : Endian32(p, bigEndian_);
  }
  return result;
}

std::vector<float> TTIFFGraphic::Floats(TStream& Stream, std::uint16_t tag) const {
  std::vector<float> result;
  const TEntry* e = Find(tag);
  if (!e) return result;
  if (e->Type == ttRational || e->Type == ttSRational) {
    std::vector<std::uint8_t> storage;
    const std::uint8_t* data = EntryData(Stream, *e, storage);
    result.resize(e->Count);
    for (std::size_t i = 0; i < result.size(); ++i) {
      const std::uint32_t n = Endian32(data + 8 * i, bigEndian_), d = Endian32(data + 8 * i + 4, bigEndian_);
      if (e->Type == ttRational)
        result[i] = d ? static_cast<float>(static_cast<double>(n) / d) : 0.0f;
      else
        result[i] = d ? static_cast<float>(static_cast<double>(static_cast<std::int32_t>(n)) / static_cast<std::int32_t>(d)) : 0.0f;
    }
  } else {
    for (std::uint32_t v : Values(Stream, tag)) result.push_back(static_cast<float>(v));
  }
  return result;
}

std::vector<std::uint8_t> TTIFFGraphic::Bytes(TStream& Stream, std::uint16_t tag) const {
  const TEntry* e = Find(tag);
  if (!e || TypeSize(e->Type) != 1) return {};
  std::vector<std::uint8_t> storage;
  const std::uint8_t* data = EntryData(Stream, *e, storage);
  return std::vector<std::uint8_t>(data, data + e->Count);
}

bool TTIFFGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  entries_.clear();
  tiffStart_ = Stream.Position();
  const std::int64_t streamSize = Stream.Size();
  tiffSize_ = streamSize > tiffStart_ ? static_cast<std::uint64_t>(streamSize - tiffStart_) : 0;
  // An embedded TIFF ends where its container says, not where the file does.
  tiffSize_ = std::min(tiffSize_, embeddedLength_);
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h) return false;
  bigEndian_ = h[0] == 'M' && h[1] == 'M';
  if (!bigEndian_ && !(h[0] == 'I' && h[1] == 'I')) return false;
  if (Endian16(h + 2, bigEndian_) != 42) return false;
  TImageProperties& p = ImageProperties;
  p.Version = 42;
  p.FirstIFD = Endian32(h + 4, bigEndian_);

  // The whole chain, for the number of pages, and the wanted directory in it; an offset met
  // before means the chain loops. A damaged link after the wanted page ends the count there
  // rather than the load, as readers that show only the first page read such files.
  std::uint64_t offset = p.FirstIFD, wanted = 0;
  std::set<std::uint64_t> seen;
  std::uint8_t two[2];
  std::uint16_t count = 0;
  unsigned pages = 0;
  pages_ = 0;
  for (unsigned index = 0; index < kMaxDirectories; ++index) {
    if (offset == 0 || offset + 2 > tiffSize_ || !seen.insert(offset).second) break;
    Stream.SetPosition(tiffStart_ + static_cast<std::int64_t>(offset));
    Stream.ReadBuffer(two, 2);
    const auto entries = static_cast<std::uint16_t>(Endian16(two, bigEndian_));
    if (offset + 2 + std::uint64_t{entries} * 12 > tiffSize_) {
      if (index <= ImageIndex) RaiseReadError();
      break;
    }
    ++pages;
    if (index == ImageIndex) wanted = offset, count = entries;
    std::uint8_t next[4];
    Stream.SetPosition(tiffStart_ + static_cast<std::int64_t>(offset + 2 + std::uint64_t{entries} * 12));
    if (Stream.Read(next, 4) != 4) break;
    offset = Endian32(next, bigEndian_);
  }
  pages_ = pages;
  if (ImageIndex >= pages) return false;
  SetImages(TImageSet{pages, ImageIndex, pages > 1 ? ImageCaption("page", ImageIndex, pages) : std::string()});
  Stream.SetPosition(tiffStart_ + static_cast<std::int64_t>(wanted + 2));
  std::vector<std::uint8_t> raw(std::size_t{count} * 12);
  Stream.ReadBuffer(raw.data(), raw.size());
  entries_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &raw[i * 12];
    entries_[i].Tag = static_cast<std::uint16_t>(Endian16(e, bigEndian_));
    entries_[i].Type = static_cast<std::uint16_t>(Endian16(e + 2, bigEndian_));
    entries_[i].Count = Endian32(e + 4, bigEndian_);
    std::memcpy(entries_[i].Field, e + 8, 4);
  }
  std::stable_sort(entries_.begin(), entries_.end(), [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });

  p.Width = Value(tgImageWidth, 0);
  p.Height = Value(tgImageLength, 0);
  if (p.Width == 0 || p.Height == 0) return false;

  if (bigEndian_) p.Options |= ioBigEndian;
  const std::vector<std::uint32_t> bits = Values(Stream, tgBitsPerSample);
  bitsPerSample_ = bits.empty() ? 1 : bits[0];
  mixedBitsPerSample_ = std::any_of(bits.begin(), bits.end(), [&](std::uint32_t b) { return b != bitsPerSample_; });
  p.BitsPerSample = static_cast<std::uint8_t>(std::min<std::uint32_t>(bitsPerSample_, 255));
  p.Compression = MapCompression(Value(tgCompression, 0));
  samplesPerPixel_ = Value(tgSamplesPerPixel, 1);
  p.SamplesPerPixel = static_cast<std::uint8_t>(std::min<std::uint32_t>(samplesPerPixel_, 255));
  // Some writers leave out the photometric interpretation of colour images; three or more
  // samples are taken for RGB, as libtiff takes them.
  photometric_ = Value(tgPhotometric, !Find(tgPhotometric) && samplesPerPixel_ >= 3 ? 2 : 0);
  p.ColorScheme = MapPhotometric(photometric_, samplesPerPixel_);
  if (photometric_ == 0) p.Options |= ioMinIsWhite;
  if (Value(tgFillOrder, 1) == 2) p.Options |= ioReversed;
  p.BitsPerPixel = static_cast<std::uint8_t>(std::min<std::uint64_t>(std::uint64_t{bitsPerSample_} * samplesPerPixel_, 255));

  const std::vector<std::uint32_t> rows = Values(Stream, tgRowsPerStrip);
  if (!rows.empty() && rows[0] != 0xFFFFFFFFu)
    p.RowsPerStrip = rows;
  else
    p.RowsPerStrip.assign(1, p.Height);

  const std::vector<float> xr = Floats(Stream, tgXResolution), yr = Floats(Stream, tgYResolution);
  p.XResolution = xr.empty() ? 0.0f : xr[0];
  p.YResolution = yr.empty() ? 0.0f : yr[0];
  if (Value(tgResolutionUnit, 2) == 3) {
    p.XResolution *= 2.54f;
    p.YResolution *= 2.54f;
  }
  p.PlanarConfig = Value(tgPlanarConfig, 0);
  t4Options_ = Value(tgT4Options, 0);
  p.PredictorMode = Value(tgPredictor, 0);
  p.TileWidth = Value(tgTileWidth, 0);
  p.TileLength = Value(tgTileLength, 0);
  if (p.TileWidth && p.TileLength) p.Options |= ioTiled;
  associatedAlpha_ = false;
  alphaSample_ = false;
  if (Find(tgExtraSamples)) {
    const std::vector<std::uint32_t> extra = Values(Stream, tgExtraSamples);
    p.HasAlpha = std::all_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v <= 2; });
    associatedAlpha_ = !extra.empty() && extra[0] == 1;
    alphaSample_ = !extra.empty() && (extra[0] == 1 || extra[0] == 2);
  }
  const std::vector<std::uint32_t> formats = Values(Stream, tgSampleFormat);
  sampleFormat_ = formats.empty() ? 1 : formats[0];
  if (p.Compression == ctJPEG) p.JPEGTables = Bytes(Stream, tgJPEGTables);
  yCbCrCoefficients_ = {0.299f, 0.587f, 0.114f};
  yCbCrPositioning_ = 1;
  if (p.ColorScheme == csYCbCr) {
    const std::vector<float> k = Floats(Stream, tgYCbCrCoefficients);
    if (k.size() >= 3) yCbCrCoefficients_.assign(k.begin(), k.begin() + 3);
    const std::vector<std::uint32_t> sub = Values(Stream, tgYCbCrSubSampling);
    if (sub.size() >= 2)
      p.YCbCrSubSampling = {static_cast<std::uint8_t>(std::min<std::uint32_t>(sub[0], 255)),
                            static_cast<std::uint8_t>(std::min<std::uint32_t>(sub[1], 255))};
    else
      p.YCbCrSubSampling = {2, 2};
    yCbCrPositioning_ = Value(tgYCbCrPositioning, 1);
  }
  p.JPEGColorMode = 0;
  p.JPEGTablesMode = 3;
  return true;
}

// ---- Loading ------------------------------------------------------------------------------

void TTIFFGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  // The TIFF's own directory walk, also for the EPS preview, which has found its TIFF already.
  if (!TTIFFGraphic::ReadImageProperties(Stream, RequestedImage())) {
    if (pages_ > 0 && RequestedImage() >= pages_) throw EInvalidGraphic(FormatMessage(kNoSuchImage, RequestedImage() + 1));
    RaiseInvalidImage();
  }
  TImageProperties& p = ImageProperties;
  StartProgress(gesPreparing);
  const bool tiled = (p.Options & ioTiled) != 0;

  const TCompressionType compression = p.Compression;
  switch (compression) {
    case ctNone:
    case ctPackedBits:
    case ctFax3:
    case ctFax4:
    case ctFaxRLE:
    case ctFaxRLEW:
    case ctLZ77:
    case ctLZW:
    case ctJPEG:
    case ctThunderscan: break;
    default: RaiseUnsupported(gesCompressionScheme);
  }
  const bool fax = compression == ctFax3 || compression == ctFax4 || compression == ctFaxRLE || compression == ctFaxRLEW;
  const unsigned bits = bitsPerSample_;
  const unsigned samples = samplesPerPixel_;
  // Bits per sample and samples per pixel must fit the photometric interpretation and the
  // coding: the sizes of every buffer below follow from them.
  if (mixedBitsPerSample_ || samples == 0 || samples > 4) RaiseInvalidColorFormat();
  if (fax && (bits != 1 || samples != 1)) RaiseInvalidColorFormat();
  if (compression == ctThunderscan && (bits != 4 || samples != 1)) RaiseInvalidColorFormat();
  if (compression == ctJPEG && bits != 8) RaiseInvalidColorFormat();
  const bool planar = p.PlanarConfig == 2 && samples > 1;
  TColorScheme scheme = p.ColorScheme;
  const bool wide = bits == 8 || bits == 16;
  // Floating-point samples are kept as linear light beside the 32-bit pixels shown, which
  // an exposure renders from them: grey or RGB, with or without alpha.
  const bool floating = sampleFormat_ == 3;
  bool layoutOk = false;
  if (floating) {
    if ((bits == 16 || bits == 24 || bits == 32) &&
        ((scheme == csGray && samples <= 2) || (scheme == csRGB && samples == 3) || (scheme == csRGBA && samples == 4)))
      layoutOk = true;
    scheme = csUnknown;  // none of the colour manager's layouts below applies
  }
  switch (scheme) {
    case csGray:
      layoutOk = (samples == 1 && (bits == 1 || bits == 2 || bits == 4 || wide)) || (samples == 2 && wide);
      break;
    case csIndexed: layoutOk = samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8); break;
    case csRGB: layoutOk = samples == 3 && wide; break;
    // ImageMagick writes L*a*b* with an unassociated alpha sample.
    case csCIELab: layoutOk = (samples == 3 || (samples == 4 && p.HasAlpha)) && wide; break;
    case csRGBA:
    case csCMYK: layoutOk = samples == 4 && wide; break;
    case csYCbCr: layoutOk = samples == 3 && bits == 8; break;
    default: break;
  }
  if (!layoutOk) RaiseInvalidColorFormat();
  // Grey with alpha shows its grey; a separate alpha plane is not read at all (but for floats).
  unsigned planesUsed = planar ? samples : 1;
  unsigned sourceSamples = samples;
  if (scheme == csGray && samples == 2) {
    if (planar) {
      planesUsed = 1;
      sourceSamples = 1;
    } else {
      scheme = csGrayAlpha;
    }
  }

  // PredictorMode 0 and 1 mean none, 2 differences integer samples, 3 the bytes of floats.
  const bool predictor = compression != ctNone && p.PredictorMode == 2;
  const bool floatPredictor = compression != ctNone && p.PredictorMode == 3;
  if (compression != ctNone && p.PredictorMode > 3) RaiseUnsupported(gesPredictor);
  if ((predictor && (!wide || floating)) || (floatPredictor && !floating)) RaiseUnsupported(gesPredictor);

  unsigned hSub = 1, vSub = 1;
  const bool jpegColour = compression == ctJPEG && scheme == csYCbCr && !planar;  // libjpeg gives RGB
  if (scheme == csYCbCr && !jpegColour) {
    hSub = p.YCbCrSubSampling[0];
    vSub = p.YCbCrSubSampling[1];
    ColorManager.SetYCbCrParameters(yCbCrCoefficients_, static_cast<std::uint8_t>(hSub), static_cast<std::uint8_t>(vSub));
    if (compression == ctJPEG) hSub = vSub = 1;
    if (planar && (hSub != 1 || vSub != 1)) RaiseInvalidColorFormat();
    if (predictor && (hSub != 1 || vSub != 1)) RaiseUnsupported(gesPredictor);
  }
  const bool subsampled = hSub != 1 || vSub != 1;
  // CMYK and Lab converters neither swap nor scale 16-bit samples: they are brought to 8 here.
  const bool reduce16 = bits == 16 && (scheme == csCMYK || scheme == csCIELab);
  // The Lab converter takes three samples a pixel: its alpha is set beside the colours.
  const bool labAlpha = scheme == csCIELab && samples == 4;
  const bool compactLab = labAlpha && !planar;

  TColorSetup colors;
  colors.SourceScheme = jpegColour ? csRGB : scheme;
  colors.SourceBits = static_cast<std::uint8_t>(reduce16 ? 8 : bits);
  colors.SourceSamples = static_cast<std::uint8_t>(labAlpha ? 3 : sourceSamples);
  colors.SourceOptions = bits == 16 ? (bigEndian_ ? kBigEndianSamples : kLittleEndianSamples) : 0;
  if (reduce16) colors.SourceOptions = 0;
  if (scheme == csCIELab) {
    colors.SourceOptions |= cvLabScaledLightness;
    // Lab values are relative to the white point the file gives, D50 (as Photoshop writes
    // them, without the tag) unless it gives D65's chromaticity, as ImageMagick does.
    const std::vector<float> white = Floats(Stream, tgWhitePoint);
    if (white.size() == 2 && std::fabs(white[0] - 0.3127f) < 0.002f && std::fabs(white[1] - 0.3290f) < 0.002f)
      colors.SourceOptions |= cvLabD65White;
  }
  colors.TargetBits = static_cast<std::uint8_t>(bits == 16 ? 8 : bits == 2 ? 4 : bits);
  switch (scheme) {
    case csIndexed:
    case csGray:
    case csGrayAlpha:
      colors.TargetScheme = scheme == csIndexed ? csIndexed : csGray;
      colors.TargetSamples = 1;
      break;
    case csRGBA:
      colors.TargetScheme = csBGRA;
      colors.TargetSamples = 4;
      break;
    case csCIELab:
      colors.TargetScheme = labAlpha ? csBGRA : csBGR;
      colors.TargetSamples = labAlpha ? 4 : 3;
      break;
    default:
      colors.TargetScheme = csBGR;
      colors.TargetSamples = 3;
      break;
  }
  if (!floating) ColorManager.Setup(colors);
  const bool unpremultiply = associatedAlpha_ && colors.TargetScheme == csBGRA;
  const TPixelFormat format = floating ? pf32bit : ColorManager.TargetPixelFormat();
  const std::size_t width = p.Width, height = p.Height;
  CheckImageSize(width, height, format);

  // The blocks of one plane in the file's order. Strips span the width, each of its
  // RowsPerStrip value, or the last one when the list is shorter; values past the height
  // mean one strip for the rest, as TIFF allows. Tiles go left to right, then down, each of
  // TileWidth x TileLength as stored, cropped where it passes the picture's edges.
  struct TBlock {
    std::uint32_t X, Y;  // where it lies in the picture
    std::uint32_t Rows;  // as stored
  };
  const std::vector<std::uint32_t> offsets = Values(Stream, tiled ? tgTileOffsets : tgStripOffsets);
  const std::vector<std::uint32_t> counts = Values(Stream, tiled ? tgTileByteCounts : tgStripByteCounts);
  const std::size_t planes = planar ? samples : 1;
  std::vector<TBlock> blocks;
  const std::size_t blockWidth = tiled ? p.TileWidth : width;
  if (tiled) {
    const std::size_t across = (width + p.TileWidth - 1) / p.TileWidth;
    const std::size_t down = (height + p.TileLength - 1) / p.TileLength;
    // The offsets, read from the file, bound the tiles: a tile of one pixel on a large
    // picture claims more of them than the file holds.
    const auto tiles = CheckedMul(across, down, planes);
    if (!tiles || *tiles > offsets.size()) RaiseInvalidImage();
    // Each tile starts on a byte of the bitmap's rows.
    if (std::size_t{p.TileWidth} * BitsPerPixelOf(format) % 8 != 0) RaiseInvalidImage();
    blocks.reserve(across * down);
    for (std::size_t ty = 0; ty < down; ++ty)
      for (std::size_t tx = 0; tx < across; ++tx)
        blocks.push_back({static_cast<std::uint32_t>(tx * p.TileWidth), static_cast<std::uint32_t>(ty * p.TileLength),
                          p.TileLength});
  } else {
    for (std::uint32_t row = 0, s = 0; row < height; ++s) {
      const std::uint32_t value = p.RowsPerStrip[std::min<std::size_t>(s, p.RowsPerStrip.size() - 1)];
      if (value == 0) RaiseInvalidImage();
      const std::uint32_t rows = std::min<std::uint32_t>(value, static_cast<std::uint32_t>(height - row));
      blocks.push_back({0, row, rows});
      row += rows;
    }
  }
  const std::size_t blocksPerPlane = blocks.size();
  if (offsets.size() < blocksPerPlane * planes) RaiseInvalidImage();
  if (!counts.empty() && counts.size() < blocksPerPlane * planes) RaiseInvalidImage();

  // Bytes of one decoded row of a block (of one plane when planar); subsampled YCbCr is
  // stored in blocks of vSub rows: hSub x vSub luma samples, then Cb and Cr.
  const auto rowBytesChecked = RowBytes(blockWidth, std::size_t{bits} * (planar ? 1 : samples));
  if (!rowBytesChecked || *rowBytesChecked > UINT32_MAX) RaiseTooLarge(width, height);
  const std::size_t rowBytes = *rowBytesChecked;
  p.BytesPerLine = static_cast<std::uint32_t>(rowBytes);
  const std::size_t blockBytes = std::size_t{hSub} * vSub + 2;
  const std::size_t blockRowBytes = (blockWidth + hSub - 1) / hSub * blockBytes;
  std::uint32_t mostRows = 0;
  for (const TBlock& b : blocks) mostRows = std::max(mostRows, b.Rows);
  const std::size_t unitBytes = subsampled ? blockRowBytes : rowBytes;  // what a decoded block holds whole
  const std::size_t unitRows = subsampled ? vSub : 1;
  if (!CheckedMul((mostRows + unitRows - 1) / unitRows, unitBytes) ||
      (mostRows + unitRows - 1) / unitRows * unitBytes > INT32_MAX)
    RaiseTooLarge(width, height);
  auto declaredBytes = [&](std::uint32_t rows) -> std::size_t { return (rows + unitRows - 1) / unitRows * unitBytes; };

  // A file without its first block holds no row to show: refused before the bitmap exists.
  if (offsets[0] >= tiffSize_) RaiseReadError();

  AllocateImage(width, height, format);
  // A load refused once the bitmap exists (a colour map or strip data libjpeg rejects)
  // leaves the reader empty, as every reader's refused load does.
  TEmptyOnFailure guard(*this);
  if (scheme == csIndexed) {
    // The colour map holds red, then green, then blue, 2^bits values each.
    const std::vector<std::uint32_t> map = Values(Stream, tgColorMap);
    const std::size_t entries = std::size_t{1} << bits;
    if (map.size() < 3 * entries) Raise(gesInvalidPalette);
    const std::size_t plane = map.size() / 3;
    // Some old writers store the colour map in 8 bits; their values never pass 255.
    const bool eightBit = std::all_of(map.begin(), map.end(), [](std::uint32_t v) { return v < 256; });
    std::vector<std::uint16_t> rgb(3 * entries);
    for (std::size_t k = 0; k < 3; ++k)
      for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t v = map[k * plane + i];
        rgb[k * entries + i] = static_cast<std::uint16_t>(eightBit ? v * 257 : v);
      }
    const void* const data[3] = {&rgb[0], &rgb[entries], &rgb[2 * entries]};
    SetPalette(ColorManager.CreateColorPalette(data, pfPlane16Triple, static_cast<std::uint32_t>(entries), false));
  } else if (colors.TargetScheme == csGray && !floating) {
    SetPalette(ColorManager.CreateGrayPalette((p.Options & ioMinIsWhite) != 0));
  }

  const bool reversed = (p.Options & ioReversed) != 0;
  // The JPEG decoder checks each stream's size against the picture's: a tile's is its own.
  TImageProperties tileProperties = p;
  tileProperties.Width = static_cast<std::uint32_t>(blockWidth);
  tileProperties.Height = p.TileLength;
  tileProperties.RowsPerStrip.assign(1, p.TileLength);
  tileProperties.CurrentRow = 0;
  std::unique_ptr<TDecoder> decoder;
  TPackbitsRLEDecoder packBits;
  switch (compression) {
    case ctFax3:
      decoder = std::make_unique<TCCITTFax3Decoder>(t4Options_, reversed, false, static_cast<std::uint32_t>(blockWidth));
      break;
    case ctFax4: decoder = std::make_unique<TCCITTFax4Decoder>(0, reversed, static_cast<std::uint32_t>(blockWidth)); break;
    case ctFaxRLE:
    case ctFaxRLEW:
      decoder = std::make_unique<TCCITTMHDecoder>(t4Options_, reversed, compression == ctFaxRLEW,
                                                  static_cast<std::uint32_t>(blockWidth));
      break;
    case ctLZ77: decoder = std::make_unique<TLZ77Decoder>(kFlushPartial, true); break;
    case ctJPEG: decoder = std::make_unique<TTIFFJPEGDecoder>(tiled ? tileProperties : p); break;
    case ctThunderscan: decoder = std::make_unique<TThunderDecoder>(static_cast<std::uint32_t>(blockWidth)); break;
    default: break;
  }
  if (decoder) decoder->DecodeInit();
  const bool coded = compression != ctNone;

  // One plane of a block into `room` bytes at `out`; what its data does not give is blank.
  auto decodePlane = [&](const std::uint8_t* data, std::size_t take, std::uint8_t* out, std::size_t room) {
    std::size_t given = room;
    if (compression == ctPackedBits) {
      given = packBits.DecodeOver(data, take, out, room);
    } else if (compression == ctLZW) {
      // Early libtiff wrote its codes least significant bit first; the first code tells.
      const std::span<const std::uint8_t> in(data, take);
      given = DecodeLZW(IsOldStyleTiffLZW(in) ? TLZWPacking::kTiffOld : TLZWPacking::kTiff, 8, in,
                        std::span<std::uint8_t>(out, room))
                  .written;
    } else if (compression == ctLZ77 && InflateComplete(std::span<const std::uint8_t>(data, take),
                                                        std::span<std::uint8_t>(out, room))) {
      return;
    } else {
      // The fax decoders clear their room to white themselves.
      if (!fax) std::memset(out, 0, room);
      const std::uint8_t* in = data;
      std::uint8_t* dest = out;
      decoder->Decode(in, dest, static_cast<std::int32_t>(take), static_cast<std::int32_t>(room));
      return;
    }
    std::memset(out + given, 0, room - given);
  };

  EndProgress();
  StartProgress(gesTransfering);
  p.CurrentRow = 0;
  p.CurrentStrip = 0;
  p.StripCount = static_cast<std::uint32_t>(offsets.size());

  TByteSource source(Stream);
  const bool copyRaw = !coded && (planar || reversed);
  // The decoded planes of one block side by side, each no larger than what its data can
  // give, whatever the block's size declares: a few bytes claiming gigabytes cost a few bytes.
  std::vector<std::uint8_t> decoded;
  std::vector<std::uint8_t> reversedBytes;
  // Rows converted from somewhere other than the block: reduced 16-bit samples, upsampled YCbCr.
  std::vector<std::uint8_t> scratch(reduce16 || subsampled || compactLab ? blockWidth * samples * planesUsed : 0);
  const int targetBits = BitsPerPixelOf(format);
  std::shared_ptr<TFloatPixels> floats;
  if (floating) floats = NewFloatPixels(static_cast<int>(width), static_cast<int>(height));
  std::vector<std::uint8_t> floatScratch;
  const bool floatsBigEndian = floatPredictor || bigEndian_;

  for (std::size_t b = 0; b < blocksPerPlane; ++b) {
    const TBlock& block = blocks[b];
    const std::size_t declared = declaredBytes(block.Rows);
    // Where each plane's data lies and how much of it there is.
    std::uint64_t at[4] = {}, takes[4] = {}, rooms[4] = {};
    bool cut[4] = {};
    std::size_t region = 0, rowsReady = block.Rows;
    for (std::size_t k = 0; k < planesUsed; ++k) {
      const std::size_t index = k * blocksPerPlane + b;
      at[k] = std::min<std::uint64_t>(offsets[index], tiffSize_);
      const std::uint64_t available = tiffSize_ - at[k];
      const std::uint64_t wanted = !coded ? declared : counts.empty() ? available : counts[index];
      // A block that lies past the end belongs to a file cut short. A JPEG block may end
      // before its byte count says: only the decoder tells whether its data ran out.
      cut[k] = wanted > available;
      if (cut[k] && compression != ctJPEG) RaiseReadError();
      takes[k] = std::min<std::uint64_t>({wanted, available, INT32_MAX});
      // Whole rows, the last one partly filled as far as the data goes.
      const std::uint64_t most = MostDecodedBytes(compression, takes[k]);
      rooms[k] = !coded ? most / unitBytes * unitBytes : most >= declared ? declared : most / unitBytes * unitBytes + unitBytes;
      rooms[k] = std::min<std::uint64_t>(rooms[k], declared);
      rowsReady = std::min<std::size_t>(rowsReady, rooms[k] / unitBytes * unitRows);
      region = std::max<std::size_t>(region, rooms[k]);
    }
    if ((coded || copyRaw) && decoded.size() < region * planesUsed) decoded.resize(region * planesUsed);
    const std::uint8_t* planeData[4] = {};
    for (std::size_t k = 0; k < planesUsed; ++k) {
      static const std::uint8_t kNothing[1] = {};
      const std::uint8_t* data = kNothing;  // a block of 0 bytes decodes to nothing
      const auto take = static_cast<std::size_t>(takes[k]);
      if (take) {
        source.Seek(tiffStart_ + static_cast<std::int64_t>(at[k]));
        data = source.Take(take);
        if (!data) RaiseReadError();
      }
      if (reversed && !fax) {
        reversedBytes.assign(data, data + take);
        for (std::uint8_t& v : reversedBytes) v = ReverseBits(v);
        data = reversedBytes.data();
      }
      std::uint8_t* out = decoded.data() + k * region;
      if (coded) {
        decodePlane(data, take, out, static_cast<std::size_t>(rooms[k]));
        if (cut[k] && compression == ctJPEG && !static_cast<TTIFFJPEGDecoder&>(*decoder).Warning().empty())
          RaiseReadError();
        planeData[k] = out;
      } else if (copyRaw) {
        std::memcpy(out, data, static_cast<std::size_t>(rooms[k]));
        planeData[k] = out;
      } else {
        planeData[k] = data;
      }
    }

    const std::size_t visibleRows = std::min<std::size_t>(block.Rows, height - block.Y);
    const std::size_t visibleWidth = std::min<std::size_t>(blockWidth, width - block.X);
    const std::size_t xByte = std::size_t{block.X} * targetBits / 8;
    const bool wholeRows = block.X == 0 && visibleWidth == width;
    const std::size_t rowCount = std::min(rowsReady, visibleRows);
    for (std::size_t r = 0; r < rowCount; ++r) {
      const int y = static_cast<int>(block.Y + r);
      const void* sources[4] = {};
      const std::uint8_t* labRow = nullptr;  // the row as stored, alpha samples among the colours
      std::size_t sourceBytes = rowBytes;
      if (subsampled) {
        // One row of full YCbCr triples from the blocks of its block row.
        const std::uint8_t* cells = planeData[0] + r / vSub * blockRowBytes;
        const std::size_t inBlock = r % vSub;
        for (std::size_t x = 0; x < visibleWidth; ++x) {
          const std::uint8_t* cell = cells + x / hSub * blockBytes;
          scratch[3 * x] = cell[inBlock * hSub + x % hSub];
          scratch[3 * x + 1] = cell[hSub * vSub];
          scratch[3 * x + 2] = cell[hSub * vSub + 1];
        }
        sources[0] = scratch.data();
        sourceBytes = visibleWidth * 3;
      } else {
        for (std::size_t k = 0; k < planesUsed; ++k) {
          std::uint8_t* row = const_cast<std::uint8_t*>(planeData[k]) + r * rowBytes;
          // Only decoded blocks, which live in our own buffers, are un-differenced.
          const std::size_t stride = planar ? 1 : samples;
          if (predictor) UndoPredictor(row, blockWidth * stride, stride, bits, bigEndian_);
          if (floatPredictor) UndoFloatPredictor(row, blockWidth * stride, stride, bits / 8, floatScratch);
          sources[k] = row;
        }
        if (floating) {
          StoreFloatRow(sources, planar, samples, bits / 8, floatsBigEndian, associatedAlpha_, visibleWidth,
                        floats->Row(y) + 4 * block.X);
          continue;
        }
        if (compactLab) {
          // L, a and b of each pixel side by side, 16-bit samples reduced as below.
          labRow = static_cast<const std::uint8_t*>(sources[0]);
          const std::uint8_t* in = labRow;
          std::uint8_t* out = scratch.data();
          if (bits == 16) {
            for (std::size_t x = 0; x < visibleWidth; ++x, in += 8, out += 3)
              ReduceTo8(in, out, 3, bigEndian_, [](std::size_t i) { return i != 0; });
          } else {
            for (std::size_t x = 0; x < visibleWidth; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
          }
          sources[0] = scratch.data();
          sourceBytes = visibleWidth * 3;
        } else if (reduce16) {
          const std::size_t perPlane = planar ? visibleWidth : visibleWidth * samples;
          for (std::size_t k = 0; k < planesUsed; ++k) {
            std::uint8_t* out = scratch.data() + k * perPlane;
            const bool lab = scheme == csCIELab;
            ReduceTo8(static_cast<const std::uint8_t*>(sources[k]), out, perPlane, bigEndian_,
                      [lab, planar, k](std::size_t i) { return lab && (planar ? k == 1 || k == 2 : i % 3 != 0); });
            sources[k] = out;
          }
          sourceBytes = perPlane;
        }
      }
      // Colours stored multiplied by their alpha (GIMP and libvips write them so) are divided
      // by it again, as a display that blends with the alpha needs them.
      const std::span<const void* const> planesShown(sources, labAlpha && planar ? 3 : planesUsed);
      auto finish = unpremultiply && !labAlpha ? UnpremultiplyBGRA : nullptr;
      if (wholeRows) {
        ConvertRowTo(y, planesShown, sourceBytes, finish);
      } else {
        std::uint8_t* line = ScanLine(y) + xByte;
        ColorManager.ConvertRow(planesShown, sourceBytes, line, BytesPerScanline() - xByte,
                                static_cast<std::uint32_t>(visibleWidth), 0xFF);
        if (finish) finish(line, visibleWidth);
      }
      if (labAlpha) {
        // The alpha sample of each pixel, from the fourth plane or the fourth of its samples.
        // A separate 16-bit plane has been reduced to 8 bits with the colours.
        const std::uint8_t* alpha = planar ? static_cast<const std::uint8_t*>(sources[3]) : labRow;
        const bool wideAlpha = bits == 16 && !planar;
        const std::size_t step = planar ? 1 : 4 * (bits / 8);
        const std::size_t first = planar ? 0 : 3 * (bits / 8);
        std::uint8_t* line = ScanLine(y) + xByte;
        for (std::size_t x = 0; x < visibleWidth; ++x) {
          const std::uint8_t* a = alpha + first + x * step;
          line[4 * x + 3] = wideAlpha ? static_cast<std::uint8_t>(MulDiv16(Endian16(a, bigEndian_), 255, 65535)) : a[0];
        }
      }
    }
    // Rows the file does not hold are blank, not whatever the new bitmap held.
    const std::size_t shownBytes = std::min<std::size_t>((visibleWidth * targetBits + 7) / 8, BytesPerScanline() - xByte);
    for (std::size_t r = rowCount; r < visibleRows; ++r)
      std::memset(ScanLine(static_cast<int>(block.Y + r)) + xByte, 0, wholeRows ? BytesPerScanline() - xByte : shownBytes);
    // A band of the picture is done with the block that ends it on the right.
    if (block.X + blockWidth >= width)
      for (std::size_t r = 0; r < visibleRows; ++r) {
        p.CurrentRow = static_cast<std::uint32_t>(block.Y + r + 1);
        RowProgress(p.CurrentRow - 1, static_cast<std::uint32_t>(height));
      }
    ++p.CurrentStrip;
  }
  if (decoder) decoder->DecodeEnd();
  if (floats) SetFloatPixels(std::move(floats));
  // The fourth byte of the pixels is the file's alpha for a display to blend with.
  if (alphaSample_ && (floating ? samples == 2 || samples == 4 : colors.TargetScheme == csBGRA)) SetAlphaChannel(true);
  EndProgress();
}

// ---- EPS ----------------------------------------------------------------------------------

bool TEPSGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kEPSHeaderSize, [](const std::uint8_t* b) {
    return std::memcmp(b, kEPSMagic, 4) == 0 && LittleEndian32(b + 20) >= kEPSHeaderSize && LittleEndian32(b + 24) > 0;
  });
}

void TEPSGraphic::SeekPreview(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  std::uint8_t h[kEPSHeaderSize];
  if (Stream.Read(h, kEPSHeaderSize) != kEPSHeaderSize || std::memcmp(h, kEPSMagic, 4) != 0) Raise(gesInvalidImage, gesEPS);
  const std::uint64_t offset = LittleEndian32(h + 20), length = LittleEndian32(h + 24);
  const std::int64_t size = Stream.Size() - start;
  // The preview must lie behind the header and inside the file.
  if (offset < kEPSHeaderSize || length == 0 || offset + length > static_cast<std::uint64_t>(size))
    Raise(gesInvalidImage, gesEPS);
  Stream.SetPosition(start + static_cast<std::int64_t>(offset));
  embeddedLength_ = length;
}

bool TEPSGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  SeekPreview(Stream);
  return TTIFFGraphic::ReadImageProperties(Stream, ImageIndex);
}

void TEPSGraphic::LoadFromStream(TStream& Stream) {
  ReleaseImage();
  SeekPreview(Stream);
  TTIFFGraphic::LoadFromStream(Stream);
}

}  // namespace vumo
