#pragma once

#include <QString>
#include <QWidget>

namespace vumo {

class TFileListView;

class TDirTreeCombo : public QWidget {
  Q_OBJECT

 public:
  explicit TDirTreeCombo(QWidget* parent = nullptr);
  ~TDirTreeCombo() override;

  void OpenPath(const QString& path);
  int TreeHeight() const;
  void SetTreeHeight(int value);
  TFileListView* FileList() const;
  void SetFileList(TFileListView* value);

 signals:
  void Click();

 private:
  int treeHeight_ = 240;
  TFileListView* fileList_ = nullptr;
};

}  // namespace vumo
