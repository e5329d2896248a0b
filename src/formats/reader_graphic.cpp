#include "formats/reader_graphic.h"

#include <algorithm>
#include <limits>

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TReaderGraphic, TBitmap::ClassInfo())

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

}  // namespace vumo
