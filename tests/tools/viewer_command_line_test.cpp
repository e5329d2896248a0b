// The viewer's own options, answered without a window or a display.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/test_support.h"

namespace vumo {
namespace {

struct RunResult {
  int status = -1;
  std::string out, err;
};

RunResult RunViewer(const std::string& name, const std::string& arguments) {
  const std::string dir = test::TempDir("viewer-" + name + "-" + std::to_string(getpid()));
  // No display at all: an option that needed one would fail here.
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= " + std::string(VUMO_VIEWER) +
                              " " + arguments + " >" + dir + "/out 2>" + dir + "/err";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  result.out = slurp(dir + "/out");
  result.err = slurp(dir + "/err");
  return result;
}

TEST(ViewerCommandLine, HelpAndVersionAnswerWithoutADisplay) {
  for (const char* option : {"--help", "-h"}) {
    const RunResult help = RunViewer(option[1] == 'h' ? "short-help" : "help", option);
    EXPECT_EQ(help.status, 0) << option << ": " << help.err;
    EXPECT_EQ(help.out.rfind("Usage: vumo [FILE | FOLDER]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    EXPECT_EQ(help.err, "");
  }
  const RunResult version = RunViewer("version", "--version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("vumo ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.back(), '\n');
}

}  // namespace
}  // namespace vumo
