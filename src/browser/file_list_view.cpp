#include "browser/file_list_view.h"

#include "browser/dir_tree_combo.h"

namespace vumo {

TFileListView::TFileListView(QWidget* parent) : QTreeView(parent) {}
TFileListView::~TFileListView() = default;

QString TFileListView::Directory() const { return directory_; }
void TFileListView::SetDirectory(const QString& value) { directory_ = value; }
QString TFileListView::Mask() const { return mask_; }
void TFileListView::SetMask(const QString& value) { mask_ = value; }
bool TFileListView::ShowFolders() const { return showFolders_; }
void TFileListView::SetShowFolders(bool value) { showFolders_ = value; }
void TFileListView::UpdateFileList() {}
QString TFileListView::SelectedItem() const { return selectedItem_; }
TDirTreeCombo* TFileListView::DirTreeCombo() const { return dirTreeCombo_; }
void TFileListView::SetDirTreeCombo(TDirTreeCombo* value) { dirTreeCombo_ = value; }

}  // namespace vumo
