// Tagged Image File Format: the first image of a file, in strips or tiles, uncompressed or PackBits,
// LZW, deflate, fax (Modified Huffman, Group 3 one- and two-dimensional, Group 4), JPEG or
// ThunderScan coded, or old-style JPEG held as a whole JPEG stream; and the TIFF preview inside a binary Encapsulated PostScript file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/reader_graphic.h"

namespace vumo {

// CanLoad: more than 8 bytes remain, the byte order is "II" or "MM", the version is 42 and
// the first directory lies inside the stream. ReadImageProperties reads the header at the
// stream's position and walks the directory chain to directory `ImageIndex` (from 0); false
// when the data is no TIFF, the chain ends or loops first, or the directory gives no width
// or height. LoadFromStream shows the requested directory, in strips or tiles.
class TTIFFGraphic : public TReader<TTIFFGraphic, "TTIFFGraphic", &gesTIFF> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

  // One entry of an image file directory, its value field kept as stored.
  struct TEntry {
    std::uint16_t Tag = 0;
    std::uint16_t Type = 0;
    std::uint32_t Count = 0;
    std::uint8_t Field[4] = {};
  };

 protected:
  // The length a container gives the TIFF it embeds; past it lies the container's own data.
  std::uint64_t embeddedLength_ = UINT64_MAX;

 private:
  // Values of a directory entry, read (and checked against the file) from the stream.
  std::vector<std::uint32_t> Values(TStream& Stream, std::uint16_t tag) const;
  std::vector<float> Floats(TStream& Stream, std::uint16_t tag) const;
  std::vector<std::uint8_t> Bytes(TStream& Stream, std::uint16_t tag) const;
  const TEntry* Find(std::uint16_t tag) const;
  std::uint32_t Value(std::uint16_t tag, std::uint32_t fallback) const;
  // The bytes of an entry's values: its field, or `storage` filled from the file.
  const std::uint8_t* EntryData(TStream& Stream, const TEntry& entry, std::vector<std::uint8_t>& storage) const;

  // The load's steps: the layout checked and the colours set up, the blocks planned, the
  // palette, then each block read by a TBlockReader and written by a TRowWriter.
  struct TLoadLayout;
  struct TBlockPlan;
  struct TBlockData;
  class TBlockReader;
  class TRowWriter;
  TLoadLayout CheckLayout(TStream& Stream);
  TBlockPlan PlanBlocks(TStream& Stream, const TLoadLayout& layout);
  void LoadPalette(TStream& Stream, const TLoadLayout& layout);
  // Old-style JPEG (compression 6) whose JPEGInterchangeFormat points to a whole JPEG stream.
  void LoadOldStyleJPEG(TStream& Stream);

  std::vector<TEntry> entries_;  // the chosen directory, sorted by tag
  bool bigEndian_ = false;
  unsigned pages_ = 0;  // directories in the chain, counted by the last header read
  std::int64_t tiffStart_ = 0;
  std::uint64_t tiffSize_ = 0;  // bytes from tiffStart_ to the stream's or the embedding's end
  std::uint32_t bitsPerSample_ = 0;
  std::uint32_t samplesPerPixel_ = 0;
  bool mixedBitsPerSample_ = false;
  std::uint32_t t4Options_ = 0;
  bool associatedAlpha_ = false;  // colours stored multiplied by their alpha
  bool alphaSample_ = false;      // the first extra sample is an alpha, associated or not
  std::uint32_t sampleFormat_ = 1;  // 1 unsigned integers, 3 IEEE floating point
  std::uint32_t photometric_ = 0;
  std::uint32_t yCbCrPositioning_ = 1;
  std::vector<float> yCbCrCoefficients_;
};

// CanLoad: more than 30 bytes remain, the DOS EPS magic matches and the header names a
// TIFF preview behind itself. The load shows the TIFF preview; its offsets count from where
// it starts.
// Its messages name the TIFF its preview is.
class TEPSGraphic : public TReader<TEPSGraphic, "TEPSGraphic", &gesTIFF, TTIFFGraphic> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

 private:
  // Checks the header at the stream's position and moves the stream to the preview.
  void SeekPreview(TStream& Stream);
};

}  // namespace vumo
