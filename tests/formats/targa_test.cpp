#include "formats/targa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

// A Targa file put together field by field.
struct TargaFile {
  std::uint8_t imageType = 2;
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::uint8_t pixelSize = 24;
  std::uint8_t descriptor = 0;
  std::uint8_t colorMapType = 0;
  std::uint16_t colorMapOrigin = 0;
  std::uint16_t colorMapLength = 0;
  std::uint8_t colorMapEntrySize = 0;
  Bytes id{};
  Bytes colorMap{};
  Bytes pixels{};

  Bytes Build() const {
    Bytes b = {static_cast<std::uint8_t>(id.size()), colorMapType, imageType,
               static_cast<std::uint8_t>(colorMapOrigin), static_cast<std::uint8_t>(colorMapOrigin >> 8),
               static_cast<std::uint8_t>(colorMapLength), static_cast<std::uint8_t>(colorMapLength >> 8),
               colorMapEntrySize, 0, 0, 0, 0,
               static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
               static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8), pixelSize, descriptor};
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), colorMap.begin(), colorMap.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

// The bitmap's pixel bytes without row padding, top row first.
Bytes PixelBytes(const TBitmap& bitmap) {
  const std::size_t rowBytes = static_cast<std::size_t>(bitmap.Width()) * BitsPerPixelOf(bitmap.PixelFormat()) / 8;
  Bytes out;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* line = bitmap.ScanLine(y);
    out.insert(out.end(), line, line + rowBytes);
  }
  return out;
}

template <typename E>
std::string MessageOf(const Bytes& bytes) {
  TTargaGraphic graphic;
  try {
    test::LoadInto(graphic, bytes);
  } catch (const E& e) {
    EXPECT_TRUE(graphic.Empty());
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "loaded";
}

// A map that starts at entry 5 colours pixel values 5 and 6; values below the origin and
// past the map show black.
TEST(TargaReader, ColourMapOriginPlacesTheEntries) {
  TargaFile file{.imageType = 1, .width = 4, .pixelSize = 8, .colorMapType = 1, .colorMapOrigin = 5,
                 .colorMapLength = 2, .colorMapEntrySize = 24,
                 .colorMap = {10, 20, 30, 40, 50, 60},  // blue, green, red
                 .pixels = {5, 6, 0, 7}};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  const test::Rgba8Image rgba = test::ToRgba8(graphic);
  const Bytes expected = {30, 20, 10, 255, 60, 50, 40, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  EXPECT_EQ(rgba.pixels, expected);

  // 16-bit entries and an origin past the last pixel value give an all-black map.
  file.colorMapEntrySize = 16;
  file.colorMapOrigin = 300;
  file.colorMap = {0xFF, 0x7F, 0xFF, 0x7F};
  test::LoadInto(graphic, file.Build());
  EXPECT_EQ(graphic.Palette().size(), 256u);
  for (const TPaletteEntry& entry : graphic.Palette()) EXPECT_EQ(entry, TPaletteEntry{});
}

// ---- Loads through the picture ----

TEST(TargaReader, ExtensionsOfAnyCaseLoadThroughThePicture) {
  const std::string source = test::Fixture("kimageformats/tga/rgb.tga");
  const test::Rgba8Image expected = test::LoadReferencePng(test::Fixture("kimageformats/tga/rgb.png"));
  const std::string dir = test::TempDir("targa_extensions");
  for (const char* name : {"photo.TGA", "photo.Tga", "photo.tga", "archive.tar.tga", "photo.icb", "photo.VST"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(test::Compare(test::LoadThroughPictureAs(source, dir, name), expected).pixelsOff, 0u);
    TPicture picture;
    picture.LoadFromFile(dir + "/" + name);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassType(), TTargaGraphic::ClassInfo());
  }
}

// ---- Layouts ----

TEST(TargaReader, BottomUpAndTopDownFilesGiveTheSameBitmap) {
  // Three rows of two 24-bit pixels, stored bottom row first and top row first.
  const Bytes top = {1, 2, 3, 4, 5, 6}, middle = {7, 8, 9, 10, 11, 12}, bottom = {13, 14, 15, 16, 17, 18};
  TargaFile bottomUp{.width = 2, .height = 3};
  bottomUp.pixels = bottom;
  bottomUp.pixels.insert(bottomUp.pixels.end(), middle.begin(), middle.end());
  bottomUp.pixels.insert(bottomUp.pixels.end(), top.begin(), top.end());
  TargaFile topDown{.width = 2, .height = 3, .descriptor = 0x20};
  topDown.pixels = top;
  topDown.pixels.insert(topDown.pixels.end(), middle.begin(), middle.end());
  topDown.pixels.insert(topDown.pixels.end(), bottom.begin(), bottom.end());

  TTargaGraphic a, b;
  test::LoadInto(a, bottomUp.Build());
  test::LoadInto(b, topDown.Build());
  EXPECT_EQ(a.PixelFormat(), pf24bit);
  EXPECT_EQ(PixelBytes(a), topDown.pixels);
  EXPECT_EQ(PixelBytes(b), topDown.pixels);

  // The same rows run-length coded: a run of two in the top row, literals elsewhere.
  TargaFile rleTopDown{.imageType = 10, .width = 2, .height = 2, .descriptor = 0x20};
  rleTopDown.pixels = {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9};
  TargaFile rleBottomUp{.imageType = 10, .width = 2, .height = 2};
  rleBottomUp.pixels = {0x01, 4, 5, 6, 7, 8, 9, 0x81, 1, 2, 3};
  TTargaGraphic c, d;
  test::LoadInto(c, rleTopDown.Build());
  test::LoadInto(d, rleBottomUp.Build());
  EXPECT_EQ(PixelBytes(c), (Bytes{1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(PixelBytes(d), PixelBytes(c));
}

TEST(TargaReader, ThirtyTwoBitPixelsKeepTheirAlphaBytes) {
  TargaFile raw{.width = 3, .height = 1, .pixelSize = 32, .descriptor = 0x28};
  raw.pixels = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255};
  TTargaGraphic graphic;
  test::LoadInto(graphic, raw.Build());
  EXPECT_EQ(graphic.PixelFormat(), pf32bit);
  EXPECT_EQ(PixelBytes(graphic), raw.pixels);

  TargaFile rle{.imageType = 10, .width = 3, .height = 1, .pixelSize = 32};
  rle.pixels = {0x82, 1, 2, 3, 77};
  test::LoadInto(graphic, rle.Build());
  EXPECT_EQ(PixelBytes(graphic), (Bytes{1, 2, 3, 77, 1, 2, 3, 77, 1, 2, 3, 77}));
}

TEST(TargaReader, GreyRunLengthImageSkipsADeclaredColourMap) {
  TargaFile file{.imageType = 11, .width = 4, .height = 1, .pixelSize = 8, .colorMapType = 1,
                 .colorMapLength = 2, .colorMapEntrySize = 24};
  file.colorMap = {0x81, 0x81, 0x81, 0x81, 0x81, 0x81};  // would decode as packets if not skipped
  file.pixels = {0x83, 0x40};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  EXPECT_EQ(graphic.PixelFormat(), pf8bit);
  EXPECT_EQ(PixelBytes(graphic), (Bytes{0x40, 0x40, 0x40, 0x40}));
  ASSERT_EQ(graphic.Palette().size(), 256u);
  EXPECT_EQ(graphic.Palette()[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(graphic.Palette()[0x40], (TPaletteEntry{0x40, 0x40, 0x40, 0}));
  EXPECT_EQ(graphic.Palette()[255], (TPaletteEntry{255, 255, 255, 0}));
}

TEST(TargaReader, ColourMapAfterALongIdentificationField) {
  TargaFile file{.imageType = 1, .width = 3, .height = 1, .pixelSize = 8, .colorMapType = 1,
                 .colorMapLength = 3, .colorMapEntrySize = 24};
  file.id = Bytes(255, 0xAB);
  file.colorMap = {0, 0, 255, 0, 255, 0, 255, 0, 0};  // blue, green, red order: red, green, blue
  file.pixels = {2, 1, 0};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  ASSERT_EQ(graphic.Palette().size(), 3u);
  EXPECT_EQ(graphic.Palette()[0], (TPaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ(graphic.Palette()[2], (TPaletteEntry{0, 0, 255, 0}));
  EXPECT_EQ(PixelBytes(graphic), file.pixels);
}

TEST(TargaReader, SixteenBitColourMapEntries) {
  TargaFile file{.imageType = 9, .width = 5, .height = 1, .pixelSize = 8, .colorMapType = 1,
                 .colorMapLength = 4, .colorMapEntrySize = 16};
  file.colorMap = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0xFF};  // red, green, blue, white with the top bit
  file.pixels = {0x01, 3, 2, 0x82, 1};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  const TLogPalette expected = {{248, 0, 0, 0}, {0, 248, 0, 0}, {0, 0, 248, 0}, {248, 248, 248, 0}};
  EXPECT_EQ(graphic.Palette(), expected);
  EXPECT_EQ(PixelBytes(graphic), (Bytes{3, 2, 1, 1, 1}));

  // Quadruple entries drop their fourth byte; entries past 256 are read and not used.
  TargaFile quads{.imageType = 1, .width = 1, .height = 1, .pixelSize = 8, .colorMapType = 1,
                  .colorMapLength = 300, .colorMapEntrySize = 32};
  quads.colorMap.resize(300 * 4, 0x11);
  quads.colorMap[4 * 299] = 0x99;
  quads.pixels = {0x05};
  test::LoadInto(graphic, quads.Build());
  EXPECT_EQ(graphic.Palette().size(), 256u);
  EXPECT_EQ(PixelBytes(graphic), Bytes{0x05});
}

TEST(TargaReader, FifteenBitPixelsAreCopiedAsStored) {
  TargaFile file{.imageType = 10, .width = 3, .height = 1, .pixelSize = 16, .descriptor = 0x20};
  file.pixels = {0x00, 0x1F, 0x80, 0x81, 0xE0, 0x03};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  EXPECT_EQ(graphic.PixelFormat(), pf15bit);
  EXPECT_EQ(PixelBytes(graphic), (Bytes{0x1F, 0x80, 0xE0, 0x03, 0xE0, 0x03}));
}

TEST(TargaReader, RightToLeftRowsAreMirroredBack) {
  TargaFile file{.width = 3, .height = 1, .descriptor = 0x30};
  file.pixels = {7, 8, 9, 4, 5, 6, 1, 2, 3};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  EXPECT_EQ(PixelBytes(graphic), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// ---- Run-length rows ----

TEST(TargaReader, PacketsCrossingARowEndAreCutAtTheRow) {
  // Each row is decoded on its own: the rest of a packet that spills over is passed by.
  TargaFile run{.imageType = 11, .width = 2, .height = 2, .pixelSize = 8, .descriptor = 0x20};
  run.pixels = {0x83, 'A', 0x01, 'B', 'C'};
  TTargaGraphic graphic;
  test::LoadInto(graphic, run.Build());
  EXPECT_EQ(PixelBytes(graphic), (Bytes{'A', 'A', 'B', 'C'}));

  TargaFile literal = run;
  literal.pixels = {0x02, 'A', 'B', 'X', 0x81, 'D'};
  test::LoadInto(graphic, literal.Build());
  EXPECT_EQ(PixelBytes(graphic), (Bytes{'A', 'B', 'D', 'D'}));
}

TEST(TargaReader, RunLengthDataEndingAtTheFileEndLoads) {
  TargaFile file{.imageType = 10, .width = 200, .height = 2, .descriptor = 0x20};
  file.pixels = {0xFF, 1, 2, 3, 0xC7, 1, 2, 3, 0xC7, 4, 5, 6, 0x00, 7, 8, 9, 0xFE, 4, 5, 6};
  TTargaGraphic graphic;
  test::LoadInto(graphic, file.Build());
  Bytes pixels = PixelBytes(graphic);
  EXPECT_EQ(Bytes(pixels.begin() + 597, pixels.begin() + 603), (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Bytes(pixels.begin() + 1197, pixels.end()), (Bytes{4, 5, 6}));

  // Cut inside the last packet, or before it: the file is cut short.
  file.pixels.pop_back();
  EXPECT_EQ(test::LoadErrorWith<TTargaGraphic>(file.Build()), kStreamReadError);
  file.pixels.resize(16);
  EXPECT_EQ(test::LoadErrorWith<TTargaGraphic>(file.Build()), kStreamReadError);
}

// A stream that hands out at most a few bytes a read, as a pipe might.
class TTrickleStream : public TStream {
 public:
  explicit TTrickleStream(const Bytes& bytes) : memory_(bytes.data(), bytes.size()) {}
  std::size_t Read(void* buffer, std::size_t count) override { return memory_.Read(buffer, std::min<std::size_t>(count, 777)); }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
  std::int64_t Size() override { return memory_.Size(); }

 private:
  TMemoryStream memory_;
};

TEST(TargaReader, BlockReadsMatchInPlaceDecodingAndLeaveTheStreamAfterTheData) {
  // Large enough that the block buffer is refilled many times; rows of noise and flat runs.
  TargaFile file{.imageType = 10, .width = 700, .height = 600};
  std::uint32_t seed = 1;
  for (int y = 0; y < file.height; ++y) {
    for (int x = 0; x < file.width;) {
      seed = seed * 1103515245u + 12345u;
      const int n = std::min<int>(1 + (seed >> 16) % 20, file.width - x);
      if (seed & 0x100) {
        file.pixels.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
        for (int c = 0; c < 3; ++c) file.pixels.push_back(static_cast<std::uint8_t>(seed >> (8 * c)));
      } else {
        file.pixels.push_back(static_cast<std::uint8_t>(n - 1));
        for (int i = 0; i < 3 * n; ++i) file.pixels.push_back(static_cast<std::uint8_t>(seed * (i + 7) >> 13));
      }
      x += n;
    }
  }
  Bytes bytes = file.Build();
  const auto dataEnd = static_cast<std::int64_t>(bytes.size());
  bytes.insert(bytes.end(), {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N'});

  TTargaGraphic inPlace, blocks;
  TMemoryStream memory(bytes.data(), bytes.size());
  inPlace.LoadFromStream(memory);
  EXPECT_EQ(memory.Position(), dataEnd);
  TTrickleStream trickle(bytes);
  blocks.LoadFromStream(trickle);
  EXPECT_EQ(trickle.Position(), dataEnd);
  EXPECT_EQ(PixelBytes(blocks), PixelBytes(inPlace));
}

// ---- Bad headers and short files ----

TEST(TargaReader, ShortFilesAndImpossibleSizesAreRefusedBeforeAllocating) {
  TargaFile raw{.width = 4, .height = 4};
  raw.pixels = Bytes(4 * 4 * 3, 0x33);
  Bytes bytes = raw.Build();
  bytes.pop_back();
  EXPECT_EQ(MessageOf<EReadError>(bytes), kStreamReadError);

  // Sizes no file of this length can hold, raw and run-length.
  EXPECT_EQ(MessageOf<EReadError>(TargaFile{.width = 65535, .height = 65535, .pixels = Bytes(64)}.Build()),
            kStreamReadError);
  EXPECT_EQ(MessageOf<EReadError>(
                TargaFile{.imageType = 10, .width = 65535, .height = 65535, .pixels = Bytes(5000, 0xFF)}.Build()),
            kStreamReadError);
  // A colour map longer than the file.
  EXPECT_EQ(MessageOf<EReadError>(TargaFile{.imageType = 1, .pixelSize = 8, .colorMapType = 1,
                                            .colorMapLength = 65535, .colorMapEntrySize = 32, .pixels = {0}}
                                      .Build()),
            kStreamReadError);
  // Fewer than 18 bytes.
  EXPECT_EQ(MessageOf<EReadError>(Bytes(17, 0)), kStreamReadError);
}

TEST(TargaReader, UnsupportedPixelSizeIsAColourError) {
  EXPECT_EQ(MessageOf<EColorConversionError>(TargaFile{.pixelSize = 12, .pixels = Bytes(8)}.Build()),
            "Sample count per pixel does not correspond to the given color scheme.");
}

TEST(TargaReader, ImageTypesWithoutPixelDataGiveABlankImageOfTheHeaderSize) {
  for (std::uint8_t type : {0, 5, 32}) {
    TTargaGraphic graphic;
    test::LoadInto(graphic, TargaFile{.imageType = type, .width = 5, .height = 3}.Build());
    EXPECT_EQ(graphic.Width(), 5);
    EXPECT_EQ(graphic.Height(), 3);
    EXPECT_EQ(PixelBytes(graphic), Bytes(45, 0));
  }
}

TEST(TargaReader, ProgressFollowsThePipeline) {
  TargaFile file{.width = 2, .height = 3};
  file.pixels = Bytes(18, 1);
  TTargaGraphic graphic;
  std::vector<std::string> events;
  graphic.OnProgress = [&](void*, TProgressStage stage, std::uint8_t percent, bool redraw, const TRect& r,
                           const std::string& msg) {
    events.push_back(std::to_string(stage) + " " + std::to_string(percent) + " " + (redraw ? "r " : "- ") +
                     std::to_string(r.Top) + "-" + std::to_string(r.Bottom) + " " + msg);
  };
  test::LoadInto(graphic, file.Build());
  const std::vector<std::string> expected = {
      "0 0 - 0-1 Preparing...", "2 0 - 0-1 ",  "0 0 - 0-1 Transfering...", "1 0 r 0-1 ",
      "1 33 r 1-2 ",            "1 66 r 2-3 ", "2 0 - 3-4 "};
  EXPECT_EQ(events, expected);
}

// ---- Header sniffing and properties ----

TEST(TargaReader, CanLoadChecksTheHeaderFieldsAndRestoresThePosition) {
  TargaFile good{.colorMapEntrySize = 24, .pixels = {1, 2, 3}};
  Bytes bytes = good.Build();
  TMemoryStream stream(bytes.data(), bytes.size());
  EXPECT_TRUE(TTargaGraphic::CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);

  auto canLoad = [](const Bytes& b) {
    TMemoryStream s(b.data(), b.size());
    return TTargaGraphic::CanLoad(s);
  };
  EXPECT_FALSE(canLoad(Bytes(bytes.begin(), bytes.begin() + 18)));  // nothing after the header
  TargaFile noEntrySize = good;
  noEntrySize.colorMapEntrySize = 0;  // tested even without a colour map
  EXPECT_FALSE(canLoad(noEntrySize.Build()));
  TargaFile badType = good;
  badType.imageType = 4;
  EXPECT_FALSE(canLoad(badType.Build()));
  TargaFile badMapType = good;
  badMapType.colorMapType = 2;
  EXPECT_FALSE(canLoad(badMapType.Build()));
  TargaFile badDepth = good;
  badDepth.pixelSize = 12;
  EXPECT_FALSE(canLoad(badDepth.Build()));

  // From a later position, as a container would call it.
  Bytes shifted = {0xAA, 0xBB};
  shifted.insert(shifted.end(), bytes.begin(), bytes.end());
  TMemoryStream later(shifted.data(), shifted.size());
  later.SetPosition(2);
  EXPECT_TRUE(TTargaGraphic::CanLoad(later));
  EXPECT_EQ(later.Position(), 2);

  EXPECT_TRUE(TTargaGraphic::CanLoad(test::Fixture("pillow/tga/common/200x32_p_tl_raw.tga")));
  EXPECT_FALSE(TTargaGraphic::CanLoad(test::Fixture("no/such/file.tga")));
}

TEST(TargaReader, ImagePropertiesFollowThePixelSize) {
  struct Case {
    std::uint8_t type, pixelSize;
    TColorScheme scheme;
    std::uint8_t bitsPerSample, samples;
    TCompressionType compression;
  };
  for (const Case& c : {Case{3, 8, csGray, 8, 1, ctNone}, Case{11, 8, csGray, 8, 1, ctRLE},
                        Case{1, 8, csIndexed, 8, 1, ctNone}, Case{2, 15, csRGB, 5, 3, ctNone},
                        Case{10, 16, csRGB, 5, 3, ctRLE}, Case{2, 24, csRGB, 8, 3, ctNone},
                        Case{9, 32, csRGBA, 8, 4, ctRLE}, Case{2, 7, csUnknown, 8, 0, ctNone},
                        Case{3, 16, csGrayAlpha, 8, 2, ctNone}}) {
    TTargaGraphic graphic;
    const Bytes bytes = TargaFile{.imageType = c.type, .width = 300, .height = 2, .pixelSize = c.pixelSize}.Build();
    TMemoryStream stream(bytes.data(), bytes.size());
    EXPECT_TRUE(graphic.ReadImageProperties(stream, 0));
    const TImageProperties& p = graphic.ImageProperties;
    SCOPED_TRACE(int{c.pixelSize});
    EXPECT_EQ(p.Width, 300u);
    EXPECT_EQ(p.Height, 2u);
    EXPECT_EQ(p.ColorScheme, c.scheme);
    EXPECT_EQ(p.BitsPerSample, c.bitsPerSample);
    EXPECT_EQ(p.SamplesPerPixel, c.samples);
    EXPECT_EQ(p.BitsPerPixel, c.bitsPerSample * c.samples);
    EXPECT_EQ(p.Compression, c.compression);
    EXPECT_EQ(p.FileGamma, 1.0f);
  }
}

TEST(TargaReader, SampleTexturesLoad) {
  struct Sample {
    const char* name;
    TPixelFormat format;
    int side;
  };
  for (const Sample& sample : {Sample{"glass_tiles.tga", pf32bit, 128}, Sample{"bricks_rle.tga", pf24bit, 256},
                               Sample{"weave_palette.tga", pf8bit, 256}}) {
    SCOPED_TRACE(sample.name);
    const std::string path = std::string(VUMO_SOURCE_DIR) + "/data/samples/" + sample.name;
    EXPECT_LT(fs::file_size(path), 200u * 1024);
    TTargaGraphic graphic;
    graphic.LoadFromFile(path);
    EXPECT_EQ(graphic.PixelFormat(), sample.format);
    EXPECT_EQ(graphic.Width(), sample.side);
    EXPECT_EQ(graphic.Height(), sample.side);
    // Seamless: the first and last rows and columns continue into each other, so none is blank.
    const test::Rgba8Image rgba = test::ToRgba8(graphic);
    EXPECT_NE(std::count(rgba.pixels.begin(), rgba.pixels.end(), 0), static_cast<std::ptrdiff_t>(rgba.pixels.size()));
  }
}

}  // namespace
}  // namespace vumo
