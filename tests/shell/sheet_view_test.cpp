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
};

TEST_F(SheetView, TheKeyShowsTheSheetAndShowsTheImageAgain) {
  const std::string cube = test::Fixture("dds/cube.dds");
  form->LoadPicture(QString::fromStdString(cube), 2);
  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  const TImageSheet sheet = RenderImageSheet(cube);
  EXPECT_EQ(Shown().Width(), sheet.Image.width());
  EXPECT_EQ(Shown().Height(), sheet.Image.height());
  EXPECT_TRUE(form->SheetMenu->Checked());
  // The +X face's first level, in the bitmap's own byte order.
  const TBitmap& bitmap = *Shown().DrawBitmap();
  int red = 0;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (const std::uint8_t *p = bitmap.ScanLine(y), *end = p + 4 * bitmap.Width(); p < end; p += 4) red += p[2] == 255 && !p[1] && !p[0];
  EXPECT_EQ(red, 16);
  EXPECT_TRUE(form->StatusBar->ViewText().contains(QStringLiteral("sheet of 12 images"))) << form->StatusBar->ViewText().toStdString();
  // Again: the image the sheet replaced.
  SheetKey();
  EXPECT_FALSE(form->SheetShown());
  EXPECT_FALSE(form->SheetMenu->Checked());
  EXPECT_EQ(Shown().Images().Index, 2u);
  EXPECT_EQ(Shown().Width(), 4);
}

TEST_F(SheetView, SteppingOrAnotherFileLeavesTheSheet) {
  const QString cube = QString::fromStdString(test::Fixture("dds/cube.dds"));
  form->LoadPicture(cube, 2);
  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  form->StepImage(1);  // from the image the sheet replaced
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Images().Index, 3u);

  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  form->LoadPicture(QString::fromStdString(test::Fixture("dds/array_bc1.dds")));
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Width(), 8);

  // A click in the file list loads in the background; its picture leaves the sheet too.
  form->LoadPicture(cube);
  SheetKey();
  ASSERT_TRUE(form->SheetShown());
  form->LoadPictureInBackground(cube, 1);
  WaitForLoad();
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Images().Index, 1u);
}

TEST_F(SheetView, AFileOfOneImageHasNoSheet) {
  form->LoadPicture(QString::fromStdString(test::Fixture("dds/bc7.dds")));
  ASSERT_EQ(Shown().Images().Count, 1u);
  const int width = Shown().Width();
  SheetKey();
  EXPECT_FALSE(form->SheetShown());
  EXPECT_EQ(Shown().Width(), width);
}

}  // namespace
}  // namespace vumo
