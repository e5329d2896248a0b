// Vumo: a viewer for texture and picture files.
#include <QIcon>

#include "formats/format_registry.h"
#include "shell/application.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
  // The formats unit's registrations come first, before anything can load a picture.
  vumo::FileFormatList();

  vumo::TApplication application(argc, argv);
  application.setWindowIcon(QIcon(QStringLiteral(":/vumo.png")));

  vumo::TForm1 form;
  form.show();

  // Beyond the plain start-up: a path on the command line opens its folder (and shows the
  // file), after the stored settings have been restored at the first show.
  const QStringList arguments = application.arguments();
  if (arguments.size() > 1) vumo::RunGuarded([&] { form.OpenFromCommandLine(arguments.at(1)); });

  return application.exec();
}
