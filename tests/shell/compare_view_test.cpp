// The window's compare mode: how it opens and closes, its modes and keys, what the difference
// views draw, and the two side-by-side panes moving as one.
#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "browser/file_list_popup.h"
#include "shell/compare_view.h"
#include "shell/main_window.h"
#include "window_fixture.h"
#include "support/tiff_pages.h"

namespace vumo {
namespace {

// A: red = 5x, green = 7y, blue 100. B: the same but pixel (10, 8), whose red is 12 higher.
// Large enough to fill a pane when zoomed, so the pan has room.
constexpr int kWidth = 200, kHeight = 150;
const QPoint kChanged(10, 8);

QColor ColourA(int x, int y) { return QColor((x * 5) & 0xFF, (y * 7) & 0xFF, 100); }

class CompareMode : public test::TWindowTest {
 protected:
  void SetUp() override {
    test::TWindowTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    QImage a(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) a.setPixelColor(x, y, ColourA(x, y));
    QImage b = a;
    const QColor c = ColourA(kChanged.x(), kChanged.y());
    b.setPixelColor(kChanged, QColor(c.red() + 12, c.green(), c.blue()));
    fileA = dir.filePath("a.png");
    fileB = dir.filePath("b.png");
    ASSERT_TRUE(a.save(fileA));
    ASSERT_TRUE(b.save(fileB));
  }

  TCompareView* View() const { return form->CompareView; }

  void Open() {
    form->OpenCompareFromCommandLine(fileA, fileB);
    ASSERT_TRUE(form->Comparing());
    QCoreApplication::processEvents();
  }

  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), key, modifiers);
  }

  // The centre of picture pixel `pixel` in pane `pane`, in the view's coordinates.
  QPoint ScreenOf(QPoint pixel, int pane = 0) const {
    const double zoom = View()->Zoom();
    return (View()->ImageOrigin(pane) + QPointF((pixel.x() + 0.5) * zoom, (pixel.y() + 0.5) * zoom)).toPoint();
  }

  QColor Drawn(QPoint pixel, int pane = 0) const { return View()->grab().toImage().pixelColor(ScreenOf(pixel, pane)); }

  // Zooms with the window's view, as its keys do, then puts the pictures' corner back at the
  // panes' corner (a zoom keeps the middle of the view where it is).
  void ZoomAtCorner(double zoom) {
    form->ViewImage->SetZoom(zoom);
    View()->SetPan({});
  }

  void MoveMouse(QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), View()->mapToGlobal(QPointF(at)), Qt::NoButton, buttons, {});
    QCoreApplication::sendEvent(View(), &move);
  }

  QTemporaryDir dir;
  QString fileA, fileB;
};

TEST_F(CompareMode, CommandLineOpensInCompareModeAndEscapeLeaves) {
  Open();
  EXPECT_TRUE(View()->isVisible());
  EXPECT_FALSE(form->ScrollBox->isVisible());
  EXPECT_EQ(form->ShownFile(), fileA);  // A's folder listed and A shown behind
  EXPECT_TRUE(form->windowTitle().contains("a.png")) << form->windowTitle().toStdString();
  EXPECT_TRUE(form->windowTitle().contains("b.png"));
  EXPECT_EQ(View()->Result().DifferingPixels, 1u);
  EXPECT_EQ(View()->Result().MaxDifference, 12);
  EXPECT_TRUE(View()->FiguresText().contains("differing 1 ")) << View()->FiguresText().toStdString();

  Key(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(form->Comparing());
  EXPECT_FALSE(View()->isVisible());
  EXPECT_TRUE(form->ScrollBox->isVisible());
  EXPECT_FALSE(form->windowTitle().contains("b.png"));

  // Escape in the filter box clears the filter and leaves the comparison as it is.
  Open();
  auto* filter = form->findChild<QLineEdit*>(QStringLiteral("BrowseFilesFilter"));
  ASSERT_NE(filter, nullptr);
  filter->setFocus();
  QTest::keyClicks(filter, "a");
  QTest::keyClick(filter, Qt::Key_Escape);
  EXPECT_TRUE(filter->text().isEmpty());
  EXPECT_TRUE(form->Comparing());
  Key(Qt::Key_Escape, Qt::NoModifier);  // the focus is still in the box
  EXPECT_TRUE(form->Comparing());
  View()->setFocus();
  Key(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(form->Comparing());

  // A click in the file list leaves it too, for the picture clicked.
  Open();
  emit form->BrowseFiles->Click();
  EXPECT_FALSE(form->Comparing());
  EXPECT_TRUE(form->ScrollBox->isVisible());
}

TEST_F(CompareMode, ModesSwitchByKeysWithTheirMenuMarks) {
  // Before comparing the keys do nothing.
  Key(Qt::Key_3);
  EXPECT_EQ(View()->Mode(), TCompareView::cmSideBySide);
  Open();
  struct Row {
    Qt::Key key;
    TCompareView::TMode mode;
    const char* item;
  };
  for (const Row& row : {Row{Qt::Key_2, TCompareView::cmFlicker, "CompareFlickerMenu"},
                         Row{Qt::Key_3, TCompareView::cmSplit, "CompareSplitMenu"},
                         Row{Qt::Key_4, TCompareView::cmDifference, "CompareDifferenceMenu"},
                         Row{Qt::Key_5, TCompareView::cmMarked, "CompareMarkedMenu"},
                         Row{Qt::Key_1, TCompareView::cmSideBySide, "CompareSideBySideMenu"}}) {
    Key(row.key);
    EXPECT_EQ(View()->Mode(), row.mode) << row.item;
    EXPECT_TRUE(form->findChild<TMenuItem*>(row.item)->isChecked()) << row.item;
    EXPECT_EQ(View()->PaneCount(), row.mode == TCompareView::cmSideBySide ? 2 : 1);
  }
}

TEST_F(CompareMode, TheFlickerKeySwapsThePicturesInPlace) {
  Open();
  Key(Qt::Key_2);
  ZoomAtCorner(4);
  const QColor a = ColourA(kChanged.x(), kChanged.y());
  EXPECT_EQ(Drawn(kChanged), a);
  Key(Qt::Key_Space, Qt::NoModifier);  // the view has the focus
  EXPECT_TRUE(View()->Swapped());
  EXPECT_EQ(Drawn(kChanged), QColor(a.red() + 12, a.green(), a.blue()));
  EXPECT_EQ(Drawn({3, 3}), ColourA(3, 3));  // the rest is the same either way
  Key(Qt::Key_Space);                        // Ctrl+Space from anywhere in the window
  EXPECT_FALSE(View()->Swapped());
  EXPECT_EQ(Drawn(kChanged), a);
}

TEST_F(CompareMode, DifferenceViewsDrawTheAmplifiedAndMarkedPixels) {
  Open();
  ZoomAtCorner(3);
  Key(Qt::Key_4);
  struct Row {
    int amplify;
    int red;
  };
  for (const Row& row : {Row{4, 48}, Row{16, 192}, Row{64, 255}, Row{1, 12}}) {
    ASSERT_EQ(View()->Amplify(), row.amplify);
    EXPECT_EQ(Drawn(kChanged), QColor(row.red, 0, 0)) << row.amplify;
    EXPECT_EQ(Drawn({kChanged.x() + 1, kChanged.y()}), QColor(0, 0, 0));
    Key(Qt::Key_M);
  }
  Key(Qt::Key_5);
  EXPECT_EQ(Drawn(kChanged), QColor(255, 0, 255));
  const QColor a = ColourA(20, 20);
  EXPECT_EQ(Drawn({20, 20}), QColor((a.red() + 2) / 4, (a.green() + 2) / 4, (a.blue() + 2) / 4));
  // Above a threshold past the difference nothing is marked.
  Key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  Key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(View()->Threshold(), 16);
  EXPECT_NE(Drawn(kChanged), QColor(255, 0, 255));
}

TEST_F(CompareMode, SideBySidePanesShareZoomAndPan) {
  Open();
  ASSERT_EQ(View()->PaneCount(), 2);
  form->ViewImage->ZoomStep(1);  // the window's zoom key works on both
  View()->SetPan({});
  EXPECT_EQ(View()->Geometry(0).Zoom, 2.0);
  EXPECT_EQ(View()->Geometry(1).Zoom, 2.0);

  // The wheel over the right pane zooms both, about the cursor.
  const QPoint at = ScreenOf({15, 12}, 1);
  QWheelEvent wheel(QPointF(at), View()->mapToGlobal(QPointF(at)), {}, QPoint(0, 120), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(View(), &wheel);
  EXPECT_EQ(View()->Zoom(), 3.0);
  EXPECT_EQ(form->ViewImage->Zoom(), 3.0);
  EXPECT_EQ(View()->PixelAt(QPointF(at)), QPoint(15, 12));

  // A drag in one pane moves the other: the same place in each pane shows the same pixel.
  const QPoint from = ScreenOf({5, 5}, 0);
  const QPointF panBefore = View()->Pan();
  QTest::mousePress(View(), Qt::LeftButton, {}, from);
  MoveMouse(from + QPoint(-9, -6), Qt::LeftButton);
  QTest::mouseRelease(View(), Qt::LeftButton, {}, from + QPoint(-9, -6));
  EXPECT_EQ(View()->Pan(), panBefore + QPointF(-9, -6));
  const QPoint offset(23, 17);
  EXPECT_EQ(View()->PixelAt(View()->PaneRect(0).topLeft() + offset),
            View()->PixelAt(View()->PaneRect(1).topLeft() + offset));
  EXPECT_EQ(Drawn({12, 10}, 0), Drawn({12, 10}, 1));
  EXPECT_NE(Drawn(kChanged, 0), Drawn(kChanged, 1));
}

TEST_F(CompareMode, TheReadoutShowsBothValuesAndTheSplitDividerDrags) {
  Open();
  ZoomAtCorner(4);
  MoveMouse(ScreenOf(kChanged));
  const QString readout = form->StatusBar->PixelText();
  EXPECT_TRUE(readout.contains("A: 10, 8")) << readout.toStdString();
  EXPECT_TRUE(readout.contains("R 50")) << readout.toStdString();
  EXPECT_TRUE(readout.contains("B: 10, 8"));
  EXPECT_TRUE(readout.contains("R 62"));

  Key(Qt::Key_3);
  const int red = ColourA(kChanged.x(), kChanged.y()).red();
  EXPECT_EQ(Drawn(kChanged).red(), red);  // left of the divider: A
  const QRect pane = View()->PaneRect(0);
  const QPoint divider(pane.left() + pane.width() / 2, pane.center().y()), to(pane.left() + 20, divider.y());
  QTest::mousePress(View(), Qt::LeftButton, {}, divider);
  MoveMouse(to, Qt::LeftButton);
  QTest::mouseRelease(View(), Qt::LeftButton, {}, to);
  EXPECT_NEAR(View()->SplitPosition(), 20.0 / pane.width(), 0.01);
  EXPECT_EQ(View()->Pan(), QPointF());  // the divider's drag is no pan
  // Pixel (10, 8) lies right of the divider now, so B's value is drawn there.
  ASSERT_GT(ScreenOf(kChanged).x(), to.x());
  EXPECT_EQ(Drawn(kChanged).red(), red + 12);
}

TEST_F(CompareMode, TheFileListPopupComparesTheClickedFileWithTheShownOne) {
  form->OpenFromCommandLine(fileA);
  TFileListPopup* popup = form->BrowseFiles->Popup();
  QAction* item = popup->Item("ItemCompare");
  ASSERT_NE(item, nullptr);
  const std::vector<TListItem>& items = form->BrowseFiles->Items();
  for (std::size_t row = 0; row < items.size(); ++row)
    if (items[row].SubItems[kSubPath] == fileB) form->BrowseFiles->SelectRow(int(row));
  popup->UpdateItems();
  ASSERT_TRUE(item->isEnabled());
  item->trigger();
  ASSERT_TRUE(form->Comparing());
  EXPECT_EQ(View()->FileA(), fileA);
  EXPECT_EQ(View()->FileB(), fileB);
}


TEST_F(CompareMode, TheImageKeysStepBothFilesTogether) {
  // Three pages in each; the second page of B differs from A's in every pixel.
  const QString pagesA = dir.filePath("pages_a.tif"), pagesB = dir.filePath("pages_b.tif");
  test::WriteTiffPages(pagesA.toStdString(), {{4, 4, 10, 20, 30}, {6, 2, 40, 50, 60}, {3, 3, 70, 80, 90}});
  test::WriteTiffPages(pagesB.toStdString(), {{4, 4, 10, 20, 30}, {6, 2, 40, 50, 66}, {3, 3, 70, 80, 90}});
  form->OpenCompareFromCommandLine(pagesA, pagesB);
  ASSERT_TRUE(form->Comparing());
  EXPECT_EQ(View()->ImageCount(), 3u);
  EXPECT_TRUE(View()->Result().Identical());
  View()->SetMode(TCompareView::cmDifference);
  form->ViewImage->SetZoom(2.0);

  Key(Qt::Key_PageDown);
  EXPECT_EQ(View()->ImageIndex(), 1u);
  EXPECT_EQ(View()->Result().Width, 6);
  EXPECT_EQ(View()->Result().DifferingPixels, 12u);
  EXPECT_EQ(View()->Result().MaxDifference, 6);
  EXPECT_TRUE(View()->FiguresText().contains("page 2/3")) << View()->FiguresText().toStdString();
  // The view stays as it was set: mode and zoom.
  EXPECT_EQ(View()->Mode(), TCompareView::cmDifference);
  EXPECT_EQ(View()->Zoom(), 2.0);

  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);  // past the last: nothing changes
  EXPECT_EQ(View()->ImageIndex(), 2u);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(View()->ImageIndex(), 1u);
  EXPECT_TRUE(form->Comparing());
}

}  // namespace
}  // namespace vumo
