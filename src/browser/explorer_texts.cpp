#include "browser/explorer_texts.h"

#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

namespace vumo {

TExplorerTexts ExplorerTexts;
int FileListLanguage = TFileListView::lnEnglish;
int DirTreeLanguage = TFileListView::lnEnglish;

// Only English texts exist so far; the other languages fall back to them.
void FillFileListTexts(int language) {
  FileListLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  t.FileWord = QStringLiteral(" file ");
  t.Cancel = QStringLiteral("Cancel");
  t.Browse = QStringLiteral("Browse");
  t.Cannot = QStringLiteral("ERROR - Can't ");
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
  t.BadDrive = QStringLiteral("Not a valid Drive ID");
  t.NoDisk = QStringLiteral("There is no disk in Drive or Drive is not ready");
  t.Exists = QStringLiteral("already exists !");
  t.NewFolder = QStringLiteral("New Folder");
  t.ReadOnlyItem = QStringLiteral("It's ReadOnly");
  t.NothingSelected = QStringLiteral("No file(s) selected");
  t.SendTitle = QStringLiteral("Send to any folder");
  t.SendPrompt = QStringLiteral("Please enter the send_to path");
  t.ShortcutFailed = QStringLiteral("Error - PersistFile.Save failed");
}

void FillDirTreeTexts(int language) {
  DirTreeLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  t.DriveWord = QStringLiteral("Drive ");
  t.FolderWord = QStringLiteral("Folder \"");
  t.ErrorPrefix = QStringLiteral("ERROR - ");
  t.FileWord = QStringLiteral(" file ");
  t.From = QStringLiteral("From  : ");
  t.To = QStringLiteral("To     : ");
  t.Cancel = QStringLiteral("Cancel");
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
  t.BadDrive = QStringLiteral("Not a valid Drive ID");
  t.NoDisk = QStringLiteral("There is no disk in Drive or Drive is not ready");
  t.BadFolderName = QStringLiteral("Error - Invalid Directory Name");
  t.RenameQuestion = QStringLiteral("Do you want to rename the selected folder");
  t.NoDrives = QStringLiteral("Can't add drives");
  t.NewFolder = QStringLiteral("New Folder");
  t.InvalidCharacters = QStringLiteral("Folder Name contains invalid characters");
  t.NotFound = QStringLiteral("not found");
  t.OperationFailed = QStringLiteral("File operation failed");
  t.NothingSelected = QStringLiteral("No file(s) selected");
  t.TreeSize = QStringLiteral("TREE SIZE");
  t.SubFolders = QStringLiteral("and all its Sub-Folders ");
}

QString FileColumnCaption(int column) {
  static const char* const kCaptions[] = {"Name", "Size", "Type", "Modified", "Attr"};
  return column >= 0 && column < 5 ? QString::fromLatin1(kCaptions[column]) : QString();
}

QString DriveColumnCaption(int column) {
  static const char* const kCaptions[] = {"Name", "Type", "Disk Size", "Free Space", "Attr"};
  return column >= 0 && column < 5 ? QString::fromLatin1(kCaptions[column]) : QString();
}

QString DriveTypeText(int driveType) {
  static const char* const kTexts[] = {"Unknown",     "Not exist", "Removable Disk", "Fixed Disk",
                                       "Network Disk", "CD-ROM Disk", "RAM Disk"};
  return driveType >= 0 && driveType < 7 ? QString::fromLatin1(kTexts[driveType]) : QString::fromLatin1(kTexts[0]);
}

int LanguageFromLocale() {
  const QLocale locale = QLocale::system();
  switch (locale.language()) {
    case QLocale::Chinese:
      return locale.script() == QLocale::SimplifiedHanScript ? TFileListView::lnChinese_Sim : TFileListView::lnChinese_Tra;
    case QLocale::German: return TFileListView::lnGerman;
    case QLocale::Spanish: return TFileListView::lnSpanish;
    case QLocale::French: return TFileListView::lnFrench;
    case QLocale::Italian: return TFileListView::lnItalian;
    case QLocale::Dutch: return TFileListView::lnDutch;
    case QLocale::Polish: return TFileListView::lnPolish;
    case QLocale::Portuguese: return TFileListView::lnPortuguese;
    case QLocale::Slovak: return TFileListView::lnSlovak;
    default: return TFileListView::lnEnglish;
  }
}

bool DiskInDrive(const QString& root, bool withMessages) {
  if (!root.startsWith(QLatin1Char('/'))) {
    if (withMessages) QMessageBox::critical(nullptr, QString(), ExplorerTexts.BadDrive);
    // The check goes on, and a relative path is never a ready volume.
  }
  if (root.startsWith(QLatin1Char('/')) && VolumeReady(root)) return true;
  if (withMessages) {
    QApplication::beep();
    QMessageBox::warning(nullptr, QString(), ExplorerTexts.NoDisk);
  }
  return false;
}

}  // namespace vumo
