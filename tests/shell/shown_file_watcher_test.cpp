// The shown file saved again: shown again with the view kept, read only once it stands still,
// kept on screen with a note when broken or gone, and left alone when its bytes did not change.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>
#include <functional>

#include "shell/pixel_readout.h"
#include "shell/shown_file_watcher.h"
#include "window_fixture.h"

namespace vumo {
namespace {

QByteArray Ppm(int width, int height, unsigned rgb) {
  QByteArray bytes = QStringLiteral("P6\n%1 %2\n255\n").arg(width).arg(height).toLatin1();
  for (int i = 0; i < width * height; ++i)
    bytes.append(char(rgb >> 16)).append(char(rgb >> 8)).append(char(rgb));
  return bytes;
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Waits for a condition with a generous cap; the result goes to a gtest assertion, which
// the QTRY macros would not reach from outside a QTest run.
bool Until(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 20000); }

class ShownFileReload : public test::TWindowTest {
 protected:
  void SetUp() override {
    test::TWindowTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("shown.ppm");
    watcher = form->findChild<TShownFileWatcher*>();
    ASSERT_NE(watcher, nullptr);
  }

  // The colour of the shown picture's top left pixel, 0xRRGGBB; ~0 when nothing is shown.
  unsigned Shown() const {
    const TGraphic* graphic = form->ViewImage->Picture()->Graphic();
    const std::optional<TPixelValue> value = graphic ? ReadPixel(*graphic, QPoint(0, 0)) : std::nullopt;
    return value ? (unsigned(value->Red) << 16) | (unsigned(value->Green) << 8) | value->Blue : ~0u;
  }
  QString Note() const { return form->StatusBar->ViewText(); }
  // Until the watcher has heard of a change and finished with it.
  void WaitForSettled() {
    ASSERT_TRUE(Until([this] { return watcher->Settling(); }));
    ASSERT_TRUE(Until([this] { return !watcher->Settling() && !form->Loading(); }));
  }

  QTemporaryDir dir;
  QString path;
  TShownFileWatcher* watcher = nullptr;
};

TEST_F(ShownFileReload, ARewrittenFileIsShownAgainAtTheSameImageZoomChannelAndMode) {
  // Several images; the second shown (the fourth entry) is a 32 x 32 bitmap with alpha, whose colours are rewritten.
  QFile icon(QStringLiteral(VUMO_TESTS_DIR "/data/ico/several_sizes.ico"));
  ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
  QByteArray bytes = icon.readAll();
  path = dir.filePath("icon.ico");
  ASSERT_TRUE(Write(path, bytes));
  form->LoadPicture(path, 1);
  form->NormMenuClick(form->NormMenu);
  form->ViewImage->SetZoom(4.0);
  form->ViewImage->SetChannel(TViewState::vcGreen);
  const unsigned before = Shown();

  constexpr int kPixels = 2741 + 40;  // the entry's offset, then its header
  ASSERT_EQ(bytes.mid(2741, 4), QByteArray("(\0\0\0", 4));
  for (int i = 0; i < 32 * 32; ++i) bytes.replace(kPixels + 4 * i, 4, QByteArray("\x11\x22\x33\xFF", 4));
  ASSERT_TRUE(Write(path, bytes));
  ASSERT_TRUE(Until([this] { return Shown() == 0x332211u; })) << std::hex << Shown();
  EXPECT_NE(before, 0x332211u);
  EXPECT_EQ(form->ViewImage->Picture()->Graphic()->Images().Index, 1u);
  EXPECT_EQ(form->ViewImage->Zoom(), 4.0);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcGreen);
  EXPECT_TRUE(form->NormMenu->Checked());
  EXPECT_EQ(form->ShownFile(), path);
}

// What an exporter does: a new file renamed over the old one, which ends a watch on the old.
TEST_F(ShownFileReload, AFileReplacedByRenameIsShownAgainEachTime) {
  ASSERT_TRUE(Write(path, Ppm(4, 4, 0x102030)));
  form->LoadPicture(path);
  for (unsigned colour : {0x405060u, 0x708090u}) {
    const QString temporary = dir.filePath("shown.ppm.part");
    ASSERT_TRUE(Write(temporary, Ppm(4, 4, colour)));
    ASSERT_EQ(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()), 0);
    ASSERT_TRUE(Until([&] { return Shown() == colour; })) << std::hex << Shown();
  }
}

TEST_F(ShownFileReload, AFileStillBeingWrittenIsReadOnlyWhenComplete) {
  ASSERT_TRUE(Write(path, Ppm(8, 8, 0x102030)));
  form->LoadPicture(path);
  QStringList notes;
  QObject::connect(watcher, &TShownFileWatcher::NoteChanged, form.get(), [&] { notes << watcher->Note(); });
  QSignalSpy reads(watcher, &TShownFileWatcher::Changed);
  // Half a file that stands still for a few polls, but not yet for the settling time.
  watcher->SetSettleTime(3600 * 1000);
  const QByteArray next = Ppm(8, 8, 0xA0B0C0);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(next.left(next.size() / 2));
  file.flush();
  ASSERT_TRUE(Until([this] { return watcher->Polls() >= 3; }));
  EXPECT_EQ(reads.count(), 0);
  file.write(next.mid(next.size() / 2));
  file.close();
  watcher->SetSettleTime(0);
  ASSERT_TRUE(Until([this] { return Shown() == 0xA0B0C0u; })) << std::hex << Shown();
  EXPECT_TRUE(notes.join("").isEmpty()) << notes.join("|").toStdString();
}

// A broken save, or the file deleted: the last good picture stays, the status line says why,
// and the next good file is shown again.
struct TLoss {
  const char* name;
  bool remove;
  const char* note;
};

class ShownFileLoss : public ShownFileReload, public ::testing::WithParamInterface<TLoss> {};

TEST_P(ShownFileLoss, KeepsTheLastGoodPictureWithANoteUntilTheFileIsGoodAgain) {
  ASSERT_TRUE(Write(path, Ppm(4, 4, 0x102030)));
  form->LoadPicture(path);
  if (GetParam().remove)
    ASSERT_TRUE(QFile::remove(path));
  else
    ASSERT_TRUE(Write(path, QByteArray("P6\n4 4\n255\n\x01\x02", 13)));
  ASSERT_TRUE(Until([this] { return Note().contains(GetParam().note); })) << Note().toStdString();
  EXPECT_EQ(Shown(), 0x102030u);
  EXPECT_EQ(form->ShownFile(), path);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  ASSERT_TRUE(Write(path, Ppm(4, 4, 0x405060)));
  ASSERT_TRUE(Until([this] { return Shown() == 0x405060u; })) << std::hex << Shown();
  EXPECT_FALSE(Note().contains("last one read")) << Note().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Losses, ShownFileLoss,
                         ::testing::Values(TLoss{"Broken", false, "could not be read"}, TLoss{"Deleted", true, "is gone"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing to show again: the picture object stays the one loaded, and no reload runs.
TEST_F(ShownFileReload, TouchesAndSameBytesAndOtherFilesReloadNothing) {
  const QByteArray bytes = Ppm(4, 4, 0x102030);
  ASSERT_TRUE(Write(path, bytes));
  form->LoadPicture(path);
  const TGraphic* shown = form->ViewImage->Picture()->Graphic();
  QSignalSpy reloads(watcher, &TShownFileWatcher::Changed);

  {
    QFile touched(path);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::fromSecsSinceEpoch(1000000), QFileDevice::FileModificationTime));
  }
  WaitForSettled();
  ASSERT_TRUE(Write(path, bytes));
  WaitForSettled();
  ASSERT_TRUE(Write(dir.filePath("other.ppm"), Ppm(2, 2, 0)));
  WaitForSettled();

  EXPECT_EQ(reloads.count(), 0);
  EXPECT_EQ(form->ViewImage->Picture()->Graphic(), shown);
  EXPECT_FALSE(Note().contains("last one read")) << Note().toStdString();
}

TEST(ContentHash, TellsBytesApartAndGivesNothingForWhatIsNotARegularFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(Write(dir.filePath("a"), "one"));
  ASSERT_TRUE(Write(dir.filePath("b"), "one"));
  ASSERT_TRUE(Write(dir.filePath("c"), "two"));
  EXPECT_EQ(ContentHash(dir.filePath("a")), ContentHash(dir.filePath("b")));
  EXPECT_NE(ContentHash(dir.filePath("a")), ContentHash(dir.filePath("c")));
  ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
  for (const char* name : {"pipe", "missing", ""}) EXPECT_TRUE(ContentHash(dir.filePath(name)).isEmpty()) << name;
  EXPECT_FALSE(TFileStamp::Of(dir.filePath("pipe")).exists);
  EXPECT_FALSE(TFileStamp::Of(dir.filePath("missing")).exists);
}

}  // namespace
}  // namespace vumo
