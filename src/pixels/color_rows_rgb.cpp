// Rows of the RGB family: RGB or BGR, with or without alpha, 8 or 16 bits, into RGB or BGR.
#include "pixels/color_rows.h"
#include "pixels/row_kernels.h"

namespace vumo {
namespace color_rows {
namespace {

template <class Fn, class AlphaFn, bool CopyAlpha, bool Masked>
void RgbLoop(const Planes& src, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count, std::uint8_t mask,
             Fn fn, AlphaFn alphaFn) {
  using D = typename Fn::Dst;
  constexpr std::size_t kD = sizeof(D);
  const std::uint8_t* s0 = src.p[0];
  const std::uint8_t* s1 = src.p[1];
  const std::uint8_t* s2 = src.p[2];
  const std::uint8_t* s3 = src.p[3];
  const std::size_t stride = src.stride;
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i, dst += dstStride) {
    if constexpr (Masked) {
      if (!Selected(mask, i)) continue;
    }
    // Everything is read before anything is written, so a row may be converted in place.
    const D c0 = fn(s0 + off);
    const D c1 = fn(s1 + off);
    const D c2 = fn(s2 + off);
    if constexpr (CopyAlpha) {
      const D alpha = alphaFn(s3 + off);
      Store<D>(dst + 3 * kD, alpha);
    }
    Store<D>(dst, c0);
    Store<D>(dst + kD, c1);
    Store<D>(dst + 2 * kD, c2);
    off += stride;
  }
}

template <class Fn, class AlphaFn>
void RunRgb(const Planes& src, bool copyAlpha, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count,
            std::uint8_t mask, Fn fn, AlphaFn alphaFn) {
  const bool masked = mask != 0xFF;
  if (copyAlpha) {
    if (masked) {
      RgbLoop<Fn, AlphaFn, true, true>(src, dst, dstStride, count, mask, fn, alphaFn);
    } else {
      RgbLoop<Fn, AlphaFn, true, false>(src, dst, dstStride, count, mask, fn, alphaFn);
    }
  } else {
    if (masked) {
      RgbLoop<Fn, AlphaFn, false, true>(src, dst, dstStride, count, mask, fn, alphaFn);
    } else {
      RgbLoop<Fn, AlphaFn, false, false>(src, dst, dstStride, count, mask, fn, alphaFn);
    }
  }
}

void SwapRedBlue4(const std::uint8_t* s, std::uint8_t* d, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i, s += 4, d += 4) {
    std::uint32_t v;
    std::memcpy(&v, s, 4);
    if constexpr (std::endian::native == std::endian::little) {
      v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    } else {
      v = (v & 0x00FF00FFu) | ((v >> 16) & 0xFF00u) | ((v & 0xFF00u) << 16);
    }
    std::memcpy(d, &v, 4);
  }
}

}  // namespace

// RGB/BGR to RGB/BGR; `reverse` exchanges the first and third colour sample.
void ConvertRgbFamily(const RowSetup& setup, std::span<const void* const> source, void* target,
                      std::uint32_t count, std::uint8_t mask, bool reverse) {
  const std::uint8_t sb = setup.sourceBits;
  const std::uint8_t tb = setup.targetBits;
  if (!IsWideDepth(sb) || !IsWideDepth(tb)) return;
  const bool sourceAlpha = (setup.sourceOptions & cvAlpha) != 0;
  const bool targetAlpha = (setup.targetOptions & cvAlpha) != 0;
  const bool gamma = (setup.targetOptions & cvApplyGamma) != 0;
  const bool swap = (setup.sourceOptions & cvSwapBytes) != 0;
  const std::size_t sourceSize = sb / 8;
  const std::size_t targetSize = tb / 8;
  static constexpr int kStraight[3] = {0, 1, 2};
  static constexpr int kReversed[3] = {2, 1, 0};
  const bool planar = source.size() > 1;

  Planes planes;
  if (!SetupPlanes(source, sourceSize, 3, sourceAlpha, planar, reverse ? kReversed : kStraight, planes)) {
    Fail(kNoConversionMethod);
  }
  const bool copyAlpha = sourceAlpha && targetAlpha && planes.p[3] != nullptr;
  const std::size_t dstStride = (targetAlpha ? 4 : 3) * targetSize;
  auto* dst = static_cast<std::uint8_t*>(target);

  if (mask == 0xFF && !planar && !gamma && sb == tb && (sb == 8 || !swap)) {
    const std::uint8_t* base = Bytes(source[0]);
    if (!reverse && planes.stride == dstStride) {
      std::memmove(dst, base, std::size_t{count} * dstStride);
      return;
    }
    if (reverse && sb == 8 && sourceAlpha == targetAlpha) {
      if (sourceAlpha) {
        SwapRedBlue4(base, dst, count);
      } else {
        // The most common row of all: 8-bit RGB into a BGR bitmap.
        SwapRedBlue24(base, dst, count);
      }
      return;
    }
  }
  // Planes of 8-bit samples (Photoshop, PCX) interleave as they are, already in target order.
  if (mask == 0xFF && planar && !gamma && sb == 8 && tb == 8) {
    if (!targetAlpha) {
      MergePlanes3(planes.p[0], planes.p[1], planes.p[2], dst, count);
      return;
    }
    if (copyAlpha) {
      MergePlanes4(planes.p[0], planes.p[1], planes.p[2], planes.p[3], dst, count);
      return;
    }
  }

  const std::uint8_t* g = setup.gamma;
  // The colour channels go through `colour`, alpha through `alpha`, which never takes gamma.
  auto run = [&](auto colour, auto alpha) { RunRgb(planes, copyAlpha, dst, dstStride, count, mask, colour, alpha); };
  if (sb == 8 && tb == 8) {
    if (gamma) run(Component8To8<true>{g}, Component8To8<false>{g});
    else run(Component8To8<false>{g}, Component8To8<false>{g});
  } else if (sb == 16 && tb == 8) {
    if (swap && gamma) run(Component16To8<true, true>{g}, Component16To8<true, false>{g});
    else if (swap) run(Component16To8<true, false>{g}, Component16To8<true, false>{g});
    else if (gamma) run(Component16To8<false, true>{g}, Component16To8<false, false>{g});
    else run(Component16To8<false, false>{g}, Component16To8<false, false>{g});
  } else if (sb == 8 && tb == 16) {
    if (gamma) run(Component8To16<true>{g}, Component8To16<false>{g});
    else run(Component8To16<false>{g}, Component8To16<false>{g});
  } else if (swap) {
    run(Component16To16<true>{g}, Component16To16<true>{g});
  } else {
    run(Component16To16<false>{g}, Component16To16<false>{g});
  }
}

}  // namespace color_rows

using namespace color_rows;

void TColorManager::ConvertRGBRows(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                   std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertRgbFamily(setup, Source, Target, Count, Mask, swapRedBlue_);
}

}  // namespace vumo
