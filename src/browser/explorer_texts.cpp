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

enum : unsigned { kListSet = 1, kTreeSet = 2, kBothSets = kListSet | kTreeSet };

// The English entries, each with the sets that hold it.
struct TEntry {
  QString TExplorerTexts::*member;
  const char* text;
  unsigned sets;
};

const TEntry kEnglish[] = {
    {&TExplorerTexts::DriveWord, "Drive ", kTreeSet},
    {&TExplorerTexts::FolderWord, "Folder \"", kTreeSet},
    {&TExplorerTexts::ErrorPrefix, "ERROR - ", kTreeSet},
    {&TExplorerTexts::FileWord, " file ", kBothSets},
    {&TExplorerTexts::From, "From  : ", kTreeSet},
    {&TExplorerTexts::To, "To     : ", kTreeSet},
    {&TExplorerTexts::Cancel, "Cancel", kBothSets},
    {&TExplorerTexts::Browse, "Browse", kListSet},
    {&TExplorerTexts::Cannot, "ERROR - Can't ", kListSet},
    {&TExplorerTexts::BadDrive, "Not a valid Drive ID", kBothSets},
    {&TExplorerTexts::NoDisk, "There is no disk in Drive or Drive is not ready", kBothSets},
    {&TExplorerTexts::Exists, "already exists !", kListSet},
    {&TExplorerTexts::BadFolderName, "Error - Invalid Directory Name", kTreeSet},
    {&TExplorerTexts::RenameQuestion, "Do you want to rename the selected folder", kTreeSet},
    {&TExplorerTexts::NoDrives, "Can't add drives", kTreeSet},
    {&TExplorerTexts::NewFolder, "New Folder", kBothSets},
    {&TExplorerTexts::InvalidCharacters, "Folder Name contains invalid characters", kTreeSet},
    {&TExplorerTexts::NotFound, "not found", kTreeSet},
    {&TExplorerTexts::OperationFailed, "File operation failed", kTreeSet},
    {&TExplorerTexts::ReadOnlyItem, "It's ReadOnly", kListSet},
    {&TExplorerTexts::NothingSelected, "No file(s) selected", kBothSets},
    {&TExplorerTexts::SendTitle, "Send to any folder", kListSet},
    {&TExplorerTexts::SendPrompt, "Please enter the send_to path", kListSet},
    {&TExplorerTexts::ShortcutFailed, "Error - PersistFile.Save failed", kListSet},
    {&TExplorerTexts::TreeSize, "TREE SIZE", kTreeSet},
    {&TExplorerTexts::SubFolders, "and all its Sub-Folders ", kTreeSet},
};

void FillSet(unsigned set) {
  for (const TEntry& entry : kEnglish)
    if ((entry.sets & set) != 0) ExplorerTexts.*entry.member = QString::fromLatin1(entry.text);
}

}  // namespace

// Only English texts exist so far; the other languages fall back to them.
void FillFileListTexts(int language) {
  FileListLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  FillSet(kListSet);
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
}

void FillDirTreeTexts(int language) {
  DirTreeLanguage = language;
  TExplorerTexts& t = ExplorerTexts;
  FillSet(kTreeSet);
  t.SpecifyDirectory = QStringLiteral("Please specify a directory");
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
