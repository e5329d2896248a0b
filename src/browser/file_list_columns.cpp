// The file list's header columns: dimensions, pixel format, image set and alpha of each
// file, from THeaderInfoCache. The listing never waits for them: a re-read asks the cache
// for the files, the rows on screen first, and the texts appear as the results arrive,
// with one repaint of the columns a burst and no reset of the model.

#include "browser/file_list_view.h"

#include "browser/file_names.h"
#include "browser/header_info_cache.h"
#include "browser/linux_shell.h"

#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace vumo {

namespace {

constexpr const char* kColumnNames[TFileListView::ocCount] = {"Dimensions", "PixelFormat", "Images", "Alpha"};
constexpr const char* kColumnCaptions[TFileListView::ocCount] = {"Dimensions", "Pixel format", "Images", "Alpha"};

THeaderKey KeyOf(const TListItem& item) { return THeaderKey{item.SubItems[kSubPath], item.Bytes, item.TimeKey}; }

// The images a set text counts: "6 faces x 10 levels" holds 60, "3 pages" 3, "" one.
std::uint64_t ImageCount(const std::string& text) {
  std::uint64_t count = 1, number = 0;
  bool inNumber = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      number = std::min<std::uint64_t>(number * 10 + static_cast<unsigned>(c - '0'), 1u << 30);
      inNumber = true;
    } else if (inNumber) {
      count = std::min<std::uint64_t>(count * number, std::uint64_t{1} << 60);
      number = 0;
      inNumber = false;
    }
  }
  if (inNumber) count = std::min<std::uint64_t>(count * number, std::uint64_t{1} << 60);
  return count;
}

// What one row sorts by in a header column; files without a header sort first.
struct TSortKey {
  std::uint64_t Number = 0;
  std::uint64_t Second = 0;
  QString Text;
};

int Three(std::uint64_t a, std::uint64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

int CompareKeys(const TSortKey& a, const TSortKey& b) {
  if (const int n = Three(a.Number, b.Number)) return n;
  if (const int n = Three(a.Second, b.Second)) return n;
  return a.Text.compare(b.Text, Qt::CaseInsensitive);
}

TSortKey SortKeyOf(const THeaderInfoCache& cache, const TListItem& item, int column) {
  TSortKey k;
  const THeaderInfoCache::TEntry* entry = item.Kind == TEntryKind::File ? cache.Find(KeyOf(item)) : nullptr;
  if (entry == nullptr || !entry->Info) return k;
  const THeaderInfo& info = *entry->Info;
  switch (column - TFileListView::kFirstOptionalColumn) {
    case TFileListView::ocDimensions:
      k.Number = std::uint64_t{info.Width} * info.Height + 1;
      k.Second = info.Width;
      break;
    case TFileListView::ocPixelFormat: k.Number = 1, k.Text = QString::fromStdString(info.Format); break;
    case TFileListView::ocImages:
      k.Number = ImageCount(info.ImageSet), k.Text = QString::fromStdString(info.ImageSet);
      break;
    case TFileListView::ocAlpha: k.Number = info.HasAlpha ? 2 : 1; break;
    default: break;
  }
  return k;
}

}  // namespace

// ---------------------------------------------------------------- set-up and shown columns

void TFileListView::SetUpOptionalColumns() {
  headerCache_ = new THeaderInfoCache(this);
  model_->ExtraText = [this](const TListItem& item, int column) { return OptionalText(item, column); };
  headerRepaint_.setSingleShot(true);
  headerRepaint_.setInterval(40);
  connect(headerCache_, &THeaderInfoCache::Ready, this, [this] {
    if (!headerRepaint_.isActive()) headerRepaint_.start();
  });
  connect(&headerRepaint_, &QTimer::timeout, this, [this] {
    const int rows = model_->rowCount();
    if (rows > 0)
      emit model_->dataChanged(model_->index(0, kFirstOptionalColumn),
                               model_->index(rows - 1, TFileListModel::kColumns - 1), {Qt::DisplayRole});
  });
  // Rows sorted by a header column before their headers were read take their places once
  // every header is in.
  connect(headerCache_, &THeaderInfoCache::Idle, this, [this] {
    if (sortColumn_ >= kFirstOptionalColumn && listing_.Sortable() && OptionalColumnsActive()) SortItems();
  });
  headerPrioritise_.setSingleShot(true);
  headerPrioritise_.setInterval(30);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (OptionalColumnsActive()) headerPrioritise_.start();
  });
  connect(&headerPrioritise_, &QTimer::timeout, this, [this] { PrioritiseVisibleHeaders(); });
  header()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& point) {
    if (fileColumns_) HeaderMenu()->popup(header()->mapToGlobal(point));
  });
  connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    const int index = column - kFirstOptionalColumn;
    if (index >= 0 && index < ocCount && size > 0 && optionalShown_[index] && !isColumnHidden(column))
      optionalWidths_[index] = size;
  });
}

QString TFileListView::OptionalColumnName(int index) {
  return index >= 0 && index < ocCount ? QString::fromLatin1(kColumnNames[index]) : QString();
}

QStringList TFileListView::OptionalCaptions() {
  QStringList captions;
  for (const char* caption : kColumnCaptions) captions << QString::fromLatin1(caption);
  return captions;
}

QVector<Qt::Alignment> TFileListView::OptionalAlignments() {
  return {Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft};
}

bool TFileListView::OptionalColumnShown(int index) const { return index >= 0 && index < ocCount && optionalShown_[index]; }

void TFileListView::SetOptionalColumnShown(int index, bool shown) {
  if (index < 0 || index >= ocCount || optionalShown_[index] == shown) return;
  optionalShown_[index] = shown;
  ApplyOptionalColumns();
  RequestHeaders();
  emit OptionalColumnsChanged();
}

QString TFileListView::OptionalColumns() const {
  QStringList names;
  for (int index = 0; index < ocCount; ++index)
    if (optionalShown_[index]) names << OptionalColumnName(index);
  return names.join(QLatin1Char(','));
}

void TFileListView::SetOptionalColumns(const QString& value) {
  const QString before = OptionalColumns();
  const QStringList names = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (int index = 0; index < ocCount; ++index) {
    const QString name = OptionalColumnName(index);
    optionalShown_[index] = std::any_of(names.begin(), names.end(), [&](const QString& given) {
      return given.trimmed().compare(name, Qt::CaseInsensitive) == 0;
    });
  }
  ApplyOptionalColumns();
  RequestHeaders();
  if (OptionalColumns() != before) emit OptionalColumnsChanged();
}

void TFileListView::SetOptionalWidth(int index, int value) {
  if (value <= 0) return;
  optionalWidths_[index] = value;
  if (!isColumnHidden(kFirstOptionalColumn + index)) setColumnWidth(kFirstOptionalColumn + index, value);
}

void TFileListView::ApplyOptionalColumns() {
  const bool folderReport = viewStyle_ == vsReport && fileColumns_;
  for (int index = 0; index < ocCount; ++index) {
    const int column = kFirstOptionalColumn + index;
    const bool shown = folderReport && optionalShown_[index];
    setColumnHidden(column, !shown);
    if (shown) setColumnWidth(column, optionalWidths_[index]);
  }
}

QMenu* TFileListView::HeaderMenu() {
  delete headerMenu_;
  headerMenu_ = new QMenu(this);
  for (int index = 0; index < ocCount; ++index) {
    QAction* action = headerMenu_->addAction(QString::fromLatin1(kColumnCaptions[index]));
    action->setObjectName(OptionalColumnName(index));
    action->setCheckable(true);
    action->setChecked(optionalShown_[index]);
    connect(action, &QAction::toggled, this, [this, index](bool checked) { SetOptionalColumnShown(index, checked); });
  }
  return headerMenu_;
}

// ---------------------------------------------------------------- texts and requests

bool TFileListView::OptionalColumnsActive() const {
  if (viewStyle_ != vsReport || !fileColumns_ || IsDrivesName(directory_)) return false;
  return std::any_of(std::begin(optionalShown_), std::end(optionalShown_), [](bool shown) { return shown; });
}

QString TFileListView::OptionalText(const TListItem& item, int column) const {
  if (item.Kind != TEntryKind::File || headerCache_ == nullptr) return {};
  const THeaderInfoCache::TEntry* entry = headerCache_->Find(KeyOf(item));
  if (entry == nullptr || !entry->Info) return {};
  const THeaderInfo& info = *entry->Info;
  switch (column - kFirstOptionalColumn) {
    case ocDimensions: return DimensionsText(info);
    case ocPixelFormat: return QString::fromStdString(info.Format);
    case ocImages: return QString::fromStdString(info.ImageSet);
    case ocAlpha: return AlphaText(info);
    default: return {};
  }
}

QStringList TFileListView::VisiblePaths() const {
  QStringList paths;
  const std::vector<TListItem>& items = model_->Items();
  if (items.empty()) return paths;
  const QModelIndex top = indexAt(QPoint(0, 0));
  const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
  const int first = top.isValid() ? top.row() : 0;
  const int last = bottom.isValid() ? bottom.row() : int(items.size()) - 1;
  for (int row = first; row <= last && row < int(items.size()); ++row)
    if (items[std::size_t(row)].Kind == TEntryKind::File) paths << items[std::size_t(row)].SubItems[kSubPath];
  return paths;
}

void TFileListView::RequestHeaders() {
  if (!OptionalColumnsActive()) {
    headerCache_->Cancel();
    return;
  }
  const std::vector<TListItem>& items = model_->Items();
  std::vector<THeaderKey> keys;
  keys.reserve(items.size());
  for (const TListItem& item : items)
    if (item.Kind == TEntryKind::File) keys.push_back(KeyOf(item));
  // The rows on screen first, then the rest from the top.
  headerCache_->Request(keys, VisiblePaths());
}

void TFileListView::PrioritiseVisibleHeaders() {
  if (OptionalColumnsActive()) headerCache_->Prioritise(VisiblePaths());
}

// ---------------------------------------------------------------- order

int TFileListView::CompareOptional(const TListItem& item1, const TListItem& item2, int column, bool descending) const {
  const bool dir1 = IsFolderEntry(item1), dir2 = IsFolderEntry(item2);
  const bool parentFlag = item1.Kind == TEntryKind::Parent || item2.Kind == TEntryKind::Parent;
  int result;
  if (dir1 != dir2) {
    result = dir1 ? -1 : 1;
  } else {
    result = CompareKeys(SortKeyOf(*headerCache_, item1, column), SortKeyOf(*headerCache_, item2, column));
    result = result < 0 ? -1 : result > 0 ? 1 : 0;
  }
  if (descending && !parentFlag) result = -result;
  return result;
}

std::vector<int> TFileListView::OptionalOrder(const std::vector<TListItem>& items, int column, bool descending) const {
  std::vector<int> order(items.size());
  std::iota(order.begin(), order.end(), 0);
  // Each row's key once: a hash lookup and a text a comparison would cost ten thousand
  // rows a second or so.
  std::vector<TSortKey> keys;
  keys.reserve(items.size());
  for (const TListItem& item : items) keys.push_back(SortKeyOf(*headerCache_, item, column));
  const auto firstRest = std::stable_partition(order.begin(), order.end(), [&](int row) {
    return items[std::size_t(row)].Kind == TEntryKind::Parent;
  });
  std::stable_sort(firstRest, order.end(), [&](int a, int b) {
    const TListItem& item1 = items[std::size_t(a)];
    const TListItem& item2 = items[std::size_t(b)];
    const bool dir1 = IsFolderEntry(item1), dir2 = IsFolderEntry(item2);
    int result = dir1 != dir2 ? (dir1 ? -1 : 1) : CompareKeys(keys[std::size_t(a)], keys[std::size_t(b)]);
    if (descending) result = -result;
    return result < 0;
  });
  return order;
}

// ---------------------------------------------------------------- the filter

void TFileListView::SetNameFilter(const QString& value) {
  if (value == nameFilter_) return;
  nameFilter_ = value;
  if (!IsDrivesName(directory_)) UpdateFileList();
}

}  // namespace vumo
