#include "browser/explorer_texts.h"

#include "browser/file_names.h"
#include "browser/linux_shell.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

namespace vumo {

TExplorerTexts ExplorerTexts;
int FileListLanguage = TLanguages::lnEnglish;
int DirTreeLanguage = TLanguages::lnEnglish;

namespace {

// The entries both sets hold.
void FillSharedTexts(TExplorerTexts& t) {
  t.FileWord = QStringLiteral(" file ");
  t.Cancel = QStringLiteral("Cancel");
  t.BadDrive = QStringLiteral("Not a valid Drive ID");
  t.NoDisk = QStringLiteral("There is no disk in Drive or Drive is not ready");
  t.NewFolder = QStringLiteral("New Folder");
  t.NothingSelected = QStringLiteral("No file(s) selected");
}

}  // namespace

// Only English texts exist so far; the other languages fall back to them.
void FillFileListTexts(int language) {
  FileListLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  FillSharedTexts(t);
  t.Browse = QStringLiteral("Browse");
  t.Cannot = QStringLiteral("ERROR - Can't ");
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
  t.Exists = QStringLiteral("already exists !");
  t.ReadOnlyItem = QStringLiteral("It's ReadOnly");
  t.SendTitle = QStringLiteral("Send to any folder");
  t.SendPrompt = QStringLiteral("Please enter the send_to path");
  t.ShortcutFailed = QStringLiteral("Error - PersistFile.Save failed");
}

void FillDirTreeTexts(int language) {
  DirTreeLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  FillSharedTexts(t);
  t.DriveWord = QStringLiteral("Drive ");
  t.FolderWord = QStringLiteral("Folder \"");
  t.ErrorPrefix = QStringLiteral("ERROR - ");
  t.From = QStringLiteral("From  : ");
  t.To = QStringLiteral("To     : ");
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
  t.BadFolderName = QStringLiteral("Error - Invalid Directory Name");
  t.RenameQuestion = QStringLiteral("Do you want to rename the selected folder");
  t.NoDrives = QStringLiteral("Can't add drives");
  t.InvalidCharacters = QStringLiteral("Folder Name contains invalid characters");
  t.NotFound = QStringLiteral("not found");
  t.OperationFailed = QStringLiteral("File operation failed");
  t.TreeSize = QStringLiteral("TREE SIZE");
  t.SubFolders = QStringLiteral("and all its Sub-Folders ");
}

QString TreeSizeText(const QString& subject, double bytes) {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  double kb = bytes / 1024.0;
  if (bytes > 0 && bytes < 1024) kb = 1;
  const QString shortText = kb > 99999 ? locale.toString(kb / 1024.0, 'f', 2) + QStringLiteral(" MB")
                                       : locale.toString(kb, 'f', 2) + QStringLiteral(" KB");
  return QStringLiteral("===== ") + ExplorerTexts.TreeSize + QStringLiteral(" =====\n\n") + subject + QLatin1Char('\n') +
         ExplorerTexts.SubFolders + QStringLiteral("\n =  ") + locale.toString(bytes, 'f', 0) + QStringLiteral(" Bytes") +
         QStringLiteral("\n     (i.e. ") + shortText + QStringLiteral(" )");
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
      return locale.script() == QLocale::SimplifiedHanScript ? TLanguages::lnChinese_Sim : TLanguages::lnChinese_Tra;
    case QLocale::German: return TLanguages::lnGerman;
    case QLocale::Spanish: return TLanguages::lnSpanish;
    case QLocale::French: return TLanguages::lnFrench;
    case QLocale::Italian: return TLanguages::lnItalian;
    case QLocale::Dutch: return TLanguages::lnDutch;
    case QLocale::Polish: return TLanguages::lnPolish;
    case QLocale::Portuguese: return TLanguages::lnPortuguese;
    case QLocale::Slovak: return TLanguages::lnSlovak;
    default: return TLanguages::lnEnglish;
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
