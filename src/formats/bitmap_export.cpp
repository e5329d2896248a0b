#include "formats/bitmap_export.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {
namespace {

std::uint8_t Widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
std::uint8_t Widen6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t size) {
  PutBigEndian32(out, static_cast<std::uint32_t>(size));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBigEndian32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

int PaletteIndexAt(const TBitmap& bitmap, const std::uint8_t* row, int x) {
  switch (bitmap.PixelFormat()) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case pf8bit: return row[x];
    default: return -1;
  }
}

void PixelToRgba8(const TBitmap& bitmap, const std::uint8_t* s, int x, std::uint8_t* d) {
  switch (bitmap.PixelFormat()) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      const TLogPalette& palette = bitmap.Palette();
      const auto index = static_cast<std::size_t>(PaletteIndexAt(bitmap, s, x));
      if (index < palette.size()) {
        d[0] = palette[index].peRed;
        d[1] = palette[index].peGreen;
        d[2] = palette[index].peBlue;
      } else {
        d[0] = d[1] = d[2] = 0;  // an index past the palette draws black, as the platform does
      }
      d[3] = 255;
      break;
    }
    case pf15bit:
    case pf16bit: {
      const unsigned v = LittleEndian16(s + 2 * x);
      const bool green6 = bitmap.PixelFormat() == pf16bit;  // 5-6-5 rather than 5-5-5
      d[0] = Widen5((v >> (green6 ? 11 : 10)) & 31);
      d[1] = green6 ? Widen6((v >> 5) & 63) : Widen5((v >> 5) & 31);
      d[2] = Widen5(v & 31);
      d[3] = 255;
      break;
    }
    case pf24bit:
    case pf32bit: {
      const bool alpha = bitmap.PixelFormat() == pf32bit;
      const std::uint8_t* p = s + (alpha ? 4 : 3) * x;  // B, G, R[, A]
      d[0] = p[2];
      d[1] = p[1];
      d[2] = p[0];
      d[3] = alpha ? p[3] : 255;
      break;
    }
    default: std::memset(d, 0, 4); break;
  }
}

void ScanLineToRgba8(const TBitmap& bitmap, int row, std::uint8_t* out) {
  const std::uint8_t* s = bitmap.ScanLine(row);
  for (int x = 0, w = bitmap.Width(); x < w; ++x) PixelToRgba8(bitmap, s, x, out + 4 * x);
}

std::vector<std::uint8_t> BitmapToRgba8(const TBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  for (int y = 0; y < h; ++y) ScanLineToRgba8(bitmap, y, out.data() + static_cast<std::size_t>(y) * w * 4);
  return out;
}

struct TPngRgba8Writer::TState {
  z_stream zip{};
  bool started = false;
  std::vector<std::uint8_t> packed = std::vector<std::uint8_t>(std::size_t{1} << 18);
  std::size_t filled = 0;  // of `packed`, not yet written
  std::vector<std::uint8_t> chunk;
  std::vector<std::uint8_t> row;
};

TPngRgba8Writer::TPngRgba8Writer(int width, int height, TByteSink sink)
    : width_(width), height_(height), sink_(std::move(sink)), state_(std::make_unique<TState>()) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  const int level = pixels > kFastPngPixelCount ? 1 : 6;
  if (deflateInit(&state_->zip, level) != Z_OK) throw Exception("PNG compression failed.");
  state_->started = true;
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> out(kSignature, kSignature + 8);
  std::vector<std::uint8_t> ihdr;
  PutBigEndian32(ihdr, static_cast<std::uint32_t>(width));
  PutBigEndian32(ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no filter method, no interlace
  PutChunk(out, "IHDR", ihdr.data(), ihdr.size());
  sink_(out.data(), out.size());
  state_->row.resize(static_cast<std::size_t>(width) * 4 + 1);
}

TPngRgba8Writer::~TPngRgba8Writer() {
  if (state_->started) deflateEnd(&state_->zip);
}

void TPngRgba8Writer::Deflate(const std::uint8_t* data, std::size_t size, int flush) {
  TState& s = *state_;
  s.zip.next_in = const_cast<Bytef*>(data);
  s.zip.avail_in = static_cast<uInt>(size);
  for (;;) {
    s.zip.next_out = s.packed.data() + s.filled;
    s.zip.avail_out = static_cast<uInt>(s.packed.size() - s.filled);
    const int result = deflate(&s.zip, flush);
    if (result == Z_STREAM_ERROR) throw Exception("PNG compression failed.");
    s.filled = s.packed.size() - s.zip.avail_out;
    // Chunks of a whole buffer each, and the rest at the end.
    const bool finished = flush == Z_FINISH && result == Z_STREAM_END;
    if (s.filled == s.packed.size() || (finished && s.filled > 0)) {
      s.chunk.clear();
      PutChunk(s.chunk, "IDAT", s.packed.data(), s.filled);
      sink_(s.chunk.data(), s.chunk.size());
      s.filled = 0;
    }
    if (finished) break;
    if (flush != Z_FINISH && s.zip.avail_in == 0 && s.zip.avail_out != 0) break;
  }
}

void TPngRgba8Writer::AddRow(const std::uint8_t* rgba) {
  if (rows_ >= height_) return;
  state_->row[0] = 0;  // filter type none
  std::memcpy(state_->row.data() + 1, rgba, static_cast<std::size_t>(width_) * 4);
  Deflate(state_->row.data(), state_->row.size(), Z_NO_FLUSH);
  ++rows_;
}

void TPngRgba8Writer::Finish() {
  // Rows never given are transparent black, so the file always holds the whole picture.
  if (rows_ < height_) {
    std::vector<std::uint8_t> blank(static_cast<std::size_t>(width_) * 4, 0);
    while (rows_ < height_) AddRow(blank.data());
  }
  Deflate(nullptr, 0, Z_FINISH);
  std::vector<std::uint8_t> end;
  PutChunk(end, "IEND", nullptr, 0);
  sink_(end.data(), end.size());
}

void EncodeBitmapPng(const TBitmap& bitmap, const TByteSink& sink) {
  TPngRgba8Writer writer(bitmap.Width(), bitmap.Height(), sink);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.Width()) * 4);
  for (int y = 0; y < bitmap.Height(); ++y) {
    ScanLineToRgba8(bitmap, y, row.data());
    writer.AddRow(row.data());
  }
  writer.Finish();
}

std::vector<std::uint8_t> EncodePngRgba8(int width, int height, const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> out;
  TPngRgba8Writer writer(width, height, [&out](const std::uint8_t* bytes, std::size_t count) {
    out.insert(out.end(), bytes, bytes + count);
  });
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) writer.AddRow(rgba.data() + rowBytes * static_cast<std::size_t>(y));
  writer.Finish();
  return out;
}

void WritePngRgba8(const std::string& fileName, int width, int height, const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> png = EncodePngRgba8(width, height, rgba);
  std::FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) throw Exception(FormatMessage(kCannotCreateFile, fileName.c_str()));
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(fileName.c_str());
    throw Exception(FormatMessage(kCannotWriteFile, fileName.c_str()));
  }
}

}  // namespace vumo
