// The OpenEXR reader against libopenexr's own RGBA interface on the 4096 x 4096 bench texture,
// written here as half RGBA with ZIP and PIZ compression. Both decode from the same bytes in
// memory on one thread; the peer stops at half-float RGBA pixels, the reader goes on to its
// float pixels and the 8-bit picture shown at exposure 0.
#include <ImfArray.h>
#include <ImfIO.h>
#include <ImfRgbaFile.h>
#include <ImfThreading.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "formats/exr.h"
#include "formats/exr_vector_stream.h"

namespace {

using vumo::bench::kSide;
using vumo::bench::Texture;

using vumo::test::TVectorOStream;

class TMemoryIStream : public Imf::IStream {
 public:
  explicit TMemoryIStream(const std::vector<std::uint8_t>& bytes) : Imf::IStream("memory"), bytes_(bytes) {}
  bool isMemoryMapped() const override { return true; }
  bool read(char c[], int n) override {
    std::memcpy(c, readMemoryMapped(n), static_cast<std::size_t>(n));
    return position_ < bytes_.size();
  }
  char* readMemoryMapped(int n) override {
    if (position_ + static_cast<std::size_t>(n) > bytes_.size()) throw Iex::InputExc("end of file");
    char* at = const_cast<char*>(reinterpret_cast<const char*>(bytes_.data() + position_));
    position_ += static_cast<std::size_t>(n);
    return at;
  }
  std::uint64_t tellg() override { return position_; }
  void seekg(std::uint64_t position) override { position_ = position; }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t position_ = 0;
};

const std::vector<std::uint8_t>& File(Imf::Compression compression) {
  static std::vector<std::uint8_t> files[2];
  std::vector<std::uint8_t>& file = files[compression == Imf::PIZ_COMPRESSION];
  if (!file.empty()) return file;
  const auto& t = Texture();
  Imf::Array2D<Imf::Rgba> pixels(kSide, kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kSide + x;
      // Linear light a little past white in places, as a rendered texture has.
      pixels[y][x] = Imf::Rgba(t.planes[0][i] / 200.0f, t.planes[1][i] / 200.0f, t.planes[2][i] / 200.0f,
                               static_cast<float>(x) / (kSide - 1));
    }
  TVectorOStream stream;
  {
    Imf::Header header(kSide, kSide);
    header.compression() = compression;
    Imf::RgbaOutputFile out(stream, header, Imf::WRITE_RGBA);
    out.setFrameBuffer(&pixels[0][0], 1, kSide);
    out.writePixels(kSide);
  }
  file = std::move(stream.bytes);
  return file;
}

Imf::Compression CompressionOf(const benchmark::State& state) {
  return state.range(0) ? Imf::PIZ_COMPRESSION : Imf::ZIP_COMPRESSION;
}

void BM_EXRDecode(benchmark::State& state) {
  Imf::setGlobalThreadCount(0);
  const std::vector<std::uint8_t>& file = File(CompressionOf(state));
  for (auto _ : state) {
    vumo::TEXRGraphic exr;
    vumo::TMemoryStream stream(file.data(), file.size());
    exr.LoadFromStream(stream);
    benchmark::DoNotOptimize(exr.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.SetLabel(state.range(0) ? "PIZ" : "ZIP");
}

void BM_EXRPeerRgbaInterface(benchmark::State& state) {
  Imf::setGlobalThreadCount(0);
  const std::vector<std::uint8_t>& file = File(CompressionOf(state));
  for (auto _ : state) {
    TMemoryIStream stream(file);
    Imf::RgbaInputFile in(stream, 0);
    // A fresh buffer each time, as the reader takes fresh pages for its pixels.
    Imf::Array2D<Imf::Rgba> pixels(kSide, kSide);
    in.setFrameBuffer(&pixels[0][0], 1, kSide);
    in.readPixels(0, kSide - 1);
    benchmark::DoNotOptimize(&pixels[0][0]);
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
  state.SetLabel(state.range(0) ? "PIZ" : "ZIP");
}

}  // namespace

BENCHMARK(BM_EXRDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EXRPeerRgbaInterface)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
