// The main window the window tests drive: started from the design values, not from what
// the last window saved, shown and active.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTest>
#include <initializer_list>
#include <memory>
#include <optional>

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

  // What the last window saved, or nothing when there is no file to read; the caller asserts
  // on it, since an assertion in here would not end the test.
  static std::optional<QString> SettingsText() {
    QFile file(SettingsFile());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return QString::fromUtf8(file.readAll());
  }

  // A new window in place of the last, started from what that one saved; call it under
  // ASSERT_NO_FATAL_FAILURE so that a window never shown ends the test.
  void Reopen() {
    form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  // The round trip through a restart: closes the window, which saves the settings, checks that
  // the file holds each of `entries`, and opens a new window over it. Call it under
  // ASSERT_NO_FATAL_FAILURE too.
  void RestartExpectingSaved(std::initializer_list<const char*> entries) {
    form->close();
    form.reset();
    const std::optional<QString> text = SettingsText();
    ASSERT_TRUE(text);
    for (const char* entry : entries) EXPECT_TRUE(text->contains(entry)) << entry << " in " << text->toStdString();
    Reopen();
  }

  std::unique_ptr<TForm1> form;
};

}  // namespace vumo::test
