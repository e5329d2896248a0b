#pragma once

// The table model the file list shows: the items a listing (file_listing.h) made.
// The view (file_list_view.h) fills it; nothing here reads folders.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <vector>

#include "browser/file_listing.h"

namespace vumo {

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
  // The texts of the columns after the five of a listing; they are not kept in the items.
  std::function<QString(const TListItem&, int column)> ExtraText;
  static constexpr int kColumns = 9;

 private:
  std::vector<TListItem> items_;
  QStringList captions_;
  QVector<Qt::Alignment> alignments_;
  int editableRow_ = -1;

 signals:
  void CaptionEdited(int row, const QString& caption);
};

}  // namespace vumo
