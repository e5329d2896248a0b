#pragma once

#include <QObject>
#include <QString>

namespace vumo {

// The languages of the browser's controls. A gadget, so that the controls' Language
// properties keep their key names ("lnEnglish") in the settings.
class TLanguages {
  Q_GADGET
 public:
  enum TLanguage {
    lnSysDefault, lnEnglish, lnChinese_Tra, lnChinese_Sim, lnDutch, lnFrench,
    lnGerman, lnItalian, lnPolish, lnPortuguese, lnSlovak, lnSpanish
  };
  Q_ENUM(TLanguage)
};
using TLanguage = TLanguages::TLanguage;

// The message texts the browser's controls share, in the chosen language.
struct TExplorerTexts {
  QString DriveWord;
  QString FolderWord;
  QString ErrorPrefix;
  QString FileWord;
  QString From;
  QString To;
  QString Cancel;
  QString Browse;
  QString Cannot;
  QString SpecifyDirectory;
  QString BadDrive;
  QString NoDisk;
  QString Exists;
  QString BadFolderName;
  QString RenameQuestion;
  QString NoDrives;
  QString NewFolder;
  QString InvalidCharacters;
  QString NotFound;
  QString OperationFailed;
  QString ReadOnlyItem;
  QString NothingSelected;
  QString SendTitle;
  QString SendPrompt;
  QString ShortcutFailed;
  QString TreeSize;
  QString SubFolders;
};

// One table for all the browser controls; whichever control set its language
// last decides the entries they share.
extern TExplorerTexts ExplorerTexts;
// The language last chosen by the file list, and by the drop-down or the tree
// (values of TLanguage).
extern int FileListLanguage;
extern int DirTreeLanguage;

// Entries the file list uses, and those the drop-down and the tree use.
void FillFileListTexts(int language);
void FillDirTreeTexts(int language);

// The text of the tree-size box for a total of bytes and a subject.
QString TreeSizeText(const QString& subject, double bytes);

// Captions of the two column sets and the drive type texts.
QString FileColumnCaption(int column);
QString DriveColumnCaption(int column);
QString DriveTypeText(int driveType);

// The language the desktop asks for, mapped onto the browser's languages.
int LanguageFromLocale();

// Is the volume at this root mounted and readable? With messages, a failure
// beeps and says so in a warning box.
bool DiskInDrive(const QString& root, bool withMessages);

}  // namespace vumo
