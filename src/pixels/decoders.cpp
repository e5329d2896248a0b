#include "pixels/decoders.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pixels/byte_order.h"

namespace vumo {
namespace {

// A size handed in by a caller; a negative one allows nothing.
std::size_t Room(std::int32_t size) { return size > 0 ? static_cast<std::size_t>(size) : 0; }

// memcpy and memset for the few bytes most packets hold, without a library call each: two
// overlapping word moves cover any length from 4 to 16, and nothing outside [d, d + n) is
// written. Longer packets go to the library.
template <typename Word>
inline void CopyHeadAndTail(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  Word head, tail;  // both read before either is written, as the spans may overlap
  std::memcpy(&head, s, sizeof(Word));
  std::memcpy(&tail, s + n - sizeof(Word), sizeof(Word));
  std::memcpy(d, &head, sizeof(Word));
  std::memcpy(d + n - sizeof(Word), &tail, sizeof(Word));
}

inline void CopyBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if (n > 16) {
    std::memcpy(d, s, n);
  } else if (n >= 8) {
    CopyHeadAndTail<std::uint64_t>(d, s, n);
  } else if (n >= 4) {
    CopyHeadAndTail<std::uint32_t>(d, s, n);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

inline void FillBytes(std::uint8_t* d, std::uint8_t value, std::size_t n) {
  if (n > 16) {
    std::memset(d, value, n);
  } else if (n >= 8) {
    const std::uint64_t word = value * 0x0101010101010101ull;
    std::memcpy(d, &word, 8);
    std::memcpy(d + n - 8, &word, 8);
  } else if (n >= 4) {
    const std::uint32_t word = value * 0x01010101u;
    std::memcpy(d, &word, 4);
    std::memcpy(d + n - 4, &word, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = value;
  }
}

// A byte-wise run-length step between two bounded buffers: literals and runs stop at
// whichever end comes first.
struct TBoundedCursor {
  const std::uint8_t* source;
  std::size_t input;
  std::uint8_t* dest;
  std::size_t output;

  bool More() const { return input > 0 && output > 0; }
  std::uint8_t Next() {
    --input;
    return *source++;
  }
  void Copy(std::size_t count) {
    count = std::min({count, input, output});
    CopyBytes(dest, source, count);
    source += count;
    input -= count;
    dest += count;
    output -= count;
  }
  // Writes the next source byte count times; false when no byte is left to repeat.
  bool Fill(std::size_t count) {
    if (input == 0) return false;
    count = std::min(count, output);
    FillBytes(dest, Next(), count);
    dest += count;
    output -= count;
    return true;
  }
};

// Repeats one pixel of PixelSize bytes Count times. Short runs store the pixel directly; long
// runs double the filled block, so a run costs a handful of block copies.
template <std::size_t PixelSize>
inline void FillPixels(std::uint8_t* dest, const std::uint8_t* pixel, std::size_t count) {
  if constexpr (PixelSize == 1) {
    std::memset(dest, pixel[0], count);
  } else {
    if (count <= 8) {
      for (std::size_t i = 0; i < count; ++i) std::memcpy(dest + i * PixelSize, pixel, PixelSize);
      return;
    }
    std::memcpy(dest, pixel, PixelSize);
    const std::size_t total = count * PixelSize;
    std::size_t filled = PixelSize;
    while (filled < total) {
      std::size_t chunk = std::min(filled, total - filled);
      std::memcpy(dest + filled, dest, chunk);
      filled += chunk;
    }
  }
}

// One pixel repeated over 16 bytes, stored in strides of whole pixels (15 bytes for 3-byte pixels).
template <std::size_t PixelSize>
struct TPixelPattern {
  static constexpr std::size_t kStride = PixelSize == 3 ? 15 : 16;
  std::uint64_t lo, hi;

  explicit TPixelPattern(const std::uint8_t* pixel) {
    if constexpr (std::endian::native == std::endian::little && PixelSize != 3) {
      std::uint64_t v = 0;
      std::memcpy(&v, pixel, PixelSize);
      constexpr std::uint64_t kSpread = PixelSize == 1 ? 0x0101010101010101u
                                        : PixelSize == 2 ? 0x0001000100010001u
                                                         : 0x0000000100000001u;
      lo = hi = v * kSpread;
    } else {
      std::uint8_t bytes[16];
      for (std::size_t i = 0; i < 16; ++i) bytes[i] = pixel[i % PixelSize];
      std::memcpy(&lo, bytes, 8);
      std::memcpy(&hi, bytes + 8, 8);
    }
  }
};

// The bulk of a row, where both buffers are known to have 16 bytes of room beyond any packet:
// literals and runs are then copied and filled in whole 16-byte blocks without tail handling.
template <std::size_t PixelSize>
const std::uint8_t* DecodeTargaBulk(const std::uint8_t* source, const std::uint8_t* end, std::uint8_t*& dest,
                                    std::size_t& pixels) {
  constexpr std::size_t kSlack = 16;
  constexpr std::size_t kLongestPacket = 1 + 128 * PixelSize;
  while (pixels >= 128 + kSlack && static_cast<std::size_t>(end - source) >= kLongestPacket + kSlack) {
    const std::uint8_t header = *source++;
    const std::size_t count = (header & 0x7Fu) + 1;
    const std::size_t bytes = count * PixelSize;
    if (header & 0x80u) {
      const TPixelPattern<PixelSize> pattern(source);
      for (std::size_t i = 0; i < bytes; i += pattern.kStride) {
        std::memcpy(dest + i, &pattern.lo, 8);
        std::memcpy(dest + i + 8, &pattern.hi, 8);
      }
      source += PixelSize;
    } else {
      for (std::size_t i = 0; i < bytes; i += 16) std::memcpy(dest + i, source + i, 16);
      source += bytes;
    }
    dest += bytes;
    pixels -= count;
  }
  return source;
}

template <std::size_t PixelSize>
const std::uint8_t* DecodeTargaRows(const std::uint8_t* source, std::size_t available, std::uint8_t* dest,
                                    std::size_t pixels) {
  const std::uint8_t* const end = source + available;
  source = DecodeTargaBulk<PixelSize>(source, end, dest, pixels);
  while (pixels > 0 && source < end) {
    const std::uint8_t header = *source++;
    const std::size_t count = (header & 0x7Fu) + 1;
    const std::size_t written = std::min(count, pixels);
    if (header & 0x80u) {
      if (static_cast<std::size_t>(end - source) < PixelSize) return end;  // the run's pixel is cut off
      FillPixels<PixelSize>(dest, source, written);
      source += PixelSize;
    } else {
      // A literal cut off by the end of the source delivers the whole pixels it still has.
      const std::size_t whole = static_cast<std::size_t>(end - source) / PixelSize;
      if (whole < written) {
        std::memcpy(dest, source, whole * PixelSize);
        return source + whole * PixelSize;
      }
      std::memcpy(dest, source, written * PixelSize);
      // Pixels beyond the destination are skipped, as far as the source holds them.
      source += std::min(count, whole) * PixelSize;
    }
    dest += written * PixelSize;
    pixels -= written;
  }
  return source;
}

}  // namespace

void TTargaRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                              std::int32_t UnpackedSize) {
  const std::size_t available = Room(PackedSize), pixels = Room(UnpackedSize);
  switch (colorDepth_) {
    case 8: Source = DecodeTargaRows<1>(Source, available, Dest, pixels); break;
    case 15:
    case 16: Source = DecodeTargaRows<2>(Source, available, Dest, pixels); break;
    case 24: Source = DecodeTargaRows<3>(Source, available, Dest, pixels); break;
    case 32: Source = DecodeTargaRows<4>(Source, available, Dest, pixels); break;
    default: break;
  }
}

void TTargaRLEDecoder::Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::uint32_t Count,
                              std::uint32_t& BytesStored) {
  BytesStored = 0;
  const std::size_t pixelSize = static_cast<std::size_t>(colorDepth_ + 1) / 8;
  if (pixelSize == 0) return;
  auto same = [pixelSize](const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, pixelSize) == 0;
  };
  std::size_t left = Count;
  while (left > 0) {
    // D: pixels before the first pair of equal neighbours (all but the last when there is none).
    std::size_t differing;
    if (left == 1) {
      differing = 1;
    } else {
      differing = 0;
      while (differing + 1 < left && differing < 128 &&
             !same(Source + differing * pixelSize, Source + (differing + 1) * pixelSize))
        ++differing;
      differing = std::min<std::size_t>(differing, 128);
    }
    // S: pixels equal to the first one.
    std::size_t equal = 1;
    while (equal < left && equal < 128 && same(Source, Source + equal * pixelSize)) ++equal;

    if (differing > 0) {
      *Dest++ = static_cast<std::uint8_t>(differing - 1);
      std::memcpy(Dest, Source, differing * pixelSize);
      Dest += differing * pixelSize;
      Source += differing * pixelSize;
      BytesStored += static_cast<std::uint32_t>(differing * pixelSize + 1);
      left -= differing;
    }
    if (equal >= 2) {
      *Dest++ = static_cast<std::uint8_t>((equal - 1) | 0x80);
      std::memcpy(Dest, Source, pixelSize);
      Dest += pixelSize;
      Source += equal * pixelSize;
      BytesStored += static_cast<std::uint32_t>(pixelSize + 1);
      left -= equal;
    }
  }
}

namespace {

// One PackBits packet while at least 17 source bytes are left. Most packets are a few bytes
// long and switch between copies and runs at random, so a branch on the kind is mostly
// mispredicted. The step writes sixteen bytes whichever kind it is (only the packet's first
// ones count), so the target needs sixteen bytes of room past its end.
inline void PackBitsStep(TBoundedCursor& cursor) {
  const auto header = static_cast<std::int8_t>(cursor.source[0]);
  const bool copy = header >= 0;
  const std::size_t count =
      copy ? static_cast<std::size_t>(header) + 1 : header == -128 ? 0 : static_cast<std::size_t>(1 - header);
  if (count > 16 || count > cursor.output) {
    cursor.Next();
    if (copy)
      cursor.Copy(count);
    else if (count > 0)
      cursor.Fill(count);
    return;
  }
  std::uint64_t low, high;
  std::memcpy(&low, cursor.source + 1, 8);
  std::memcpy(&high, cursor.source + 9, 8);
  const std::uint64_t run = cursor.source[1] * 0x0101010101010101ull;
  low = copy ? low : run;
  high = copy ? high : run;
  std::memcpy(cursor.dest, &low, 8);
  std::memcpy(cursor.dest + 8, &high, 8);
  const std::size_t used = copy ? 1 + count : header == -128 ? 1 : 2;
  cursor.source += used;
  cursor.input -= used;
  cursor.dest += count;
  cursor.output -= count;
}

inline bool PackBitsFast(const TBoundedCursor& cursor) { return cursor.input >= 17 && cursor.output > 0; }

// Packet by packet, writing nothing past the bytes each packet gives.
void PackBitsExact(TBoundedCursor& cursor) {
  while (cursor.More()) {
    const auto header = static_cast<std::int8_t>(cursor.Next());
    if (header >= 0)
      cursor.Copy(static_cast<std::size_t>(header) + 1);
    else if (header != -128 && !cursor.Fill(static_cast<std::size_t>(1 - header)))
      break;
  }
}

void PackBitsFinish(TBoundedCursor& cursor) {
  while (PackBitsFast(cursor)) PackBitsStep(cursor);
  PackBitsExact(cursor);
}

// The same packet step without a branch on the packet's kind, for rows stepped side by side:
// a mispredicted branch would throw away the work of every row at once. Returns false, having
// done nothing, for a packet longer than sixteen bytes or than the room left.
inline bool PackBitsStepMasked(TBoundedCursor& cursor) {
  const std::uint64_t header = cursor.source[0];
  const std::uint64_t copy = 0 - static_cast<std::uint64_t>(header < 128);
  const std::uint64_t run = 0 - static_cast<std::uint64_t>(header != 128);  // 128 is a no-op
  const std::uint64_t count = (copy & (header + 1)) | (~copy & run & (257 - header));
  if (count > 16 || count > cursor.output) return false;
  std::uint64_t low, high;
  std::memcpy(&low, cursor.source + 1, 8);
  std::memcpy(&high, cursor.source + 9, 8);
  const std::uint64_t fill = cursor.source[1] * 0x0101010101010101ull;
  low = (copy & low) | (~copy & fill);
  high = (copy & high) | (~copy & fill);
  std::memcpy(cursor.dest, &low, 8);
  std::memcpy(cursor.dest + 8, &high, 8);
  const std::uint64_t used = (copy & (header + 2)) | (~copy & (1 + (run & 1)));
  cursor.source += used;
  cursor.input -= used;
  cursor.dest += count;
  cursor.output -= count;
  return true;
}

// Each packet's position hangs on the one before, so one row is a chain of dependent loads.
// Rows are independent: stepping N of them in turn lets the processor overlap N chains.
template <std::size_t N>
void PackBitsInterleaved(TBoundedCursor* cursors) {
  TBoundedCursor c[N];
  for (std::size_t i = 0; i < N; ++i) c[i] = cursors[i];
  for (;;) {
    bool fast = true;
#pragma GCC unroll 4
    for (std::size_t i = 0; i < N; ++i) fast &= PackBitsFast(c[i]);
    if (!fast) break;
    bool stepped = true;
#pragma GCC unroll 4
    for (std::size_t i = 0; i < N; ++i) stepped &= PackBitsStepMasked(c[i]);
    if (!stepped) {
      for (std::size_t i = 0; i < N; ++i)
        if (PackBitsFast(c[i])) PackBitsStep(c[i]);
    }
  }
  for (std::size_t i = 0; i < N; ++i) {
    PackBitsFinish(c[i]);
    cursors[i] = c[i];
  }
}

}  // namespace

void TPackbitsRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                                 std::int32_t UnpackedSize) {
  const TRow row{Source, Room(PackedSize), Dest, Room(UnpackedSize)};
  DecodeRows(std::span<const TRow>(&row, 1));
}

void TPackbitsRLEDecoder::DecodeRows(std::span<const TRow> rows) {
  constexpr std::size_t kGroup = 4;
  std::size_t widest = 0;
  for (const TRow& row : rows) widest = std::max(widest, row.unpacked);
  // The steps write past a row's decoded bytes, so they decode into scratch rows with room to
  // spare; only the bytes decoded reach the target, which past them is left as it was.
  const std::size_t stride = widest + 16;
  scratch_.resize(stride * std::min(rows.size(), kGroup));
  for (std::size_t first = 0; first < rows.size(); first += kGroup) {
    const std::size_t n = std::min(kGroup, rows.size() - first);
    TBoundedCursor cursors[kGroup];
    for (std::size_t i = 0; i < n; ++i) {
      const TRow& row = rows[first + i];
      cursors[i] = TBoundedCursor{row.source, row.packed, scratch_.data() + i * stride, row.unpacked};
    }
    switch (n) {
      case 1: PackBitsInterleaved<1>(cursors); break;
      case 2: PackBitsInterleaved<2>(cursors); break;
      case 3: PackBitsInterleaved<3>(cursors); break;
      default: PackBitsInterleaved<4>(cursors); break;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const TRow& row = rows[first + i];
      std::memcpy(row.dest, scratch_.data() + i * stride, row.unpacked - cursors[i].output);
    }
  }
}

std::size_t TPackbitsRLEDecoder::DecodeOver(const std::uint8_t* source, std::size_t packed, std::uint8_t* dest,
                                            std::size_t room) {
  // The sixteen bytes a step writes stay inside the room while sixteen are left; the end
  // goes packet by packet.
  TBoundedCursor cursor{source, packed, dest, room};
  while (cursor.input >= 17 && cursor.output >= 16) PackBitsStep(cursor);
  PackBitsExact(cursor);
  return room - cursor.output;
}

void TPCXRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                            std::int32_t UnpackedSize) {
  const std::uint8_t* source = Source;
  const std::uint8_t* const end = source + Room(PackedSize);
  std::uint8_t* dest = Dest;
  std::size_t output = Room(UnpackedSize);
  while (output > 0 && source < end) {
    const std::uint8_t value = *source++;
    if (value < 0xC0) {
      *dest++ = value;
      --output;
      continue;
    }
    if (source == end) break;
    const std::size_t count = std::min<std::size_t>(value & 0x3Fu, output);
    std::memset(dest, *source++, count);
    dest += count;
    output -= count;
  }
}

std::size_t TPCXRLEDecoder::DecodePart(const std::uint8_t*& Source, const std::uint8_t* End, std::uint8_t* Dest,
                                       std::size_t room) {
  std::size_t written = std::min(pending_, room);
  FillBytes(Dest, pendingValue_, written);
  pending_ -= written;
  const std::uint8_t* source = Source;
#if defined(__SSE2__)
  // Far from both ends, sixteen source bytes at a time. Which of them are run counts (both
  // top bits set) is one vector compare; a count's value byte is skipped whatever it holds,
  // and the bytes between counts are literals, copied sixteen at a time. Packets then follow
  // each other through bit operations on the mask, not through the loads of each packet's
  // first byte that one step a packet has to wait for.
  const __m128i countBits = _mm_set1_epi8(static_cast<char>(0xC0));
  while (End - source >= 32 && room - written >= 80) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    unsigned counts =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(block, countBits), countBits)));
    unsigned position = 0;  // the first byte not yet used
    for (;;) {
      const auto next = static_cast<unsigned>(std::countr_zero(counts | 0x10000u));
      // The literals up to the next count (the store writes sixteen bytes; those past them count for nothing).
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + written),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + position)));
      written += next - position;
      position = next;
      if (next == 16) break;
      const std::size_t count = source[next] & 0x3Fu;
      const std::uint8_t value = source[next + 1];  // at most source + 16, inside the 32 checked
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + written), _mm_set1_epi8(static_cast<char>(value)));
      if (count > 16) std::memset(Dest + written + 16, value, count - 16);
      written += count;
      position = next + 2;
      if (position >= 16 || room - written < 80) break;
      counts &= ~0u << position;
    }
    source += position;
  }
#endif
  while (written < room && source < End) {
    const std::uint8_t value = *source;
    if (value < 0xC0) {
      // A stretch of literal bytes, eight at a time while none of them has both top bits set.
      const std::size_t limit = std::min(room - written, static_cast<std::size_t>(End - source));
      std::size_t k = 1;
      for (std::uint64_t word; k + 8 <= limit; k += 8) {
        std::memcpy(&word, source + k, 8);
        if ((word & (word << 1) & 0x8080808080808080ull) != 0) break;
      }
      while (k < limit && source[k] < 0xC0) ++k;
      CopyBytes(Dest + written, source, k);
      written += k;
      source += k;
      continue;
    }
    if (End - source < 2) break;
    const std::size_t count = value & 0x3Fu;
    const std::size_t n = std::min(count, room - written);
    pendingValue_ = source[1];
    FillBytes(Dest + written, pendingValue_, n);
    written += n;
    pending_ = count - n;
    source += 2;
  }
  Source = source;
  return written;
}

void TSGIRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                            std::int32_t UnpackedSize) {
  const std::uint8_t* source = Source;
  std::uint8_t* dest = Dest;
  if (sampleSize_ == 8) {
    std::size_t input = Room(PackedSize), output = Room(UnpackedSize);
    while (input > 0) {
      const std::uint8_t control = *source++;
      --input;
      const std::size_t count = control & 0x7Fu;
      if (count == 0 || output == 0) break;
      if (control & 0x80u) {
        const std::size_t copied = std::min({count, input, output});
        std::memcpy(dest, source, copied);
        source += copied;
        input -= copied;
        dest += copied;
        output -= copied;
        if (copied < count) break;
      } else {
        if (input == 0) break;
        const std::size_t filled = std::min(count, output);
        std::memset(dest, *source++, filled);
        --input;
        dest += filled;
        output -= filled;
      }
    }
    return;
  }
  // 16-bit samples: units are big-endian words, kept in the file's byte order.
  std::size_t input = Room(PackedSize) / 2, output = Room(UnpackedSize) / 2;
  while (input > 0) {
    const unsigned control = BigEndian16(source);
    source += 2;
    --input;
    const std::size_t count = control & 0x7Fu;
    if (count == 0 || output == 0) break;
    if (control & 0x80u) {
      const std::size_t copied = std::min({count, input, output});
      std::memcpy(dest, source, copied * 2);
      source += copied * 2;
      input -= copied;
      dest += copied * 2;
      output -= copied;
      if (copied < count) break;
    } else {
      if (input == 0) break;
      const std::size_t filled = std::min(count, output);
      FillPixels<2>(dest, source, filled);
      source += 2;
      --input;
      dest += filled * 2;
      output -= filled;
    }
  }
}

void TCUTRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                            std::int32_t UnpackedSize) {
  const std::uint8_t* source = Source;
  const std::uint8_t* const end = source + Room(PackedSize);
  std::uint8_t* dest = Dest;
  std::size_t output = Room(UnpackedSize);
  // The row's byte count in the file, which the reader has already used.
  source += std::min<std::size_t>(2, static_cast<std::size_t>(end - source));
  while (source < end) {
    const std::uint8_t control = *source++;
    if (control == 0) break;
    const std::size_t count = control & 0x7Fu;
    if (control & 0x80u) {
      if (source == end) break;
      const std::size_t filled = std::min(count, output);
      std::memset(dest, *source++, filled);
      dest += filled;
      output -= filled;
    } else {
      const std::size_t available = static_cast<std::size_t>(end - source);
      const std::size_t copied = std::min({count, available, output});
      std::memcpy(dest, source, copied);
      dest += copied;
      output -= copied;
      // Bytes that do not fit the row are passed over, so the next row still starts after this one.
      source += std::min(count, available);
    }
  }
  Source = source;
}

void TPSPRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                            std::int32_t UnpackedSize) {
  TBoundedCursor cursor{Source, Room(PackedSize), Dest, Room(UnpackedSize)};
  while (cursor.More()) {
    const std::uint8_t control = cursor.Next();
    if (control < 128)
      cursor.Copy(control);
    else if (!cursor.Fill(control - 128u))
      break;
  }
}

void TRLADecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                         std::int32_t UnpackedSize) {
  TBoundedCursor cursor{Source, Room(PackedSize), Dest, Room(UnpackedSize)};
  while (cursor.More()) {
    const auto header = static_cast<std::int8_t>(cursor.Next());
    if (header < 0)
      cursor.Copy(static_cast<std::size_t>(-header));
    else if (!cursor.Fill(static_cast<std::size_t>(header) + 1))
      break;
  }
}

}  // namespace vumo
