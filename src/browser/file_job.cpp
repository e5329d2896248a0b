#include "browser/file_job.h"

#include "browser/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace vumo::file_ops {

Bytes Enc(const QString& path) { return EncodeFileName(path); }
QString Dec(const Bytes& path) { return DecodeFileName(path); }

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString LookupError(int error) { return error == ENOENT ? kNotFoundError : ErrorText(error); }

void Finish(TOperationResult& result) {
  result.ok = result.failed.isEmpty() && result.skipped.isEmpty() && !result.cancelled;
}

bool Lstat(const Bytes& path, struct stat* st) { return ::lstat(path.constData(), st) == 0; }

Bytes RealPath(const Bytes& path) {
  char* real = ::realpath(path.constData(), nullptr);
  if (real == nullptr) return {};
  Bytes result(real);
  ::free(real);
  return result;
}

Bytes RealFolderOf(const Bytes& path) {
  const Bytes folder = ParentOfPath(path);
  return RealPath(folder.isEmpty() ? Bytes(".") : folder);
}

int RenameEntry(const char* from, const char* to, bool noReplace) {
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

namespace {

ssize_t WriteData(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

}  // namespace

TFileOperations::TWriteFunction& WriteFunction() {
  static TFileOperations::TWriteFunction write = WriteData;
  return write;
}

TFileOperations::TRenameFunction& RenameFunction() {
  static TFileOperations::TRenameFunction rename = RenameEntry;
  return rename;
}

void TFileJob::Fail(const Bytes& path, const QString& reason) {
  result_.failed << Dec(path) + QStringLiteral(": ") + reason;
}

bool TFileJob::Tick(const Bytes& current) {
  if (!ui_.Progress(Dec(current), done_, total)) {
    cancelled_ = true;
    return false;
  }
  return !cancelled_;
}

Outcome TFileJob::Conflict(const Bytes& source, const Bytes& target, bool folders) {
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

}  // namespace vumo::file_ops

namespace vumo {

void TFileOperations::SetWriteFunction(TWriteFunction write) {
  file_ops::WriteFunction() = write ? std::move(write) : TWriteFunction(file_ops::WriteData);
}

void TFileOperations::SetRenameFunction(TRenameFunction rename) {
  file_ops::RenameFunction() = rename ? std::move(rename) : TRenameFunction(file_ops::RenameEntry);
}

}  // namespace vumo
