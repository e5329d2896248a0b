// Palettes built from raw colour tables of any layout, and grey ramps.
#include "pixels/color_rows.h"

namespace vumo {

using namespace color_rows;

TLogPalette TColorManager::CreateColorPalette(std::span<const void* const> Data, TRawPaletteFormat DataFormat,
                                              std::uint32_t ColorCount, bool OrderFlag) {
  const std::uint32_t count = std::min<std::uint32_t>(ColorCount, 256);
  std::array<TPaletteEntry, 256> entries{};

  bool planar = false;
  switch (DataFormat) {
    case pfInterlaced8Triple:
    case pfInterlaced8Quad:
    case pfInterlaced16Triple:
    case pfInterlaced16Quad:
      break;
    case pfPlane8Triple:
    case pfPlane8Quad:
    case pfPlane16Triple:
    case pfPlane16Quad:
      planar = true;
      break;
    default:
      Fail(kNoConversionMethod);
  }
  if (count > 0) {
    const std::size_t needed = planar ? 3 : 1;
    if (Data.size() < needed) Fail(kNoConversionMethod);
    for (std::size_t k = 0; k < needed; ++k) {
      if (!Data[k]) Fail(kNoConversionMethod);
    }
  }

  const bool gamma = (targetOptions_ & cvApplyGamma) != 0;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  auto from8 = [&](std::uint8_t v) { return gamma ? gammaTable_[v] : v; };
  auto from16 = [&](const std::uint8_t* p) {
    std::uint16_t v = Load16(p);
    if (swap) v = Swap16(v);
    return from8(Reduce16(v));
  };
  auto set = [&](std::uint32_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    entries[i].peRed = r;
    entries[i].peGreen = g;
    entries[i].peBlue = b;
  };
  // Records of `size` bytes, their three colours `step` bytes apart, red or blue first.
  auto interlaced = [&](std::size_t size, std::size_t step, bool redFirst, auto colour) {
    const std::uint8_t* p = Bytes(Data.empty() ? nullptr : Data[0]);
    for (std::uint32_t i = 0; i < count; ++i, p += size) {
      const std::uint8_t first = colour(p), second = colour(p + step), third = colour(p + 2 * step);
      if (redFirst) set(i, first, second, third);
      else set(i, third, second, first);
    }
  };

  switch (DataFormat) {
    case pfInterlaced8Triple:
    case pfInterlaced8Quad:
      interlaced(DataFormat == pfInterlaced8Triple ? 3 : 4, 1, !OrderFlag,
                 [&](const std::uint8_t* p) { return from8(*p); });
      break;
    case pfPlane8Triple:
    case pfPlane8Quad:
      for (std::uint32_t i = 0; i < count; ++i) {
        set(i, from8(Bytes(Data[0])[i]), from8(Bytes(Data[1])[i]), from8(Bytes(Data[2])[i]));
      }
      break;
    case pfInterlaced16Triple:
    case pfInterlaced16Quad:
      // Stored the other way round from the 8-bit records: OrderFlag means red first here.
      interlaced(DataFormat == pfInterlaced16Triple ? 6 : 8, 2, OrderFlag, from16);
      break;
    default:
      for (std::uint32_t i = 0; i < count; ++i) {
        set(i, from16(Bytes(Data[0]) + 2 * i), from16(Bytes(Data[1]) + 2 * i), from16(Bytes(Data[2]) + 2 * i));
      }
      break;
  }

  // Match the index rescaling of ConvertIndexedPacked. A source deeper than 8 bits would
  // address entries beyond the 256 held, so such palettes stay as read.
  std::uint32_t size = count;
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  if (tb <= 8 && sb <= 8) {
    const auto sourceMax = static_cast<std::uint16_t>((1u << sb) - 1);
    const auto targetMax = static_cast<std::uint16_t>((1u << tb) - 1);
    if (sourceMax != targetMax) {
      if (sourceMax > targetMax) {
        for (std::uint16_t i = 0; i <= targetMax; ++i) entries[i] = entries[MulDiv16(i, sourceMax, targetMax)];
      } else {
        for (int i = targetMax; i >= 0; --i) {
          entries[i] = entries[MulDiv16(static_cast<std::uint16_t>(i), sourceMax, targetMax)];
        }
      }
      size = targetMax + 1u;
    }
  }
  return TLogPalette(entries.begin(), entries.begin() + size);
}

TLogPalette TColorManager::CreateGrayPalette(bool MinimumIsWhite) {
  const unsigned bits = std::min(unsigned{targetBitsPerSample_} * targetSamplesPerPixel_, 8u);
  const unsigned n = 1u << bits;
  const unsigned step = 255 / (n - 1);
  const bool gamma = (targetOptions_ & cvApplyGamma) != 0;
  TLogPalette palette(n);
  for (unsigned i = 0; i < n; ++i) {
    const auto level = static_cast<std::uint8_t>(i * step);
    const std::uint8_t value = gamma ? gammaTable_[level] : level;
    TPaletteEntry& entry = palette[MinimumIsWhite ? n - 1 - i : i];
    entry.peRed = value;
    entry.peGreen = value;
    entry.peBlue = value;
  }
  return palette;
}

}  // namespace vumo
