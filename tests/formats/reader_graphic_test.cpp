#include "formats/reader_graphic.h"

#include <gtest/gtest.h>

#include "formats/messages.h"
#include "formats/picture.h"

namespace vumo {
namespace {

// A minimal reader over a made-up format: "RG", width, height, then 8-bit grey rows.
class TTinyReader : public TGraphicOf<TTinyReader, TReaderGraphic, "TTinyReader"> {
 public:
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override {
    TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
    std::uint8_t header[4];
    if (Stream.Read(header, 4) != 4 || header[0] != 'R' || header[1] != 'G') return false;
    ImageProperties.Width = header[2];
    ImageProperties.Height = header[3];
    ImageProperties.ColorScheme = csGray;
    ImageProperties.BitsPerSample = 8;
    ImageProperties.SamplesPerPixel = 1;
    return true;
  }
  void LoadFromStream(TStream& Stream) override {
    BeginLoad(Stream);
    if (!ReadImageProperties(Stream, 0)) throw EInvalidGraphic(FormatMessage(gesInvalidImage, "tiny"));
    Stream.SetPosition(BasePosition + 4);
    StartProgress(gesPreparing);
    ColorManager.SetSourceColorScheme(csGray);
    ColorManager.SetTargetColorScheme(csGray);
    ColorManager.SetSourceSamplesPerPixel(1);
    ColorManager.SetTargetSamplesPerPixel(1);
    ApplyTargetPixelFormat();
    SetPalette(ColorManager.CreateGrayPalette(false));
    SetSize(static_cast<int>(ImageProperties.Width), static_cast<int>(ImageProperties.Height));
    EndProgress();
    StartProgress(gesTransfering);
    std::vector<std::uint8_t> row(ImageProperties.Width);
    for (std::uint32_t y = 0; y < ImageProperties.Height; ++y) {
      Stream.ReadBuffer(row.data(), row.size());
      ColorManager.ConvertRow(row.data(), ScanLine(static_cast<int>(y)), ImageProperties.Width, 0xFF);
      RowProgress(y, ImageProperties.Height);
    }
    EndProgress();
  }
};

struct Note {
  TProgressStage stage;
  int percent;
  bool redraw;
  TRect rect;
  std::string msg;
};

TEST(ReaderBase, TheBaseReadsNothingAndResetsTheRecord) {
  TReaderGraphic reader;
  reader.ImageProperties.Width = 9;
  reader.ImageProperties.RowsPerStrip = {1, 2};
  TMemoryStream stream;
  EXPECT_FALSE(reader.ReadImageProperties(stream, 0));
  EXPECT_EQ(reader.ImageProperties.Width, 0u);
  EXPECT_TRUE(reader.ImageProperties.RowsPerStrip.empty());
  EXPECT_FLOAT_EQ(reader.ImageProperties.FileGamma, 1.0f);
  EXPECT_FALSE(TReaderGraphic::CanLoad(stream));
  EXPECT_FALSE(TReaderGraphic::CanLoadFile("/nonexistent/file", &TReaderGraphic::CanLoad));
}

TEST(ReaderBase, ProgressComesInPipelineOrderWithTheRowRectangle) {
  const std::uint8_t file[] = {'R', 'G', 2, 3, 10, 11, 20, 21, 30, 31};
  TTinyReader reader;
  std::vector<Note> notes;
  reader.OnProgress = [&](void*, TProgressStage s, std::uint8_t p, bool r, const TRect& rect, const std::string& m) {
    notes.push_back({s, p, r, rect, m});
  };
  TMemoryStream stream(file, sizeof file);
  reader.LoadFromStream(stream);
  ASSERT_EQ(notes.size(), 7u);
  EXPECT_EQ(notes[0].msg, "Preparing...");
  EXPECT_EQ(notes[0].stage, psStarting);
  // Announced before the bitmap has its size: the rectangle still spans the header's width.
  EXPECT_EQ(notes[0].rect, (TRect{0, 0, 2, 1}));
  EXPECT_EQ(notes[1].stage, psEnding);
  EXPECT_EQ(notes[2].msg, "Transfering...");
  EXPECT_EQ(notes[3].percent, 0);
  EXPECT_TRUE(notes[3].redraw);
  EXPECT_EQ(notes[4].percent, 33);
  EXPECT_EQ(notes[4].rect, (TRect{0, 1, 2, 2}));
  EXPECT_EQ(notes[5].percent, 66);
  EXPECT_EQ(notes[6].stage, psEnding);
  EXPECT_EQ(reader.ScanLine(2)[1], 31);
}

TEST(ReaderBase, AFailedLoadLeavesTheBitmapEmpty) {
  const std::uint8_t good[] = {'R', 'G', 1, 1, 5};
  const std::uint8_t bad[] = {'X', 'G', 1, 1, 5};
  TTinyReader reader;
  TMemoryStream goodStream(good, sizeof good);
  reader.LoadFromStream(goodStream);
  EXPECT_EQ(reader.Width(), 1);
  TMemoryStream badStream(bad, sizeof bad);
  try {
    reader.LoadFromStream(badStream);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Cannot load image. Invalid or unexpected tiny image format.");
  }
  EXPECT_TRUE(reader.Empty());
}

TEST(ReaderBase, AssigningCopiesThePropertiesWithTheirArraysAndTheBitmap) {
  const std::uint8_t file[] = {'R', 'G', 1, 2, 5, 6};
  TTinyReader source;
  TMemoryStream stream(file, sizeof file);
  source.LoadFromStream(stream);
  source.ImageProperties.RowsPerStrip = {7, 8};
  TTinyReader copy;
  copy.Assign(source);
  source.ImageProperties.RowsPerStrip.clear();
  EXPECT_EQ(copy.ImageProperties.RowsPerStrip, (TCardinalArray{7, 8}));
  EXPECT_EQ(copy.ImageProperties.Height, 2u);
  EXPECT_EQ(copy.ScanLine(1)[0], 6);
  EXPECT_EQ(copy.Palette().size(), 256u);
}

}  // namespace
}  // namespace vumo
