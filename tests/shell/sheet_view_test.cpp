// The window's Sheet command: every image of the shown file on one picture, and back.
#include <gtest/gtest.h>

#include <QTest>

#include "shell/image_sheet_render.h"
#include "shell/main_window.h"
#include "support/test_support.h"
#include "window_fixture.h"

namespace vumo {
namespace {

class SheetView : public test::TWindowTest {
 protected:
  void SheetKey() {
    form->BrowseFiles->setFocus();
    QTest::keyClick(form->BrowseFiles, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  }
  const TGraphic& Shown() const { return *form->ViewImage->Picture()->Graphic(); }
  const QString cube = QString::fromStdString(test::Fixture("dds/cube.dds"));
};

TEST_F(SheetView, TheKeyShowsTheSheetAndThenTheImageItReplaced) {
  form->LoadPicture(cube, 2);
  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  EXPECT_TRUE(form->SheetMenu->Checked());
  EXPECT_EQ(QSize(Shown().Width(), Shown().Height()), RenderImageSheet(cube.toStdString()).Image.size());
  EXPECT_TRUE(form->StatusBar->ViewText().contains(QStringLiteral("sheet of 12 images")));
  // The +X face's first level, in the bitmap's own byte order.
  const TBitmap& bitmap = *Shown().DrawBitmap();
  int red = 0;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (const std::uint8_t *p = bitmap.ScanLine(y), *end = p + 4 * bitmap.Width(); p < end; p += 4) red += p[2] == 255 && !p[1] && !p[0];
  EXPECT_EQ(red, 16);
  SheetKey();
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Images().Index, 2u);
  // A file of one image has no sheet.
  form->LoadPicture(QString::fromStdString(test::Fixture("dds/bc7.dds")));
  SheetKey();
  EXPECT_FALSE(form->SheetShown());
}

TEST_F(SheetView, SteppingOrAnotherFileLeavesTheSheet) {
  form->LoadPicture(cube, 2);
  SheetKey();
  form->StepImage(1);  // from the image the sheet replaced
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Images().Index, 3u);
  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  // A click in the file list loads in the background; its picture leaves the sheet too.
  form->LoadPictureInBackground(QString::fromStdString(test::Fixture("dds/array_bc1.dds")));
  WaitForLoad();
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Width(), 8);
}

}  // namespace
}  // namespace vumo
