#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Windows under test save their settings: keep them away from the user's own.
  char configDir[] = "/tmp/vumo-gui-test-XXXXXX";
  if (mkdtemp(configDir)) qputenv("XDG_CONFIG_HOME", configDir);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  int result = RUN_ALL_TESTS();
  std::system(("rm -rf '" + std::string(configDir) + "'").c_str());
  return result;
}
