#include "browser/file_operations.h"

#include "browser/file_names.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace vumo {

namespace {

using Bytes = QByteArray;

TFileOperations::TWriteFunction& WriteFunction() {
  static TFileOperations::TWriteFunction write = [](int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
  };
  return write;
}

int DefaultRename(const char* from, const char* to, bool noReplace) {
  if (!noReplace) return ::rename(from, to);
  const int result = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (result == 0 || (errno != EINVAL && errno != ENOSYS)) return result;
  // A file system without the flag: check, then rename (a narrow race only).
  struct stat st {};
  if (::lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from, to);
}

TFileOperations::TRenameFunction& RenameFunction() {
  static TFileOperations::TRenameFunction rename = DefaultRename;
  return rename;
}

Bytes Enc(const QString& path) { return EncodeFileName(path); }
QString Dec(const Bytes& path) { return DecodeFileName(path); }

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

Bytes Join(const Bytes& folder, const Bytes& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

Bytes BaseName(const Bytes& path) {
  Bytes trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith('/')) trimmed.chop(1);
  const qsizetype slash = trimmed.lastIndexOf('/');
  return slash < 0 ? trimmed : trimmed.mid(slash + 1);
}

Bytes FolderOf(const Bytes& path) {
  Bytes trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith('/')) trimmed.chop(1);
  const qsizetype slash = trimmed.lastIndexOf('/');
  if (slash < 0) return Bytes(".");
  if (slash == 0) return Bytes("/");
  return trimmed.left(slash);
}

Bytes RealPath(const Bytes& path) {
  char* real = ::realpath(path.constData(), nullptr);
  if (real == nullptr) return {};
  Bytes result(real);
  ::free(real);
  return result;
}

bool Lstat(const Bytes& path, struct stat* st) { return ::lstat(path.constData(), st) == 0; }

// Removes an entry and, for a real folder, everything in it; links are removed, never followed.
bool RemoveTree(const Bytes& path, int* error) {
  struct stat st {};
  if (!Lstat(path, &st)) {
    if (errno == ENOENT) return true;
    *error = errno;
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    if (::unlink(path.constData()) == 0) return true;
    *error = errno;
    return false;
  }
  DIR* dir = ::opendir(path.constData());
  if (dir == nullptr) {
    *error = errno;
    return false;
  }
  std::vector<Bytes> names;
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  bool ok = true;
  for (const Bytes& name : names) ok = RemoveTree(Join(path, name), error) && ok;
  if (!ok) return false;
  if (::rmdir(path.constData()) == 0) return true;
  *error = errno;
  return false;
}

std::int64_t TreeBytes(const Bytes& path, int depth = 0) {
  struct stat st {};
  if (!Lstat(path, &st)) return 0;
  if (!S_ISDIR(st.st_mode)) return S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0;
  if (depth > 256) return 0;
  std::int64_t total = 0;
  DIR* dir = ::opendir(path.constData());
  if (dir == nullptr) return 0;
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    total += TreeBytes(Join(path, Bytes(name)), depth + 1);
  }
  ::closedir(dir);
  return total;
}

bool SameContent(const Bytes& a, const Bytes& b) {
  const int fa = ::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  const int fb = ::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  bool same = fa >= 0 && fb >= 0;
  std::vector<char> bufA(1 << 16), bufB(1 << 16);
  while (same) {
    const ssize_t na = ::read(fa, bufA.data(), bufA.size());
    if (na < 0) { same = false; break; }
    ssize_t got = 0;
    while (got < na) {
      const ssize_t nb = ::read(fb, bufB.data() + got, std::size_t(na - got));
      if (nb <= 0) break;
      got += nb;
    }
    if (got != na || std::memcmp(bufA.data(), bufB.data(), std::size_t(na)) != 0) { same = false; break; }
    if (na == 0) {
      char extra;
      same = ::read(fb, &extra, 1) == 0;
      break;
    }
  }
  if (fa >= 0) ::close(fa);
  if (fb >= 0) ::close(fb);
  return same;
}

// The copy is the same as the source: files byte for byte, links by target, folders entry by entry.
bool Verify(const Bytes& source, const Bytes& target, int depth = 0) {
  struct stat s {}, t {};
  if (!Lstat(source, &s) || !Lstat(target, &t)) return false;
  if ((s.st_mode & S_IFMT) != (t.st_mode & S_IFMT)) return false;
  if (S_ISLNK(s.st_mode)) {
    char a[4096], b[4096];
    const ssize_t na = ::readlink(source.constData(), a, sizeof a);
    const ssize_t nb = ::readlink(target.constData(), b, sizeof b);
    return na >= 0 && na == nb && std::memcmp(a, b, std::size_t(na)) == 0;
  }
  if (S_ISREG(s.st_mode)) return s.st_size == t.st_size && SameContent(source, target);
  if (!S_ISDIR(s.st_mode)) return true;
  if (depth > 256) return false;
  DIR* dir = ::opendir(source.constData());
  if (dir == nullptr) return false;
  bool same = true;
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    if (!Verify(Join(source, Bytes(name)), Join(target, Bytes(name)), depth + 1)) { same = false; break; }
  }
  ::closedir(dir);
  return same;
}

enum class Outcome { Done, Skipped, Failed, Cancelled };

// One running copy or move: the answers given so far and the progress.
class TTransferRun {
 public:
  TTransferRun(TOperationUi& ui, TOperationResult& result) : ui_(ui), result_(result) {}

  std::int64_t total = 0;

  Outcome Top(const Bytes& source, const Bytes& target, TTransfer kind, bool checkSameFolder) {
    struct stat st {};
    if (!Lstat(source, &st)) {
      Fail(source, errno == ENOENT ? kNotFoundError : ErrorText(errno));
      return Outcome::Failed;
    }
    // A real folder never goes into itself or below itself.
    if (S_ISDIR(st.st_mode)) {
      const Bytes realSource = RealPath(source);
      const Bytes realTargetFolder = RealPath(FolderOf(target));
      if (!realSource.isEmpty() && !realTargetFolder.isEmpty() &&
          (realTargetFolder == realSource || realTargetFolder.startsWith(realSource + '/'))) {
        Fail(source, kIntoItselfError);
        return Outcome::Failed;
      }
    }
    Bytes to = target;
    if (checkSameFolder) {
      const Bytes realSourceFolder = RealPath(FolderOf(source));
      const Bytes realTargetFolder = RealPath(FolderOf(target));
      if (!realSourceFolder.isEmpty() && realSourceFolder == realTargetFolder && BaseName(source) == BaseName(target)) {
        if (kind == TTransfer::Move) {
          // Moving an entry to where it is changes nothing.
          result_.done << Dec(source);
          result_.targets << Dec(source);
          return Outcome::Done;
        }
        const QString name = TFileOperations::CopyName(Dec(BaseName(source)), S_ISDIR(st.st_mode), [&](const QString& n) {
          struct stat any {};
          return Lstat(Join(FolderOf(target), Enc(n)), &any) || errno != ENOENT;
        });
        to = Join(FolderOf(target), Enc(name));
      }
    }
    const Outcome outcome = kind == TTransfer::Copy ? CopyEntry(source, to, true) : MoveEntry(source, to);
    if (outcome == Outcome::Done) {
      result_.done << Dec(source);
      result_.targets << Dec(to);
    } else if (outcome == Outcome::Skipped) {
      result_.skipped << Dec(source);
    }
    return outcome;
  }

 private:
  void Fail(const Bytes& path, const QString& reason) { result_.failed << Dec(path) + QStringLiteral(": ") + reason; }

  bool Tick(const Bytes& current) {
    if (!ui_.Progress(Dec(current), done_, total)) {
      cancelled_ = true;
      return false;
    }
    return !cancelled_;
  }

  // An existing target: what the user wants. Returns Done to go on (replace or merge).
  Outcome Conflict(const Bytes& source, const Bytes& target, bool folders) {
    if (replaceAll_) return Outcome::Done;
    if (skipAll_) return Outcome::Skipped;
    switch (ui_.AskReplace(Dec(source), Dec(target), folders)) {
      case TReplaceAnswer::Replace: return Outcome::Done;
      case TReplaceAnswer::ReplaceAll: replaceAll_ = true; return Outcome::Done;
      case TReplaceAnswer::Skip: return Outcome::Skipped;
      case TReplaceAnswer::SkipAll: skipAll_ = true; return Outcome::Skipped;
      case TReplaceAnswer::Cancel: break;
    }
    cancelled_ = true;
    return Outcome::Cancelled;
  }

  bool PlaceNoReplace(const Bytes& part, const Bytes& target, int* error) {
    if (DefaultRename(part.constData(), target.constData(), true) == 0) return true;
    *error = errno;
    return false;
  }

  Bytes PartName(const Bytes& target) const {
    return Join(FolderOf(target), Bytes(".vumo-part-XXXXXX"));
  }

  Outcome CopyFile(const Bytes& source, const Bytes& target, const struct stat& st, bool replace) {
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
      Fail(source, errno == ENOENT ? kNotFoundError : ErrorText(errno));
      return Outcome::Failed;
    }
    Bytes part = PartName(target);
    const int out = ::mkstemp(part.data());
    if (out < 0) {
      Fail(source, ErrorText(errno));
      ::close(in);
      return Outcome::Failed;
    }
    std::vector<char> buffer(1 << 20);
    int error = 0;
    bool cancelled = false;
    for (;;) {
      const ssize_t got = ::read(in, buffer.data(), buffer.size());
      if (got < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      if (got == 0) break;
      ssize_t written = 0;
      while (written < got) {
        const ssize_t n = WriteFunction()(out, buffer.data() + written, std::size_t(got - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          error = n < 0 ? errno : ENOSPC;
          break;
        }
        written += n;
      }
      if (error != 0) break;
      done_ += got;
      if (!Tick(source)) {
        cancelled = true;
        break;
      }
    }
    ::close(in);
    if (error == 0 && !cancelled) {
      ::fchmod(out, st.st_mode & 07777);
      const timespec times[2] = {st.st_atim, st.st_mtim};
      ::futimens(out, times);
      if (::fsync(out) != 0 && errno != EINVAL && errno != EROFS) error = errno;
    }
    if (::close(out) != 0 && error == 0 && !cancelled) error = errno;
    if (error == 0 && !cancelled) {
      const bool placed = replace ? ::rename(part.constData(), target.constData()) == 0
                                  : PlaceNoReplace(part, target, &error);
      if (placed) return Outcome::Done;
      if (replace) error = errno;
    }
    ::unlink(part.constData());
    if (cancelled) return Outcome::Cancelled;
    Fail(source, error == EEXIST ? kExistsError : ErrorText(error));
    return Outcome::Failed;
  }

  Outcome CopyLink(const Bytes& source, const Bytes& target, bool replace) {
    std::vector<char> buffer(4096);
    ssize_t n = 0;
    for (;;) {
      n = ::readlink(source.constData(), buffer.data(), buffer.size());
      if (n < 0 || std::size_t(n) < buffer.size()) break;
      buffer.resize(buffer.size() * 2);
    }
    if (n < 0) {
      Fail(source, errno == ENOENT ? kNotFoundError : ErrorText(errno));
      return Outcome::Failed;
    }
    const Bytes linkTarget(buffer.data(), n);
    // A link is made under a free part name, then put in place like a file.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const Bytes part = Join(FolderOf(target), Bytes(".vumo-link-") + Bytes::number(qulonglong(::getpid())) + '-' +
                                                  Bytes::number(attempt));
      if (::symlink(linkTarget.constData(), part.constData()) != 0) {
        if (errno == EEXIST) continue;
        Fail(source, ErrorText(errno));
        return Outcome::Failed;
      }
      int error = 0;
      const bool placed = replace ? ::rename(part.constData(), target.constData()) == 0 : PlaceNoReplace(part, target, &error);
      if (placed) return Outcome::Done;
      if (replace) error = errno;
      ::unlink(part.constData());
      Fail(source, error == EEXIST ? kExistsError : ErrorText(error));
      return Outcome::Failed;
    }
    Fail(source, ErrorText(EEXIST));
    return Outcome::Failed;
  }

  Outcome CopyFolder(const Bytes& source, const Bytes& target, const struct stat& st, bool merge, int depth) {
    if (depth > 256) {
      Fail(source, ErrorText(ELOOP));
      return Outcome::Failed;
    }
    bool created = false;
    if (!merge) {
      if (::mkdir(target.constData(), 0700) != 0) {
        Fail(source, errno == EEXIST ? kExistsError : ErrorText(errno));
        return Outcome::Failed;
      }
      created = true;
    }
    DIR* dir = ::opendir(source.constData());
    if (dir == nullptr) {
      const int error = errno;
      if (created) ::rmdir(target.constData());
      Fail(source, error == ENOENT ? kNotFoundError : ErrorText(error));
      return Outcome::Failed;
    }
    std::vector<Bytes> names;
    while (dirent* entry = ::readdir(dir)) {
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      names.emplace_back(name);
    }
    ::closedir(dir);
    Outcome outcome = Outcome::Done;
    for (const Bytes& name : names) {
      const Outcome child = CopyEntry(Join(source, name), Join(target, name), false, depth + 1);
      if (child == Outcome::Skipped) outcome = Outcome::Skipped;
      if (child == Outcome::Failed || child == Outcome::Cancelled) {
        outcome = child;
        break;
      }
    }
    if (outcome == Outcome::Failed || outcome == Outcome::Cancelled) {
      // A folder this copy made is not left half-filled.
      if (created) {
        int ignored = 0;
        RemoveTree(target, &ignored);
      }
      return outcome;
    }
    if (created) {
      ::chmod(target.constData(), st.st_mode & 07777);
      const timespec times[2] = {st.st_atim, st.st_mtim};
      ::utimensat(AT_FDCWD, target.constData(), times, AT_SYMLINK_NOFOLLOW);
    }
    return outcome;
  }

  Outcome CopyEntry(const Bytes& source, const Bytes& target, bool top, int depth = 0) {
    if (cancelled_) return Outcome::Cancelled;
    struct stat st {};
    if (!Lstat(source, &st)) {
      Fail(source, errno == ENOENT ? kNotFoundError : ErrorText(errno));
      return Outcome::Failed;
    }
    if (!Tick(source)) return Outcome::Cancelled;
    struct stat existing {};
    bool replace = false;
    bool merge = false;
    if (Lstat(target, &existing)) {
      const bool sourceFolder = S_ISDIR(st.st_mode);
      const bool targetFolder = S_ISDIR(existing.st_mode);
      if (sourceFolder != targetFolder) {
        // A folder never replaces a file, nor a file a folder: nothing the user did not ask for is lost.
        Fail(source, Dec(target) + QLatin1Char(' ') + kExistsError);
        return Outcome::Failed;
      }
      const Outcome answer = Conflict(source, target, sourceFolder);
      if (answer != Outcome::Done) {
        if (answer == Outcome::Skipped && !top) result_.skipped << Dec(source);
        return answer;
      }
      replace = !sourceFolder;
      merge = sourceFolder;
    }
    if (S_ISDIR(st.st_mode)) return CopyFolder(source, target, st, merge, depth);
    if (S_ISLNK(st.st_mode)) return CopyLink(source, target, replace);
    if (S_ISREG(st.st_mode)) return CopyFile(source, target, st, replace);
    Fail(source, QStringLiteral("not a regular file, folder or link"));
    return Outcome::Failed;
  }

  Outcome MoveEntry(const Bytes& source, const Bytes& target, int depth = 0) {
    if (cancelled_) return Outcome::Cancelled;
    struct stat st {};
    if (!Lstat(source, &st)) {
      Fail(source, errno == ENOENT ? kNotFoundError : ErrorText(errno));
      return Outcome::Failed;
    }
    if (!Tick(source)) return Outcome::Cancelled;
    struct stat existing {};
    bool replace = false;
    if (Lstat(target, &existing)) {
      const bool sourceFolder = S_ISDIR(st.st_mode);
      const bool targetFolder = S_ISDIR(existing.st_mode);
      if (sourceFolder != targetFolder) {
        Fail(source, Dec(target) + QLatin1Char(' ') + kExistsError);
        return Outcome::Failed;
      }
      const Outcome answer = Conflict(source, target, sourceFolder);
      if (answer != Outcome::Done) {
        if (answer == Outcome::Skipped && depth > 0) result_.skipped << Dec(source);
        return answer;
      }
      if (sourceFolder) return MergeFolder(source, target, depth);
      replace = true;
    }
    if (RenameFunction()(source.constData(), target.constData(), !replace) == 0) return Outcome::Done;
    const int error = errno;
    if (error != EXDEV) {
      Fail(source, error == EEXIST ? kExistsError : error == ENOENT ? kNotFoundError : ErrorText(error));
      return Outcome::Failed;
    }
    // Another file system: copy, check the copy, and only then remove the source.
    const bool targetExisted = replace;
    const Outcome copied = CopyEntryFresh(source, target, st, depth, replace);
    if (copied != Outcome::Done) return copied;
    if (!Verify(source, target)) {
      if (!targetExisted) {
        int ignored = 0;
        RemoveTree(target, &ignored);
      }
      Fail(source, QStringLiteral("the copy differs from the original; the original is kept"));
      return Outcome::Failed;
    }
    int removeError = 0;
    if (!RemoveTree(source, &removeError)) {
      Fail(source, QStringLiteral("copied, but the original could not be removed: ") + ErrorText(removeError));
      return Outcome::Failed;
    }
    return Outcome::Done;
  }

  Outcome CopyEntryFresh(const Bytes& source, const Bytes& target, const struct stat& st, int depth, bool replace) {
    if (S_ISDIR(st.st_mode)) return CopyFolder(source, target, st, false, depth);
    if (S_ISLNK(st.st_mode)) return CopyLink(source, target, replace);
    if (S_ISREG(st.st_mode)) return CopyFile(source, target, st, replace);
    Fail(source, QStringLiteral("not a regular file, folder or link"));
    return Outcome::Failed;
  }

  // Moves every entry of the folder into the existing one, then removes the emptied source.
  Outcome MergeFolder(const Bytes& source, const Bytes& target, int depth) {
    if (depth > 256) {
      Fail(source, ErrorText(ELOOP));
      return Outcome::Failed;
    }
    DIR* dir = ::opendir(source.constData());
    if (dir == nullptr) {
      Fail(source, ErrorText(errno));
      return Outcome::Failed;
    }
    std::vector<Bytes> names;
    while (dirent* entry = ::readdir(dir)) {
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      names.emplace_back(name);
    }
    ::closedir(dir);
    Outcome outcome = Outcome::Done;
    for (const Bytes& name : names) {
      const Outcome child = MoveEntry(Join(source, name), Join(target, name), depth + 1);
      if (child == Outcome::Skipped) outcome = Outcome::Skipped;
      if (child == Outcome::Failed || child == Outcome::Cancelled) return child;
    }
    if (outcome == Outcome::Done) ::rmdir(source.constData());
    return outcome;
  }

  TOperationUi& ui_;
  TOperationResult& result_;
  std::int64_t done_ = 0;
  bool replaceAll_ = false;
  bool skipAll_ = false;
  bool cancelled_ = false;
};

void Finish(TOperationResult& result) {
  result.ok = result.failed.isEmpty() && result.skipped.isEmpty() && !result.cancelled;
}

QString NameError(const QString& name) {
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
      name.contains(QChar(0)))
    return kBadNameError;
  return {};
}

// Where a file went: inside the files folder of a freedesktop trash.
bool InTrashFolder(const QString& path) {
  const QString uid = QString::number(::getuid());
  return path.contains(QStringLiteral("/Trash/files/")) || path.contains(QStringLiteral("/.Trash-") + uid + QStringLiteral("/files/")) ||
         path.contains(QStringLiteral("/.Trash/") + uid + QStringLiteral("/files/"));
}

// The home trash ($XDG_DATA_HOME/Trash), made when missing.
QString HomeTrash() {
  QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
  if (dataHome.isEmpty() || !dataHome.startsWith(QLatin1Char('/')))
    dataHome = QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/.local/share");
  const QString trash = dataHome + QStringLiteral("/Trash");
  const Bytes bytes = Enc(trash);
  // mkdir -p with the modes the freedesktop trash asks for (0700).
  Bytes walk;
  for (const Bytes& part : bytes.split('/')) {
    if (part.isEmpty()) continue;
    walk += '/' + part;
    ::mkdir(walk.constData(), 0700);
  }
  ::mkdir((bytes + "/files").constData(), 0700);
  ::mkdir((bytes + "/info").constData(), 0700);
  return trash;
}

// The freedesktop trash format has Path= escaped as in a URL: trash tools unescape it, so
// a raw "50%41.tga" would be listed, and restored, as "50A.tga".
Bytes TrashInfoText(const Bytes& absolutePath, const char* date) {
  return "[Trash Info]\nPath=" + absolutePath.toPercentEncoding("/") + "\nDeletionDate=" + date + "\n";
}

bool SameVolume(const Bytes& path, const QString& trash) {
  struct stat st {}, tr {};
  return Lstat(path, &st) && ::stat(Enc(trash).constData(), &tr) == 0 && st.st_dev == tr.st_dev;
}

// Qt 6.4 writes the info file's path unescaped; write it again, escaped, keeping its date.
void RewriteTrashInfo(const QString& inTrash, const Bytes& absolutePath) {
  const qsizetype files = inTrash.lastIndexOf(QStringLiteral("/files/"));
  if (files < 0) return;
  const Bytes info = Enc(inTrash.left(files) + QStringLiteral("/info/") + inTrash.mid(files + 7) + QStringLiteral(".trashinfo"));
  Bytes date;
  {
    QFile old(Dec(info));
    if (!old.open(QIODevice::ReadOnly)) return;
    const QByteArray text = old.read(64 * 1024);
    for (const QByteArray& line : text.split('\n'))
      if (line.startsWith("DeletionDate=")) date = line.mid(13).trimmed();
  }
  if (date.isEmpty()) return;
  // Written beside it and renamed over it, so a failed write leaves Qt's file as it was.
  const Bytes temporary = info + ".part";
  const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const Bytes text = TrashInfoText(absolutePath, date.constData());
  const bool written = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
  ::close(fd);
  if (!written || ::rename(temporary.constData(), info.constData()) != 0) ::unlink(temporary.constData());
}

// The freedesktop home trash done by hand, for names Qt cannot carry (bytes that are not UTF-8).
bool MoveToHomeTrash(const Bytes& path, const QString& trash, QString* inTrash, QString* reason) {
  const Bytes trashBytes = Enc(trash);
  struct stat st {}, tr {};
  if (!Lstat(path, &st) || ::stat(trashBytes.constData(), &tr) != 0) {
    *reason = ErrorText(errno);
    return false;
  }
  if (st.st_dev != tr.st_dev) {
    *reason = QStringLiteral("the trash is on another volume");
    return false;
  }
  const Bytes base = BaseName(path);
  const Bytes absolute = RealPath(FolderOf(path));
  for (int n = 1; n < 10000; ++n) {
    const Bytes name = n == 1 ? base : base + '.' + Bytes::number(n);
    const Bytes info = trashBytes + "/info/" + name + ".trashinfo";
    const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      *reason = ErrorText(errno);
      return false;
    }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const Bytes text = TrashInfoText(Join(absolute, base), date);
    const bool written = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
    ::close(fd);
    const Bytes files = trashBytes + "/files/" + name;
    if (!written || DefaultRename(path.constData(), files.constData(), true) != 0) {
      *reason = ErrorText(written ? errno : ENOSPC);
      ::unlink(info.constData());
      return false;
    }
    *inTrash = Dec(files);
    return true;
  }
  *reason = ErrorText(EEXIST);
  return false;
}

}  // namespace

QString TOperationResult::Report() const {
  if (ok) return {};
  QStringList lines;
  if (cancelled) lines << QStringLiteral("The operation was cancelled.");
  for (const QString& failure : failed) lines << failure;
  if (!skipped.isEmpty()) lines << QStringLiteral("Skipped: ") + skipped.join(QStringLiteral(", "));
  if (!done.isEmpty()) lines << QStringLiteral("Done: ") + done.join(QStringLiteral(", "));
  else lines << QStringLiteral("Nothing was changed.");
  return lines.join(QLatin1Char('\n'));
}

void TFileOperations::SetWriteFunction(TWriteFunction write) {
  WriteFunction() = write ? std::move(write) : [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
}

void TFileOperations::SetRenameFunction(TRenameFunction rename) {
  RenameFunction() = rename ? std::move(rename) : TRenameFunction(DefaultRename);
}

QString TFileOperations::CopyName(const QString& name, bool isFolder, const std::function<bool(const QString&)>& exists) {
  QString stem = name;
  QString extension;
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (!isFolder && dot > 0) {
    stem = name.left(dot);
    extension = name.mid(dot);
  }
  for (int n = 1;; ++n) {
    const QString candidate =
        stem + (n == 1 ? QStringLiteral(" (copy)") : QStringLiteral(" (copy %1)").arg(n)) + extension;
    if (!exists(candidate)) return candidate;
  }
}

TOperationResult TFileOperations::Transfer(const QStringList& sources, const QString& targetFolder, TTransfer kind,
                                           TOperationUi& ui) {
  TOperationResult result;
  TTransferRun run(ui, result);
  const Bytes folder = Enc(targetFolder);
  for (const QString& source : sources) {
    if (kind == TTransfer::Copy) run.total += TreeBytes(Enc(source));
  }
  struct stat st {};
  if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    result.failed << targetFolder + QStringLiteral(": ") + kNotFoundError;
    Finish(result);
    return result;
  }
  for (const QString& source : sources) {
    const Bytes from = Enc(RemoveSlash(source));
    const Outcome outcome = run.Top(from, Join(folder, BaseName(from)), kind, true);
    if (outcome == Outcome::Cancelled) {
      result.cancelled = true;
      break;
    }
    // A vanished entry is reported and the rest goes on; any other failure stops here.
    if (outcome == Outcome::Failed && !result.failed.last().endsWith(QStringLiteral(": ") + kNotFoundError)) break;
  }
  Finish(result);
  return result;
}

TOperationResult TFileOperations::TransferTo(const QString& source, const QString& targetPath, TTransfer kind,
                                             TOperationUi& ui) {
  TOperationResult result;
  TTransferRun run(ui, result);
  const Bytes from = Enc(RemoveSlash(source));
  if (kind == TTransfer::Copy) run.total = TreeBytes(from);
  if (run.Top(from, Enc(RemoveSlash(targetPath)), kind, false) == Outcome::Cancelled) result.cancelled = true;
  Finish(result);
  return result;
}

TOperationResult TFileOperations::Rename(const QString& path, const QString& newName) {
  TOperationResult result;
  const Bytes from = Enc(RemoveSlash(path));
  const QString error = NameError(newName);
  if (!error.isEmpty()) {
    result.failed << newName + QStringLiteral(": ") + error;
  } else {
    const Bytes to = Join(FolderOf(from), Enc(newName));
    struct stat st {};
    if (!Lstat(from, &st)) {
      result.failed << path + QStringLiteral(": ") + (errno == ENOENT ? kNotFoundError : ErrorText(errno));
    } else if (to == from) {
      result.done << path;
      result.targets << path;
    } else if (RenameFunction()(from.constData(), to.constData(), true) == 0) {
      result.done << path;
      result.targets << Dec(to);
    } else {
      result.failed << Dec(to) + QStringLiteral(": ") + (errno == EEXIST ? kExistsError : ErrorText(errno));
    }
  }
  Finish(result);
  return result;
}

TOperationResult TFileOperations::DeletePermanently(const QStringList& paths, TOperationUi& ui) {
  TOperationResult result;
  for (const QString& path : paths) {
    if (!ui.Progress(path, 0, 0)) {
      result.cancelled = true;
      break;
    }
    const Bytes bytes = Enc(RemoveSlash(path));
    struct stat st {};
    if (!Lstat(bytes, &st)) {
      result.failed << path + QStringLiteral(": ") + (errno == ENOENT ? kNotFoundError : ErrorText(errno));
      continue;
    }
    int error = 0;
    if (RemoveTree(bytes, &error)) result.done << path;
    else {
      result.failed << path + QStringLiteral(": ") + ErrorText(error);
      break;
    }
  }
  Finish(result);
  return result;
}

bool TFileOperations::MoveToTrash(const QString& path, QString* inTrash, QString* reason) {
  const Bytes bytes = Enc(RemoveSlash(path));
  struct stat st {};
  if (!Lstat(bytes, &st)) {
    *reason = errno == ENOENT ? kNotFoundError : ErrorText(errno);
    return false;
  }
  // Qt 6.4 puts the file into "./files" when the home trash's parent is missing, and says it worked.
  const QString trash = HomeTrash();
  // The home trash is written here for every name; Qt only finds the trash of another volume.
  if (SameVolume(bytes, trash) || QFile::encodeName(Dec(bytes)) != bytes)
    return MoveToHomeTrash(bytes, trash, inTrash, reason);
  const Bytes original = Join(RealPath(FolderOf(bytes)), BaseName(bytes));
  QString where;
  if (!QFile::moveToTrash(Dec(bytes), &where)) {
    *reason = QStringLiteral("there is no usable trash for this volume");
    return false;
  }
  if (!InTrashFolder(where)) {
    // It went somewhere that is not a trash: put it back where it was.
    ::rename(Enc(where).constData(), bytes.constData());
    const qsizetype files = where.lastIndexOf(QStringLiteral("/files/"));
    if (files >= 0) {
      const QString info = where.left(files) + QStringLiteral("/info/") + where.mid(files + 7) + QStringLiteral(".trashinfo");
      ::unlink(Enc(info).constData());
      // The folders Qt made for it go too, when nothing else is in them.
      ::rmdir(Enc(where.left(files) + QStringLiteral("/info")).constData());
      ::rmdir(Enc(where.left(files) + QStringLiteral("/files")).constData());
    }
    *reason = QStringLiteral("there is no usable trash for this volume");
    return false;
  }
  RewriteTrashInfo(where, original);
  *inTrash = where;
  return true;
}

TOperationResult TFileOperations::Trash(const QStringList& paths, TOperationUi& ui) {
  TOperationResult result;
  QStringList untrashable;
  QString lastReason;
  for (const QString& path : paths) {
    QString where, reason;
    if (MoveToTrash(path, &where, &reason)) {
      result.done << path;
      result.targets << where;
    } else if (reason == kNotFoundError) {
      result.failed << path + QStringLiteral(": ") + reason;
    } else {
      untrashable << path;
      lastReason = reason;
    }
  }
  if (!untrashable.isEmpty()) {
    if (ui.AskDeletePermanently(untrashable, lastReason)) {
      const TOperationResult removed = DeletePermanently(untrashable, ui);
      result.done << removed.done;
      result.failed << removed.failed;
      result.cancelled = removed.cancelled;
    } else {
      result.skipped << untrashable;
    }
  }
  Finish(result);
  return result;
}

TOperationResult TFileOperations::NewFolder(const QString& folder, const QString& name, bool numbered) {
  TOperationResult result;
  const QString error = NameError(name);
  if (!error.isEmpty()) {
    result.failed << name + QStringLiteral(": ") + error;
    Finish(result);
    return result;
  }
  const Bytes base = Join(Enc(folder), Enc(name));
  for (int n = 1;; ++n) {
    const Bytes path = n == 1 ? base : base + '(' + Bytes::number(n) + ')';
    if (::mkdir(path.constData(), 0777) == 0) {
      result.done << Dec(path);
      result.targets << Dec(path);
      break;
    }
    if (errno != EEXIST || !numbered || n > 100000) {
      result.failed << Dec(path) + QStringLiteral(": ") + (errno == EEXIST ? kExistsError : ErrorText(errno));
      break;
    }
  }
  Finish(result);
  return result;
}

}  // namespace vumo
