#include "browser/dir_tree_combo.h"

#include "browser/change_watcher.h"
#include "browser/explorer_texts.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/folder_tree_items.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace vumo {

using namespace folder_tree;

// ---------------------------------------------------------------- drop button

TDropButton::TDropButton(QWidget* parent) : QToolButton(parent) {
  // An icon rather than an arrow type, so that an owner's glyph replaces it.
  setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  setIconSize(QSize(12, 12));
  setAutoRaise(true);
  setCursor(Qt::ArrowCursor);
  setFocusPolicy(Qt::NoFocus);
}

void TDropButton::mouseReleaseEvent(QMouseEvent* event) {
  // A right-button release is swallowed: the combo has no context menu.
  if (event->button() == Qt::RightButton) return;
  QToolButton::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------- tree

TDirTreeView::TDirTreeView(TDirTreeCombo* combo)
    : QTreeWidget(combo), combo_(combo) {
  setWindowFlags(Qt::Popup);
  SetUpView(this);
  setFrameShape(QFrame::Box);
  setMouseTracking(true);
  setExpandsOnDoubleClick(false);
  setEnabled(false);
  resize(216, 240);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { FillNode(node); });
}

void TDirTreeView::BuildRoot() { folder_tree::BuildRoot(this); }

void TDirTreeView::FillNode(QTreeWidgetItem* node) { folder_tree::FillNode(node, combo_->Watcher()); }

QString TDirTreeView::NodePath(QTreeWidgetItem* node) {
  lastNodePath_ = folder_tree::NodePath(node);
  return lastNodePath_;
}

void TDirTreeView::ExpandToPath(const QString& path) {
  QTreeWidgetItem* root = RootNode();
  if (root == nullptr) return;
  setUpdatesEnabled(false);
  collapseAll();
  root->setExpanded(true);
  FindPath(root, path, combo_->Watcher(), [this](QTreeWidgetItem* node) {
    setCurrentItem(node);
    FillNode(node);
    node->setExpanded(true);
  });
  setUpdatesEnabled(true);
  if (currentItem() != nullptr) {
    scrollToItem(currentItem());
    // Deep folders would scroll the drives and the computer out of sight.
    horizontalScrollBar()->setValue(0);
  }
}

void TDirTreeView::AcceptSelection() {
  previousPath_ = IsDrivesName(currentPath_) ? currentPath_ : AddSlash(currentPath_);
  QTreeWidgetItem* node = currentItem();
  if (node == nullptr) return;
  currentPath_ = KindOf(node) == nkRoot ? kDrivesName : NodePath(node);
  if (NoDiskIn(node)) {
    if (IsDrivesName(previousPath_)) setCurrentItem(RootNode());
    else ExpandToPath(previousPath_);
    currentPath_ = previousPath_;
    return;
  }
  previousPath_ = currentPath_;
}

void TDirTreeView::CloseUp() {
  if (closing_) return;
  closing_ = true;
  if (isEnabled()) combo_->setFocus();
  setEnabled(false);
  hide();
  closing_ = false;
}

void TDirTreeView::hideEvent(QHideEvent* event) {
  // Qt closes a popup itself on a click outside it; that is a close without choosing.
  QTreeWidget::hideEvent(event);
  setEnabled(false);
}

void TDirTreeView::mousePressEvent(QMouseEvent* event) {
  if (!rect().contains(event->position().toPoint())) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  const QPoint viewportPos = viewport()->mapFrom(this, event->position().toPoint());
  QTreeWidgetItem* node = itemAt(viewportPos);
  const bool onLabel = node != nullptr && visualItemRect(node).contains(viewportPos) &&
                       viewportPos.x() >= visualItemRect(node).left();
  if (event->button() == Qt::LeftButton && onLabel) {
    setCurrentItem(node);
    combo_->NodeChosen(this);
    return;
  }
  // The expand buttons, the indent and empty space leave the tree open.
  QTreeWidget::mousePressEvent(event);
}

void TDirTreeView::mouseMoveEvent(QMouseEvent* event) {
  QTreeWidget::mouseMoveEvent(event);
  QTreeWidgetItem* node = itemAt(event->position().toPoint());
  if (node != nullptr && node != currentItem() && visualItemRect(node).contains(event->position().toPoint()))
    setCurrentItem(node);
}

void TDirTreeView::keyPressEvent(QKeyEvent* event) {
  combo_->HandleKey(event);
}

// ---------------------------------------------------------------- combo

TDirTreeCombo::TDirTreeCombo(QWidget* parent) : QWidget(parent) {
  edit_ = new QLineEdit(this);
  edit_->setReadOnly(true);
  edit_->setContextMenuPolicy(Qt::NoContextMenu);
  edit_->installEventFilter(this);
  button_ = new TDropButton(this);
  button_->setFixedSize(17, 17);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_);
  // The button sits over the edit's right end, as on the old platform.
  button_->raise();
  setFocusProxy(edit_);
  // Not a tab stop and not focused by a click: the keyboard stays in the list, where the
  // first Down walks the files instead of opening the tree over them. Opening the tree
  // gives it the focus.
  setFocusPolicy(Qt::NoFocus);
  edit_->setFocusPolicy(Qt::NoFocus);
  button_->setFocusPolicy(Qt::NoFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
  resize(216, 21);
  connect(button_, &QToolButton::clicked, this, [this] { DropDown(); });

  tree_ = new TDirTreeView(this);
  tree_->hide();
  watcher_ = new TChangeWatcher(this);
  connect(watcher_, &TChangeWatcher::Changed, this, &TDirTreeCombo::ChangeNotified);

  tree_->BuildRoot();
  tree_->SetExpandRoot(true);
  if (tree_->RootNode() != nullptr) tree_->RootNode()->setExpanded(true);
  SetLanguage(TLanguages::lnSysDefault);
  ShowSelectedNodeInEdit();
  tree_->SetCurrentPath(kDrivesName);
}

TDirTreeCombo::~TDirTreeCombo() {
  if (fileList_ != nullptr && fileList_->DirTreeCombo() == this) fileList_->SetDirTreeCombo(nullptr);
}

void TDirTreeCombo::ShowSelectedNodeInEdit() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (node == nullptr) node = tree_->RootNode();
  if (node == nullptr) return;
  edit_->setText(node->text(0));
  // The node's icon leads the edit's text.
  const QList<QAction*> actions = edit_->actions();
  for (QAction* action : actions) {
    edit_->removeAction(action);
    delete action;
  }
  if (!node->icon(0).isNull()) edit_->addAction(node->icon(0), QLineEdit::LeadingPosition);
  edit_->setCursorPosition(0);
}

QString TDirTreeCombo::EditText() const { return edit_->text(); }

QString TDirTreeCombo::RootCaption() const {
  return tree_->RootNode() != nullptr ? tree_->RootNode()->text(0) : QString();
}

void TDirTreeCombo::OpenPath(const QString& path) {
  // Folders differ by letter case here, so the repeat test is exact.
  if (path.isEmpty() || path == openedPath_) return;
  if (IsDrivesName(path) || !FolderExists(path)) return;
  const QString folder = AddSlash(path.startsWith(QLatin1Char('/')) ? path : QDir(path).absolutePath());
  openedPath_ = folder;
  ShowPath(folder);
  if (fileList_ != nullptr) fileList_->SetDirectory(folder);
}

void TDirTreeCombo::ShowPath(const QString& path) {
  // One character is no path, except the root of the whole tree; and a
  // relative path (such as the computer node's caption) names no node.
  if (path.isEmpty() || !path.startsWith(QLatin1Char('/')) || !FolderExists(path)) return;
  const QString folder = AddSlash(path);
  tree_->ExpandToPath(folder);
  watcher_->Watch(folder);
  ShowSelectedNodeInEdit();
  if (tree_->CurrentPath() != folder) tree_->SetCurrentPath(folder);
  emit OnPathChange(this, tree_->CurrentPath());
}

void TDirTreeCombo::ReloadTree() {
  tree_->setUpdatesEnabled(false);
  tree_->clearSelection();
  watcher_->Clear();
  tree_->BuildRoot();
  tree_->setUpdatesEnabled(true);
}

void TDirTreeCombo::DropDown() {
  setFocus();
  if (TreeIsOpen()) {
    tree_->lower();
    CloseUp();
    return;
  }
  const QPoint below = mapToGlobal(QPoint(0, height()));
  QRect screenRect(0, 0, 1 << 16, 1 << 16);
  if (QScreen* screen = this->screen()) screenRect = screen->geometry();
  QPoint place = below;
  if (below.y() + tree_->height() > screenRect.bottom() + 1) place = mapToGlobal(QPoint(0, 0)) - QPoint(0, tree_->height());
  tree_->setGeometry(QRect(place, QSize(width(), tree_->height())));
  tree_->setEnabled(true);
  tree_->show();
  tree_->raise();
  tree_->activateWindow();
  tree_->setFocus();
  edit_->setToolTip(QString());
}

void TDirTreeCombo::CloseUp() { tree_->CloseUp(); }

bool TDirTreeCombo::TreeIsOpen() const { return tree_->isVisible() && tree_->isEnabled(); }

void TDirTreeCombo::FocusTree() {
  if (tree_->isVisible()) tree_->setFocus();
}

int TDirTreeCombo::TreeHeight() const { return tree_->height(); }

void TDirTreeCombo::SetTreeHeight(int value) { tree_->resize(tree_->width(), std::max(value, 1)); }

TFileListView* TDirTreeCombo::FileList() const { return fileList_; }

void TDirTreeCombo::SetFileList(TFileListView* value) {
  if (!LinkList(this, fileList_, value, &TFileListView::DirTreeCombo, &TFileListView::SetDirTreeCombo)) return;
  if (!tree_->CurrentPath().isEmpty()) {
    value->SetDirectory(tree_->CurrentPath());
    value->UpdateFileList();
  }
}

QString TDirTreeCombo::SelectedPath() const { return tree_->CurrentPath(); }

void TDirTreeCombo::SetSelectedPath(const QString& value) {
  if (value != tree_->CurrentPath()) tree_->SetCurrentPath(value);
  if (fileList_ != nullptr) fileList_->SetDirectory(tree_->CurrentPath());
}

bool TDirTreeCombo::ExpandRoot() const { return tree_->ExpandRoot(); }

void TDirTreeCombo::SetExpandRoot(bool value) {
  tree_->SetExpandRoot(value);
  if (value && tree_->RootNode() != nullptr) tree_->RootNode()->setExpanded(true);
}

void TDirTreeCombo::SetHideSelection(bool value) { hideSelection_ = value; }

void TDirTreeCombo::SetLanguage(TLanguage value) {
  if (value == TLanguages::lnSysDefault) value = TLanguage(LanguageFromLocale());
  language_ = value;
  FillDirTreeTexts(value);
}

void TDirTreeCombo::SetGlyph(const QIcon& glyph) {
  if (glyph.isNull()) return;
  button_->setIcon(glyph);
}

QString TDirTreeCombo::HintText() const {
  if (tree_->currentItem() != nullptr) return QStringLiteral("SelectedPath =\n") + tree_->CurrentPath();
  return QStringLiteral("Selected = nil");
}

void TDirTreeCombo::NodeChosen(QObject* sender) {
  tree_->AcceptSelection();
  SetSelectedPath(tree_->CurrentPath());
  ShowSelectedNodeInEdit();
  emit OnPathChange(sender, tree_->CurrentPath());
  CloseUp();
}

void TDirTreeCombo::HandleKey(QKeyEvent* event) {
  const int key = event->key();
  QTreeWidgetItem* node = tree_->currentItem();
  const bool isArrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
  if (isArrow && node == nullptr && tree_->RootNode() != nullptr) {
    node = tree_->RootNode();
    tree_->setCurrentItem(node);
    node->setExpanded(true);
  }
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      NodeChosen(this);
      break;
    case Qt::Key_Escape:
      if (TreeIsOpen()) CloseUp();
      break;
    case Qt::Key_Right:
      if (node != nullptr) node->setExpanded(true);
      break;
    case Qt::Key_Left:
      if (node != nullptr) {
        if (node->isExpanded()) node->setExpanded(false);
        QTreeWidgetItem* previous = tree_->itemAbove(node);
        if (node != tree_->RootNode() && previous != nullptr && previous != tree_->RootNode()) tree_->setCurrentItem(previous);
      }
      break;
    case Qt::Key_Down:
      if (TreeIsOpen()) {
        if (node != nullptr && tree_->itemBelow(node) != nullptr) tree_->setCurrentItem(tree_->itemBelow(node));
      } else {
        DropDown();
      }
      break;
    case Qt::Key_Up:
      if (node != nullptr && node != tree_->RootNode() && tree_->itemAbove(node) != nullptr)
        tree_->setCurrentItem(tree_->itemAbove(node));
      break;
    case Qt::Key_F4:
      DropDown();
      FocusTree();
      break;
    case Qt::Key_F5: {
      const QString path = tree_->CurrentPath();
      ReloadTree();
      ShowPath(path);
      if (fileList_ != nullptr) fileList_->UpdateFileList();
      break;
    }
    default:
      break;
  }
  if (tree_->currentItem() != nullptr) {
    tree_->scrollToItem(tree_->currentItem());
    tree_->horizontalScrollBar()->setValue(0);
  }
}

void TDirTreeCombo::keyPressEvent(QKeyEvent* event) { HandleKey(event); }

void TDirTreeCombo::wheelEvent(QWheelEvent* event) {
  // The wheel walks the tree like Up and Down, so turning it over the closed combo opens it.
  QKeyEvent key(QEvent::KeyPress, event->angleDelta().y() > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
  HandleKey(&key);
  event->accept();
}

void TDirTreeCombo::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  edit_->setToolTip(tree_->isVisible() ? QString() : HintText());
}

void TDirTreeCombo::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  edit_->setToolTip(QString());
}

void TDirTreeCombo::focusOutEvent(QFocusEvent* event) {
  // The open tree is a popup: Qt closes it itself when the focus goes
  // elsewhere or a click lands outside it, so nothing more is needed here.
  QWidget::focusOutEvent(event);
}

void TDirTreeCombo::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  button_->setGeometry(width() - button_->width() - 4, std::max(0, (height() - 17) / 2), 17, std::min(17, std::max(1, height() - 4)));
  edit_->setTextMargins(0, 0, button_->width() + 2, 0);
}

bool TDirTreeCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_) {
    switch (event->type()) {
      case QEvent::KeyPress:
        HandleKey(static_cast<QKeyEvent*>(event));
        return true;
      case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) emit Click();
        // Right-button releases are swallowed: no context menu.
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
      case QEvent::Enter:
        edit_->setToolTip(tree_->isVisible() ? QString() : HintText());
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TDirTreeCombo::ChangeNotified() {
  if (rebuilding_) return;
  rebuilding_ = true;
  ++changeRebuilds_;
  const QString remembered = tree_->CurrentPath();
  setUpdatesEnabled(false);
  ReloadTree();
  if (tree_->RootNode() != nullptr && !tree_->RootNode()->isExpanded()) tree_->RootNode()->setExpanded(true);
  if (!remembered.isEmpty()) ShowPath(remembered);
  // The list watches its own folder and re-reads when that folder changes; folders made
  // in other folders (parents such as /tmp change all the time) leave it and its
  // selection alone. The drive view has no folder to watch: volumes come and go here.
  if (fileList_ != nullptr) {
    if (IsDrivesName(fileList_->Directory())) fileList_->UpdateFileList();
    else if (!remembered.isEmpty() && AddSlash(remembered) != fileList_->Directory()) fileList_->SetDirectory(remembered);
  }
  setUpdatesEnabled(true);
  rebuilding_ = false;
}

}  // namespace vumo
