// The QOI reader on the 4096 x 4096 bench texture, coded here as RGB and as RGBA (an alpha
// ramp). There is no QOI peer among Debian's libraries: the reference coder's published
// figures (about 100 megapixels a second on photographs to 250 on screenshots and
// textures, decoding to memory on a 2015 desktop) are the mark, and "items_per_second" here
// counts pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "formats/qoi.h"

namespace {

using vumo::bench::Texture;

struct TRgba {
  std::uint8_t r, g, b, a;
  bool operator==(const TRgba&) const = default;
};

// A straightforward coder of the format: runs, the table of 64, small differences, luma
// differences, whole colours.
std::vector<std::uint8_t> EncodeQoi(bool alpha) {
  const auto& t = Texture();
  const std::uint32_t side = vumo::bench::kSide;
  std::vector<std::uint8_t> out = {'q', 'o', 'i', 'f'};
  for (std::uint32_t v : {side, side})
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  out.push_back(alpha ? 4 : 3), out.push_back(0);
  TRgba seen[64] = {}, previous{0, 0, 0, 255};
  unsigned run = 0;
  const std::size_t pixels = std::size_t{side} * side;
  for (std::size_t i = 0; i < pixels; ++i) {
    const TRgba px{t.planes[0][i], t.planes[1][i], t.planes[2][i],
                   alpha ? static_cast<std::uint8_t>(i % side * 255 / (side - 1)) : std::uint8_t{255}};
    if (px == previous) {
      if (++run == 62 || i + 1 == pixels) out.push_back(static_cast<std::uint8_t>(0xC0 | (run - 1))), run = 0;
      continue;
    }
    if (run) out.push_back(static_cast<std::uint8_t>(0xC0 | (run - 1))), run = 0;
    const unsigned hash = (px.r * 3u + px.g * 5u + px.b * 7u + px.a * 11u) % 64u;
    if (seen[hash] == px) {
      out.push_back(static_cast<std::uint8_t>(hash));
    } else if (px.a == previous.a) {
      const int dr = static_cast<std::int8_t>(px.r - previous.r), dg = static_cast<std::int8_t>(px.g - previous.g),
                db = static_cast<std::int8_t>(px.b - previous.b);
      if (dr >= -2 && dr <= 1 && dg >= -2 && dg <= 1 && db >= -2 && db <= 1) {
        out.push_back(static_cast<std::uint8_t>(0x40 | (dr + 2) << 4 | (dg + 2) << 2 | (db + 2)));
      } else if (dg >= -32 && dg <= 31 && dr - dg >= -8 && dr - dg <= 7 && db - dg >= -8 && db - dg <= 7) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (dg + 32)));
        out.push_back(static_cast<std::uint8_t>((dr - dg + 8) << 4 | (db - dg + 8)));
      } else {
        out.insert(out.end(), {0xFE, px.r, px.g, px.b});
      }
    } else {
      out.insert(out.end(), {0xFF, px.r, px.g, px.b, px.a});
    }
    seen[hash] = px;
    previous = px;
  }
  out.insert(out.end(), {0, 0, 0, 0, 0, 0, 0, 1});
  return out;
}

void BM_QoiDecode(benchmark::State& state) {
  static const std::vector<std::uint8_t> files[2] = {EncodeQoi(false), EncodeQoi(true)};
  const std::vector<std::uint8_t>& file = files[state.range(0)];
  for (auto _ : state) {
    vumo::TQOIGraphic qoi;
    vumo::TMemoryStream stream(file.data(), file.size());
    qoi.LoadFromStream(stream);
    benchmark::DoNotOptimize(qoi.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * vumo::bench::kSide * vumo::bench::kSide);
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.SetLabel(state.range(0) ? "RGBA" : "RGB");
}

}  // namespace

BENCHMARK(BM_QoiDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
