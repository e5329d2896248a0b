// The file commands of the file list. Every change to files goes
// through the one layer of file operations (file_operations.h).
#include "browser/dir_tree.h"
#include "browser/dir_tree_combo.h"
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_popup.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/file_operations.h"
#include "browser/linux_shell.h"
#include "browser/operation_dialogs.h"
#include "browser/shell_services.h"
#include "browser/wait_cursor.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPushButton>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

namespace {

void CannotBox(QWidget* parent, const QString& verb, const QString& name) {
  QMessageBox::critical(parent, QString(), ExplorerTexts.Cannot + verb + ExplorerTexts.FileWord + name);
}

// The "Send to any folder" dialog: OK, Cancel or Browse.
class TSendToDialog : public QDialog {
 public:
  enum { Browse = 2 };
  TSendToDialog(QWidget* parent, const QString& initial) : QDialog(parent) {
    setObjectName(QStringLiteral("SendToDialog"));
    setWindowTitle(ExplorerTexts.SendTitle);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(333, 135);
    auto* label = new QLabel(ExplorerTexts.SendPrompt, this);
    label->move(20, 12);
    edit_ = new QLineEdit(initial, this);
    edit_->setObjectName(QStringLiteral("Path"));
    edit_->setGeometry(20, 32, 293, edit_->sizeHint().height());
    edit_->setMaxLength(285);
    edit_->selectAll();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setGeometry(37, 80, 75, 25);
    ok->setDefault(true);
    auto* cancel = new QPushButton(ExplorerTexts.Cancel, this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setGeometry(129, 80, 75, 25);
    auto* browse = new QPushButton(ExplorerTexts.Browse, this);
    browse->setObjectName(QStringLiteral("Browse"));
    browse->setGeometry(221, 80, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] { done(Browse); });
  }
  // Esc answers like OK, as the description's dialog does.
  void reject() override {
    if (sender() != nullptr && sender()->objectName() == QLatin1String("Cancel")) QDialog::reject();
    else accept();
  }
  QString Text() const { return edit_->text(); }

 private:
  QLineEdit* edit_;
};

// Asks for the send-to target; empty when none.
QString AskSendTarget(QWidget* parent, const QString& initial) {
  TSendToDialog dialog(parent, initial);
  const int result = dialog.exec();
  if (result == TSendToDialog::Browse) {
    const QString folder = BrowseForFolder(parent, ExplorerTexts.SpecifyDirectory, QString());
    return AskSendTarget(parent, folder.isEmpty() ? initial : AddSlash(folder));
  }
  if (result == QDialog::Accepted) return dialog.Text();
  return {};
}

}  // namespace

// ---------------------------------------------------------------- helpers

bool TFileListView::MakeDirectoryCurrent() {
  return !IsDrivesName(directory_) && SetCurrentFolder(directory_);
}

QStringList TFileListView::SelectedPaths(bool deselectParent) {
  QStringList paths;
  if (selectionModel() == nullptr) return paths;
  const std::vector<TListItem>& items = model_->Items();
  for (std::size_t row = 0; row < items.size(); ++row) {
    const QModelIndex index = model_->index(int(row), 0);
    if (!selectionModel()->isRowSelected(int(row), QModelIndex())) continue;
    if (items[row].Kind == TEntryKind::Parent) {
      if (deselectParent) selectionModel()->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
      continue;
    }
    paths << items[row].SubItems[kSubPath];
  }
  return paths;
}

QString TFileListView::SelectedExtension() const {
  const int row = SelectedIndex();
  if (row < 0) return {};
  const QString name = NameOfPath(model_->Items()[std::size_t(row)].SubItems[kSubPath]);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : name.mid(dot).toUpper();
}

void TFileListView::CommonRefresh(const QString& folder) {
  UpdateFileList();
  if (dirTreeCombo_ != nullptr) {
    dirTreeCombo_->ReloadTree();
    dirTreeCombo_->ShowPath(folder);
  } else if (dirTree_ != nullptr) {
    dirTree_->Reload();
    dirTree_->SelectPath(folder);
  }
}

// ---------------------------------------------------------------- view, search, properties

void TFileListView::CmdView() {
  const int row = SelectedIndex();
  if (row < 0) return;
  const QString mimeType = TFileListPopup::ViewerType(SelectedExtension());
  if (mimeType.isEmpty()) return;
  QString program;
  if (!LaunchViewer(mimeType, model_->Items()[std::size_t(row)].SubItems[kSubPath], &program))
    CannotBox(this, QStringLiteral("Open"), program);
}

void TFileListView::CmdSearch() {
  if (!hasFocus()) return;
  if (CallFileManager(QStringLiteral("ShowFolders"), directory_)) return;
  if (!OpenFolder(directory_)) CannotBox(this, QStringLiteral("Find"), directory_);
}

void TFileListView::CmdProperties() {
  const int row = SelectedIndex();
  if (row < 0) return;
  const QString path = model_->Items()[std::size_t(row)].SubItems[kSubPath];
  struct stat st {};
  if (::lstat(EncodeFileName(path).constData(), &st) != 0) {
    QMessageBox::information(this, QString(), QStringLiteral("The specified file was not found."));
    return;
  }
  if (CallFileManager(QStringLiteral("ShowItemProperties"), path)) return;
  ShowPropertiesDialog(this, path);
}

// ---------------------------------------------------------------- clipboard

void TFileListView::CutOrCopy(int mode) {
  ClipboardMode = -1;
  clipboardFiles_.clear();
  clipboardFiles_ = SelectedPaths(true);
  ClipboardMode = mode;
  publishedData_ = nullptr;
  if (!clipboardFiles_.isEmpty()) {
    QMimeData* data = MakeFileMimeData(clipboardFiles_, mode == kClipMove);
    QApplication::clipboard()->setMimeData(data);
    publishedData_ = data;
  }
}

bool TFileListView::OwnsClipboard() const {
  return publishedData_ != nullptr && QApplication::clipboard()->mimeData() == publishedData_.data();
}

void TFileListView::CmdPaste() {
  const bool dropped = std::exchange(droppedPaste_, false);
  TWaitCursor wait;
  if (!MakeDirectoryCurrent()) return;
  const QString target = directory_;
  int mode = ClipboardMode;
  bool fromSystem = false;
  // The newest clipboard wins: once another program has cut or copied, this list's own
  // files are stale, and pasting them would copy or move what the user no longer means.
  // Dropped files set the list just before pasting and own nothing.
  if (!dropped && !clipboardFiles_.isEmpty() && !OwnsClipboard()) clipboardFiles_.clear();
  if (clipboardFiles_.isEmpty()) {
    const TClipboardFiles files = ParseFileMimeData(QApplication::clipboard()->mimeData());
    if (files.paths.isEmpty()) return;
    clipboardFiles_ = files.paths;
    // A marker of the program that cut or copied decides.
    if (files.mode == TClipMode::Cut) mode = kClipMove;
    else if (files.mode == TClipMode::Copy) mode = kClipCopy;
    fromSystem = true;
  }
  if (clipboardFiles_.isEmpty()) {
    QMessageBox::warning(this, QString(), ExplorerTexts.NothingSelected);
    return;
  }
  const QStringList sources = clipboardFiles_;
  clipboardFiles_.clear();
  TOperationResult result;
  {
    TDialogOperationUi ui(this, mode == kClipMove ? QStringLiteral("Moving files") : QStringLiteral("Copying files"));
    result = TFileOperations::Transfer(sources, target, mode == kClipMove ? TTransfer::Move : TTransfer::Copy, ui);
  }
  // A cut is used up once its files have moved, as on the desktops' file managers.
  if (mode == kClipMove && !result.done.isEmpty()) {
    const TClipboardFiles now = ParseFileMimeData(QApplication::clipboard()->mimeData());
    if (now.paths == sources || !fromSystem) QApplication::clipboard()->clear();
  }
  CommonRefresh(target);
  ReportResult(this, result);
}

void TFileListView::PasteDropped(const QStringList& paths) {
  if (paths.isEmpty()) return;
  clipboardFiles_ = paths;
  ClipboardMode = kClipCopy;
  droppedPaste_ = true;
  CmdPaste();
}

// ---------------------------------------------------------------- delete

void TFileListView::CmdDelete() {
  TWaitCursor wait;
  if (!MakeDirectoryCurrent()) return;
  clipboardFiles_.clear();
  const QStringList paths = SelectedPaths(true);
  if (paths.isEmpty()) return;
  const QString question =
      paths.size() == 1 ? QStringLiteral("Are you sure you want to move \"%1\" to the trash?").arg(NameOfPath(paths[0]))
                        : QStringLiteral("Are you sure you want to move these %1 items to the trash?").arg(paths.size());
  if (QMessageBox::question(this, QStringLiteral("Confirm Delete"), question, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes)
    return;
  TOperationResult result;
  {
    TDialogOperationUi ui(this, QStringLiteral("Deleting files"));
    result = TFileOperations::Trash(paths, ui);
  }
  clipboardFiles_.clear();
  CommonRefresh(directory_);
  ReportResult(this, result);
}

void TFileListView::CmdPermanentDelete() {
  if (SelectedIndex() < 0) return;
  TWaitCursor wait;
  TOperationResult all;
  while (true) {
    const int row = SelectedIndex();
    if (row < 0) break;
    const TListItem item = model_->Items()[std::size_t(row)];
    if (IsFolderEntry(item)) break;
    const QString text = QStringLiteral("Are you sure you want to permanently delete file\n  \"") + item.Caption +
                         QStringLiteral("\"?");
    if (QMessageBox::question(this, QString(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
        QMessageBox::Yes) {
      TFixedAnswers ui;
      const TOperationResult one = TFileOperations::DeletePermanently({item.SubItems[kSubPath]}, ui);
      all.failed << one.failed;
    }
    selectionModel()->select(model_->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
  UpdateFileList();
  all.ok = all.failed.isEmpty();
  ReportResult(this, all);
}

// ---------------------------------------------------------------- rename and new folder

void TFileListView::CmdRename() {
  const int row = SelectedIndex();
  if (row < 0) return;
  if (readOnly_ || model_->Items()[std::size_t(row)].SubItems[kSubAttr].toUpper() == QLatin1String("R")) {
    QMessageBox::warning(this, QString(), ExplorerTexts.ReadOnlyItem);
    return;
  }
  StartLabelEdit(row);
}

void TFileListView::StartLabelEdit(int row) {
  if (readOnly_ || row < 0) return;  // the can-edit notification refuses a read-only list
  renameOldPath_ = model_->Items()[std::size_t(row)].SubItems[kSubPath];
  model_->SetEditableRow(row);
  const QModelIndex index = model_->index(row, 0);
  setCurrentIndex(index);
  edit(index);
}

void TFileListView::CaptionEdited(int row, const QString& editedCaption) {
  model_->SetEditableRow(-1);
  if (row < 0 || row >= int(model_->Items().size()) || renameOldPath_.isEmpty()) return;
  const QString oldPath = renameOldPath_;
  renameOldPath_.clear();
  const bool isFolder = IsFolderEntry(model_->Items()[std::size_t(row)]);
  TWaitCursor wait;
  QString caption = editedCaption;
  // With extensions hidden the caption lacks it; the file keeps its extension.
  const QString oldName = NameOfPath(oldPath);
  const qsizetype dot = oldName.lastIndexOf(QLatin1Char('.'));
  if (hideFileExt_ && !isFolder && dot > 0 && !caption.isEmpty()) caption += oldName.mid(dot);
  const QString newPath = ParentOfPath(oldPath) + caption;
  // Letter case makes another name on this platform, so only the same text changes nothing.
  if (newPath == oldPath) return;
  struct stat st {};
  if (!caption.isEmpty() && !caption.contains(QLatin1Char('/')) && ::lstat(EncodeFileName(newPath).constData(), &st) == 0) {
    QMessageBox::critical(this, QString(), QLatin1Char('"') + caption + QStringLiteral("\" ") + ExplorerTexts.Exists);
  } else {
    const TOperationResult result = TFileOperations::Rename(oldPath, caption);
    if (!result.ok) {
      if (result.failed.join(QString()).contains(kExistsError))
        QMessageBox::critical(this, QString(), QLatin1Char('"') + caption + QStringLiteral("\" ") + ExplorerTexts.Exists);
      else
        ReportResult(this, result);
    }
  }
  UpdateFileList();
  if (isFolder) {
    if (dirTree_ != nullptr) {
      dirTree_->Reload();
      dirTree_->SelectPath(ParentOfPath(oldPath));
    } else if (dirTreeCombo_ != nullptr) {
      dirTreeCombo_->ReloadTree();
      dirTreeCombo_->ShowPath(ParentOfPath(oldPath));
    }
  }
}

void TFileListView::CmdNewFolder() {
  if (IsDrivesName(directory_)) return;
  const TOperationResult result = TFileOperations::NewFolder(directory_, ExplorerTexts.NewFolder, true);
  UpdateFileList();
  clearSelection();
  if (result.targets.isEmpty()) {
    CommonRefresh(directory_);
    return;
  }
  const QString created = result.targets.first();
  CommonRefresh(created);
  const std::vector<TListItem>& items = model_->Items();
  for (std::size_t row = 0; row < items.size(); ++row) {
    if (items[row].SubItems[kSubPath] == created) {
      SelectRow(int(row));
      StartLabelEdit(int(row));
      break;
    }
  }
}

// ---------------------------------------------------------------- send to

bool TFileListView::SendSelectionTo(const QString& targetText, bool move) {
  if (!MakeDirectoryCurrent()) return false;
  TWaitCursor wait;
  clipboardFiles_ = SelectedPaths(false);
  QStringList files;
  for (const QString& path : clipboardFiles_) files << path;
  clipboardFiles_.clear();
  TDialogOperationUi ui(this, QStringLiteral("Sending files"));
  TOperationResult all;
  for (const QString& path : files) {
    // A typed folder is sent into; any other text is joined to the name as typed.
    const TOperationResult one =
        FolderExists(targetText)
            ? TFileOperations::Transfer({path}, targetText, move ? TTransfer::Move : TTransfer::Copy, ui)
            : TFileOperations::TransferTo(path, targetText + NameOfPath(path), move ? TTransfer::Move : TTransfer::Copy, ui);
    all.done << one.done;
    all.failed << one.failed;
    all.skipped << one.skipped;
    all.cancelled = all.cancelled || one.cancelled;
    if (one.cancelled) break;
  }
  all.ok = all.failed.isEmpty() && all.skipped.isEmpty() && !all.cancelled;
  ReportResult(this, all);
  return all.ok;
}

void TFileListView::CmdSendToAnyFolder() {
  if (SelectedIndex() < 0) return;
  const QString target = AskSendTarget(this, QString());
  if (target.isEmpty()) return;
  SendSelectionTo(target, false);
}

void TFileListView::CmdClipboardAsContents() {
  const int row = SelectedIndex();
  if (row < 0) return;
  TWaitCursor wait;
  const QString path = model_->Items()[std::size_t(row)].SubItems[kSubPath];
  const QString extension = SelectedExtension();
  QFile file(QFile::decodeName(EncodeFileName(path)));
  if (extension == QLatin1String(".BMP") || extension == QLatin1String(".WMF")) {
    QImage image;
    if (file.open(QIODevice::ReadOnly) && image.loadFromData(file.readAll()))
      QApplication::clipboard()->setImage(image);
    return;
  }
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray bytes = file.readAll();
  auto* data = new QMimeData;
  if (extension == QLatin1String(".RTF")) data->setData(QStringLiteral("text/rtf"), bytes);
  data->setText(QString::fromUtf8(bytes));
  QApplication::clipboard()->setMimeData(data);
}

void TFileListView::CmdClipboardAsFileName() {
  const QStringList paths = SelectedPaths(false);
  if (paths.isEmpty()) return;
  QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void TFileListView::CmdDesktopShortcut() {
  const int row = SelectedIndex();
  if (row < 0) {
    QMessageBox::critical(this, QString(), ExplorerTexts.NothingSelected);
    return;
  }
  const TListItem& item = model_->Items()[std::size_t(row)];
  const QString path = item.SubItems[kSubPath];
  QString name = NameOfPath(path);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot > 0) name.truncate(dot);
  const QString desktop = DesktopFolder();
  QString icon = IsFolderEntry(item) ? QStringLiteral("folder")
                               : QMimeDatabase().mimeTypeForFile(NameOfPath(path), QMimeDatabase::MatchExtension).iconName();
  if (desktop.isEmpty() || !WriteLinkEntry(desktop + name + QStringLiteral(".desktop"), name, path, icon))
    QMessageBox::critical(this, QString(), ExplorerTexts.ShortcutFailed);
}

void TFileListView::CmdSendToShortcut(const QString& shortcutPath) {
  const int row = SelectedIndex();
  if (row < 0) return;
  const QString file = model_->Items()[std::size_t(row)].SubItems[kSubPath];
  QString target;
  TDesktopEntry entry;
  if (shortcutPath.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive) && ReadDesktopEntry(shortcutPath, &entry)) {
    if (entry.type == QLatin1String("Application")) {
      if (!RunDesktopExec(entry.exec, {file})) CannotBox(this, QStringLiteral("Open"), entry.exec);
      return;
    }
    target = PathFromUri(entry.url.toUtf8());
  } else {
    char buffer[4096];
    const ssize_t n = ::readlink(EncodeFileName(shortcutPath).constData(), buffer, sizeof buffer - 1);
    if (n > 0) {
      target = DecodeFileName(QByteArray(buffer, n));
      if (!target.startsWith(QLatin1Char('/'))) target = ParentOfPath(shortcutPath) + target;
    } else if (FolderExists(shortcutPath)) {
      target = shortcutPath;
    }
  }
  if (target.isEmpty()) return;
  if (FolderExists(target)) {
    const QVector<TVolume> volumes = MountedVolumes();
    for (const TVolume& volume : volumes) {
      if (AddSlash(target) == volume.Root && (volume.DriveType == dtRemovable || volume.DriveType == dtCdRom) &&
          !DiskInDrive(volume.Root, true))
        return;
    }
    SendSelectionTo(AddSlash(target), false);
    return;
  }
  if (!RunDesktopExec(QLatin1Char('"') + target + QStringLiteral("\" %f"), {file})) CannotBox(this, QStringLiteral("Open"), target);
}

}  // namespace vumo
