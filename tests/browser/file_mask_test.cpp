#include "browser/file_mask.h"
#include "browser/file_names.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace vumo {
namespace {

// A mask with names it must take and names it must refuse, all read as UTF-8.
struct TMaskCase {
  const char* mask;
  std::vector<const char*> takes, refuses;
};

void ExpectMasks(const std::vector<TMaskCase>& cases) {
  for (const TMaskCase& c : cases) {
    const TFileMask mask(QString::fromUtf8(c.mask));
    for (const char* name : c.takes) EXPECT_TRUE(mask.Matches(QString::fromUtf8(name))) << c.mask << " on " << name;
    for (const char* name : c.refuses) EXPECT_FALSE(mask.Matches(QString::fromUtf8(name))) << c.mask << " on " << name;
  }
}

TEST(FileMask, WildcardsAndLetterCase) {
  ExpectMasks({
      {"*.png", {"a.png", "A.PNG", "a.b.png"}, {"a.png.bak"}},
      {"*.PNG", {"shot.png"}, {}},
      {"?.tga", {"x.tga"}, {"xy.tga", ".tga"}},
      {"a*b*c", {"aXXbYYbZc"}, {"aXXbYYbZ"}},
      {"*.ÉTÉ", {"x.été"}, {}},
  });
}

TEST(FileMask, StarDotStarTakesNamesWithoutDot) {
  ExpectMasks({
      {"*.*", {"Makefile", ".hidden"}, {}},
      {"*", {"x.y"}, {}},
      {"read*.*", {"README"}, {"notes"}},
      {"", {}, {"a"}},
  });
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
