// The profile (INI) file: values read and written by section and key, with the quirks of the
// classic private-profile functions, kept in a line model so that whatever we do not touch
// (other sections, comments, blank lines, odd lines) is written back byte for byte.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

#include <sys/types.h>

#include "pixels/errors.h"

namespace vumo {

inline constexpr const char* SWriteError = "Unable to write to %s";
inline constexpr const char* SSetAside = "The settings file %s could not be read. It was kept as %s, and the settings are saved afresh.";

// Raised when the profile file cannot be written.
class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

namespace settings {

// The profile functions hand back at most this many characters (a 2048-byte buffer).
inline constexpr int kMaxProfileValue = 2047;
// A settings file is a few kilobytes; anything far larger is not ours and is never rewritten.
inline constexpr qint64 kMaxProfileFileSize = 1024 * 1024;

class ProfileFile {
 public:
  // Loads the file at once; a missing file is an empty profile.
  explicit ProfileFile(const QString& fileName);

  // Where a profile name lands: a bare name goes to $XDG_CONFIG_HOME/Vumo/ (default
  // ~/.config/Vumo/), an absolute path stays, a relative path with a folder is taken from
  // the current directory.
  static QString ResolvePath(const QString& fileName);

  const QString& FileName() const { return fileName_; }
  const QString& Path() const { return path_; }

  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
  bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
  bool SectionExists(const QString& section) const;

  // Changes are kept in memory until UpdateFile().
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteBool(const QString& section, const QString& key, bool value);
  void EraseSection(const QString& section);

  bool Modified() const { return modified_; }
  // Writes the whole file atomically (temp file beside it, fsync, rename); on any failure
  // the previous file stays as it was and EIniFileException("Unable to write to %s") is raised.
  // A file that could not be read is first renamed to NAME.bad (NAME.bad.2, ... when taken),
  // so the new settings can be saved and nothing of the old file is lost.
  void UpdateFile();
  // Where the unreadable file went at the last UpdateFile, or empty.
  const QString& SetAsidePath() const { return setAsidePath_; }

  // The text the file would hold now (what UpdateFile writes).
  QByteArray Contents() const;

  // Tests replace the low-level write to simulate a full disk.
  using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
  static void SetWriteFunction(WriteFunction function);

 private:
  struct Line {
    QByteArray raw;       // as in the file, without the line break
    enum Kind { kOther, kSection, kKey } kind = kOther;
    QString name;         // section or key name, trimmed
  };

  int FindSection(const QString& section) const;            // index of its header line or -1
  int SectionEnd(int header) const;                          // first line after the section
  int FindKey(int header, const QString& key) const;         // index of its line or -1
  static Line ParseLine(const QByteArray& raw);
  [[noreturn]] void Fail() const;
  bool SetAside();

  QString fileName_;
  QString path_;
  std::vector<Line> lines_;
  QByteArray newline_ = "\n";
  bool endsWithNewline_ = true;
  bool loadable_ = true;  // false: the file exists but could not be read, so never overwrite it
  bool modified_ = false;
  QString setAsidePath_;
};

// Trims what the classic Trim trims: every character up to and including the blank.
QString TrimBlanks(const QString& text);
// The classic lenient integer parse: optional sign, decimal or hexadecimal with "0x"/"$";
// anything else, or a value outside 32 bits, gives the default.
int StrToIntDef(const QString& text, int defaultValue);
qint64 StrToInt64Def(const QString& text, qint64 defaultValue);

}  // namespace settings
}  // namespace vumo
