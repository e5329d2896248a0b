#include "browser/file_list_popup.h"

#include "browser/file_clipboard.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/shell_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>

namespace vumo {

namespace {
// The view table, with the Linux viewer group of each extension.
struct TViewEntry {
  const char* extension;
  const char* mimeType;
};
const TViewEntry kViewTable[] = {
    {".C", "text/plain"},       {".CPP", "text/plain"},      {".DPK", "text/plain"},      {".DPR", "text/plain"},
    {".H", "text/plain"},       {".INF", "text/plain"},      {".INI", "text/plain"},      {".PAS", "text/plain"},
    {".PRG", "text/plain"},     {".TXT", "text/plain"},      {".DOC", "application/rtf"}, {".RTF", "application/rtf"},
    {".WRI", "application/rtf"}, {".BMP", "image/bmp"},       {".GIF", "image/bmp"},       {".JPG", "image/bmp"},
};

TFileListPopup::TCompareHandler gCompareHandler = nullptr;
}  // namespace

void TFileListPopup::SetCompareHandler(TCompareHandler handler) { gCompareHandler = handler; }

TFileListPopup::TFileListPopup(TFileListView* list) : QMenu(list), list_(list) {
  setObjectName(QStringLiteral("FileListPopup"));
  AddItem(this, QStringLiteral("&Open"), QStringLiteral("ItemOpen"), tagOpen, QStringLiteral("document-open"));
  AddItem(this, QStringLiteral("&View"), QStringLiteral("ItemView"), tagView, QStringLiteral("document-preview"));
  if (gCompareHandler)
    AddItem(this, QStringLiteral("Co&mpare with Shown Picture"), QStringLiteral("ItemCompare"), tagCompare,
            QStringLiteral("view-split-left-right"));
  addSeparator();
  sendTo_ = new QMenu(QStringLiteral("Se&nd To"), this);
  sendTo_->setObjectName(QStringLiteral("SubMenuSend"));
  sendTo_->setIcon(QIcon::fromTheme(QStringLiteral("document-send")));
  QAction* sub = addMenu(sendTo_);
  sub->setObjectName(QStringLiteral("SubMenuSend"));
  sub->setProperty("Tag", int(tagSendTo));
  AddItem(sendTo_, QStringLiteral("Any Folder ..."), QStringLiteral("Send_To0"), tagAnyFolder, QStringLiteral("folder"));
  AddItem(sendTo_, QStringLiteral("Clipboard as Contents"), QStringLiteral("Send_To1"), tagClipContents, QStringLiteral("edit-paste"));
  AddItem(sendTo_, QStringLiteral("Clipboard as FileName"), QStringLiteral("Send_To2"), tagClipFileName, QStringLiteral("edit-paste"));
  AddItem(sendTo_, QStringLiteral("DeskTop as ShortCut"), QStringLiteral("Send_To3"), tagDesktop, QStringLiteral("user-desktop"));
  CollectShortcuts();
  addSeparator();
  AddItem(this, QStringLiteral("Cu&t"), QStringLiteral("ItemOpCut"), tagCut, QStringLiteral("edit-cut"));
  AddItem(this, QStringLiteral("&Copy"), QStringLiteral("ItemOpCopy"), tagCopy, QStringLiteral("edit-copy"));
  AddItem(this, QStringLiteral("&Paste"), QStringLiteral("ItemOpPaste"), tagPaste, QStringLiteral("edit-paste"));
  addSeparator();
  AddItem(this, QStringLiteral("&Rename"), QStringLiteral("ItemRename"), tagRename, QStringLiteral("edit-rename"));
  AddItem(this, QStringLiteral("&Delete"), QStringLiteral("ItemDelete"), tagDelete, QStringLiteral("edit-delete"));
  addSeparator();
  AddItem(this, QStringLiteral("&Properties"), QStringLiteral("ItemProperty"), tagProperties, QStringLiteral("document-properties"));
  addSeparator();
  AddItem(this, QStringLiteral("&New Folder..."), QStringLiteral("ItemFolder"), tagNewFolder, QStringLiteral("folder-new"));
}

QAction* TFileListPopup::AddItem(QMenu* menu, const QString& caption, const QString& name, int tag, const QString& icon) {
  QAction* action = menu->addAction(QIcon::fromTheme(icon), caption);
  action->setObjectName(name);
  action->setProperty("Tag", tag);
  connect(action, &QAction::triggered, this, [this, action] { Dispatch(action); });
  return action;
}

void TFileListPopup::CollectShortcuts() {
  // Desktop entries and symbolic links of the Send To folder, in name order.
  const QString folder = SendToFolder();
  QDir dir(QFile::decodeName(EncodeFileName(folder)));
  if (!dir.exists()) return;
  const QByteArray bytes = EncodeFileName(folder);
  QStringList names;
  ForEachEntry(bytes, [&](const TFolderEntry& entry) {
    const QByteArray name(entry.name);
    struct stat st {};
    const QByteArray path = bytes + name;
    if (::lstat(path.constData(), &st) != 0) return true;
    if (S_ISLNK(st.st_mode) || name.toLower().endsWith(".desktop")) names << DecodeFileName(name);
    return true;
  });
  std::sort(names.begin(), names.end());
  int position = 4;
  for (const QString& name : names) {
    const QString path = folder + name;
    QString caption = name;
    QIcon icon = QIcon::fromTheme(QStringLiteral("folder"));
    TDesktopEntry entry;
    if (name.toLower().endsWith(QLatin1String(".desktop"))) {
      if (!ReadDesktopEntry(path, &entry)) continue;
      if (!entry.name.isEmpty()) caption = entry.name;
      else caption.chop(8);
      if (!entry.icon.isEmpty()) icon = QIcon::fromTheme(entry.icon, icon);
    }
    QAction* action = sendTo_->addAction(icon, caption);
    action->setObjectName(QStringLiteral("Send_To") + QString::number(position));
    action->setProperty("Tag", int(tagFirstShortcut + position - 4));
    connect(action, &QAction::triggered, this, [this, action] { Dispatch(action); });
    shortcuts_ << path;
    ++position;
  }
}

QAction* TFileListPopup::Item(const QString& name) const {
  for (const QMenu* menu : {static_cast<const QMenu*>(this), static_cast<const QMenu*>(sendTo_)})
    for (QAction* action : menu->actions())
      if (action->objectName() == name) return action;
  return nullptr;
}

QString TFileListPopup::ViewerType(const QString& upperExtension) {
  for (const TViewEntry& entry : kViewTable)
    if (upperExtension == QLatin1String(entry.extension)) return QString::fromLatin1(entry.mimeType);
  return {};
}

bool TFileListPopup::ClipboardContentsAllowed(const QString& upperExtension) {
  for (int i = 0; i < 14; ++i)
    if (upperExtension == QLatin1String(kViewTable[i].extension)) return true;
  return upperExtension == QLatin1String(".RTF") || upperExtension == QLatin1String(".WMF");
}

void TFileListPopup::UpdateItems() {
  const bool selected = list_->SelectedIndex() >= 0;
  const int count = selected ? list_->SelectedNumber() : 0;
  const QString extension = list_->SelectedExtension();
  Item(QStringLiteral("ItemOpen"))->setEnabled(selected);
  Item(QStringLiteral("ItemView"))->setEnabled(selected && !ViewerType(extension).isEmpty());
  if (QAction* compare = Item(QStringLiteral("ItemCompare"))) compare->setEnabled(selected && count == 1);
  Item(QStringLiteral("SubMenuSend"))->setEnabled(selected);
  Item(QStringLiteral("ItemOpCut"))->setEnabled(selected);
  Item(QStringLiteral("ItemOpCopy"))->setEnabled(selected);
  Item(QStringLiteral("ItemOpPaste"))->setEnabled(!list_->ClipboardFiles().isEmpty() ||
                                                  HasFiles(QApplication::clipboard()->mimeData()));
  Item(QStringLiteral("ItemRename"))->setEnabled(selected && count == 1);
  Item(QStringLiteral("ItemDelete"))->setEnabled(selected);
  Item(QStringLiteral("ItemProperty"))->setEnabled(selected);
  Item(QStringLiteral("ItemFolder"))->setEnabled(!IsDrivesName(list_->Directory()));
  Item(QStringLiteral("Send_To0"))->setEnabled(selected);
  Item(QStringLiteral("Send_To1"))->setEnabled(selected && count == 1 && ClipboardContentsAllowed(extension));
  Item(QStringLiteral("Send_To2"))->setEnabled(selected);
  Item(QStringLiteral("Send_To3"))->setEnabled(selected);
}

void TFileListPopup::Dispatch(QAction* action) {
  if (action == nullptr) return;
  const QString name = action->objectName();
  const int tag = action->property("Tag").toInt();
  if (name.startsWith(QLatin1String("Send_To"))) {
    const int position = name.mid(7).toInt();
    switch (position) {
      case 0: list_->CmdSendToAnyFolder(); return;
      case 1: list_->CmdClipboardAsContents(); return;
      case 2: list_->CmdClipboardAsFileName(); return;
      case 3: list_->CmdDesktopShortcut(); return;
      default:
        if (position - 4 < shortcuts_.size()) list_->CmdSendToShortcut(shortcuts_[position - 4]);
        return;
    }
  }
  switch (tag) {
    case tagOpen: list_->OpenItem(); break;
    case tagView: list_->CmdView(); break;
    case tagCompare:
      if (const int row = list_->SelectedIndex(); gCompareHandler && row >= 0)
        gCompareHandler(list_, list_->Items()[std::size_t(row)].SubItems[kSubPath]);
      break;
    case tagCut: list_->CmdCut(); break;
    case tagCopy: list_->CmdCopy(); break;
    case tagPaste: list_->CmdPaste(); break;
    case tagRename: list_->CmdRename(); break;
    case tagDelete: list_->CmdDelete(); break;
    case tagProperties: list_->CmdProperties(); break;
    case tagNewFolder: list_->CmdNewFolder(); break;
    default: break;
  }
}

}  // namespace vumo
