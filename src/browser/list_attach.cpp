#include "browser/list_attach.h"

#include "browser/file_filter_box.h"
#include "browser/file_list_view.h"

#include <QBoxLayout>
#include <QMenu>

namespace vumo {

TFileFilterBox* AttachFilterBox(QBoxLayout* layout, TFileListView* list) {
  auto* box = new TFileFilterBox(list->parentWidget());
  box->setObjectName(list->objectName() + QStringLiteral("Filter"));
  box->SetFileList(list);
  const int at = layout->indexOf(list);
  layout->insertWidget(at < 0 ? layout->count() : at, box);
  return box;
}

void AddColumnsMenu(QMenu* menu, TFileListView* list) {
  QMenu* columns = menu->addMenu(QStringLiteral("Columns"));
  columns->setObjectName(QStringLiteral("ColumnsMenu"));
  QObject::connect(columns, &QMenu::aboutToShow, columns, [columns, list] {
    columns->clear();
    // The header popup's entries, which act on the list when toggled.
    for (QAction* action : list->HeaderMenu()->actions()) columns->addAction(action);
  });
  const TFileListView::TViewStyle style = list->ViewStyle();
  const bool headers = list->ShowColumnHeaders();
  if (style == TFileListView::vsReport) return;
  QObject::connect(list, &TFileListView::OptionalColumnsChanged, list, [list, style, headers] {
    const bool report = !list->OptionalColumns().isEmpty();
    list->SetShowColumnHeaders(report || headers);
    list->SetViewStyle(report ? TFileListView::vsReport : style);
  });
}

}  // namespace vumo
