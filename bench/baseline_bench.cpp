// The yardsticks the decoders are measured against: copying memory, into a buffer used
// before, and into fresh pages as every load's new bitmap is (the kernel clears those first).
#include <benchmark/benchmark.h>

#include <sys/mman.h>

#include <cstring>
#include <vector>

static void BM_Memcpy64MiB(benchmark::State& state) {
  std::vector<unsigned char> source(64 << 20, 0x5A), target(64 << 20);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond);

// The bytes of a 4096 x 4096 24-bit bitmap.
constexpr std::size_t kBitmapBytes = std::size_t{4096} * 4096 * 3;

static void BM_MemcpyBitmap48MiB(benchmark::State& state) {
  std::vector<unsigned char> source(kBitmapBytes, 0x5A), target(kBitmapBytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBitmapBytes));
}
BENCHMARK(BM_MemcpyBitmap48MiB)->Unit(benchmark::kMillisecond);

// Into memory mapped as the bitmap's is (huge pages where the system gives them).
static void BM_MemcpyBitmap48MiBFreshPages(benchmark::State& state) {
  std::vector<unsigned char> source(kBitmapBytes, 0x5A);
  for (auto _ : state) {
    void* p = mmap(nullptr, kBitmapBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
      state.SkipWithError("mmap failed");
      break;
    }
    madvise(p, kBitmapBytes, MADV_HUGEPAGE);
    std::memcpy(p, source.data(), source.size());
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
    munmap(p, kBitmapBytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBitmapBytes));
}
BENCHMARK(BM_MemcpyBitmap48MiBFreshPages)->Unit(benchmark::kMillisecond);
