// Feeds arbitrary bytes to the Photo-CD reader, once decoded from memory and once through
// block reads of a plain stream (both must end the same way with the same pixels), and to
// the residual decoder over small planes: they may refuse the bytes, never crash or
// write outside the planes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/pcd.h"
#include "pixels/pcd_decoder.h"

namespace {

// A stream that is not a memory stream, so the reader takes its block-read path.
class TPlainStream : public vumo::TStream {
 public:
  TPlainStream(const std::uint8_t* data, std::size_t size) : memory_(data, size) {}
  std::size_t Read(void* buffer, std::size_t count) override { return memory_.Read(buffer, count); }
  std::int64_t Seek(std::int64_t offset, vumo::TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
  std::int64_t Size() override { return memory_.Size(); }

 private:
  vumo::TMemoryStream memory_;
};

std::string LoadInto(vumo::TPCDGraphic& graphic, vumo::TStream& stream) {
  try {
    vumo::TPCDGraphic::CanLoad(stream);
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception& e) {
    return e.what();
  }
  return {};
}

// The first three bytes choose the planes' rows (1 to 64) and stride (1 to 2048, so that
// both the one-table and the three-table layouts are reached); the rest is the stream.
void DecodeResiduals(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const std::uint32_t rows = data[0] % 64 + 1;
  const std::uint32_t stride = (std::uint32_t{data[1]} << 8 | data[2]) % 2048 + 1;
  data += 3;
  size -= 3;
  // Exactly the planes' sizes, so that AddressSanitizer sees any write beyond them.
  std::vector<std::uint8_t> luma(std::size_t{rows} * stride), chroma1((rows + 1) / 2 * std::size_t{stride}),
      chroma2(chroma1.size());
  std::size_t offset = 0;
  vumo::TPCDDecoder decoder([&](std::uint8_t* buffer, std::size_t count) {
    const std::size_t n = std::min(count, size - offset);
    std::memcpy(buffer, data + offset, n);
    offset += n;
    return n;
  });
  const std::array<std::uint8_t*, 3> planes{luma.data(), chroma1.data(), chroma2.data()};
  try {
    decoder.DecodePlanes(planes, rows, stride);
  } catch (const vumo::EAbort&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TPCDGraphic inPlace, blocks;
  vumo::TMemoryStream memory(data, size);
  TPlainStream plain(data, size);
  const std::string first = LoadInto(inPlace, memory);
  const std::string second = LoadInto(blocks, plain);
  if (first != second) std::abort();
  if (first.empty() && !inPlace.Empty()) {
    if (inPlace.Width() != blocks.Width() || inPlace.Height() != blocks.Height()) std::abort();
    for (int y = 0; y < inPlace.Height(); ++y)
      if (std::memcmp(inPlace.ScanLine(y), blocks.ScanLine(y), inPlace.BytesPerScanline()) != 0) std::abort();
  }
  DecodeResiduals(data, size);
  return 0;
}
