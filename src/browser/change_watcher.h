#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace vumo {

// Watches the folders the browser has shown and the mount table, and reports
// only what the browser cares about: a sub-folder made, removed or renamed in
// a watched folder, or a volume mounted or unmounted. Files coming and going
// are not reported. Reports are gathered for a moment, so a burst of changes
// gives one report.
class TChangeWatcher : public QObject {
  Q_OBJECT
 public:
  explicit TChangeWatcher(QObject* parent = nullptr);
  ~TChangeWatcher() override;

  // Watch a folder whose sub-folders are (now) these names.
  void Watch(const QString& folder, const QSet<QString>& subFolders);
  void Watch(const QString& folder);
  void Clear();
  bool IsWatching(const QString& folder) const { return subFolders_.contains(folder); }

  static QSet<QString> SubFolderNames(const QString& folder, bool* readable = nullptr);

 signals:
  void Changed();

 private:
  void FolderChanged(const QString& folder);
  void MountsChanged();

  QFileSystemWatcher watcher_;
  QHash<QString, QSet<QString>> subFolders_;
  QTimer delay_;
  int mountFd_ = -1;
  QSocketNotifier* mountNotifier_ = nullptr;
};

}  // namespace vumo
