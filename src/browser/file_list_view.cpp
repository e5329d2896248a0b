#include "browser/file_list_view.h"

#include "browser/dir_tree.h"
#include "browser/dir_tree_combo.h"
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_popup.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"
#include "browser/wait_cursor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QSet>
#include <QDropEvent>
#include <QMimeData>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

namespace {

std::function<bool(const QString&)>& FileOpener() {
  static std::function<bool(const QString&)> opener = OpenWithDesktop;
  return opener;
}

// Sets a property; whether it changed, since only a change reads the folder again.
template <class T>
bool Changes(T& member, const T& value) {
  if (member == value) return false;
  member = value;
  return true;
}

// Links the list with a folder tree or drop-down in place of the one before; each side
// links back, and the check on the other's link ends the round.
template <class T>
void Relink(QPointer<T>& link, T* value, TFileListView* list) {
  if (value == link) return;
  T* previous = link;
  link = value;
  if (previous != nullptr && previous->FileList() == list) previous->SetFileList(nullptr);
  if (value != nullptr && value->FileList() != list) value->SetFileList(list);
}

}  // namespace


// ---------------------------------------------------------------- construction

TFileListView::TFileListView(QWidget* parent) : QTreeView(parent), model_(new TFileListModel(this)) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Renaming starts only through the rename command (F2, the popup, a new folder).
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(model_, &TFileListModel::CaptionEdited, this, [this](int row, const QString& caption) {
    // Run after the editor has closed, so the re-read does not pull the list from under it.
    QMetaObject::invokeMethod(this, [this, row, caption] { CaptionEdited(row, caption); }, Qt::QueuedConnection);
  });
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::RevertModelCache) {
      model_->SetEditableRow(-1);
      renameOldPath_.clear();
    }
  });
  header()->setSectionsMovable(false);
  header()->setSortIndicatorShown(true);
  header()->setSectionsClickable(true);
  header()->setStretchLastSection(false);
  connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { HeaderClick(column); });
  SetUpOptionalColumns();
  RecomputeDatePattern();
  RecomputeTimePattern();
  SetLanguage(lnEnglish);
  CreateFileColumns();
  ApplyViewStyle();
  SetPopUpMenuEnabled(true);
  HookOwner();
  folderWatcher_ = new QFileSystemWatcher(this);
  folderChangedDelay_.setSingleShot(true);
  folderChangedDelay_.setInterval(150);
  connect(folderWatcher_, &QFileSystemWatcher::directoryChanged, this, [this] { folderChangedDelay_.start(); });
  connect(&folderChangedDelay_, &QTimer::timeout, this, [this] { ListedFolderChanged(); });
}

TFileListView::~TFileListView() {
  if (hookedOwner_ != nullptr) hookedOwner_->removeEventFilter(this);
  if (dirTree_ != nullptr && dirTree_->FileList() == this) dirTree_->SetFileList(nullptr);
}

// ---------------------------------------------------------------- popup and dropped files

void TFileListView::BuildPopup() {
  delete popup_;
  popup_ = new TFileListPopup(this);
}

void TFileListView::SetPopUpMenuEnabled(bool value) {
  popUpMenuEnabled_ = value;
  // Without the command popup a popup the owner gives the list is used (the viewer's window does).
  if (!value && QWidget::mouseGrabber() == this) releaseMouse();
}

void TFileListView::UpdatePopupItems() {
  if (popup_ != nullptr) popup_->UpdateItems();
}

void TFileListView::ShowPopup(const QPoint& globalPoint) {
  if (popup_ == nullptr) return;
  popup_->UpdateItems();
  popup_->popup(globalPoint + QPoint(10, 10));
}

void TFileListView::contextMenuEvent(QContextMenuEvent* event) {
  if (popUpMenuEnabled_ && popupAutomatic_ && popup_ != nullptr) {
    ShowPopup(event->globalPos());
    event->accept();
    return;
  }
  QTreeView::contextMenuEvent(event);
}

void TFileListView::HookOwner() {
  QWidget* owner = window();
  if (owner == this || owner == hookedOwner_) return;
  if (hookedOwner_ != nullptr) hookedOwner_->removeEventFilter(this);
  hookedOwner_ = owner;
  owner->setAcceptDrops(true);
  owner->installEventFilter(this);
}

bool TFileListView::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) HookOwner();
  return QTreeView::event(event);
}

bool TFileListView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == hookedOwner_) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->source() == nullptr && HasFiles(drag->mimeData())) {
          drag->setDropAction(Qt::CopyAction);
          drag->accept();
          return true;
        }
        break;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() != nullptr) break;
        const TClipboardFiles files = ParseFileMimeData(drop->mimeData());
        if (files.paths.isEmpty()) break;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        PasteDropped(files.paths);
        return true;
      }
      default: break;
    }
  }
  return QTreeView::eventFilter(watched, event);
}

void TFileListView::SetFileOpener(std::function<bool(const QString&)> opener) {
  FileOpener() = opener ? std::move(opener) : std::function<bool(const QString&)>(OpenWithDesktop);
}

// ---------------------------------------------------------------- columns and styles

void TFileListView::ApplyColumns(const QStringList& captions, const QVector<int>& widths,
                                 const QVector<Qt::Alignment>& alignments) {
  model_->SetCaptions(captions + OptionalCaptions(), alignments + OptionalAlignments());
  for (int column = 0; column < 5; ++column) {
    const int width = widths.value(column);
    // A column of width 0 is how a design hides it.
    setColumnHidden(column, width <= 0 || (viewStyle_ != vsReport && column > 0));
    if (width > 0) setColumnWidth(column, width);
  }
}

void TFileListView::CreateFileColumns() {
  QStringList captions;
  for (int column = 0; column < 5; ++column) captions << FileColumnCaption(column);
  ApplyColumns(captions, {colWidths_[0], colWidths_[1], colWidths_[2], colWidths_[3], colWidths_[4]},
               {Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft});
  fileColumns_ = true;
  driveColumns_ = false;
  ApplyOptionalColumns();
}

void TFileListView::CreateDriveColumns() {
  QStringList captions;
  for (int column = 0; column < 5; ++column) captions << DriveColumnCaption(column);
  ApplyColumns(captions, {160, 110, 90, 90, 40}, {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft});
  fileColumns_ = false;
  driveColumns_ = true;
  ApplyOptionalColumns();
}

void TFileListView::ApplyViewStyle() {
  // The styles other than the report show the names only.
  const bool report = viewStyle_ == vsReport;
  setHeaderHidden(!report || !showColumnHeaders_);
  setIconSize(viewStyle_ == vsIcon ? QSize(32, 32) : QSize(16, 16));
  if (!report) {
    for (int column = 1; column < TFileListModel::kColumns; ++column) setColumnHidden(column, true);
    header()->setStretchLastSection(true);
  } else {
    header()->setStretchLastSection(false);
    if (driveColumns_) CreateDriveColumns();
    else CreateFileColumns();
  }
}

void TFileListView::SetViewStyle(TViewStyle value) {
  viewStyle_ = value;
  ApplyViewStyle();
  RequestHeaders();
}

void TFileListView::SetShowColumnHeaders(bool value) {
  showColumnHeaders_ = value;
  ApplyViewStyle();
}

bool TFileListView::MultiSelect() const { return selectionMode() == QAbstractItemView::ExtendedSelection; }

void TFileListView::SetMultiSelect(bool value) {
  setSelectionMode(value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TFileListView::SetLanguage(TLanguage value) {
  if (value == lnSysDefault) value = TLanguage(LanguageFromLocale());
  if (value == language_) return;
  language_ = value;
  FillFileListTexts(value);
  BuildPopup();
  popUpMenuEnabled_ = true;
  if (driveColumns_) CreateDriveColumns();
  else CreateFileColumns();
  ApplyViewStyle();
}

// ---------------------------------------------------------------- date and time

void TFileListView::SetDateFormat(TDtFormat value) {
  dateFormat_ = value;
  RecomputeDatePattern();
}

void TFileListView::RecomputeDatePattern() { datePattern_ = ListDatePattern(dateFormat_); }

void TFileListView::SetTimeFormat(TTmFormat value) {
  timeFormat_ = value;
  RecomputeTimePattern();
}

void TFileListView::RecomputeTimePattern() { timePattern_ = ListTimePattern(timeFormat_); }

// ---------------------------------------------------------------- properties

QString TFileListView::Directory() const { return directory_; }

void TFileListView::SetDirectory(const QString& value) {
  if (IsDrivesName(value)) {
    if (IsDrivesName(directory_)) return;
    directory_ = value;
    UpdateFileList();
    return;
  }
  // Paths differ by letter case on this platform, so compare exactly. Only the
  // text as given counts: the same folder spelled without its slash (as the
  // drop-down hands over a chosen node) is read again, which is how choosing
  // the shown folder refreshes the list.
  if (value == directory_ || value.isEmpty()) return;
  if (!FolderExists(value)) return;
  QString folder = AddSlash(value);
  if (!folder.startsWith(QLatin1Char('/'))) {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return;
    folder = AddSlash(DecodeFileName(QByteArray(cwd))) + folder;
    ::free(cwd);
  }
  SetCurrentFolder(folder);
  directory_ = folder;
  UpdateFileList();
}

QString TFileListView::Mask() const { return mask_; }

void TFileListView::SetMask(const QString& value) {
  if (Changes(mask_, value)) UpdateFileList();
}

bool TFileListView::ShowFolders() const { return showFolders_; }

void TFileListView::SetShowFolders(bool value) {
  if (Changes(showFolders_, value)) UpdateFileList();
}

void TFileListView::SetFileType(TFileType value) {
  if (Changes(fileType_, value)) UpdateFileList();
}

void TFileListView::SetParentDirCaption(const QString& value) {
  const QString trimmed = value.trimmed();
  if (trimmed.compare(parentDirCaption_.trimmed(), Qt::CaseInsensitive) != 0)
    parentDirCaption_ = QLatin1Char(' ') + trimmed;
}

QString TFileListView::SelectedItem() const { return selectedItem_; }

TDirTreeCombo* TFileListView::DirTreeCombo() const { return dirTreeCombo_; }

TDirTree* TFileListView::DirTree() const { return dirTree_; }

void TFileListView::SetDirTree(TDirTree* value) { Relink(dirTree_, value, this); }

void TFileListView::SetDirTreeCombo(TDirTreeCombo* value) { Relink(dirTreeCombo_, value, this); }

int TFileListView::SelectedIndex() const {
  if (selectionModel() == nullptr) return -1;
  const QModelIndexList rows = selectionModel()->selectedRows();
  int first = -1;
  for (const QModelIndex& index : rows)
    if (first < 0 || index.row() < first) first = index.row();
  return first;
}

int TFileListView::SelectedNumber() const {
  const int selected = selectionModel() != nullptr ? int(selectionModel()->selectedRows().size()) : 0;
  return selected > 0 ? selected : int(model_->Items().size());
}

qint64 TFileListView::SelectedSize() const {
  if (selectionModel() == nullptr) return 0;
  qint64 total = 0;
  for (const QModelIndex& index : selectionModel()->selectedRows()) {
    const TListItem& item = model_->Items()[std::size_t(index.row())];
    if (item.Kind != TEntryKind::File) continue;
    // Read again from the folder, so a file changed since the listing counts as it is now.
    struct stat st {};
    if (::stat(EncodeFileName(item.SubItems[kSubPath]).constData(), &st) == 0) total += st.st_size;
  }
  return total;
}

qint64 TFileListView::DriveFreeSpace() const {
  if (IsDrivesName(directory_)) return 0;
  const std::int64_t bytes = VolumeFreeBytes(directory_);
  return bytes < 0 ? 0 : bytes / 1024;
}

// ---------------------------------------------------------------- reading

TFileListing& TFileListView::Listing() {
  TListingOptions& options = listing_.Options;
  options.Mask = mask_;
  options.ShowFolders = showFolders_;
  options.Attributes = 0;
  if (fileType_ & ftReadOnly) options.Attributes |= kAttrReadOnly;
  if (fileType_ & ftHidden) options.Attributes |= kAttrHidden;
  if (fileType_ & ftSystem) options.Attributes |= kAttrSystem;
  if (fileType_ & ftArchive) options.Attributes |= kAttrArchive;
  if (fileType_ & ftNormal) options.Attributes |= kAttrNormal;
  options.ParentEntry = parentDirEnabled_;
  options.ParentCaption = parentDirCaption_;
  options.HideExtensions = hideFileExt_;
  options.SizeInBytes = fileSize_ == fsByte;
  options.DatePattern = datePattern_;
  options.TimePattern = timePattern_;
  options.NameFilter = nameFilter_;
  return listing_;
}

void TFileListView::AddFiles(const QString& pattern, std::uint32_t filter) { Listing().AddFiles(pattern, filter, model_->Items()); }

void TFileListView::AddDrives() { Listing().AddDrives(model_->Items()); }

void TFileListView::UpdateFileList() {
  ++updateDepth_;
  {
    TWaitCursor wait;
    // Programs make and remove entries in a folder all the time; a re-read of the same
    // folder must not lose what the user selected, or the next Delete or Ctrl+C acts on nothing.
    const QString folder = IsDrivesName(directory_) ? QString() : directory_;
    const bool sameFolder = !folder.isEmpty() && folder == readFolder_;
    QSet<QString> keptSelection;
    QString keptCurrent;
    const int keptVertical = verticalScrollBar()->value();
    const int keptHorizontal = horizontalScrollBar()->value();
    if (sameFolder && selectionModel() != nullptr) {
      const std::vector<TListItem>& items = model_->Items();
      for (const QModelIndex& index : selectionModel()->selectedRows())
        if (std::size_t(index.row()) < items.size()) keptSelection.insert(items[std::size_t(index.row())].SubItems[kSubPath]);
      const QModelIndex current = currentIndex();
      if (current.isValid() && std::size_t(current.row()) < items.size())
        keptCurrent = items[std::size_t(current.row())].SubItems[kSubPath];
    }
    readFolder_ = folder;
    WatchListedFolder();
    model_->BeginReset();
    model_->Items().clear();
    try {
      if (!IsDrivesName(directory_)) {
        popupAutomatic_ = true;
        if (!fileColumns_) CreateFileColumns();
        Listing().ReadFolder(directory_, model_->Items());
      } else {
        CreateDriveColumns();
        Listing().ReadDrives(model_->Items());
        popupAutomatic_ = false;
      }
    } catch (...) {
      // Whatever went wrong part-way, the list stays consistent and sorted.
    }
    model_->EndReset();
    sortDescending_ = true;
    HeaderClick(0);
    if (sameFolder && (!keptSelection.isEmpty() || !keptCurrent.isEmpty())) {
      const std::vector<TListItem>& items = model_->Items();
      QItemSelection selection;
      for (std::size_t row = 0; row < items.size(); ++row) {
        const QString& path = items[row].SubItems[kSubPath];
        if (path == keptCurrent)
          selectionModel()->setCurrentIndex(model_->index(int(row), 0), QItemSelectionModel::NoUpdate);
        if (keptSelection.contains(path)) selection.select(model_->index(int(row), 0), model_->index(int(row), 0));
      }
      selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    if (sameFolder) {
      // The ranges follow the new rows only once the view has laid them out.
      updateGeometries();
      verticalScrollBar()->setValue(keptVertical);
      horizontalScrollBar()->setValue(keptHorizontal);
    }
    if (!model_->Items().empty() && SelectedIndex() < 0)
      selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
    RequestHeaders();
  }
  if (updateDepth_ == 1) QCoreApplication::processEvents();
  --updateDepth_;
}

void TFileListView::WatchListedFolder() {
  const QStringList watched = folderWatcher_->directories();
  if (watched.size() == 1 && watched.first() == readFolder_) return;
  if (!watched.isEmpty()) folderWatcher_->removePaths(watched);
  if (!readFolder_.isEmpty() && FolderExists(readFolder_)) folderWatcher_->addPath(readFolder_);
}

void TFileListView::ListedFolderChanged() {
  if (readFolder_.isEmpty() || readFolder_ != directory_) return;
  // Not under an open rename editor or inside a command's own re-read: try again shortly.
  if (state() == QAbstractItemView::EditingState || updateDepth_ > 0) {
    folderChangedDelay_.start();
    return;
  }
  ++changeRereads_;
  UpdateFileList();
}

// ---------------------------------------------------------------- sorting

int TFileListView::CompareItems(const TListItem& item1, const TListItem& item2) const {
  if (sortColumn_ >= kFirstOptionalColumn) return CompareOptional(item1, item2, sortColumn_, sortDescending_);
  return TFileListing::Compare(item1, item2, sortColumn_, sortDescending_);
}

bool TFileListView::SortItems() {
  const std::vector<int> order = sortColumn_ >= kFirstOptionalColumn
                                     ? OptionalOrder(model_->Items(), sortColumn_, sortDescending_)
                                     : TFileListing::Order(model_->Items(), sortColumn_, sortDescending_);
  bool changed = false;
  for (std::size_t i = 0; i < order.size() && !changed; ++i) changed = order[i] != int(i);
  if (changed) model_->Reorder(order);
  return changed;
}

void TFileListView::HeaderClick(int column) {
  if (!listing_.Sortable()) {
    // The drive view keeps its order and shows no arrow.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    return;
  }
  if (column < 0 || column >= TFileListModel::kColumns) return;
  if (column == sortColumn_) {
    sortDescending_ = !sortDescending_;
  } else {
    sortColumn_ = column;
    sortDescending_ = true;
  }
  SortItems();
  // Qt draws its ascending indicator as a down arrow; the list shows the down
  // arrow when sorting descending, so the order handed to the header is flipped.
  header()->setSortIndicator(sortColumn_, sortDescending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// ---------------------------------------------------------------- clicks and keys

void TFileListView::SelectRow(int row) {
  if (row < 0 || row >= int(model_->Items().size())) return;
  const QModelIndex index = model_->index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void TFileListView::ClickHandling() {
  const int row = SelectedIndex();
  if (row < 0) return;
  selectedItem_ = model_->Items()[std::size_t(row)].SubItems[kSubPath];
  const QString reported = selectedItem_;
  emit OnItemChange(this, reported);
  emit Click();
}

void TFileListView::mousePressEvent(QMouseEvent* event) {
  QTreeView::mousePressEvent(event);
  // A drop made later copies when Ctrl was held at the press, else moves.
  dragArmed_ = event->button() == Qt::LeftButton;
  dragCopy_ = (event->modifiers() & Qt::ControlModifier) != 0;
  dragStart_ = event->position().toPoint();
}

void TFileListView::mouseMoveEvent(QMouseEvent* event) {
  // The selection is dragged only towards a linked directory tree that takes drops.
  if (dragArmed_ && (event->buttons() & Qt::LeftButton) && dirTree_ != nullptr && dirTree_->DragDropEnabled() &&
      (event->position().toPoint() - dragStart_).manhattanLength() > QApplication::startDragDistance() + 10) {
    dragArmed_ = false;
    const QStringList paths = SelectedPaths(false);
    if (paths.isEmpty()) return;
    DragFiles(this, MakeFileMimeData(paths, !dragCopy_), dragCopy_);
    return;
  }
  QTreeView::mouseMoveEvent(event);
}

void TFileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) ClickHandling();
}

void TFileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int row = SelectedIndex();
  if (row < 0 || model_->Items()[std::size_t(row)].Caption.isEmpty()) return;
  if (dblClickToOpen_) {
    OpenItem();
    return;
  }
  if (model_->Items()[std::size_t(row)].Kind == TEntryKind::Parent) OneLevelUp();
  else emit DblClick();
}

void TFileListView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const int key = event->key();
  bool raise = true;
  if (state() == QAbstractItemView::EditingState) {
    QTreeView::keyPressEvent(event);
    return;
  }
  if (modifiers == Qt::NoModifier) {
    switch (key) {
      case Qt::Key_Backspace: OneLevelUp(); break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (SelectedIndex() >= 0) OpenItem();
        break;
      case Qt::Key_Escape:
        if (dirTreeCombo_ != nullptr) dirTreeCombo_->CloseUp();
        else raise = false;
        break;
      case Qt::Key_F4:
        if (dirTreeCombo_ != nullptr) {
          dirTreeCombo_->DropDown();
          if (dirTreeCombo_->TreeIsOpen()) dirTreeCombo_->FocusTree();
        } else {
          raise = false;
        }
        break;
      case Qt::Key_F5:
        UpdateFileList();
        if (dirTreeCombo_ != nullptr) {
          const QString path = dirTreeCombo_->SelectedPath();
          dirTreeCombo_->ReloadTree();
          dirTreeCombo_->ShowPath(path);
        }
        if (dirTree_ != nullptr) {
          const QString path = dirTree_->SelectedPath();
          dirTree_->Reload();
          dirTree_->SelectPath(path);
        }
        break;
      case Qt::Key_Delete: CmdDelete(); break;
      case Qt::Key_F2: CmdRename(); break;
      case Qt::Key_F3: CmdSearch(); break;
      default:
        QTreeView::keyPressEvent(event);
        break;
    }
  } else if (modifiers == Qt::ShiftModifier && key == Qt::Key_Delete) {
    if (SelectedIndex() >= 0) {
      const bool firstIsFolder = IsFolderEntry(model_->Items()[std::size_t(SelectedIndex())]);
      CmdPermanentDelete();
      // Stopped at a folder: the inherited key event is not raised.
      if (firstIsFolder) raise = false;
    }
  } else if (modifiers == Qt::ControlModifier &&
             (key == Qt::Key_A || key == Qt::Key_C || key == Qt::Key_X || key == Qt::Key_V ||
              key == Qt::Key_N || key == Qt::Key_O || key == Qt::Key_F)) {
    switch (key) {
      case Qt::Key_A: selectAll(); break;
      case Qt::Key_C: CmdCopy(); break;
      case Qt::Key_X: CmdCut(); break;
      case Qt::Key_V:
        if (!clipboardFiles_.isEmpty() || HasFiles(QApplication::clipboard()->mimeData())) CmdPaste();
        break;
      case Qt::Key_N:
        if (!IsDrivesName(directory_)) CmdNewFolder();
        break;
      case Qt::Key_O:
        if (SelectedIndex() >= 0) OpenItem();
        break;
      case Qt::Key_F: CmdView(); break;
      default: break;
    }
  } else {
    QTreeView::keyPressEvent(event);
  }
  if (raise) emit KeyDown(key, event->modifiers());
}

void TFileListView::keyReleaseEvent(QKeyEvent* event) {
  QTreeView::keyReleaseEvent(event);
  // Holding an arrow down repeats only presses on the old platform; one report at the end.
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) ClickHandling();
}

// ---------------------------------------------------------------- navigation

void TFileListView::OpenItem() {
  const int row = SelectedIndex();
  if (row < 0) return;
  TWaitCursor wait;
  const TListItem item = model_->Items()[std::size_t(row)];
  if (item.Kind == TEntryKind::Parent) {
    OneLevelUp();
    return;
  }
  if (item.Kind == TEntryKind::File) {
    if (!FileOpener()(item.SubItems[kSubPath])) {
      QMessageBox::critical(this, QString(),
                            ExplorerTexts.Cannot + QStringLiteral("Open") + ExplorerTexts.FileWord + NameOfPath(item.SubItems[kSubPath]));
    }
    return;
  }
  const QString path = AddSlash(item.SubItems[kSubPath]);
  if (item.Kind == TEntryKind::Drive) {
    const QVector<TVolume> volumes = MountedVolumes();
    const TVolume* volume = FindVolume(volumes, path);
    if (volume != nullptr && (volume->DriveType == dtRemovable || volume->DriveType == dtCdRom) && !DiskInDrive(path, true))
      return;
  }
  SetDirectory(path);
  if (dirTree_ != nullptr) dirTree_->SelectPath(path);
  if (dirTreeCombo_ != nullptr) dirTreeCombo_->ShowPath(path);
}

void TFileListView::OneLevelUp() {
  if (IsDrivesName(directory_)) return;
  const QString old = AddSlash(directory_);
  if (IsVolumeRoot(directory_)) {
    if (dirTreeCombo_ != nullptr) dirTreeCombo_->ShowPath(dirTreeCombo_->RootCaption());
    if (dirTree_ != nullptr) dirTree_->SelectPath(dirTree_->RootCaption());
    SetDirectory(kDrivesName);
    return;
  }
  const QString parent = ParentOfPath(directory_);
  if (parent.isEmpty()) return;
  SetDirectory(parent);
  if (dirTree_ != nullptr) dirTree_->SelectPath(parent);
  if (dirTreeCombo_ != nullptr) dirTreeCombo_->ShowPath(parent);
  const std::vector<TListItem>& items = model_->Items();
  for (std::size_t row = 0; row < items.size(); ++row) {
    if (items[row].SubItems[kSubPath] + QLatin1Char('/') == old) {
      SelectRow(int(row));
      ClickHandling();
      break;
    }
  }
}

}  // namespace vumo
