// The TIFF reader beside libtiff (TIFFReadRGBAImageOriented) on the same in-memory
// 4096 x 4096 RGB files, written at start-up by libtiff itself: uncompressed, PackBits,
// deflate, deflate with horizontal differencing, JPEG in YCbCr, and LZW without and with
// horizontal differencing, 32 rows a strip; and LZW with differencing in 256 x 256 tiles,
// which should cost what its strips cost.
// Bytes per second count decoded pixel bytes (three a pixel).
#include <benchmark/benchmark.h>

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "format_files.h"
#include "formats/tiff.h"

namespace {

constexpr int kSide = 4096;
constexpr int kRowsPerStrip = 32;

// A growing byte buffer behind libtiff's client interface, for writing and reading.
struct TBuffer {
  std::vector<std::uint8_t> data;
  toff_t position = 0;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
  auto* b = static_cast<TBuffer*>(h);
  const toff_t n = std::min<toff_t>(static_cast<toff_t>(size), b->position < b->data.size() ? b->data.size() - b->position : 0);
  std::memcpy(buffer, b->data.data() + b->position, n);
  b->position += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size) {
  auto* b = static_cast<TBuffer*>(h);
  if (b->position + static_cast<toff_t>(size) > b->data.size()) b->data.resize(b->position + static_cast<toff_t>(size));
  std::memcpy(b->data.data() + b->position, buffer, static_cast<std::size_t>(size));
  b->position += static_cast<toff_t>(size);
  return size;
}
toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* b = static_cast<TBuffer*>(h);
  if (whence == SEEK_SET) b->position = offset;
  else if (whence == SEEK_CUR) b->position += offset;
  else b->position = b->data.size() + offset;
  return b->position;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TBuffer*>(h)->data.size(); }
// Reading maps the whole buffer, as libtiff maps a file, so it decodes strips in place too.
int MapProc(thandle_t h, void** base, toff_t* size) {
  auto* b = static_cast<TBuffer*>(h);
  *base = b->data.data();
  *size = b->data.size();
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

TIFF* Open(TBuffer& buffer, const char* mode) {
  return TIFFClientOpen("memory", mode, &buffer, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc, UnmapProc);
}

// A photograph-like picture: smooth gradients with fine grain, so every coding has work.
std::uint8_t Sample(int x, int y, int c) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ static_cast<std::uint32_t>(y) * 0x85EBCA77u ^
                    static_cast<std::uint32_t>(c) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  const int grain = static_cast<int>(h & 3);
  const int flat = ((x / 64 + y / 64) & 3) == 0;  // flat patches give PackBits its runs
  if (flat) return static_cast<std::uint8_t>(60 + 40 * c);
  return static_cast<std::uint8_t>(((x >> 4) + (y >> 5) * (c + 1) + grain) & 0xFF);
}

// The last is noise in PackBits: every run a literal, where a decoder's copy loop is all it does.
enum TKind { kNone, kPackBits, kDeflate, kDeflatePredictor, kJPEG, kLZW, kLZWPredictor, kLZWPredictorTiled, kPackBitsNoise };

std::uint8_t Noise(int x, int y, int c) {
  std::uint32_t h = static_cast<std::uint32_t>((y * kSide + x) * 3 + c) * 0x9E3779B1u;
  h ^= h >> 16;
  h *= 0x85EBCA77u;
  h ^= h >> 13;
  return static_cast<std::uint8_t>(h);
}
constexpr int kTileSide = 256;

const std::vector<std::uint8_t>& File(TKind kind) {
  static std::map<TKind, std::vector<std::uint8_t>> files;
  auto& file = files[kind];
  if (!file.empty()) return file;
  TBuffer buffer;
  TIFF* tif = Open(buffer, "wm");  // "m": no mapping while writing
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kSide);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kSide);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (kind == kLZWPredictorTiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, kTileSide);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, kTileSide);
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
  }
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  switch (kind) {
    case kNone: TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE); break;
    case kPackBits:
    case kPackBitsNoise: TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS); break;
    case kDeflate: TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE); break;
    case kDeflatePredictor:
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
      TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
      break;
    case kJPEG:
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
      TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      break;
    case kLZW: TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW); break;
    case kLZWPredictor:
    case kLZWPredictorTiled:
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
      TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
      break;
  }
  if (kind == kLZWPredictorTiled) {
    std::vector<std::uint8_t> tile(kTileSide * kTileSide * 3);
    for (int ty = 0; ty < kSide; ty += kTileSide)
      for (int tx = 0; tx < kSide; tx += kTileSide) {
        for (int y = 0; y < kTileSide; ++y)
          for (int x = 0; x < kTileSide; ++x)
            for (int c = 0; c < 3; ++c)
              tile[static_cast<std::size_t>((y * kTileSide + x) * 3 + c)] = Sample(tx + x, ty + y, c);
        TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0);
      }
  } else {
    std::vector<std::uint8_t> row(kSide * 3);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x)
        for (int c = 0; c < 3; ++c)
          row[static_cast<std::size_t>(3 * x + c)] = kind == kPackBitsNoise ? Noise(x, y, c) : Sample(x, y, c);
      TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
    }
  }
  TIFFClose(tif);
  file = std::move(buffer.data);
  return file;
}

}  // namespace

const std::vector<std::uint8_t>& vumo::bench::TiffFile(int kind) { return File(static_cast<TKind>(kind)); }

namespace {

void BM_TIFFGraphic(benchmark::State& state) {
  const auto& file = File(static_cast<TKind>(state.range(0)));
  for (auto _ : state) {
    vumo::TTIFFGraphic graphic;
    vumo::TMemoryStream stream(file.data(), file.size());
    graphic.LoadFromStream(stream);
    benchmark::DoNotOptimize(graphic.ScanLine(kSide - 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

void BM_LibTIFF(benchmark::State& state) {
  const auto& file = File(static_cast<TKind>(state.range(0)));
  TBuffer buffer{file};
  for (auto _ : state) {
    // A new picture each time, as the reader makes a new bitmap: libtiff's callers allocate
    // the raster with _TIFFmalloc, untouched until the decode writes it.
    auto* raster = static_cast<std::uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(kSide) * kSide * 4));
    buffer.position = 0;
    TIFF* tif = Open(buffer, "r");
    TIFFReadRGBAImageOriented(tif, kSide, kSide, raster, ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    benchmark::DoNotOptimize(raster[kSide * kSide - 1]);
    _TIFFfree(raster);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

void Kinds(benchmark::internal::Benchmark* b) {
  b->ArgNames({"coding"});
  for (int k = kNone; k <= kPackBitsNoise; ++k) b->Arg(k);
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_TIFFGraphic)->Apply(Kinds);
BENCHMARK(BM_LibTIFF)->Apply(Kinds);
