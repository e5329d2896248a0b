#include "formats/icon.h"

#include "formats/messages.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/bitmap_export.h"
#include "pixels/byte_order.h"
#include "formats/png.h"
#include "formats/windows_bitmap.h"

namespace vumo {

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kDirectoryEntry = 16;
// Enough of an entry to read its info header and colour masks and to recognise PNG data.
constexpr std::size_t kEntryProbe = 124 + 16;

bool IsPng(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

struct Candidate {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::uint64_t area = 0;
  int bits = 0;
  bool png = false;
};

// The colour image must be complete and stored plainly, since the AND mask follows it.
bool Decodable(const dib::TDibInfo& info, std::uint32_t entrySize) {
  if (info.compression != dib::kRgb && info.compression != dib::kBitfields && info.compression != dib::kAlphaBitfields)
    return false;
  std::uint64_t needed = static_cast<std::uint64_t>(info.infoBytes) + dib::UncompressedBytes(info);
  return needed <= entrySize;
}

}  // namespace

// The directory picks the image: the largest, then the deepest of the entries that can be
// decoded. A 32-bit image whose alpha is not all zero uses it; every other image takes its
// transparency from the AND mask. An AND mask that the file leaves out is taken as opaque.
void TIcon::LoadFromStream(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  const std::uint64_t fileSize = static_cast<std::uint64_t>(Stream.Remaining());
  if (fileSize < kDirectoryHeader) throw EInvalidGraphic(kIconNotValid);
  std::uint8_t header[kDirectoryHeader];
  Stream.ReadBuffer(header, sizeof header);
  const unsigned type = LittleEndian16(header + 2), count = LittleEndian16(header + 4);
  // Type 2 is a cursor, whose images are stored the same way.
  if (LittleEndian16(header) != 0 || (type != 1 && type != 2) || count == 0) throw EInvalidGraphic(kIconNotValid);
  const std::uint64_t directoryEnd = kDirectoryHeader + std::uint64_t{kDirectoryEntry} * count;
  if (directoryEnd > fileSize) throw EReadError(kStreamReadError);
  std::vector<std::uint8_t> directory(kDirectoryEntry * count);
  Stream.ReadBuffer(directory.data(), directory.size());

  std::vector<Candidate> candidates;
  std::vector<std::uint8_t> probe;
  for (unsigned i = 0; i < count; ++i) {
    const std::uint8_t* e = directory.data() + kDirectoryEntry * i;
    const std::uint32_t size = LittleEndian32(e + 8), offset = LittleEndian32(e + 12);
    if (offset < directoryEnd || size == 0 || offset > fileSize || size > fileSize - offset) continue;
    probe.resize(std::min<std::size_t>(size, kEntryProbe));
    Stream.SetPosition(start + offset);
    Stream.ReadBuffer(probe.data(), probe.size());
    if (IsPng(probe.data(), probe.size())) {
      // The PNG header tells the size and depth; the entry is decoded only if it is chosen.
      if (probe.size() < 8 + 8 + 13) continue;
      const std::uint64_t area = std::uint64_t{BigEndian32(probe.data() + 16)} * BigEndian32(probe.data() + 20);
      const int bits = probe[24] * (probe[25] == 2 ? 3 : probe[25] == 4 ? 2 : probe[25] == 6 ? 4 : 1);
      candidates.push_back({offset, size, area, bits, true});
      continue;
    }
    try {
      dib::TDibInfo info = dib::ParseDibInfo(probe.data(), probe.size(), size, true);
      if (!Decodable(info, size)) continue;
      candidates.push_back(
          {offset, size, static_cast<std::uint64_t>(info.width) * static_cast<std::uint64_t>(info.height), info.bits});
    } catch (const Exception&) {
      // An entry we cannot read does not spoil the others.
    }
  }
  if (candidates.empty()) throw EInvalidGraphic(kIconNotValid);
  // The entries as images: the one shown first, then the others from the largest and deepest
  // down, so stepping through them goes from the finest to the coarsest.
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return a.area != b.area ? a.area > b.area : a.bits > b.bits;
  });
  if (RequestedImage() >= candidates.size()) throw EInvalidGraphic(FormatMessage(kNoSuchImage, RequestedImage() + 1));
  const Candidate best = candidates[RequestedImage()];
  const unsigned entryCount = static_cast<unsigned>(candidates.size());
  auto images = [&] {
    return TImageSet{entryCount, RequestedImage(),
                     entryCount > 1 ? ImageCaption("entry", RequestedImage(), entryCount) : std::string()};
  };

  std::vector<std::uint8_t> data(best.size);
  Stream.SetPosition(start + best.offset);
  Stream.ReadBuffer(data.data(), data.size());
  if (best.png) {
    // Vista-style entries hold a whole PNG file, with its own alpha.
    TMemoryStream entry(data.data(), data.size());
    TPNGGraphic png;
    png.LoadFromStream(entry);
    const std::vector<std::uint8_t> rgba = BitmapToRgba8(png);
    TBitmap result;
    result.SetPixelFormat(pf32bit);
    result.SetSize(png.Width(), png.Height());
    for (int y = 0; y < png.Height(); ++y) {
      const std::uint8_t* s = rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(png.Width()) * 4;
      std::uint8_t* d = result.ScanLine(y);
      for (int x = 0; x < png.Width(); ++x, s += 4, d += 4) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = s[3];
      }
    }
    result.SetAlphaChannel(true);
    bitmap_ = result;
    SetImages(images());
    SetImagePlace(TImagePlace{TImagePlace::ipEntry});
    Changed();
    return;
  }
  const dib::TDibInfo info = dib::ParseDibInfo(data.data(), data.size(), data.size(), true);
  const std::size_t xorBytes = dib::UncompressedBytes(info);
  TBitmap image;
  dib::DecodeDibPixels(info, data.data() + info.infoBytes, data.size() - info.infoBytes, true, image);

  const bool ownAlpha = image.AlphaChannel();
  const std::vector<std::uint8_t> rgba = BitmapToRgba8(image);
  TBitmap result;
  result.SetPixelFormat(pf32bit);
  result.SetSize(info.width, info.height);
  const std::size_t maskStride = ((static_cast<std::size_t>(info.width) + 31) / 32) * 4;
  const std::size_t maskStart = info.infoBytes + xorBytes;
  for (int y = 0; y < info.height; ++y) {
    const std::uint8_t* s = rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(info.width) * 4;
    std::uint8_t* d = result.ScanLine(y);
    // The mask is stored bottom-up like the image; rows past the end of the entry are opaque.
    const std::size_t maskRow = maskStart + maskStride * static_cast<std::size_t>(info.height - 1 - y);
    const std::uint8_t* mask = (!ownAlpha && maskRow + maskStride <= data.size()) ? data.data() + maskRow : nullptr;
    for (int x = 0; x < info.width; ++x, s += 4, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      if (ownAlpha)
        d[3] = s[3];
      else
        d[3] = (mask && (mask[x >> 3] >> (7 - (x & 7)) & 1)) ? 0 : 255;
    }
  }
  result.SetAlphaChannel(true);
  bitmap_ = result;
  SetImages(images());
  SetImagePlace(TImagePlace{TImagePlace::ipEntry});
  Changed();
}

void TIcon::Assign(const TGraphic& Source) {
  const TBitmap* bitmap = Source.DrawBitmap();
  if (bitmap) bitmap_ = *bitmap; else bitmap_.ReleaseImage();
  AssignDescription(Source);
  Changed();
}

}  // namespace vumo
