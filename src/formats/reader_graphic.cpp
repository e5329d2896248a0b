#include "formats/reader_graphic.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/messages.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

namespace vumo {

bool TReaderGraphic::CanLoadFile(const std::string& FileName, bool (*CanLoadStream)(TStream&)) {
  try {
    TFileStream stream(FileName);
    return CanLoadStream(stream);
  } catch (const Exception&) {
    return false;
  }
}

bool TReaderGraphic::ReadImageProperties(TStream&, unsigned) {
  ImageProperties = TImageProperties{};
  ImageProperties.FileGamma = 1.0f;
  return false;
}

void TReaderGraphic::Assign(const TGraphic& Source) {
  if (auto* reader = dynamic_cast<const TReaderGraphic*>(&Source)) ImageProperties = reader->ImageProperties;
  TBitmap::Assign(Source);
}

void TReaderGraphic::BeginLoad(TStream& Stream) {
  ReleaseImage();
  BasePosition = Stream.Position();
  fileBytes_ = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - BasePosition, 0));
}

void TReaderGraphic::StartProgress(const char* Msg) {
  // The header's width: at "Preparing..." the bitmap has not been given its size yet.
  const auto right = std::min<std::uint32_t>(ImageProperties.Width, std::numeric_limits<std::int32_t>::max());
  ProgressRect = TRect{0, 0, static_cast<std::int32_t>(right), 1};
  Progress(psStarting, 0, false, ProgressRect, Msg);
}

void TReaderGraphic::EndProgress() { Progress(psEnding, 0, false, ProgressRect, ""); }

void TReaderGraphic::RowProgress(std::uint32_t Row, std::uint32_t RowCount) {
  std::uint8_t percent = RowCount ? static_cast<std::uint8_t>(std::uint64_t{Row} * 100 / RowCount) : 0;
  Progress(psRunning, percent, true, ProgressRect, "");
  ++ProgressRect.Top;
  ++ProgressRect.Bottom;
}

void TReaderGraphic::ApplyTargetPixelFormat() { SetPixelFormat(ColorManager.TargetPixelFormat()); }

void TReaderGraphic::CheckImageSize(std::uint64_t width, std::uint64_t height, TPixelFormat format) const {
  const int bits = BitsPerPixelOf(format);
  if (!ImageSizeAllowed(width, height, static_cast<std::uint64_t>(bits > 0 ? bits : 32))) RaiseTooLarge(width, height);
  CheckPlausibleSize(width, height, fileBytes_);
}

std::shared_ptr<TFloatPixels> TReaderGraphic::NewFloatPixels(int width, int height, bool cleared) const {
  CheckPlausibleSize(static_cast<std::uint64_t>(std::max(width, 0)), static_cast<std::uint64_t>(std::max(height, 0)),
                     fileBytes_, kFloatPictureBytesPerPixel);
  return TBitmap::NewFloatPixels(width, height, cleared);
}

void TReaderGraphic::AllocateImage(std::uint64_t width, std::uint64_t height, TPixelFormat format) {
  CheckImageSize(width, height, format);
  SetPixelFormat(format);
  SetSize(static_cast<int>(width), static_cast<int>(height));
}

void TReaderGraphic::AllocateImageToOverwrite(std::uint64_t width, std::uint64_t height, TPixelFormat format) {
  CheckImageSize(width, height, format);
  SetPixelFormat(format);
  SetSizeToOverwrite(static_cast<int>(width), static_cast<int>(height));
}

void TReaderGraphic::AllocateImage(std::uint64_t width, std::uint64_t height) {
  AllocateImage(width, height, ColorManager.TargetPixelFormat());
}

void TReaderGraphic::ConvertRowTo(int y, std::span<const void* const> sources, std::size_t sourceBytes,
                                  void (*finish)(std::uint8_t* pixels, std::size_t count)) {
  // Straight into the scanline with ordinary stores: measured against streaming stores past
  // the caches, these were as fast on pages already in use and twice as fast on fresh ones,
  // whose first touch has just brought them into the cache.
  std::uint8_t* target = ScanLine(y);
  ColorManager.ConvertRow(sources, sourceBytes, target, BytesPerScanline(), static_cast<std::uint32_t>(Width()), 0xFF);
  if (finish) finish(target, static_cast<std::size_t>(Width()));
}

void TReaderGraphic::CopyRowTo(int y, const std::uint8_t* source, std::size_t bytes) {
  std::memcpy(ScanLine(y), source, bytes);
}

void TReaderGraphic::RaiseInvalidImage() const {
  throw EInvalidGraphic(FormatMessage(gesInvalidImage, FormatName()));
}

void TReaderGraphic::RaiseInvalidColorFormat() const {
  throw EInvalidGraphic(FormatMessage(gesInvalidColorFormat, FormatName()));
}

void TReaderGraphic::RaiseStreamReadError() const {
  throw EInvalidGraphic(FormatMessage(gesStreamReadError, FormatName()));
}

void TReaderGraphic::RaiseUnsupported(const char* feature) const {
  throw EInvalidGraphic(FormatMessage(gesUnsupportedFeature, feature, FormatName()));
}

void TReaderGraphic::Raise(const char* message, const char* name) const { RaiseNamed(message, name ? name : FormatName()); }

void TReaderGraphic::RaiseNamed(const char* message, const char* name) {
  throw EInvalidGraphic(FormatMessage(message, name));
}

const std::uint8_t* TReaderGraphic::ReadHeaderBytes(TStream& Stream, std::size_t size) {
  header_.assign(size, 0);
  return Stream.Read(header_.data(), size) == size ? header_.data() : nullptr;
}

void TReaderGraphic::RaiseReadError() { throw EReadError(kStreamReadError); }

void TReaderGraphic::RaiseTooLarge(std::uint64_t width, std::uint64_t height) {
  throw EInvalidGraphic(FormatMessage(kImageTooLarge, static_cast<unsigned>(std::min<std::uint64_t>(width, UINT32_MAX)),
                                      static_cast<unsigned>(std::min<std::uint64_t>(height, UINT32_MAX))));
}

}  // namespace vumo
