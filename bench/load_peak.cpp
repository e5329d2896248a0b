// The memory a load takes: `vumo_load_peak write DIR` writes the benchmark files there;
// `vumo_load_peak FORMAT FILE` loads one from disk (as the viewer does) and prints the
// process's peak resident size before and after the load beside the bitmap's size.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "bench_files.h"
#include "formats/bitmap.h"
#include "formats/jpeg_image.h"
#include "formats/pcx.h"
#include "formats/png.h"
#include "formats/portable_map.h"
#include "formats/psd.h"
#include "formats/tiff.h"

namespace {

double PeakMiB() {
  rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::unique_ptr<vumo::TGraphic> ReaderFor(const std::string& format) {
  if (format == "ppm" || format == "pgm") return std::make_unique<vumo::TPPMGraphic>();
  if (format == "bmp") return std::make_unique<vumo::TBitmap>();
  if (format == "psd" || format == "psd-raw") return std::make_unique<vumo::TPSDGraphic>();
  if (format == "pcx" || format == "pcx8") return std::make_unique<vumo::TPCXGraphic>();
  if (format == "jpeg") return std::make_unique<vumo::TJPEGImage>();
  // Any picture of these two on disk, such as the 16384 x 16384 RGBA files ImageMagick writes.
  if (format == "png") return std::make_unique<vumo::TPNGGraphic>();
  if (format == "tif") return std::make_unique<vumo::TTIFFGraphic>();
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "write") {
    for (const char* name : {"ppm", "pgm", "bmp", "psd", "psd-raw", "pcx", "pcx8", "jpeg"}) {
      const auto file = vumo::bench::MakeFile(name);
      std::ofstream(std::string(argv[2]) + "/" + name + ".bin", std::ios::binary)
          .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: vumo_load_peak write DIR | vumo_load_peak FORMAT FILE\n");
    return 2;
  }
  auto graphic = ReaderFor(argv[1]);
  if (!graphic) return 2;
  const double before = PeakMiB();
  graphic->LoadFromFile(argv[2]);
  const double after = PeakMiB();
  const vumo::TBitmap* bitmap = graphic->DrawBitmap();
  const double bitmapMiB =
      bitmap ? static_cast<double>(bitmap->BytesPerScanline()) * bitmap->Height() / (1024.0 * 1024.0) : 0;
  std::printf("%-8s peak before %.1f MiB, after %.1f MiB, growth %.1f MiB, bitmap %.1f MiB\n", argv[1], before, after,
              after - before, bitmapMiB);
  return 0;
}
