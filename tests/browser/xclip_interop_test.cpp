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

#include <cstdio>
#include <utility>

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

// One target of the clipboard as xclip reads it, printed so that a run on a real display
// shows what another client got.
QByteArray ReadBack(const char* target) {
  const QByteArray data = Xclip({"-selection", "clipboard", "-o", "-t", target});
  std::printf("%s: [%s]\n", target, data.constData());
  return data;
}

TEST(XclipInterop, OtherClientsSeeEveryFormat) {
  if (!RealX()) GTEST_SKIP() << "needs an X display (QT_QPA_PLATFORM=xcb) and xclip";
  QApplication::clipboard()->setMimeData(MakeFileMimeData({"/tmp/a b.png", "/tmp/c.txt"}, true));
  QTest::qWait(100);
  const QByteArray targets = ReadBack("TARGETS");
  const std::pair<const char*, QByteArray> fileFormats[] = {
      {"text/uri-list", "file:///tmp/a%20b.png\r\nfile:///tmp/c.txt\r\n"},
      {"x-special/gnome-copied-files", "cut\nfile:///tmp/a%20b.png\nfile:///tmp/c.txt"},
      {"application/x-kde-cutselection", "1"},
  };
  for (const auto& [target, expected] : fileFormats) {
    EXPECT_TRUE(targets.contains(target)) << target;
    EXPECT_EQ(ReadBack(target), expected);
  }
  EXPECT_EQ(ReadBack("UTF8_STRING"), QByteArray("/tmp/a b.png\n/tmp/c.txt"));
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
