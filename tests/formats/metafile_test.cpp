// The metafile reader: headers and sizes, the record list's bounds, and how records reach
// the drawing surface (mapping, objects and their indices, paths, clips, text, bitmaps).
#include <gtest/gtest.h>

#include <cmath>

#include "formats/metafile.h"
#include "formats/picture.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::TEmfWriter;
using test::TWmfWriter;

// Keeps what the player hands over.
struct TRecordingCanvas : TMetafileCanvas {
  struct TShape {
    TCanvasPath path;
    bool stroked = false, filled = false;
    TCanvasPen pen;
    TCanvasBrush brush;
    std::size_t clipSteps = 0;
  };
  std::vector<TShape> shapes;
  std::vector<TCanvasText> texts;
  struct TBlit {
    int width, height;
    double sx, sy, sw, sh;
    TCanvasPoint topLeft, topRight, bottomLeft;
  };
  std::vector<TBlit> blits;
  TCanvasClip clip;

  void DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush, TFillRule) override {
    TShape s{path, pen != nullptr, brush != nullptr, pen ? *pen : TCanvasPen{}, brush ? *brush : TCanvasBrush{},
             clip.steps.size()};
    shapes.push_back(s);
  }
  double DrawText(const TCanvasText& text) override {
    texts.push_back(text);
    return 10;
  }
  void DrawBitmap(const TBitmap& b, double sx, double sy, double sw, double sh, TCanvasPoint tl, TCanvasPoint tr,
                  TCanvasPoint bl) override {
    blits.push_back({b.Width(), b.Height(), sx, sy, sw, sh, tl, tr, bl});
  }
  void SetClip(const TCanvasClip& c) override { clip = c; }
};

TMetafile Load(const std::vector<std::uint8_t>& bytes) {
  TMetafile metafile;
  TMemoryStream stream(bytes.data(), bytes.size());
  metafile.LoadFromStream(stream);
  return metafile;
}

TRecordingCanvas Play(const std::vector<std::uint8_t>& bytes, double width = 96, double height = 96) {
  TMetafile metafile = Load(bytes);
  TRecordingCanvas canvas;
  metafile.Play(canvas, 0, 0, width, height);
  return canvas;
}

void ExpectPoint(TCanvasPoint p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-6);
  EXPECT_NEAR(p.y, y, 1e-6);
}

TEST(Metafile, PillowDrawingsLoadAtTheirFrameSizeAt96Dpi) {
  for (const char* name : {"pillow/drawing.wmf", "pillow/drawing.emf"}) {
    TPicture picture;
    picture.LoadFromFile(test::Fixture(name));
    auto* metafile = dynamic_cast<TMetafile*>(picture.Graphic());
    ASSERT_NE(metafile, nullptr) << name;
    // 1369 units at 1200 per inch; the EMF's frame is 28.99 mm.
    EXPECT_EQ(metafile->Width(), 110) << name;
    EXPECT_EQ(metafile->Height(), 110) << name;
    EXPECT_EQ(metafile->DrawBitmap(), nullptr);
  }
}

TEST(Metafile, PillowWmfDrawsOneRedCircleWithAThickBlackOutline) {
  TRecordingCanvas canvas = Play(test::ReadFile(test::Fixture("pillow/drawing.wmf")), 1369, 1369);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  const auto& circle = canvas.shapes[0];
  EXPECT_EQ(circle.path.points.size(), 69u);
  ExpectPoint(circle.path.points[0], 1587, 925);
  ASSERT_TRUE(circle.filled && circle.stroked);
  EXPECT_EQ(circle.brush.color, 0x0000FFu);
  EXPECT_EQ(circle.pen.color, 0u);
  EXPECT_DOUBLE_EQ(circle.pen.width, 13);
  EXPECT_EQ(circle.pen.cap, TCanvasPen::pcFlat);
  EXPECT_EQ(circle.pen.join, TCanvasPen::pjMiter);
}

TEST(Metafile, PillowEmfDrawsItsCircleAsAFilledAndStrokedPath) {
  TRecordingCanvas canvas = Play(test::ReadFile(test::Fixture("pillow/drawing.emf")), 110, 110);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  const auto& circle = canvas.shapes[0];
  EXPECT_TRUE(circle.filled && circle.stroked);
  EXPECT_EQ(circle.path.verbs.front(), TCanvasPath::pvMoveTo);
  EXPECT_EQ(circle.path.verbs.back(), TCanvasPath::pvClose);
  EXPECT_EQ(circle.brush.color, 0x0000FFu);
  // 13 device pixels at 1200 per inch, drawn at 96.
  EXPECT_NEAR(circle.pen.width, 13 * 110 / (2899 * 1200 / 2540.0), 0.01);
}

TEST(Metafile, HeadersThatAreNotMetafilesRaiseTheReadersErrors) {
  EXPECT_EQ(test::LoadErrorWith<TMetafile>({}), "Stream read error in WMF or EMF file.");
  EXPECT_EQ(test::LoadErrorWith<TMetafile>(std::vector<std::uint8_t>(40, 0x41)),
            "Cannot load image. Invalid or unexpected WMF or EMF image format.");
  // A placeable header cut inside the standard header that follows it.
  auto wmf = TWmfWriter().Bytes();
  EXPECT_EQ(test::LoadErrorWith<TMetafile>({wmf.begin(), wmf.begin() + 30}), "Stream read error in WMF or EMF file.");
  // Zero units per inch, and an empty box.
  EXPECT_NE(test::LoadErrorWith<TMetafile>(TWmfWriter(96, 96, 0).Bytes()), "");
  EXPECT_NE(test::LoadErrorWith<TMetafile>(TWmfWriter(0, 96).Bytes()), "");
  auto emf = TEmfWriter().Bytes();
  emf[40] = 'X';  // the signature
  EXPECT_EQ(test::LoadErrorWith<TMetafile>(emf), "Cannot load image. Invalid or unexpected WMF or EMF image format.");
  // A box that would be a picture far beyond the size limits.
  EXPECT_NE(test::LoadErrorWith<TMetafile>(TWmfWriter(32000, 32000, 1).Bytes()).find("too large"), std::string::npos);
}

TEST(Metafile, APlainWmfTakesItsSizeFromTheWindowItSetsUp) {
  auto plain = TWmfWriter(0, 0, 96, 16, false).Record(0x020B, {5, 10}).Record(0x020C, {40, 120}).Bytes();
  TMetafile metafile = Load(plain);
  EXPECT_EQ(metafile.Width(), 120);
  EXPECT_EQ(metafile.Height(), 40);
  // The window's origin is the picture's top-left corner.
  auto drawn = TWmfWriter(0, 0, 96, 16, false).Record(0x020B, {5, 10}).Record(0x020C, {40, 120})
                   .Rectangle(10, 5, 130, 45).Bytes();
  TRecordingCanvas canvas = Play(drawn, 120, 40);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  ExpectPoint(canvas.shapes[0].path.points[0], 0, 0);
  ExpectPoint(canvas.shapes[0].path.points[2], 120, 40);
  // With no window either, the picture is the extent of what it draws, pens included.
  auto bare = TWmfWriter(0, 0, 96, 16, false).Pen(0, 4, 0).Select(0).Rectangle(10, 20, 50, 30).Bytes();
  metafile = Load(bare);
  EXPECT_EQ(metafile.Width(), 44);
  EXPECT_EQ(metafile.Height(), 14);
  ExpectPoint(Play(bare, 44, 14).shapes.at(0).path.points[0], 2, 2);
  EXPECT_NE(test::LoadErrorWith<TMetafile>(TWmfWriter(0, 0, 96, 16, false).Bytes()), "");
}

TEST(Metafile, ARecordReachingPastTheFileEndsTheDrawingWithWhatCameBefore) {
  auto bytes = TWmfWriter().Rectangle(1, 1, 5, 5).Lying(0x041B, 1000).Bytes();
  TMetafile metafile = Load(bytes);
  EXPECT_EQ(metafile.Records().size(), 1u);
  EXPECT_EQ(Play(bytes).shapes.size(), 1u);
  // A size below the record header ends it the same way.
  bytes = TWmfWriter().Rectangle(1, 1, 5, 5).Lying(0x041B, 2).Rectangle(1, 1, 5, 5).Bytes();
  EXPECT_EQ(Play(bytes).shapes.size(), 1u);
  auto emf = TEmfWriter().Record(43, {1, 1, 5, 5}).Bytes();
  emf.resize(emf.size() - 10);  // cuts into the end-of-file record
  EXPECT_EQ(Play(emf).shapes.size(), 1u);
}

TEST(Metafile, UnknownAndShortRecordsAreSkipped) {
  auto bytes = TWmfWriter()
                   .Record(0x0999, {1, 2, 3})
                   .Record(0x0324, {500, 1, 1})  // a polygon of 500 points that holds one
                   .Rectangle(1, 1, 5, 5)
                   .Bytes();
  EXPECT_EQ(Play(bytes).shapes.size(), 1u);
  auto emf = TEmfWriter().Record(9999, {1}).Record(3, {0, 0, 0, 0, 1000000, 1, 1}).Record(43, {1, 1, 5, 5}).Bytes();
  EXPECT_EQ(Play(emf).shapes.size(), 1u);
}

TEST(Metafile, WmfObjectsTakeTheLowestFreeSlotAndBadIndicesAreIgnored) {
  auto bytes = TWmfWriter(96, 96, 96, 3)
                   .Pen(0, 1, 0x0000FF)     // slot 0
                   .Pen(0, 1, 0x00FF00)     // slot 1
                   .Delete(0)
                   .Pen(0, 1, 0xFF0000)     // slot 0 again
                   .Brush(0, 0x123456)      // slot 2
                   .Brush(0, 0x654321)      // no slot left: not made
                   .Select(0).Select(2)
                   .Rectangle(0, 0, 5, 5)
                   .Select(7).Select(1).Delete(1).Select(1)  // out of range; then a deleted slot
                   .Rectangle(0, 0, 5, 5)
                   .Bytes();
  TRecordingCanvas canvas = Play(bytes);
  ASSERT_EQ(canvas.shapes.size(), 2u);
  EXPECT_EQ(canvas.shapes[0].pen.color, 0xFF0000u);
  EXPECT_EQ(canvas.shapes[0].brush.color, 0x123456u);
  EXPECT_EQ(canvas.shapes[1].pen.color, 0x00FF00u);  // the selection survives the deletion
}

TEST(Metafile, EmfObjectIndicesAndStockObjects) {
  auto bytes = TEmfWriter(96, 96, 4)
                   .Pen(3, 0, 1, 0x0000FF)
                   .Pen(4, 0, 1, 0x00FF00)  // past the handle table
                   .Select(3).Select(4).Select(0x80000004)  // stock black brush
                   .Record(43, {0, 0, 10, 10})
                   .Select(0x80000008).Select(0x80000005)  // null pen, null brush
                   .Record(43, {0, 0, 10, 10})
                   .Bytes();
  TRecordingCanvas canvas = Play(bytes);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  EXPECT_EQ(canvas.shapes[0].pen.color, 0x0000FFu);
  EXPECT_EQ(canvas.shapes[0].brush.color, 0u);
}

TEST(Metafile, MappingModesPlaceLogicalUnits) {
  // Anisotropic: the window 0..960 x 0..480 spread over the viewport.
  auto wmf = TWmfWriter().Record(0x0103, {8}).Record(0x020C, {480, 960}).Rectangle(100, 100, 500, 300).Bytes();
  auto shape = Play(wmf).shapes.at(0);
  ExpectPoint(shape.path.points[0], 10, 20);
  ExpectPoint(shape.path.points[2], 50, 60);

  // EMF: metric modes count up from the viewport origin, in their own units.
  auto emf = TEmfWriter().Record(17, {2}).Record(12, {0, 96}).Record(43, {0, 0, 254, 127}).Bytes();
  shape = Play(emf).shapes.at(0);  // 25.4 mm wide at 96 dpi is 96 pixels; 12.7 mm up is 48
  ExpectPoint(shape.path.points[0], 0, 96);
  ExpectPoint(shape.path.points[2], 96, 48);

  // Isotropic keeps units square: the smaller scale wins.
  emf = TEmfWriter().Record(17, {7}).Record(9, {100, 50}).Record(11, {96, 96}).Record(43, {0, 0, 50, 50}).Bytes();
  ExpectPoint(Play(emf).shapes.at(0).path.points[2], 48, 48);

  // The world transform comes first: scale by two, then move.
  std::vector<std::uint8_t> xform;
  for (float f : {2.0f, 0.0f, 0.0f, 2.0f, 5.0f, 7.0f}) test::PutF32(xform, f);
  emf = TEmfWriter().Raw(35, xform).Record(43, {1, 1, 3, 3}).Bytes();
  ExpectPoint(Play(emf).shapes.at(0).path.points[0], 7, 9);
  // Drawn at twice the frame, everything doubles.
  ExpectPoint(Play(emf, 192, 192).shapes.at(0).path.points[2], 22, 26);
}

TEST(Metafile, SaveAndRestoreBringBackPensMappingAndClip) {
  auto bytes = TWmfWriter()
                   .Pen(0, 1, 0x0000FF).Select(0)
                   .Record(0x001E, {})                          // save
                   .Pen(0, 1, 0x00FF00).Select(1)
                   .Record(0x020C, {48, 48})                    // everything twice as big
                   .Record(0x0416, {20, 20, 0, 0})              // clip
                   .Record(0x0127, {-1})                        // restore
                   .Rectangle(0, 0, 10, 10)
                   .Record(0x0127, {-5})                        // nothing saved that deep
                   .Bytes();
  TRecordingCanvas canvas = Play(bytes);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  EXPECT_EQ(canvas.shapes[0].pen.color, 0x0000FFu);
  ExpectPoint(canvas.shapes[0].path.points[2], 10, 10);
  EXPECT_EQ(canvas.shapes[0].clipSteps, 0u);
}

TEST(Metafile, ClipRectanglesNarrowAndCutOut) {
  auto bytes = TEmfWriter()
                   .Record(30, {10, 10, 50, 50})  // intersect
                   .Record(29, {20, 20, 30, 30})  // exclude
                   .Record(43, {0, 0, 96, 96})
                   .Bytes();
  TRecordingCanvas canvas = Play(bytes);
  ASSERT_EQ(canvas.clip.steps.size(), 2u);
  EXPECT_FALSE(canvas.clip.steps[0].exclude);
  EXPECT_TRUE(canvas.clip.steps[1].exclude);
  ExpectPoint(canvas.clip.steps[0].path.points[2], 50, 50);
  // A region selected by copy with no rectangles removes the clip.
  auto reset = TEmfWriter().Record(30, {10, 10, 50, 50}).Record(75, {0, 5}).Bytes();
  EXPECT_TRUE(Play(reset).clip.steps.empty());
}

TEST(Metafile, ArcsRunCounterClockwiseFromStartToEnd) {
  // A quarter arc of the circle around (50, 50), radius 40: from its right point up to its top.
  auto emf = TEmfWriter().Record(45, {10, 10, 90, 90, 90, 50, 50, 0}).Bytes();
  auto shape = Play(emf).shapes.at(0);
  EXPECT_TRUE(shape.stroked);
  EXPECT_FALSE(shape.filled);
  ExpectPoint(shape.path.points.front(), 90, 50);
  ExpectPoint(shape.path.points.back(), 50, 10);
  EXPECT_EQ(shape.path.points.size(), 4u);  // one cubic
  // Clockwise, the same ends take the other three quarters.
  emf = TEmfWriter().Record(57, {2}).Record(45, {10, 10, 90, 90, 90, 50, 50, 0}).Bytes();
  shape = Play(emf).shapes.at(0);
  EXPECT_EQ(shape.path.points.size(), 10u);
  ExpectPoint(shape.path.points.back(), 50, 10);
  // A pie starts at the centre and is closed and filled.
  auto wmf = TWmfWriter().Record(0x081A, {0, 50, 50, 90, 90, 90, 10, 10}).Bytes();
  shape = Play(wmf).shapes.at(0);
  EXPECT_TRUE(shape.filled);
  ExpectPoint(shape.path.points.front(), 50, 50);
  EXPECT_EQ(shape.path.verbs.back(), TCanvasPath::pvClose);
}

TEST(Metafile, PathsCollectFiguresUntilTheyAreFilledOrStroked) {
  auto emf = TEmfWriter()
                 .Record(59, {})                                        // begin
                 .Record(27, {10, 10})                                  // move
                 .Poly(5, {20, 0, 30, 20, 40, 10})                      // Bézier to
                 .Record(54, {40, 40})                                  // line to
                 .Record(61, {})                                        // close
                 .Record(43, {50, 50, 60, 60})                          // a rectangle joins the path
                 .Record(60, {})                                        // end
                 .Record(62, {0, 0, 0, 0})                              // fill
                 .Record(64, {0, 0, 0, 0})                              // nothing left to stroke
                 .Bytes();
  TRecordingCanvas canvas = Play(emf);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  const auto& path = canvas.shapes[0].path;
  EXPECT_TRUE(canvas.shapes[0].filled);
  EXPECT_FALSE(canvas.shapes[0].stroked);
  const std::vector<TCanvasPath::TVerb> expected = {TCanvasPath::pvMoveTo, TCanvasPath::pvCubicTo, TCanvasPath::pvLineTo,
                                                    TCanvasPath::pvClose,  TCanvasPath::pvMoveTo,  TCanvasPath::pvLineTo,
                                                    TCanvasPath::pvLineTo, TCanvasPath::pvLineTo,  TCanvasPath::pvClose};
  EXPECT_EQ(path.verbs, expected);
}

TEST(Metafile, TextCarriesItsAlignmentColoursAndCharacters) {
  // ANSI through code page 1252: 0x80 is the euro sign.
  std::vector<std::uint8_t> out;
  test::Put16(out, 3);
  for (int c : {0x41, 0x80, 0x7A}) out.push_back(c);
  out.push_back(0);
  test::Put16(out, 40), test::Put16(out, 30);  // y, x
  auto wmf = TWmfWriter()
                 .Font(-20, 700, "Serif")
                 .Select(0)
                 .Record(0x012E, {6 | 24})  // centre, baseline
                 .Record(0x0209, {0x00FF, 0})
                 .Record(0x0102, {1})  // transparent
                 .Raw(0x0521, out)
                 .Bytes();
  TRecordingCanvas canvas = Play(wmf);
  ASSERT_EQ(canvas.texts.size(), 1u);
  const TCanvasText& t = canvas.texts[0];
  EXPECT_EQ(t.text, u"A\u20ACz");
  ExpectPoint(t.origin, 30, 40);
  EXPECT_EQ(t.horizontal, 1);
  EXPECT_EQ(t.vertical, 1);
  EXPECT_EQ(t.color, 0x0000FFu);
  EXPECT_FALSE(t.opaque);
  EXPECT_DOUBLE_EQ(t.font.height, 20);
  EXPECT_FALSE(t.font.cellHeight);
  EXPECT_EQ(t.font.weight, 700);
  EXPECT_EQ(t.font.face, "Serif");

  // UTF-16 with advances, drawn at twice the frame: positions scale too.
  std::vector<std::uint8_t> p(16, 0);
  for (std::uint32_t v : {1u, 0u, 0u}) test::Put32(p, v);  // graphics mode, scales
  for (std::uint32_t v : {5u, 6u, 2u, 76u, 0u, 0u, 0u, 0u, 0u, 80u}) test::Put32(p, v);
  test::Put16(p, u'\u00E9'), test::Put16(p, u'\u4E2D');
  test::Put32(p, 7), test::Put32(p, 9);
  auto emf = TEmfWriter().Raw(84, p).Bytes();
  canvas = Play(emf, 192, 192);
  ASSERT_EQ(canvas.texts.size(), 1u);
  EXPECT_EQ(canvas.texts[0].text, u"\u00E9\u4E2D");
  ExpectPoint(canvas.texts[0].origin, 10, 12);
  ASSERT_EQ(canvas.texts[0].advances.size(), 2u);
  EXPECT_DOUBLE_EQ(canvas.texts[0].advances[1], 14);
}

TEST(Metafile, TextFromTheCurrentPositionMovesItAndTurnsWithItsFont) {
  std::vector<std::uint8_t> out;
  test::Put16(out, 1);
  out.push_back('A'), out.push_back(0);
  test::Put16(out, 0), test::Put16(out, 0);
  auto wmf = TWmfWriter()
                 .Record(0x020C, {48, 48})                 // two pixels a unit
                 .Font(12, 400, "Sans", 450).Select(0)     // 45 degrees, cell height
                 .Record(0x012E, {1})                      // update the current position
                 .Record(0x0214, {7, 3})
                 .Raw(0x0521, out)
                 .Raw(0x0521, out)
                 .Bytes();
  TRecordingCanvas canvas = Play(wmf);
  ASSERT_EQ(canvas.texts.size(), 2u);
  ExpectPoint(canvas.texts[0].origin, 6, 14);
  ExpectPoint(canvas.texts[1].origin, 16, 14);  // the canvas said the first advanced 10 pixels
  EXPECT_DOUBLE_EQ(canvas.texts[0].font.angle, 45);
  EXPECT_DOUBLE_EQ(canvas.texts[0].font.height, 24);
  EXPECT_TRUE(canvas.texts[0].font.cellHeight);
}

TEST(Metafile, StretchDibitsDecodesTheBitmapAndCountsItsSourceFromTheBottom) {
  const auto dib = test::Dib24(2, 4, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0, 0x808080, 0x808080});
  std::vector<std::uint8_t> p;
  test::Put32(p, 0x00CC0020), test::Put16(p, 0);  // SRCCOPY, RGB colours
  for (int v : {2, 2, 0, 0, 40, 20, 10, 5}) test::Put16(p, static_cast<unsigned>(v));  // the bottom half
  p.insert(p.end(), dib.begin(), dib.end());
  auto wmf = TWmfWriter().Raw(0x0F43, p).Bytes();
  TRecordingCanvas canvas = Play(wmf);
  ASSERT_EQ(canvas.blits.size(), 1u);
  const auto& b = canvas.blits[0];
  EXPECT_EQ(b.width, 2);
  EXPECT_EQ(b.height, 4);
  EXPECT_DOUBLE_EQ(b.sy, 2);  // the bottom two rows, counted from the top
  ExpectPoint(b.topLeft, 5, 10);
  ExpectPoint(b.bottomLeft, 5, 50);
  // A bitmap that is not valid draws nothing and stops nothing.
  p.resize(p.size() - 20);
  auto broken = TWmfWriter().Raw(0x0F43, p).Rectangle(0, 0, 5, 5).Bytes();
  canvas = Play(broken);
  EXPECT_TRUE(canvas.blits.empty());
  EXPECT_EQ(canvas.shapes.size(), 1u);
}

TEST(Metafile, BitBltAndStretchBltTakeTheirSourceFromTheTopOrPaintWithTheBrush) {
  const auto dib = test::Dib24(4, 4, std::vector<std::uint32_t>(16, 0x112233));
  auto words = [](std::initializer_list<int> values, const std::vector<std::uint8_t>& tail) {
    std::vector<std::uint8_t> p;
    test::Put32(p, 0x00CC0020);
    for (int v : values) test::Put16(p, static_cast<unsigned>(v));
    p.insert(p.end(), tail.begin(), tail.end());
    return p;
  };
  auto wmf = TWmfWriter()
                 .Raw(0x0940, words({1, 2, 3, 3, 20, 10}, dib))               // ySrc xSrc h w y x
                 .Raw(0x0B41, words({2, 4, 1, 0, 30, 40, 50, 60}, dib))       // sh sw ySrc xSrc h w y x
                 .Brush(0, 0x00FF00).Select(0)
                 .Record(0x0940, {0x0021, 0x00F0, 0, 0, 0, 8, 9, 6, 7})        // PATCOPY, no bitmap
                 .Bytes();
  TRecordingCanvas canvas = Play(wmf);
  ASSERT_EQ(canvas.blits.size(), 2u);
  EXPECT_DOUBLE_EQ(canvas.blits[0].sx, 2);
  EXPECT_DOUBLE_EQ(canvas.blits[0].sy, 1);
  ExpectPoint(canvas.blits[0].topLeft, 10, 20);
  ExpectPoint(canvas.blits[0].topRight, 13, 20);
  EXPECT_DOUBLE_EQ(canvas.blits[1].sw, 4);
  EXPECT_DOUBLE_EQ(canvas.blits[1].sh, 2);
  ExpectPoint(canvas.blits[1].topLeft, 60, 50);
  ExpectPoint(canvas.blits[1].bottomLeft, 60, 80);
  ASSERT_EQ(canvas.shapes.size(), 1u);
  EXPECT_EQ(canvas.shapes[0].brush.color, 0x00FF00u);
  ExpectPoint(canvas.shapes[0].path.points[0], 7, 6);
  ExpectPoint(canvas.shapes[0].path.points[2], 16, 14);

  // EMF StretchBlt: destination, raster operation, source origin, transform, colour, then the
  // bitmap's place in the record and, last, the source size.
  std::vector<std::uint8_t> p(16, 0);
  for (std::int32_t v : {5, 6, 30, 20}) test::Put32(p, static_cast<std::uint32_t>(v));
  test::Put32(p, 0x00CC0020), test::Put32(p, 1), test::Put32(p, 2);
  for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) test::PutF32(p, f);
  test::Put32(p, 0), test::Put32(p, 0);
  test::Put32(p, 108), test::Put32(p, 40), test::Put32(p, 148), test::Put32(p, static_cast<std::uint32_t>(dib.size() - 40));
  test::Put32(p, 3), test::Put32(p, 2);
  p.insert(p.end(), dib.begin(), dib.end());
  canvas = Play(TEmfWriter().Raw(77, p).Bytes());
  ASSERT_EQ(canvas.blits.size(), 1u);
  EXPECT_DOUBLE_EQ(canvas.blits[0].sx, 1);
  EXPECT_DOUBLE_EQ(canvas.blits[0].sy, 2);
  EXPECT_DOUBLE_EQ(canvas.blits[0].sw, 3);
  ExpectPoint(canvas.blits[0].topRight, 35, 6);
  ExpectPoint(canvas.blits[0].bottomLeft, 5, 26);
}

TEST(Metafile, CutShortAtAnyLengthLoadsPartlyOrFailsCleanly) {
  for (const char* name : {"pillow/drawing.wmf", "pillow/drawing.emf"}) {
    test::ExpectTruncationsHandled(test::ReadFile(test::Fixture(name)), [](const std::vector<std::uint8_t>& bytes) {
      TMetafile metafile = Load(bytes);
      TRecordingCanvas canvas;
      metafile.Play(canvas, 0, 0, 50, 50);
    }, test::TTruncated::kMayLoad);
  }
}

}  // namespace
}  // namespace vumo
