#include "pixels/row_kernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VUMO_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace vumo {

namespace {

void SwapRedBlue24Plain(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, source += 3, target += 3) {
    const std::uint8_t first = source[0];
    target[0] = source[2];
    target[1] = source[1];
    target[2] = first;
  }
}

void MergePlanes3Plain(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, std::uint8_t* target,
                       std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, target += 3) {
    target[0] = a[i];
    target[1] = b[i];
    target[2] = c[i];
  }
}

#ifdef VUMO_X86_KERNELS

// Four pixels a step through one byte shuffle; each step reads and writes 16 bytes of which
// the last four pass through unchanged, so it also works in place. Returns the pixels done;
// it stops while at least two pixels are left so the last 16-byte read stays in the row.
__attribute__((target("ssse3"))) std::size_t SwapRedBlue24Ssse3(const std::uint8_t* source, std::uint8_t* target,
                                                                std::size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  std::size_t i = 0;
  for (; i + 6 <= count; i += 4, source += 12, target += 12)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)), order));
  return i;
}

// Eight pixels a step: both 12-byte halves are loaded before either is stored, the second
// stored over the first's four passed-through bytes.
__attribute__((target("avx2"))) std::size_t SwapRedBlue24Avx2(const std::uint8_t* source, std::uint8_t* target,
                                                               std::size_t count) {
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15,  //
                                         2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  std::size_t i = 0;
  for (; i + 10 <= count; i += 8, source += 24, target += 24) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 12));
    const __m256i v = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 12), _mm256_extracti128_si256(v, 1));
  }
  return i;
}

// The swap as a table: output byte k of a 48-byte step (sixteen pixels) comes from input byte
// 3(k / 3) + 2 - k % 3. mask[v][u] gathers the bytes of output vector v found in input vector
// u (-128 leaves a byte zero).
struct TSwapMasks {
  alignas(16) std::int8_t mask[3][3][16];
};
constexpr TSwapMasks MakeSwapMasks() {
  TSwapMasks masks {};
  for (int v = 0; v < 3; ++v)
    for (int u = 0; u < 3; ++u)
      for (int j = 0; j < 16; ++j) {
        const int k = 16 * v + j, from = 3 * (k / 3) + 2 - k % 3 - 16 * u;
        masks.mask[v][u][j] = static_cast<std::int8_t>(from >= 0 && from < 16 ? from : -128);
      }
  return masks;
}
constexpr TSwapMasks kSwapMasks = MakeSwapMasks();

// Sixteen pixels a step, each of the three outputs whole, so they can be streamed; the
// target must be 16-byte aligned. Returns the pixels done.
__attribute__((target("ssse3"))) std::size_t SwapRedBlue24StreamSsse3(const std::uint8_t* source,
                                                                      std::uint8_t* target, std::size_t count) {
  const auto* m = reinterpret_cast<const __m128i*>(kSwapMasks.mask);
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16, source += 48, target += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
    const __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(a, m[0]), _mm_shuffle_epi8(b, m[1]));
    const __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m[3]), _mm_shuffle_epi8(b, m[4])),
                                    _mm_shuffle_epi8(c, m[5]));
    const __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(b, m[7]), _mm_shuffle_epi8(c, m[8]));
    _mm_stream_si128(reinterpret_cast<__m128i*>(target), o0);
    _mm_stream_si128(reinterpret_cast<__m128i*>(target + 16), o1);
    _mm_stream_si128(reinterpret_cast<__m128i*>(target + 32), o2);
  }
  _mm_sfence();
  return i;
}

// Sixteen pixels a step: each of the three 16-byte outputs gathers its bytes from the three
// planes with one shuffle each (-1 leaves a byte zero) and ORs them together.
__attribute__((target("ssse3"))) std::size_t MergePlanes3Ssse3(const std::uint8_t* a, const std::uint8_t* b,
                                                               const std::uint8_t* c, std::uint8_t* target,
                                                               std::size_t count) {
  const __m128i a0 = _mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5);
  const __m128i b0 = _mm_setr_epi8(-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1);
  const __m128i c0 = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
  const __m128i a1 = _mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1);
  const __m128i b1 = _mm_setr_epi8(5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10);
  const __m128i c1 = _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1);
  const __m128i a2 = _mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1);
  const __m128i b2 = _mm_setr_epi8(-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1);
  const __m128i c2 = _mm_setr_epi8(10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15);
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16, target += 48) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i vc = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
    const __m128i o0 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(va, a0), _mm_shuffle_epi8(vb, b0)),
                                    _mm_shuffle_epi8(vc, c0));
    const __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(va, a1), _mm_shuffle_epi8(vb, b1)),
                                    _mm_shuffle_epi8(vc, c1));
    const __m128i o2 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(va, a2), _mm_shuffle_epi8(vb, b2)),
                                    _mm_shuffle_epi8(vc, c2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), o0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16), o1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 32), o2);
  }
  return i;
}

struct TCpu {
  bool ssse3 = __builtin_cpu_supports("ssse3");
  bool avx2 = __builtin_cpu_supports("avx2");
};

const TCpu& Cpu() {
  static const TCpu cpu;
  return cpu;
}

#endif

}  // namespace

void CopyRowUncached(const std::uint8_t* source, std::uint8_t* target, std::size_t bytes) {
#ifdef VUMO_X86_KERNELS
  // Plain stores up to the first 16-byte boundary of the target, streaming stores from there.
  std::size_t head = (16 - reinterpret_cast<std::uintptr_t>(target) % 16) % 16;
  if (head > bytes) head = bytes;
  std::memcpy(target, source, head);
  source += head;
  target += head;
  bytes -= head;
  for (; bytes >= 64; bytes -= 64, source += 64, target += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(target), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(target + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(target + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(target + 48), d);
  }
  for (; bytes >= 16; bytes -= 16, source += 16, target += 16)
    _mm_stream_si128(reinterpret_cast<__m128i*>(target), _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
  // Streamed stores are ordered before anything stored after this returns.
  _mm_sfence();
#endif
  std::memcpy(target, source, bytes);
}

void SwapRedBlue24(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
#ifdef VUMO_X86_KERNELS
  std::size_t done = 0;
  if (Cpu().avx2) done = SwapRedBlue24Avx2(source, target, count);
  if (Cpu().ssse3) done += SwapRedBlue24Ssse3(source + 3 * done, target + 3 * done, count - done);
  source += 3 * done;
  target += 3 * done;
  count -= done;
#endif
  SwapRedBlue24Plain(source, target, count);
}

void SwapRedBlue24Uncached(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
#ifdef VUMO_X86_KERNELS
  if (Cpu().ssse3) {
    // Pixels one by one up to the first 16-byte boundary of the target (3 and 16 share no
    // factor, so one lies within fifteen pixels), then streamed.
    std::size_t lead = 0;
    while (lead < count && (reinterpret_cast<std::uintptr_t>(target + 3 * lead) % 16) != 0) ++lead;
    SwapRedBlue24Plain(source, target, lead);
    const std::size_t done = lead + SwapRedBlue24StreamSsse3(source + 3 * lead, target + 3 * lead, count - lead);
    SwapRedBlue24Plain(source + 3 * done, target + 3 * done, count - done);
    return;
  }
#endif
  SwapRedBlue24(source, target, count);
}

void UnpremultiplyBGRA(std::uint8_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    const unsigned alpha = pixels[3];
    if (alpha == 255 || alpha == 0) continue;
    for (int k = 0; k < 3; ++k)
      pixels[k] = static_cast<std::uint8_t>(std::min(255u, (pixels[k] * 255u + alpha / 2) / alpha));
  }
}

void UnmatteWhiteBGRA(std::uint8_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    const unsigned alpha = pixels[3];
    if (alpha == 255 || alpha == 0) continue;
    for (int k = 0; k < 3; ++k)
      pixels[k] = static_cast<std::uint8_t>(255u - std::min(255u, ((255u - pixels[k]) * 255u + alpha / 2) / alpha));
  }
}

bool BlendedOverWhiteBGRA(const std::uint8_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 4) {
    const unsigned least = 255u - pixels[3];
    if (least == 0) continue;
    const unsigned darkest = std::min({pixels[0], pixels[1], pixels[2]});
    if (pixels[3] == 0 ? darkest < 254 : darkest + 1 < least) return false;
  }
  return true;
}

void MergePlanes3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  std::uint8_t* target, std::size_t count) {
  std::size_t done = 0;
#ifdef VUMO_X86_KERNELS
  if (Cpu().ssse3) done = MergePlanes3Ssse3(first, second, third, target, count);
#endif
  MergePlanes3Plain(first + done, second + done, third + done, target + 3 * done, count - done);
}

void MergePlanes4(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  const std::uint8_t* fourth, std::uint8_t* target, std::size_t count) {
  std::size_t i = 0;
#ifdef VUMO_X86_KERNELS
  // Byte then word interleaves, part of every x86-64 processor.
  for (; i + 16 <= count; i += 16, target += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + i));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(third + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fourth + i));
    const __m128i abLow = _mm_unpacklo_epi8(a, b), abHigh = _mm_unpackhi_epi8(a, b);
    const __m128i cdLow = _mm_unpacklo_epi8(c, d), cdHigh = _mm_unpackhi_epi8(c, d);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_unpacklo_epi16(abLow, cdLow));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16), _mm_unpackhi_epi16(abLow, cdLow));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 32), _mm_unpacklo_epi16(abHigh, cdHigh));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 48), _mm_unpackhi_epi16(abHigh, cdHigh));
  }
#endif
  for (; i < count; ++i, target += 4) {
    target[0] = first[i];
    target[1] = second[i];
    target[2] = third[i];
    target[3] = fourth[i];
  }
}

namespace {

// Undoes one row's filter in place against the row above (zeros for a pass's first row).
template <std::size_t Bpp>
void UnfilterRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  switch (type) {
    case 1:
      for (std::size_t i = Bpp; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < Bpp && i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
      for (std::size_t i = Bpp; i < n; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + ((unsigned{row[i - Bpp]} + prior[i]) >> 1));
      break;
    case 4: {
      for (std::size_t i = 0; i < Bpp && i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      // Pixel by pixel, so that the compiler keeps a, c of each byte lane in registers.
      std::size_t i = Bpp;
      for (; i + Bpp <= n; i += Bpp) {
        for (std::size_t k = 0; k < Bpp; ++k) {
          const int a = row[i + k - Bpp], b = prior[i + k], c = prior[i + k - Bpp];
          const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
          const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          row[i + k] = static_cast<std::uint8_t>(row[i + k] + predictor);
        }
      }
      break;
    }
    default:  // 0, and an unknown type, leave the row as it is
      break;
  }
}

#if defined(__SSE2__)
// Filters of 3- and 4-byte pixels a pixel at a time in 16-bit lanes: the reconstructed pixel
// to the left is the only dependency from one step to the next.
template <std::size_t Bpp>
inline __m128i LoadPixel(const std::uint8_t* p) {
  // Composed in a register: a 3-byte copy through memory would stall the load after it.
  std::uint32_t v = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
  if constexpr (Bpp == 4) v |= std::uint32_t{p[3]} << 24;
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <std::size_t Bpp>
inline void StorePixel(std::uint8_t* p, __m128i v) {
  const auto packed = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  p[0] = static_cast<std::uint8_t>(packed);
  p[1] = static_cast<std::uint8_t>(packed >> 8);
  p[2] = static_cast<std::uint8_t>(packed >> 16);
  if constexpr (Bpp == 4) p[3] = static_cast<std::uint8_t>(packed >> 24);
}

inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

template <std::size_t Bpp>
bool UnfilterWide(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  if (type != 1 && type != 3 && type != 4) return false;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  // Whole pixels only; the last pixel is stored through a byte copy.
  for (std::size_t i = 0; i + Bpp <= n; i += Bpp) {
    const __m128i x = LoadPixel<Bpp>(row + i);
    __m128i out;
    if (type == 1) {
      out = _mm_add_epi16(x, a);
    } else if (type == 3) {
      const __m128i b = LoadPixel<Bpp>(prior + i);
      out = _mm_add_epi16(x, _mm_srli_epi16(_mm_add_epi16(a, b), 1));
    } else {
      const __m128i b = LoadPixel<Bpp>(prior + i);
      const __m128i pb = _mm_sub_epi16(b, c), pa_ = _mm_sub_epi16(a, c);
      // pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; ties go to a, then b.
      const __m128i da = Abs16(pb), db = Abs16(pa_), dc = Abs16(_mm_add_epi16(pb, pa_));
      const __m128i smallest = _mm_min_epi16(_mm_min_epi16(da, db), dc);
      const __m128i useA = _mm_cmpeq_epi16(da, smallest);
      const __m128i useB = _mm_andnot_si128(useA, _mm_cmpeq_epi16(db, smallest));
      __m128i predictor = _mm_or_si128(_mm_and_si128(useA, a), _mm_and_si128(useB, b));
      predictor = _mm_or_si128(predictor, _mm_andnot_si128(_mm_or_si128(useA, useB), c));
      out = _mm_add_epi16(x, predictor);
      c = b;
    }
    a = _mm_and_si128(out, low);
    StorePixel<Bpp>(row + i, a);
  }
  return true;
}
#endif

using TUnfilterRow = void (*)(std::uint8_t, std::uint8_t*, const std::uint8_t*, std::size_t);
// By bytes per pixel; the widest pixels (8 bytes) stand in for any size not listed.
constexpr TUnfilterRow kUnfilterRows[9] = {UnfilterRow<8>, UnfilterRow<1>, UnfilterRow<2>, UnfilterRow<3>, UnfilterRow<4>,
                                           UnfilterRow<8>, UnfilterRow<6>, UnfilterRow<8>, UnfilterRow<8>};

}  // namespace

void UnfilterPngRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes,
                    std::size_t pixelBytes) {
#if defined(__SSE2__)
  if (pixelBytes == 3 && UnfilterWide<3>(type, row, prior, bytes)) return;
  if (pixelBytes == 4 && UnfilterWide<4>(type, row, prior, bytes)) return;
#endif
  kUnfilterRows[pixelBytes < 9 ? pixelBytes : 8](type, row, prior, bytes);
}

}  // namespace vumo
