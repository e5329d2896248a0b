#pragma once

#include <QString>
#include <QTreeView>

namespace vumo {

class TDirTreeCombo;

class TFileListView : public QTreeView {
  Q_OBJECT
  Q_PROPERTY(QString Directory READ Directory WRITE SetDirectory)
  Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
  Q_PROPERTY(bool ShowFolders READ ShowFolders WRITE SetShowFolders)

 public:
  explicit TFileListView(QWidget* parent = nullptr);
  ~TFileListView() override;

  QString Directory() const;
  void SetDirectory(const QString& value);
  QString Mask() const;
  void SetMask(const QString& value);
  bool ShowFolders() const;
  void SetShowFolders(bool value);

  void UpdateFileList();
  QString SelectedItem() const;

  TDirTreeCombo* DirTreeCombo() const;
  void SetDirTreeCombo(TDirTreeCombo* value);

 signals:
  void Click();

 private:
  QString directory_ = QStringLiteral("Drives");
  QString mask_ = QStringLiteral("*.*");
  bool showFolders_ = true;
  QString selectedItem_;
  TDirTreeCombo* dirTreeCombo_ = nullptr;
};

}  // namespace vumo
