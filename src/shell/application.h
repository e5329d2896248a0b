// The application object: its title, and the default handler for errors that escape an
// event handler.
#pragma once

#include <QApplication>
#include <exception>

namespace vumo {

inline constexpr const char* kApplicationTitle = "Vumo";

// Shows an error's message in a box titled with the application's title, then returns.
void ShowException(const std::exception& error);

// Runs a handler and shows any error it raises instead of letting it unwind into Qt.
template <typename Handler>
void RunGuarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  }
}

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The message text as the default handler shows it: a full stop is added after a last
// character that sorts above '.' (a letter or digit), not after ')' or '.' itself.
QString ExceptionMessageText(const std::exception& error);

}  // namespace vumo
