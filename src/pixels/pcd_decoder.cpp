#include "pixels/pcd_decoder.h"

#include <array>
#include <utility>
#include <vector>

#include "pixels/color_manager.h"
#include "pixels/image_limits.h"
#include "pixels/messages.h"

namespace vumo {
namespace {

constexpr std::size_t kBlockSize = 2048;
// A sequence header: twenty-three one bits and a zero at the top of the accumulator.
constexpr std::uint32_t kHeaderMask = 0xFFFFFF00;
constexpr std::uint32_t kHeaderBits = 0xFFFFFE00;
// The first step of a synchronisation: twelve one bits in the accumulator's middle.
constexpr std::uint32_t kSyncMask = 0xFFF000;
constexpr unsigned kMaxCodeLength = 16;
// Wider rows use one table per plane; narrower ones share a single table.
constexpr std::uint32_t kOneTableWidth = 1536;

struct HuffmanEntry {
  std::uint32_t code;  // aligned to the top of the word
  std::uint32_t mask;  // the top `length` bits
  unsigned length;
  int delta;
};

// The accumulator holds the next bits of the stream from its top bit down; `count` of them
// are valid and never fewer than 25 after a refill, so a 16-bit code always fits. Bytes
// come in blocks through a buffer of our own. Past the end of the data zero bytes are fed,
// and Exhausted() tells once any of them has been consumed.
class BitReader {
 public:
  explicit BitReader(const TPCDDecoder::TReadFunction& read) : read_(read) {}

  std::uint32_t Bits() const { return accumulator_; }
  bool Exhausted() const { return realBits_ < 0; }

  void Consume(unsigned n) {
    accumulator_ = n >= 32 ? 0 : accumulator_ << n;
    count_ -= static_cast<int>(n);
    realBits_ -= static_cast<int>(n);
    while (count_ < 25) {
      accumulator_ |= std::uint32_t{NextByte()} << (24 - count_);
      count_ += 8;
    }
  }
  std::uint8_t ReadByte() {
    Consume(8);
    return static_cast<std::uint8_t>(accumulator_);
  }
  std::uint16_t ReadWord() {
    Consume(16);
    return static_cast<std::uint16_t>(accumulator_);
  }

 private:
  std::uint8_t NextByte() {
    if (position_ == length_ && !ended_) {
      length_ = read_ ? std::min(read_(buffer_.data(), buffer_.size()), buffer_.size()) : 0;
      position_ = 0;
      ended_ = length_ == 0;
    }
    if (ended_) return 0;
    realBits_ += 8;
    return buffer_[position_++];
  }

  const TPCDDecoder::TReadFunction& read_;
  std::array<std::uint8_t, kBlockSize> buffer_{};
  std::size_t position_ = 0;
  std::size_t length_ = 0;
  bool ended_ = false;
  std::uint32_t accumulator_ = 0;
  int count_ = 32;
  // Bits of the file (and of the initial, empty accumulator) not yet consumed.
  std::int64_t realBits_ = 32;
};

// Reads one table; false when the data ends or a code is longer than 16 bits.
bool ReadTable(BitReader& bits, std::vector<HuffmanEntry>& table) {
  const unsigned entries = bits.ReadByte() + 1u;
  table.clear();
  table.reserve(entries);
  for (unsigned i = 0; i < entries; ++i) {
    const unsigned length = bits.ReadByte() + 1u;
    const std::uint32_t code = bits.ReadWord();
    const int delta = static_cast<std::int8_t>(bits.ReadByte());
    if (length > kMaxCodeLength || bits.Exhausted()) return false;
    table.push_back({code << 16, ~std::uint32_t{0} << (32 - length), length, delta});
  }
  return true;
}

// Moves to the next sequence header; false when the data ends first.
bool Synchronise(BitReader& bits) {
  while ((bits.Bits() & kSyncMask) != kSyncMask) {
    if (bits.Exhausted()) return false;
    bits.Consume(8);
  }
  while ((bits.Bits() & kHeaderMask) != kHeaderBits) {
    if (bits.Exhausted()) return false;
    bits.Consume(1);
  }
  return !bits.Exhausted();
}

const HuffmanEntry* Match(const std::vector<HuffmanEntry>& table, std::uint32_t word) {
  for (const HuffmanEntry& entry : table)
    if ((word & entry.mask) == entry.code) return &entry;
  return nullptr;
}

}  // namespace

TPCDDecoder::TPCDDecoder(TReadFunction Stream) : stream_(std::move(Stream)) {}

void TPCDDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*&, std::int32_t PackedSize,
                         std::int32_t UnpackedSize) {
  if (!Source || PackedSize <= 0 || UnpackedSize <= 0) return;
  std::uint8_t* const* planes = reinterpret_cast<std::uint8_t* const*>(Source);
  const std::array<std::uint8_t*, 3> typed{planes[0], planes[1], planes[2]};
  DecodePlanes(typed, static_cast<std::uint32_t>(PackedSize), static_cast<std::uint32_t>(UnpackedSize));
}

void TPCDDecoder::DecodePlanes(std::span<std::uint8_t* const, 3> Planes, std::uint32_t Rows, std::uint32_t Stride) {
  if (Rows == 0 || Stride == 0 || !Planes[0] || !Planes[1] || !Planes[2]) return;
  const std::uint32_t chromaRows = Rows / 2 + Rows % 2;
  if (!CheckedMul(Rows, Stride)) return;

  BitReader bits(stream_);
  std::array<std::vector<HuffmanEntry>, 3> tables;
  const std::size_t tableCount = Stride <= kOneTableWidth ? 1 : 3;
  for (std::size_t t = 0; t < tableCount; ++t)
    if (!ReadTable(bits, tables[t])) return;

  bits.Consume(16);
  bits.Consume(16);
  if (!Synchronise(bits)) return;

  // The row being written: a sequence for a row outside the planes is decoded but not kept.
  std::uint8_t* pixel = nullptr;
  std::uint8_t* rowEnd = nullptr;
  const std::vector<HuffmanEntry>* table = &tables[0];
  while (!bits.Exhausted()) {
    if ((bits.Bits() & kHeaderMask) == kHeaderBits) {
      bits.Consume(16);
      const std::uint32_t row = (bits.Bits() >> 9) & 0x1FFF;
      if (row == Rows) return;
      bits.Consume(8);
      const unsigned plane = bits.Bits() >> 30;
      bits.Consume(16);
      std::size_t planeIndex = 0, planeRow = row;
      std::uint32_t planeRows = Rows;
      switch (plane) {
        case 0: break;
        case 2: planeIndex = 1; planeRow = row / 2; planeRows = chromaRows; break;
        case 3: planeIndex = 2; planeRow = row / 2; planeRows = chromaRows; break;
        default: throw EAbort(kOperationAborted);
      }
      // A single table serves all three planes of the narrower resolutions.
      table = &tables[planeIndex < tableCount ? planeIndex : 0];
      if (row < Rows && planeRow < planeRows) {
        pixel = Planes[planeIndex] + planeRow * Stride;
        rowEnd = pixel + Stride;
      } else {
        pixel = rowEnd = nullptr;
      }
      continue;
    }
    const HuffmanEntry* entry = Match(*table, bits.Bits());
    if (!entry) {
      if (!Synchronise(bits)) return;
      continue;
    }
    bits.Consume(entry->length);
    if (bits.Exhausted()) return;
    // Codes past the end of the row are read and dropped, so a damaged sequence cannot
    // reach into the next row or past the plane.
    if (pixel != rowEnd) {
      *pixel = ClampByte(*pixel + entry->delta);
      ++pixel;
    }
  }
}

}  // namespace vumo
