#include "formats/format_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "formats/bitmap.h"
#include "formats/icon.h"
#include "formats/jpeg_image.h"
#include "formats/metafile.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

// Two small graphic classes, one deriving from the other, that count their live instances
// and fail to load a file whose first byte is 'X'.
class TFakeGraphic : public TGraphicOf<TFakeGraphic, TGraphic, "TFakeGraphic"> {
 public:
  TFakeGraphic() { ++live; }
  ~TFakeGraphic() override { --live; }
  int Width() const override { return width; }
  int Height() const override { return 1; }
  void LoadFromStream(TStream& Stream) override {
    char first = 0;
    Stream.ReadBuffer(&first, 1);
    Progress(psStarting, 0, false, TRect{}, "Preparing...");
    if (first == 'X') throw EInvalidGraphic("fake reader refuses this file");
    width = first;
    Progress(psEnding, 100, false, TRect{}, "");
  }
  void Assign(const TGraphic& Source) override { width = Source.Width(); }
  const TBitmap* DrawBitmap() const override { return nullptr; }

  static inline int live = 0;
  int width = 0;
};

class TFakeChild : public TGraphicOf<TFakeChild, TFakeGraphic, "TFakeChild"> {};

class TOtherFake : public TGraphicOf<TOtherFake, TFakeGraphic, "TOtherFake"> {};

std::string WriteFile(const std::string& name, const std::string& content) {
  std::string path = test::TempDir("registry") + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { FileFormatList(); }
  void TearDown() override {
    list.ClearAll();
    TPicture::UnregisterGraphicClass(TFakeGraphic::ClassInfo());
  }
  TFileFormatList list;
};

TEST_F(RegistryTest, AddingAnEmptyExtensionChangesNothing) {
  list.AddExtension("", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  EXPECT_TRUE(list.Extensions().empty());
  EXPECT_TRUE(list.Classes().empty());
  EXPECT_EQ(list.IndexOfExtension(""), -1);
}

TEST_F(RegistryTest, LookupIgnoresCaseAndTheFrameworkTableLowerCases) {
  list.AddExtension("ZqA", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  EXPECT_EQ(list.IndexOfExtension("zqa"), 0);
  EXPECT_EQ(list.IndexOfExtension("ZQA"), 0);
  EXPECT_EQ(list.Extensions()[0]->Extension, "ZqA");  // kept as registered
  EXPECT_EQ(TPicture::FileFormats().Entries().back().Extension, "zqa");
  EXPECT_EQ(TPicture::FileFormats().Entries().back().Description, "Fakes");
  EXPECT_EQ(TPicture::FileFormats().FindExt("ZQA"), TFakeGraphic::ClassInfo());
}

TEST_F(RegistryTest, RegisteringTwiceRaisesAndChangesNothing) {
  list.AddExtension("zqa", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  std::size_t tableSize = TPicture::FileFormats().Entries().size();
  EXPECT_EQ(MessageOf([&] { list.AddExtension("ZQA", "", "", fkRaster, false, TOtherFake::ClassInfo()); }),
            "Attempt to register ZQA twice.");
  EXPECT_EQ(list.Extensions().size(), 1u);
  EXPECT_EQ(list.Classes().size(), 1u);
  EXPECT_EQ(TPicture::FileFormats().Entries().size(), tableSize);
}

TEST_F(RegistryTest, ClassEntriesCountTheirExtensionsAndKeepTheLastDescription) {
  list.AddExtension("zqa", "First", "", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqb", "", "Own", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqc", "Second", "", fkRaster, false, TFakeGraphic::ClassInfo());
  ASSERT_EQ(list.Classes().size(), 1u);
  EXPECT_EQ(list.Classes()[0]->ExtensionCount, 3u);
  EXPECT_EQ(list.Classes()[0]->Description, "Second");
  // The framework gets the extension's own description, else the class's at that time.
  const auto& entries = TPicture::FileFormats().Entries();
  EXPECT_EQ(entries[entries.size() - 2].Description, "Own");
  EXPECT_EQ(entries[entries.size() - 3].Description, "First");
}

TEST_F(RegistryTest, ReplacingMovesTheExtensionAndDropsAnEmptyClass) {
  list.AddExtension("zqa", "Fakes", "Own text", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqa", "Others", "", fkVector, true, TOtherFake::ClassInfo());
  ASSERT_EQ(list.Classes().size(), 1u);
  EXPECT_EQ(list.Classes()[0]->ReaderClass, TOtherFake::ClassInfo());
  EXPECT_EQ(list.Classes()[0]->ExtensionCount, 1u);
  EXPECT_EQ(list.Extensions()[0]->Description, "Own text");  // own description and kinds stay
  EXPECT_EQ(list.Extensions()[0]->FormatKinds, fkRaster);
  EXPECT_EQ(TPicture::FileFormats().FindExt("zqa"), TOtherFake::ClassInfo());  // last registration wins

  // Replacing with the class it already has leaves the entry alone.
  list.AddExtension("zqa", "", "", fkRaster, true, TOtherFake::ClassInfo());
  EXPECT_EQ(list.Classes()[0]->ExtensionCount, 1u);
}

TEST_F(RegistryTest, RemovingOneExtensionKeepsTheFrameworkEntryWhileTheClassLives) {
  list.AddExtension("zqa", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqb", "", "", fkRaster, false, TFakeGraphic::ClassInfo());
  list.RemoveExtension("zqa", TFakeGraphic::ClassInfo());
  EXPECT_EQ(list.IndexOfExtension("zqa"), -1);
  EXPECT_EQ(list.Classes()[0]->ExtensionCount, 1u);
  EXPECT_EQ(TPicture::FileFormats().FindExt("zqa"), TFakeGraphic::ClassInfo());
  list.RemoveExtension("zqb", TFakeGraphic::ClassInfo());  // the last one withdraws the class
  EXPECT_TRUE(list.Classes().empty());
  EXPECT_EQ(TPicture::FileFormats().FindExt("zqa"), nullptr);
  list.RemoveExtension("nothere", TFakeGraphic::ClassInfo());  // unknown: ignored
}

TEST_F(RegistryTest, RemovingAClassWithdrawsItAndItsDescendants) {
  list.AddExtension("zqa", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqb", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  list.AddExtension("zqc", "Kids", "", fkRaster, false, TFakeChild::ClassInfo());
  EXPECT_EQ(list.IndexOfClass(TFakeGraphic::ClassInfo()), 0);
  EXPECT_EQ(list.IndexOfClass(TFakeChild::ClassInfo()), 1);  // exact class, no inheritance test
  list.RemoveExtension("", TFakeGraphic::ClassInfo());
  EXPECT_EQ(list.Extensions().size(), 1u);
  EXPECT_EQ(list.Extensions()[0]->Extension, "zqc");
  EXPECT_EQ(TPicture::FileFormats().FindExt("zqa"), nullptr);
  EXPECT_EQ(TPicture::FileFormats().FindExt("zqc"), nullptr);  // a descendant goes with its ancestor
}

TEST(FormatStartup, TheFrameworkTableResolvesTheBuiltInClasses) {
  FileFormatList();
  const auto& entries = TPicture::FileFormats().Entries();
  ASSERT_GE(entries.size(), 6u);
  EXPECT_EQ(entries[0].Extension, "wmf");
  EXPECT_EQ(entries[1].Extension, "emf");
  EXPECT_EQ(entries[2].Extension, "ico");
  EXPECT_EQ(entries[3].Extension, "bmp");
  EXPECT_EQ(entries[4].Extension, "jpeg");
  EXPECT_EQ(entries[5].Extension, "jpg");
  for (const char* ext : {"bmp", "rle", "dib"}) EXPECT_EQ(TPicture::FileFormats().FindExt(ext), TBitmap::ClassInfo());
  EXPECT_EQ(TPicture::FileFormats().FindExt("ico"), TIcon::ClassInfo());
  for (const char* ext : {"wmf", "emf"}) EXPECT_EQ(TPicture::FileFormats().FindExt(ext), TMetafile::ClassInfo());
  for (const char* ext : {"jfif", "jpg", "jpe", "jpeg"})
    EXPECT_EQ(TPicture::FileFormats().FindExt(ext), TJPEGImage::ClassInfo());
  // The registry's own rows: "emf" has its own description, "jpg" gets the JPEG class's.
  const TFileFormatList& list = FileFormatList();
  int emf = list.IndexOfExtension("emf");
  ASSERT_GE(emf, 0);
  EXPECT_EQ(list.Extensions()[static_cast<std::size_t>(emf)]->Description, "Windows enhanced meta files");
  int jfif = list.IndexOfClass(TJPEGImage::ClassInfo());
  ASSERT_GE(jfif, 0);
  EXPECT_EQ(list.Classes()[static_cast<std::size_t>(jfif)]->Description, "JPG images");
  EXPECT_EQ(list.Classes()[static_cast<std::size_t>(jfif)]->ExtensionCount, 4u);
}

TEST_F(RegistryTest, ReadableExtensionsListEveryRegisteredOneOnceInLowerCase) {
  std::vector<std::string> extensions = ReadableExtensions();
  EXPECT_EQ(extensions.size(), FileFormatList().Extensions().size());
  for (const char* ext : {"pcx", "ppm", "jpeg", "cel", "cut", "rla", "sgi", "tga", "png", "psp", "eps", "pcd", "bmp"})
    EXPECT_EQ(std::count(extensions.begin(), extensions.end(), ext), 1) << ext;
  // A reader registered later is listed too, as the masks need.
  FileFormatList().AddExtension("FAKE", "Fake images", "", fkRaster, false, TFakeGraphic::ClassInfo());
  extensions = ReadableExtensions();
  EXPECT_EQ(std::count(extensions.begin(), extensions.end(), "fake"), 1);
  FileFormatList().RemoveExtension("fake", TFakeGraphic::ClassInfo());
  extensions = ReadableExtensions();
  EXPECT_EQ(std::count(extensions.begin(), extensions.end(), "fake"), 0);
}

TEST(PictureLoad, TheExtensionIsTheTextAfterTheLastDotOfTheName) {
  EXPECT_EQ(FileExtensionOf("/a/archive.tar.tga"), "tga");
  EXPECT_EQ(FileExtensionOf("/a/photo.TGA"), "TGA");
  EXPECT_EQ(FileExtensionOf("/folder.with.dots/plainname"), "");
  EXPECT_EQ(FileExtensionOf("noext"), "");
  EXPECT_EQ(FileExtensionOf("/a/trailingdot."), "");
}

TEST(PictureLoad, AnUnknownExtensionNamesItself) {
  TPicture picture;
  EXPECT_EQ(MessageOf([&] { picture.LoadFromFile(WriteFile("photo.qqq", "x")); }),
            "Unknown picture file extension (.qqq)");
  EXPECT_EQ(MessageOf([&] { picture.LoadFromFile(WriteFile("photo", "x")); }),
            "Unknown picture file extension (.)");
  EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST_F(RegistryTest, AFailedLoadFreesTheReaderAndKeepsTheOldPicture) {
  list.AddExtension("zqa", "Fakes", "", fkRaster, false, TFakeGraphic::ClassInfo());
  TPicture picture;
  int changes = 0;
  std::vector<std::string> progress;
  picture.OnChange = [&](void*) { ++changes; };
  picture.OnProgress = [&](void*, TProgressStage, std::uint8_t, bool, const TRect&, const std::string& msg) {
    progress.push_back(msg);
  };
  picture.LoadFromFile(WriteFile("good.ZQA", "\x07"));  // upper-case extension reaches the class
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 7);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(progress, (std::vector<std::string>{"Preparing...", ""}));
  int liveBefore = TFakeGraphic::live;

  EXPECT_EQ(MessageOf([&] { picture.LoadFromFile(WriteFile("bad.zqa", "X")); }), "fake reader refuses this file");
  EXPECT_EQ(TFakeGraphic::live, liveBefore);  // the half-built reader is gone
  EXPECT_EQ(picture.Width(), 7);              // the old picture stays
  EXPECT_EQ(changes, 1);

  EXPECT_THROW(picture.LoadFromFile(WriteFile("empty.zqa", "")), EReadError);
  EXPECT_THROW(picture.LoadFromFile("/nonexistent/dir/missing.zqa"), EFOpenError);
  EXPECT_EQ(picture.Width(), 7);
}

TEST(PictureLoad, MetafilesLoadThroughTheirOwnClass) {
  for (const char* name : {"pillow/drawing.wmf", "pillow/drawing.emf"}) {
    TPicture picture;
    picture.LoadFromFile(test::Fixture(name));
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassType(), TMetafile::ClassInfo()) << name;
    EXPECT_GT(picture.Width(), 0);
  }
}

}  // namespace
}  // namespace vumo
