#include "formats/bitmap.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "formats/picture.h"
#include "formats/stream.h"
#include "pixels/image_limits.h"
#include "support/test_support.h"

namespace vumo {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytesAndStartBlank) {
  TBitmap bitmap;
  const struct { TPixelFormat format; int width; std::size_t rowBytes; } cases[] = {
      {pf1bit, 33, 8}, {pf4bit, 9, 8}, {pf8bit, 5, 8}, {pf15bit, 3, 8}, {pf24bit, 5, 16}, {pf32bit, 3, 12}};
  for (const auto& c : cases) {
    bitmap.SetPixelFormat(c.format);
    bitmap.SetSize(c.width, 2);
    EXPECT_EQ(bitmap.BytesPerScanline(), c.rowBytes) << c.format;
    for (std::size_t i = 0; i < c.rowBytes; ++i) EXPECT_EQ(bitmap.ScanLine(1)[i], 0);
    bitmap.ReleaseImage();
  }
}

TEST(Bitmap, ResizingKeepsTheOverlapAndScanLinesAreChecked) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(4, 4);
  bitmap.ScanLine(1)[2] = 9;
  bitmap.SetSize(8, 2);
  EXPECT_EQ(bitmap.ScanLine(1)[2], 9);
  EXPECT_THROW(bitmap.ScanLine(2), EInvalidGraphic);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphic);
}

TEST(Bitmap, SizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  EXPECT_THROW(bitmap.SetSize(static_cast<int>(kMaxImageSide) + 1, 1), EInvalidGraphic);
  EXPECT_THROW(bitmap.SetSize(65535, 65535), EInvalidGraphic);
  EXPECT_EQ(bitmap.Width(), 0);
  bitmap.SetSize(16384, 16384);  // the largest texture allowed is lazily zeroed memory
  EXPECT_EQ(bitmap.Width(), 16384);
}

// A large picture's memory, once freed, may serve a next picture that is written whole,
// never one that must start blank; either way row padding is blank and the palette stays.
TEST(Bitmap, FreedMemoryServesOnlyPicturesWrittenWhole) {
  constexpr int kSide = 1499;  // 4497 bytes a row, padded to 4500; far past the mapped size
  auto freedFull = [] {
    TBitmap used;
    used.SetPixelFormat(pf24bit);
    used.SetSize(kSide, kSide);
    for (int y = 0; y < kSide; ++y) std::fill_n(used.ScanLine(y), used.BytesPerScanline(), std::uint8_t{0x77});
  };
  freedFull();
  TBitmap blank;
  blank.SetPixelFormat(pf24bit);
  blank.SetSize(kSide, kSide);
  for (int y = 0; y < kSide; ++y) {
    const std::uint8_t* row = blank.ScanLine(y);
    ASSERT_TRUE(std::all_of(row, row + blank.BytesPerScanline(), [](std::uint8_t b) { return b == 0; })) << y;
  }

  freedFull();
  TBitmap written;
  written.SetPixelFormat(pf24bit);
  written.SetPalette(TLogPalette(2, TPaletteEntry{1, 2, 3, 0}));
  written.SetSizeToOverwrite(kSide, kSide);
  EXPECT_EQ(written.Width(), kSide);
  EXPECT_EQ(written.Height(), kSide);
  EXPECT_EQ(written.Palette().size(), 2u);
  for (int y = 0; y < kSide; ++y) {
    const std::uint8_t* row = written.ScanLine(y);
    for (std::size_t i = kSide * 3; i < written.BytesPerScanline(); ++i) ASSERT_EQ(row[i], 0) << y;
  }
}

TEST(Bitmap, CopiesAreDeepAndPalettesAreCapped) {
  TBitmap a;
  a.SetPixelFormat(pf8bit);
  a.SetSize(3, 3);
  a.ScanLine(2)[1] = 42;
  a.SetPalette(TLogPalette(300, TPaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(a.Palette().size(), 256u);
  TBitmap b;
  b.Assign(a);
  a.ScanLine(2)[1] = 0;
  EXPECT_EQ(b.ScanLine(2)[1], 42);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_TRUE(b.HasPalette());
}

TEST(Streams, ExactReadsRaiseAtTheEndAndSeeksAreClamped) {
  const std::uint8_t bytes[] = {1, 2, 3};
  TMemoryStream stream(bytes, sizeof bytes);
  std::uint8_t buffer[4] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 3u);
  stream.SetPosition(1);
  try {
    stream.ReadBuffer(buffer, 3);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_EQ(stream.Seek(-10, TSeekOrigin::soCurrent), 0);
  EXPECT_EQ(stream.Seek(INT64_MAX, TSeekOrigin::soCurrent), INT64_MAX);
  EXPECT_EQ(stream.Read(buffer, 1), 0u);
  EXPECT_EQ(stream.Remaining(), 0);
}

// A folder opens on Linux and claims a size of up to 2^63 bytes; readers that size their
// buffers by what the stream has left would allocate gigabytes before the first read failed.
TEST(Streams, AFolderIsNotAFileToRead) {
  const std::string folder = test::TempDir("streams") + "/folder.jpg";
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  try {
    TFileStream stream(folder);
    FAIL() << "opened with size " << stream.Size();
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(folder), std::string::npos) << e.what();
  }
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile(folder), EFOpenError);
  EXPECT_EQ(picture.Graphic(), nullptr);
}

// Nobody writes to this pipe: opening it to read must not wait for a writer.
TEST(Streams, APipeNamedLikeAPictureIsRefusedWithoutWaiting) {
  const std::string pipe = test::TempDir("streams") + "/pipe.tga";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  try {
    TFileStream stream(pipe);
    FAIL() << "opened a pipe";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("Not a regular file"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TFileStream("/dev/null"), EFOpenError);
}

}  // namespace
}  // namespace vumo
