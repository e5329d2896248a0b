#include "browser/file_list_view.h"

#include "browser/dir_tree.h"
#include "browser/dir_tree_combo.h"
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_popup.h"
#include "browser/file_mask.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"
#include "browser/wait_cursor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDrag>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QSet>
#include <QDropEvent>
#include <QMimeData>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimeZone>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vumo {

namespace {

std::function<bool(const QString&)>& FileOpener() {
  static std::function<bool(const QString&)> opener = OpenWithDesktop;
  return opener;
}

QString SizeInMb(std::int64_t kb) {
  if (kb < 1) return QStringLiteral("0 Mb");
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(qlonglong(kb / 1000)) + QStringLiteral(" Mb");
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
  model_->SetCaptions(captions, alignments);
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
}

void TFileListView::CreateDriveColumns() {
  QStringList captions;
  for (int column = 0; column < 5; ++column) captions << DriveColumnCaption(column);
  ApplyColumns(captions, {160, 110, 90, 90, 40}, {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft});
  fileColumns_ = false;
  driveColumns_ = true;
}

void TFileListView::ApplyViewStyle() {
  // The styles other than the report show the names only.
  const bool report = viewStyle_ == vsReport;
  setHeaderHidden(!report || !showColumnHeaders_);
  setIconSize(viewStyle_ == vsIcon ? QSize(32, 32) : QSize(16, 16));
  if (!report) {
    for (int column = 1; column < 5; ++column) setColumnHidden(column, true);
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

void TFileListView::SetTimeFormat(TTmFormat value) {
  timeFormat_ = value;
  RecomputeTimePattern();
}

void TFileListView::RecomputeDatePattern() {
  static const char* const kPatterns[] = {"MM/dd/yyyy", "MM/dd/yy", "dd/MM/yyyy", "dd/MM/yy",
                                          "dd.MM.yy",   "dd-MM-yy", "yyyy-MM-dd", "yy-MM-dd"};
  if (dateFormat_ >= df_MMddyyyy && dateFormat_ < df_Customize)
    datePattern_ = QString::fromLatin1(kPatterns[dateFormat_]);
  else
    datePattern_ = QLocale::system().dateFormat(QLocale::ShortFormat);
  timeTexts_.clear();
}

void TFileListView::RecomputeTimePattern() {
  // Qt's "t" is the time zone, which the list has no room for.
  auto withoutZone = [](QString pattern) {
    const qsizetype zone = pattern.indexOf(QLatin1Char('t'));
    if (zone >= 0) pattern.truncate(zone);
    return pattern.trimmed();
  };
  const QLocale locale = QLocale::system();
  switch (timeFormat_) {
    case tfLongFormat: timePattern_ = withoutZone(locale.timeFormat(QLocale::LongFormat)); break;
    case tfShortFormat: timePattern_ = withoutZone(locale.timeFormat(QLocale::ShortFormat)); break;
    case tfCustomize: {
      QString pattern = locale.timeFormat(QLocale::LongFormat);
      pattern.remove(QLatin1String("AP")).remove(QLatin1String("ap"));
      const qsizetype cut = pattern.indexOf(QLatin1Char('t'));
      if (cut >= 0) pattern.truncate(cut);
      timePattern_ = pattern + QStringLiteral(" AP");
      break;
    }
  }
  timeTexts_.clear();
}

QString TFileListView::FormatTime(std::int64_t seconds) {
  // Folders often hold many files of the same second; formatting is the
  // costliest step of a re-read, so each second is formatted once.
  const auto found = timeTexts_.constFind(seconds);
  if (found != timeTexts_.cend()) return *found;
  const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds);
  QString text = QLocale::c().toString(local, datePattern_ + QLatin1Char(' ') + timePattern_);
  if (timeTexts_.size() > 100000) timeTexts_.clear();
  timeTexts_.insert(seconds, text);
  return text;
}

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
  if (value == mask_) return;
  mask_ = value;
  UpdateFileList();
}

bool TFileListView::ShowFolders() const { return showFolders_; }

void TFileListView::SetShowFolders(bool value) {
  if (value == showFolders_) return;
  showFolders_ = value;
  UpdateFileList();
}

void TFileListView::SetFileType(TFileType value) {
  if (value == fileType_) return;
  fileType_ = value;
  UpdateFileList();
}

void TFileListView::SetParentDirCaption(const QString& value) {
  const QString trimmed = value.trimmed();
  if (trimmed.compare(parentDirCaption_.trimmed(), Qt::CaseInsensitive) != 0)
    parentDirCaption_ = QLatin1Char(' ') + trimmed;
}

QString TFileListView::SelectedItem() const { return selectedItem_; }

TDirTreeCombo* TFileListView::DirTreeCombo() const { return dirTreeCombo_; }

TDirTree* TFileListView::DirTree() const { return dirTree_; }

void TFileListView::SetDirTree(TDirTree* value) {
  if (value == dirTree_) return;
  TDirTree* previous = dirTree_;
  dirTree_ = value;
  if (previous != nullptr && previous->FileList() == this) previous->SetFileList(nullptr);
  if (value != nullptr && value->FileList() != this) value->SetFileList(this);
}

void TFileListView::SetDirTreeCombo(TDirTreeCombo* value) {
  if (value == dirTreeCombo_) return;
  TDirTreeCombo* previous = dirTreeCombo_;
  dirTreeCombo_ = value;
  if (previous != nullptr && previous->FileList() == this) previous->SetFileList(nullptr);
  if (value != nullptr && value->FileList() != this) value->SetFileList(this);
}

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
    if (item.SubItems[kSubKind] != QLatin1String("file")) continue;
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

const std::vector<TFileListView::ScanEntry>& TFileListView::Scan(const QString& folder) {
  if (scanValid_ && scan_ && scanFolder_ == folder) return *scan_;
  if (!scan_) scan_ = std::make_unique<std::vector<ScanEntry>>();
  scanFolder_ = folder;
  scanValid_ = true;
  ++fileReads_;
  ScanFolder(folder, *scan_);
  return *scan_;
}

void TFileListView::AddFiles(const QString& pattern, std::uint32_t filter) {
  sortable_ = true;
  const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash >= 0 ? pattern.left(slash + 1) : QString();
  const TFileMask mask(pattern.mid(slash + 1));
  const bool wantFolders = (filter & kAttrDirectory) != 0;
  const bool noParent = !wantFolders || !parentDirEnabled_ || IsVolumeRoot(folder);
  TFileTypes& types = TFileTypes::Instance();
  std::vector<TListItem>& items = model_->Items();
  const std::vector<ScanEntry>& scanned = Scan(folder);
  if (items.capacity() < items.size() + scanned.size())
    items.reserve(std::max(items.capacity() * 2, items.size() + scanned.size()));
  for (const ScanEntry& entry : scanned) {
    const bool isFolder = (entry.attributes & kAttrDirectory) != 0;
    if (isFolder != wantFolders) continue;
    if ((entry.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) & ~filter) continue;
    const bool isParent = entry.name == QLatin1String("..");
    if (isParent && noParent) continue;
    if (!isParent && !mask.Matches(entry.name)) continue;

    TListItem item;
    const int type = isParent ? types.ParentType() : isFolder ? types.FolderType() : types.TypeForFileName(entry.name);
    item.ImageIndex = type;
    if (isParent) {
      item.Caption = parentDirCaption_;
    } else {
      item.Caption = entry.name;
      const qsizetype dot = entry.name.lastIndexOf(QLatin1Char('.'));
      if (hideFileExt_ && !isFolder && dot > 0) item.Caption.truncate(dot);
    }
    item.SortName = item.Caption.toUpper();
    if (isFolder) {
      item.SubItems[kSubSize] = QStringLiteral(" ");
    } else if (fileSize_ == fsKB) {
      const std::int64_t kb = entry.size > 0 && entry.size < 1024 ? 1 : entry.size / 1024;
      item.SubItems[kSubSize] = QString::number(kb) + QStringLiteral(" KB");
      item.SizeKey = kb;
    } else {
      item.SubItems[kSubSize] = QString::number(entry.size);
      item.SizeKey = entry.size;
    }
    item.Bytes = entry.size;
    item.TimeKey = entry.mtimeNs;
    if (isParent) {
      item.SubItems[kSubType] = item.SubItems[kSubModified] = item.SubItems[kSubAttr] = QStringLiteral(" ");
    } else {
      item.SubItems[kSubType] = types.TypeName(type);
      item.SubItems[kSubModified] = FormatTime(entry.mtimeNs / 1000000000 - (entry.mtimeNs % 1000000000 < 0 ? 1 : 0));
      item.SubItems[kSubAttr] = AttributeLetters(entry.attributes);
    }
    item.SubItems[kSubPath] = folder + entry.name;
    item.SubItems[kSubKind] = isFolder ? QStringLiteral("dir") : QStringLiteral("file");
    item.IsFolder = isFolder;
    item.SubItems[kSubTimeKey] = QString::number(entry.mtimeNs);
    folderTotal_ += entry.size;
    items.push_back(std::move(item));
  }
}

void TFileListView::AddDrives() {
  sortable_ = false;
  TFileTypes& types = TFileTypes::Instance();
  std::vector<TListItem>& items = model_->Items();
  for (const TVolume& volume : MountedVolumes()) {
    TListItem item;
    item.ImageIndex = types.DriveType();
    item.Caption = QStringLiteral(" (") + RemoveSlash(volume.Root) + QStringLiteral(")  ") + volume.DisplayName;
    item.SortName = item.Caption.toUpper();
    item.SubItems[kSubSize] = DriveTypeText(volume.DriveType);
    std::int64_t totalKb = 0, freeKb = 0;
    // Removable and optical drives are never touched, so listing drives
    // never waits for a disk.
    if (volume.DriveType != dtRemovable && volume.DriveType != dtCdRom) {
      const std::int64_t total = VolumeTotalBytes(volume.Root);
      const std::int64_t free = VolumeFreeBytes(volume.Root);
      if (total < 0 || free < 0) continue;  // a drive that cannot be read is left out
      totalKb = total / 1024;
      freeKb = free / 1024;
    }
    item.SubItems[kSubType] = SizeInMb(totalKb);
    item.SubItems[kSubModified] = SizeInMb(freeKb);
    item.SubItems[kSubPath] = volume.Root;
    item.SubItems[kSubKind] = QStringLiteral("drv");
    items.push_back(std::move(item));
  }
}

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
    folderTotal_ = 0;
    scanValid_ = false;
    try {
      if (!IsDrivesName(directory_)) {
        popupAutomatic_ = true;
        if (!fileColumns_) CreateFileColumns();
        std::uint32_t filter = 0;
        if (fileType_ & ftReadOnly) filter |= kAttrReadOnly;
        if (fileType_ & ftHidden) filter |= kAttrHidden;
        if (fileType_ & ftSystem) filter |= kAttrSystem;
        if (fileType_ & ftArchive) filter |= kAttrArchive;
        if (fileType_ & ftNormal) filter |= kAttrNormal;
        if (showFolders_) AddFiles(directory_ + QStringLiteral("*.*"), filter | kAttrDirectory);
        for (const QString& token : SplitMask(mask_)) AddFiles(directory_ + token, filter);
      } else {
        CreateDriveColumns();
        AddDrives();
        popupAutomatic_ = false;
      }
    } catch (...) {
      // Whatever went wrong part-way, the list stays consistent and sorted.
    }
    scanValid_ = false;
    if (scan_) {
      scan_->clear();
      scan_->shrink_to_fit();
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
  const bool dir1 = item1.IsFolder;
  const bool dir2 = item2.IsFolder;
  // Only folders can be the parent entry, so files skip the text compare.
  const bool parentFlag = (dir1 && item1.Caption == parentDirCaption_) || (dir2 && item2.Caption == parentDirCaption_);
  int result = 0;
  if (dir1 && !dir2) {
    result = -1;
  } else if (dir2 && !dir1) {
    result = 1;
  } else {
    switch (sortColumn_) {
      case 0: {
        const QString name1 = item1.SortName.isNull() ? item1.Caption.toUpper() : item1.SortName;
        const QString name2 = item2.SortName.isNull() ? item2.Caption.toUpper() : item2.SortName;
        result = name1.compare(name2);
        break;
      }
      case 1: result = item1.SizeKey < item2.SizeKey ? -1 : item1.SizeKey > item2.SizeKey ? 1 : 0; break;
      case 3:
        if (&item1 == &item2) return 0;
        result = item1.TimeKey < item2.TimeKey ? -1 : item1.TimeKey > item2.TimeKey ? 1 : 0;
        break;
      default:
        result = item1.SubItems[sortColumn_ - 1].compare(item2.SubItems[sortColumn_ - 1], Qt::CaseInsensitive);
        break;
    }
  }
  result = result < 0 ? -1 : result > 0 ? 1 : 0;
  if (sortDescending_ && !parentFlag) result = -result;
  return result;
}

bool TFileListView::SortItems() {
  const std::vector<TListItem>& items = model_->Items();
  std::vector<int> order(items.size());
  std::iota(order.begin(), order.end(), 0);
  // The parent entry leads in every order; the comparison alone does not
  // give a consistent order for it on the size and time columns.
  const auto firstRest = std::stable_partition(order.begin(), order.end(), [&](int row) {
    return items[std::size_t(row)].Caption == parentDirCaption_ && items[std::size_t(row)].SubItems[kSubKind] == QLatin1String("dir");
  });
  std::stable_sort(firstRest, order.end(), [&](int a, int b) {
    return CompareItems(items[std::size_t(a)], items[std::size_t(b)]) < 0;
  });
  bool changed = false;
  for (std::size_t i = 0; i < order.size() && !changed; ++i) changed = order[i] != int(i);
  if (changed) model_->Reorder(order);
  return changed;
}

void TFileListView::HeaderClick(int column) {
  if (!sortable_) {
    // The drive view keeps its order and shows no arrow.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    return;
  }
  if (column < 0 || column > 4) return;
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
    QMimeData* data = MakeFileMimeData(paths, !dragCopy_);
    data->setData(TDirTree::kDragModeFormat, dragCopy_ ? QByteArrayLiteral("copy") : QByteArrayLiteral("move"));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(dragCopy_ ? Qt::CopyAction : Qt::MoveAction, dragCopy_ ? Qt::CopyAction : Qt::MoveAction);
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
  if (model_->Items()[std::size_t(row)].Caption == parentDirCaption_) OneLevelUp();
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
      const bool firstIsFolder = model_->Items()[std::size_t(SelectedIndex())].SubItems[kSubKind] == QLatin1String("dir");
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
  if (item.Caption == parentDirCaption_ && item.SubItems[kSubKind] == QLatin1String("dir")) {
    OneLevelUp();
    return;
  }
  if (item.SubItems[kSubKind] == QLatin1String("file")) {
    if (!FileOpener()(item.SubItems[kSubPath])) {
      const qsizetype slash = item.SubItems[kSubPath].lastIndexOf(QLatin1Char('/'));
      QMessageBox::critical(this, QString(),
                            ExplorerTexts.Cannot + QStringLiteral("Open") + ExplorerTexts.FileWord + item.SubItems[kSubPath].mid(slash + 1));
    }
    return;
  }
  const QString path = AddSlash(item.SubItems[kSubPath]);
  if (item.SubItems[kSubKind] == QLatin1String("drv")) {
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
  const QString withoutSlash = RemoveSlash(directory_);
  const qsizetype slash = withoutSlash.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return;
  const QString parent = withoutSlash.left(slash + 1);
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
