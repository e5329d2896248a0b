#include "formats/graphic.h"

#include "formats/messages.h"

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
}

void TGraphic::Assign(const TGraphic& Source) {
  throw Exception(FormatMessage(kCannotAssign, Source.ClassType()->ClassName,
                                ClassType()->ClassName));
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg) {
  if (OnProgress) OnProgress(this, Stage, PercentDone, RedrawNow, R, Msg);
}

}  // namespace vumo
