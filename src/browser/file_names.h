#pragma once

#include <QByteArray>
#include <QString>

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

}  // namespace vumo
