// The freedesktop trash: the home trash written by hand when Qt would get it
// wrong, another volume's trash through Qt, and the question of deleting for
// good what cannot go to any.
#include "browser/file_job.h"
#include "browser/file_names.h"

#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace vumo {

namespace {

using namespace file_ops;

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
  const Bytes base = NameOfPath(path);
  const Bytes absolute = RealFolderOf(path);
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
    const Bytes text = TrashInfoText(JoinPath(absolute, base), date);
    const bool written = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
    ::close(fd);
    const Bytes files = trashBytes + "/files/" + name;
    if (!written || RenameEntry(path.constData(), files.constData(), true) != 0) {
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

bool TFileOperations::MoveToTrash(const QString& path, QString* inTrash, QString* reason) {
  const Bytes bytes = Enc(RemoveSlash(path));
  struct stat st {};
  if (!Lstat(bytes, &st)) {
    *reason = LookupError(errno);
    return false;
  }
  // Qt 6.4 puts the file into "./files" when the home trash's parent is missing, and says it worked.
  const QString trash = HomeTrash();
  // The home trash is written here for every name; Qt only finds the trash of another volume.
  if (SameVolume(bytes, trash) || QFile::encodeName(Dec(bytes)) != bytes)
    return MoveToHomeTrash(bytes, trash, inTrash, reason);
  const Bytes original = JoinPath(RealFolderOf(bytes), NameOfPath(bytes));
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

}  // namespace vumo
