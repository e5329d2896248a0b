// The TIFF tags the reader reads, shared by its directory walk and its load.
#pragma once

#include <cstdint>

namespace vumo {

enum TTIFFTag : std::uint16_t {
  tgImageWidth = 256,
  tgImageLength = 257,
  tgBitsPerSample = 258,
  tgCompression = 259,
  tgPhotometric = 262,
  tgFillOrder = 266,
  tgStripOffsets = 273,
  tgSamplesPerPixel = 277,
  tgRowsPerStrip = 278,
  tgStripByteCounts = 279,
  tgXResolution = 282,
  tgYResolution = 283,
  tgPlanarConfig = 284,
  tgT4Options = 292,
  tgResolutionUnit = 296,
  tgPredictor = 317,
  tgWhitePoint = 318,
  tgColorMap = 320,
  tgTileWidth = 322,
  tgTileLength = 323,
  tgTileOffsets = 324,
  tgTileByteCounts = 325,
  tgExtraSamples = 338,
  tgSampleFormat = 339,
  tgJPEGTables = 347,
  tgJPEGInterchangeFormat = 513,
  tgJPEGInterchangeFormatLength = 514,
  tgYCbCrCoefficients = 529,
  tgYCbCrSubSampling = 530,
  tgYCbCrPositioning = 531,
};
}  // namespace vumo
