#include "browser/file_mask.h"
#include "browser/file_names.h"

#include <QFile>

#include <gtest/gtest.h>

namespace vumo {
namespace {

TEST(FileMask, WildcardsAndLetterCase) {
  EXPECT_TRUE(TFileMask("*.png").Matches("a.png"));
  EXPECT_TRUE(TFileMask("*.png").Matches("A.PNG"));
  EXPECT_TRUE(TFileMask("*.PNG").Matches("shot.png"));
  EXPECT_FALSE(TFileMask("*.png").Matches("a.png.bak"));
  EXPECT_TRUE(TFileMask("*.png").Matches("a.b.png"));
  EXPECT_TRUE(TFileMask("?.tga").Matches("x.tga"));
  EXPECT_FALSE(TFileMask("?.tga").Matches("xy.tga"));
  EXPECT_FALSE(TFileMask("?.tga").Matches(".tga"));
  EXPECT_TRUE(TFileMask("a*b*c").Matches("aXXbYYbZc"));
  EXPECT_FALSE(TFileMask("a*b*c").Matches("aXXbYYbZ"));
  EXPECT_TRUE(TFileMask(QString::fromUtf8("*.ÉTÉ")).Matches(QString::fromUtf8("x.été")));
}

TEST(FileMask, StarDotStarTakesNamesWithoutDot) {
  EXPECT_TRUE(TFileMask("*.*").Matches("Makefile"));
  EXPECT_TRUE(TFileMask("*.*").Matches(".hidden"));
  EXPECT_TRUE(TFileMask("*").Matches("x.y"));
  EXPECT_TRUE(TFileMask("read*.*").Matches("README"));
  EXPECT_FALSE(TFileMask("read*.*").Matches("notes"));
  EXPECT_FALSE(TFileMask("").Matches("a"));
}

TEST(FileMask, SplitKeepsInnerBlanksAndDuplicates) {
  EXPECT_EQ(SplitMask(""), QStringList{"*.*"});
  EXPECT_EQ(SplitMask("    "), QStringList{"*.*"});
  EXPECT_EQ(SplitMask("  *.png  "), QStringList{"*.png"});
  EXPECT_EQ(SplitMask("*.png; *.jpg"), (QStringList{"*.png", " *.jpg"}));
  EXPECT_EQ(SplitMask("*.png;*.png"), (QStringList{"*.png", "*.png"}));
  EXPECT_EQ(SplitMask("*.png;"), QStringList{"*.png"});
  EXPECT_EQ(SplitMask("*.a;;*.b"), (QStringList{"*.a", "", "*.b"}));
}

TEST(FileNames, BytesThatAreNotUtf8RoundTrip) {
  const QByteArray cases[] = {
      QByteArray("plain.png"), QByteArray("caf\xc3\xa9.tga"), QByteArray("bad\xff\xfe.png"),
      QByteArray("\xc3"), QByteArray("over\xc0\xaflong"), QByteArray("sur\xed\xb2\x80rogate"),
      QByteArray("emoji\xf0\x9f\x98\x80"), QByteArray("\x80\x81\x82"),
  };
  for (const QByteArray& bytes : cases) {
    const QString name = DecodeFileName(bytes);
    EXPECT_EQ(EncodeFileName(name), bytes) << bytes.toHex().constData();
  }
  // Valid names decode exactly as Qt decodes them.
  EXPECT_EQ(DecodeFileName("caf\xc3\xa9"), QFile::decodeName("caf\xc3\xa9"));
  // Undecodable names are distinct from each other, unlike Qt's replacement character.
  EXPECT_NE(DecodeFileName("a\xff"), DecodeFileName("a\xfe"));
}

TEST(FileNames, Slashes) {
  EXPECT_EQ(AddSlash("/tmp"), "/tmp/");
  EXPECT_EQ(AddSlash("/tmp/"), "/tmp/");
  EXPECT_EQ(RemoveSlash("/tmp/"), "/tmp");
  EXPECT_EQ(RemoveSlash("/"), "/");
  EXPECT_TRUE(IsDrivesName("DRIVES"));
  EXPECT_FALSE(IsDrivesName("Drives/"));
}

}  // namespace
}  // namespace vumo
