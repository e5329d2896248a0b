#pragma once

// TFileListPopup: the command popup of the file list. Every item
// carries its name and tag; one dispatcher acts on the tag, or on the name for
// the Send To entries.

#include <QMenu>
#include <QStringList>

namespace vumo {

class TFileListView;

class TFileListPopup : public QMenu {
  Q_OBJECT
 public:
  enum Tag {
    tagOpen = 1, tagView = 2, tagSendTo = 3, tagCut = 4, tagCopy = 5, tagPaste = 6, tagRename = 7,
    tagDelete = 8, tagProperties = 9, tagNewFolder = 10, tagCompare = 11,
    tagAnyFolder = 30, tagClipContents = 31, tagClipFileName = 32, tagDesktop = 33, tagFirstShortcut = 34,
  };

  explicit TFileListPopup(TFileListView* list);

  TFileListView* FileList() const { return list_; }
  // The full paths of the Send To entries, in menu order.
  const QStringList& Shortcuts() const { return shortcuts_; }
  QMenu* SendToMenu() const { return sendTo_; }
  QAction* Item(const QString& name) const;
  // Sets the enabled states by the command tables.
  void UpdateItems();
  // Runs the command of an item (its tag, or its name for a Send To entry).
  void Dispatch(QAction* action);

  // The extension tables: the view table (16 upper-cased extensions and the
  // MIME type whose default application views them).
  static QString ViewerType(const QString& upperExtension);
  static bool ClipboardContentsAllowed(const QString& upperExtension);

  // Set once by the viewer's window: popups made after it have "Compare with Shown Picture"
  // after View, which hands the handler the list and the clicked file's path.
  using TCompareHandler = void (*)(TFileListView* list, const QString& path);
  static void SetCompareHandler(TCompareHandler handler);

 private:
  QAction* AddItem(QMenu* menu, const QString& caption, const QString& name, int tag, const QString& icon);
  void CollectShortcuts();

  TFileListView* list_;
  QMenu* sendTo_ = nullptr;
  QStringList shortcuts_;
};

}  // namespace vumo
