// The clipboard of files as a real X client sees it. Runs only on a real X
// display (for example Xvfb with QT_QPA_PLATFORM=xcb) with xclip installed;
// everywhere else (the offscreen test runs) it is skipped.
//   Xvfb :99 & DISPLAY=:99 QT_QPA_PLATFORM=xcb build/tests/browser_xclip_interop_test
#include "browser/file_clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace vumo {
namespace {

bool RealX() {
  return QGuiApplication::platformName() == QLatin1String("xcb") &&
         !QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty();
}

// Runs xclip while the event loop serves the selection it asks for.
QByteArray Xclip(const QStringList& arguments, const QByteArray& input = QByteArray()) {
  QProcess process;
  process.start(QStringLiteral("xclip"), arguments);
  if (!input.isEmpty()) {
    process.write(input);
    process.closeWriteChannel();
  }
  for (int i = 0; i < 300 && process.state() != QProcess::NotRunning; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    process.waitForFinished(10);
  }
  if (!input.isEmpty()) return {};  // xclip -i keeps serving in the background
  return process.readAllStandardOutput();
}

TEST(XclipInterop, OtherClientsSeeEveryFormat) {
  if (!RealX()) GTEST_SKIP() << "needs an X display (QT_QPA_PLATFORM=xcb) and xclip";
  QApplication::clipboard()->setMimeData(MakeFileMimeData({"/tmp/a b.png", "/tmp/c.txt"}, true));
  QTest::qWait(100);
  const QByteArray targets = Xclip({"-selection", "clipboard", "-o", "-t", "TARGETS"});
  std::printf("TARGETS:\n%s\n", targets.constData());
  EXPECT_TRUE(targets.contains("text/uri-list"));
  EXPECT_TRUE(targets.contains("x-special/gnome-copied-files"));
  EXPECT_TRUE(targets.contains("application/x-kde-cutselection"));
  const QByteArray gnome = Xclip({"-selection", "clipboard", "-o", "-t", "x-special/gnome-copied-files"});
  std::printf("x-special/gnome-copied-files: [%s]\n", gnome.constData());
  EXPECT_EQ(gnome, QByteArray("cut\nfile:///tmp/a%20b.png\nfile:///tmp/c.txt"));
  const QByteArray uris = Xclip({"-selection", "clipboard", "-o", "-t", "text/uri-list"});
  std::printf("text/uri-list: [%s]\n", uris.constData());
  EXPECT_EQ(uris, QByteArray("file:///tmp/a%20b.png\r\nfile:///tmp/c.txt\r\n"));
  const QByteArray kde = Xclip({"-selection", "clipboard", "-o", "-t", "application/x-kde-cutselection"});
  std::printf("application/x-kde-cutselection: [%s]\n", kde.constData());
  EXPECT_EQ(kde, QByteArray("1"));
  const QByteArray text = Xclip({"-selection", "clipboard", "-o", "-t", "UTF8_STRING"});
  std::printf("UTF8_STRING: [%s]\n", text.constData());
  EXPECT_EQ(text, QByteArray("/tmp/a b.png\n/tmp/c.txt"));
}

TEST(XclipInterop, WhatANautilusLikeClientPublishesIsPasted) {
  if (!RealX()) GTEST_SKIP() << "needs an X display (QT_QPA_PLATFORM=xcb) and xclip";
  Xclip({"-selection", "clipboard", "-i", "-t", "x-special/gnome-copied-files"}, "copy\nfile:///tmp/from%20gnome.png");
  TClipboardFiles files;
  for (int i = 0; i < 100 && files.paths.isEmpty(); ++i) {
    QTest::qWait(20);
    files = ParseFileMimeData(QApplication::clipboard()->mimeData());
  }
  EXPECT_EQ(files.paths, QStringList{"/tmp/from gnome.png"});
  EXPECT_EQ(files.mode, TClipMode::Copy);
}

}  // namespace
}  // namespace vumo
