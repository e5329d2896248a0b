// The header columns on a folder of 10,000 small textures: one header read, the list's
// reading of the folder with the columns on, the wait until every column is filled, and the
// filter's re-read a keystroke.
#if __has_include(<QApplication>)

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "bench_qt.h"
#include "browser/file_list_view.h"
#include "browser/header_info_cache.h"
#include "formats/header_info.h"

namespace {

std::uint32_t Crc(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A DDS texture: BC1 or BC3 with a full chain of levels, or a BC7 cube map; the first
// level's first blocks follow the header, the rest of the pixels are left out.
std::string Dds(int kind, std::uint32_t side) {
  std::string h(128, '\0');
  auto put = [&](std::string& s, std::size_t at, std::uint32_t v) { std::memcpy(s.data() + at, &v, 4); };
  std::memcpy(h.data(), "DDS ", 4);
  put(h, 4, 124);
  put(h, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
  put(h, 12, side);
  put(h, 16, side);
  std::uint32_t levels = 1;
  while ((side >> levels) != 0) ++levels;
  put(h, 28, levels);
  put(h, 76, 32);
  put(h, 80, 0x4);
  if (kind < 2) {
    std::memcpy(h.data() + 84, kind == 0 ? "DXT1" : "DXT5", 4);
  } else {
    std::memcpy(h.data() + 84, "DX10", 4);
    std::string ext(20, '\0');
    put(ext, 0, 98);  // BC7
    put(ext, 4, 3);
    put(ext, 8, 4);  // a cube map
    put(ext, 12, 1);
    h += ext;
  }
  return h + std::string(256, '\x55');
}

std::string Png(std::uint32_t side) {
  std::string s("\x89PNG\r\n\x1a\n", 8);
  std::uint8_t chunk[4 + 4 + 13];
  const std::uint8_t ihdr[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R', std::uint8_t(side >> 24), std::uint8_t(side >> 16),
                               std::uint8_t(side >> 8), std::uint8_t(side), std::uint8_t(side >> 24),
                               std::uint8_t(side >> 16), std::uint8_t(side >> 8), std::uint8_t(side), 8, 6, 0, 0, 0};
  std::memcpy(chunk, ihdr, sizeof chunk);
  const std::uint32_t crc = Crc(chunk + 4, 17);
  s.append(reinterpret_cast<const char*>(chunk), sizeof chunk);
  const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
  s.append(crcBytes, 4);
  return s + std::string(200, '\0');
}

// The folder, made once for the whole run.
const QTemporaryDir& TextureFolder() {
  static const std::unique_ptr<QTemporaryDir> dir = [] {
    auto made = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < 10000; ++i) {
      const std::uint32_t side = 16u << (i % 8);
      char name[32];
      const int kind = i % 4;
      std::snprintf(name, sizeof name, "/tex_%05d.%s", i, kind == 3 ? "png" : "dds");
      std::ofstream out(made->path().toStdString() + name, std::ios::binary);
      out << (kind == 3 ? Png(side) : Dds(kind, side));
    }
    return made;
  }();
  return *dir;
}

void BM_ReadHeaderInfo(benchmark::State& state) {
  const std::string folder = TextureFolder().path().toStdString();
  int i = 0;
  for (auto _ : state) {
    char name[32];
    std::snprintf(name, sizeof name, "/tex_%05d.%s", i, i % 4 == 3 ? "png" : "dds");
    benchmark::DoNotOptimize(vumo::ReadHeaderInfo(folder + name));
    i = (i + 1) % 10000;
  }
}

// From reading the folder to the last column filled, with a cache of its own each time,
// so every header is read from the disk (its page cache, after the first run).
void BM_ListAndFillHeaderColumns(benchmark::State& state) {
  vumo::bench::BenchApplication();
  const QString folder = TextureFolder().path() + QLatin1Char('/');
  double listing = 0, filling = 0, stall = 0;
  for (auto _ : state) {
    vumo::TFileListView list;
    list.resize(800, 600);
    list.SetViewStyle(vumo::TFileListView::vsReport);
    list.SetShowFolders(false);
    list.SetOptionalColumns(QStringLiteral("Dimensions,PixelFormat,Images,Alpha"));
    const auto start = std::chrono::steady_clock::now();
    list.SetDirectory(folder);
    const auto listed = std::chrono::steady_clock::now();
    QDeadlineTimer deadline(120000);
    // The longest the event loop was kept from the keys and the scroll bar meanwhile.
    auto last = std::chrono::steady_clock::now();
    while (list.HeaderCache()->Pending() > 0 && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      const auto now = std::chrono::steady_clock::now();
      stall = std::max(stall, std::chrono::duration<double, std::milli>(now - last).count());
      last = now;
    }
    QCoreApplication::processEvents();
    const auto filled = std::chrono::steady_clock::now();
    listing += std::chrono::duration<double, std::milli>(listed - start).count();
    filling += std::chrono::duration<double, std::milli>(filled - listed).count();
    benchmark::DoNotOptimize(list.Items().size());
  }
  state.counters["list_ms"] = listing / double(state.iterations());
  state.counters["fill_ms"] = filling / double(state.iterations());
  state.counters["max_stall_ms"] = stall;
}

// One keystroke in the filter box: the folder read again through the filter.
void BM_FilterKeystroke(benchmark::State& state) {
  vumo::bench::BenchApplication();
  vumo::TFileListView list;
  list.SetViewStyle(vumo::TFileListView::vsReport);
  list.SetShowFolders(false);
  list.SetDirectory(TextureFolder().path() + QLatin1Char('/'));
  const QString typed[] = {QStringLiteral("tex_0"), QStringLiteral("*.png"), QString()};
  int i = 0;
  for (auto _ : state) {
    list.SetNameFilter(typed[i]);
    i = (i + 1) % 3;
    benchmark::DoNotOptimize(list.Items().size());
  }
}

}  // namespace

BENCHMARK(BM_ReadHeaderInfo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListAndFillHeaderColumns)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FilterKeystroke)->Unit(benchmark::kMillisecond);

#endif
