#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace vumo {

// Linux file names are bytes. Qt 6.4's QFile::decodeName turns bytes that are
// not UTF-8 into U+FFFD, and QFile::encodeName cannot give them back, so a
// file with such a name could be listed but never opened. These two keep every
// byte: valid UTF-8 decodes as usual, each stray byte b becomes the lone
// surrogate U+DC00+b (the scheme Python calls "surrogateescape"), and encoding
// turns those surrogates back into their bytes.
QString DecodeFileName(const QByteArray& bytes);
QByteArray EncodeFileName(const QString& name);

// A trailing "/" on a folder path (the browser's paths always carry one).
QString AddSlash(const QString& path);
QString RemoveSlash(const QString& path);

// The pseudo-folder of the volume list, recognised in any letter case.
inline const QString kDrivesName = QStringLiteral("Drives");
bool IsDrivesName(const QString& value);

// True when the path names an existing folder (following links).
bool FolderExists(const QString& path);
bool FileExists(const QString& path);

// The parts of a path, alike for QString paths and for the byte paths handed
// to the kernel. Trailing slashes belong to no name, so "/a/b/" is in "/a/".
// The folder holding the entry, with its slash ("/a/b" -> "/a/", "/b" -> "/");
// empty for a bare name.
QString ParentOfPath(const QString& path);
QByteArray ParentOfPath(const QByteArray& path);
// The last name ("/a/b/" -> "b"; "/" -> "").
QString NameOfPath(const QString& path);
QByteArray NameOfPath(const QByteArray& path);
// The folder (with or without its slash) and a name in it.
QString JoinPath(const QString& folder, const QString& name);
QByteArray JoinPath(const QByteArray& folder, const QByteArray& name);

// One entry of an open folder: never "." and, unless asked for, never "..".
struct TFolderEntry {
  const char* name;
  unsigned char type;  // d_type: DT_DIR, DT_LNK, DT_UNKNOWN (file systems that do not say), ...
  int folderFd;        // the open folder, for the *at calls
};
enum class TParentEntry { Skip, Keep };

// Hands every entry of the folder to `visit` until it returns false; the
// folder is closed on every way out. False, with errno set, when the folder
// cannot be opened.
bool ForEachEntry(const QByteArray& folder, const std::function<bool(const TFolderEntry&)>& visit,
                  TParentEntry parent = TParentEntry::Skip);
// The entries' names, the folder closed before they are used: for walks that
// change the folder or go deep (one descriptor open, not one per level).
bool EntryNames(const QByteArray& folder, std::vector<QByteArray>* names);
// The entry is a folder or a link to one.
bool IsFolderEntry(const TFolderEntry& entry);

}  // namespace vumo
