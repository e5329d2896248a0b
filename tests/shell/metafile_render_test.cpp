// Metafiles as the viewer paints them: one written file per record family, compared pixel
// by pixel with QPainter drawing the same shapes directly; the Pillow drawings; the view.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "formats/metafile.h"
#include "shell/image_convert.h"
#include "shell/pro_image.h"
#include "shell/qpainter_canvas.h"
#include "shell_test_util.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::TEmfWriter;
using test::TWmfWriter;

constexpr int kSize = 96;

QImage Render(const std::vector<std::uint8_t>& bytes) {
  TMetafile metafile;
  TMemoryStream stream(bytes.data(), bytes.size());
  metafile.LoadFromStream(stream);
  return RenderMetafile(metafile, kSize, kSize);
}

QImage Reference(const std::function<void(QPainter&)>& draw) {
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  draw(painter);
  return image;
}

// Every pixel the same on every channel.
void ExpectSamePixels(const QImage& actual, const QImage& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  int worst = 0, off = 0, painted = 0;
  QPoint where;
  for (int y = 0; y < actual.height(); ++y)
    for (int x = 0; x < actual.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      if (qAlpha(e)) ++painted;
      const int d = std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                              std::abs(qBlue(a) - qBlue(e)), std::abs(qAlpha(a) - qAlpha(e))});
      if (d > 0) ++off;
      if (d > worst) worst = d, where = QPoint(x, y);
    }
  EXPECT_GT(painted, 0) << "the reference paints nothing";
  if (off && qEnvironmentVariableIsSet("VUMO_DUMP")) {
    actual.save(QString("/tmp/mf_actual_%1.png").arg(off));
    expected.save(QString("/tmp/mf_expected_%1.png").arg(off));
  }
  EXPECT_EQ(off, 0) << off << " pixels differ; the worst by " << worst << " at " << where.x() << "," << where.y();
}

QPen Pen(QColor colour, double width, Qt::PenStyle style = Qt::SolidLine) {
  return QPen(colour, width, style, Qt::RoundCap, Qt::RoundJoin);
}

TEST(MetafileRender, RectanglesWithPenAndBrushAndTheirMapping) {
  // Logical units a tenth of a pixel: the pen's 30 units are three pixels.
  auto wmf = TWmfWriter()
                 .Record(0x020C, {960, 960})
                 .Pen(0, 30, 0x0000FF).Select(0)
                 .Brush(0, 0xFF0000).Select(1)
                 .Rectangle(100, 100, 500, 700)
                 .Bytes();
  ExpectSamePixels(Render(wmf), Reference([](QPainter& p) {
                     p.setPen(Pen(Qt::red, 3));
                     p.setBrush(Qt::blue);
                     p.drawRect(QRectF(10, 10, 40, 60));
                   }));
}

TEST(MetafileRender, LinesPolylinesPolygonsAndPolyPolygons) {
  std::vector<std::uint8_t> poly;
  for (int v : {2, 4, 4, 10, 10, 80, 10, 80, 80, 10, 80, 30, 30, 60, 30, 60, 60, 30, 60})
    test::Put16(poly, static_cast<unsigned>(v));
  auto wmf = TWmfWriter()
                 .Pen(0, 2, 0x00AA00).Select(0)
                 .Brush(0, 0x808000).Select(1)
                 .Record(0x0214, {5, 5}).Record(0x0213, {5, 90})                // line
                 .Record(0x0325, {3, 90, 5, 90, 90, 50, 90})                    // polyline
                 .Raw(0x0538, poly)                                             // square with a hole
                 .Record(0x0106, {2})                                           // winding
                 .Record(0x0324, {4, 40, 40, 50, 40, 50, 50, 40, 50})           // polygon
                 .Bytes();
  ExpectSamePixels(Render(wmf), Reference([](QPainter& p) {
                     p.setPen(Pen(QColor(0, 0xAA, 0), 2));
                     p.setBrush(QColor(0, 0x80, 0x80));
                     p.drawLine(QPointF(5, 5), QPointF(90, 5));
                     const QPointF line[] = {{90, 5}, {90, 90}, {50, 90}};
                     p.drawPolyline(line, 3);
                     QPainterPath holed;
                     holed.setFillRule(Qt::OddEvenFill);
                     holed.addPolygon(QPolygonF({{10, 10}, {80, 10}, {80, 80}, {10, 80}}));
                     holed.closeSubpath();
                     holed.addPolygon(QPolygonF({{30, 30}, {60, 30}, {60, 60}, {30, 60}}));
                     holed.closeSubpath();
                     p.drawPath(holed);
                     const QPointF square[] = {{40, 40}, {50, 40}, {50, 50}, {40, 50}};
                     p.drawPolygon(square, 4, Qt::WindingFill);
                   }));
}

TEST(MetafileRender, EllipsesRoundRectsArcsChordsAndPies) {
  auto emf = TEmfWriter()
                 .Pen(1, 0, 3, 0x000000).Select(1)
                 .Brush(2, 0, 0x00FFFF).Select(2)
                 .Record(42, {5, 5, 45, 35})                        // ellipse
                 .Record(44, {50, 5, 90, 45, 20, 10})               // rounded rectangle
                 .Record(45, {5, 50, 45, 90, 45, 70, 25, 0})        // arc, a quarter
                 .Record(46, {50, 50, 90, 90, 70, 50, 90, 70})      // chord, three quarters
                 .Record(47, {20, 40, 60, 80, 60, 60, 20, 60})      // pie, the upper half
                 .Bytes();
  ExpectSamePixels(Render(emf), Reference([](QPainter& p) {
                     p.setPen(Pen(Qt::black, 3));
                     p.setBrush(QColor(0xFF, 0xFF, 0));
                     p.drawEllipse(QRectF(5, 5, 40, 30));
                     p.drawRoundedRect(QRectF(50, 5, 40, 40), 10, 5);
                     p.drawArc(QRectF(5, 50, 40, 40), 0, 90 * 16);
                     p.drawChord(QRectF(50, 50, 40, 40), 90 * 16, 270 * 16);
                     p.drawPie(QRectF(20, 40, 40, 40), 0, 180 * 16);
                   }));
}

TEST(MetafileRender, BeziersAndPathsFilledAndStroked) {
  auto emf = TEmfWriter()
                 .Pen(1, 0, 4, 0x0000FF).Select(1)
                 .Brush(2, 0, 0x00FF00).Select(2)
                 .Poly(2, {5, 90, 20, 5, 70, 5, 90, 90})   // a lone Bézier, stroked
                 .Record(59, {})
                 .Record(27, {20, 60})
                 .Poly(5, {30, 20, 60, 20, 70, 60})
                 .Poly(6, {40, 80})
                 .Record(61, {})
                 .Record(60, {})
                 .Record(63, {0, 0, 0, 0})
                 .Bytes();
  ExpectSamePixels(Render(emf), Reference([](QPainter& p) {
                     p.setPen(Pen(Qt::red, 4));
                     QPainterPath curve;
                     curve.moveTo(5, 90);
                     curve.cubicTo(20, 5, 70, 5, 90, 90);
                     p.strokePath(curve, p.pen());
                     QPainterPath figure;
                     figure.moveTo(20, 60);
                     figure.cubicTo(30, 20, 60, 20, 70, 60);
                     figure.lineTo(40, 80);
                     figure.closeSubpath();
                     p.fillPath(figure, Qt::green);
                     p.strokePath(figure, p.pen());
                   }));
}

TEST(MetafileRender, HatchedBrushesOverAnOpaqueBackground) {
  auto wmf = TWmfWriter()
                 .Record(0x0201, {0xFFFF, 0x00})  // background yellow
                 .Record(0x0102, {2})             // opaque
                 .Pen(5, 0, 0).Select(0)          // no outline
                 .Brush(2, 0xFF0000, 4).Select(1) // blue cross hatch
                 .Rectangle(10, 10, 80, 80)
                 .Bytes();
  ExpectSamePixels(Render(wmf), Reference([](QPainter& p) {
                     QPainterPath area;
                     area.addRect(QRectF(10, 10, 70, 70));
                     p.fillPath(area, QColor(0xFF, 0xFF, 0));
                     p.fillPath(area, QBrush(Qt::blue, Qt::CrossPattern));
                   }));
}

QFont TestFont(int pixels, int weight) {
  QFont font("DejaVu Sans");
  font.setPixelSize(pixels);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

TEST(MetafileRender, AnsiTextCentredOnItsBaselineOverItsBackground) {
  std::vector<std::uint8_t> text;
  test::Put16(text, 4);
  for (char c : std::string("Vumo")) text.push_back(static_cast<std::uint8_t>(c));
  test::Put16(text, 50), test::Put16(text, 48);  // y, x
  auto wmf = TWmfWriter()
                 .Font(-20, 700, "DejaVu Sans").Select(0)
                 .Record(0x012E, {6 | 24})
                 .Record(0x0209, {0x00FF, 0})
                 .Record(0x0201, {0x0000, 0xFF})  // blue background, opaque by default
                 .Raw(0x0521, text)
                 .Bytes();
  ExpectSamePixels(Render(wmf), Reference([](QPainter& p) {
                     const QFont font = TestFont(20, 700);
                     const QFontMetricsF m(font);
                     const double w = m.horizontalAdvance("Vumo");
                     p.fillRect(QRectF(48 - w / 2, 50 - m.ascent(), w, m.ascent() + m.descent()), Qt::blue);
                     p.setFont(font);
                     p.setPen(Qt::red);
                     p.drawText(QPointF(48 - w / 2, 50), "Vumo");
                   }));
}

TEST(MetafileRender, WideTextAtTheTopLeftWithItsOwnAdvances) {
  std::vector<std::uint8_t> p(16, 0);
  for (std::uint32_t v : {1u, 0u, 0u}) test::Put32(p, v);
  for (std::uint32_t v : {10u, 20u, 2u, 76u, 0u, 0u, 0u, 0u, 0u, 80u}) test::Put32(p, v);
  test::Put16(p, u'\u00C9'), test::Put16(p, u'x');
  test::Put32(p, 30), test::Put32(p, 12);
  auto emf = TEmfWriter().Font(1, -24, 400, u"DejaVu Sans").Select(1).Record(18, {1}).Raw(84, p).Bytes();
  ExpectSamePixels(Render(emf), Reference([](QPainter& painter) {
                     const QFont font = TestFont(24, 400);
                     const double ascent = QFontMetricsF(font).ascent();
                     painter.setFont(font);
                     painter.setPen(Qt::black);
                     painter.drawText(QPointF(10, 20 + ascent), QString(QChar(0xC9)));
                     painter.drawText(QPointF(40, 20 + ascent), "x");
                   }));
}

QImage Checker() {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 0, 0)), image.setPixel(1, 0, qRgb(0, 255, 0));
  image.setPixel(0, 1, qRgb(0, 0, 255)), image.setPixel(1, 1, qRgb(255, 255, 255));
  return image;
}

TEST(MetafileRender, DeviceIndependentBitmapsStretchedAndCopied) {
  const auto dib = test::Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  std::vector<std::uint8_t> stretch;
  test::Put32(stretch, 0x00CC0020), test::Put16(stretch, 0);
  for (int v : {2, 2, 0, 0, 40, 40, 10, 10}) test::Put16(stretch, static_cast<unsigned>(v));
  stretch.insert(stretch.end(), dib.begin(), dib.end());
  // BitBlt: the source at 1:1, 2 x 2 pixels at (80, 80).
  std::vector<std::uint8_t> blt(16, 0);
  for (std::int32_t v : {80, 80, 2, 2}) test::Put32(blt, static_cast<std::uint32_t>(v));
  test::Put32(blt, 0x00CC0020), test::Put32(blt, 0), test::Put32(blt, 0);
  for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) test::PutF32(blt, f);
  test::Put32(blt, 0), test::Put32(blt, 0);
  const std::uint32_t offBmi = 8 + 92;
  test::Put32(blt, offBmi), test::Put32(blt, 40), test::Put32(blt, offBmi + 40), test::Put32(blt, 16);
  blt.insert(blt.end(), dib.begin(), dib.end());
  const auto wmfImage = Render(TWmfWriter().Raw(0x0F43, stretch).Bytes());
  const auto emfImage = Render(TEmfWriter().Raw(76, blt).Bytes());
  ExpectSamePixels(wmfImage, Reference([](QPainter& p) { p.drawImage(QRectF(10, 10, 40, 40), Checker()); }));
  ExpectSamePixels(emfImage, Reference([](QPainter& p) { p.drawImage(QRectF(80, 80, 2, 2), Checker()); }));
}

TEST(MetafileRender, PatternBrushesTileTheirBitmapFromTheOrigin) {
  std::vector<std::uint8_t> brush;
  test::Put16(brush, 5), test::Put16(brush, 0);  // DIB pattern, RGB colours
  const auto dib = test::Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  brush.insert(brush.end(), dib.begin(), dib.end());
  auto wmf = TWmfWriter().Raw(0x0142, brush).Select(0).Pen(5, 0, 0).Select(1).Rectangle(11, 12, 70, 60).Bytes();
  ExpectSamePixels(Render(wmf), Reference([](QPainter& p) {
                     QPainterPath area;
                     area.addRect(QRectF(11, 12, 59, 48));
                     p.fillPath(area, QBrush(Checker()));
                   }));
}

TEST(MetafileRender, ClipRectanglesAndSavedStates) {
  auto emf = TEmfWriter()
                 .Pen(1, 5, 0, 0).Select(1)                     // no outline
                 .Brush(2, 0, 0x00FF00).Select(2)
                 .Record(33, {})                                // save
                 .Record(30, {20, 20, 60, 60})                  // keep the inside of this
                 .Record(29, {30, 30, 40, 40})                  // but not this
                 .Record(43, {0, 0, 96, 96})
                 .Record(34, {-1})                              // restore: no clip
                 .Record(43, {70, 70, 90, 90})
                 .Bytes();
  ExpectSamePixels(Render(emf), Reference([](QPainter& p) {
                     QPainterPath visible;
                     visible.addRect(QRectF(20, 20, 40, 40));
                     QPainterPath hole;
                     hole.addRect(QRectF(30, 30, 10, 10));
                     p.fillPath(visible.subtracted(hole), Qt::green);
                     p.fillRect(QRectF(70, 70, 20, 20), Qt::green);
                   }));
}

TEST(MetafileRender, PillowDrawingsShowARedDiscOnTransparency) {
  for (const char* name : {"pillow/drawing.wmf", "pillow/drawing.emf"}) {
    TMetafile metafile;
    metafile.LoadFromFile(test::Fixture(name));
    const QImage image = GraphicToQImage(metafile);
    ASSERT_EQ(image.size(), QSize(110, 110)) << name;
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0) << name;
    // The WMF's circle sits 256 units right and down of the EMF's, as Inkscape wrote it.
    const QPoint centre = std::string(name).ends_with("wmf") ? QPoint(75, 75) : QPoint(55, 55);
    EXPECT_EQ(image.pixel(centre), qRgb(255, 0, 0)) << name;
  }
}

TEST(MetafileRender, TheViewDrawsAStretchedMetafileAtTheSizeItShows) {
  TProImage view;
  view.resize(220, 220);
  view.SetStretch(true);
  view.Picture()->LoadFromFile(test::Fixture("pillow/drawing.emf"));
  const QImage shown = test::Grab(view);
  if (qEnvironmentVariableIsSet("VUMO_DUMP")) shown.save("/tmp/mf_view.png");
  EXPECT_EQ(shown.pixel(110, 110), qRgb(255, 0, 0));
  // The outline, 13 of 1369.6 units, is two pixels wide here: the circle's left edge is dark.
  int darkest = 255;
  for (int x = 0; x < 4; ++x) darkest = std::min(darkest, qRed(shown.pixel(x, 110)));
  EXPECT_LT(darkest, 80);
  EXPECT_FALSE(view.testAttribute(Qt::WA_OpaquePaintEvent));
}

}  // namespace
}  // namespace vumo
