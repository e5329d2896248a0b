#pragma once

// The data behind the file list: one item per entry and the table model the
// view shows. The view (file_list_view.h) fills it; nothing here reads folders.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <vector>

namespace vumo {

// Positions of the seven sub-items of an entry (the item layout).
enum TSubItem : int {
  kSubSize = 0,      // size text (drive view: drive type text)
  kSubType = 1,      // type name (drive view: total size)
  kSubModified = 2,  // modification time (drive view: free space)
  kSubAttr = 3,      // attribute letters
  kSubPath = 4,      // full path
  kSubKind = 5,      // "dir", "file" or "drv"
  kSubTimeKey = 6,   // sort key of the time
};

// One entry of the list: a caption, a type (the index of its icon and type
// name) and seven sub-items; the numbers behind the size and time texts are
// kept as well, so sorting never parses text.
struct TListItem {
  QString Caption;
  int ImageIndex = -1;
  QString SubItems[7];
  QString SortName;            // the caption upper-cased once
  std::int64_t Bytes = 0;      // size of a file, 0 for folders and drives
  std::int64_t SizeKey = 0;    // the number the size column shows
  std::int64_t TimeKey = 0;    // modification time in nanoseconds
  bool IsFolder = false;       // kind tag "dir", kept as a flag for the sort
};

class TFileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit TFileListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  // The one row whose caption may be edited in place (-1: none).
  void SetEditableRow(int row) { editableRow_ = row; }
  int EditableRow() const { return editableRow_; }

  std::vector<TListItem>& Items() { return items_; }
  const std::vector<TListItem>& Items() const { return items_; }
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  // Reorders the items by the permutation (new position -> old row), keeping
  // the view's selection and focus on the same entries.
  void Reorder(const std::vector<int>& order);
  void SetCaptions(const QStringList& captions, const QVector<Qt::Alignment>& alignments);
  void SetSortArrow(int column, bool descending);

 private:
  std::vector<TListItem> items_;
  QStringList captions_;
  QVector<Qt::Alignment> alignments_;
  int editableRow_ = -1;

 signals:
  void CaptionEdited(int row, const QString& caption);
};

}  // namespace vumo
