#include "formats/graphic.h"

#include <algorithm>

#include "formats/messages.h"
#include "pixels/image_limits.h"

namespace vumo {

TGraphicClass TGraphic::ClassInfo() {
  static const TGraphicClassInfo info{"TGraphic", nullptr, nullptr};
  return &info;
}

std::string ImageCaption(const char* kind, unsigned index, unsigned count) {
  return std::string(kind) + " " + std::to_string(index + 1) + "/" + std::to_string(count);
}

void TGraphic::SetTransparent(bool value) {
  if (value != transparent_) {
    transparent_ = value;
    Changed();
  }
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName);
  LoadFromStream(stream);
  // A file another program shortened while it was read gave zeros for the bytes it lost:
  // that is no picture of the file.
  try {
    stream.CheckIntact();
  } catch (const Exception&) {
    ReleaseContent();
    throw;
  }
}

void TGraphic::Assign(const TGraphic& Source) {
  throw Exception(FormatMessage(kCannotAssign, Source.ClassType()->ClassName,
                                ClassType()->ClassName));
}

void TGraphic::CheckPlausibleSize(std::uint64_t width, std::uint64_t height, std::uint64_t fileBytes,
                                  std::uint64_t bytesPerPixel) const {
  if (!RefuseTooLargeForFile || !TooLargeForFile(width, height, fileBytes, bytesPerPixel)) return;
  throw EPictureTooLargeForFile(FormatMessage(kPictureTooLargeForFile,
                                              static_cast<unsigned>(std::min<std::uint64_t>(width, UINT32_MAX)),
                                              static_cast<unsigned>(std::min<std::uint64_t>(height, UINT32_MAX)),
                                              std::to_string(fileBytes).c_str()));
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg) {
  if (OnProgress) OnProgress(this, Stage, PercentDone, RedrawNow, R, Msg);
}

}  // namespace vumo
