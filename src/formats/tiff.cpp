#include "formats/tiff.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "formats/messages.h"
#include "formats/tiff_tags.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"

namespace vumo {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEPSHeaderSize = 30;
constexpr std::uint8_t kEPSMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
// A chain longer than this is taken for a damaged file: no real document has more pages.
constexpr unsigned kMaxDirectories = 65536;

// The field types as TIFF 6.0 lists them: the first five, their signed kinds, the floats.
enum TType : std::uint16_t {
  ttByte = 1, ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5,
  ttSByte = 6, ttUndefined = 7, ttSShort = 8, ttSLong = 9, ttSRational = 10,
  ttFloat = 11, ttDouble = 12,
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
  SetImagePlace(TImagePlace{TImagePlace::ipPage});
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
