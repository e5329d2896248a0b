// The viewer's own options, answered without a window or a display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace vumo {
namespace {

// No display at all: an option that needed one would fail here.
test::CommandResult RunViewer(const std::string& name, const std::string& arguments) {
  const std::string dir = test::TempDir("viewer-" + name + "-" + std::to_string(getpid()));
  return test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= " + std::string(VUMO_VIEWER) + " " +
                              arguments,
                          dir);
}

TEST(ViewerCommandLine, HelpAndVersionAnswerWithoutADisplay) {
  for (const char* option : {"--help", "-h"}) {
    const test::CommandResult help = RunViewer(option[1] == 'h' ? "short-help" : "help", option);
    EXPECT_EQ(help.status, 0) << option << ": " << help.err;
    EXPECT_EQ(help.out.rfind("Usage: vumo [FILE | FOLDER]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    EXPECT_EQ(help.err, "");
  }
  const test::CommandResult version = RunViewer("version", "--version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("vumo ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.back(), '\n');
}

}  // namespace
}  // namespace vumo
