// The main window's compare mode: its commands, the compare view in the image view's place,
// and the title and status line while two pictures are compared.
#include <QApplication>
#include <QBoxLayout>
#include <QFileInfo>

#include "browser/file_list_popup.h"
#include "shell/application.h"
#include "shell/compare_view.h"
#include "shell/main_window.h"

namespace vumo {
namespace {

// The box layout, at any depth, that holds `widget`.
QBoxLayout* LayoutHolding(QLayout* layout, QWidget* widget) {
  if (!layout) return nullptr;
  if (auto* box = qobject_cast<QBoxLayout*>(layout); box && box->indexOf(widget) >= 0) return box;
  for (int i = 0; i < layout->count(); ++i)
    if (QBoxLayout* found = LayoutHolding(layout->itemAt(i)->layout(), widget)) return found;
  return nullptr;
}

// The list's popup reaches the window it sits in; set before any window, so every popup has it.
void CompareWithShown(TFileListView* list, const QString& path) {
  auto* form = qobject_cast<TForm1*>(list->window());
  if (!form) return;
  RunGuarded([&] {
    if (form->ShownFile().isEmpty()) {
      QApplication::beep();
      return;
    }
    form->OpenCompare(form->ShownFile(), path);
  });
}

const bool kCompareHandlerSet = (TFileListPopup::SetCompareHandler(&CompareWithShown), true);

}  // namespace

void TForm1::CreateCompareCommands() {
  CompareView = new TCompareView(ViewImage, this);
  CompareView->hide();
  if (QBoxLayout* box = LayoutHolding(layout(), ScrollBox)) box->insertWidget(box->indexOf(ScrollBox), CompareView, 1);

  // The compare view's own popup: its commands, then the view's that act on both pictures.
  CompareMenu = new QMenu(this);
  CompareMenu->setObjectName(QStringLiteral("CompareMenu"));
  AttachPopup(CompareView, CompareMenu);
  AddChoices<TCompareView::TMode>(
      CompareMenu,
      {{"CompareSideBySideMenu", "Side by Side", Qt::CTRL | Qt::Key_1, TCompareView::cmSideBySide},
       {"CompareFlickerMenu", "Flicker", Qt::CTRL | Qt::Key_2, TCompareView::cmFlicker},
       {"CompareSplitMenu", "Split", Qt::CTRL | Qt::Key_3, TCompareView::cmSplit},
       {"CompareDifferenceMenu", "Difference", Qt::CTRL | Qt::Key_4, TCompareView::cmDifference},
       {"CompareMarkedMenu", "Differences Marked", Qt::CTRL | Qt::Key_5, TCompareView::cmMarked}},
      [this](TCompareView::TMode mode) { CompareView->SetMode(mode); },
      [this](TCompareView::TMode mode) { return Comparing() && CompareView->Mode() == mode; });
  CompareMenu->addSeparator();
  AddCommand(CompareMenu, "CompareSwapMenu", "Swap A and B", {QKeySequence(Qt::CTRL | Qt::Key_Space)},
             [this] { CompareView->Swap(); });
  AddCommand(CompareMenu, "CompareAmplifyMenu", "Next Amplification", {QKeySequence(Qt::CTRL | Qt::Key_M)},
             [this] { CompareView->StepAmplify(); });
  for (int factor : kAmplifyFactors) {
    const std::string name = "CompareAmplify" + std::to_string(factor) + "Menu";
    const std::string caption = "Amplify \u00D7" + std::to_string(factor);
    TMenuItem* item = AddCommand(CompareMenu, name.c_str(), caption.c_str(), {},
                                 [this, factor] { CompareView->SetAmplify(factor); }, true);
    marks_.emplace_back(item, [this, factor] { return Comparing() && CompareView->Amplify() == factor; });
  }
  AddCommand(CompareMenu, "CompareThresholdMenu", "Next Mark Threshold",
             {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M)}, [this] { CompareView->StepThreshold(); });
  CompareMenu->addSeparator();
  // Escape belongs to the compare view alone: the filter box and a rename in the list take
  // it for themselves while they have the focus.
  TMenuItem* leave = AddCommand(CompareMenu, "CompareLeaveMenu", "Leave Compare", {QKeySequence(Qt::Key_Escape)},
                                [this] { CloseCompare(); });
  removeAction(leave);
  leave->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  CompareView->addAction(leave);
  CompareMenu->addSeparator();
  for (QMenu* shared : {ZoomMenu, ChannelMenu, TransparencyMenu, ExposureMenu}) CompareMenu->addMenu(shared);
  CompareChanged();
  connect(CompareView, &TCompareView::CompareChanged, this, [this] { CompareChanged(); });
  connect(CompareView, &TCompareView::HoverChanged, this, [this] { CompareChanged(); });
  // A click in the list shows that picture: after the window's own handler has started its load.
  connect(BrowseFiles, &TFileListView::Click, this, [this] { CloseCompare(); });
}

bool TForm1::Comparing() const { return CompareView && !CompareView->Empty(); }

void TForm1::OpenCompare(const QString& fileA, const QString& fileB) {
  // The image shown of A is the one compared first.
  const TGraphic* shown = ViewImage->Picture()->Graphic();
  CompareView->Open(fileA, fileB, shown && fileA == shownFile_ ? shown->Images().Index : 0);
  ScrollBox->hide();
  CompareView->show();
  CompareView->setFocus(Qt::OtherFocusReason);
  CompareChanged();
}

void TForm1::OpenCompareFromCommandLine(const QString& fileA, const QString& fileB) {
  OpenFromCommandLine(fileA);
  OpenCompare(QFileInfo(fileA).absoluteFilePath(), QFileInfo(fileB).absoluteFilePath());
}

void TForm1::CloseCompare() {
  if (!Comparing()) return;
  CompareView->Clear();
  CompareView->hide();
  ScrollBox->show();
  ViewImage->setFocus(Qt::OtherFocusReason);
  CompareChanged();
  ViewChanged();
}

void TForm1::CompareChanged() {
  // The commands work only while comparing, so their keys (Escape among them) are free otherwise.
  const bool comparing = Comparing();
  for (QAction* action : CompareMenu->actions())
    if (!action->menu()) action->setEnabled(comparing);
  if (!comparing) return;
  const QString title = QStringLiteral("%1 \u2194 %2 \u2014 %3")
                            .arg(QFileInfo(CompareView->FileA()).fileName(), QFileInfo(CompareView->FileB()).fileName(),
                                 QString::fromLatin1(kApplicationTitle));
  if (windowTitle() != title) setWindowTitle(title);
  StatusBar->SetPixel(CompareView->ReadoutText());
  for (auto& [item, checked] : marks_) item->SetChecked(checked());
}

}  // namespace vumo
