#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/jpeg_image.h"
#include "pixels/image_limits.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

// LoadFromMemory, the reader's own entry for bytes in memory (the read test loads from streams).
TJPEGImage LoadBytes(const std::vector<std::uint8_t>& bytes) {
  TJPEGImage image;
  image.LoadFromMemory(bytes.data(), bytes.size());
  return image;
}

std::string ErrorOf(const std::vector<std::uint8_t>& bytes) {
  try {
    LoadBytes(bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

// Offset of the first marker `code` (0xFF code) in the file.
std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code) {
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
  ADD_FAILURE() << "marker not found";
  return 0;
}

// Fixtures written by ImageMagick and cjpeg; how each looks beside Qt's decode is in jpeg/read.tsv.
TEST(JpegImage, FixturesLoadWithoutWarnings) {
  struct Case {
    const char* name;
    bool grey;
  };
  for (const Case& c : {Case{"colour", false}, Case{"colour_444", false}, Case{"progressive", false},
                        Case{"restart", false}, Case{"odd_size", false}, Case{"grey", true}, Case{"cmyk", false}}) {
    SCOPED_TRACE(c.name);
    std::string path = Fixture(std::string("jpeg/") + c.name + ".jpg");
    TJPEGImage image;
    TFileStream stream(path);
    ASSERT_NO_THROW(image.LoadFromStream(stream));
    const TBitmap* bitmap = image.DrawBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->PixelFormat(), c.grey ? pf8bit : pf24bit);
    EXPECT_EQ(image.Grayscale(), c.grey);
    EXPECT_EQ(image.Warning(), "");
  }
}

TEST(JpegImage, PictureLoadsEveryJpegExtension) {
  std::string dir = test::TempDir("jpeg_image");
  auto expected = test::LoadReferencePng(Fixture("jpeg/colour.jpg"));
  for (const char* name : {"a.jpg", "b.JPEG", "c.jpe", "d.jfif"}) {
    auto d = Compare(test::LoadThroughPictureAs(Fixture("jpeg/colour.jpg"), dir, name), expected, 4);
    EXPECT_TRUE(d.sameSize) << name;
    EXPECT_EQ(d.pixelsOff, 0u) << name;
  }
}

TEST(JpegImage, CutShortInTheImageGivesThePartThatIsThere) {
  auto bytes = ReadFile(Fixture("jpeg/colour.jpg"));
  TJPEGImage whole = LoadBytes(bytes);
  std::size_t scan = FindMarker(bytes, 0xDA);
  bytes.resize(scan + (bytes.size() - scan) / 2);
  TJPEGImage part = LoadBytes(bytes);
  EXPECT_NE(part.Warning(), "");
  ASSERT_EQ(part.Width(), 64);
  // The top rows decode exactly as in the whole file.
  auto a = ToRgba8(*part.DrawBitmap()), b = ToRgba8(*whole.DrawBitmap());
  EXPECT_TRUE(std::equal(a.pixels.begin(), a.pixels.begin() + 64 * 4 * 8, b.pixels.begin()));
}

TEST(JpegImage, CorruptOrCutInTheHeaderRaisesLibjpegsMessage) {
  const auto good = ReadFile(Fixture("jpeg/colour.jpg"));
  auto cut = good;
  cut.resize(FindMarker(good, 0xC0) + 6);
  EXPECT_EQ(ErrorOf(cut).rfind("Cannot load JPEG image. ", 0), 0u);
  EXPECT_NE(ErrorOf({}), "");
  EXPECT_NE(ErrorOf({0xFF, 0xD8, 0xFF}), "");
  auto notJpeg = good;
  notJpeg[1] = 0x00;
  EXPECT_EQ(ErrorOf(notJpeg), "Cannot load JPEG image. Not a JPEG file: starts with 0xff 0x00");
  auto badPrecision = good;
  badPrecision[FindMarker(good, 0xC0) + 4] = 3;  // 3-bit samples
  EXPECT_EQ(ErrorOf(badPrecision).rfind("Cannot load JPEG image. ", 0), 0u);
  auto badTable = good;
  std::size_t dht = FindMarker(good, 0xC4);
  for (std::size_t i = dht + 5; i < dht + 21; ++i) badTable[i] = 0xFF;  // impossible code counts
  EXPECT_NE(ErrorOf(badTable), "");
}

TEST(JpegImage, SizeCheckedBeforeDecoding) {
  auto huge = ReadFile(Fixture("jpeg/colour.jpg"));
  std::size_t sof = FindMarker(huge, 0xC0);
  huge[sof + 5] = 0xFF;  // height 65500
  huge[sof + 6] = 0xDC;
  huge[sof + 7] = 0xFF;  // width 65500
  huge[sof + 8] = 0xDC;
  EXPECT_EQ(ErrorOf(huge), FormatMessage(kImageTooLarge, 65500u, 65500u));
}

TEST(JpegImage, FailedLoadKeepsThePicture) {
  TJPEGImage image = LoadBytes(ReadFile(Fixture("jpeg/grey.jpg")));
  std::vector<std::uint8_t> junk = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_THROW(image.LoadFromMemory(junk.data(), junk.size()), EInvalidGraphic);
  EXPECT_EQ(image.Width(), 64);
  EXPECT_TRUE(image.Grayscale());
}

TEST(JpegImage, TruncationsHandled) {
  for (const char* name : {"colour", "progressive", "grey", "cmyk", "restart"})
    test::ExpectTruncationsHandled(ReadFile(Fixture(std::string("jpeg/") + name + ".jpg")),
                                   [](const std::vector<std::uint8_t>& bytes) { LoadBytes(bytes); },
                                   test::TTruncated::kMayLoad);  // libjpeg's warning and the part decoded
}

}  // namespace
}  // namespace vumo

namespace vumo {
namespace {

// A file stream is read a block at a time, memory in place: both give the same picture and
// warning, also for a file cut short and one with markers skipped past a block's end.
TEST(JPEGImage, FileAndMemoryLoadsAgree) {
  const std::string dir = (std::filesystem::temp_directory_path() / "vumo_jpeg_stream_test").string();
  std::filesystem::create_directories(dir);
  for (const char* name : {"colour.jpg", "progressive.jpg", "cmyk.jpg", "grey.jpg", "restart.jpg"}) {
    const std::vector<std::uint8_t> whole = ReadFile(Fixture(std::string("jpeg/") + name));
    for (const std::size_t size : {whole.size(), whole.size() * 2 / 3}) {
      const std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
      const std::string path = dir + "/" + name;
      {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
      }
      TJPEGImage fromFile;
      fromFile.LoadFromFile(path);
      const TJPEGImage fromMemory = LoadBytes(bytes);
      const TBitmap* a = fromFile.DrawBitmap();
      const TBitmap* b = fromMemory.DrawBitmap();
      ASSERT_TRUE(a && b) << name;
      ASSERT_EQ(a->Height(), b->Height());
      ASSERT_EQ(a->BytesPerScanline(), b->BytesPerScanline());
      for (int y = 0; y < a->Height(); ++y)
        ASSERT_EQ(0, std::memcmp(a->ScanLine(y), b->ScanLine(y), a->BytesPerScanline())) << name << " row " << y;
      EXPECT_EQ(fromFile.Warning(), fromMemory.Warning()) << name << " of " << size << " bytes";
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vumo
