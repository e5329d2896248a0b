// How fast the file list reads and sorts a large folder, and what it costs in memory.
#if __has_include(<QApplication>)

#include <benchmark/benchmark.h>

#include <QApplication>

#include <filesystem>
#include <random>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench_qt.h"
#include "browser/file_list_view.h"

namespace {

// A folder of mixed names, suffixes, sizes and times, made once per size.
std::string MakeFolder(int count) {
  const std::string dir = (std::filesystem::temp_directory_path() / ("vumo_list_bench_" + std::to_string(count))).string();
  if (std::filesystem::exists(dir + "/.complete")) return dir;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  static const char* const kSuffixes[] = {".png", ".JPG", ".jpeg", ".tga", ".psd", ".txt", ".tif", ".bmp", "", ".tar.gz", ".Pcx", ".cpp"};
  static const char* const kStems[] = {"texture", "Photo", "scan", "IMG_", "wall", "brick", "grass", "Sky", "notes", "z"};
  std::mt19937 random(1234);
  for (int i = 0; i < count; ++i) {
    std::string name = kStems[random() % 10] + std::to_string(random() % 1000000) + "_" + std::to_string(i) + kSuffixes[random() % 12];
    const std::string path = dir + "/" + name;
    if (i % 100 == 0) {
      std::filesystem::create_directory(path + "_dir");
      continue;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) continue;
    if (::ftruncate(fd, off_t(random() % 3000000)) != 0) {
    }
    ::close(fd);
    const long seconds = 1000000000L + long(random() % 300000000);
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
  const int fd = ::open((dir + "/.complete").c_str(), O_WRONLY | O_CREAT, 0644);
  if (fd >= 0) ::close(fd);
  return dir;
}

void ListFolder(benchmark::State& state, const char* mask) {
  vumo::bench::BenchApplication();
  const int count = int(state.range(0));
  const std::string dir = MakeFolder(count);
  vumo::TFileListView list;
  list.SetShowFolders(true);
  list.SetMask(QString::fromLatin1(mask));
  list.SetDirectory(QString::fromStdString(dir));
  for (auto _ : state) {
    list.UpdateFileList();
    benchmark::DoNotOptimize(list.Items().size());
  }
  rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["items"] = double(list.Items().size());
  state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_UpdateFileList_AllFiles(benchmark::State& state) { ListFolder(state, "*.*"); }
void BM_UpdateFileList_PictureMask(benchmark::State& state) {
  ListFolder(state, "*.jpg;*.jpeg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif");
}

}  // namespace

BENCHMARK(BM_UpdateFileList_AllFiles)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateFileList_PictureMask)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#endif
