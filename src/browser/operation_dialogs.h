#pragma once

// The questions and the progress window of the file operations, as message
// boxes and a QProgressDialog (shown only when an operation runs longer than
// a moment, with a working Cancel).

#include "browser/file_operations.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace vumo {

class TDialogOperationUi : public TOperationUi {
 public:
  explicit TDialogOperationUi(QWidget* parent, const QString& title = QString());
  ~TDialogOperationUi() override;
  TReplaceAnswer AskReplace(const QString& source, const QString& target, bool folders) override;
  bool AskDeletePermanently(const QStringList& paths, const QString& reason) override;
  bool Progress(const QString& current, std::int64_t done, std::int64_t total) override;

  // Milliseconds an operation runs before the progress window shows.
  static int& ShowAfterMs();

 private:
  QPointer<QWidget> parent_;
  QString title_;
  QProgressDialog* progress_ = nullptr;
  QElapsedTimer clock_;
  qint64 lastEvents_ = 0;
};

// Shows the result's report in a warning box when the operation did not fully succeed
// (a cancel by the user is not reported).
void ReportResult(QWidget* parent, const TOperationResult& result);

}  // namespace vumo
