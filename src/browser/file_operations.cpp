// The small jobs of the layer: rename, delete for good, new folder, and the
// report every job ends with. Copy and move are in file_transfer.cpp, the
// trash in file_trash.cpp.
#include "browser/file_operations.h"

#include "browser/file_job.h"
#include "browser/file_names.h"
#include "browser/file_tree_walks.h"

#include <cerrno>
#include <sys/stat.h>

namespace vumo {

namespace {

using namespace file_ops;

QString NameError(const QString& name) {
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
      name.contains(QChar(0)))
    return kBadNameError;
  return {};
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

TOperationResult TFileOperations::Rename(const QString& path, const QString& newName) {
  TOperationResult result;
  const Bytes from = Enc(RemoveSlash(path));
  const QString error = NameError(newName);
  if (!error.isEmpty()) {
    result.failed << newName + QStringLiteral(": ") + error;
  } else {
    const Bytes to = ParentOfPath(from) + Enc(newName);
    struct stat st {};
    if (!Lstat(from, &st)) {
      result.failed << path + QStringLiteral(": ") + LookupError(errno);
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
      result.failed << path + QStringLiteral(": ") + LookupError(errno);
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

TOperationResult TFileOperations::NewFolder(const QString& folder, const QString& name, bool numbered) {
  TOperationResult result;
  const QString error = NameError(name);
  if (!error.isEmpty()) {
    result.failed << name + QStringLiteral(": ") + error;
    Finish(result);
    return result;
  }
  const Bytes base = JoinPath(Enc(folder), Enc(name));
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
