// Converts rows of decoded samples of any layout into bitmap rows, and builds palettes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pixels/byte_order.h"
#include "pixels/errors.h"
#include "pixels/image_properties.h"
#include "pixels/palette.h"
#include "pixels/pixel_format.h"

namespace vumo {

// TConversionOptions: a one-byte set.
using TConversionOptions = std::uint8_t;
inline constexpr TConversionOptions cvAlpha = 1 << 0;
inline constexpr TConversionOptions cvApplyGamma = 1 << 1;
inline constexpr TConversionOptions cvSwapBytes = 1 << 2;
inline constexpr TConversionOptions cvLabScaledLightness = 1 << 3;
inline constexpr TConversionOptions cvLabChromaOffset = 1 << 4;
// L*a*b* relative to the D65 white rather than D50 (a TIFF file whose WhitePoint says so).
inline constexpr TConversionOptions cvLabD65White = 1 << 5;

// The source option for 16-bit samples kept in a file's byte order.
inline constexpr TConversionOptions kBigEndianSamples = kSwapBigEndian ? cvSwapBytes : 0;
inline constexpr TConversionOptions kLittleEndianSamples = kSwapLittleEndian ? cvSwapBytes : 0;

// Everything that decides a row conversion, given at once.
struct TColorSetup {
  TColorScheme SourceScheme = csRGB;
  std::uint8_t SourceBits = 8;
  std::uint8_t SourceSamples = 3;
  TConversionOptions SourceOptions = 0;
  TColorScheme TargetScheme = csBGR;
  std::uint8_t TargetBits = 8;
  std::uint8_t TargetSamples = 3;
  TConversionOptions TargetOptions = 0;
};

enum TRawPaletteFormat : std::uint8_t {
  pfInterlaced8Triple = 0, pfInterlaced8Quad = 1, pfPlane8Triple = 2, pfPlane8Quad = 3,
  pfInterlaced16Triple = 4, pfInterlaced16Quad = 5, pfPlane16Triple = 6, pfPlane16Quad = 7,
};

// (a * b) div c over 16-bit operands with a 32-bit product; c of 0 gives 0.
std::uint16_t MulDiv16(std::uint16_t a, std::uint16_t b, std::uint16_t c);
// x clamped into 0..255.
std::uint8_t ClampByte(int x);

class TColorManager {
 public:
  TColorManager();

  std::uint8_t SourceBitsPerSample() const { return sourceBitsPerSample_; }
  std::uint8_t TargetBitsPerSample() const { return targetBitsPerSample_; }
  std::uint8_t SourceSamplesPerPixel() const { return sourceSamplesPerPixel_; }
  std::uint8_t TargetSamplesPerPixel() const { return targetSamplesPerPixel_; }
  TColorScheme SourceColorScheme() const { return sourceColorScheme_; }
  TColorScheme TargetColorScheme() const { return targetColorScheme_; }
  TConversionOptions SourceOptions() const { return sourceOptions_; }
  TConversionOptions TargetOptions() const { return targetOptions_; }

  // Setters raise EColorConversionError and keep the old value when the value is rejected.
  void SetSourceBitsPerSample(std::uint8_t value);
  void SetTargetBitsPerSample(std::uint8_t value);
  void SetSourceSamplesPerPixel(std::uint8_t value);
  void SetTargetSamplesPerPixel(std::uint8_t value);
  void SetSourceColorScheme(TColorScheme value);
  void SetTargetColorScheme(TColorScheme value);
  void SetSourceOptions(TConversionOptions value) { sourceOptions_ = value; }
  void SetTargetOptions(TConversionOptions value) { targetOptions_ = value; }

  // Sets the whole layout and selects the row converter, raising EColorConversionError
  // when there is none: a reader learns before it allocates that it cannot show a layout.
  void Setup(const TColorSetup& setup);
  // Sets the whole layout without selecting a converter, for readers that take only the
  // target pixel format and the palettes from the colour manager.
  void Configure(const TColorSetup& setup);
  // Selects the converter for the layout set so far, raising as Setup does.
  void Validate();

  TPixelFormat SourcePixelFormat() const;
  TPixelFormat TargetPixelFormat() const;

  // Converts Count pixels. One source pointer means interleaved samples, several mean one
  // plane each (in scheme order, then alpha or black). Pixel i is written only when bit
  // (7 - i mod 8) of Mask is set.
  void ConvertRow(std::span<const void* const> Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRow(const void* Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
    const void* const sources[1] = {Source};
    ConvertRow(std::span<const void* const>(sources, 1), Target, Count, Mask);
  }
  // The same, told how many bytes each source buffer (each plane, when planar) and the
  // target hold: a row that would read or write past them raises EColorConversionError.
  void ConvertRow(std::span<const void* const> Source, std::size_t SourceBytes, void* Target, std::size_t TargetBytes,
                  std::uint32_t Count, std::uint8_t Mask);

  // Data holds one buffer (interleaved formats) or three planes, each of ColorCount records.
  TLogPalette CreateColorPalette(std::span<const void* const> Data, TRawPaletteFormat DataFormat,
                                 std::uint32_t ColorCount, bool OrderFlag);
  TLogPalette CreateGrayPalette(bool MinimumIsWhite);

  void SetGamma(float MainGamma, float DisplayGamma);
  void SetYCbCrParameters(std::span<const float> Values, std::uint8_t HorizontalSubsampling,
                          std::uint8_t VerticalSubsampling);

  float MainGamma() const { return mainGamma_; }
  float DisplayGamma() const { return displayGamma_; }
  const std::uint8_t* GammaTable() const { return gammaTable_; }
  const float* YCbCrCoefficients() const { return yCbCrCoefficients_; }
  std::uint8_t HorizontalSubsampling() const { return horizontalSubsampling_; }
  std::uint8_t VerticalSubsampling() const { return verticalSubsampling_; }
  bool Changed() const { return changed_; }

  const std::vector<std::int32_t>& CrToRed() const { return crToRed_; }
  const std::vector<std::int32_t>& CbToBlue() const { return cbToBlue_; }
  const std::vector<std::int32_t>& CrToGreen() const { return crToGreen_; }
  const std::vector<std::int32_t>& CbToGreen() const { return cbToGreen_; }

 private:
  using TConvertRow = void (TColorManager::*)(std::span<const void* const> Source, void* Target,
                                              std::uint32_t Count, std::uint8_t Mask);

  void PrepareConversion();
  // cvAlpha on each side as its colour scheme says.
  void ApplyAlphaOptions();
  void BuildYCbCrTables();

  void ConvertIndexed16To16(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertIndexed16ToPacked(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertIndexedPackedTo16(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertIndexedPacked(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertGray(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  // The colour converters; red and blue change places when swapRedBlue_ says so.
  void ConvertRGBRows(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertCMYKRows(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertLabRows(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);
  void ConvertYCbCrRows(std::span<const void* const>, void*, std::uint32_t, std::uint8_t);

  // Takes a new value into a layout field, noting that the converter must be chosen again.
  template <typename T>
  void Change(T& field, T value) {
    if (value == field) return;
    field = value;
    changed_ = true;
  }

  bool changed_ = true;
  std::uint8_t sourceBitsPerSample_ = 8;
  std::uint8_t targetBitsPerSample_ = 8;
  std::uint8_t sourceSamplesPerPixel_ = 3;
  std::uint8_t targetSamplesPerPixel_ = 3;
  float mainGamma_ = 1.0f;
  float displayGamma_ = 2.2f;
  std::uint8_t gammaTable_[256] = {};
  float yCbCrCoefficients_[3] = {0.299f, 0.587f, 0.114f};
  std::uint8_t horizontalSubsampling_ = 1;
  std::uint8_t verticalSubsampling_ = 1;
  std::vector<std::int32_t> luma_, crToRed_, cbToBlue_, crToGreen_, cbToGreen_;
  TColorScheme sourceColorScheme_ = csRGB;
  TColorScheme targetColorScheme_ = csBGR;
  TConvertRow converter_ = nullptr;
  // The target's red-blue order is not the one the colour converter writes.
  bool swapRedBlue_ = false;
  TConversionOptions sourceOptions_ = 0;
  TConversionOptions targetOptions_ = 0;
};

}  // namespace vumo
