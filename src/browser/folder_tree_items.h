#pragma once

// The nodes of the computer, its volumes and their folders as the folder tree (TDirTree)
// and the drop-down's tree (TDirTreeView) both show them. The widgets keep their own
// events, popups and commands; what a node is and how it is filled lives here once.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtCore/qnamespace.h>

#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace vumo {

class TChangeWatcher;

namespace folder_tree {

enum TNodeKind { nkRoot = 0, nkDrive = 1, nkFolder = 2 };
// The data of a node besides its caption, in column 0.
constexpr int kKindRole = Qt::UserRole;
constexpr int kRootPathRole = Qt::UserRole + 1;
constexpr int kDriveTypeRole = Qt::UserRole + 2;
constexpr int kFilledRole = Qt::UserRole + 3;

inline const QString kComputerCaption = QStringLiteral("Computer");

// What both trees are: one column of captions without a header, one node chosen at a
// time, no edit unless a command starts one.
void SetUpView(QTreeWidget* tree);
// The kind of a node, -1 for none.
int KindOf(const QTreeWidgetItem* node);
// Clears the tree and makes the computer node with a node for each mounted volume.
QTreeWidgetItem* BuildRoot(QTreeWidget* tree);
void AddVolumes(QTreeWidgetItem* root);
// Reads the folders below a node once and watches them. Reading waits on the disk, so the
// cursor says so, and the children go in at once rather than one view update each. Below a
// network volume folders are marked as expandable without being read: reading a network
// folder can stall.
void FillNode(QTreeWidgetItem* node, TChangeWatcher* watcher);
// "" for the computer (and none), the mount point with its "/" for a volume, the folder
// path without one for a folder.
QString NodePath(const QTreeWidgetItem* node);
// Walks from the computer node down a path, filling nodes on the way. Only parts that end
// in "/" are walked. `arrive` sees the volume and each folder reached; the deepest is
// returned, or none when no volume holds the path.
QTreeWidgetItem* FindPath(QTreeWidgetItem* root, const QString& path, TChangeWatcher* watcher,
                          const std::function<void(QTreeWidgetItem*)>& arrive = {});
// A removable or CD volume without a disk in it, which beeps and says so.
bool NoDiskIn(const QTreeWidgetItem* node);

// Links a control with a file list both ways and undoes the previous list's link; true when
// a new list was linked. (List is complete where this is used.)
template <typename Self, typename List>
bool LinkList(Self* self, QPointer<List>& link, List* value, Self* (List::*linked)() const, void (List::*setLinked)(Self*)) {
  if (value == link) return false;
  List* previous = link;
  link = value;
  if (previous != nullptr && (previous->*linked)() == self) (previous->*setLinked)(nullptr);
  if (value == nullptr) return false;
  if ((value->*linked)() != self) (value->*setLinked)(self);
  return true;
}

// Mounting and unmounting network shares ("gio mount"); replaceable in tests, none for gio.
using TNetworkCommand = std::function<bool(const QStringList& arguments, QString* error)>;
void SetNetworkCommand(TNetworkCommand command);
bool RunNetworkCommand(const QStringList& arguments, QString* error);
// "\\server\share" as the smb URI gio understands; other text is taken as a URI already.
QString NetworkUri(const QString& text);
// The shares to offer for unmounting: network volumes and the desktop's gvfs mounts.
QStringList NetworkShares();

// The tree's own walks over folder entries.
// Bytes of all the files below a folder; links count as links and are never followed.
double FolderBytes(const QString& folder);
// Names in a folder that are not folders, following links.
QStringList FileNames(const QString& folder);
// All the names in a folder.
QStringList EntryNames(const QString& folder);

}  // namespace folder_tree
}  // namespace vumo
