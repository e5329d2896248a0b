// The drawn sheet of real files, checked by where each image's own colour lands.
#include "shell/image_sheet_render.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "support/test_support.h"
#include "support/tiff_pages.h"

namespace vumo {
namespace {

// Where a colour lies on the sheet: the box around its pixels and how many there are.
struct TFound {
  QRect box;
  int pixels = 0;
};

TFound Find(const QImage& sheet, QRgb colour) {
  TFound found;
  for (int y = 0; y < sheet.height(); ++y)
    for (int x = 0; x < sheet.width(); ++x)
      if ((sheet.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu)) {
        found.box = found.box.united(QRect(x, y, 1, 1));
        ++found.pixels;
      }
  return found;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// A cube map of one level, each face of one colour, A8R8G8B8.
std::vector<std::uint8_t> CubeDds(std::uint32_t side, const QRgb (&faces)[6]) {
  std::vector<std::uint8_t> out(128, 0);
  auto put = [&out](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  out[0] = 'D', out[1] = 'D', out[2] = 'S', out[3] = ' ';
  put(4, 124);
  put(8, 0x1 | 0x2 | 0x4 | 0x1000);  // caps, height, width, pixel format
  put(12, side);
  put(16, side);
  put(76, 32);
  put(80, 0x40 | 0x1);  // RGB with alpha
  put(88, 32);
  put(92, 0xFF0000), put(96, 0xFF00), put(100, 0xFF), put(104, 0xFF000000);
  put(108, 0x1000 | 0x8);   // a texture of several surfaces
  put(112, 0x200 | 0xFC00);  // a cube map of all six faces
  for (QRgb face : faces)
    for (std::uint32_t i = 0; i < side * side; ++i)
      out.insert(out.end(), {static_cast<std::uint8_t>(qBlue(face)), static_cast<std::uint8_t>(qGreen(face)),
                             static_cast<std::uint8_t>(qRed(face)), 255});
  return out;
}

TEST(ImageSheetRender, ACubeMapsLevelsLieInOneRowAFace) {
  // tests/data/dds/cube.dds: six faces of 4 x 4 and 2 x 2, the second level half as bright.
  const QRgb faces[6] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0), qRgb(0, 255, 255),
                         qRgb(255, 0, 255)};
  const TImageSheet sheet = RenderImageSheet(test::Fixture("dds/cube.dds"));
  EXPECT_EQ(sheet.Shown, 12u);
  EXPECT_EQ(sheet.Total, 12u);  // the cross is made of the faces, not shown again
  int above = -1;
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    const TFound first = Find(sheet.Image, faces[f]);
    const TFound second = Find(sheet.Image, qRgb(qRed(faces[f]) / 2, qGreen(faces[f]) / 2, qBlue(faces[f]) / 2));
    EXPECT_EQ(first.pixels, 16);
    EXPECT_EQ(first.box.size(), QSize(4, 4));
    EXPECT_EQ(second.pixels, 4);
    EXPECT_EQ(second.box.size(), QSize(2, 2));
    EXPECT_EQ(second.box.top(), first.box.top());
    EXPECT_GT(second.box.left(), first.box.right());
    EXPECT_GT(first.box.top(), above);
    above = first.box.bottom();
  }
}

TEST(ImageSheetRender, ACubeMapOfOneLevelIsACrossOfFacesThatMeet) {
  const QRgb faces[6] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0), qRgb(0, 200, 200),
                         qRgb(200, 0, 200)};
  QTemporaryDir dir;
  const std::string path = dir.filePath("cube.dds").toStdString();
  Write(path, CubeDds(32, faces));
  const TImageSheet sheet = RenderImageSheet(path);
  EXPECT_EQ(sheet.Shown, 6u);
  const int column[6] = {2, 0, 1, 1, 1, 3}, row[6] = {1, 1, 0, 2, 1, 1};
  const QPoint origin = Find(sheet.Image, faces[1]).box.topLeft() - QPoint(0, 32);  // -X: left, middle
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    const TFound found = Find(sheet.Image, faces[f]);
    EXPECT_EQ(found.box, QRect(origin + QPoint(32 * column[f], 32 * row[f]), QSize(32, 32)));
    // The face's name is written over it.
    EXPECT_LT(found.pixels, 32 * 32);
    EXPECT_GT(found.pixels, 32 * 32 / 2);
  }
}

TEST(ImageSheetRender, PagesOfATiffMakeAGrid) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("pages.tif").toStdString();
  Write(path, test::TiffPages({{10, 6, 250, 0, 0}, {12, 8, 0, 250, 0}, {14, 10, 0, 0, 250}}));
  const TImageSheet sheet = RenderImageSheet(path);
  EXPECT_EQ(sheet.Shown, 3u);
  const TFound red = Find(sheet.Image, qRgb(250, 0, 0)), green = Find(sheet.Image, qRgb(0, 250, 0)),
               blue = Find(sheet.Image, qRgb(0, 0, 250));
  EXPECT_EQ(red.box.size(), QSize(10, 6));
  EXPECT_EQ(green.box.size(), QSize(12, 8));
  EXPECT_EQ(blue.box.size(), QSize(14, 10));
  EXPECT_EQ(red.pixels + green.pixels + blue.pixels, 60 + 96 + 140);
  // Two columns: the second page beside the first, the third under it.
  EXPECT_EQ(green.box.top(), red.box.top());
  EXPECT_GT(green.box.left(), red.box.right());
  EXPECT_EQ(blue.box.left(), red.box.left());
  EXPECT_GT(blue.box.top(), green.box.bottom());
}

TEST(ImageSheetRender, AFileOfManyImagesShowsTheFirstOnes) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("many.tif").toStdString();
  std::vector<test::TTiffPage> pages(kMaxSheetImages + 44, test::TTiffPage{2, 2, 9, 99, 199});
  Write(path, test::TiffPages(pages));
  const TImageSheet sheet = RenderImageSheet(path);
  EXPECT_EQ(sheet.Shown, kMaxSheetImages);
  EXPECT_EQ(sheet.Total, kMaxSheetImages + 44);
  EXPECT_EQ(Find(sheet.Image, qRgb(9, 99, 199)).pixels, static_cast<int>(4 * kMaxSheetImages));
}

TEST(ImageSheetRender, AFileThatDoesNotLoadRaisesItsError) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("broken.tif").toStdString();
  Write(path, {'I', 'I', 42, 0, 8, 0});
  EXPECT_THROW(RenderImageSheet(path), std::exception);
}

TEST(ImageSheetRender, TheBitmapAndThePngHoldTheSheetsPixels) {
  const TImageSheet sheet = RenderImageSheet(test::Fixture("dds/cube.dds"));
  TBitmap bitmap;
  SheetToBitmap(sheet.Image, bitmap);
  ASSERT_EQ(bitmap.Width(), sheet.Image.width());
  ASSERT_EQ(bitmap.Height(), sheet.Image.height());
  std::vector<std::uint8_t> png;
  EncodeSheetPng(sheet.Image, [&png](const std::uint8_t* bytes, std::size_t count) { png.insert(png.end(), bytes, bytes + count); });
  QImage decoded;
  ASSERT_TRUE(decoded.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
  for (int y = 0; y < sheet.Image.height(); y += 3)
    for (int x = 0; x < sheet.Image.width(); x += 3) {
      const QRgb want = sheet.Image.pixel(x, y);
      const std::uint8_t* p = bitmap.ScanLine(y) + 4 * x;
      ASSERT_EQ(qRgb(p[2], p[1], p[0]), qRgb(qRed(want), qGreen(want), qBlue(want))) << x << ", " << y;
      ASSERT_EQ(decoded.pixel(x, y), want | 0xFF000000u) << x << ", " << y;
    }
}

}  // namespace
}  // namespace vumo
