#include "pixels/lzw_decoder.h"

#include <algorithm>
#include <cstring>

namespace vumo {
namespace {

constexpr unsigned kMaxCodeBits = 12;
constexpr unsigned kTableSize = 1u << kMaxCodeBits;

// Codes come out of a 64-bit window refilled a byte at a time.
template <bool MostSignificantFirst>
class TCodeReader {
 public:
  explicit TCodeReader(std::span<const std::uint8_t> in) : p_(in.data()), end_(in.data() + in.size()) {}

  // False when the input holds fewer than `width` more bits.
  bool Read(unsigned width, unsigned& code) {
    if (count_ < width) {
      while (count_ <= 56 && p_ < end_) {
        if constexpr (MostSignificantFirst)
          bits_ = (bits_ << 8) | *p_++;
        else
          bits_ |= std::uint64_t{*p_++} << count_;
        count_ += 8;
      }
      if (count_ < width) return false;
    }
    const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
    if constexpr (MostSignificantFirst) {
      code = static_cast<unsigned>((bits_ >> (count_ - width)) & mask);
    } else {
      code = static_cast<unsigned>(bits_ & mask);
      bits_ >>= width;
    }
    count_ -= width;
    return true;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::uint64_t bits_ = 0;
  unsigned count_ = 0;
};

// Every string in the table was written to the output once already: as the previous string
// followed by the first byte of the next. So a code is an offset and a length into the
// output, and emitting it is a copy rather than a walk down a chain of prefixes.
template <bool MostSignificantFirst, bool EarlyChange>
TLZWResult Decode(unsigned rootBits, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  TLZWResult result;
  TCodeReader<MostSignificantFirst> reader(in);
  std::uint8_t* const dest = out.data();
  const std::size_t capacity = out.size();
  std::size_t offset[kTableSize];
  std::uint16_t length[kTableSize];
  const unsigned clear = 1u << rootBits, end = clear + 1;
  unsigned width = rootBits + 1, next = clear + 2;
  bool havePrevious = false;
  std::size_t previousAt = 0, previousLength = 0;
  std::size_t pos = 0;

  while (pos < capacity) {
    unsigned code;
    if (!reader.Read(width, code)) break;
    if (code == clear) {
      width = rootBits + 1, next = clear + 2, havePrevious = false;
      continue;
    }
    if (code == end) {
      result.ended = true;
      break;
    }
    const std::size_t at = pos;
    std::size_t stringLength;
    if (code < clear) {
      if (code > 0xFF) {  // a root wider than a byte: the stream is not of bytes
        result.damaged = true;
        break;
      }
      dest[pos++] = static_cast<std::uint8_t>(code);
      stringLength = 1;
    } else if (havePrevious && code < next) {
      stringLength = length[code];
      const std::size_t n = std::min(stringLength, capacity - pos);
      std::memcpy(dest + pos, dest + offset[code], n);  // an earlier string: never overlapping
      pos += n;
    } else if (havePrevious && code == next) {
      // The string being defined: the previous one and its own first byte, which overlap.
      stringLength = previousLength + 1;
      const std::size_t n = std::min(stringLength, capacity - pos);
      const std::uint8_t* from = dest + previousAt;
      for (std::size_t i = 0; i < n; ++i) dest[pos + i] = from[i];
      pos += n;
    } else {
      result.damaged = true;
      break;
    }
    if (havePrevious && next < kTableSize) {
      offset[next] = previousAt;
      length[next] = static_cast<std::uint16_t>(previousLength + 1);
      ++next;
      if (width < kMaxCodeBits && next + (EarlyChange ? 1 : 0) >= (1u << width)) ++width;
    }
    havePrevious = true, previousAt = at, previousLength = stringLength;
  }
  result.written = pos;
  return result;
}

}  // namespace

TLZWResult DecodeLZW(TLZWPacking packing, unsigned rootBits, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (rootBits < 2 || rootBits >= kMaxCodeBits) return TLZWResult{0, false, true};
  switch (packing) {
    case TLZWPacking::kGif:
    case TLZWPacking::kTiffOld: return Decode<false, false>(rootBits, in, out);
    case TLZWPacking::kTiff: return Decode<true, true>(rootBits, in, out);
  }
  return {};
}

}  // namespace vumo
