#include "browser/dir_tree.h"

#include "browser/change_watcher.h"
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/file_operations.h"
#include "browser/folder_tree_items.h"
#include "browser/linux_shell.h"
#include "browser/operation_dialogs.h"
#include "browser/shell_services.h"
#include "browser/wait_cursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vumo {

using namespace folder_tree;

const QString TDirTree::kDragFormat = QStringLiteral("application/x-vumo-dirtree-folder");
const QString TDirTree::kDragModeFormat = vumo::kDragModeFormat;

// ---------------------------------------------------------------- popup

namespace {

// The popup's items in menu order; one without a name is a separator.
struct TPopupItem {
  const char* caption;
  const char* name;
  int tag;
  const char* icon;
  void (TDirTree::*command)();
};

const TPopupItem kPopupItems[] = {
    {"&New Folder", "AddNode", TDirTreePopup::tagNew, "folder-new", &TDirTree::CmdNewFolder},
    {"&Rename Folder", "EditNode", TDirTreePopup::tagRename, "edit-rename", &TDirTree::CmdRenameFolder},
    {"&Delete Folder", "DelNode", TDirTreePopup::tagDelete, "edit-delete", &TDirTree::CmdDeleteFolder},
    {},
    {"Cu&t", "CutNode", TDirTreePopup::tagCut, "edit-cut", &TDirTree::CmdCut},
    {"&Copy", "CopyNode", TDirTreePopup::tagCopy, "edit-copy", &TDirTree::CmdCopy},
    {"&Paste", "PasteNode", TDirTreePopup::tagPaste, "edit-paste", &TDirTree::CmdPaste},
    {},
    {"Tree &Size", "GetTreeSize", TDirTreePopup::tagTreeSize, "drive-harddisk", &TDirTree::CmdTreeSize},
    {"&Folder Contents", "ShowFolderContents", TDirTreePopup::tagContents, "folder-open", &TDirTree::CmdFolderContents},
    {},
    {"&Map Network Drive ...", "ConnectNetResource", TDirTreePopup::tagMap, "network-server", &TDirTree::CmdMapNetworkDrive},
    {"Dis&Connect Network Drive", "DisConnectNetResource", TDirTreePopup::tagDisconnect, "network-offline",
     &TDirTree::CmdDisconnectNetworkDrive},
    {},
    {"&Property", "ItemProperty", TDirTreePopup::tagProperty, "document-properties", &TDirTree::CmdProperty},
};

}  // namespace

TDirTreePopup::TDirTreePopup(TDirTree* tree) : QMenu(tree), tree_(tree) {
  setObjectName(QStringLiteral("DirTreePopup"));
  for (const TPopupItem& item : kPopupItems) {
    if (item.name == nullptr) {
      addSeparator();
      continue;
    }
    QAction* action = addAction(QIcon::fromTheme(QString::fromLatin1(item.icon)), QString::fromLatin1(item.caption));
    action->setObjectName(QString::fromLatin1(item.name));
    action->setProperty("Tag", item.tag);
    const auto command = item.command;
    connect(action, &QAction::triggered, this, [this, command] { (tree_->*command)(); });
  }
}

QAction* TDirTreePopup::Item(const QString& name) const {
  for (QAction* action : actions())
    if (action->objectName() == name) return action;
  return nullptr;
}

void TDirTreePopup::UpdateItems() {
  const int kind = KindOf(tree_->currentItem());
  const bool notRoot = kind >= 0 && kind != nkRoot;
  const bool belowDrive = kind == nkFolder;
  Item(QStringLiteral("AddNode"))->setEnabled(notRoot);
  Item(QStringLiteral("EditNode"))->setEnabled(belowDrive);
  Item(QStringLiteral("DelNode"))->setEnabled(belowDrive);
  Item(QStringLiteral("CutNode"))->setEnabled(belowDrive);
  Item(QStringLiteral("CopyNode"))->setEnabled(belowDrive);
  Item(QStringLiteral("PasteNode"))->setEnabled(belowDrive && tree_->PastePending());
  Item(QStringLiteral("GetTreeSize"))->setEnabled(notRoot);
  Item(QStringLiteral("ShowFolderContents"))->setEnabled(notRoot);
  Item(QStringLiteral("ConnectNetResource"))->setEnabled(true);
  Item(QStringLiteral("DisConnectNetResource"))->setEnabled(true);
  Item(QStringLiteral("ItemProperty"))->setEnabled(notRoot);
}

// ---------------------------------------------------------------- construction and links

TDirTree::TDirTree(QWidget* parent) : QTreeWidget(parent), watcher_(new TChangeWatcher(this)) {
  resize(180, 120);
  SetUpView(this);
  setSortingEnabled(false);
  setExpandsOnDoubleClick(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(true);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { FillNode(node); });
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node, int) {
    if (!editing_) return;
    editing_ = false;
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    const QString text = node->text(0);
    QMetaObject::invokeMethod(this, [this, text] {
      QTreeWidgetItem* found = FindNode(renameOldPath_);
      RenameEdited(found, text);
    }, Qt::QueuedConnection);
  });
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::RevertModelCache) {
      editing_ = false;
      newFolderFlag_ = false;
    }
  });
  connect(watcher_, &TChangeWatcher::Changed, this, [this] { ChangeNotified(); });
  SetLanguage(TLanguages::lnEnglish);
  Reload();
  if (RootNode() != nullptr) RootNode()->setExpanded(true);
}

TDirTree::~TDirTree() {
  if (fileList_ != nullptr && fileList_->DirTree() == this) fileList_->SetDirTree(nullptr);
}

TFileListView* TDirTree::FileList() const { return fileList_; }

void TDirTree::SetFileList(TFileListView* value) {
  if (LinkList(this, fileList_, value, &TFileListView::DirTree, &TFileListView::SetDirTree) && !selectedPath_.isEmpty())
    value->SetDirectory(selectedPath_);
}

void TDirTree::SetPopUpMenuEnabled(bool value) { popUpMenuEnabled_ = value; }

void TDirTree::SetLanguage(TLanguage value) {
  if (value == TLanguages::lnSysDefault) value = TLanguage(LanguageFromLocale());
  if (value == language_) return;
  language_ = value;
  FillDirTreeTexts(value);
  delete popup_;
  popup_ = new TDirTreePopup(this);
  popUpMenuEnabled_ = true;
}

QString TDirTree::RootCaption() const { return kComputerCaption; }

// ---------------------------------------------------------------- content

void TDirTree::Reload() {
  setUpdatesEnabled(false);
  BuildRoot(this);
  watcher_->Clear();
  setUpdatesEnabled(true);
}

void TDirTree::FillNode(QTreeWidgetItem* node) { folder_tree::FillNode(node, watcher_); }

QString TDirTree::NodePath(QTreeWidgetItem* node) const {
  return KindOf(node) == nkRoot ? kDrivesName : folder_tree::NodePath(node);
}

QTreeWidgetItem* TDirTree::FindNode(const QString& path) {
  QTreeWidgetItem* root = RootNode();
  if (root == nullptr || path.isEmpty()) return nullptr;
  if (IsDrivesName(path)) return root;
  return FindPath(root, AddSlash(path), watcher_);
}

void TDirTree::SelectPath(const QString& path) {
  if (path.size() <= 1 || !FolderExists(path)) return;
  const QString wanted = AddSlash(path);
  setUpdatesEnabled(false);
  if (RootNode() == nullptr) Reload();
  if (RootNode()->childCount() == 0) AddVolumes(RootNode());
  collapseAll();
  RootNode()->setExpanded(true);
  QTreeWidgetItem* node = FindNode(wanted);
  for (QTreeWidgetItem* walk = node; walk != nullptr; walk = walk->parent()) walk->setExpanded(true);
  if (node != nullptr) {
    setCurrentItem(node);
    scrollToItem(node);
  }
  setUpdatesEnabled(true);
  if (wanted != selectedPath_) selectedPath_ = wanted;
  emit OnDirChange(this, selectedPath_);
}

void TDirTree::ChooseNode(QTreeWidgetItem* node) {
  if (node == nullptr) return;
  previousPath_ = selectedPath_;
  const QString path = NodePath(node);
  if (NoDiskIn(node)) {
    SelectPath(previousPath_);
    selectedPath_ = previousPath_;
    return;
  }
  selectedPath_ = path;
  emit OnDirChange(this, selectedPath_);
  if (fileList_ != nullptr && !path.isEmpty()) fileList_->SetDirectory(path);
}

// ---------------------------------------------------------------- mouse and keys

void TDirTree::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  QTreeWidgetItem* node = itemAt(event->position().toPoint());
  pressNode_ = nullptr;
  if (node == nullptr) {
    clearSelection();
    return;
  }
  setCurrentItem(node);
  ChooseNode(node);
  if (event->button() == Qt::LeftButton && dragDropEnabled_) {
    dragSource_ = NodePath(node);
    pressNode_ = node;
    pressPoint_ = event->position().toPoint();
  }
}

void TDirTree::mouseMoveEvent(QMouseEvent* event) {
  if (pressNode_ != nullptr && (event->buttons() & Qt::LeftButton) && dragDropEnabled_ &&
      (event->position().toPoint() - pressPoint_).manhattanLength() > QApplication::startDragDistance() + 8 &&
      KindOf(pressNode_) == nkFolder) {
    auto* data = MakeFileMimeData({dragSource_}, false);
    data->setData(kDragFormat, EncodeFileName(dragSource_));
    pressNode_ = nullptr;
    DragFiles(this, data, (event->modifiers() & Qt::ControlModifier) != 0);
    return;
  }
  QTreeWidget::mouseMoveEvent(event);
}

void TDirTree::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  if (event->key() == Qt::Key_F5) {
    const QString path = selectedPath_;
    Reload();
    SelectPath(path);
    if (fileList_ != nullptr) fileList_->UpdateFileList();
  } else if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && currentItem() != nullptr) {
    ChooseNode(currentItem());
  }
}

void TDirTree::contextMenuEvent(QContextMenuEvent* event) {
  if (!popUpMenuEnabled_ || popup_ == nullptr) {
    QTreeWidget::contextMenuEvent(event);
    return;
  }
  ShowPopup(event->globalPos());
  event->accept();
}

void TDirTree::ShowPopup(const QPoint& globalPoint) {
  popup_->UpdateItems();
  popup_->popup(globalPoint + QPoint(10, 10));
}

// ---------------------------------------------------------------- drag and drop

bool TDirTree::AcceptsDrag(QDropEvent* event, QTreeWidgetItem** target) {
  *target = itemAt(event->position().toPoint());
  if (*target == nullptr || readOnly_ || !dragDropEnabled_) return false;
  QObject* source = event->source();
  if (qobject_cast<TDirTree*>(source) != nullptr) {
    // Not onto the folder being dragged.
    const QString dragged = DecodeFileName(event->mimeData()->data(kDragFormat));
    return RemoveSlash(NodePath(*target)) != RemoveSlash(dragged);
  }
  return source != nullptr && source == fileList_;
}

void TDirTree::dragEnterEvent(QDragEnterEvent* event) {
  QObject* source = event->source();
  if (qobject_cast<TDirTree*>(source) != nullptr || (source != nullptr && source == fileList_)) event->acceptProposedAction();
  else event->ignore();
}

void TDirTree::dragMoveEvent(QDragMoveEvent* event) {
  QTreeWidgetItem* target = nullptr;
  if (AcceptsDrag(event, &target)) event->acceptProposedAction();
  else event->ignore();
}

void TDirTree::dropEvent(QDropEvent* event) {
  QTreeWidgetItem* target = nullptr;
  if (!AcceptsDrag(event, &target)) {
    event->ignore();
    return;
  }
  const bool move = event->mimeData()->data(kDragModeFormat) != "copy";
  QStringList paths;
  if (event->mimeData()->hasFormat(kDragFormat)) paths << DecodeFileName(event->mimeData()->data(kDragFormat));
  event->acceptProposedAction();
  DropOn(target, event->source(), paths, move);
}

bool TDirTree::DropOn(QTreeWidgetItem* target, QObject* source, const QStringList& paths, bool move) {
  if (target == nullptr || readOnly_) return false;
  const QString targetPath = AddSlash(NodePath(target));
  if (IsDrivesName(RemoveSlash(targetPath))) return false;
  bool ok = false;
  if (qobject_cast<TDirTree*>(source) != nullptr) {
    TDialogOperationUi ui(this, move ? QStringLiteral("Moving folder") : QStringLiteral("Copying folder"));
    const TOperationResult result = TFileOperations::Transfer(paths, targetPath, move ? TTransfer::Move : TTransfer::Copy, ui);
    ok = result.ok;
    if (!result.ok && !(result.cancelled && result.failed.isEmpty()))
      QMessageBox::critical(this, QString(), ExplorerTexts.OperationFailed + QStringLiteral("\n\n") + result.Report());
  } else if (source != nullptr && source == fileList_) {
    // Folders of the list are deselected; the files that stay selected travel.
    const std::vector<TListItem>& items = fileList_->Items();
    QItemSelectionModel* selection = fileList_->selectionModel();
    for (std::size_t row = 0; row < items.size(); ++row)
      if (IsFolderEntry(items[row]) && selection->isRowSelected(int(row), QModelIndex()))
        selection->select(fileList_->model()->index(int(row), 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    if (fileList_->SelectedIndex() < 0) {
      QMessageBox::warning(this, QString(), ExplorerTexts.NothingSelected);
      return false;
    }
    ok = fileList_->SendSelectionTo(targetPath, move);
  } else {
    return false;
  }
  AfterDrop(targetPath);
  return ok;
}

void TDirTree::AfterDrop(const QString& target) {
  Reload();
  SelectPath(target);
  if (fileList_ != nullptr) {
    fileList_->SetDirectory(target);
    fileList_->UpdateFileList();
  }
}

// ---------------------------------------------------------------- folder commands

bool TDirTree::HasInvalidCharacters(const QString& name) {
  static const QString kInvalid = QStringLiteral("\\*?/=\"<>|:,;+^");
  for (const QChar c : name)
    if (kInvalid.contains(c)) return true;
  return false;
}

void TDirTree::CmdNewFolder() {
  QTreeWidgetItem* node = currentItem();
  if (node == nullptr) return;
  if (KindOf(node) == nkRoot) {
    QMessageBox::critical(this, QString(), ExplorerTexts.ErrorPrefix + ExplorerTexts.NoDrives);
    return;
  }
  const QString name = ExplorerTexts.NewFolder;
  newFolderFlag_ = true;
  if (HasInvalidCharacters(name)) {
    QApplication::beep();
    QMessageBox::critical(this, QString(), ExplorerTexts.InvalidCharacters);
    newFolderFlag_ = false;
    return;
  }
  // The tree does not number names: a second "New Folder" fails silently.
  const TOperationResult result = TFileOperations::NewFolder(NodePath(node), name, false);
  if (!result.ok) {
    newFolderFlag_ = false;
    return;
  }
  const QString created = result.targets.first();
  Reload();
  SelectPath(created);
  if (name == QLatin1String("New Folder")) {
    QTreeWidgetItem* createdNode = FindNode(created);
    if (createdNode != nullptr) {
      setCurrentItem(createdNode);
      CmdRenameFolder();
      return;
    }
  }
  newFolderFlag_ = false;
}

void TDirTree::CmdRenameFolder() {
  QTreeWidgetItem* node = currentItem();
  if (readOnly_ || KindOf(node) != nkFolder) return;
  renameOldPath_ = NodePath(node);
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  editing_ = true;
  editItem(node, 0);
}

void TDirTree::RenameEdited(QTreeWidgetItem* node, const QString& text) {
  const bool wasNewFolder = newFolderFlag_;
  newFolderFlag_ = false;
  const QString oldPath = RemoveSlash(!renameOldPath_.isEmpty() ? renameOldPath_ : NodePath(node));
  renameOldPath_.clear();
  if (oldPath.isEmpty()) return;
  if (text.isEmpty() || HasInvalidCharacters(text)) {
    QApplication::beep();
    if (!text.isEmpty()) QMessageBox::critical(this, QString(), ExplorerTexts.BadFolderName + QLatin1Char('\n') + text);
    Reload();
    SelectPath(oldPath);
    return;
  }
  const QString newPath = ParentOfPath(oldPath) + text;
  if (newPath == oldPath) return;
  if (!wasNewFolder) {
    const QString question = ExplorerTexts.RenameQuestion + QStringLiteral("\n\n    ") + ExplorerTexts.From + oldPath +
                             QStringLiteral("\n    ") + ExplorerTexts.To + newPath;
    if (QMessageBox::question(this, QString(), question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
      Reload();
      SelectPath(oldPath);
      return;
    }
  }
  const TOperationResult result = TFileOperations::Rename(oldPath, text);
  Reload();
  if (result.ok) {
    SelectPath(newPath);
    if (fileList_ != nullptr) fileList_->SetDirectory(newPath);
  } else {
    SelectPath(oldPath);
    QMessageBox::critical(this, QString(), ExplorerTexts.OperationFailed + QStringLiteral("\n\n") + result.Report());
  }
}

void TDirTree::CmdDeleteFolder() {
  QTreeWidgetItem* node = currentItem();
  if (KindOf(node) != nkFolder) return;
  const QString path = NodePath(node);
  if (!FolderExists(path)) {
    QApplication::beep();
    QMessageBox::critical(this, QString(), path + QLatin1Char(' ') + ExplorerTexts.NotFound);
    return;
  }
  const QString question =
      QStringLiteral("Are you sure you want to move the folder \"%1\" and all its contents to the trash?").arg(NameOfPath(path));
  if (QMessageBox::question(this, QStringLiteral("Confirm Folder Delete"), question, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes)
    return;
  TOperationResult result;
  {
    TDialogOperationUi ui(this, QStringLiteral("Deleting folder"));
    result = TFileOperations::Trash({path}, ui);
  }
  if (!result.ok) {
    ReportResult(this, result);
    return;
  }
  QTreeWidgetItem* parent = node->parent();
  const QString parentPath = NodePath(parent);
  setCurrentItem(parent);
  delete node;
  selectedPath_ = parentPath;
  if (fileList_ != nullptr) fileList_->SetDirectory(parentPath);
}

void TDirTree::CutOrCopy(int mode) {
  ClipboardMode = -1;
  if (currentItem() == nullptr || selectedPath_.isEmpty() || IsDrivesName(selectedPath_)) return;
  dragSource_ = RemoveSlash(selectedPath_);
  clipMode_ = mode;
  ClipboardMode = mode;
  pastePending_ = true;
  QApplication::clipboard()->setMimeData(MakeFileMimeData({dragSource_}, mode == kClipMove));
}

void TDirTree::CmdPaste() {
  if (currentItem() == nullptr || selectedPath_.isEmpty() || dragSource_.isEmpty() || !pastePending_) return;
  const QString target = AddSlash(selectedPath_);
  const bool move = clipMode_ == kClipMove;
  TOperationResult result;
  {
    TDialogOperationUi ui(this, move ? QStringLiteral("Moving folder") : QStringLiteral("Copying folder"));
    result = TFileOperations::Transfer({dragSource_}, target, move ? TTransfer::Move : TTransfer::Copy, ui);
  }
  pastePending_ = false;
  if (result.ok) {
    Reload();
    SelectPath(target);
  } else if (!(result.cancelled && result.failed.isEmpty())) {
    QMessageBox::critical(this, QString(), ExplorerTexts.OperationFailed + QStringLiteral("\n\n") + result.Report());
  }
}

double TDirTree::FolderBytes(const QString& folder) { return folder_tree::FolderBytes(folder); }

QString TDirTree::TreeSizeText(const QString& subject, double bytes) { return vumo::TreeSizeText(subject, bytes); }

void TDirTree::CmdTreeSize() {
  QTreeWidgetItem* node = currentItem();
  if (node == nullptr || KindOf(node) == nkRoot) return;
  double total = 0;
  {
    TWaitCursor wait;
    total = FolderBytes(NodePath(node));
  }
  const QString path = NodePath(node);
  const QString subject = KindOf(node) == nkDrive
                              ? ExplorerTexts.DriveWord + path
                              : ExplorerTexts.FolderWord + NameOfPath(path) + QLatin1Char('"');
  QMessageBox::information(this, QString(), TreeSizeText(subject, total), QMessageBox::Ok);
}

void TDirTree::CmdFolderContents() {
  QTreeWidgetItem* node = currentItem();
  if (node == nullptr || KindOf(node) == nkRoot) return;
  const QString path = NodePath(node);
  contentsReturnPath_ = selectedPath_;
  collapseAll();
  delete contents_;
  auto* window = new QDialog(this, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  contents_ = window;
  window->setObjectName(QStringLiteral("FolderContents"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  const bool drive = KindOf(node) == nkDrive;
  window->setWindowTitle(drive ? QStringLiteral("Files in \" ") + path + QStringLiteral(" \"")
                               : QStringLiteral("Files in \" ../") + NameOfPath(path) + QStringLiteral(" \""));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* list = new QListWidget(window);
  list->setObjectName(QStringLiteral("Files"));
  list->setViewMode(QListView::ListMode);
  list->setToolTip(QStringLiteral("LeftClick - Select\nDblClick  - Open"));
  list->setSortingEnabled(true);
  TFileTypes& types = TFileTypes::Instance();
  for (const QString& name : FileNames(path)) {
    auto* item = new QListWidgetItem(types.Icon(types.TypeForFileName(name)), name, list);
    item->setData(Qt::UserRole, AddSlash(path) + name);
  }
  if (list->count() > 0) list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  layout->addWidget(list, 1);
  auto* strip = new QWidget(window);
  strip->setFixedHeight(22);
  auto* stripLayout = new QHBoxLayout(strip);
  stripLayout->setContentsMargins(0, 0, 0, 0);
  auto* ok = new QPushButton(QStringLiteral("&OK"), strip);
  ok->setObjectName(QStringLiteral("OK"));
  ok->setFixedSize(60, 22);
  stripLayout->addStretch();
  stripLayout->addWidget(ok);
  stripLayout->addStretch();
  layout->addWidget(strip);
  connect(list, &QListWidget::itemDoubleClicked, window, [window](QListWidgetItem* item) {
    window->hide();
    const QString file = item->data(Qt::UserRole).toString();
    if (!OpenWithDesktop(file))
      QMessageBox::critical(window, QString(), ExplorerTexts.Cannot + QStringLiteral("Open") + ExplorerTexts.FileWord + item->text());
    window->show();
  });
  connect(ok, &QPushButton::clicked, this, [this, window, list] {
    QListWidgetItem* item = list->currentItem();
    if (item != nullptr && item->isSelected()) {
      selectedFile_ = item->data(Qt::UserRole).toString();
      emit OnFileChange(this, selectedFile_);
    }
    window->close();
    SelectPath(contentsReturnPath_);
  });
  const QPoint origin = mapToGlobal(QPoint(0, 0));
  window->setGeometry(origin.x(), origin.y(), std::max(width(), 160), std::max(height(), 120));
  window->show();
}

void TDirTree::SetNetworkCommand(TNetworkCommand command) { folder_tree::SetNetworkCommand(std::move(command)); }

void TDirTree::CmdMapNetworkDrive() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("MapNetworkDrive"));
  dialog.setWindowTitle(QStringLiteral("Map Network Drive"));
  dialog.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  dialog.setFixedSize(355, 208);
  auto* explanation = new QLabel(QStringLiteral("Specify the network path that you want to connect to.\n"
                                                "It is mounted through the desktop (gio mount)."),
                                 &dialog);
  explanation->setGeometry(12, 10, 331, 36);
  auto* pathLabel = new QLabel(QStringLiteral("Network path (e.g. \\\\computer\\share or smb://computer/share)"), &dialog);
  pathLabel->setGeometry(12, 60, 331, 16);
  auto* pathEdit = new QLineEdit(&dialog);
  pathEdit->setObjectName(QStringLiteral("Path"));
  pathEdit->setGeometry(12, 80, 331, 22);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setObjectName(QStringLiteral("OK"));
  ok->setDefault(true);
  ok->setGeometry(40, 160, 75, 25);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
  cancel->setObjectName(QStringLiteral("Cancel"));
  cancel->setGeometry(140, 160, 75, 25);
  auto* browse = new QPushButton(QStringLiteral("Browse"), &dialog);
  browse->setObjectName(QStringLiteral("Browse"));
  browse->setGeometry(240, 160, 75, 25);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  connect(browse, &QPushButton::clicked, &dialog, [&dialog, pathEdit] {
    const QString gvfs = QStringLiteral("/run/user/%1/gvfs").arg(::getuid());
    const QString folder = BrowseForFolder(&dialog, ExplorerTexts.SpecifyDirectory, FolderExists(gvfs) ? gvfs : QString());
    if (!folder.isEmpty()) pathEdit->setText(RemoveSlash(folder));
  });
  if (dialog.exec() != QDialog::Accepted || pathEdit->text().trimmed().isEmpty()) return;
  QString error;
  if (!RunNetworkCommand({QStringLiteral("mount"), NetworkUri(pathEdit->text())}, &error)) {
    QMessageBox::critical(this, QStringLiteral("Error while connecting!"),
                          QStringLiteral("An error occured while connecting:\r\n") + error);
    return;
  }
  Reload();
  QTreeWidgetItem* root = RootNode();
  root->setExpanded(true);
  if (root->childCount() > 0) {
    QTreeWidgetItem* last = root->child(root->childCount() - 1);
    setCurrentItem(last);
    selectedPath_ = NodePath(last);
    if (fileList_ != nullptr) fileList_->SetDirectory(selectedPath_);
  }
}

void TDirTree::CmdDisconnectNetworkDrive() {
  const QStringList shares = NetworkShares();
  bool chosen = false;
  const QString share = QInputDialog::getItem(this, QStringLiteral("Disconnect Network Drive"), QStringLiteral("Network drive:"),
                                              shares, 0, true, &chosen);
  if (!chosen || share.trimmed().isEmpty()) return;
  QString error;
  if (!RunNetworkCommand({QStringLiteral("mount"), QStringLiteral("-u"), NetworkUri(share)}, &error)) {
    QMessageBox::critical(this, QStringLiteral("Disconnect Network Drive"), error);
    return;
  }
  Reload();
  RootNode()->setExpanded(true);
  setCurrentItem(RootNode());
  selectedPath_ = kDrivesName;
  if (fileList_ != nullptr) {
    fileList_->SetDirectory(kDrivesName);
    fileList_->UpdateFileList();
  }
}

void TDirTree::CmdProperty() {
  if (selectedPath_.isEmpty() || IsDrivesName(selectedPath_)) return;
  if (CallFileManager(QStringLiteral("ShowItemProperties"), selectedPath_)) return;
  ShowPropertiesDialog(this, selectedPath_);
}

void TDirTree::ChangeNotified() {
  setUpdatesEnabled(false);
  const QString path = selectedPath_;
  Reload();
  RootNode()->setExpanded(true);
  if (!IsDrivesName(path)) SelectPath(path);
  setUpdatesEnabled(true);
  // As for the drop-down: the list re-reads when its own folder changes, not for every
  // folder the tree watches.
  if (fileList_ != nullptr) {
    if (IsDrivesName(fileList_->Directory())) fileList_->UpdateFileList();
    else if (!path.isEmpty() && !IsDrivesName(path) && AddSlash(path) != fileList_->Directory()) fileList_->SetDirectory(path);
  }
}

}  // namespace vumo
