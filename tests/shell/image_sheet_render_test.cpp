// The drawn sheet of real files, checked by where each image's own colour lands.
#include "shell/image_sheet_render.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "support/test_support.h"
#include "support/texture_writer.h"
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

TEST(ImageSheetRender, ACappedCubeArrayCountsOnlyItsStoredImages) {
  // 43 cubes of 1 x 1 faces: 258 stored images, then the cross, past what one sheet shows.
  QTemporaryDir dir;
  const std::string path = dir.filePath("cubes.dds").toStdString();
  test::Bytes dds = test::DDSFile(1, 1, test::kDDSFourCCFlag, "DX10", 0, {0, 0, 0, 0}, test::Bytes(43 * 6 * 4, 0x80), 87);
  test::PutLittleEndian32(dds, 136, 0x4);  // a cube map
  test::PutLittleEndian32(dds, 140, 43);   // of 43 layers
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(dds.data()), std::streamsize(dds.size()));
  const TImageSheet sheet = RenderImageSheet(path);
  EXPECT_EQ(sheet.Shown, 256u);
  EXPECT_EQ(sheet.Total, 258u);
}

TEST(ImageSheetRender, PagesOfATiffMakeAGrid) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("pages.tif").toStdString();
  test::WriteTiffPages(path, {{10, 6, 250, 0, 0}, {12, 8, 0, 250, 0}, {14, 10, 0, 0, 250}});
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

}  // namespace
}  // namespace vumo
