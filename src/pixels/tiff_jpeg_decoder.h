// JPEG-compressed TIFF strips (compression 7) through libjpeg: the tables shared by all
// strips come from the JPEGTables tag, each strip is a JPEG image of its own, checked against
// the TIFF tags before a row is decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pixels/decoders.h"
#include "pixels/image_properties.h"

namespace vumo {

class TTIFFJPEGDecoder : public TDecoder {
 public:
  // Works on the reader's properties (Width, Height, CurrentRow, RowsPerStrip, BytesPerLine,
  // SamplesPerPixel, BitsPerSample, PlanarConfig, ColorScheme, YCbCrSubSampling, JPEGTables),
  // which must outlive the decoder.
  explicit TTIFFJPEGDecoder(TImageProperties& Properties);
  ~TTIFFJPEGDecoder() override;
  TTIFFJPEGDecoder(const TTIFFJPEGDecoder&) = delete;
  TTIFFJPEGDecoder& operator=(const TTIFFJPEGDecoder&) = delete;

  // Creates the decompression object and reads the shared tables; "Bogus JPEG tables field."
  // when they are not a tables-only JPEG stream.
  void DecodeInit() override;
  // One strip: PackedSize bytes at Source, UnpackedSize bytes (whole rows) of room at Dest.
  // Mismatches with the tags raise their "Improper JPEG ..." message, data libjpeg rejects
  // "JPEG error #n"; all as EGraphicCompression. A strip that ends early decodes as far as
  // it goes and leaves Warning() set. Neither pointer is written back.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void DecodeEnd() override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

  // "JPEG decompression error. Unexpected end of input." once a strip ran short, else empty.
  const std::string& Warning() const { return warning_; }

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  TImageProperties& properties_;
  std::string warning_;
};

}  // namespace vumo
