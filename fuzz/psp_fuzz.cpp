// Feeds arbitrary bytes to the Paint Shop Pro reader: it may refuse them, never crash or over-read.
// Each input is loaded twice, once decoded in place from memory and once through block reads
// of a plain stream; both must end the same way with the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/psp.h"

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

std::string LoadInto(vumo::TPSPGraphic& graphic, vumo::TStream& stream) {
  try {
    vumo::TPSPGraphic::CanLoad(stream);
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TPSPGraphic inPlace, blocks;
  vumo::TMemoryStream memory(data, size);
  TPlainStream plain(data, size);
  const std::string first = LoadInto(inPlace, memory);
  const std::string second = LoadInto(blocks, plain);
  if (first != second || memory.Position() != plain.Position()) std::abort();
  // Header-only files may declare huge blank images; touching all of them would only slow the search.
  const bool small = static_cast<std::size_t>(inPlace.Height()) * inPlace.BytesPerScanline() <= (std::size_t{16} << 20);
  if (first.empty() && !inPlace.Empty() && small) {
    if (inPlace.Width() != blocks.Width() || inPlace.Height() != blocks.Height()) std::abort();
    for (int y = 0; y < inPlace.Height(); ++y)
      if (std::memcmp(inPlace.ScanLine(y), blocks.ScanLine(y), inPlace.BytesPerScanline()) != 0) std::abort();
  }
  return 0;
}
