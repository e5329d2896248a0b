// The colour manager: its layout, the choice of a row converter, and the gamma and YCbCr
// lookup tables. The converters live in color_rows_*.cpp, the palettes in palettes.cpp.
#include "pixels/color_manager.h"

#include "pixels/color_rows.h"

namespace vumo {

using namespace color_rows;

std::uint16_t MulDiv16(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  if (c == 0) return 0;
  return static_cast<std::uint16_t>(std::uint32_t{a} * std::uint32_t{b} / c);
}

std::uint8_t ClampByte(int x) {
  if (x < 0) return 0;
  if (x > 255) return 255;
  return static_cast<std::uint8_t>(x);
}

TColorManager::TColorManager() { SetGamma(1.0f, 2.2f); }

namespace {

std::uint8_t ValidBits(std::uint8_t value) {
  if (value == 0 || value > 16) Fail(kInvalidBitsPerSample);
  return value;
}

std::uint8_t ValidCount(std::uint8_t value) {
  if (value == 0 || value > 4) Fail(kInvalidSampleCount);
  return value;
}

}  // namespace

void TColorManager::SetSourceBitsPerSample(std::uint8_t value) { Change(sourceBitsPerSample_, ValidBits(value)); }
void TColorManager::SetTargetBitsPerSample(std::uint8_t value) { Change(targetBitsPerSample_, ValidBits(value)); }
void TColorManager::SetSourceSamplesPerPixel(std::uint8_t value) { Change(sourceSamplesPerPixel_, ValidCount(value)); }
void TColorManager::SetTargetSamplesPerPixel(std::uint8_t value) { Change(targetSamplesPerPixel_, ValidCount(value)); }
void TColorManager::SetSourceColorScheme(TColorScheme value) { Change(sourceColorScheme_, value); }
void TColorManager::SetTargetColorScheme(TColorScheme value) { Change(targetColorScheme_, value); }

namespace {

TPixelFormat PixelFormatOf(std::uint8_t samplesPerPixel, std::uint8_t bitsPerSample) {
  switch (samplesPerPixel) {
    case 1:
      if (bitsPerSample == 1) return pf1bit;
      if (bitsPerSample >= 2 && bitsPerSample <= 4) return pf4bit;
      if (bitsPerSample >= 8 && bitsPerSample <= 16) return pf8bit;
      return pfCustom;
    case 3:
      return bitsPerSample >= 1 && bitsPerSample <= 5 ? pf15bit : pf24bit;
    case 4:
      return bitsPerSample >= 8 ? pf32bit : pfCustom;
    default:
      return pfCustom;
  }
}

}  // namespace

TPixelFormat TColorManager::SourcePixelFormat() const {
  return PixelFormatOf(sourceSamplesPerPixel_, sourceBitsPerSample_);
}

TPixelFormat TColorManager::TargetPixelFormat() const {
  return PixelFormatOf(targetSamplesPerPixel_, targetBitsPerSample_);
}

void TColorManager::ConvertRow(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                               std::uint8_t Mask) {
  if (changed_) PrepareConversion();
  if (!converter_) Fail(kNoConversionMethod);
  // Options are plain assignments that may come after the converter was chosen (a reader
  // loading its second file sets them again), so the alpha flags are renewed for every row.
  ApplyAlphaOptions();
  // A pass that selects none of the row's pixels touches nothing, and may come without data.
  const unsigned reach = Count >= 8 ? 0xFFu : (0xFFu << (8 - Count)) & 0xFFu;
  if ((Mask & reach) == 0) return;
  if (Source.empty() || !Source[0] || !Target) Fail(kNoConversionMethod);
  (this->*converter_)(Source, Target, Count, Mask);
}

void TColorManager::ConvertRow(std::span<const void* const> Source, std::size_t SourceBytes, void* Target,
                               std::size_t TargetBytes, std::uint32_t Count, std::uint8_t Mask) {
  // A planar source holds one sample of each pixel per buffer.
  const std::uint64_t sourceSamples = Source.size() > 1 ? 1 : sourceSamplesPerPixel_;
  // A masked row (an interlaced pass) takes a source pixel only for each selected column.
  std::uint64_t selected = Count;
  if (Mask != 0xFF) {
    selected = std::uint64_t{Count} / 8 * static_cast<unsigned>(std::popcount(Mask));
    for (std::uint32_t i = Count / 8 * 8; i < Count; ++i) selected += (Mask >> (7 - i % 8)) & 1;
  }
  const std::uint64_t sourceNeed = (selected * sourceBitsPerSample_ * sourceSamples + 7) / 8;
  // What a converter writes is a pixel of the target's bitmap format.
  const int targetBits = BitsPerPixelOf(TargetPixelFormat());
  const std::uint64_t targetPixelBits =
      targetBits > 0 ? static_cast<std::uint64_t>(targetBits) : std::uint64_t{targetBitsPerSample_} * targetSamplesPerPixel_;
  const std::uint64_t targetNeed = (std::uint64_t{Count} * targetPixelBits + 7) / 8;
  if (sourceNeed > SourceBytes || targetNeed > TargetBytes) Fail(kRowBufferTooShort);
  ConvertRow(Source, Target, Count, Mask);
}

void TColorManager::Setup(const TColorSetup& setup) {
  Configure(setup);
  Validate();
}

void TColorManager::Configure(const TColorSetup& setup) {
  SetSourceColorScheme(setup.SourceScheme);
  SetSourceBitsPerSample(setup.SourceBits);
  SetSourceSamplesPerPixel(setup.SourceSamples);
  SetSourceOptions(setup.SourceOptions);
  SetTargetColorScheme(setup.TargetScheme);
  SetTargetBitsPerSample(setup.TargetBits);
  SetTargetSamplesPerPixel(setup.TargetSamples);
  SetTargetOptions(setup.TargetOptions);
}

void TColorManager::Validate() {
  if (changed_) PrepareConversion();
  if (!converter_) Fail(kNoConversionMethod);
}

void TColorManager::PrepareConversion() {
  converter_ = nullptr;
  swapRedBlue_ = false;
  const TColorScheme source = sourceColorScheme_;
  const TColorScheme target = targetColorScheme_;
  const bool sourceIndexed = source == csIndexed || source == csGray || source == csGrayAlpha;
  const bool targetIndexed = target == csIndexed || target == csGray;
  if (sourceIndexed != targetIndexed) Fail(kIndexedNotIndexed);

  ApplyAlphaOptions();

  // Depths the setters accept but no converter handles (3, 5, 6, 7, 9..15, and packed depths
  // for the colour converters) select nothing, so ConvertRow reports them instead of
  // leaving the row unwritten.
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  const bool wide = IsWideDepth(sb) && IsWideDepth(tb);
  const bool rgbSide = target == csRGB || target == csRGBA;
  const bool bgrSide = target == csBGR || target == csBGRA;
  // `sourceBgr`: the source holds blue first, so an RGB target has red and blue swapped.
  auto pick = [&](TConvertRow convert, bool sourceBgr) {
    if (!wide || !(rgbSide || bgrSide)) return;
    converter_ = convert;
    swapRedBlue_ = bgrSide != sourceBgr;
  };

  switch (source) {
    case csIndexed:
      if (sb == 16 && tb == 16) {
        converter_ = &TColorManager::ConvertIndexed16To16;
      } else if (sb == 16) {
        if (IsPackedDepth(tb)) converter_ = &TColorManager::ConvertIndexed16ToPacked;
      } else if (tb == 16) {
        if (IsPackedDepth(sb)) converter_ = &TColorManager::ConvertIndexedPackedTo16;
      } else if (IsPackedDepth(sb) && IsPackedDepth(tb)) {
        converter_ = &TColorManager::ConvertIndexedPacked;
      }
      break;
    case csGray:
      if (sb != 16 && tb != 16) {
        if (IsPackedDepth(sb) && IsPackedDepth(tb)) converter_ = &TColorManager::ConvertIndexedPacked;
      } else if (wide) {
        converter_ = &TColorManager::ConvertGray;
      }
      break;
    case csGrayAlpha:
      if (wide) converter_ = &TColorManager::ConvertGray;
      break;
    case csRGB:
    case csRGBA:
      pick(&TColorManager::ConvertRGBRows, false);
      break;
    case csBGR:
    case csBGRA:
      pick(&TColorManager::ConvertRGBRows, true);
      break;
    case csCMYK:
      pick(&TColorManager::ConvertCMYKRows, false);
      break;
    case csCIELab:
      pick(&TColorManager::ConvertLabRows, false);
      break;
    case csYCbCr:
    case csPhotoYCC:
      BuildYCbCrTables();
      pick(&TColorManager::ConvertYCbCrRows, false);
      break;
    default:
      break;
  }
  changed_ = false;
}

void TColorManager::ApplyAlphaOptions() {
  auto withAlpha = [](TConversionOptions options, TColorScheme scheme) {
    const bool alpha = scheme == csGrayAlpha || scheme == csRGBA || scheme == csBGRA;
    return static_cast<TConversionOptions>(alpha ? options | cvAlpha : options & ~cvAlpha);
  };
  sourceOptions_ = withAlpha(sourceOptions_, sourceColorScheme_);
  targetOptions_ = withAlpha(targetOptions_, targetColorScheme_);
}

void TColorManager::BuildYCbCrTables() {
  const double kr = yCbCrCoefficients_[0];
  const double kg = yCbCrCoefficients_[1];
  const double kb = yCbCrCoefficients_[2];
  float crToRedFactor = HoldAsFloat(2 - 2 * kr);
  float cbToBlueFactor = HoldAsFloat(2 - 2 * kb);
  // A luma-green coefficient of 0 (a broken file) leaves green without chroma.
  float crToGreenFactor = kg != 0 ? HoldAsFloat(kr * crToRedFactor / kg) : 0.0f;
  float cbToGreenFactor = kg != 0 ? HoldAsFloat(kb * cbToBlueFactor / kg) : 0.0f;
  double lumaFactor = 1;
  const bool photo = sourceColorScheme_ == csPhotoYCC;
  if (photo) {
    // Photo YCC is defined by its own scales, not by luma coefficients: L = 1.3584 Y,
    // C1 = 2.2179 (Cb - 156), C2 = 1.8215 (Cr - 137), then R = L + C2,
    // G = L - 0.194 C1 - 0.509 C2, B = L + C1. Reference white is Y = 189; the codes above
    // it are highlights past white and clip.
    lumaFactor = 1.3584;
    crToRedFactor = 1.8215f;
    cbToBlueFactor = 2.2179f;
    crToGreenFactor = static_cast<float>(0.509 * 1.8215);
    cbToGreenFactor = static_cast<float>(0.194 * 2.2179);
  }
  const int crCentre = photo ? 137 : 128;
  const int cbCentre = photo ? 156 : 128;

  luma_.resize(256);
  crToRed_.resize(256);
  cbToBlue_.resize(256);
  crToGreen_.resize(256);
  cbToGreen_.resize(256);
  for (int i = 0; i < 256; ++i) {
    luma_[i] = RoundTableEntry(lumaFactor * i);
    crToRed_[i] = RoundTableEntry(double{crToRedFactor} * (i - crCentre));
    cbToBlue_[i] = RoundTableEntry(double{cbToBlueFactor} * (i - cbCentre));
    crToGreen_[i] = -RoundTableEntry(double{crToGreenFactor} * (i - crCentre));
    cbToGreen_[i] = -RoundTableEntry(double{cbToGreenFactor} * (i - cbCentre));
  }
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
  mainGamma_ = MainGamma > 0 ? MainGamma : 1.0f;
  displayGamma_ = DisplayGamma > 0 ? DisplayGamma : 2.2f;
  const double exponent = 1.0 / (double{mainGamma_} * double{displayGamma_});
  // The table is indexed by 8-bit values only, so both ends stay within its 256 entries
  // whatever the depths (a 16-bit target would otherwise ask for 65536 source steps).
  const unsigned targetHigh = targetBitsPerSample_ >= 8 ? 255u : (1u << targetBitsPerSample_) - 1;
  const unsigned sourceHigh = sourceBitsPerSample_ >= 8 ? 255u : std::min(255u, (1u << targetBitsPerSample_) - 1);
  for (unsigned i = 0; i <= sourceHigh; ++i) {
    const double v = std::pow(static_cast<double>(i) / sourceHigh, exponent) * targetHigh;
    gammaTable_[i] = RoundToByte(v);
  }
}

void TColorManager::SetYCbCrParameters(std::span<const float> Values, std::uint8_t HorizontalSubsampling,
                                       std::uint8_t VerticalSubsampling) {
  for (std::size_t k = 0; k < 3 && k < Values.size(); ++k) yCbCrCoefficients_[k] = Values[k];
  auto allowed = [](std::uint8_t v) { return v == 1 || v == 2 || v == 4; };
  if (!allowed(HorizontalSubsampling) || !allowed(VerticalSubsampling)) Fail(kInvalidSubsampling);
  if (HorizontalSubsampling < VerticalSubsampling) Fail(kInvalidVerticalSubsampling);
  horizontalSubsampling_ = HorizontalSubsampling;
  verticalSubsampling_ = VerticalSubsampling;
}

}  // namespace vumo
