// The yardstick the decoders are measured against: copying memory.
#include <benchmark/benchmark.h>

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
