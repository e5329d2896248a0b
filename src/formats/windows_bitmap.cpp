// Reading Windows bitmap files into TBitmap.
#include "formats/windows_bitmap.h"

#include "formats/messages.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "formats/byte_source.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

namespace vumo {
namespace dib {
namespace {

[[noreturn]] void NotValid() { throw EInvalidGraphic(kBitmapNotValid); }
[[noreturn]] void Truncated() { throw EReadError(kStreamReadError); }

// Headers between 16 and 64 bytes other than the Windows sizes are OS/2 2.x headers, which
// may stop after any field; the missing fields are zero.
bool IsOs2Header(std::uint32_t size) { return size == 12 || (size >= 16 && size <= 64 && size != 40 && size != 52 && size != 56); }

bool ValidHeaderSize(std::uint32_t size) { return size == 12 || (size >= 16 && size <= 64) || size == 108 || size == 124; }

// A scanner's density tops out near 20,000 dpi; a field far beyond that (or below its
// negative) means the header is garbage rather than a picture with odd metadata.
constexpr std::int64_t kMaxPixelsPerMeter = 1000000;

struct MaskShape {
  int shift = 0;
  int width = 0;
};

MaskShape ShapeOf(std::uint32_t mask) {
  if (mask == 0) return {};
  MaskShape shape;
  shape.shift = std::countr_zero(mask);
  std::uint32_t bits = mask >> shape.shift;
  if ((bits & (bits + 1)) != 0) NotValid();  // not one contiguous run of bits
  shape.width = std::popcount(bits);
  return shape;
}

TPixelFormat FormatFor(const TDibInfo& info, bool& copyRows) {
  copyRows = false;
  switch (info.bits) {
    case 1: copyRows = true; return pf1bit;
    case 2: return pf4bit;
    case 4: copyRows = info.compression == kRgb; return pf4bit;
    case 8: copyRows = info.compression == kRgb; return pf8bit;
    case 24: copyRows = true; return pf24bit;
    default: break;
  }
  const std::uint32_t* m = info.masks;
  bool fields = info.compression == kBitfields || info.compression == kAlphaBitfields;
  if (info.bits == 16) {
    if (!fields || (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0)) {
      copyRows = true;
      return pf15bit;
    }
    if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F && m[3] == 0) {
      copyRows = true;
      return pf16bit;
    }
    return m[3] ? pf32bit : pf24bit;
  }
  // 32 bits
  if (!fields || (m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF && (m[3] == 0 || m[3] == 0xFF000000u))) {
    copyRows = true;
    return pf32bit;
  }
  return m[3] ? pf32bit : pf24bit;
}

// Stored row r of the file (bottom-up unless topDown) is bitmap row RowOf(r).
int RowOf(const TDibInfo& info, std::int64_t storedRow) {
  return info.topDown ? static_cast<int>(storedRow) : info.height - 1 - static_cast<int>(storedRow);
}

void PutIndex(std::uint8_t* row, int bits, std::int64_t x, unsigned index) {
  if (bits == 8) {
    row[x] = static_cast<std::uint8_t>(index);
  } else {  // 4 bits, high nibble first
    std::uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                : static_cast<std::uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
  }
}

// Run-length data. A run that passes the end of its row is cut at the row end (sloppy
// encoders overshoot the last few pixels); pixels drawn above the top row mean the data
// describes a different picture, and the file is refused.
void DecodeRle(const TDibInfo& info, const std::uint8_t* data, std::size_t size, TBitmap& out) {
  const bool rle4 = info.compression == kRle4;
  const int bits = rle4 ? 4 : 8;
  const std::int64_t w = info.width, h = info.height;
  std::int64_t x = 0, y = 0;
  std::size_t pos = 0;
  std::uint8_t* row = out.ScanLine(RowOf(info, 0));
  auto put = [&](unsigned index) {
    if (y >= h) NotValid();
    if (x < w) PutIndex(row, bits, x, index);
    ++x;
  };
  auto moveTo = [&](std::int64_t newX, std::int64_t newY) {
    x = newX;
    if (newY != y) {
      y = newY;
      if (y < h) row = out.ScanLine(RowOf(info, y));
    }
  };
  for (;;) {
    if (size - pos < 2) {
      // Some writers leave out the end-of-bitmap mark after a complete last row.
      if (y >= h || (y == h - 1 && x >= w)) return;
      Truncated();
    }
    unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (y >= h) NotValid();
      // Clipped at the row end; x keeps counting so the next escape behaves as written.
      std::int64_t visible = std::clamp<std::int64_t>(w - x, 0, count);
      if (rle4) {
        for (std::int64_t i = 0; i < visible; ++i) PutIndex(row, 4, x + i, (i & 1) ? (value & 0x0F) : (value >> 4));
      } else if (visible > 0) {
        std::memset(row + x, static_cast<int>(value), static_cast<std::size_t>(visible));
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0: moveTo(0, y + 1); break;  // end of line
      case 1: return;                   // end of bitmap
      case 2:                           // delta
        if (size - pos < 2) Truncated();
        moveTo(x + data[pos], y + data[pos + 1]);
        pos += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to a whole 16-bit word
        std::size_t bytes = rle4 ? (value + 1) / 2 : value;
        std::size_t padded = (bytes + 1) & ~std::size_t{1};
        if (size - pos < bytes) Truncated();
        if (rle4) {
          for (unsigned i = 0; i < value; ++i) put((i & 1) ? (data[pos + i / 2] & 0x0F) : (data[pos + i / 2] >> 4));
        } else {
          for (unsigned i = 0; i < value; ++i) put(data[pos + i]);
        }
        pos += std::min(padded, size - pos);
        break;
      }
    }
  }
}

void DecodeBitfields(const TDibInfo& info, const std::uint8_t* data, TBitmap& out) {
  MaskShape shapes[4];
  for (int c = 0; c < 4; ++c) shapes[c] = ShapeOf(info.masks[c]);
  const bool alpha = info.masks[3] != 0;
  const int outBytes = out.PixelFormat() == pf32bit ? 4 : 3;
  const std::size_t stride = StoredRowBytes(info);
  // Channels wider than eight bits keep their top eight; narrower ones are scaled to the full range.
  auto scale = [](std::uint32_t v, const MaskShape& s) -> std::uint8_t {
    if (s.width == 0) return 0;
    if (s.width >= 8) return static_cast<std::uint8_t>(v >> (s.width - 8));
    std::uint32_t max = (1u << s.width) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  };
  for (std::int64_t r = 0; r < info.height; ++r) {
    const std::uint8_t* s = data + stride * static_cast<std::size_t>(r);
    std::uint8_t* d = out.ScanLine(RowOf(info, r));
    for (std::int32_t x = 0; x < info.width; ++x, d += outBytes) {
      std::uint32_t v = info.bits == 16 ? LittleEndian16(s + 2 * static_cast<std::size_t>(x)) : LittleEndian32(s + 4 * static_cast<std::size_t>(x));
      std::uint8_t ch[4];
      for (int c = 0; c < 4; ++c) ch[c] = scale((v & info.masks[c]) >> shapes[c].shift, shapes[c]);
      d[0] = ch[2];
      d[1] = ch[1];
      d[2] = ch[0];
      if (outBytes == 4) d[3] = alpha ? ch[3] : 255;
    }
  }
}

// Two-bit pixels (Windows CE) widened to four.
void Decode2Bit(const TDibInfo& info, const std::uint8_t* data, TBitmap& out) {
  const std::size_t stride = StoredRowBytes(info);
  for (std::int64_t r = 0; r < info.height; ++r) {
    const std::uint8_t* s = data + stride * static_cast<std::size_t>(r);
    std::uint8_t* d = out.ScanLine(RowOf(info, r));
    for (std::int32_t x = 0; x < info.width; ++x)
      PutIndex(d, 4, x, (s[x >> 2] >> (6 - 2 * (x & 3))) & 3);
  }
}

// An alpha channel that is zero everywhere is an unused byte, as writers that know no
// alpha leave it; such a picture is opaque.
void SettleAlpha(TBitmap& out, bool hasAlpha) {
  if (out.PixelFormat() != pf32bit) return;
  bool anyAlpha = false;
  if (hasAlpha) {
    for (int y = 0; y < out.Height() && !anyAlpha; ++y) {
      const std::uint8_t* row = out.ScanLine(y);
      for (int x = 0; x < out.Width(); ++x)
        if (row[4 * x + 3] != 0) {
          anyAlpha = true;
          break;
        }
    }
  }
  out.SetAlphaChannel(anyAlpha);
  if (anyAlpha) return;
  for (int y = 0; y < out.Height(); ++y) {
    std::uint8_t* row = out.ScanLine(y);
    for (int x = 0; x < out.Width(); ++x) row[4 * x + 3] = 255;
  }
}

void CheckIndices(const TDibInfo& info, const TBitmap& out) {
  if (info.usedColors == 0) return;
  const int bits = BitsPerPixelOf(out.PixelFormat());
  const std::size_t width = static_cast<std::size_t>(out.Width());
  // The highest index of each row, in loops the compiler can vectorise: a bitmap of
  // hundreds of millions of pixels is checked in a fraction of a second.
  for (int y = 0; y < out.Height(); ++y) {
    const std::uint8_t* row = out.ScanLine(y);
    unsigned highest = 0;
    if (bits == 8) {
      highest = *std::max_element(row, row + width);
    } else if (bits == 4) {
      // The low nibble of the last byte of an odd row is padding, not a pixel.
      std::uint8_t high = 0, low = 0;
      for (std::size_t i = 0; i < width / 2; ++i) {
        high = std::max<std::uint8_t>(high, row[i] >> 4);
        low = std::max<std::uint8_t>(low, row[i] & 0x0F);
      }
      if (width % 2) high = std::max<std::uint8_t>(high, row[width / 2] >> 4);
      highest = std::max(high, low);
    } else {
      for (std::size_t x = 0; x < width && highest == 0; ++x) highest = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    if (highest >= info.usedColors) NotValid();
  }
}

}  // namespace

TDibInfo ParseDibInfo(const std::uint8_t* data, std::size_t size, std::size_t room, bool icon) {
  TDibInfo info;
  if (size < 4) Truncated();
  info.headerSize = LittleEndian32(data);
  if (!ValidHeaderSize(info.headerSize)) NotValid();
  if (size < info.headerSize) Truncated();
  const std::uint32_t hs = info.headerSize;
  const bool core = hs == 12;
  const bool os2 = IsOs2Header(hs);
  std::int64_t width, height;
  unsigned planes;
  std::uint32_t clrUsed = 0;
  if (core) {
    width = LittleEndian16(data + 4);
    height = LittleEndian16(data + 6);
    planes = LittleEndian16(data + 8);
    info.bits = LittleEndian16(data + 10);
  } else {
    width = static_cast<std::int32_t>(LittleEndian32(data + 4));
    height = static_cast<std::int32_t>(LittleEndian32(data + 8));
    planes = LittleEndian16(data + 12);
    info.bits = LittleEndian16(data + 14);
    if (hs >= 20) info.compression = LittleEndian32(data + 16);
    if (hs >= 24) info.sizeImage = LittleEndian32(data + 20);
    for (std::uint32_t field = 24; field + 4 <= std::min<std::uint32_t>(hs, 32); field += 4) {
      std::int64_t density = static_cast<std::int32_t>(LittleEndian32(data + field));
      if (density > kMaxPixelsPerMeter || density < -kMaxPixelsPerMeter) NotValid();
    }
    if (hs >= 36) clrUsed = LittleEndian32(data + 32);
  }
  if (planes != 1) NotValid();
  // Checked before the bit count, which JPEG and PNG data leave at zero.
  if (os2) {
    // OS/2 numbers its compressions differently: 3 is Huffman 1D and 4 is RLE24.
    if (info.compression == 3 || info.compression == 4) throw EInvalidGraphic(kBitmapCompressionNotSupported);
    if (info.compression > 4) NotValid();
  } else if (info.compression == 4 || info.compression == 5) {
    throw EInvalidGraphic(kBitmapCompressionNotSupported);
  }
  if (info.bits != 1 && info.bits != 2 && info.bits != 4 && info.bits != 8 && info.bits != 16 && info.bits != 24 &&
      info.bits != 32)
    NotValid();
  switch (info.compression) {
    case kRgb: break;
    case kRle8: if (info.bits != 8) NotValid(); break;
    case kRle4: if (info.bits != 4) NotValid(); break;
    case kBitfields:
    case kAlphaBitfields: if (info.bits != 16 && info.bits != 32) NotValid(); break;
    default: NotValid();
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) NotValid();
  if (height < 0) {
    // Run-length data is always stored bottom-up.
    if (info.compression == kRle4 || info.compression == kRle8 || icon) NotValid();
    info.topDown = true;
    height = -height;
  }
  if (icon) {
    height /= 2;
    if (height == 0) NotValid();
  }
  info.width = static_cast<std::int32_t>(width);
  info.height = static_cast<std::int32_t>(height);
  if (!ImageSizeAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), 32))
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(width), static_cast<unsigned>(height)));

  std::size_t pos = hs;
  if (info.compression == kBitfields || info.compression == kAlphaBitfields) {
    std::size_t count = info.compression == kAlphaBitfields ? 4 : 3;
    if (hs >= 52) {
      // Windows headers from 52 bytes on carry the masks themselves (56 and up the alpha mask too).
      count = hs >= 56 ? 4 : 3;
      for (std::size_t c = 0; c < count; ++c) info.masks[c] = LittleEndian32(data + 40 + 4 * c);
    } else {
      if (size - pos < 4 * count) Truncated();
      for (std::size_t c = 0; c < count; ++c) info.masks[c] = LittleEndian32(data + pos + 4 * c);
      pos += 4 * count;
    }
    std::uint32_t limit = info.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    std::uint32_t seen = 0;
    for (std::uint32_t mask : info.masks) {
      if ((mask & ~limit) != 0 || (mask & seen) != 0) NotValid();
      ShapeOf(mask);
      seen |= mask;
    }
    if ((info.masks[0] | info.masks[1] | info.masks[2]) == 0) NotValid();
  }

  const std::size_t entryBytes = core ? 3 : 4;
  const std::uint32_t maxColors = info.bits <= 8 ? (1u << info.bits) : 256u;
  std::uint64_t declared = clrUsed != 0 ? clrUsed : (info.bits <= 8 ? maxColors : 0);
  std::size_t available = (size - pos) / entryBytes;
  // A count past what the bits can address is tolerated (some writers give 256 for smaller
  // palettes) only while the palette fits before the pixel data.
  if (declared > maxColors && declared > (std::max(room, pos) - pos) / entryBytes) NotValid();
  info.infoBytes = pos + static_cast<std::size_t>(declared) * entryBytes;
  if (info.bits <= 8) {
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(declared, maxColors));
    if (clrUsed != 0 && clrUsed < maxColors) info.usedColors = clrUsed;
    info.palette.resize(count);
    std::size_t present = std::min(count, available);
    for (std::size_t i = 0; i < present; ++i) {
      const std::uint8_t* e = data + pos + i * entryBytes;
      info.palette[i] = TPaletteEntry{e[2], e[1], e[0], 0};
    }
  }
  return info;
}

std::size_t StoredRowBytes(const TDibInfo& info) {
  return ((static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.bits) + 31) / 32) * 4;
}

std::size_t UncompressedBytes(const TDibInfo& info) {
  if (info.compression == kRle4 || info.compression == kRle8) return 0;
  // ParseDibInfo bounded width and height, so this cannot overflow; checked all the same.
  auto bytes = CheckedMul(StoredRowBytes(info), static_cast<std::size_t>(info.height));
  if (!bytes) NotValid();
  return *bytes;
}

void DecodeDibPixels(const TDibInfo& info, const std::uint8_t* pixels, std::size_t size, bool iconAlpha,
                     TBitmap& out) {
  bool copyRows = false;
  TPixelFormat format = FormatFor(info, copyRows);
  out.ReleaseImage();
  out.SetPixelFormat(format);
  out.SetSize(info.width, info.height);
  if (info.bits <= 8) out.SetPalette(info.palette);
  if (info.compression == kRle4 || info.compression == kRle8) {
    DecodeRle(info, pixels, size, out);
  } else {
    const std::size_t stride = StoredRowBytes(info);
    if (size < UncompressedBytes(info)) Truncated();
    if (copyRows) {
      const std::size_t rowBytes = std::min(stride, out.BytesPerScanline());
      for (std::int64_t r = 0; r < info.height; ++r)
        std::memcpy(out.ScanLine(RowOf(info, r)), pixels + stride * static_cast<std::size_t>(r), rowBytes);
    } else if (info.bits == 2) {
      Decode2Bit(info, pixels, out);
    } else {
      DecodeBitfields(info, pixels, out);
    }
  }
  CheckIndices(info, out);
  bool fields = info.compression == kBitfields || info.compression == kAlphaBitfields;
  SettleAlpha(out, fields ? info.masks[3] != 0 : iconAlpha && info.bits == 32);
}

namespace {

void DecodeDibRows(const TDibInfo& info, TStream& stream, TBitmap& out) {
  bool copyRows = false;
  const TPixelFormat format = FormatFor(info, copyRows);
  out.ReleaseImage();
  out.SetPixelFormat(format);
  // Every row is copied whole, or the load fails and `out` is dropped.
  out.SetSizeToOverwrite(info.width, info.height);
  if (info.bits <= 8) out.SetPalette(info.palette);
  const std::size_t stride = StoredRowBytes(info);
  const std::size_t rowBytes = std::min(stride, out.BytesPerScanline());
  TByteSource bytes(stream);
  for (std::int64_t r = 0; r < info.height; ++r) {
    const std::uint8_t* row = bytes.Take(stride);
    if (!row) Truncated();
    std::memcpy(out.ScanLine(RowOf(info, r)), row, rowBytes);
  }
  CheckIndices(info, out);
  const bool fields = info.compression == kBitfields || info.compression == kAlphaBitfields;
  SettleAlpha(out, fields && info.masks[3] != 0);
}

bool StoredRowsFit(const TDibInfo& info) {
  bool copyRows = false;
  FormatFor(info, copyRows);
  return copyRows && info.compression != kRle4 && info.compression != kRle8;
}

}  // namespace

}  // namespace dib

// Every truncation raises EReadError "Stream read error"; values no bitmap can have raise
// EInvalidGraphic. The bitmap keeps its old image when either happens.
void TBitmap::LoadFromStream(TStream& Stream) {
  using namespace dib;
  constexpr std::size_t kFileHeader = 14;
  // File header, the largest info header, alpha masks and a 256-colour palette.
  constexpr std::size_t kHeadRead = kFileHeader + 124 + 16 + 256 * 4;
  const std::int64_t start = Stream.Position();
  const std::uint64_t fileSize = static_cast<std::uint64_t>(Stream.Remaining());

  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kHeadRead)));
  Stream.ReadBuffer(head.data(), head.size());
  if (head.size() < 2 || head[0] != 'B' || head[1] != 'M') NotValid();
  if (head.size() < kFileHeader + 4) Truncated();
  const std::uint32_t bfSize = LittleEndian32(head.data() + 2);
  const std::uint32_t bfOffBits = LittleEndian32(head.data() + 10);
  const std::uint32_t headerSize = LittleEndian32(head.data() + kFileHeader);
  if (!ValidHeaderSize(headerSize)) NotValid();
  if (bfOffBits != 0 && (bfOffBits < kFileHeader + headerSize || bfOffBits > fileSize)) NotValid();

  std::size_t infoSize = head.size() - kFileHeader;
  if (bfOffBits != 0) infoSize = std::min<std::size_t>(infoSize, bfOffBits - kFileHeader);
  const std::uint64_t room = (bfOffBits != 0 ? bfOffBits : fileSize) - kFileHeader;
  TDibInfo info = ParseDibInfo(head.data() + kFileHeader, infoSize, static_cast<std::size_t>(room), false);

  const std::uint64_t pixelOffset = bfOffBits != 0 ? bfOffBits : kFileHeader + info.infoBytes;
  if (pixelOffset > fileSize) Truncated();
  const std::uint64_t available = fileSize - pixelOffset;
  std::uint64_t toRead = UncompressedBytes(info);
  if (toRead == 0) {
    toRead = available;
    if (info.sizeImage != 0) {
      if (info.sizeImage > available) Truncated();
      toRead = info.sizeImage;
    }
    // No sound run-length stream needs more than two bytes a pixel and an escape a row.
    std::uint64_t cap = 2 * static_cast<std::uint64_t>(info.width + 2) * static_cast<std::uint64_t>(info.height) + 64;
    toRead = std::min(toRead, cap);
  } else if (toRead > available) {
    Truncated();
  }
  Stream.SetPosition(start + static_cast<std::int64_t>(pixelOffset));
  TBitmap decoded;
  if (StoredRowsFit(info)) {
    // Rows the bitmap keeps as stored go straight from the stream into their scanlines.
    DecodeDibRows(info, Stream, decoded);
  } else {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(toRead));
    Stream.ReadBuffer(pixels.data(), pixels.size());
    DecodeDibPixels(info, pixels.data(), pixels.size(), false, decoded);
  }
  // A complete picture whose header claims more data than the file holds has a corrupt
  // header, not a short file.
  if (bfSize > fileSize || (info.sizeImage > available)) NotValid();
  TakeImage(decoded);
  // A palette just read is one the display has not realised yet, as with every other reader.
  paletteModified_ = decoded.PaletteModified();
  Changed();
}

}  // namespace vumo
