// The clipboard of files, in the formats GNOME, KDE, Xfce and LXQt file managers use.
#include "browser/file_clipboard.h"

#include "browser/file_names.h"
#include "browser_test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

namespace vumo {
namespace {

using test::Q;

TEST(FileClipboard, PublishesEveryFormatInOneMimeData) {
  std::unique_ptr<QMimeData> data(MakeFileMimeData({"/tmp/a b.png", "/tmp/c#d%.txt"}, false));
  EXPECT_EQ(data->data("text/uri-list"), QByteArray("file:///tmp/a%20b.png\r\nfile:///tmp/c%23d%25.txt\r\n"));
  // No trailing newline: newer Nautilus refuses an empty last line.
  EXPECT_EQ(data->data("x-special/gnome-copied-files"), QByteArray("copy\nfile:///tmp/a%20b.png\nfile:///tmp/c%23d%25.txt"));
  EXPECT_EQ(data->data("application/x-kde-cutselection"), QByteArray("0"));
  EXPECT_EQ(data->data("text/plain"), QByteArray("/tmp/a b.png\n/tmp/c#d%.txt"));
  std::unique_ptr<QMimeData> cut(MakeFileMimeData({"/x"}, true));
  EXPECT_EQ(cut->data("x-special/gnome-copied-files"), QByteArray("cut\nfile:///x"));
  EXPECT_EQ(cut->data("application/x-kde-cutselection"), QByteArray("1"));
}

TEST(FileClipboard, ReadsWhatItPublishes) {
  const QString odd = DecodeFileName(QByteArray("/tmp/caf\xe9\nnew.txt"));
  std::unique_ptr<QMimeData> data(MakeFileMimeData({odd, "/tmp/plain"}, true));
  const TClipboardFiles files = ParseFileMimeData(data.get());
  EXPECT_EQ(files.paths, (QStringList{odd, "/tmp/plain"}));
  EXPECT_EQ(files.mode, TClipMode::Cut);
  EXPECT_EQ(EncodeFileName(files.paths[0]), QByteArray("/tmp/caf\xe9\nnew.txt"));
}

TEST(FileClipboard, ReadsTheFileManagersFormats) {
  {  // Nautilus and Thunar: the GNOME format (some versions add a trailing newline).
    QMimeData data;
    data.setData("x-special/gnome-copied-files", "cut\nfile:///home/u/a.png\nfile:///home/u/b%20c.png\n");
    const TClipboardFiles files = ParseFileMimeData(&data);
    EXPECT_EQ(files.paths, (QStringList{"/home/u/a.png", "/home/u/b c.png"}));
    EXPECT_EQ(files.mode, TClipMode::Cut);
  }
  {  // Dolphin: a URI list and the KDE marker.
    QMimeData data;
    data.setData("text/uri-list", "file:///home/u/a.png\r\n");
    data.setData("application/x-kde-cutselection", "1");
    const TClipboardFiles files = ParseFileMimeData(&data);
    EXPECT_EQ(files.paths, QStringList{"/home/u/a.png"});
    EXPECT_EQ(files.mode, TClipMode::Cut);
  }
  {  // A plain URI list carries no marker.
    QMimeData data;
    data.setData("text/uri-list", "# comment\r\nfile://localhost/etc/hostname\r\nhttp://example.com/x\r\n");
    const TClipboardFiles files = ParseFileMimeData(&data);
    EXPECT_EQ(files.paths, QStringList{"/etc/hostname"});
    EXPECT_EQ(files.mode, TClipMode::Unknown);
  }
  {  // Text holding paths of entries that exist.
    const std::string dir = test::TempDir("clipboard_text");
    test::WriteBytes(dir + "/f.txt", 1);
    QMimeData data;
    data.setText(Q(dir + "/f.txt\n/no/such/file\nnot a path"));
    const TClipboardFiles files = ParseFileMimeData(&data);
    EXPECT_EQ(files.paths, QStringList{Q(dir + "/f.txt")});
  }
  {
    QMimeData data;
    data.setText("hello");
    EXPECT_FALSE(HasFiles(&data));
    EXPECT_FALSE(HasFiles(nullptr));
  }
}

TEST(FileClipboard, SurvivesTheApplicationClipboard) {
  QApplication::clipboard()->setMimeData(MakeFileMimeData({"/tmp/x.png"}, false));
  const TClipboardFiles files = ParseFileMimeData(QApplication::clipboard()->mimeData());
  EXPECT_EQ(files.paths, QStringList{"/tmp/x.png"});
  EXPECT_EQ(files.mode, TClipMode::Copy);
}

}  // namespace
}  // namespace vumo
