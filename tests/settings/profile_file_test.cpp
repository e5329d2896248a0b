// The profile file: value semantics, layout kept on save, atomic saves that never lose the
// previous file.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "settings/profile_file.h"
#include "support/test_support.h"

namespace vumo::settings {
namespace {

QString Temp(const std::string& name) { return QString::fromStdString(test::TempDir("profile_" + name)); }

void Put(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// A profile in a fresh folder of its own holding the given text.
QString PutIni(const std::string& name, const QByteArray& bytes) {
  const QString path = Temp(name) + "/a.ini";
  Put(path, bytes);
  return path;
}

QByteArray Get(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

// What a profile reads, a row a key: section, key, default, the value expected.
struct TStringRead {
  const char* Section;
  const char* Key;
  QString Default;
  QString Expected;
};
void ExpectReads(const ProfileFile& profile, std::initializer_list<TStringRead> rows) {
  for (const TStringRead& row : rows)
    EXPECT_EQ(profile.ReadString(row.Section, row.Key, row.Default), row.Expected) << row.Section << "/" << row.Key;
}

// Keys of one section, each with the value it reads as (with an empty default).
void ExpectValues(const ProfileFile& profile, const char* section,
                  std::initializer_list<std::pair<const char*, QString>> rows) {
  for (const auto& [key, value] : rows)
    EXPECT_EQ(profile.ReadString(section, key, ""), value) << section << "/" << key;
}

// The same for a profile of its own that holds `text`.
void ExpectReadsOf(const std::string& name, const QByteArray& text,
                   std::initializer_list<TStringRead> rows) {
  ExpectReads(ProfileFile(PutIni(name, text)), rows);
}

struct TIntegerRead {
  const char* Key;
  int Default;
  int Expected;
};
void ExpectIntegers(const ProfileFile& profile, std::initializer_list<TIntegerRead> rows) {
  for (const TIntegerRead& row : rows) EXPECT_EQ(profile.ReadInteger("S", row.Key, row.Default), row.Expected) << row.Key;
}

struct WriteFunctionReset {
  ~WriteFunctionReset() { ProfileFile::SetWriteFunction(nullptr); }
};

TEST(ProfilePath, BareNameGoesToTheConfigFolder) {
  QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  QByteArray home = qgetenv("HOME");
  qputenv("XDG_CONFIG_HOME", "/tmp/vumo-config");
  EXPECT_EQ(ProfileFile::ResolvePath("Vumo.ini"), "/tmp/vumo-config/Vumo/Vumo.ini");
  // A relative XDG_CONFIG_HOME is ignored, as is an empty one.
  qputenv("XDG_CONFIG_HOME", "relative/dir");
  qputenv("HOME", "/home/someone");
  EXPECT_EQ(ProfileFile::ResolvePath("Vumo.ini"), "/home/someone/.config/Vumo/Vumo.ini");
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ProfileFile::ResolvePath("Vumo.ini"), "/home/someone/.config/Vumo/Vumo.ini");
  // A path with a folder is never moved.
  EXPECT_EQ(ProfileFile::ResolvePath("/etc/x/Vumo.ini"), "/etc/x/Vumo.ini");
  EXPECT_EQ(ProfileFile::ResolvePath("sub/Vumo.ini"), QDir::current().absoluteFilePath("sub/Vumo.ini"));
  qputenv("HOME", home);
  if (saved.isNull()) qunsetenv("XDG_CONFIG_HOME"); else qputenv("XDG_CONFIG_HOME", saved);
}

TEST(ProfileRead, SectionsAndKeysIgnoreCaseAndBlanks) {
  ExpectReadsOf("case", "[User]\n  Key One =  value 1  \n[other]\nkey=2\n", {
      {"USER", "key one", "d", "value 1"},
      {"Other", "KEY", "d", "2"},
      {"user", "missing", "d", "d"},
      {"nosection", "key", "d", "d"},
  });
}

TEST(ProfileRead, FirstOfDuplicateSectionsAndKeysWins) {
  QString path = PutIni("dups", "[S]\nk=1\nk=2\n[s]\nk=3\nonly=4\n");
  ProfileFile profile(path);
  EXPECT_EQ(profile.ReadString("s", "k", ""), "1");
  EXPECT_EQ(profile.ReadString("s", "only", "none"), "none");
}

TEST(ProfileRead, OnePairOfMatchingQuotesIsStripped) {
  QString path = PutIni("quotes", "[S]\na=\"x y\"\nb='z'\nc=\"\"\"q\"\"\"\nd=\"mixed'\ne=\"\nf=  \"  padded  \"  \n");
  ProfileFile profile(path);
  ExpectValues(profile, "S", {{"a", "x y"}, {"b", "z"}, {"c", "\"\"q\"\""}});
  ExpectValues(profile, "S", {{"d", "\"mixed'"}, {"e", "\""}, {"f", "  padded  "}});
}

TEST(ProfileRead, ValuesAreCappedAt2047Characters) {
  QString path = PutIni("cap", "[S]\nlong=" + QByteArray(100000, 'x') + "\n");
  ProfileFile profile(path);
  EXPECT_EQ(profile.ReadString("S", "long", "").size(), kMaxProfileValue);
  EXPECT_EQ(profile.ReadString("S", "absent", QString(5000, 'y')).size(), kMaxProfileValue);
}

TEST(ProfileRead, IntegersAndBooleans) {
  QString path = Temp("ints") + "/a.ini";
  Put(path,
      "[S]\ndec=-42\nhex=0x1F\nhexall=0XFFFFFFFF\nbad=12abc\nempty=\nhuge=99999999999\nbool1=1\nbool0=0\n"
      "boolx=7\nplus=+5\n");
  ProfileFile profile(path);
  ExpectIntegers(profile, {
      {"dec", 0, -42},
      {"hex", 0, 31},
      {"hexall", 0, -1},
      {"bad", 9, 9},
      {"empty", 9, 9},
      {"huge", 9, 9},
      {"plus", 9, 5},
  });
  EXPECT_TRUE(profile.ReadBool("S", "bool1", false));
  EXPECT_FALSE(profile.ReadBool("S", "bool0", true));
  EXPECT_TRUE(profile.ReadBool("S", "boolx", false));
  EXPECT_TRUE(profile.ReadBool("S", "absent", true));
}

TEST(ProfileWrite, KeepsEverythingItDoesNotTouch) {
  QString path = Temp("layout") + "/a.ini";
  QByteArray original =
      "; my settings\n\n[Other]\nKeep = this  \n# hash comment\n[User]\nOld=1\n\n; before next\n[Tail]\n"
      "odd line without equals\nx=\xff\xfe raw bytes\n";
  Put(path, original);
  ProfileFile profile(path);
  profile.WriteString("user", "old", "2");
  profile.WriteString("User", "New", "3");
  profile.UpdateFile();
  QByteArray expected =
      "; my settings\n\n[Other]\nKeep = this  \n# hash comment\n[User]\nOld=2\nNew=3\n\n; before next\n[Tail]\n"
      "odd line without equals\nx=\xff\xfe raw bytes\n";
  EXPECT_EQ(Get(path), expected);
}

TEST(ProfileWrite, NewSectionGoesToTheEndAndCrLfFilesStayCrLf) {
  QString path = PutIni("crlf", "[A]\r\nx=1");
  ProfileFile profile(path);
  profile.WriteInteger("B", "y", 2);
  profile.UpdateFile();
  EXPECT_EQ(Get(path), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
}

TEST(ProfileWrite, QuotedValuesReadBackUnchanged) {
  QString path = Temp("wquote") + "/a.ini";
  ProfileFile profile(path);
  profile.WriteString("S", "a", "\"quoted\"");
  profile.WriteString("S", "b", "'single'");
  profile.WriteString("S", "c", "\"half");
  profile.UpdateFile();
  EXPECT_EQ(Get(path), "[S]\na=\"\"quoted\"\"\nb=\"'single'\"\nc=\"half\n");
  ProfileFile again(path);
  ExpectValues(again, "S", {{"a", "\"quoted\""}, {"b", "'single'"}, {"c", "\"half"}});
}

TEST(ProfileWrite, LineBreaksCannotPlantKeys) {
  QString path = PutIni("inject", "[S]\nDir=/old\n");
  ProfileFile profile(path);
  profile.WriteString("S", "Dir", "/tmp/evil\nScrollBox_Color=255");
  profile.WriteString("S", "bad\nkey", "1");
  profile.WriteString("S", "a=b", "1");
  EXPECT_FALSE(profile.Modified());
  EXPECT_EQ(profile.ReadString("S", "Dir", ""), "/old");
  EXPECT_EQ(profile.ReadString("S", "ScrollBox_Color", "none"), "none");
}

TEST(ProfileWrite, EraseSectionRemovesEveryCopy) {
  QString path = PutIni("erase", "[A]\nx=1\n[User]\nk=1\n; inside\n[B]\ny=2\n[user]\nk=2\n");
  ProfileFile profile(path);
  profile.EraseSection("USER");
  EXPECT_FALSE(profile.SectionExists("user"));
  EXPECT_EQ(profile.ReadString("user", "k", "gone"), "gone");
  profile.UpdateFile();
  EXPECT_EQ(Get(path), "[A]\nx=1\n[B]\ny=2\n");
}

TEST(ProfileSave, CreatesTheFolderAndFile) {
  QString dir = Temp("create");
  QString path = dir + "/deeper/Vumo/Vumo.ini";
  ProfileFile profile(path);
  profile.WriteString("User", "FormVersion", "0");
  profile.UpdateFile();
  EXPECT_EQ(Get(path), "[User]\nFormVersion=0\n");
}

TEST(ProfileSave, ShortWriteKeepsTheOldFileAndLeavesNoTemporary) {
  WriteFunctionReset reset;
  QString dir = Temp("short");
  QString path = dir + "/Vumo.ini";
  Put(path, "[User]\nPanelLeft_Width=240\n");
  ProfileFile profile(path);
  profile.WriteString("User", "PanelLeft_Width", "300");
  ProfileFile::SetWriteFunction([](int, const void*, std::size_t size) { return static_cast<ssize_t>(size / 2); });
  try {
    profile.UpdateFile();
    FAIL() << "a short write reported success";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.toStdString());
  }
  EXPECT_EQ(Get(path), "[User]\nPanelLeft_Width=240\n");
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
  // A disk that refuses outright is no different.
  ProfileFile::SetWriteFunction([](int, const void*, std::size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  });
  EXPECT_THROW(profile.UpdateFile(), EIniFileException);
  EXPECT_EQ(Get(path), "[User]\nPanelLeft_Width=240\n");
}

TEST(ProfileSave, UnwritableFolderRaisesTheMessage) {
  QString dir = Temp("parentfile");
  Put(dir + "/notadir", "x");
  ProfileFile profile(dir + "/notadir/Vumo.ini");
  profile.WriteString("User", "a", "1");
  EXPECT_THROW(profile.UpdateFile(), EIniFileException);
  EXPECT_EQ(Get(dir + "/notadir"), "x");
}

TEST(ProfileSave, KeepsPermissionsAndSymbolicLinks) {
  QString dir = Temp("link");
  QString real = dir + "/real.ini";
  Put(real, "[S]\na=1\n");
  ::chmod(QFile::encodeName(real).constData(), 0640);
  std::filesystem::create_symlink(real.toStdString(), (dir + "/Vumo.ini").toStdString());
  ProfileFile profile(dir + "/Vumo.ini");
  profile.WriteString("S", "a", "2");
  profile.UpdateFile();
  EXPECT_TRUE(QFileInfo(dir + "/Vumo.ini").isSymLink());
  EXPECT_EQ(Get(real), "[S]\na=2\n");
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(ProfileDamage, GarbageReadsAsDefaultsAndSurvivesASave) {
  QString path = Temp("garbage") + "/a.ini";
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  Put(path, garbage);
  {
    ProfileFile profile(path);
    EXPECT_EQ(profile.ReadString("User", "PanelLeft_Width", "240"), "240");
    EXPECT_EQ(profile.ReadInteger("User", "FormVersion", 0), 0);
    profile.WriteString("User", "PanelLeft_Width", "300");
    profile.UpdateFile();
  }
  ProfileFile again(path);
  EXPECT_EQ(again.ReadString("User", "PanelLeft_Width", ""), "300");
  EXPECT_TRUE(Get(path).startsWith(garbage.left(100)));
}

TEST(ProfileDamage, TruncatedLinesAndSectionHeaders) {
  ExpectReadsOf("trunc", "[User]\nPanelLeft_Width=2\nBrowseFiles_Mask\n[Use", {
      {"User", "PanelLeft_Width", "", "2"},
      {"User", "BrowseFiles_Mask", "def", "def"},
      {"Use", "x", "def", "def"},
  });
}

TEST(ProfileDamage, AFileTooLargeIsSetAsideAndTheSettingsSavedAfresh) {
  QString dir = Temp("large");
  QString path = dir + "/big.ini";
  auto writeBig = [&] {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << "[User]\nPanelLeft_Width=5\n";
    out.seekp(kMaxProfileFileSize + 10);
    out << 'x';
  };
  writeBig();
  ProfileFile profile(path);
  EXPECT_EQ(profile.ReadString("User", "PanelLeft_Width", "240"), "240");  // ignored
  profile.WriteString("User", "PanelLeft_Width", "1");
  profile.UpdateFile();
  EXPECT_EQ(profile.SetAsidePath(), path + ".bad");
  EXPECT_EQ(QFileInfo(path + ".bad").size(), kMaxProfileFileSize + 11);  // kept whole
  EXPECT_EQ(ProfileFile(path).ReadString("User", "PanelLeft_Width", "240"), "1");

  // The next save of a readable file sets nothing aside; another unreadable one never
  // replaces the first.
  ProfileFile again(path);
  again.WriteString("User", "PanelLeft_Width", "2");
  again.UpdateFile();
  EXPECT_TRUE(again.SetAsidePath().isEmpty());
  writeBig();
  ProfileFile third(path);
  third.WriteString("User", "PanelLeft_Width", "3");
  third.UpdateFile();
  EXPECT_EQ(third.SetAsidePath(), path + ".bad.2");
  EXPECT_EQ(QFileInfo(path + ".bad").size(), kMaxProfileFileSize + 11);
  EXPECT_EQ(QFileInfo(path + ".bad.2").size(), kMaxProfileFileSize + 11);

  // A folder in the file's place is not moved.
  QDir(dir).mkdir("folder.ini");
  ProfileFile folder(dir + "/folder.ini");
  EXPECT_EQ(folder.ReadString("User", "a", "d"), "d");
  folder.WriteString("User", "a", "1");
  EXPECT_THROW(folder.UpdateFile(), EIniFileException);
  EXPECT_TRUE(QFileInfo(dir + "/folder.ini").isDir());
}

TEST(ProfileNumbers, LenientIntegerParse) {
  EXPECT_EQ(StrToIntDef("  12 ", 0), 12);
  EXPECT_EQ(StrToIntDef("$ff", 0), 255);
  EXPECT_EQ(StrToIntDef("-2147483648", 0), INT32_MIN);
  EXPECT_EQ(StrToIntDef("2147483648", 7), 7);
  EXPECT_EQ(StrToIntDef("0x1FFFFFFFF", 7), 7);
  EXPECT_EQ(StrToIntDef("1.5", 7), 7);
  EXPECT_EQ(StrToIntDef("-", 7), 7);
  EXPECT_EQ(StrToIntDef("\xd9\xa3", 7), 7);  // an Arabic-Indic digit is no digit here
  EXPECT_EQ(StrToInt64Def("-9223372036854775808", 0), INT64_MIN);
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 3), 3);
}

}  // namespace
}  // namespace vumo::settings
