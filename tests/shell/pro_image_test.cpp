// The image view control: what each mode paints, the destination rectangle, opacity,
// sizing itself, alignment in its parent, and which changes repaint.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QScreen>
#include <QTest>

#include <initializer_list>
#include <memory>

#include "shell/pro_image.h"
#include "shell_test_util.h"
#include "support/wait_until.h"

namespace vumo {
namespace {

using test::Grab;
using test::MakeBitmap;
using test::PositionBitmap;
using test::PositionColour;
using test::Rgb;

// A control of the given size showing `bitmap`. The modes are set first, so that the tests
// see what a picture arriving in them does.
using TMode = void (TProImage::*)(bool);
std::unique_ptr<TProImage> Showing(QSize size, const TBitmap& bitmap, std::initializer_list<TMode> modes = {}) {
  auto image = std::make_unique<TProImage>();
  image->resize(size);
  for (TMode mode : modes) (image.get()->*mode)(true);
  test::SetPicture(*image->Picture(), bitmap);
  return image;
}

// What a tiled control of the given size shows of a PositionBitmap of the given size.
QImage ShownTiled(QSize control, QSize picture) {
  return Grab(*Showing(control, PositionBitmap(picture.width(), picture.height()), {&TProImage::SetTiled}));
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

// An image control at `geometry` on a parent of the given size that paints itself 0x123456,
// so whatever the control leaves unpainted shows as that colour.
TProImage* OnBackdrop(QWidget& parent, QSize size, QRect geometry) {
  parent.resize(size);
  parent.setAutoFillBackground(true);
  QPalette palette = parent.palette();
  palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
  parent.setPalette(palette);
  auto* image = new TProImage(&parent);
  image->setGeometry(geometry);
  return image;
}

TEST(ProImage, StartsAt105By105WithNothingSet) {
  TProImage image;
  EXPECT_EQ(image.size(), QSize(105, 105));
  EXPECT_EQ(image.Align(), TProImage::alNone);
  EXPECT_FALSE(image.AutoSize() || image.Center() || image.Stretch() || image.Tiled() || image.Transparent() ||
               image.IncrementalDisplay());
  EXPECT_EQ(image.Picture()->Width(), 0);
  EXPECT_FALSE(image.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(ProImage, PropertiesAreReachableByTheirNames) {
  TProImage image;
  EXPECT_TRUE(image.setProperty("Align", QVariant::fromValue(TProImage::alClient)));
  EXPECT_TRUE(image.setProperty("Tiled", true));
  EXPECT_TRUE(image.setProperty("AutoSize", true));
  EXPECT_EQ(image.Align(), TProImage::alClient);
  EXPECT_TRUE(image.Tiled());
  EXPECT_TRUE(image.AutoSize());
  for (const char* name : {"Center", "Stretch", "Transparent", "IncrementalDisplay"})
    EXPECT_TRUE(image.property(name).isValid()) << name;
}

TEST(ProImage, TilesStartAtTheTopLeftAndAreCutAtTheEdges) {
  const QImage shown = ShownTiled({200, 150}, {64, 64});
  ASSERT_EQ(shown.size(), QSize(200, 150));
  // Tiles at x = 0, 64, 128, 192 and y = 0, 64, 128: the last column shows 8 pixels, the
  // last row 22; every pixel is the picture's pixel at the position modulo 64.
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) ASSERT_EQ(Rgb(shown, x, y), PositionColour(x % 64, y % 64)) << x << "," << y;
  EXPECT_EQ(Rgb(shown, 192, 128), PositionColour(0, 0));
  EXPECT_EQ(Rgb(shown, 199, 149), PositionColour(7, 21));
}

TEST(ProImage, APictureLargerThanTheControlIsOneTileCutAtTheEdges) {
  const QImage shown = ShownTiled({200, 150}, {250, 180});
  for (int y = 0; y < 150; y += 7)
    for (int x = 0; x < 200; x += 7) ASSERT_EQ(Rgb(shown, x, y), PositionColour(x, y)) << x << "," << y;
  EXPECT_EQ(Rgb(shown, 199, 149), PositionColour(199, 149));
}

TEST(ProImage, ManySmallTilesGiveTheSamePixelsAsFewLargeOnes) {
  const QImage shown = ShownTiled({300, 200}, {3, 2});  // 10,000 tiles
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) ASSERT_EQ(Rgb(shown, x, y), PositionColour(x % 3, y % 2)) << x << "," << y;
}

TEST(ProImage, TransparentTilesShowWhiteWhereSeeThrough) {
  // The bottom-left pixel is green: green is see-through.
  const auto image = Showing({40, 40}, MakeBitmap(20, 20, [](int x, int) { return x < 10 ? 0x00FF00u : 0xFF0000u; }),
                             {&TProImage::SetTiled, &TProImage::SetTransparent});
  EXPECT_TRUE(image->Picture()->Graphic()->Transparent());
  const QImage shown = Grab(*image);
  EXPECT_EQ(Rgb(shown, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 25, 35), 0xFFFFFFu);
  EXPECT_EQ(Rgb(shown, 15, 5), 0xFF0000u);
  EXPECT_EQ(Rgb(shown, 35, 25), 0xFF0000u);
}

TEST(ProImage, DestinationRectangleForEachMode) {
  const auto image = Showing({100, 80}, PositionBitmap(111, 50));
  EXPECT_EQ(image->DestRect(), QRect(0, 0, 111, 50));
  image->SetCenter(true);
  // (100 - 111) / 2 truncates toward zero: -5, not -6.
  EXPECT_EQ(image->DestRect(), QRect(-5, 15, 111, 50));
  test::SetPicture(*image->Picture(), PositionBitmap(89, 91));
  EXPECT_EQ(image->DestRect(), QRect(5, -5, 89, 91));
  image->SetStretch(true);
  EXPECT_EQ(image->DestRect(), QRect(0, 0, 100, 80));
}

TEST(ProImage, CentredPictureIsCutEvenlyOnBothSides) {
  const QImage shown = Grab(*Showing({100, 80}, PositionBitmap(111, 80), {&TProImage::SetCenter}));
  EXPECT_EQ(Rgb(shown, 0, 0), PositionColour(5, 0));
  EXPECT_EQ(Rgb(shown, 99, 79), PositionColour(104, 79));
}

TEST(ProImage, StretchedPictureCoversTheControl) {
  const QImage shown = Grab(*Showing({100, 60}, MakeBitmap(2, 1, [](int x, int) { return x ? 0x0000FFu : 0xFF0000u; }),
                                     {&TProImage::SetStretch}));
  EXPECT_EQ(Rgb(shown, 10, 5), 0xFF0000u);
  EXPECT_EQ(Rgb(shown, 90, 55), 0x0000FFu);
}

TEST(ProImage, OpaqueOnlyWhenThePictureCoversTheControl) {
  const auto image = Showing({100, 80}, PositionBitmap(100, 80));
  EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  test::SetPicture(*image->Picture(), PositionBitmap(100, 79));
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetTiled(true);  // the rule ignores tiling
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetStretch(true);  // a stretched picture always covers it
  EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetTransparent(true);  // but not when it has see-through parts
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetTransparent(false);
  image->Picture()->SetGraphic(nullptr);
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
}

// A picture with see-through pixels of its own (an icon's alpha) must let the parent paint
// behind it, or those pixels keep whatever the window showed there before.
TEST(ProImage, PictureWithAlphaLetsTheParentPaintBehindIt) {
  QWidget parent;
  TProImage* image = OnBackdrop(parent, {64, 64}, {0, 0, 64, 64});
  // Opaque red on the right, nothing on the left.
  TBitmap icon = test::FillBitmap(pf32bit, 64, 64, [](std::uint8_t* pixel, int x, int) {
    if (x >= 32) pixel[2] = pixel[3] = 0xFF;
  });
  icon.SetAlphaChannel(true);
  // Shown once: a window shown again is not exposed at once, and would not repaint.
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  for (bool stretch : {false, true}) {
    SCOPED_TRACE(stretch ? "stretched" : "normal");
    image->SetStretch(stretch);
    test::SetPicture(*image->Picture(), MakeBitmap(64, 64, [](int, int) { return 0x00FF00u; }));
    parent.repaint();  // painted now, not when a busy machine gets round to it
    test::SetPicture(*image->Picture(), icon);
    parent.repaint();
    const QImage shown = parent.screen()->grabWindow(parent.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(shown.isNull());
    // The see-through half shows the checkerboard (white and light grey squares of 8), not
    // the green picture before it.
    EXPECT_EQ(Rgb(shown, 4, 4), 0xFFFFFFu);
    EXPECT_EQ(Rgb(shown, 12, 4), 0xCCCCCCu);
    EXPECT_EQ(Rgb(shown, 50, 10), 0xFF0000u);
    image->SetAlphaBackground(TViewState::abWindow);
    parent.repaint();
    const QImage window = parent.screen()->grabWindow(parent.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Rgb(window, 10, 10), 0x123456u) << "the window's colour behind it";
    image->SetAlphaBackground(TViewState::abChecker);
  }
}

TEST(ProImage, EmptyPicturePaintsNothingInAnyMode) {
  QWidget parent;
  TProImage* image = OnBackdrop(parent, {120, 100}, {10, 10, 100, 80});
  for (int mode = 0; mode < 4; ++mode) {
    image->SetTiled(mode == 1);
    image->SetStretch(mode == 2);
    image->SetCenter(mode == 3);
    const QImage shown = Grab(parent);
    EXPECT_EQ(Rgb(shown, 50, 50), 0x123456u) << "mode " << mode;
    EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  }
}

TEST(ProImage, ZeroSizedGraphicPaintsNothingWhenTiled) {
  QWidget parent;
  TProImage* image = OnBackdrop(parent, {120, 100}, {0, 0, 120, 100});
  image->SetTiled(true);
  TBitmap empty;
  test::SetPicture(*image->Picture(), empty);
  ASSERT_NE(image->Picture()->Graphic(), nullptr);
  EXPECT_EQ(Rgb(Grab(parent), 60, 50), 0x123456u);
}

TEST(ProImage, AutoSizeTakesThePictureSizeAndKeepsItsSizeForAnEmptyPicture) {
  TProImage image;
  image.move(7, 9);
  image.SetAutoSize(true);
  EXPECT_EQ(image.size(), QSize(105, 105)) << "an empty picture leaves the size alone";
  test::SetPicture(*image.Picture(), PositionBitmap(64, 48));
  EXPECT_EQ(image.geometry(), QRect(7, 9, 64, 48));
  image.Picture()->SetGraphic(nullptr);
  EXPECT_EQ(image.size(), QSize(64, 48));
}

TEST(ProImage, SettingAutoSizeAgainRerunsThePictureStep) {
  TProImage image;
  image.SetAutoSize(true);
  test::SetPicture(*image.Picture(), PositionBitmap(64, 48));
  image.resize(10, 10);
  image.SetAutoSize(true);  // unchanged, yet it sizes the control again
  EXPECT_EQ(image.size(), QSize(64, 48));
  image.resize(10, 10);
  image.SetTiled(false);  // unchanged: nothing runs
  EXPECT_EQ(image.size(), QSize(10, 10));
}

TEST(ProImage, SameValueSettersDoNotRepaintButAutoSizeDoes) {
  TProImage image;
  image.resize(80, 60);
  image.SetTiled(true);
  test::SetPicture(*image.Picture(), PositionBitmap(16, 16));
  image.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
  PaintCounter counter(&image);
  QTest::qWait(50);
  const int settled = counter.count;

  image.SetTiled(true);
  image.SetStretch(false);
  image.SetCenter(false);
  image.SetTransparent(false);
  QTest::qWait(50);
  EXPECT_EQ(counter.count, settled);

  image.SetAutoSize(false);  // unchanged value, but the step runs and invalidates
  WAIT_UNTIL(counter.count > settled);
  const int afterAutoSize = counter.count;
  image.SetTiled(false);
  WAIT_UNTIL(counter.count > afterAutoSize);
}

TEST(ProImage, ClientAlignmentFollowsTheParentAndWinsOverAutoSize) {
  QWidget parent;
  parent.resize(300, 200);
  auto* image = new TProImage(&parent);
  parent.show();  // a hidden parent hears of its resizes only when it is shown
  image->SetAlign(TProImage::alClient);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 300, 200));
  parent.resize(320, 240);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 320, 240));
  image->SetAutoSize(true);
  test::SetPicture(*image->Picture(), PositionBitmap(64, 48));
  EXPECT_EQ(image->geometry(), QRect(0, 0, 320, 240));

  image->SetAlign(TProImage::alNone);
  image->SetAutoSize(true);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 64, 48));
  parent.resize(400, 300);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 64, 48));

  image->SetAlign(TProImage::alBottom);
  EXPECT_EQ(image->geometry(), QRect(0, 300 - 48, 400, 48));
  image->SetAlign(TProImage::alRight);
  EXPECT_EQ(image->geometry(), QRect(400 - 400, 0, 400, 300)) << "keeps its width, takes the height";
}

TEST(ProImage, ProgressIsForwardedAndRepaintsWhenAskedTo) {
  TProImage image;
  image.resize(40, 40);
  image.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
  PaintCounter counter(&image);
  int calls = 0;
  TRect seen;
  image.OnProgress = [&](void*, TProgressStage stage, std::uint8_t percent, bool redraw, const TRect& r,
                         const std::string& message) {
    ++calls;
    EXPECT_EQ(stage, psRunning);
    EXPECT_EQ(percent, 42);
    EXPECT_TRUE(redraw);
    EXPECT_EQ(message, "Loading");
    seen = r;
  };
  const TRect r{1, 2, 3, 4};
  image.Picture()->OnProgress(nullptr, psRunning, 42, true, r, "Loading");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, r);
  EXPECT_EQ(counter.count, 0) << "no incremental display: no repaint";
  image.SetIncrementalDisplay(true);
  image.Picture()->OnProgress(nullptr, psRunning, 42, true, r, "Loading");
  EXPECT_EQ(counter.count, 1) << "painted at once, not queued";
}

TEST(ProImage, MouseEnterAndLeaveRaiseTheirEvents) {
  TProImage image;
  int entered = 0, left = 0;
  image.OnMouseEnter = [&](void* sender) {
    EXPECT_EQ(sender, &image);
    ++entered;
  };
  image.OnMouseLeave = [&](void*) { ++left; };
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(&image, &enter);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&image, &leave);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(left, 1);
}

TEST(ProImage, PaletteChangesAreHandedToTheActiveWindowOnce) {
  class QueryCounter : public QWidget {
   public:
    int queries = 0;

   protected:
    bool event(QEvent* event) override {
      if (event->type() == static_cast<QEvent::Type>(kQueryNewPaletteEvent)) ++queries;
      return QWidget::event(event);
    }
  } window;
  window.resize(100, 100);
  auto* image = new TProImage(&window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(8, 8);
  bitmap.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
  test::SetPicture(*image->Picture(), bitmap);
  // A loaded bitmap carries the mark its reader set with the palette; a copy does not.
  image->Picture()->Graphic()->SetPaletteModified(true);
  image->SetAutoSize(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.queries, 1);
  EXPECT_FALSE(image->Picture()->Graphic()->PaletteModified());
  image->SetAutoSize(true);  // the mark is cleared: no second request
  QCoreApplication::processEvents();
  EXPECT_EQ(window.queries, 1);
}

}  // namespace
}  // namespace vumo
