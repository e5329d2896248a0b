// Vumo: a viewer for texture and picture files.
#include <QIcon>

#include "browser/file_names.h"
#include "formats/format_registry.h"
#include "settings/form_storage.h"
#include "shell/application.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
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
  if (argc > 1) {
    const QString path = vumo::DecodeFileName(QByteArray(argv[1]));
    vumo::RunGuarded([&] { form.OpenFromCommandLine(path); });
  }

  return application.exec();
}
