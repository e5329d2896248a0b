#include "shell/application.h"

#include <QFile>
#include <QIcon>
#include <QMessageBox>

namespace vumo {

QString ExceptionMessageText(const std::exception& error) {
  // Messages may carry file names in the file system's encoding.
  QString text = QFile::decodeName(QByteArray(error.what()));
  if (!text.isEmpty() && text.back() > QLatin1Char('.')) text += QLatin1Char('.');
  return text;
}

void ShowException(const std::exception& error) {
  QString title = QApplication::applicationDisplayName();
  if (title.isEmpty()) title = QString::fromLatin1(kApplicationTitle);
  QMessageBox::critical(QApplication::activeWindow(), title, ExceptionMessageText(error));
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QString::fromLatin1(kApplicationTitle));
  setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(std::runtime_error("Unknown error"));
  }
  return false;
}

}  // namespace vumo
