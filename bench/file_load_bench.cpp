// Whole loads from a page-cached file, as the viewer, the converter and the thumbnailer load:
// TPicture::LoadFromFile on the path, beside each peer loading the same file as its own
// callers do (libpng from a FILE*, TIFFOpen with TIFFReadRGBAImageOriented, stbi_load on the
// path, libjpeg-turbo from a FILE*) and beside the floor no loader can beat, reading the
// file's bytes into a fresh buffer. Memory, so that the figures compare like with like: the
// peers take fresh pages for every picture (libtiff's _TIFFmalloc raster, stb's and our libpng
// and libjpeg callers' malloc'd pixels, all past glibc's mapping threshold), and so does
// vumo_ms, whose loads each find no freed picture to reuse. vumo_reused_ms is the viewer's
// steady state instead, each load taking the pages of the picture freed before it. The read
// takes fresh pages too, mapped for it, with huge pages asked for as our bitmaps ask.
//   vumo_ms, vumo_reused_ms   our median with fresh pages and with the freed picture's
//   peer_ms, vumo_per_peer    the peer's median and vumo_ms over it
//   read_ms, vumo_per_read    the read's median and vumo_ms over it
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_files.h"
#include "bench_support.h"
#include "format_files.h"
#include "formats/bitmap.h"
#include "formats/picture.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image.h>  // the program's Targa-only build, by path
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<std::uint8_t>;
using TPeer = std::function<bool(const std::string& path)>;

std::string OnDisk(const std::string& name, const Bytes& bytes) {
  static const std::filesystem::path dir = [] {
    std::filesystem::path d = std::filesystem::temp_directory_path() / ("vumo_file_load_" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  const std::string path = (dir / name).string();
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

// Fresh pages every time, and huge ones where the kernel gives them, as our large bitmaps
// take theirs: the floor at its lowest. (A malloc'd buffer may come from a heap that earlier
// loads left large, and then its pages are not fresh at all.)
bool ReadIntoFreshBuffer(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  ::fstat(fd, &info);
  const std::size_t size = static_cast<std::size_t>(info.st_size);
  void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  ::madvise(block, size, MADV_HUGEPAGE);
  auto* bytes = static_cast<std::uint8_t*>(block);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, bytes + got, size - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  benchmark::DoNotOptimize(bytes);
  ::munmap(block, size);
  return got == size;
}

bool LibpngFromFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::unique_ptr<png_byte[]> image;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t stride = png_get_rowbytes(png, info), height = png_get_image_height(png, info);
  image.reset(new png_byte[stride * height]);
  rows.resize(height);
  for (std::size_t y = 0; y < height; ++y) rows[y] = image.get() + stride * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  benchmark::DoNotOptimize(image.get());
  return true;
}

bool LibtiffFromFile(const std::string& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return false;
  std::uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  auto* raster = static_cast<std::uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(w) * h * 4));
  const int ok = TIFFReadRGBAImageOriented(tif, w, h, raster, ORIENTATION_TOPLEFT, 0);
  TIFFClose(tif);
  benchmark::DoNotOptimize(raster);
  _TIFFfree(raster);
  return ok != 0;
}

bool LibjpegFromFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct cinfo {};
  jpeg_error_mgr jerr {};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = std::size_t{cinfo.output_width} * cinfo.output_components;
  std::unique_ptr<JSAMPLE[]> image(new JSAMPLE[stride * cinfo.output_height]);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.get() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  benchmark::DoNotOptimize(image.get());
  return true;
}

bool StbTargaFromFile(const std::string& path) {
  int w = 0, h = 0, n = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 0);
  benchmark::DoNotOptimize(pixels);
  stbi_image_free(pixels);
  return pixels != nullptr;
}

bool StbFromFile(const std::string& path) { return vumo::bench::StbLoadFile(path.c_str()); }

double MedianMs(const std::function<bool()>& load, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!load()) return -1;
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct TCase {
  const char* name;
  const char* file;
  std::function<Bytes()> make;
  const char* peerName;
  TPeer peer;
};

const std::vector<TCase>& Cases() {
  using namespace vumo::bench;
  static const std::vector<TCase> cases = {
      {"png_rgb8", "rgb8.png", [] { return PngFile(0); }, "libpng", LibpngFromFile},
      {"png_rgba8", "rgba8.png", [] { return PngFile(1); }, "libpng", LibpngFromFile},
      {"png_adam7_rgb8", "adam7.png", [] { return PngFile(2); }, "libpng", LibpngFromFile},
      {"png_rgb16", "rgb16.png", [] { return PngFile(3); }, "libpng", LibpngFromFile},
      {"tiff_none", "none.tif", [] { return TiffFile(0); }, "libtiff", LibtiffFromFile},
      {"tiff_packbits", "packbits.tif", [] { return TiffFile(1); }, "libtiff", LibtiffFromFile},
      {"ppm_p6", "raw.ppm", MakePpm, "stb", StbFromFile},
      {"pgm_p5", "raw.pgm", MakePgm, "stb", StbFromFile},
      {"bmp_24", "raw.bmp", MakeBmp24, "stb", StbFromFile},
      {"targa_24", "raw.tga", MakeTopDownTarga24, "stb", StbTargaFromFile},
      {"psd_packbits", "packbits.psd", [] { return MakePsd(true); }, "stb", StbFromFile},
      {"psd_raw", "raw.psd", [] { return MakePsd(false); }, "stb", StbFromFile},
      {"jpeg_q90", "q90.jpg", [] { return MakeJpeg(90); }, "libjpeg-turbo", LibjpegFromFile},
      {"tiff_packbits_noise", "noise.tif", [] { return TiffFile(8); }, "libtiff", LibtiffFromFile},
  };
  return cases;
}

void BM_FileLoad(benchmark::State& state) {
  const TCase& c = Cases()[static_cast<std::size_t>(state.range(0))];
  static std::vector<std::string> paths(Cases().size());
  std::string& path = paths[static_cast<std::size_t>(state.range(0))];
  if (path.empty()) path = OnDisk(c.file, c.make());
  std::vector<double> ours;
  for (auto _ : state) {
    state.PauseTiming();
    vumo::ReleaseRecycledPictureMemory();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    vumo::TPicture picture;
    picture.LoadFromFile(path);
    benchmark::DoNotOptimize(picture.Width());
    ours.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ours.begin(), ours.end());
  const double vumo = ours[ours.size() / 2];
  const int runs = static_cast<int>(std::clamp<std::size_t>(ours.size(), 5, 15));
  const double reused = MedianMs([&] {
    vumo::TPicture picture;
    picture.LoadFromFile(path);
    return picture.Width() > 0;
  }, runs);
  const double peer = MedianMs([&] { return c.peer(path); }, runs);
  const double read = MedianMs([&] { return ReadIntoFreshBuffer(path); }, runs);
  if (peer < 0) state.SkipWithError("the peer refused the file");
  state.SetLabel(std::string(c.name) + " vs " + c.peerName);
  state.counters["vumo_ms"] = vumo;
  state.counters["vumo_reused_ms"] = reused;
  state.counters["peer_ms"] = peer;
  state.counters["vumo_per_peer"] = peer > 0 ? vumo / peer : 0;
  state.counters["read_ms"] = read;
  state.counters["vumo_per_read"] = read > 0 ? vumo / read : 0;
  state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
}
BENCHMARK(BM_FileLoad)->DenseRange(0, 13)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
