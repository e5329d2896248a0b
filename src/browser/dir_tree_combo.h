#pragma once

#include <QPointer>
#include <QString>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include "browser/explorer_texts.h"

class QLineEdit;

namespace vumo {

class TChangeWatcher;
class TDirTreeCombo;
class TFileListView;

// The drop button at the right of the edit.
class TDropButton : public QToolButton {
  Q_OBJECT
 public:
  explicit TDropButton(QWidget* parent = nullptr);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The tree that drops down below the edit: the computer, its volumes and,
// filled as they are opened, their folders.
class TDirTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TDirTreeView(TDirTreeCombo* combo);

  void BuildRoot();
  void FillNode(QTreeWidgetItem* node);
  QString NodePath(QTreeWidgetItem* node);
  void ExpandToPath(const QString& path);
  void AcceptSelection();
  void CloseUp();
  QTreeWidgetItem* RootNode() const { return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr; }

  QString CurrentPath() const { return currentPath_; }
  void SetCurrentPath(const QString& value) { currentPath_ = value; }
  QString PreviousPath() const { return previousPath_; }
  QString LastNodePath() const { return lastNodePath_; }
  bool ExpandRoot() const { return expandRoot_; }
  void SetExpandRoot(bool value) { expandRoot_ = value; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  TDirTreeCombo* combo_;
  QString currentPath_ = QStringLiteral("Drives");
  QString previousPath_;
  QString lastNodePath_;
  bool expandRoot_ = true;
  bool closing_ = false;
};

class TDirTreeCombo : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString SelectedPath READ SelectedPath WRITE SetSelectedPath)
  Q_PROPERTY(bool ExpandRoot READ ExpandRoot WRITE SetExpandRoot)
  Q_PROPERTY(bool HideSelection READ HideSelection WRITE SetHideSelection)
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(vumo::TLanguages::TLanguage Language READ Language WRITE SetLanguage)
  Q_PROPERTY(int TreeHeight READ TreeHeight WRITE SetTreeHeight)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

 public:
  explicit TDirTreeCombo(QWidget* parent = nullptr);
  ~TDirTreeCombo() override;

  void OpenPath(const QString& path);
  void ShowPath(const QString& path);
  void ReloadTree();
  void DropDown();
  void CloseUp();
  bool TreeIsOpen() const;
  void FocusTree();

  int TreeHeight() const;
  void SetTreeHeight(int value);
  TFileListView* FileList() const;
  void SetFileList(TFileListView* value);
  QString SelectedPath() const;
  void SetSelectedPath(const QString& value);
  bool ExpandRoot() const;
  void SetExpandRoot(bool value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  QString About() const { return QStringLiteral("Version 1.0"); }
  void SetAbout(const QString&) {}
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage value);
  bool ReadOnly() const { return true; }
  void SetReadOnly(bool) {}
  void SetGlyph(const QIcon& glyph);

  // The caption of the computer node, as the file list hands it back.
  QString RootCaption() const;
  QString EditText() const;
  QString HintText() const;
  TDirTreeView* Tree() const { return tree_; }
  TDropButton* Button() const { return button_; }
  QLineEdit* Edit() const { return edit_; }
  TChangeWatcher* Watcher() const { return watcher_; }
  // Number of rebuilds the change notification caused.
  int ChangeRebuilds() const { return changeRebuilds_; }

  // Called by the tree when a node is chosen with the mouse or Enter.
  void NodeChosen(QObject* sender);
  void HandleKey(QKeyEvent* event);

 signals:
  void Click();
  void OnPathChange(QObject* sender, const QString& selectedPath);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowSelectedNodeInEdit();
  void ChangeNotified();

  QLineEdit* edit_ = nullptr;
  TDropButton* button_ = nullptr;
  TDirTreeView* tree_ = nullptr;
  TChangeWatcher* watcher_ = nullptr;
  QPointer<TFileListView> fileList_;
  QString openedPath_;
  TLanguage language_ = TLanguages::lnSysDefault;
  bool hideSelection_ = true;
  int changeRebuilds_ = 0;
  bool rebuilding_ = false;
  friend class TDirTreeView;
};

}  // namespace vumo
