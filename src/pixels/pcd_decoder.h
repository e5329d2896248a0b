// The Huffman-coded residuals of Kodak Photo-CD's resolutions above the base image: each
// code adds a small signed delta to a pixel of the planes the reader has already filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "pixels/decoders.h"

namespace vumo {

class TPCDDecoder : public TDecoder {
 public:
  // Reads up to `count` bytes into `buffer` and returns how many were read; 0 at the end of
  // the data (a reader that wants an error for a short file raises from here instead).
  using TReadFunction = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;

  explicit TPCDDecoder(TReadFunction Stream);

  // Source points to an array of three plane pointers (luma, chroma 1, chroma 2), passed as
  // `std::uint8_t* const*`; Dest is not used; PackedSize is the number of luma rows and
  // UnpackedSize the row stride in bytes. The luma plane holds PackedSize rows, each chroma
  // plane (PackedSize + 1) / 2 rows, of that stride. Raises EAbort for a sequence of the
  // unused plane code 1.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  // The same with typed planes.
  void DecodePlanes(std::span<std::uint8_t* const, 3> Planes, std::uint32_t Rows, std::uint32_t Stride);

  // Not a compressor.
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t& BytesStored) override {
    BytesStored = 0;
  }

 private:
  TReadFunction stream_;
};

}  // namespace vumo
