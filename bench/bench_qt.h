// The one offscreen QApplication the benchmarks of Qt widgets share.
#pragma once

#include <QApplication>

namespace vumo::bench {

inline QApplication& BenchApplication() {
  static int argc = 1;
  static char name[] = "vumo_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace vumo::bench
