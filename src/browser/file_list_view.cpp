#include "browser/file_list_view.h"

#include "browser/dir_tree.h"
#include "browser/dir_tree_combo.h"
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_popup.h"
#include "browser/file_mask.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDrag>
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

// Shows the hourglass for the life of the guard, on every way out.
class TWaitCursor {
 public:
  TWaitCursor() : active_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (active_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (active_) QApplication::restoreOverrideCursor();
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  bool active_;
};

QString SizeInMb(std::int64_t kb) {
  if (kb < 1) return QStringLiteral("0 Mb");
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(qlonglong(kb / 1000)) + QStringLiteral(" Mb");
}

}  // namespace

struct TFileListView::ScanEntry {
  QString name;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
};

// ---------------------------------------------------------------- model

int TFileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(items_.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 5;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(items_.size())) return {};
  const TListItem& item = items_[std::size_t(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return column == 0 ? item.Caption : item.SubItems[column - 1];
    case Qt::DecorationRole:
      if (column == 0) return TFileTypes::Instance().Icon(item.ImageIndex);
      return {};
    case Qt::TextAlignmentRole:
      if (column < alignments_.size()) return QVariant::fromValue(alignments_[column] | Qt::AlignVCenter);
      return {};
    case Qt::ToolTipRole:
      return column == 0 ? item.SubItems[4] : QVariant();
    default:
      return {};
  }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= captions_.size()) return {};
  if (role == Qt::DisplayRole) return captions_[section];
  if (role == Qt::TextAlignmentRole && section < alignments_.size())
    return QVariant::fromValue(alignments_[section] | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0 && index.row() == editableRow_) flags |= Qt::ItemIsEditable;
  return flags;
}

bool TFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() != editableRow_ || index.column() != 0) return false;
  const int row = index.row();
  editableRow_ = -1;
  items_[std::size_t(row)].Caption = value.toString();
  emit dataChanged(index, index);
  emit CaptionEdited(row, value.toString());
  return true;
}

void TFileListModel::SetCaptions(const QStringList& captions, const QVector<Qt::Alignment>& alignments) {
  captions_ = captions;
  alignments_ = alignments;
  emit headerDataChanged(Qt::Horizontal, 0, 4);
}

void TFileListModel::Reorder(const std::vector<int>& order) {
  emit layoutAboutToBeChanged();
  std::vector<int> newRowOf(order.size());
  std::vector<TListItem> sorted;
  sorted.reserve(items_.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    newRowOf[std::size_t(order[i])] = int(i);
    sorted.push_back(std::move(items_[std::size_t(order[i])]));
  }
  items_ = std::move(sorted);
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& index : from) to.append(this->index(newRowOf[std::size_t(index.row())], index.column()));
  changePersistentIndexList(from, to);
  emit layoutChanged();
}

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
    if (item.SubItems[5] != QLatin1String("file")) continue;
    // Read again from the folder, so a file changed since the listing counts as it is now.
    struct stat st {};
    if (::stat(EncodeFileName(item.SubItems[4]).constData(), &st) == 0) total += st.st_size;
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
  scan_->clear();
  scanFolder_ = folder;
  scanValid_ = true;
  ++fileReads_;
  const QByteArray path = EncodeFileName(folder);
  const int dirFd = ::open(path.isEmpty() ? "." : path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return *scan_;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return *scan_;
  }
  // Whether the user may write an entry follows from its mode bits and the
  // user's ids, found once here rather than asked of the kernel per entry.
  struct statvfs volume {};
  const bool readOnlyVolume = ::fstatvfs(dirFd, &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
  const uid_t userId = ::geteuid();
  std::vector<gid_t> groups(std::size_t(std::max(0, ::getgroups(0, nullptr))) + 1);
  groups.resize(std::size_t(std::max(0, ::getgroups(int(groups.size() - 1), groups.data()))));
  groups.push_back(::getegid());
  auto writable = [&](const struct stat& st) {
    if (readOnlyVolume) return false;
    if (userId == 0) return true;
    if (st.st_uid == userId) return (st.st_mode & S_IWUSR) != 0;
    if (std::find(groups.begin(), groups.end(), st.st_gid) != groups.end()) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
  };
  scan_->reserve(256);
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && name[1] == '\0') continue;
    ScanEntry scanned;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, 0) != 0) {
      // A broken link (or an entry gone since) is shown as a plain file.
      if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      st.st_mode = S_IFREG | (st.st_mode & 07777);
    }
    const bool parent = name[0] == '.' && name[1] == '.' && name[2] == '\0';
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
    else if (!S_ISREG(st.st_mode)) attributes |= kAttrSystem;
    if (name[0] == '.' && !parent) attributes |= kAttrHidden;
    if (!writable(st)) attributes |= kAttrReadOnly;
    scanned.name = DecodeFileName(QByteArray(name));
    scanned.attributes = attributes;
    scanned.size = S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0;
    scanned.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    scan_->push_back(std::move(scanned));
  }
  ::closedir(dir);
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
      item.SubItems[0] = QStringLiteral(" ");
    } else if (fileSize_ == fsKB) {
      const std::int64_t kb = entry.size > 0 && entry.size < 1024 ? 1 : entry.size / 1024;
      item.SubItems[0] = QString::number(kb) + QStringLiteral(" KB");
      item.SizeKey = kb;
    } else {
      item.SubItems[0] = QString::number(entry.size);
      item.SizeKey = entry.size;
    }
    item.Bytes = entry.size;
    item.TimeKey = entry.mtimeNs;
    if (isParent) {
      item.SubItems[1] = item.SubItems[2] = item.SubItems[3] = QStringLiteral(" ");
    } else {
      item.SubItems[1] = types.TypeName(type);
      item.SubItems[2] = FormatTime(entry.mtimeNs / 1000000000 - (entry.mtimeNs % 1000000000 < 0 ? 1 : 0));
      item.SubItems[3] = AttributeLetters(entry.attributes);
    }
    item.SubItems[4] = folder + entry.name;
    item.SubItems[5] = isFolder ? QStringLiteral("dir") : QStringLiteral("file");
    item.IsFolder = isFolder;
    item.SubItems[6] = QString::number(entry.mtimeNs);
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
    item.SubItems[0] = DriveTypeText(volume.DriveType);
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
    item.SubItems[1] = SizeInMb(totalKb);
    item.SubItems[2] = SizeInMb(freeKb);
    item.SubItems[4] = volume.Root;
    item.SubItems[5] = QStringLiteral("drv");
    items.push_back(std::move(item));
  }
}

void TFileListView::UpdateFileList() {
  ++updateDepth_;
  {
    TWaitCursor wait;
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
    if (!model_->Items().empty() && SelectedIndex() < 0)
      selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
  }
  if (updateDepth_ == 1) QCoreApplication::processEvents();
  --updateDepth_;
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
    return items[std::size_t(row)].Caption == parentDirCaption_ && items[std::size_t(row)].SubItems[5] == QLatin1String("dir");
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
  selectedItem_ = model_->Items()[std::size_t(row)].SubItems[4];
  const QString reported = selectedItem_;
  emit OnItemChange(this, reported);
  emit Click();
}

void TFileListView::mousePressEvent(QMouseEvent* event) {
  QTreeView::mousePressEvent(event);
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
      const bool firstIsFolder = model_->Items()[std::size_t(SelectedIndex())].SubItems[5] == QLatin1String("dir");
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
  if (item.Caption == parentDirCaption_ && item.SubItems[5] == QLatin1String("dir")) {
    OneLevelUp();
    return;
  }
  if (item.SubItems[5] == QLatin1String("file")) {
    if (!FileOpener()(item.SubItems[4])) {
      const qsizetype slash = item.SubItems[4].lastIndexOf(QLatin1Char('/'));
      QMessageBox::critical(this, QString(),
                            ExplorerTexts.Cannot + QStringLiteral("Open") + ExplorerTexts.FileWord + item.SubItems[4].mid(slash + 1));
    }
    return;
  }
  const QString path = AddSlash(item.SubItems[4]);
  if (item.SubItems[5] == QLatin1String("drv")) {
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
    if (items[row].SubItems[4] + QLatin1Char('/') == old) {
      SelectRow(int(row));
      ClickHandling();
      break;
    }
  }
}

}  // namespace vumo
