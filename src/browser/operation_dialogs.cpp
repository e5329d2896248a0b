#include "browser/operation_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace vumo {

TDialogOperationUi::TDialogOperationUi(QWidget* parent, const QString& title) : parent_(parent), title_(title) {
  clock_.start();
}

TDialogOperationUi::~TDialogOperationUi() { delete progress_; }

int& TDialogOperationUi::ShowAfterMs() {
  static int ms = 700;
  return ms;
}

TReplaceAnswer TDialogOperationUi::AskReplace(const QString& source, const QString& target, bool folders) {
  QMessageBox box(QMessageBox::Question, title_,
                  folders ? QStringLiteral("The folder \"%1\" already exists.\nMerge \"%2\" into it? Files of the same name are asked about one by one.")
                                .arg(target, source)
                          : QStringLiteral("\"%1\" already exists.\nReplace it with \"%2\"?").arg(target, source),
                  QMessageBox::NoButton, parent_);
  QPushButton* replace = box.addButton(folders ? QStringLiteral("&Merge") : QStringLiteral("&Replace"), QMessageBox::YesRole);
  QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::NoRole);
  box.addButton(QMessageBox::Cancel);
  auto* all = new QCheckBox(QStringLiteral("&Apply to all"), &box);
  box.setCheckBox(all);
  box.setDefaultButton(skip);
  if (progress_ != nullptr) progress_->hide();
  box.exec();
  if (progress_ != nullptr && progress_->isVisible() == false && clock_.elapsed() >= ShowAfterMs()) progress_->show();
  if (box.clickedButton() == replace) return all->isChecked() ? TReplaceAnswer::ReplaceAll : TReplaceAnswer::Replace;
  if (box.clickedButton() == skip) return all->isChecked() ? TReplaceAnswer::SkipAll : TReplaceAnswer::Skip;
  return TReplaceAnswer::Cancel;
}

bool TDialogOperationUi::AskDeletePermanently(const QStringList& paths, const QString& reason) {
  QString text = QStringLiteral("These items cannot be moved to the trash (%1):\n").arg(reason);
  for (qsizetype i = 0; i < paths.size() && i < 10; ++i) text += QStringLiteral("    ") + paths[i] + QLatin1Char('\n');
  if (paths.size() > 10) text += QStringLiteral("    ...\n");
  text += QStringLiteral("\nDelete them permanently? This cannot be undone.");
  return QMessageBox::warning(parent_, title_, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

bool TDialogOperationUi::Progress(const QString& current, std::int64_t done, std::int64_t total) {
  const qint64 now = clock_.elapsed();
  if (progress_ == nullptr && now >= ShowAfterMs() && qobject_cast<QApplication*>(QCoreApplication::instance())) {
    progress_ = new QProgressDialog(title_, QStringLiteral("Cancel"), 0, 1000, parent_);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->show();
  }
  if (progress_ == nullptr) return true;
  if (now - lastEvents_ >= 50) {
    lastEvents_ = now;
    progress_->setLabelText(current);
    progress_->setValue(total > 0 ? int(std::min<std::int64_t>(1000, done * 1000 / total)) : 0);
    QCoreApplication::processEvents();
  }
  return !progress_->wasCanceled();
}

void ReportResult(QWidget* parent, const TOperationResult& result) {
  if (result.ok || (result.cancelled && result.failed.isEmpty())) return;
  if (result.failed.isEmpty() && !result.skipped.isEmpty()) return;  // skips were the user's own answers
  QMessageBox::warning(parent, QString(), QStringLiteral("File operation failed") + QStringLiteral("\n\n") + result.Report());
}

}  // namespace vumo
