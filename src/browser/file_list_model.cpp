#include "browser/file_list_model.h"

#include "browser/linux_shell.h"

namespace vumo {

// ---------------------------------------------------------------- model

int TFileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(items_.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(items_.size())) return {};
  const TListItem& item = items_[std::size_t(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (column > 4) return ExtraText ? ExtraText(item, column) : QString();
      return column == 0 ? item.Caption : item.SubItems[column - 1];
    case Qt::DecorationRole:
      if (column == 0) return TFileTypes::Instance().Icon(item.ImageIndex);
      return {};
    case Qt::TextAlignmentRole:
      if (column < alignments_.size()) return QVariant::fromValue(alignments_[column] | Qt::AlignVCenter);
      return {};
    case Qt::ToolTipRole:
      return column == 0 ? item.SubItems[kSubPath] : QVariant();
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
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
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

}  // namespace vumo
