#pragma once

// The box above the file list that narrows it by name as one types (TFileListView::
// SetNameFilter): a part of the name, or a mask such as "*_n.dds". Escape clears it; Down
// or Return goes on into the list.

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace vumo {

class TFileListView;

class TFileFilterBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit TFileFilterBox(QWidget* parent = nullptr);

  TFileListView* FileList() const { return list_; }
  void SetFileList(TFileListView* list);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Apply();

  QPointer<TFileListView> list_;
  // Keys typed quickly read the folder once, after the last of them.
  QTimer delay_;
};

}  // namespace vumo
