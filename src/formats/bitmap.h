// The device-independent bitmap: the graphic every reader decodes into.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formats/graphic.h"
#include "pixels/float_pixels.h"
#include "pixels/palette.h"
#include "pixels/pixel_format.h"

namespace vumo {

// The framework's 32-bit colour value ($00BBGGRR; system colours have the high bit set).
using TColor = std::int32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

enum TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphicOf<TBitmap, TGraphic, "TBitmap"> {
 public:
  TBitmap() = default;
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  TPixelFormat PixelFormat() const { return pixelFormat_; }
  // Changing the format of a bitmap that holds an image re-allocates it blank.
  void SetPixelFormat(TPixelFormat value);

  // Raise EInvalidGraphic before allocating when the size passes the limits. New pixels are 0.
  void SetWidth(int value) { SetSize(value, height_); }
  void SetHeight(int value) { SetSize(width_, value); }
  void SetSize(int width, int height);
  // As SetSize from empty, for a loader that writes every pixel of every row before the
  // picture is used: the memory may be a freed picture's, handed on without being cleared,
  // which spares the page faults and clearing that cost as much as the pixels' copy. Only
  // the padding at the rows' ends is cleared.
  void SetSizeToOverwrite(int width, int height);

  // Bytes of one row, padded to a multiple of four as the platform's bitmaps are.
  std::size_t BytesPerScanline() const { return rowBytes_; }
  // Row 0 is the top row. Raises EInvalidGraphic for a row outside the image.
  std::uint8_t* ScanLine(int Row);
  const std::uint8_t* ScanLine(int Row) const;

  const TLogPalette& Palette() const { return palette_; }
  // At most 256 entries are kept.
  void SetPalette(const TLogPalette& palette);
  bool HasPalette() const override;

  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value) {
    transparentColor_ = value;
    transparentMode_ = tmFixed;
  }
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode value) { transparentMode_ = value; }

  // True when the fourth byte of 32-bit pixels is an alpha channel a display must honour
  // (icons); a loaded 32-bit bitmap is otherwise drawn opaque.
  bool AlphaChannel() const { return alphaChannel_; }
  void SetAlphaChannel(bool value) { alphaChannel_ = value; }

  // High-dynamic-range samples kept beside the 32-bit pixels shown, for pictures whose file
  // stores floats or shared exponents; null otherwise. Shared between copies, never changed.
  const TFloatPixels* FloatPixels() const { return floatPixels_.get(); }
  // Keeps `pixels` (of the bitmap's size) and renders the 32-bit pixels from them at the
  // current exposure; the bitmap must be pf32bit of the same size.
  // `rendered`: the 32-bit pixels already show them at the current exposure, as a reader
  // that renders each band while it is in the cache leaves them.
  void SetFloatPixels(std::shared_ptr<const TFloatPixels> pixels, bool rendered = false);
  // Float samples for a picture of this size, zero-filled unless `cleared` is false (for a
  // decoder that writes every value); raises "image too large" past the limits, before
  // anything is allocated.
  static std::shared_ptr<TFloatPixels> NewFloatPixels(int width, int height, bool cleared = true);
  // The exposure in stops the 32-bit pixels of a float picture were rendered at (0 at load).
  float Exposure() const { return exposure_; }
  // Renders the 32-bit pixels again at `stops`; nothing for a picture without float samples.
  void SetExposure(float stops);

  // Drops the image: size 0 x 0, no palette.
  void ReleaseImage();
  void ReleaseContent() override { ReleaseImage(); }
  // Takes over what an assignment from `source` would copy, without copying the pixels;
  // `source` is left empty.
  void TakeImage(TBitmap& source);

  // Reads a Windows bitmap file (.bmp, .dib, .rle).
  void LoadFromStream(TStream& Stream) override;
  void Assign(const TGraphic& Source) override;
  const TBitmap* DrawBitmap() const override { return Empty() ? nullptr : this; }

  // Lets a picture's progress notifications reach this bitmap's owner while it loads.
  using TGraphic::Changed;
  using TGraphic::Progress;

 private:
  // Pixel memory: large blocks come straight from the kernel as zero pages and are marked
  // for huge pages, so filling a big bitmap costs far fewer page faults. The last large
  // block freed is kept for a next one of about its size that need not be cleared.
  class TPixelMemory {
   public:
    TPixelMemory() = default;
    // `cleared` false: the bytes may be anything.
    explicit TPixelMemory(std::size_t size, bool cleared = true);
    ~TPixelMemory();
    TPixelMemory(TPixelMemory&& other) noexcept { *this = std::move(other); }
    TPixelMemory& operator=(TPixelMemory&& other) noexcept;
    std::uint8_t* get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }
    void reset();

   private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
  };

  int width_ = 0;
  int height_ = 0;
  TPixelFormat pixelFormat_ = pf24bit;
  std::size_t rowBytes_ = 0;
  TPixelMemory pixels_;

  void Resize(int width, int height, bool cleared);
  TLogPalette palette_;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  bool alphaChannel_ = false;
  std::shared_ptr<const TFloatPixels> floatPixels_;
  float exposure_ = 0.0f;

  void RenderFloatPixels();
};

// A large picture's memory, once freed, is held back for the next picture of about its size,
// which then skips the kernel's page clearing. This gives it back now.
void ReleaseRecycledPictureMemory();

}  // namespace vumo
