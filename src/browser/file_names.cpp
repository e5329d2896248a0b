#include "browser/file_names.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

namespace {

// Length of the well-formed UTF-8 sequence at data[i], or 0 when it is not one.
int Utf8SequenceLength(const unsigned char* data, qsizetype size, qsizetype i) {
  const unsigned char lead = data[i];
  if (lead < 0x80) return 1;
  int length = 0;
  char32_t min = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) { length = 2; min = 0x80; cp = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; min = 0x800; cp = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; min = 0x10000; cp = lead & 0x07; }
  else return 0;
  if (i + length > size) return 0;
  for (int k = 1; k < length; ++k) {
    const unsigned char c = data[i + k];
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// QString and QByteArray share these: both have endsWith, lastIndexOf, left and mid.
template <typename Path>
Path WithoutTrailingSlashes(const Path& path) {
  Path trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith('/')) trimmed.chop(1);
  return trimmed;
}

template <typename Path>
Path FolderOf(const Path& path) {
  const Path trimmed = WithoutTrailingSlashes(path);
  return trimmed.left(trimmed.lastIndexOf('/') + 1);
}

template <typename Path>
Path NameOf(const Path& path) {
  const Path trimmed = WithoutTrailingSlashes(path);
  return trimmed.mid(trimmed.lastIndexOf('/') + 1);
}

template <typename Path>
Path Join(const Path& folder, const Path& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

}  // namespace

QString DecodeFileName(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype size = bytes.size();
  // Fast path: almost every name is valid UTF-8.
  bool valid = true;
  for (qsizetype i = 0; i < size;) {
    const int length = Utf8SequenceLength(data, size, i);
    if (length == 0) { valid = false; break; }
    i += length;
  }
  if (valid) return QString::fromUtf8(bytes);
  QString result;
  result.reserve(size);
  for (qsizetype i = 0; i < size;) {
    const int length = Utf8SequenceLength(data, size, i);
    if (length == 0) {
      result.append(QChar(char16_t(0xDC00 + data[i])));
      ++i;
    } else {
      result.append(QString::fromUtf8(bytes.constData() + i, length));
      i += length;
    }
  }
  return result;
}

QByteArray EncodeFileName(const QString& name) {
  bool escaped = false;
  for (QChar c : name) {
    const char16_t u = c.unicode();
    if (u >= 0xDC80 && u <= 0xDCFF) { escaped = true; break; }
  }
  if (!escaped) return name.toUtf8();
  QByteArray result;
  result.reserve(name.size() * 3);
  qsizetype runStart = 0;
  for (qsizetype i = 0; i <= name.size(); ++i) {
    const bool atEnd = i == name.size();
    const char16_t u = atEnd ? 0 : name.at(i).unicode();
    // A lone low surrogate in 0xDC80..0xDCFF is an escaped byte; a low
    // surrogate that completes a pair is part of a real character.
    const bool isEscape = !atEnd && u >= 0xDC80 && u <= 0xDCFF &&
                          !(i > 0 && name.at(i - 1).isHighSurrogate());
    if (atEnd || isEscape) {
      result.append(QStringView(name).mid(runStart, i - runStart).toUtf8());
      if (isEscape) result.append(char(u - 0xDC00));
      runStart = i + 1;
    }
  }
  return result;
}

QString AddSlash(const QString& path) {
  if (path.endsWith(QLatin1Char('/'))) return path;
  return path + QLatin1Char('/');
}

QString RemoveSlash(const QString& path) {
  if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) return path.left(path.size() - 1);
  return path;
}

bool IsDrivesName(const QString& value) {
  return value.compare(kDrivesName, Qt::CaseInsensitive) == 0;
}

bool FolderExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

QString ParentOfPath(const QString& path) { return FolderOf(path); }
QByteArray ParentOfPath(const QByteArray& path) { return FolderOf(path); }
QString NameOfPath(const QString& path) { return NameOf(path); }
QByteArray NameOfPath(const QByteArray& path) { return NameOf(path); }
QString JoinPath(const QString& folder, const QString& name) { return Join(folder, name); }
QByteArray JoinPath(const QByteArray& folder, const QByteArray& name) { return Join(folder, name); }

bool ForEachEntry(const QByteArray& folder, const std::function<bool(const TFolderEntry&)>& visit,
                  TParentEntry parent) {
  const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return false;
  DIR* dir = ::fdopendir(folderFd);
  if (dir == nullptr) {
    const int error = errno;
    ::close(folderFd);
    errno = error;
    return false;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && name[1] == '\0') continue;
    if (parent == TParentEntry::Skip && name[0] == '.' && name[1] == '.' && name[2] == '\0') continue;
    if (!visit(TFolderEntry{name, entry->d_type, folderFd})) break;
  }
  ::closedir(dir);
  return true;
}

bool EntryNames(const QByteArray& folder, std::vector<QByteArray>* names) {
  return ForEachEntry(folder, [names](const TFolderEntry& entry) {
    names->emplace_back(entry.name);
    return true;
  });
}

bool IsFolderEntry(const TFolderEntry& entry) {
  if (entry.type == DT_DIR) return true;
  if (entry.type != DT_LNK && entry.type != DT_UNKNOWN) return false;
  struct stat st {};
  return ::fstatat(entry.folderFd, entry.name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vumo
