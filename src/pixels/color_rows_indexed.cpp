// Rows of indexed and grey samples: packed 1, 2, 4 and 8 bits, and 16-bit words.
#include "pixels/color_rows.h"

namespace vumo {

using namespace color_rows;

namespace {

// ---------------------------------------------------------------------------------------
// Packed samples (1, 2, 4 or 8 bits, most significant bits first).

template <int Bits>
struct PackedReader {
  const std::uint8_t* p;
  int shift = 8 - Bits;

  unsigned Next() {
    if constexpr (Bits == 8) {
      return *p++;
    } else {
      const unsigned v = (*p >> shift) & ((1u << Bits) - 1);
      if (shift == 0) {
        ++p;
        shift = 8 - Bits;
      } else {
        shift -= Bits;
      }
      return v;
    }
  }
};

// Packed source samples rescaled through a table of the target's values.
template <int Bits>
struct PackedSource {
  PackedReader<Bits> reader;
  const std::uint8_t* map;
  unsigned Next() { return map[reader.Next()]; }
};

template <bool Swap>
struct WordSource {
  const std::uint8_t* p;
  std::uint16_t targetMax;
  unsigned Next() {
    std::uint16_t v = Load16(p);
    p += 2;
    if constexpr (Swap) v = Swap16(v);
    return MulDiv16(v, targetMax, 65535);
  }
};

// The target byte advances after every 8 / Bits pixels counted from the row's start, written
// or not, so an interlace pass lands its pixels in their own slots.
template <int Bits, bool Masked, class Src>
void WritePacked(Src src, std::uint8_t* d, std::uint32_t count, std::uint8_t mask) {
  if constexpr (Bits == 8) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Masked || Selected(mask, i)) d[i] = static_cast<std::uint8_t>(src.Next());
    }
  } else {
    constexpr unsigned kMax = (1u << Bits) - 1;
    int shift = 8 - Bits;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Masked || Selected(mask, i)) {
        const unsigned v = src.Next() & kMax;
        *d = static_cast<std::uint8_t>((*d & ~(kMax << shift)) | (v << shift));
      }
      if (shift == 0) {
        ++d;
        shift = 8 - Bits;
      } else {
        shift -= Bits;
      }
    }
  }
}

template <int Bits, class Src>
void WritePackedMasked(Src src, std::uint8_t* d, std::uint32_t count, std::uint8_t mask) {
  if (mask != 0xFF) WritePacked<Bits, true>(src, d, count, mask);
  else WritePacked<Bits, false>(src, d, count, mask);
}

template <class Src>
void WritePackedTo(std::uint8_t targetBits, Src src, std::uint8_t* d, std::uint32_t count, std::uint8_t mask) {
  switch (targetBits) {
    case 1: WritePackedMasked<1>(src, d, count, mask); break;
    case 2: WritePackedMasked<2>(src, d, count, mask); break;
    case 4: WritePackedMasked<4>(src, d, count, mask); break;
    case 8: WritePackedMasked<8>(src, d, count, mask); break;
    default: break;
  }
}

// Calls fn with a PackedReader of the source depth.
template <class Fn>
void WithPackedReader(std::uint8_t sourceBits, const std::uint8_t* s, Fn fn) {
  switch (sourceBits) {
    case 1: fn(PackedReader<1>{s}); break;
    case 2: fn(PackedReader<2>{s}); break;
    case 4: fn(PackedReader<4>{s}); break;
    case 8: fn(PackedReader<8>{s}); break;
    default: break;
  }
}

// Single-sample rows of the grey converter and the 16-bit indexed copy.
template <class Fn, bool Masked>
void SampleLoop(const std::uint8_t* s, std::size_t stride, std::uint8_t* d, std::uint32_t count,
                std::uint8_t mask, Fn fn) {
  using D = typename Fn::Dst;
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i, d += sizeof(D)) {
    if constexpr (Masked) {
      if (!Selected(mask, i)) continue;
    }
    Store<D>(d, fn(s + off));
    off += stride;
  }
}

template <class Fn>
void RunSamples(const std::uint8_t* s, std::size_t stride, std::uint8_t* d, std::uint32_t count,
                std::uint8_t mask, Fn fn) {
  if (mask != 0xFF) {
    SampleLoop<Fn, true>(s, stride, d, count, mask, fn);
  } else {
    SampleLoop<Fn, false>(s, stride, d, count, mask, fn);
  }
}

}  // namespace

void TColorManager::ConvertIndexed16To16(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                         std::uint8_t Mask) {
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  if (Mask == 0xFF && !swap) {
    std::memmove(d, s, std::size_t{Count} * 2);
  } else if (swap) {
    RunSamples(s, 2, d, Count, Mask, Component16To16<true>{nullptr});
  } else {
    RunSamples(s, 2, d, Count, Mask, Component16To16<false>{nullptr});
  }
}

void TColorManager::ConvertIndexed16ToPacked(std::span<const void* const> Source, void* Target,
                                             std::uint32_t Count, std::uint8_t Mask) {
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  const auto targetMax = static_cast<std::uint16_t>((1u << targetBitsPerSample_) - 1);
  if (sourceOptions_ & cvSwapBytes) {
    WritePackedTo(targetBitsPerSample_, WordSource<true>{s, targetMax}, d, Count, Mask);
  } else {
    WritePackedTo(targetBitsPerSample_, WordSource<false>{s, targetMax}, d, Count, Mask);
  }
}

void TColorManager::ConvertIndexedPackedTo16(std::span<const void* const> Source, void* Target,
                                             std::uint32_t Count, std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const unsigned sourceMax = (1u << sb) - 1;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  std::uint16_t values[256];
  for (unsigned v = 0; v <= sourceMax; ++v) {
    const std::uint16_t value = MulDiv16(static_cast<std::uint16_t>(v), 65535, static_cast<std::uint16_t>(sourceMax));
    values[v] = swap ? Swap16(value) : value;
  }
  auto* d = static_cast<std::uint8_t*>(Target);
  WithPackedReader(sb, Bytes(Source[0]), [&](auto reader) {
    for (std::uint32_t i = 0; i < Count; ++i, d += 2) {
      if (Selected(Mask, i)) Store16(d, values[reader.Next()]);
    }
  });
}

void TColorManager::ConvertIndexedPacked(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                         std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  if (sb == tb && Mask == 0xFF) {
    std::memmove(d, s, (std::size_t{Count} * sb + 7) / 8);
    return;
  }
  // Indices and grey levels are rescaled to the target's range.
  const unsigned sourceMax = (1u << sb) - 1;
  const auto targetMax = static_cast<std::uint16_t>((1u << tb) - 1);
  std::uint8_t map[256];
  for (unsigned v = 0; v <= sourceMax; ++v) {
    map[v] = static_cast<std::uint8_t>(
        MulDiv16(static_cast<std::uint16_t>(v), targetMax, static_cast<std::uint16_t>(sourceMax)));
  }
  switch (sb) {
    case 1: WritePackedTo(tb, PackedSource<1>{{s}, map}, d, Count, Mask); break;
    case 2: WritePackedTo(tb, PackedSource<2>{{s}, map}, d, Count, Mask); break;
    case 4: WritePackedTo(tb, PackedSource<4>{{s}, map}, d, Count, Mask); break;
    case 8: WritePackedTo(tb, PackedSource<8>{{s}, map}, d, Count, Mask); break;
    default: break;
  }
}

void TColorManager::ConvertGray(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  if (!IsWideDepth(sb) || !IsWideDepth(tb)) return;
  const std::size_t sourceSize = sb / 8;
  const bool planar = Source.size() > 1;
  const bool alpha = (sourceOptions_ & cvAlpha) != 0;
  // The source alpha is skipped: the target holds one grey sample a pixel.
  const std::size_t stride = (planar || !alpha ? 1 : 2) * sourceSize;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  if (Mask == 0xFF && stride == sourceSize && sb == tb && (sb == 8 || !swap)) {
    std::memmove(d, s, std::size_t{Count} * sourceSize);
    return;
  }
  if (sb == 8 && tb == 8) {
    RunSamples(s, stride, d, Count, Mask, Component8To8<false>{nullptr});
  } else if (sb == 16 && tb == 8) {
    if (swap) {
      RunSamples(s, stride, d, Count, Mask, Component16To8<true, false>{nullptr});
    } else {
      RunSamples(s, stride, d, Count, Mask, Component16To8<false, false>{nullptr});
    }
  } else if (sb == 8) {
    RunSamples(s, stride, d, Count, Mask, Component8To16<false>{nullptr});
  } else if (swap) {
    RunSamples(s, stride, d, Count, Mask, Component16To16<true>{nullptr});
  } else {
    RunSamples(s, stride, d, Count, Mask, Component16To16<false>{nullptr});
  }
}

}  // namespace vumo
