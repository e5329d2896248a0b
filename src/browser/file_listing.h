#pragma once

// The file list's entries without the widget: which entries of a folder are listed (the
// mask, the attribute filter, the parent entry), the drive list, the order by each column
// and the size and time texts. The table model (file_list_model.h) hands the items to Qt
// and the view (file_list_view.h) keeps the events, keys and commands.

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "browser/file_mask.h"
#include "browser/folder_scan.h"
#include "browser/linux_shell.h"

namespace vumo {

// What an entry stands for. The parent entry ("..") sorts with the folders but leads
// every order, and opening it goes up.
enum class TEntryKind : std::uint8_t { Parent, Folder, File, Drive };

// Positions of the sub-items: the four columns after the name (in the drive view the
// drive type, the total and the free space), then the full path the name's tooltip shows.
enum TSubItem : int { kSubSize = 0, kSubType = 1, kSubModified = 2, kSubAttr = 3, kSubPath = 4 };

// One entry of the list: a caption, a type (the index of its icon and type name) and the
// texts shown beside it; the numbers behind the size and time texts are kept as well, so
// sorting never parses text.
struct TListItem {
  QString Caption;
  int ImageIndex = -1;
  TEntryKind Kind = TEntryKind::File;
  QString SubItems[5];
  QString SortName;            // the caption upper-cased once
  std::int64_t Bytes = 0;      // size of a file, 0 for folders and drives
  std::int64_t SizeKey = 0;    // the number the size column shows
  std::int64_t TimeKey = 0;    // modification time in nanoseconds
};

// Folders and the parent entry: what sorts apart from the files and what a delete stops at.
inline bool IsFolderEntry(const TListItem& item) {
  return item.Kind == TEntryKind::Folder || item.Kind == TEntryKind::Parent;
}

// Everything that decides what a reading lists and how its texts read.
struct TListingOptions {
  QString Mask = QStringLiteral("*.*");
  bool ShowFolders = true;
  // The read-only, hidden and system bits an entry may carry and still be listed.
  std::uint32_t Attributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
  bool ParentEntry = true;
  QString ParentCaption = QStringLiteral(" Parent");
  bool HideExtensions = false;
  bool SizeInBytes = false;  // else whole kilobytes
  QString DatePattern = QStringLiteral("yyyy-MM-dd");
  QString TimePattern = QStringLiteral("HH:mm");
  // The filter box's text: a part of the names listed, or a mask when it holds "*" or "?".
  QString NameFilter;
};

class TFileListing {
 public:
  TFileListing();
  ~TFileListing();

  TListingOptions Options;

  // Appends the folder's entries (the folder ends in a slash): its folders and the parent
  // entry when folders are shown, then the files of each pattern of the mask in turn, so a
  // file two patterns match is listed twice. The folder is read once for all passes.
  void ReadFolder(const QString& folder, std::vector<TListItem>& items);
  // The entries of one pass: "folder/pattern", folders only when the filter holds the
  // directory bit, files only when it does not.
  void AddFiles(const QString& pattern, std::uint32_t filter, std::vector<TListItem>& items);
  // Whether an entry of the folder is listed by a pass.
  bool Accepts(const TScanEntry& entry, const TFileMask& mask, std::uint32_t filter, bool parentEntry) const;
  bool MatchesNameFilter(const QString& name) const;
  // Appends the mounted drives, "/" first; the drive list keeps this order.
  void ReadDrives(std::vector<TListItem>& items);
  void AddDrives(std::vector<TListItem>& items);

  // -1, 0 or 1 by one column, folders before files; a descending sort turns the whole
  // order round, folders after files, but never a comparison with the parent entry.
  static int Compare(const TListItem& item1, const TListItem& item2, int column, bool descending);
  // The items' order by a column (new position -> present row), the parent entry first
  // and equal entries in their present order.
  static std::vector<int> Order(const std::vector<TListItem>& items, int column, bool descending);

  QString SizeText(std::int64_t bytes, std::int64_t* key) const;
  QString TimeText(std::int64_t mtimeNs);

  // Whether the last reading was a folder's (the drive list keeps its order).
  bool Sortable() const { return sortable_; }
  // Bytes of the files the last folder reading listed.
  std::int64_t FolderTotal() const { return folderTotal_; }
  // How often a folder has been read from the disk.
  int FileReads() const { return fileReads_; }

 private:
  const std::vector<TScanEntry>& Scan(const QString& folder);
  void DropScan();

  bool sortable_ = true;
  std::int64_t folderTotal_ = 0;
  int fileReads_ = 0;
  // One reading of a folder, shared by the passes of one ReadFolder.
  QString scanFolder_;
  bool scanValid_ = false;
  std::unique_ptr<std::vector<TScanEntry>> scan_;
  // Folders often hold many files of the same second; formatting is the costliest step of
  // a re-read, so each second is formatted once for the patterns in force.
  QHash<std::int64_t, QString> timeTexts_;
  QString timeTextsDate_;
  QString timeTextsTime_;
  mutable TFileMask filterMask_;
};

// The date patterns in the order of the list's date formats (MM/dd/yyyy, MM/dd/yy,
// dd/MM/yyyy, dd/MM/yy, dd.MM.yy, dd-MM-yy, yyyy-MM-dd, yy-MM-dd); any other number is
// the system's short date.
QString ListDatePattern(int format);
// The system's long (0) or short (1) time, or (2) its long time with AM/PM.
QString ListTimePattern(int format);
// A drive size given in kilobytes, in whole megabytes with digit groups.
QString SizeInMb(std::int64_t kb);

}  // namespace vumo
