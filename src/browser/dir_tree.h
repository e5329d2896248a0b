#pragma once

// TDirTree and TDirTreePopup: a stand-alone tree of the computer,
// its volumes and their folders, with folder commands, drag and drop and a
// link to a TFileListView. The viewer does not place it.

#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QTreeWidget>

#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/folder_tree_items.h"

namespace vumo {

class TChangeWatcher;
class TDirTree;
class TFileListView;

class TDirTreePopup : public QMenu {
  Q_OBJECT
 public:
  enum Tag {
    tagNew = 1, tagRename = 2, tagDelete = 3, tagCut = 4, tagCopy = 5, tagPaste = 6, tagTreeSize = 7,
    tagContents = 8, tagMap = 9, tagDisconnect = 10, tagProperty = 11,
  };
  explicit TDirTreePopup(TDirTree* tree);
  QAction* Item(const QString& name) const;
  void UpdateItems();

 private:
  TDirTree* tree_;
};

class TDirTree : public QTreeWidget {
  Q_OBJECT
  Q_PROPERTY(bool PopUpMenuEnabled READ PopUpMenuEnabled WRITE SetPopUpMenuEnabled)
  Q_PROPERTY(QString SelectedPath READ SelectedPath WRITE SetSelectedPath)
  Q_PROPERTY(QString SelectedFile READ SelectedFile WRITE SetSelectedFile)
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(vumo::TLanguages::TLanguage Language READ Language WRITE SetLanguage)
  Q_PROPERTY(bool DragDropEnabled READ DragDropEnabled WRITE SetDragDropEnabled)

 public:
  // The drag format between trees: the dragged folder's path.
  static const QString kDragFormat;
  // Whether a drag moves or copies ("move" or "copy"), set by the tree and the list.
  static const QString kDragModeFormat;

  explicit TDirTree(QWidget* parent = nullptr);
  ~TDirTree() override;

  TFileListView* FileList() const;
  void SetFileList(TFileListView* value);
  bool PopUpMenuEnabled() const { return popUpMenuEnabled_; }
  void SetPopUpMenuEnabled(bool value);
  QString SelectedPath() const { return selectedPath_; }
  void SetSelectedPath(const QString& value) {
    if (value.compare(selectedPath_, Qt::CaseSensitive) != 0) selectedPath_ = value;
  }
  QString SelectedFile() const { return selectedFile_; }
  void SetSelectedFile(const QString& value) {
    if (value != selectedFile_) selectedFile_ = value;
  }
  QString About() const { return QStringLiteral("Version 1.0"); }
  void SetAbout(const QString&) {}
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage value);
  bool DragDropEnabled() const { return dragDropEnabled_; }
  void SetDragDropEnabled(bool value) { dragDropEnabled_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

  // Select a path: walk the tree to it, select it and raise OnDirChange.
  void SelectPath(const QString& path);
  void Reload();
  QString RootCaption() const;
  QTreeWidgetItem* RootNode() const { return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr; }
  // Path of a node: "Drives" for the root, the mount point (with "/") for a volume,
  // the folder path without "/" for a folder.
  QString NodePath(QTreeWidgetItem* node) const;
  QTreeWidgetItem* FindNode(const QString& path);
  void FillNode(QTreeWidgetItem* node);
  // Chooses a node as a click does: OnDirChange, the linked list follows.
  void ChooseNode(QTreeWidgetItem* node);

  // ---- the folder commands of the popup
  void CmdNewFolder();
  void CmdRenameFolder();
  void CmdDeleteFolder();
  void CmdCut() { CutOrCopy(kClipMove); }
  void CmdCopy() { CutOrCopy(kClipCopy); }
  void CmdPaste();
  void CmdTreeSize();
  void CmdFolderContents();
  void CmdMapNetworkDrive();
  void CmdDisconnectNetworkDrive();
  void CmdProperty();
  // The end of a rename edit with the new caption (also called by tests).
  void RenameEdited(QTreeWidgetItem* node, const QString& text);
  bool PastePending() const { return pastePending_; }
  TDirTreePopup* Popup() const { return popup_; }
  void ShowPopup(const QPoint& globalPoint);
  QDialog* ContentsWindow() const { return contents_; }
  TChangeWatcher* Watcher() const { return watcher_; }

  // The text of the tree-size box for a total of bytes and a subject.
  static QString TreeSizeText(const QString& subject, double bytes);
  static double FolderBytes(const QString& folder);
  // A folder name the tree refuses: one of \ * ? / = " < > | : , ; + ^.
  static bool HasInvalidCharacters(const QString& name);

  // Mounting and unmounting network shares ("gio mount"); replaceable in tests.
  using TNetworkCommand = folder_tree::TNetworkCommand;
  static void SetNetworkCommand(TNetworkCommand command);
  // Drops as a drop event would (target node, the source widget, paths, move or copy).
  bool DropOn(QTreeWidgetItem* target, QObject* source, const QStringList& paths, bool move);

 signals:
  void OnDirChange(QObject* sender, const QString& selectedPath);
  void OnFileChange(QObject* sender, const QString& selectedFile);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CutOrCopy(int mode);
  void ChangeNotified();
  bool AcceptsDrag(QDropEvent* event, QTreeWidgetItem** target);
  void AfterDrop(const QString& target);

  QPointer<TFileListView> fileList_;
  TDirTreePopup* popup_ = nullptr;
  TChangeWatcher* watcher_ = nullptr;
  QPointer<QDialog> contents_;
  QString selectedPath_;
  QString selectedFile_;
  QString previousPath_;
  QString dragSource_;
  QString contentsReturnPath_;
  QString renameOldPath_;
  QPoint pressPoint_;
  QTreeWidgetItem* pressNode_ = nullptr;
  TLanguage language_ = TLanguages::lnSysDefault;
  int clipMode_ = kClipCopy;
  bool popUpMenuEnabled_ = true;
  bool dragDropEnabled_ = true;
  bool readOnly_ = false;
  bool pastePending_ = false;
  bool newFolderFlag_ = false;
  bool editing_ = false;
};

}  // namespace vumo
