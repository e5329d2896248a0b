// The fax decoders of TIFF: Modified Huffman rows without end-of-line codes (compression 2
// and its word-aligned variant), Group 3 rows introduced by end-of-line codes, one- or
// two-dimensional (compression 3), and Group 4 rows, all two-dimensional (compression 4). Output is one bit per pixel, white 0, black 1, most
// significant bit first, each row starting on a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/decoders.h"

namespace vumo {

// The T4Options bits the decoders act on.
inline constexpr std::uint32_t kT4TwoDimensional = 1;
// Fill zeros before each end-of-line code so that it ends on a byte. The decoders take any
// number of zeros before the code's one, so they need not be told.
inline constexpr std::uint32_t kT4FillBits = 4;

class TCCITTDecoder : public TDecoder {
 public:
  // What a run decode gives besides a length.
  static constexpr std::int32_t kEndOfLine = -1;
  static constexpr std::int32_t kInvalidCode = -2;

  // A node of a code tree: children for a 0 and a 1 bit (0 meaning none, the root is never a
  // child) and the value of the code that ends here (kNoValue on inner nodes).
  struct TNode {
    std::int32_t Zero = 0;
    std::int32_t One = 0;
    std::int32_t Value = kNoValue;
  };
  static constexpr std::int32_t kNoValue = INT32_MIN;

  TCCITTDecoder(std::uint32_t Options, bool SwapBits, bool WordAligned, std::uint32_t Width);

  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

  const std::vector<TNode>& WhiteTree() const { return whiteTree_; }
  const std::vector<TNode>& BlackTree() const { return blackTree_; }

 protected:
  // Bits of the compressed block, most significant first (least significant first with
  // swap bits: the caller's bytes stay as they are).
  void StartInput(const std::uint8_t* source, std::int32_t packedSize);
  // The start every Decode shares: clears Dest's room to white and takes the input. Returns
  // the whole rows that fit in the room (0: nothing to decode), with their size in bytes.
  std::size_t StartRows(const std::uint8_t* source, std::uint8_t* dest, std::int32_t packedSize,
                        std::int32_t unpackedSize, std::size_t& rowBytes);
  bool InputEnded() const { return bitPosition_ >= bitCount_; }
  int NextBit();  // -1 at the end
  // Zero bits from the current position on, at most `limit`.
  std::size_t ZerosAhead(std::size_t limit) const;
  void SkipBits(std::size_t count);
  void AlignInput(std::size_t bits);  // to the next multiple of `bits` from the block's start

  // One run of the given colour: make-up codes add up until a terminating code; kEndOfLine
  // or kInvalidCode otherwise. At least one bit is consumed unless the input has ended.
  std::int32_t DecodeRun(bool white);
  // A one-dimensional row into `changes` (the positions where the colour flips, starting
  // white). Returns 0 when the row is complete, kEndOfLine or kInvalidCode when a code ended
  // it early, or 1 when the input ended first.
  std::int32_t DecodeRow1D(std::vector<std::uint32_t>& changes);
  // A two-dimensional row against the reference row's changes.
  std::int32_t DecodeRow2D(const std::vector<std::uint32_t>& reference, std::vector<std::uint32_t>& changes);
  // Drops the open run of a row that a code or the input's end cut short.
  static void EndRowEarly(std::vector<std::uint32_t>& changes);
  // Sets the black pixels of one cleared row from its changes.
  void RenderRow(const std::vector<std::uint32_t>& changes, std::uint8_t* row) const;

  std::uint32_t options_;
  bool swapBits_;
  bool wordAligned_;
  std::uint32_t width_;

 private:
  std::vector<TNode> whiteTree_;
  std::vector<TNode> blackTree_;
  const std::uint8_t* source_ = nullptr;
  std::size_t bitCount_ = 0;
  std::size_t bitPosition_ = 0;
  std::vector<std::uint32_t> referenceScratch_;
};

// Group 3 (T.4) data: every row follows an end-of-line code; with the two-dimensional
// option a tag bit after it tells a one-dimensional row from one coded against the row above.
class TCCITTFax3Decoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;  // (Options, SwapBits, WordAligned, Width)
  // PackedSize bytes of input, UnpackedSize bytes of output (whole rows are written; what
  // the input does not reach stays white). Raises nothing.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
};

// Group 4 (T.6) data: every row coded against the row above (an all-white row above the
// first), one after another without end-of-line codes or alignment; the end-of-facsimile
// block, two end-of-line codes, ends the data. Nothing tells where a row starts but the end
// of the one before, so a damaged code ends decoding: the rows after it stay white.
class TCCITTFax4Decoder : public TCCITTDecoder {
 public:
  TCCITTFax4Decoder(std::uint32_t Options, bool SwapBits, std::uint32_t Width)
      : TCCITTDecoder(Options, SwapBits, false, Width) {}
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
};

// Modified Huffman rows: no end-of-line codes, each row starting on a new byte of input, or
// on a new 16-bit word with word alignment.
class TCCITTMHDecoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;  // (Options, SwapBits, WordAligned, Width)
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
};

// Run-length codes of ITU-T T.4, as (code, length) pairs: the 64 terminating codes of each
// colour, its 27 make-up codes and the 13 extended make-up codes both colours share.
struct TFaxCode {
  std::uint16_t Code;
  std::uint8_t Length;
};
extern const TFaxCode kWhiteTerminatingCodes[64];
extern const TFaxCode kBlackTerminatingCodes[64];
extern const TFaxCode kWhiteMakeUpCodes[27];
extern const TFaxCode kBlackMakeUpCodes[27];
extern const TFaxCode kExtendedMakeUpCodes[13];

}  // namespace vumo
