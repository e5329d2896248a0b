// The header columns and the filter box in the viewer's window: where they sit, the report
// the list turns to while a column is chosen, and Vumo.ini keeping the columns.
#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "browser/file_filter_box.h"
#include "browser/file_names.h"
#include "shell/main_window.h"
#include "support/test_support.h"
#include "window_fixture.h"
#include "support/wait_until.h"

namespace vumo {
namespace {

using ListColumnsWindow = test::TWindowTest;

TEST_F(ListColumnsWindow, TheFilterBoxSitsRightAboveTheList) {
  auto* box = form->findChild<TFileFilterBox*>("BrowseFilesFilter");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->FileList(), form->BrowseFiles);
  EXPECT_LE(box->geometry().bottom(), form->BrowseFiles->geometry().top());
  EXPECT_GT(box->geometry().bottom(), form->BrowseDrives->geometry().bottom());
  EXPECT_NE(form->FileMenu->findChild<QMenu*>("ColumnsMenu"), nullptr);
}

TEST_F(ListColumnsWindow, ChosenColumnsShowTheReportAndComeBackAtTheNextStart) {
  QTemporaryDir dir;
  std::filesystem::copy_file(test::Fixture("dds/cube.dds"), dir.path().toStdString() + "/cube.dds");
  form->BrowseFiles->SetDirectory(AddSlash(dir.path()));
  form->BrowseFiles->SetOptionalColumns("Dimensions,Images");
  EXPECT_EQ(form->BrowseFiles->ViewStyle(), TFileListView::vsReport);
  EXPECT_TRUE(form->BrowseFiles->ShowColumnHeaders());
  const int images = TFileListView::kFirstOptionalColumn + TFileListView::ocImages;
  form->BrowseFiles->header()->resizeSection(images, 171);
  WAIT_EQ(form->BrowseFiles->model()->index(0, images).data().toString(), QString("6 faces x 2 levels"));
  ASSERT_NO_FATAL_FAILURE(
      RestartExpectingSaved({"BrowseFiles_OptionalColumns=Dimensions,Images", "BrowseFiles_ColWidth_Images=171"}));
  EXPECT_EQ(form->BrowseFiles->OptionalColumns(), "Dimensions,Images");
  EXPECT_EQ(form->BrowseFiles->ColWidth_Images(), 171);
  EXPECT_EQ(form->BrowseFiles->ViewStyle(), TFileListView::vsReport);
  WAIT_EQ(form->BrowseFiles->model()->index(0, images).data().toString(), QString("6 faces x 2 levels"));

  // Without columns the list shows names only again, as designed.
  form->BrowseFiles->SetOptionalColumns("");
  EXPECT_EQ(form->BrowseFiles->ViewStyle(), TFileListView::vsList);
  EXPECT_FALSE(form->BrowseFiles->ShowColumnHeaders());
  // The list made the test's folder the current one, and the folder goes with the test.
  QDir::setCurrent(QDir::tempPath());
}

}  // namespace
}  // namespace vumo
