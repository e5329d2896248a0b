#include "browser/file_listing.h"

#include "browser/explorer_texts.h"
#include "browser/file_names.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <iterator>
#include <numeric>

namespace vumo {

TFileListing::TFileListing() = default;
TFileListing::~TFileListing() = default;

// ---------------------------------------------------------------- reading

const std::vector<TScanEntry>& TFileListing::Scan(const QString& folder) {
  if (scanValid_ && scan_ && scanFolder_ == folder) return *scan_;
  if (!scan_) scan_ = std::make_unique<std::vector<TScanEntry>>();
  scanFolder_ = folder;
  scanValid_ = true;
  ++fileReads_;
  ScanFolder(folder, *scan_);
  return *scan_;
}

void TFileListing::DropScan() {
  scanValid_ = false;
  if (scan_) {
    scan_->clear();
    scan_->shrink_to_fit();
  }
}

void TFileListing::ReadFolder(const QString& folder, std::vector<TListItem>& items) {
  folderTotal_ = 0;
  scanValid_ = false;
  try {
    if (Options.ShowFolders) AddFiles(folder + QStringLiteral("*.*"), Options.Attributes | kAttrDirectory, items);
    for (const QString& token : SplitMask(Options.Mask)) AddFiles(folder + token, Options.Attributes, items);
  } catch (...) {
    DropScan();
    throw;
  }
  DropScan();
}

bool TFileListing::Accepts(const TScanEntry& entry, const TFileMask& mask, std::uint32_t filter, bool parentEntry) const {
  const bool isFolder = (entry.attributes & kAttrDirectory) != 0;
  if (isFolder != ((filter & kAttrDirectory) != 0)) return false;
  if ((entry.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) & ~filter) return false;
  if (entry.name == QLatin1String("..")) return parentEntry && isFolder;
  if (!MatchesNameFilter(entry.name)) return false;
  return mask.Matches(entry.name);
}

bool TFileListing::MatchesNameFilter(const QString& name) const {
  const QString& filter = Options.NameFilter;
  if (filter.isEmpty()) return true;
  if (!filter.contains(QLatin1Char('*')) && !filter.contains(QLatin1Char('?')))
    return name.contains(filter, Qt::CaseInsensitive);
  if (filterMask_.Pattern() != filter) filterMask_ = TFileMask(filter);
  return filterMask_.Matches(name);
}

QString TFileListing::SizeText(std::int64_t bytes, std::int64_t* key) const {
  if (Options.SizeInBytes) {
    *key = bytes;
    return QString::number(bytes);
  }
  // A file of a few bytes shows as 1 KB, so only an empty one reads 0 KB.
  *key = bytes > 0 && bytes < 1024 ? 1 : bytes / 1024;
  return QString::number(*key) + QStringLiteral(" KB");
}

QString TFileListing::TimeText(std::int64_t mtimeNs) {
  const std::int64_t seconds = mtimeNs / 1000000000 - (mtimeNs % 1000000000 < 0 ? 1 : 0);
  if (Options.DatePattern != timeTextsDate_ || Options.TimePattern != timeTextsTime_) {
    timeTexts_.clear();
    timeTextsDate_ = Options.DatePattern;
    timeTextsTime_ = Options.TimePattern;
  }
  const auto found = timeTexts_.constFind(seconds);
  if (found != timeTexts_.cend()) return *found;
  QString text = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(seconds), timeTextsDate_ + QLatin1Char(' ') + timeTextsTime_);
  if (timeTexts_.size() > 100000) timeTexts_.clear();
  timeTexts_.insert(seconds, text);
  return text;
}

void TFileListing::AddFiles(const QString& pattern, std::uint32_t filter, std::vector<TListItem>& items) {
  sortable_ = true;
  const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash >= 0 ? pattern.left(slash + 1) : QString();
  const TFileMask mask(pattern.mid(slash + 1));
  const bool parentEntry = Options.ParentEntry && !IsVolumeRoot(folder);
  TFileTypes& types = TFileTypes::Instance();
  const std::vector<TScanEntry>& scanned = Scan(folder);
  if (items.capacity() < items.size() + scanned.size())
    items.reserve(std::max(items.capacity() * 2, items.size() + scanned.size()));
  for (const TScanEntry& entry : scanned) {
    if (!Accepts(entry, mask, filter, parentEntry)) continue;
    const bool isFolder = (entry.attributes & kAttrDirectory) != 0;
    const bool isParent = entry.name == QLatin1String("..");
    TListItem item;
    item.Kind = isParent ? TEntryKind::Parent : isFolder ? TEntryKind::Folder : TEntryKind::File;
    const int type = isParent ? types.ParentType() : isFolder ? types.FolderType() : types.TypeForFileName(entry.name);
    item.ImageIndex = type;
    if (isParent) {
      item.Caption = Options.ParentCaption;
    } else {
      item.Caption = entry.name;
      const qsizetype dot = entry.name.lastIndexOf(QLatin1Char('.'));
      if (Options.HideExtensions && !isFolder && dot > 0) item.Caption.truncate(dot);
    }
    item.SortName = item.Caption.toUpper();
    item.SubItems[kSubSize] = isFolder ? QStringLiteral(" ") : SizeText(entry.size, &item.SizeKey);
    item.Bytes = entry.size;
    item.TimeKey = entry.mtimeNs;
    if (isParent) {
      item.SubItems[kSubType] = item.SubItems[kSubModified] = item.SubItems[kSubAttr] = QStringLiteral(" ");
    } else {
      item.SubItems[kSubType] = types.TypeName(type);
      item.SubItems[kSubModified] = TimeText(entry.mtimeNs);
      item.SubItems[kSubAttr] = AttributeLetters(entry.attributes);
    }
    item.SubItems[kSubPath] = folder + entry.name;
    folderTotal_ += entry.size;
    items.push_back(std::move(item));
  }
}

void TFileListing::ReadDrives(std::vector<TListItem>& items) {
  folderTotal_ = 0;
  AddDrives(items);
}

void TFileListing::AddDrives(std::vector<TListItem>& items) {
  sortable_ = false;
  TFileTypes& types = TFileTypes::Instance();
  for (const TVolume& volume : MountedVolumes()) {
    TListItem item;
    item.Kind = TEntryKind::Drive;
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
    items.push_back(std::move(item));
  }
}

// ---------------------------------------------------------------- order

int TFileListing::Compare(const TListItem& item1, const TListItem& item2, int column, bool descending) {
  const bool dir1 = IsFolderEntry(item1);
  const bool dir2 = IsFolderEntry(item2);
  const bool parentFlag = item1.Kind == TEntryKind::Parent || item2.Kind == TEntryKind::Parent;
  int result = 0;
  if (dir1 && !dir2) {
    result = -1;
  } else if (dir2 && !dir1) {
    result = 1;
  } else {
    switch (column) {
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
        result = item1.SubItems[column - 1].compare(item2.SubItems[column - 1], Qt::CaseInsensitive);
        break;
    }
  }
  result = result < 0 ? -1 : result > 0 ? 1 : 0;
  if (descending && !parentFlag) result = -result;
  return result;
}

std::vector<int> TFileListing::Order(const std::vector<TListItem>& items, int column, bool descending) {
  std::vector<int> order(items.size());
  std::iota(order.begin(), order.end(), 0);
  // The parent entry leads in every order; the comparison alone does not
  // give a consistent order for it on the size and time columns.
  const auto firstRest = std::stable_partition(order.begin(), order.end(), [&](int row) {
    return items[std::size_t(row)].Kind == TEntryKind::Parent;
  });
  std::stable_sort(firstRest, order.end(), [&](int a, int b) {
    return Compare(items[std::size_t(a)], items[std::size_t(b)], column, descending) < 0;
  });
  return order;
}

// ---------------------------------------------------------------- texts

QString ListDatePattern(int format) {
  static const char* const kPatterns[] = {"MM/dd/yyyy", "MM/dd/yy", "dd/MM/yyyy", "dd/MM/yy",
                                          "dd.MM.yy",   "dd-MM-yy", "yyyy-MM-dd", "yy-MM-dd"};
  if (format >= 0 && format < int(std::size(kPatterns))) return QString::fromLatin1(kPatterns[format]);
  return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QString ListTimePattern(int format) {
  // Qt's "t" is the time zone, which the list has no room for.
  auto withoutZone = [](QString pattern) {
    const qsizetype zone = pattern.indexOf(QLatin1Char('t'));
    if (zone >= 0) pattern.truncate(zone);
    return pattern;
  };
  const QLocale locale = QLocale::system();
  switch (format) {
    case 0: return withoutZone(locale.timeFormat(QLocale::LongFormat)).trimmed();
    case 1: return withoutZone(locale.timeFormat(QLocale::ShortFormat)).trimmed();
    default: {
      QString pattern = locale.timeFormat(QLocale::LongFormat);
      pattern.remove(QLatin1String("AP")).remove(QLatin1String("ap"));
      return withoutZone(pattern) + QStringLiteral(" AP");
    }
  }
}

QString SizeInMb(std::int64_t kb) {
  if (kb < 1) return QStringLiteral("0 Mb");
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(qlonglong(kb / 1000)) + QStringLiteral(" Mb");
}

}  // namespace vumo
