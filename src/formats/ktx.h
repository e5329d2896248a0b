// Khronos textures: KTX (.ktx, in either byte order) and KTX2 (.ktx2, whose levels may be
// supercompressed with zstd or zlib). Their mip levels, array layers, cube faces and volume
// slices are the file's images, as for DDS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/texture_graphic.h"

namespace vumo {

class TKTXGraphic : public TTextureReader<TKTXGraphic, "TKTXGraphic", &gesKTX> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

 private:
  // Where each level's images begin, and for a cube map that is not an array the distance
  // between its faces, which the format pads apart.
  struct TLevel {
    std::uint64_t Offset = 0, FaceStride = 0;
  };
  std::vector<TLevel> levels_;  // the levels whose size field lies in the file
  bool cubeFacesPadded_ = false;

  std::span<const std::uint8_t> Identifier() const override;
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
  TPixelLayout GLPixels(std::uint32_t type, std::uint32_t format, std::uint32_t internalFormat) const;
};

class TKTX2Graphic : public TTextureReader<TKTX2Graphic, "TKTX2Graphic", &gesKTX2> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

  enum TSupercompression : std::uint32_t { scNone = 0, scBasisLZ = 1, scZstd = 2, scZlib = 3 };
  TSupercompression Supercompression() const { return scheme_; }

 private:
  struct TLevel {
    std::uint64_t Offset = 0, Bytes = 0, InflatedBytes = 0;
  };
  std::vector<TLevel> levels_;
  TSupercompression scheme_ = scNone;
  std::vector<std::uint8_t> inflated_;
  std::uint32_t inflatedLevel_ = ~0u;

  std::span<const std::uint8_t> Identifier() const override;
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
  const std::vector<std::uint8_t>* InflatedLevel(TStream& Stream, std::uint32_t level) override;
  TPixelLayout VulkanPixels(std::uint32_t format) const;
  // Bytes of all images of one level: every layer, face and slice.
  std::uint64_t LevelBytes(std::uint32_t level) const;
};

}  // namespace vumo
