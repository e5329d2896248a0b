// The main window the window tests drive: started from the design values, not from what
// the last window saved, shown and active.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <memory>

#include "shell/main_window.h"

namespace vumo::test {

class TWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QFile::remove(SettingsFile());
    form = std::make_unique<TForm1>();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  // Until a background load has reported, as the event loop delivers it.
  void WaitForLoad() { ASSERT_TRUE(QTest::qWaitFor([this] { return !form->Loading(); }, 60000)); }

  static QString SettingsFile() { return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Vumo/Vumo.ini"; }

  std::unique_ptr<TForm1> form;
};

}  // namespace vumo::test
