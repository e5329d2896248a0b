#include "pixels/ccitt_decoders.h"

#include <algorithm>
#include <cstring>

namespace vumo {

// ITU-T T.4, tables 2 and 3: terminating codes for runs 0..63, make-up codes for 64..1728
// in steps of 64, and the extended make-up codes 1792..2560.
const TFaxCode kWhiteTerminatingCodes[64] = {
    {0b00110101, 8}, {0b000111, 6}, {0b0111, 4}, {0b1000, 4}, {0b1011, 4}, {0b1100, 4}, {0b1110, 4},
    {0b1111, 4}, {0b10011, 5}, {0b10100, 5}, {0b00111, 5}, {0b01000, 5}, {0b001000, 6}, {0b000011, 6},
    {0b110100, 6}, {0b110101, 6}, {0b101010, 6}, {0b101011, 6}, {0b0100111, 7}, {0b0001100, 7},
    {0b0001000, 7}, {0b0010111, 7}, {0b0000011, 7}, {0b0000100, 7}, {0b0101000, 7}, {0b0101011, 7},
    {0b0010011, 7}, {0b0100100, 7}, {0b0011000, 7}, {0b00000010, 8}, {0b00000011, 8}, {0b00011010, 8},
    {0b00011011, 8}, {0b00010010, 8}, {0b00010011, 8}, {0b00010100, 8}, {0b00010101, 8}, {0b00010110, 8},
    {0b00010111, 8}, {0b00101000, 8}, {0b00101001, 8}, {0b00101010, 8}, {0b00101011, 8}, {0b00101100, 8},
    {0b00101101, 8}, {0b00000100, 8}, {0b00000101, 8}, {0b00001010, 8}, {0b00001011, 8}, {0b01010010, 8},
    {0b01010011, 8}, {0b01010100, 8}, {0b01010101, 8}, {0b00100100, 8}, {0b00100101, 8}, {0b01011000, 8},
    {0b01011001, 8}, {0b01011010, 8}, {0b01011011, 8}, {0b01001010, 8}, {0b01001011, 8}, {0b00110010, 8},
    {0b00110011, 8}, {0b00110100, 8},
};
const TFaxCode kBlackTerminatingCodes[64] = {
    {0b0000110111, 10}, {0b010, 3}, {0b11, 2}, {0b10, 2}, {0b011, 3}, {0b0011, 4}, {0b0010, 4}, {0b00011, 5},
    {0b000101, 6}, {0b000100, 6}, {0b0000100, 7}, {0b0000101, 7}, {0b0000111, 7}, {0b00000100, 8},
    {0b00000111, 8}, {0b000011000, 9}, {0b0000010111, 10}, {0b0000011000, 10}, {0b0000001000, 10},
    {0b00001100111, 11}, {0b00001101000, 11}, {0b00001101100, 11}, {0b00000110111, 11}, {0b00000101000, 11},
    {0b00000010111, 11}, {0b00000011000, 11}, {0b000011001010, 12}, {0b000011001011, 12},
    {0b000011001100, 12}, {0b000011001101, 12}, {0b000001101000, 12}, {0b000001101001, 12},
    {0b000001101010, 12}, {0b000001101011, 12}, {0b000011010010, 12}, {0b000011010011, 12},
    {0b000011010100, 12}, {0b000011010101, 12}, {0b000011010110, 12}, {0b000011010111, 12},
    {0b000001101100, 12}, {0b000001101101, 12}, {0b000011011010, 12}, {0b000011011011, 12},
    {0b000001010100, 12}, {0b000001010101, 12}, {0b000001010110, 12}, {0b000001010111, 12},
    {0b000001100100, 12}, {0b000001100101, 12}, {0b000001010010, 12}, {0b000001010011, 12},
    {0b000000100100, 12}, {0b000000110111, 12}, {0b000000111000, 12}, {0b000000100111, 12},
    {0b000000101000, 12}, {0b000001011000, 12}, {0b000001011001, 12}, {0b000000101011, 12},
    {0b000000101100, 12}, {0b000001011010, 12}, {0b000001100110, 12}, {0b000001100111, 12},
};
const TFaxCode kWhiteMakeUpCodes[27] = {
    {0b11011, 5}, {0b10010, 5}, {0b010111, 6}, {0b0110111, 7}, {0b00110110, 8}, {0b00110111, 8},
    {0b01100100, 8}, {0b01100101, 8}, {0b01101000, 8}, {0b01100111, 8}, {0b011001100, 9}, {0b011001101, 9},
    {0b011010010, 9}, {0b011010011, 9}, {0b011010100, 9}, {0b011010101, 9}, {0b011010110, 9},
    {0b011010111, 9}, {0b011011000, 9}, {0b011011001, 9}, {0b011011010, 9}, {0b011011011, 9},
    {0b010011000, 9}, {0b010011001, 9}, {0b010011010, 9}, {0b011000, 6}, {0b010011011, 9},
};
const TFaxCode kBlackMakeUpCodes[27] = {
    {0b0000001111, 10}, {0b000011001000, 12}, {0b000011001001, 12}, {0b000001011011, 12},
    {0b000000110011, 12}, {0b000000110100, 12}, {0b000000110101, 12}, {0b0000001101100, 13},
    {0b0000001101101, 13}, {0b0000001001010, 13}, {0b0000001001011, 13}, {0b0000001001100, 13},
    {0b0000001001101, 13}, {0b0000001110010, 13}, {0b0000001110011, 13}, {0b0000001110100, 13},
    {0b0000001110101, 13}, {0b0000001110110, 13}, {0b0000001110111, 13}, {0b0000001010010, 13},
    {0b0000001010011, 13}, {0b0000001010100, 13}, {0b0000001010101, 13}, {0b0000001011010, 13},
    {0b0000001011011, 13}, {0b0000001100100, 13}, {0b0000001100101, 13},
};
const TFaxCode kExtendedMakeUpCodes[13] = {
    {0b00000001000, 11}, {0b00000001100, 11}, {0b00000001101, 11}, {0b000000010010, 12}, {0b000000010011, 12},
    {0b000000010100, 12}, {0b000000010101, 12}, {0b000000010110, 12}, {0b000000010111, 12},
    {0b000000011100, 12}, {0b000000011101, 12}, {0b000000011110, 12}, {0b000000011111, 12},
};

namespace {

std::size_t Room(std::int32_t size) { return size > 0 ? static_cast<std::size_t>(size) : 0; }

constexpr std::uint8_t ReverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct TReverseTable {
  std::uint8_t Bits[256];
  constexpr TReverseTable() : Bits() {
    for (int i = 0; i < 256; ++i) Bits[i] = ReverseBits(static_cast<std::uint8_t>(i));
  }
};
constexpr TReverseTable kReversed;

void AddCode(std::vector<TCCITTDecoder::TNode>& tree, std::uint32_t code, int length, std::int32_t value) {
  std::size_t node = 0;
  for (int i = length - 1; i >= 0; --i) {
    const bool one = (code >> i) & 1;
    std::int32_t next = one ? tree[node].One : tree[node].Zero;
    if (next == 0) {
      next = static_cast<std::int32_t>(tree.size());
      tree.emplace_back();
      (one ? tree[node].One : tree[node].Zero) = next;
    }
    node = static_cast<std::size_t>(next);
  }
  tree[node].Value = value;
}

std::vector<TCCITTDecoder::TNode> BuildTree(const TFaxCode (&terminating)[64], const TFaxCode (&makeUp)[27]) {
  std::vector<TCCITTDecoder::TNode> tree(1);
  for (int i = 0; i < 64; ++i) AddCode(tree, terminating[i].Code, terminating[i].Length, i);
  for (int k = 0; k < 27; ++k) AddCode(tree, makeUp[k].Code, makeUp[k].Length, 64 * (k + 1));
  for (int k = 0; k < 13; ++k)
    AddCode(tree, kExtendedMakeUpCodes[k].Code, kExtendedMakeUpCodes[k].Length, 1792 + 64 * k);
  AddCode(tree, 0b000000000001, 12, TCCITTDecoder::kEndOfLine);
  AddCode(tree, 0b000000001, 9, TCCITTDecoder::kInvalidCode);
  AddCode(tree, 0b0000000001, 10, TCCITTDecoder::kInvalidCode);
  AddCode(tree, 0b00000000001, 11, TCCITTDecoder::kInvalidCode);
  AddCode(tree, 0b000000000000, 12, TCCITTDecoder::kInvalidCode);
  return tree;
}

// Appends a colour change; one at the same place as the last takes it back (a run of 0).
void AddChange(std::vector<std::uint32_t>& changes, std::uint32_t position) {
  if (!changes.empty() && changes.back() == position)
    changes.pop_back();
  else
    changes.push_back(position);
}

// Sets bits [from, to) of a row.
void FillBlack(std::uint8_t* row, std::uint32_t from, std::uint32_t to) {
  if (from >= to) return;
  std::uint32_t first = from >> 3, last = (to - 1) >> 3;
  const auto head = static_cast<std::uint8_t>(0xFF >> (from & 7));
  const auto tail = static_cast<std::uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (first == last) {
    row[first] |= head & tail;
    return;
  }
  row[first] |= head;
  if (last > first + 1) std::memset(row + first + 1, 0xFF, last - first - 1);
  row[last] |= tail;
}

// Two-dimensional mode codes (T.4 table 4).
enum TMode { mdPass, mdHorizontal, mdVertical, mdEndOfLine, mdInvalid };

}  // namespace

TCCITTDecoder::TCCITTDecoder(std::uint32_t Options, bool SwapBits, bool WordAligned, std::uint32_t Width)
    : options_(Options),
      swapBits_(SwapBits),
      wordAligned_(WordAligned),
      width_(Width),
      whiteTree_(BuildTree(kWhiteTerminatingCodes, kWhiteMakeUpCodes)),
      blackTree_(BuildTree(kBlackTerminatingCodes, kBlackMakeUpCodes)) {}

void TCCITTDecoder::StartInput(const std::uint8_t* source, std::int32_t packedSize) {
  source_ = source;
  bitCount_ = source ? Room(packedSize) * 8 : 0;
  bitPosition_ = 0;
}

int TCCITTDecoder::NextBit() {
  if (bitPosition_ >= bitCount_) return -1;
  std::uint8_t byte = source_[bitPosition_ >> 3];
  if (swapBits_) byte = kReversed.Bits[byte];
  const int bit = (byte >> (7 - (bitPosition_ & 7))) & 1;
  ++bitPosition_;
  return bit;
}

std::size_t TCCITTDecoder::ZerosAhead(std::size_t limit) const {
  std::size_t count = 0;
  for (std::size_t p = bitPosition_; p < bitCount_ && count < limit; ++p, ++count) {
    std::uint8_t byte = source_[p >> 3];
    if (swapBits_) byte = kReversed.Bits[byte];
    if ((byte >> (7 - (p & 7))) & 1) break;
  }
  return count;
}

void TCCITTDecoder::SkipBits(std::size_t count) { bitPosition_ = std::min(bitCount_, bitPosition_ + count); }

void TCCITTDecoder::AlignInput(std::size_t bits) {
  const std::size_t rest = bitPosition_ % bits;
  if (rest) SkipBits(bits - rest);
}

std::int32_t TCCITTDecoder::DecodeRun(bool white) {
  const std::vector<TNode>& tree = white ? whiteTree_ : blackTree_;
  std::int32_t sum = 0;
  std::size_t node = 0;
  for (;;) {
    const int bit = NextBit();
    if (bit < 0) return node == 0 ? sum : kInvalidCode;
    const std::int32_t next = bit ? tree[node].One : tree[node].Zero;
    if (next == 0) return kInvalidCode;  // the trees are complete; kept for safety
    node = static_cast<std::size_t>(next);
    const std::int32_t value = tree[node].Value;
    if (value == kNoValue) continue;
    if (value < 0) return value;
    sum += value;
    if (value < 64) return sum;
    // A make-up code: the run goes on with the next code. Runs longer than any row are
    // cut by the caller; the sum cannot overflow before the input ends a hostile chain.
    if (sum > (1 << 30)) return kInvalidCode;
    node = 0;
  }
}

std::int32_t TCCITTDecoder::DecodeRow1D(std::vector<std::uint32_t>& changes) {
  changes.clear();
  std::uint32_t position = 0;
  bool white = true;
  while (position < width_) {
    if (InputEnded()) return 1;
    // An end-of-line code ends a row that stops short; it is left for the next row to pass.
    // Writers that align it to a byte put fill zeros before it, so it is known by its zeros,
    // not by the 12-bit code.
    if (ZerosAhead(11) >= 11) return kEndOfLine;
    const std::int32_t run = DecodeRun(white);
    if (run < 0) return run;
    // A run past the end of the row stops at the row's last pixel.
    position = static_cast<std::uint32_t>(std::min<std::uint64_t>(width_, std::uint64_t{position} + static_cast<std::uint32_t>(run)));
    AddChange(changes, position);
    white = !white;
  }
  return 0;
}

std::int32_t TCCITTDecoder::DecodeRow2D(const std::vector<std::uint32_t>& reference, std::vector<std::uint32_t>& changes) {
  // The reference row's changes, closed by the row's end twice so b1 and b2 always exist.
  std::vector<std::uint32_t>& ref = referenceScratch_;
  ref.assign(reference.begin(), reference.end());
  ref.insert(ref.end(), 3, width_);
  changes.clear();
  std::int64_t a0 = -1;  // before the first pixel
  unsigned colour = 0;   // 0 white, 1 black: the colour of the pixel at a0
  std::size_t index = 0;
  while (a0 < static_cast<std::int64_t>(width_)) {
    if (InputEnded()) return 1;
    // b1: the first change of the reference row right of a0 to the other colour; changes
    // at even indices turn black. A vertical step left may have left a0 behind the last b1.
    while (index > 0 && static_cast<std::int64_t>(ref[index - 1]) > a0) --index;
    while (index + 2 < ref.size() && static_cast<std::int64_t>(ref[index]) <= a0) ++index;
    if ((index & 1) != colour && index + 2 < ref.size()) ++index;
    const std::uint32_t b1 = ref[index], b2 = ref[index + 1];

    TMode mode = mdInvalid;
    int delta = 0;
    // An end-of-line code, fill zeros before it or not: the row stops short here.
    const std::size_t zeros = ZerosAhead(11);
    if (zeros >= 11) return kEndOfLine;
    SkipBits(zeros);
    const int one = NextBit();  // the 1 that ends the zeros
    if (one < 0) return 1;
    switch (zeros) {
      case 0: mode = mdVertical; break;
      case 1:
      case 4:
      case 5: {
        const int bit = NextBit();
        if (bit < 0) return 1;
        mode = mdVertical;
        delta = (zeros == 1 ? 1 : zeros == 4 ? 2 : 3) * (bit ? 1 : -1);
        break;
      }
      case 2: mode = mdHorizontal; break;
      case 3: mode = mdPass; break;
      default: return kInvalidCode;  // the extension codes, uncompressed mode among them
    }
    if (mode == mdPass) {
      a0 = b2;
    } else if (mode == mdVertical) {
      const std::int64_t a1 = static_cast<std::int64_t>(b1) + delta;
      if (a1 < a0 || a1 < 0) return kInvalidCode;
      const auto at = static_cast<std::uint32_t>(std::min<std::int64_t>(a1, width_));
      AddChange(changes, at);
      a0 = at;
      colour ^= 1;
    } else {
      std::uint32_t start = a0 < 0 ? 0 : static_cast<std::uint32_t>(a0);
      for (int k = 0; k < 2; ++k) {
        const std::int32_t run = DecodeRun(((colour ^ static_cast<unsigned>(k)) & 1) == 0);
        if (run < 0) return run;
        start = static_cast<std::uint32_t>(std::min<std::uint64_t>(width_, std::uint64_t{start} + static_cast<std::uint32_t>(run)));
        AddChange(changes, start);
      }
      a0 = start;
    }
  }
  return 0;
}

void TCCITTDecoder::EndRowEarly(std::vector<std::uint32_t>& changes) {
  // The pixels after the last change belong to a run that was never decoded: white.
  if (changes.size() & 1) changes.pop_back();
}

void TCCITTDecoder::RenderRow(const std::vector<std::uint32_t>& changes, std::uint8_t* row) const {
  for (std::size_t i = 0; i < changes.size(); i += 2)
    FillBlack(row, changes[i], i + 1 < changes.size() ? changes[i + 1] : width_);
}

std::size_t TCCITTDecoder::StartRows(const std::uint8_t* source, std::uint8_t* dest, std::int32_t packedSize,
                                     std::int32_t unpackedSize, std::size_t& rowBytes) {
  const std::size_t room = Room(unpackedSize);
  if (!dest || room == 0) return 0;
  std::memset(dest, 0, room);
  rowBytes = (std::size_t{width_} + 7) / 8;
  if (rowBytes == 0) return 0;
  StartInput(source, packedSize);
  return room / rowBytes;
}

void TCCITTFax3Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                               std::int32_t UnpackedSize) {
  std::size_t rowBytes = 0;
  const std::size_t rows = StartRows(Source, Dest, PackedSize, UnpackedSize, rowBytes);
  if (rows == 0) return;
  const bool twoDimensional = (options_ & kT4TwoDimensional) != 0;
  std::vector<std::uint32_t> reference, changes;
  std::size_t row = 0;
  while (row < rows && !InputEnded()) {
    // Each row follows an end-of-line code: eleven or more zeros (fill bits included) and a
    // one. Rows without one are read as they come; the first row of some fax programs'
    // files has none.
    const std::size_t zeros = ZerosAhead(SIZE_MAX);
    if (zeros >= 11) {
      SkipBits(zeros + 1);
      if (InputEnded()) break;
    }
    bool oneDimensional = true;
    if (twoDimensional) {
      const int tag = NextBit();
      if (tag < 0) break;
      oneDimensional = tag == 1;
    }
    const std::int32_t result = oneDimensional ? DecodeRow1D(changes) : DecodeRow2D(reference, changes);
    // An end-of-line code before any pixel is one of the codes that end a page or pad a
    // strip, not a row.
    if (result == kEndOfLine && changes.empty()) continue;
    if (result != 0) EndRowEarly(changes);
    RenderRow(changes, Dest + row * rowBytes);
    ++row;
    reference.swap(changes);
    if (result == kInvalidCode) {
      // What the row had is kept; the next end-of-line code is where decoding picks up.
      while (!InputEnded()) {
        const std::size_t skip = ZerosAhead(11);
        if (skip >= 11) break;
        SkipBits(skip + 1);
      }
      reference.clear();
    }
    if (result == 1) break;
  }
}

void TCCITTFax4Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                               std::int32_t UnpackedSize) {
  std::size_t rowBytes = 0;
  const std::size_t rows = StartRows(Source, Dest, PackedSize, UnpackedSize, rowBytes);
  if (rows == 0) return;
  std::vector<std::uint32_t> reference, changes;
  for (std::size_t row = 0; row < rows && !InputEnded(); ++row) {
    const std::int32_t result = DecodeRow2D(reference, changes);
    if (result == kEndOfLine && changes.empty()) break;  // the end of the block
    if (result != 0) EndRowEarly(changes);
    RenderRow(changes, Dest + row * rowBytes);
    if (result != 0) break;
    reference.swap(changes);
  }
}

void TCCITTMHDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                             std::int32_t UnpackedSize) {
  std::size_t rowBytes = 0;
  const std::size_t rows = StartRows(Source, Dest, PackedSize, UnpackedSize, rowBytes);
  if (rows == 0) return;
  std::vector<std::uint32_t> changes;
  for (std::size_t row = 0; row < rows && !InputEnded(); ++row) {
    const std::int32_t result = DecodeRow1D(changes);
    if (result != 0) EndRowEarly(changes);
    RenderRow(changes, Dest + row * rowBytes);
    if (result == 1) break;
    // Every coded row starts on a new byte, or a new 16-bit word in the word-aligned variant
    // (compression 32771); a damaged row gives up the rest of its byte.
    AlignInput(wordAligned_ ? 16 : 8);
  }
}

}  // namespace vumo
