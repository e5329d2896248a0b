#include "formats/bitmap.h"

#include "formats/messages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include <sys/mman.h>

#include "pixels/image_limits.h"

namespace vumo {

namespace {
constexpr std::size_t kMappedThreshold = std::size_t{4} << 20;

// The last large pixel block freed, kept for the next picture that is written whole: viewers
// load picture after picture of one size, and memory already mapped is filled at the speed
// of a copy, where fresh pages cost a fault and clearing each. Its pages are given to the
// kernel to take back lazily (MADV_FREE), so memory pressure reclaims them; pages that stay
// keep old bytes, pages taken back return as zeros, either of which the next picture
// overwrites.
class TRecycledBlock {
 public:
  // A block of at least `size` bytes that wastes at most an eighth, with its size, or null.
  std::uint8_t* Take(std::size_t size, std::size_t& mappedSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!data_ || size_ < size || size_ - size > size / 8) return nullptr;
    mappedSize = std::exchange(size_, 0);
    return std::exchange(data_, nullptr);
  }
  // Gives the block held back to the kernel, so a picture that cannot use it does not have
  // it beside its own memory.
  void Release() {
    std::uint8_t* old;
    std::size_t oldSize;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      old = std::exchange(data_, nullptr);
      oldSize = std::exchange(size_, 0);
    }
    if (old) munmap(old, oldSize);
  }
  // Keeps `data` in place of the block held before, which goes back to the kernel.
  void Give(std::uint8_t* data, std::size_t size) {
    madvise(data, size, MADV_FREE);
    std::uint8_t* old;
    std::size_t oldSize;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      old = std::exchange(data_, data);
      oldSize = std::exchange(size_, size);
    }
    if (old) munmap(old, oldSize);
  }

 private:
  std::mutex mutex_;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Never destroyed, so bitmaps freed while the program ends still find it.
TRecycledBlock& RecycledBlock() {
  static TRecycledBlock* const block = new TRecycledBlock;
  return *block;
}
}  // namespace

void ReleaseRecycledPictureMemory() { RecycledBlock().Release(); }

TBitmap::TPixelMemory::TPixelMemory(std::size_t size, bool cleared) : size_(size) {
  if (size >= kMappedThreshold) {
    if (!cleared) {
      std::size_t mappedSize = 0;
      if (std::uint8_t* p = RecycledBlock().Take(size, mappedSize)) {
        data_ = p;
        size_ = mappedSize;
        mapped_ = true;
        return;
      }
    }
    RecycledBlock().Release();
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      madvise(p, size, MADV_HUGEPAGE);  // a hint; without transparent huge pages it changes nothing
      data_ = static_cast<std::uint8_t*>(p);
      mapped_ = true;
      return;
    }
  }
  data_ = static_cast<std::uint8_t*>(cleared ? std::calloc(1, size) : std::malloc(size));
  // Small pictures gain nothing from skipping the clear; a fixed pattern instead of zeros
  // makes a reader that leaves bytes unwritten show it the same way every time.
  if (data_ && !cleared) std::memset(data_, 0xA5, size);
}

TBitmap::TPixelMemory::~TPixelMemory() { reset(); }

void TBitmap::TPixelMemory::reset() {
  if (data_) {
    if (mapped_) RecycledBlock().Give(data_, size_);
    else std::free(data_);
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

TBitmap::TPixelMemory& TBitmap::TPixelMemory::operator=(TPixelMemory&& other) noexcept {
  if (this == &other) return *this;
  reset();
  data_ = std::exchange(other.data_, nullptr);
  size_ = std::exchange(other.size_, 0);
  mapped_ = std::exchange(other.mapped_, false);
  return *this;
}

TBitmap::TBitmap(const TBitmap& other) : TGraphicOf() { *this = other; }

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this == &other) return *this;
  ReleaseImage();
  pixelFormat_ = other.pixelFormat_;
  if (!other.Empty()) {
    SetSize(other.width_, other.height_);
    std::memcpy(pixels_.get(), other.pixels_.get(), rowBytes_ * static_cast<std::size_t>(height_));
  }
  palette_ = other.palette_;
  transparentColor_ = other.transparentColor_;
  transparentMode_ = other.transparentMode_;
  alphaChannel_ = other.alphaChannel_;
  transparent_ = other.transparent_;
  floatPixels_ = other.floatPixels_;
  exposure_ = other.exposure_;
  AssignDescription(other);
  return *this;
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == pixelFormat_) return;
  pixelFormat_ = value;
  if (width_ > 0 && height_ > 0) {
    int w = width_, h = height_;
    width_ = height_ = 0;
    SetSize(w, h);
  }
}

void TBitmap::SetSize(int width, int height) { Resize(width, height, true); }

void TBitmap::SetSizeToOverwrite(int width, int height) {
  // Nothing of the old picture is kept, and its memory may serve the new one.
  pixels_.reset();
  width_ = height_ = 0;
  rowBytes_ = 0;
  Resize(width, height, false);
  const std::size_t used = (static_cast<std::size_t>(width_) * BitsPerPixelOf(pixelFormat_) + 7) / 8;
  if (used < rowBytes_)
    for (int y = 0; y < height_; ++y) std::memset(pixels_.get() + rowBytes_ * y + used, 0, rowBytes_ - used);
}

void TBitmap::Resize(int width, int height, bool cleared) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == width_ && height == height_ && (pixels_ || width == 0 || height == 0)) return;
  int bits = BitsPerPixelOf(pixelFormat_);
  if (bits == 0) throw EInvalidGraphic(kNoStandardPixelFormat);
  if (!ImageSizeAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                        static_cast<std::uint64_t>(bits)))
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(width), static_cast<unsigned>(height)));
  std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  TPixelMemory pixels;
  if (width > 0 && height > 0) {
    pixels = TPixelMemory(static_cast<std::size_t>(height) * rowBytes, cleared);
    if (!pixels) throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(width), static_cast<unsigned>(height)));
    if (pixels_) {
      std::size_t copyBytes = std::min(rowBytes, rowBytes_);
      int copyRows = std::min(height, height_);
      for (int y = 0; y < copyRows; ++y)
        std::memcpy(pixels.get() + rowBytes * y, pixels_.get() + rowBytes_ * y, copyBytes);
    }
  }
  pixels_ = std::move(pixels);
  rowBytes_ = pixels_ ? rowBytes : 0;
  width_ = width;
  height_ = height;
  Changed();
}

std::uint8_t* TBitmap::ScanLine(int Row) {
  if (Row < 0 || Row >= height_ || !pixels_) throw EInvalidGraphic(kScanLineOutOfRange);
  return pixels_.get() + rowBytes_ * static_cast<std::size_t>(Row);
}

const std::uint8_t* TBitmap::ScanLine(int Row) const { return const_cast<TBitmap*>(this)->ScanLine(Row); }

void TBitmap::SetPalette(const TLogPalette& palette) {
  palette_.assign(palette.begin(), palette.begin() + std::min<std::size_t>(palette.size(), 256));
  paletteModified_ = true;
}

bool TBitmap::HasPalette() const { return !palette_.empty() && BitsPerPixelOf(pixelFormat_) <= 8; }

void TBitmap::ReleaseImage() {
  pixels_.reset();
  width_ = height_ = 0;
  rowBytes_ = 0;
  palette_.clear();
  alphaChannel_ = false;
  floatPixels_.reset();
  exposure_ = 0.0f;
}

void TBitmap::SetFloatPixels(std::shared_ptr<const TFloatPixels> pixels, bool rendered) {
  if (pixels && (pixels->Width != width_ || pixels->Height != height_ || pixelFormat_ != pf32bit ||
                 pixels->RGBA.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4))
    throw EInvalidGraphic(kScanLineOutOfRange);
  floatPixels_ = std::move(pixels);
  if (!rendered) RenderFloatPixels();
}

std::shared_ptr<TFloatPixels> TBitmap::NewFloatPixels(int width, int height, bool cleared) {
  const auto w = static_cast<std::uint64_t>(std::max(width, 0)), h = static_cast<std::uint64_t>(std::max(height, 0));
  if (!ImageSizeAllowed(w, h) || w * h * 4 * sizeof(float) > kMaxFloatPixelBytes)
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(w), static_cast<unsigned>(h)));
  auto pixels = std::make_shared<TFloatPixels>();
  pixels->Width = width;
  pixels->Height = height;
  pixels->RGBA.resize(static_cast<std::size_t>(w * h * 4));
  // A display window far larger than its data window stays mostly untouched, zero pages.
  if (cleared && !PixelBlockComesZeroed(pixels->RGBA.size() * sizeof(float)))
    std::fill(pixels->RGBA.begin(), pixels->RGBA.end(), 0.0f);
  return pixels;
}

void TBitmap::SetExposure(float stops) {
  if (!floatPixels_ || stops == exposure_) return;
  exposure_ = stops;
  RenderFloatPixels();
  Changed();
}

void TBitmap::RenderFloatPixels() {
  if (!floatPixels_ || Empty()) return;
  const float gain = ExposureGain(exposure_);
  for (int y = 0; y < height_; ++y)
    ExposeRowToBGRA8(floatPixels_->Row(y), ScanLine(y), static_cast<std::size_t>(width_), gain);
}

void TBitmap::TakeImage(TBitmap& source) {
  if (this == &source) return;
  pixelFormat_ = source.pixelFormat_;
  pixels_ = std::move(source.pixels_);
  rowBytes_ = std::exchange(source.rowBytes_, 0);
  width_ = std::exchange(source.width_, 0);
  height_ = std::exchange(source.height_, 0);
  palette_ = std::move(source.palette_);
  source.palette_.clear();
  transparentColor_ = source.transparentColor_;
  transparentMode_ = source.transparentMode_;
  alphaChannel_ = std::exchange(source.alphaChannel_, false);
  transparent_ = source.transparent_;
  floatPixels_ = std::move(source.floatPixels_);
  exposure_ = std::exchange(source.exposure_, 0.0f);
  AssignDescription(source);
  Changed();
}

void TBitmap::Assign(const TGraphic& Source) {
  const TBitmap* bitmap = Source.DrawBitmap();
  if (!bitmap) {
    if (!Source.Empty()) TGraphic::Assign(Source);
    ReleaseImage();
    Changed();
    return;
  }
  *this = *bitmap;
  Changed();
}

}  // namespace vumo
