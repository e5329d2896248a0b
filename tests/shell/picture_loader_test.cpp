// Loads on the worker thread: what reports, what a newer request drops, and the window's
// side of it (the picture handed over whole, errors and the too-large question on arrival).
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "formats/graphic.h"
#include "shell/main_window.h"
#include "shell/picture_loader.h"
#include "shell_test_util.h"
#include "support/hostile_files.h"
#include "support/test_support.h"
#include "window_fixture.h"

namespace vumo {
namespace {

using Result = std::shared_ptr<TPictureLoader::TResult>;

const QString kSamples = QStringLiteral(VUMO_SOURCE_DIR "/data/samples/");

std::vector<Result> RunUntilIdle(TPictureLoader& loader) {
  std::vector<Result> results;
  QObject::connect(&loader, &TPictureLoader::Finished, &loader, [&results](const Result& r) { results.push_back(r); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return !loader.Busy(); }, 60000));
  QCoreApplication::processEvents();  // nothing more may arrive
  return results;
}

TEST(PictureLoader, ReportsThePictureOrTheReadersError) {
  TPictureLoader loader;
  loader.Start({kSamples + "bricks.bmp", 0, true});
  EXPECT_TRUE(loader.Busy());
  ASSERT_NE(loader.Current(), nullptr);
  EXPECT_EQ(loader.Current()->path, kSamples + "bricks.bmp");
  std::vector<Result> results = RunUntilIdle(loader);
  ASSERT_EQ(results.size(), 1u);
  ASSERT_FALSE(results[0]->error);
  EXPECT_EQ(results[0]->picture->Width(), 128);

  const std::string dir = test::TempDir("loader_errors");
  std::ofstream(dir + "/cut.bmp", std::ios::binary) << "BM\x10";
  loader.Start({QString::fromStdString(dir + "/cut.bmp"), 0, true});
  results = RunUntilIdle(loader);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_FALSE(results[0]->picture);
  EXPECT_THROW(std::rethrow_exception(results[0]->error), std::exception);
}

TEST(PictureLoader, OnlyTheNewestRequestReportsAndACancelledOneNever) {
  TPictureLoader loader;
  loader.Start({kSamples + "bricks.bmp", 0, true});
  loader.Start({kSamples + "bricks.bmp", 0, true});  // waits, then is dropped in turn
  loader.Start({kSamples + "marble.bmp", 0, true});
  EXPECT_EQ(loader.Current()->path, kSamples + "marble.bmp");
  std::vector<Result> results = RunUntilIdle(loader);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]->request.path, kSamples + "marble.bmp");
  EXPECT_EQ(results[0]->picture->Width(), 96);

  loader.Start({kSamples + "bricks.bmp", 0, true});
  loader.Cancel();
  EXPECT_EQ(loader.Current(), nullptr);
  EXPECT_TRUE(RunUntilIdle(loader).empty());
}

TEST(PictureLoader, ALargeLoadIsCutShortWhenANewerOneComes) {
  // The newer request comes before the worker reaches the first row, so the cancel lands
  // between rows and the reader unwinds from its progress call.
  const std::string dir = test::TempDir("loader_cancel");
  const int side = 1024;
  std::vector<std::uint8_t> tga(18 + std::size_t(side) * side * 3, 0x40);
  std::fill(tga.begin(), tga.begin() + 18, 0);
  tga[2] = 2;
  tga[12] = side & 0xFF, tga[13] = side >> 8, tga[14] = side & 0xFF, tga[15] = side >> 8, tga[16] = 24;
  std::ofstream(dir + "/large.tga", std::ios::binary).write(reinterpret_cast<const char*>(tga.data()), std::streamsize(tga.size()));
  tga = {};
  TPictureLoader loader;
  loader.Start({QString::fromStdString(dir + "/large.tga"), 0, true});
  loader.Start({kSamples + "marble.bmp", 0, true});
  const std::vector<Result> results = RunUntilIdle(loader);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]->picture->Width(), 96);
  // Destroyed while a load runs: it stops and joins, nothing reports to a dead receiver.
  auto running = std::make_unique<TPictureLoader>();
  running->Start({QString::fromStdString(dir + "/large.tga"), 0, true});
  running.reset();
}

class BackgroundLoad : public test::TWindowTest {};

TEST_F(BackgroundLoad, TheWindowShowsThePictureWhenItArrivesAndSaysWhatLoads) {
  form->LoadPicture(kSamples + "bricks.bmp");
  form->LoadPictureInBackground(kSamples + "marble.bmp");
  EXPECT_TRUE(form->Loading());
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);  // the old picture until the new one is whole
  EXPECT_EQ(form->ShownFile(), kSamples + "bricks.bmp");
  WaitForLoad();
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 96);
  EXPECT_EQ(form->ShownFile(), kSamples + "marble.bmp");

  // A picture loaded in place cancels one still on its way.
  form->LoadPictureInBackground(kSamples + "bricks.bmp");
  form->LoadPicture(kSamples + "marble.bmp");
  EXPECT_FALSE(form->Loading());
  QTest::qWait(50);
  EXPECT_EQ(form->ShownFile(), kSamples + "marble.bmp");
}

TEST_F(BackgroundLoad, ErrorsShowWhenTheLoadEndsAndTheTooLargeQuestionStartsAgain) {
  form->LoadPicture(kSamples + "bricks.bmp");
  const std::string dir = test::TempDir("loader_window");
  std::ofstream(dir + "/cut.bmp", std::ios::binary) << "BM\x10";
  QString shown;
  test::OnNextModal([&shown](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = box->text();
    box->accept();
  });
  form->LoadPictureInBackground(QString::fromStdString(dir + "/cut.bmp"));
  WaitForLoad();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 10000));
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);

  const std::vector<std::uint8_t> bomb = test::HostilePng(16384, 16384, 8, 0, false, {0x78, 0x9C});
  std::ofstream(dir + "/bomb.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(bomb.data()), static_cast<std::streamsize>(bomb.size()));
  std::vector<QString> questions;
  // Yes to the question; the second load then ends in the file's read error.
  test::OnNextModal([&questions](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    questions.push_back(box->text());
    box->button(QMessageBox::Yes)->click();
    test::OnNextModal([&questions](QWidget* next) {
      auto* error = qobject_cast<QMessageBox*>(next);
      ASSERT_NE(error, nullptr);
      questions.push_back(error->text());
      error->accept();
    });
  });
  form->LoadPictureInBackground(QString::fromStdString(dir + "/bomb.png"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return questions.size() == 2 && !form->Loading(); }, 60000));
  EXPECT_TRUE(questions[0].contains("too large for its file")) << questions[0].toStdString();
  EXPECT_FALSE(questions[1].contains("too large for its file")) << questions[1].toStdString();
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);
  EXPECT_TRUE(form->ViewImage->Picture()->RefuseTooLargeForFile);
}

}  // namespace
}  // namespace vumo
