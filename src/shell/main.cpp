// Vumo: a viewer for texture and picture files.
#include <QIcon>

#include <cstdio>
#include <string>

#include "browser/file_names.h"
#include "formats/format_registry.h"
#include "settings/form_storage.h"
#include "shell/application.h"
#include "shell/main_window.h"

namespace {

constexpr const char kUsage[] =
    "Usage: vumo [FILE | FOLDER]\n"
    "       vumo --compare A B\n"
    "Shows the picture files of a folder: FILE opens its folder and shows it, FOLDER opens\n"
    "that folder; without either, the folder shown last, or else the current one.\n"
    "--compare shows pictures A and B compared, with A's folder listed.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --         take the next argument as a file name, even if it starts with '-'\n";

}  // namespace

int main(int argc, char** argv) {
  // These are answered before any window or display is needed.
  if (argc > 1) {
    const std::string first = argv[1];
    if (first == "-h" || first == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // Counted again once Qt has taken its own options out.
    if (first == "--compare" && argc < 4) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    if (first == "--version") {
      std::printf("vumo %s\n", VUMO_VERSION);
      return 0;
    }
  }

  // The formats unit's registrations come first, before anything can load a picture.
  vumo::FileFormatList();

  vumo::TApplication application(argc, argv);
  // A settings file that cannot be written is reported like any other error.
  vumo::TFormPlacement::SetErrorHandler(&vumo::ShowException);
  application.setWindowIcon(QIcon(QStringLiteral(":/vumo.png")));

  vumo::TForm1 form;
  form.show();

  // Beyond the plain start-up: a path on the command line opens its folder (and shows the
  // file), after the stored settings have been restored at the first show.
  // Taken from the raw bytes, so a name that is not UTF-8 still opens.
  // Qt has taken its own options (-platform, -style...) out of argv by now.
  const bool compare = argc > 1 && std::string(argv[1]) == "--compare";
  if (compare && argc != 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int pathIndex = compare ? 2 : argc > 1 ? 1 : 0;
  if (pathIndex > 0 && std::string(argv[1]) == "--") pathIndex = argc > 2 ? 2 : 0;
  if (pathIndex > 0) {
    const QString path = vumo::DecodeFileName(QByteArray(argv[pathIndex]));
    vumo::RunGuarded([&] {
      if (compare)
        form.OpenCompareFromCommandLine(path, vumo::DecodeFileName(QByteArray(argv[3])));
      else
        form.OpenFromCommandLine(path);
    });
  }

  return application.exec();
}
