// The About picture dialog: window sizes for each border style, modal and non-modal shows,
// the main window's About box, and the bevelled panel's frames.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <QTimer>

#include "shell/about_dialog.h"
#include "shell/main_window.h"
#include "shell/panel.h"
#include "shell_test_util.h"
#include "support/wait_until.h"

namespace vumo {
namespace {

using test::OnNextModal;
using test::Rgb;

TEST(ImageViewDialog, MainWindowAboutBoxIsModalWithItsPictureAtExactSize) {
  TForm1 form;
  ASSERT_EQ(form.AboutImage->Picture()->Width(), 250) << "the About picture comes from the resources";
  ASSERT_EQ(form.AboutImage->Picture()->Height(), 298);
  bool seen = false;
  OnNextModal([&](QWidget* modal) {
    auto* window = qobject_cast<TImageViewForm*>(modal);
    ASSERT_NE(window, nullptr);
    seen = true;
    EXPECT_EQ(window->windowTitle(), "About ...");
    EXPECT_EQ(window->size(), QSize(250, 298));
    EXPECT_EQ(window->Image->geometry(), QRect(0, 0, 250, 298));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_EQ(form.AboutImage->Form(), window);
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 1);
    window->close();
  });
  form.AboutVumoClick(form.AboutVumo);  // returns only when the window has closed
  EXPECT_TRUE(seen);
  EXPECT_EQ(form.AboutImage->Form(), nullptr);
}

TEST(ImageViewDialog, SingleBorderAddsATwoPixelSunkenFrame) {
  TProImageViewDialog dialog;
  dialog.SetModal(false);
  dialog.SetBorderStyle(TProImageViewDialog::bsSingle);
  test::SetPicture(*dialog.Picture(), test::MakeBitmap(100, 80, [](int, int) { return 0x00FF00u; }));
  dialog.Execute();
  TImageViewForm* window = dialog.Form();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Image View");
  EXPECT_EQ(window->size(), QSize(104, 84));
  EXPECT_EQ(window->Image->geometry(), QRect(2, 2, 100, 80));
  EXPECT_TRUE(window->Panel->BevelCtl3D());
  EXPECT_EQ(window->Panel->BevelWidth(), 2);
  const QImage shown = test::Grab(*window);
  EXPECT_EQ(Rgb(shown, 0, 40), ColorToQColor(clBtnShadow).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 1, 40), ColorToQColor(clBtnText).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 103, 40), ColorToQColor(clBtnHighlight).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 102, 40), ColorToQColor(cl3DLight).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 2, 40), 0x00FF00u);
  window->close();
  WAIT_EQ(dialog.Form(), nullptr);
}

TEST(ImageViewDialog, EmptyPictureGivesAnEmptyClientArea) {
  TProImageViewDialog dialog;
  dialog.SetModal(false);
  dialog.SetCaption(QStringLiteral("Nothing"));
  dialog.Execute();
  ASSERT_NE(dialog.Form(), nullptr);
  EXPECT_EQ(dialog.Form()->size(), QSize(0, 0));
  EXPECT_EQ(dialog.Form()->windowTitle(), "Nothing");
  dialog.Form()->close();
  WAIT_EQ(dialog.Form(), nullptr);
}

TEST(ImageViewDialog, NonModalShowTwiceKeepsOneWindow) {
  TProImageViewDialog dialog;
  dialog.SetModal(false);
  test::SetPicture(*dialog.Picture(), test::MakeBitmap(30, 20, [](int, int) { return 0u; }));
  dialog.Execute();
  QPointer<TImageViewForm> first = dialog.Form();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  dialog.Execute();
  EXPECT_EQ(dialog.Form(), first.data());
  int windows = 0;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (qobject_cast<TImageViewForm*>(widget)) ++windows;
  EXPECT_EQ(windows, 1);
  first->close();
  WAIT_UNTIL(first.isNull());
  EXPECT_EQ(dialog.Form(), nullptr);
  dialog.Execute();  // closed: a new window opens
  EXPECT_NE(dialog.Form(), nullptr);
}

TEST(ImageViewDialog, DestroyingTheComponentClosesItsOpenWindow) {
  QPointer<TImageViewForm> window;
  {
    TProImageViewDialog dialog;
    dialog.SetModal(false);
    dialog.Execute();
    window = dialog.Form();
    ASSERT_FALSE(window.isNull());
  }
  EXPECT_TRUE(window.isNull());
}

TEST(ImageViewDialog, LaterPictureChangesResizeTheOpenWindow) {
  TProImageViewDialog dialog;
  dialog.SetModal(false);
  dialog.Execute();
  TImageViewForm* window = dialog.Form();
  test::SetPicture(*window->Image->Picture(), test::MakeBitmap(40, 30, [](int, int) { return 0u; }));
  EXPECT_EQ(window->size(), QSize(40, 30));
  window->close();
}

// Paints a panel of the given size and returns what it shows.
QImage PaintPanel(TProPanel& panel, int width, int height) {
  panel.resize(width, height);
  return test::Grab(panel);
}

TEST(ProPanel, RaisedBevelWithoutThreeDimensionalLookDrawsItsWidthInTwoColours) {
  TProPanel panel;
  panel.SetBevelOuter(TPanel::bvRaised);
  panel.SetBevelWidth(3);
  panel.SetColor(0x00FFFF);  // yellow
  const QImage shown = PaintPanel(panel, 20, 20);
  const unsigned light = ColorToQColor(clBtnHighlight).rgb() & 0xFFFFFF;
  const unsigned shadow = ColorToQColor(clBtnShadow).rgb() & 0xFFFFFF;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Rgb(shown, i, 10), light) << i;
    EXPECT_EQ(Rgb(shown, 10, i), light) << i;
    EXPECT_EQ(Rgb(shown, 19 - i, 10), shadow) << i;
    EXPECT_EQ(Rgb(shown, 10, 19 - i), shadow) << i;
  }
  // The far ends of the top and left sides belong to the bottom-right colour.
  EXPECT_EQ(Rgb(shown, 19, 0), shadow);
  EXPECT_EQ(Rgb(shown, 0, 19), shadow);
  EXPECT_EQ(Rgb(shown, 3, 3), 0xFFFF00u);
  EXPECT_EQ(panel.contentsRect(), QRect(3, 3, 14, 14));
}

TEST(ProPanel, ThreeDimensionalLookForcesTwoPixelsAndDarkensTheRaisedEdge) {
  TProPanel panel;
  panel.SetBevelWidth(4);
  panel.SetBevelCtl3D(true);
  EXPECT_EQ(panel.BevelWidth(), 2);
  panel.SetBevelWidth(5);
  EXPECT_EQ(panel.BevelWidth(), 2) << "stays two while the look is on";
  const QImage shown = PaintPanel(panel, 20, 20);
  EXPECT_EQ(Rgb(shown, 19, 10), ColorToQColor(clBtnText).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 18, 10), ColorToQColor(clBtnShadow).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 1, 10), ColorToQColor(cl3DLight).rgb() & 0xFFFFFFu);
  panel.SetBevelCtl3D(false);
  EXPECT_EQ(panel.BevelWidth(), 1);
}

TEST(ProPanel, OnlyTheChosenSidesAreDrawn) {
  TProPanel panel;
  panel.SetBevelOuter(TPanel::bvLowered);
  panel.SetBevelSides(sdTop | sdBottom);
  panel.SetColor(0xFFFFFF);
  const QImage shown = PaintPanel(panel, 20, 20);
  EXPECT_EQ(Rgb(shown, 0, 10), 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 19, 10), 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 10, 0), ColorToQColor(clBtnShadow).rgb() & 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 10, 19), ColorToQColor(clBtnHighlight).rgb() & 0xFFFFFFu);
}

TEST(ProPanel, BorderWidthIsDrawnInTheBorderColourBetweenTheBevels) {
  TProPanel panel;
  panel.SetBevelOuter(TPanel::bvRaised);
  panel.SetBevelInner(TPanel::bvLowered);
  panel.SetBorderWidth(2);
  panel.SetBorderColor(0xFF0000);  // blue
  const QImage shown = PaintPanel(panel, 30, 30);
  EXPECT_EQ(Rgb(shown, 1, 15), 0x0000FFu);
  EXPECT_EQ(Rgb(shown, 2, 15), 0x0000FFu);
  EXPECT_EQ(Rgb(shown, 3, 15), ColorToQColor(clBtnShadow).rgb() & 0xFFFFFFu);
  EXPECT_EQ(panel.contentsRect(), QRect(4, 4, 22, 22));
}

}  // namespace
}  // namespace vumo
