// Files that declare far more than they hold must cost little: each is refused or loaded
// within a capped address space, and the pictures too large for their file are refused
// unless the caller trusts the file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "formats/format_registry.h"
#include "formats/messages.h"
#include "formats/picture.h"
#include "formats/png.h"
#include "formats/tiff.h"
#include "formats/memory_limit.h"
#include "pixels/image_limits.h"
#include "support/hostile_files.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::HostilePng;
using test::RunUnderMemoryLimit;

std::string WriteTemp(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A 16384 x 16384 16-bit RGBA interlaced header whose data, a zlib header alone, holds no row.
std::vector<std::uint8_t> InterlacedWithoutRows() { return HostilePng(16384, 16384, 16, 6, true, {0x78, 0x9C}); }

TEST(PlausibleSize, OnlyLargePicturesFromTinyFilesAreImplausible) {
  // Beneath the pixel budget any file size will do.
  EXPECT_FALSE(TooLargeForFile(9000, 9000, 1));
  // ImageMagick's 16384 x 16384 RGBA of one colour deflates to about a megabyte; one bit a
  // pixel of one colour to 32 KiB.
  EXPECT_FALSE(TooLargeForFile(16384, 16384, 1 << 20));
  EXPECT_FALSE(TooLargeForFile(16384, 16384, 32 << 10));
  EXPECT_TRUE(TooLargeForFile(16384, 16384, 186));
  EXPECT_TRUE(TooLargeForFile(16384, 16384, (16384 * 16384) / kMaxPixelsPerFileByte));
  EXPECT_FALSE(TooLargeForFile(16384, 16384, (16384 * 16384) / kMaxPixelsPerFileByte + 1));
  // Sizes past what multiplication holds are implausible, not wrapped round to small.
  EXPECT_TRUE(TooLargeForFile(UINT64_MAX, 3, 1 << 30));
  // A picture with float samples spends the budget at a fifth of the pixels.
  EXPECT_FALSE(TooLargeForFile(7937, 7899, 506));
  EXPECT_TRUE(TooLargeForFile(7937, 7899, 506, kFloatPictureBytesPerPixel));
  EXPECT_FALSE(TooLargeForFile(4000, 4000, 1, kFloatPictureBytesPerPixel));
  EXPECT_FALSE(TooLargeForFile(7937, 7899, 7937 * 7899 / kMaxPixelsPerFileByte + 1, kFloatPictureBytesPerPixel));
}

TEST(HostileFiles, PicturesTooLargeForTheirFileAreRefusedWithTheirOwnError) {
  if (!test::kMemoryLimitWorks) GTEST_SKIP() << "no address-space cap under AddressSanitizer";
  const std::string dir = test::TempDir("hostile-refused");
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } files[] = {
      {"interlaced.png", InterlacedWithoutRows()},
      {"grey_deflate.tif", test::THostileTiff{}.Bytes()},
      {"cmyk16_packbits.tif", test::THostileTiff{16384, 16383, 16, 4, 5, 32773, 1, {0x81, 0}}.Bytes()},
  };
  for (const auto& file : files) {
    const std::string path = WriteTemp(dir, file.name, file.bytes);
    std::string message;
    EXPECT_TRUE(RunUnderMemoryLimit(test::kHostileFileMemory, [&] {
      TPicture picture;
      try {
        picture.LoadFromFile(path);
      } catch (const EPictureTooLargeForFile&) {
        throw;
      } catch (const Exception& error) {
        throw Exception(std::string("wrong error: ") + error.what());
      }
    }, &message)) << file.name;
    EXPECT_EQ(message.rfind("Cannot load image. The picture is too large for its file (", 0), 0u)
        << file.name << ": " << message;
  }
}

TEST(HostileFiles, TrustedHugeHeadersStillCostLittle) {
  if (!test::kMemoryLimitWorks) GTEST_SKIP() << "no address-space cap under AddressSanitizer";
  const std::string dir = test::TempDir("hostile-trusted");
  const std::string path = WriteTemp(dir, "interlaced.png", InterlacedWithoutRows());
  std::string message;
  long peak = 0;
  EXPECT_TRUE(RunUnderMemoryLimit(test::kHostileFileMemory, [&] {
    TPicture picture;
    picture.RefuseTooLargeForFile = false;  // as the viewer loads after its question
    picture.LoadFromFile(path);
  }, &message, &peak));
  // The data ends before its first row: the stream's read error, and the gibibyte bitmap
  // never touched by a background fill.
  EXPECT_EQ(message, kStreamReadError);
  EXPECT_LT(peak, 256L << 10) << "kilobytes resident";
}

TEST(HostileFiles, AnEpsPreviewEndsWhereItsHeaderSays) {
  std::vector<std::uint8_t> eps = test::ReadFile(test::Fixture("tiff/preview.eps"));
  ASSERT_EQ(test::LoadErrorWith<TEPSGraphic>(eps), "");
  // The TIFF's directory lies behind the pixels, past a preview declared shorter than it.
  const std::uint32_t shorter = 9000;
  for (int i = 0; i < 4; ++i) eps[24 + i] = static_cast<std::uint8_t>(shorter >> (8 * i));
  EXPECT_NE(test::LoadErrorWith<TEPSGraphic>(eps), "");
}

TEST(HostileFiles, OneByteStripsInAnyOrderReadTheSameFromAFile) {
  const std::string dir = test::TempDir("hostile-strips");
  for (const bool shuffled : {false, true}) {
    const std::vector<std::uint8_t> bytes = test::OneByteStripsTiff(20000, shuffled);
    const std::string path = WriteTemp(dir, shuffled ? "shuffled.tif" : "ordered.tif", bytes);
    TTIFFGraphic fromFile, fromMemory;
    TFileStream file(path);
    fromFile.LoadFromStream(file);
    TMemoryStream memory(bytes.data(), bytes.size());
    fromMemory.LoadFromStream(memory);
    ASSERT_EQ(fromFile.Height(), 20000);
    for (int y = 0; y < 20000; ++y) {
      ASSERT_EQ(fromFile.ScanLine(y)[0], fromMemory.ScanLine(y)[0]) << y;
      ASSERT_EQ(fromFile.ScanLine(y)[0], static_cast<std::uint8_t>(y * 7)) << y;
    }
  }
}

}  // namespace
}  // namespace vumo
