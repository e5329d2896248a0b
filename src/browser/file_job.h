#pragma once

// What the jobs behind TFileOperations share (the transfer engine, the trash,
// the small jobs in file_operations.cpp): failure texts, the test hooks, and
// the base that owns progress and the "the target exists" question. Not for
// use outside them; file_operations.h is the layer's one public face.

#include "browser/file_operations.h"

#include <QByteArray>

#include <cstdint>
#include <sys/stat.h>

namespace vumo::file_ops {

// The jobs work on bytes, the names the kernel knows.
using Bytes = QByteArray;
Bytes Enc(const QString& path);
QString Dec(const Bytes& path);

QString ErrorText(int error);
// The reason of a failed lookup: an entry gone is "not found", as the layer promises.
QString LookupError(int error);
// Sets ok from what was failed, skipped or cancelled.
void Finish(TOperationResult& result);

bool Lstat(const Bytes& path, struct stat* st);
// Empty when the path does not resolve.
Bytes RealPath(const Bytes& path);
// The resolved folder holding the entry; a bare name is in the current folder.
Bytes RealFolderOf(const Bytes& path);

// rename(2), or with noReplace one that fails with EEXIST rather than replace.
int RenameEntry(const char* from, const char* to, bool noReplace);
// What the test hooks set (file_operations.h); the real calls by default.
TFileOperations::TWriteFunction& WriteFunction();
TFileOperations::TRenameFunction& RenameFunction();

enum class Outcome { Done, Skipped, Failed, Cancelled };

// One running operation over entries: the progress it tells, the answers to
// "the target exists" given so far (each may hold "for all"), and the lines
// of what failed.
class TFileJob {
 public:
  TFileJob(TOperationUi& ui, TOperationResult& result) : ui_(ui), result_(result) {}

  std::int64_t total = 0;  // bytes, 0 when unknown

 protected:
  void Fail(const Bytes& path, const QString& reason);
  // Tells progress; false once the user cancelled.
  bool Tick(const Bytes& current);
  // An existing target: what the user wants. Done means go on (replace or merge).
  Outcome Conflict(const Bytes& source, const Bytes& target, bool folders);

  TOperationUi& ui_;
  TOperationResult& result_;
  std::int64_t done_ = 0;
  bool cancelled_ = false;

 private:
  bool replaceAll_ = false;
  bool skipAll_ = false;
};

}  // namespace vumo::file_ops
