#include "browser/dir_tree_combo.h"

#include "browser/file_list_view.h"

namespace vumo {

TDirTreeCombo::TDirTreeCombo(QWidget* parent) : QWidget(parent) {}
TDirTreeCombo::~TDirTreeCombo() = default;

void TDirTreeCombo::OpenPath(const QString& /*path*/) {}
int TDirTreeCombo::TreeHeight() const { return treeHeight_; }
void TDirTreeCombo::SetTreeHeight(int value) { treeHeight_ = value; }
TFileListView* TDirTreeCombo::FileList() const { return fileList_; }
void TDirTreeCombo::SetFileList(TFileListView* value) { fileList_ = value; }

}  // namespace vumo
