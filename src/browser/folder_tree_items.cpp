#include "browser/folder_tree_items.h"

#include "browser/change_watcher.h"
#include "browser/explorer_texts.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"
#include "browser/wait_cursor.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo::folder_tree {

namespace {

bool BelowNetworkVolume(const QTreeWidgetItem* node) {
  for (const QTreeWidgetItem* walk = node; walk != nullptr; walk = walk->parent())
    if (walk->data(0, kKindRole).toInt() == nkDrive) return walk->data(0, kDriveTypeRole).toInt() == dtNetwork;
  return false;
}

bool DefaultNetworkCommand(const QStringList& arguments, QString* error) {
  const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
  if (gio.isEmpty()) {
    *error = QStringLiteral("The program \"gio\" is not installed.");
    return false;
  }
  QProcess process;
  process.start(gio, arguments);
  if (!process.waitForFinished(60000)) {
    process.kill();
    *error = QStringLiteral("No answer from gio.");
    return false;
  }
  *error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TNetworkCommand& NetworkCommand() {
  static TNetworkCommand command = DefaultNetworkCommand;
  return command;
}

}  // namespace

void SetUpView(QTreeWidget* tree) {
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->setUniformRowHeights(true);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int KindOf(const QTreeWidgetItem* node) { return node != nullptr ? node->data(0, kKindRole).toInt() : -1; }

QTreeWidgetItem* BuildRoot(QTreeWidget* tree) {
  tree->clear();
  TFileTypes& types = TFileTypes::Instance();
  auto* root = new QTreeWidgetItem(tree);
  root->setText(0, kComputerCaption);
  root->setIcon(0, types.Icon(types.ComputerType()));
  root->setData(0, kKindRole, nkRoot);
  root->setData(0, kFilledRole, true);
  AddVolumes(root);
  return root;
}

void AddVolumes(QTreeWidgetItem* root) {
  TFileTypes& types = TFileTypes::Instance();
  for (const TVolume& volume : MountedVolumes()) {
    auto* drive = new QTreeWidgetItem(root);
    drive->setText(0, QStringLiteral(" (") + RemoveSlash(volume.Root) + QStringLiteral(")  ") + volume.DisplayName);
    drive->setIcon(0, types.Icon(types.DriveType()));
    drive->setData(0, kKindRole, nkDrive);
    drive->setData(0, kRootPathRole, volume.Root);
    drive->setData(0, kDriveTypeRole, volume.DriveType);
    drive->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
}

void FillNode(QTreeWidgetItem* node, TChangeWatcher* watcher) {
  if (node == nullptr || node->childCount() > 0 || node->data(0, kFilledRole).toBool()) return;
  TWaitCursor wait;
  node->setData(0, kFilledRole, true);
  const QString path = AddSlash(NodePath(node));
  bool readable = false;
  const QSet<QString> names = TChangeWatcher::SubFolderNames(path, &readable);
  node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  if (!readable) return;
  watcher->Watch(path, names);
  QStringList sorted(names.cbegin(), names.cend());
  std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  const bool network = BelowNetworkVolume(node);
  TFileTypes& types = TFileTypes::Instance();
  const QIcon folderIcon = types.Icon(types.FolderType());
  QList<QTreeWidgetItem*> children;
  children.reserve(sorted.size());
  for (const QString& name : sorted) {
    auto* child = new QTreeWidgetItem();
    child->setText(0, name);
    child->setIcon(0, folderIcon);
    child->setData(0, kKindRole, nkFolder);
    child->setChildIndicatorPolicy(network || HasSubFolder(path + name) ? QTreeWidgetItem::ShowIndicator
                                                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    children.append(child);
  }
  node->addChildren(children);
}

QString NodePath(const QTreeWidgetItem* node) {
  QStringList parts;
  QString root;
  for (const QTreeWidgetItem* walk = node; walk != nullptr; walk = walk->parent()) {
    const int kind = walk->data(0, kKindRole).toInt();
    if (kind == nkFolder) parts.prepend(walk->text(0));
    else if (kind == nkDrive) root = walk->data(0, kRootPathRole).toString();
  }
  if (root.isEmpty()) return {};
  return parts.isEmpty() ? root : root + parts.join(QLatin1Char('/'));
}

QTreeWidgetItem* FindPath(QTreeWidgetItem* root, const QString& path, TChangeWatcher* watcher,
                          const std::function<void(QTreeWidgetItem*)>& arrive) {
  // The volume whose mount point is the longest start of the path holds it.
  QTreeWidgetItem* node = nullptr;
  qsizetype best = -1;
  for (int i = 0; i < root->childCount(); ++i) {
    const QString driveRoot = root->child(i)->data(0, kRootPathRole).toString();
    if (path.startsWith(driveRoot) && driveRoot.size() > best) {
      node = root->child(i);
      best = driveRoot.size();
    }
  }
  if (node == nullptr) return nullptr;
  if (arrive) arrive(node);
  QString rest = path.mid(best);
  for (;;) {
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) break;
    const QString part = rest.left(slash);
    rest.remove(0, slash + 1);
    FillNode(node, watcher);
    QTreeWidgetItem* match = nullptr;
    for (int i = 0; i < node->childCount() && match == nullptr; ++i)
      if (node->child(i)->text(0) == part) match = node->child(i);
    if (match == nullptr) break;
    node = match;
    if (arrive) arrive(node);
  }
  return node;
}

bool NoDiskIn(const QTreeWidgetItem* node) {
  if (KindOf(node) != nkDrive) return false;
  const int type = node->data(0, kDriveTypeRole).toInt();
  return (type == dtRemovable || type == dtCdRom) && !DiskInDrive(NodePath(node), true);
}

void SetNetworkCommand(TNetworkCommand command) {
  NetworkCommand() = command ? std::move(command) : TNetworkCommand(DefaultNetworkCommand);
}

bool RunNetworkCommand(const QStringList& arguments, QString* error) { return NetworkCommand()(arguments, error); }

QString NetworkUri(const QString& text) {
  QString path = text.trimmed();
  if (path.startsWith(QLatin1String("\\\\"))) {
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QStringLiteral("smb:") + path;
  }
  return path;
}

QStringList NetworkShares() {
  QStringList shares;
  for (const TVolume& volume : MountedVolumes())
    if (volume.DriveType == dtNetwork) shares << volume.Root;
  const QString gvfs = QStringLiteral("/run/user/%1/gvfs/").arg(::getuid());
  for (const QString& name : EntryNames(gvfs)) shares << gvfs + name;
  shares.removeDuplicates();
  return shares;
}

double FolderBytes(const QString& folder) {
  double total = 0;
  std::vector<QByteArray> pending{EncodeFileName(RemoveSlash(folder))};
  while (!pending.empty()) {
    const QByteArray path = pending.back();
    pending.pop_back();
    // Folders wait in `pending` rather than being entered at once, so one
    // folder is open at a time however deep the tree goes.
    ForEachEntry(path, [&](const TFolderEntry& entry) {
      struct stat st {};
      if (::fstatat(entry.folderFd, entry.name, &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
      if (S_ISDIR(st.st_mode)) pending.push_back(JoinPath(path, QByteArray(entry.name)));
      else total += double(st.st_size);
      return true;
    });
  }
  return total;
}

QStringList FileNames(const QString& folder) {
  QStringList names;
  const QByteArray encoded = EncodeFileName(AddSlash(folder));
  ForEachEntry(encoded, [&](const TFolderEntry& entry) {
    struct stat st {};
    if (::fstatat(entry.folderFd, entry.name, &st, 0) == 0 && !S_ISDIR(st.st_mode))
      names << DecodeFileName(QByteArray(entry.name));
    return true;
  });
  return names;
}

QStringList EntryNames(const QString& folder) {
  QStringList names;
  ForEachEntry(EncodeFileName(folder), [&](const TFolderEntry& entry) {
    names << DecodeFileName(QByteArray(entry.name));
    return true;
  });
  return names;
}

}  // namespace vumo::folder_tree
