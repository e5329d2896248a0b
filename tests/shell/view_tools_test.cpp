// The image view and its tools, driven as a user drives it: the wheel, drags, keys and
// the popup's commands, checked by the pixels drawn, the status line, the title and the
// clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <fstream>

#include "shell/main_window.h"
#include "shell_test_util.h"
#include "window_fixture.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::PositionBitmap;
using test::PositionColour;
using test::Rgb;

// A 32-bit picture with alpha: opaque red on the left half, fully see-through on the right,
// and a half-transparent green row at the top.
TBitmap AlphaBitmap(int width, int height) {
  TBitmap bitmap = test::FillBitmap(pf32bit, width, height, [width](std::uint8_t* p, int x, int y) {
    if (y == 0) {
      p[1] = 0xFF;
      p[3] = 0x80;
    } else if (x < width / 2) {
      p[2] = 0xFF;
      p[3] = 0xFF;
    }
  });
  bitmap.SetAlphaChannel(true);
  return bitmap;
}

class ViewTools : public test::TWindowTest {
 protected:
  void Wheel(QPointF at, int notches) {
    QWheelEvent event(at, form->ViewImage->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form->ViewImage, &event);
  }
  void Hover(QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), form->ViewImage->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ViewImage, &move);
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(form->ViewImage, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), form->ViewImage->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ViewImage, &move);
    QTest::mouseRelease(form->ViewImage, Qt::LeftButton, {}, to);
  }
  // Presses a window shortcut with the focus in the file list, as a user would.
  void Key(Qt::KeyboardModifiers modifiers, Qt::Key key) {
    form->BrowseFiles->setFocus();
    QTest::keyClick(form->BrowseFiles, key, modifiers);
  }
  QImage Shown() {
    QCoreApplication::processEvents();
    return test::Grab(*form->ViewImage);
  }
  void Normal() { form->NormMenuClick(form->NormMenu); }
};

TEST_F(ViewTools, TheWheelZoomsAboutTheCursorAndPixelsStaySharpSquares) {
  Normal();
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(900, 800));
  QWidget* viewport = form->ScrollBox->viewport();
  // The picture pixel under a point of the visible area.
  auto under = [&](QPoint inViewport) {
    const QPoint inView = form->ViewImage->mapFrom(viewport, inViewport);
    return form->ViewImage->Geometry().PixelAt(QPointF(inView) + QPointF(0.5, 0.5));
  };
  const QPoint cursor(41, 33);
  ASSERT_EQ(under(cursor), QPoint(41, 33));
  Wheel(form->ViewImage->mapFrom(viewport, cursor), 1);
  EXPECT_EQ(form->ViewImage->Zoom(), 2.0);
  EXPECT_EQ(form->ViewImage->size(), QSize(1800, 1600));
  EXPECT_EQ(under(cursor), QPoint(41, 33)) << "the pixel under the cursor stays under it";
  EXPECT_EQ(form->ScrollBox->horizontalScrollBar()->value(), 41);
  Wheel(form->ViewImage->mapFrom(viewport, cursor), 1);
  EXPECT_EQ(form->ViewImage->Zoom(), 3.0);
  EXPECT_EQ(under(cursor), QPoint(41, 33));

  // At 3x each picture pixel is a sharp 3 x 3 square.
  form->ScrollBox->horizontalScrollBar()->setValue(0);
  form->ScrollBox->verticalScrollBar()->setValue(0);
  const QImage shown = Shown();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(Rgb(shown, x, y), PositionColour(x / 3, y / 3)) << x << "," << y;
  Wheel(QPointF(5, 5), -2);
  EXPECT_EQ(form->ViewImage->Zoom(), 1.0);
  // Dragging pans the scroll box.
  form->ScrollBox->horizontalScrollBar()->setValue(100);
  Drag(QPoint(150, 50), QPoint(120, 50));
  EXPECT_EQ(form->ScrollBox->horizontalScrollBar()->value(), 130);
}

TEST_F(ViewTools, ZoomKeysStepAndShowInTheStatusLineAndTheTitle) {
  const std::string samples = std::string(VUMO_SOURCE_DIR) + "/data/samples/";
  Normal();
  form->LoadPicture(QString::fromStdString(samples + "bricks.bmp"));
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("bricks.bmp \u2014 128 \u00D7 128 \u2014 Vumo"));
  Key(Qt::ControlModifier, Qt::Key_Equal);
  EXPECT_EQ(form->ViewImage->Zoom(), 2.0);
  Key(Qt::ControlModifier, Qt::Key_Plus);
  EXPECT_EQ(form->ViewImage->Zoom(), 3.0);
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("bricks.bmp \u2014 128 \u00D7 128 \u2014 300% \u2014 Vumo"));
  EXPECT_TRUE(form->StatusBar->ViewText().startsWith("300%"));
  EXPECT_TRUE(form->StatusBar->PictureText().startsWith(QString::fromUtf8("128 \u00D7 128, ")))
      << form->StatusBar->PictureText().toStdString();
  for (int i = 0; i < 12; ++i) Key(Qt::ControlModifier, Qt::Key_Minus);
  EXPECT_EQ(form->ViewImage->Zoom(), 1.0 / 16) << "the smallest step";
  EXPECT_TRUE(form->StatusBar->ViewText().startsWith("6.25%"));
  Key(Qt::ControlModifier, Qt::Key_0);
  EXPECT_EQ(form->ViewImage->Zoom(), 1.0);
  Key(Qt::ControlModifier, Qt::Key_9);  // fits the 128 x 128 picture to the visible area
  const QSize area = form->ScrollBox->viewport()->size();
  EXPECT_NEAR(form->ViewImage->Zoom(), std::min(area.width(), area.height()) / 128.0, 1e-9);
  // Stretched pictures have no zoom: the title and status line leave it out.
  form->StretchMenuClick(form->StretchMenu);
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("bricks.bmp \u2014 128 \u00D7 128 \u2014 Vumo"));
}

TEST_F(ViewTools, BelowOneToOnePixelsAreAveraged) {
  Normal();
  // One-pixel black and white stripes average to mid grey at half size.
  test::SetPicture(*form->ViewImage->Picture(),
                   test::MakeBitmap(64, 64, [](int x, int) { return (x & 1) ? 0xFFFFFFu : 0x000000u; }));
  form->ViewImage->SetZoom(0.5);
  const QImage shown = Shown();
  for (int x = 2; x < 30; x += 5) EXPECT_NEAR(int(qRed(shown.pixel(x, 10))), 128, 2) << x;
  form->ViewImage->SetZoom(0.25);
  EXPECT_NEAR(int(qGreen(Shown().pixel(7, 7))), 128, 2);
}

TEST_F(ViewTools, TiledPanWrapsAndHalfOffsetPutsTheSeamsMidTile) {
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(64, 48));
  Drag(QPoint(50, 50), QPoint(60, 45));  // the tiling moves right 10 and up 5
  QImage shown = Shown();
  EXPECT_EQ(Rgb(shown, 10, 43), PositionColour(0, 0));
  EXPECT_EQ(Rgb(shown, 9, 43), PositionColour(63, 0));
  EXPECT_EQ(Rgb(shown, 10, 42), PositionColour(0, 47));
  Hover(QPoint(10, 43));
  EXPECT_EQ(form->ViewImage->HoveredPixel(), QPoint(0, 0));
  EXPECT_TRUE(form->StatusBar->PixelText().startsWith("0, 0 ")) << form->StatusBar->PixelText().toStdString();

  form->ViewImage->Pan(QPointF(-10, 5));  // back where it started
  Key(Qt::ControlModifier | Qt::AltModifier, Qt::Key_O);
  EXPECT_TRUE(form->ViewImage->HalfOffset());
  EXPECT_TRUE(form->HalfOffsetMenu->Checked());
  shown = Shown();
  EXPECT_EQ(Rgb(shown, 32, 24), PositionColour(0, 0));
  EXPECT_EQ(Rgb(shown, 31, 23), PositionColour(63, 47));
  EXPECT_EQ(Rgb(shown, 0, 0), PositionColour(32, 24));
}

TEST_F(ViewTools, TheReadoutShowsTheStoredValueAndCopiesIt) {
  Normal();
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(8, 8);
  indexed.SetPalette({{0, 0, 0, 0}, {0x12, 0x34, 0x56, 0}, {0xFF, 0x80, 0x00, 0}});
  indexed.ScanLine(3)[5] = 2;
  test::SetPicture(*form->ViewImage->Picture(), indexed);
  Hover(QPoint(5, 3));
  EXPECT_EQ(form->StatusBar->PixelText(), "5, 3   R 255  G 128  B 0  A 255   #FF8000FF   index 2");
  Key(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_C);
  EXPECT_EQ(QApplication::clipboard()->text(), "#FF8000FF");

  test::SetPicture(*form->ViewImage->Picture(), AlphaBitmap(16, 16));
  Hover(QPoint(3, 0));
  EXPECT_EQ(form->StatusBar->PixelText(), "3, 0   R 0  G 255  B 0  A 128   #00FF0080");
  Hover(QPoint(40, 40));  // off the picture
  EXPECT_EQ(form->StatusBar->PixelText(), "");
}

TEST_F(ViewTools, ChannelsAreDrawnAsGreyAndAChannelKeyPressedAgainReturns) {
  TBitmap bitmap = test::MakeBitmap(8, 8, [](int, int) { return 0x4080C0u; });
  test::SetPicture(*form->ViewImage->Picture(), bitmap);
  Key(Qt::AltModifier, Qt::Key_R);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcRed);
  EXPECT_EQ(Rgb(Shown(), 3, 3), 0x404040u);
  EXPECT_TRUE(form->StatusBar->ViewText().contains(" R")) << form->StatusBar->ViewText().toStdString();
  Key(Qt::AltModifier, Qt::Key_G);
  EXPECT_EQ(Rgb(Shown(), 3, 3), 0x808080u);
  Key(Qt::AltModifier, Qt::Key_B);
  EXPECT_EQ(Rgb(Shown(), 3, 3), 0xC0C0C0u);
  Key(Qt::AltModifier, Qt::Key_B);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcColor);
  EXPECT_EQ(Rgb(Shown(), 3, 3), 0x4080C0u);

  test::SetPicture(*form->ViewImage->Picture(), AlphaBitmap(16, 16));
  Key(Qt::AltModifier, Qt::Key_A);
  const QImage alpha = Shown();
  EXPECT_EQ(Rgb(alpha, 2, 0), 0x808080u);
  EXPECT_EQ(Rgb(alpha, 2, 5), 0xFFFFFFu);
  EXPECT_EQ(Rgb(alpha, 12, 5), 0x000000u);
  Key(Qt::AltModifier, Qt::Key_O);  // colour with the alpha ignored: the see-through half is black
  EXPECT_EQ(Rgb(Shown(), 12, 5), 0x000000u);
  EXPECT_EQ(Rgb(Shown(), 2, 5), 0xFF0000u);
}

TEST_F(ViewTools, SeeThroughPixelsLieOnTheChosenBackdrop) {
  Normal();
  test::SetPicture(*form->ViewImage->Picture(), AlphaBitmap(32, 32));
  QImage shown = Shown();
  EXPECT_EQ(Rgb(shown, 20, 4), 0xFFFFFFu) << "checkerboard by default";
  EXPECT_EQ(Rgb(shown, 28, 4), 0xCCCCCCu);
  EXPECT_EQ(Rgb(shown, 28, 12), 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 4, 4), 0xFF0000u);
  for (auto [item, colour] : {std::pair{"BlackMenu", 0x000000u}, {"WhiteMenu", 0xFFFFFFu}}) {
    form->findChild<TMenuItem*>(QString::fromLatin1(item))->trigger();
    EXPECT_EQ(Rgb(Shown(), 20, 4), colour) << item;
    EXPECT_TRUE(form->findChild<TMenuItem*>(QString::fromLatin1(item))->Checked());
  }
  // The half-transparent top row over black: half its green.
  form->findChild<TMenuItem*>("BlackMenu")->trigger();
  EXPECT_NEAR(int(qGreen(Shown().pixel(20, 0))), 128, 1);
}

TEST_F(ViewTools, ImageKeysStepThroughAFilesImages) {
  const std::string icon = std::string(VUMO_TESTS_DIR) + "/data/ico/several_sizes.ico";
  form->LoadPicture(QString::fromStdString(icon));
  const unsigned count = form->ViewImage->Picture()->Graphic()->Images().Count;
  ASSERT_GT(count, 1u);
  EXPECT_TRUE(form->StatusBar->ViewText().contains(QStringLiteral("entry 1/%1").arg(count)));
  Key(Qt::ControlModifier, Qt::Key_PageDown);
  EXPECT_EQ(form->ViewImage->Picture()->Graphic()->Images().Index, 1u);
  EXPECT_TRUE(form->StatusBar->ViewText().contains(QStringLiteral("entry 2/%1").arg(count)));
  // The view itself takes Page Down and the brackets once it has the focus.
  form->ViewImage->setFocus();
  QTest::keyClick(form->ViewImage, Qt::Key_BracketLeft);
  EXPECT_EQ(form->ViewImage->Picture()->Graphic()->Images().Index, 0u);
  QTest::keyClick(form->ViewImage, Qt::Key_PageUp);  // nothing before the first
  EXPECT_EQ(form->ViewImage->Picture()->Graphic()->Images().Index, 0u);
}

TEST_F(ViewTools, ExposureRendersFloatPicturesAgainWithoutReloading) {
  TBitmap hdr;
  hdr.SetPixelFormat(pf32bit);
  hdr.SetSize(4, 4);
  auto floats = TBitmap::NewFloatPixels(4, 4);
  for (std::size_t i = 0; i < floats->RGBA.size(); i += 4) floats->RGBA[i] = 0.25f, floats->RGBA[i + 3] = 1.0f;
  hdr.SetFloatPixels(floats);
  test::SetPicture(*form->ViewImage->Picture(), hdr);
  EXPECT_EQ(qRed(Shown().pixel(1, 1)), LinearToSRGB8(0.25f));
  Key(Qt::AltModifier, Qt::Key_Equal);
  Key(Qt::AltModifier, Qt::Key_Equal);  // one stop up: 0.25 shows as 0.5
  EXPECT_EQ(form->ViewImage->Exposure(), 1.0);
  EXPECT_EQ(qRed(Shown().pixel(1, 1)), 188);
  EXPECT_TRUE(form->StatusBar->ViewText().contains("exposure +1.0")) << form->StatusBar->ViewText().toStdString();
  Hover(QPoint(1, 1));
  EXPECT_TRUE(form->StatusBar->PixelText().contains("R 0.25  G 0  B 0  A 1")) << form->StatusBar->PixelText().toStdString();
  Key(Qt::AltModifier, Qt::Key_0);
  EXPECT_EQ(qRed(Shown().pixel(1, 1)), LinearToSRGB8(0.25f));
  // An 8-bit picture has no exposure to show.
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(4, 4));
  EXPECT_FALSE(form->StatusBar->ViewText().contains("exposure"));
}

TEST_F(ViewTools, EveryChoiceIsKeptForTheNextStartAndDefaultSettingsResetsIt) {
  form->ViewImage->SetZoom(3.0);
  form->ViewImage->SetHalfOffset(true);
  form->ViewImage->SetChannel(TViewState::vcGreen);
  form->ViewImage->SetAlphaBackground(TViewState::abCustom);
  form->ViewImage->SetAlphaColor(0x123456);
  form->ViewImage->SetExposure(-1.5);
  form->close();
  ASSERT_NO_FATAL_FAILURE(Reopen());
  EXPECT_EQ(form->ViewImage->Zoom(), 3.0);
  EXPECT_TRUE(form->ViewImage->HalfOffset());
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcGreen);
  EXPECT_EQ(form->ViewImage->AlphaBackground(), TViewState::abCustom);
  EXPECT_EQ(form->ViewImage->AlphaColor(), 0x123456);
  EXPECT_EQ(form->ViewImage->Exposure(), -1.5);
  form->DefaultSettingsClick(form->DefaultSettings);
  EXPECT_EQ(form->ViewImage->Zoom(), 1.0);
  EXPECT_FALSE(form->ViewImage->HalfOffset());
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcColor);
  EXPECT_EQ(form->ViewImage->AlphaBackground(), TViewState::abChecker);
  EXPECT_EQ(form->ViewImage->Exposure(), 0.0);
}

// Metafiles are drawn where they are seen, never first at a declared size of hundreds of
// megapixels, and a drawing that stops at its budget says so in the status line.
TEST_F(ViewTools, LargeMetafilesAreDrawnWhereSeenAndIncompleteOnesSaySo) {
  const std::string dir = test::TempDir("view_tools_metafiles");
  auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return QString::fromStdString(dir + "/" + name);
  };
  test::TEmfWriter large(16384, 16384);
  large.Brush(1, 0, 0x0000FF).Select(1).Record(43, {0, 0, 50, 50});       // red, top left
  large.Brush(2, 0, 0xFF0000).Select(2).Record(43, {100, 100, 200, 200});  // blue
  form->LoadPicture(write("large.emf", large.Bytes()));
  ASSERT_EQ(form->ViewImage->Picture()->Width(), 16384);
  QImage shown = Shown();
  EXPECT_EQ(shown.pixel(20, 20) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shown.pixel(150, 150) & 0xFFFFFF, 0x0000FFu);
  EXPECT_FALSE(form->ViewImage->DrawingIncomplete());
  EXPECT_FALSE(form->StatusBar->ViewText().contains("incomplete"));

  test::TEmfWriter heavy(1000, 1000);
  heavy.Brush(1, 0, 0x808080).Select(1);
  for (int i = 0; i < 30000; ++i) heavy.Record(43, {0, 0, 1000, 1000});
  form->LoadPicture(write("heavy.emf", heavy.Bytes()));
  Shown();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form->ViewImage->DrawingIncomplete());
  EXPECT_TRUE(form->StatusBar->ViewText().contains("drawing incomplete")) << form->StatusBar->ViewText().toStdString();
}

}  // namespace
}  // namespace vumo
