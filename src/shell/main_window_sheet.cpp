// The main window's sheet view: every image of the shown file on one picture.
#include <QApplication>

#include "browser/file_names.h"
#include "formats/picture.h"
#include "shell/image_sheet_render.h"
#include "shell/main_window.h"

namespace vumo {

void TForm1::ToggleSheet() {
  if (sheetOf_) {
    LoadPicture(shownFile_, sheetOf_->Index);
    return;
  }
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  if (!graphic || shownFile_.isEmpty() || graphic->Images().Count <= 1) {
    QApplication::beep();
    return;
  }
  const TImageSet images = graphic->Images();
  loader_->Cancel();
  const TImageSheet sheet = RenderImageSheet(EncodeFileName(shownFile_).toStdString());
  // Drawn into the picture's own bitmap and handed over, as a loaded picture is: a large
  // sheet is not copied once more.
  TPicture drawn;
  const TBitmap empty;
  drawn.SetGraphic(&empty);
  TBitmap& bitmap = static_cast<TBitmap&>(*drawn.Graphic());
  SheetToBitmap(sheet.Image, bitmap);
  const std::string caption = sheet.Shown < sheet.Total ? "sheet of the first " + std::to_string(sheet.Shown) + " of " +
                                                              std::to_string(sheet.Total) + " images"
                                                        : "sheet of " + std::to_string(sheet.Shown) + " images";
  bitmap.SetImages(TImageSet{1, 0, caption});
  ViewImage->Picture()->TakeGraphic(drawn);
  sheetOf_ = images;
  ViewChanged();
}

}  // namespace vumo
