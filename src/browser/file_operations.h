#pragma once

// The one layer of file operations the file list and the directory tree share
// (copy, move, rename, delete, trash, new folder). Every rule of "nothing
// lost" is decided here:
//  - a copy into the folder it comes from gets a new name as desktop file
//    managers give it ("name (copy).ext", "name (copy 2).ext", ...), never an
//    overwrite; a move into its own folder changes nothing;
//  - a folder is never copied or moved into itself or its own descendant;
//  - an existing target is replaced only when the user says so (replace,
//    skip, cancel, each also "for all");
//  - a file is written to a hidden part file beside the target and renamed
//    into place only when every byte was written, so a full disk or any other
//    failure leaves no half-written target; on move the source is removed
//    only after its copy is complete and verified;
//  - a move across file systems copies, verifies, then deletes the source;
//  - symbolic links are copied as links and never followed;
//  - names are bytes: a name that is not UTF-8 or holds a newline is handled
//    like any other (paths travel as QString with surrogate escapes, see
//    file_names.h);
//  - an entry removed by another program before the command is reported as
//    not found and the rest goes on; any other failure stops the operation,
//    what was done is reported and the rest is kept;
//  - success is reported only when every part succeeded and nothing was
//    cancelled or skipped.
// The widgets that ask and show progress come in through TOperationUi, so the
// rules are tested on real files without a window.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace vumo {


enum class TReplaceAnswer { Replace, ReplaceAll, Skip, SkipAll, Cancel };

// What an operation asks the user and tells while it runs.
class TOperationUi {
 public:
  virtual ~TOperationUi() = default;
  // The target exists; both are files, or both are folders (replace then merges).
  virtual TReplaceAnswer AskReplace(const QString& source, const QString& target, bool folders) = 0;
  // The entries cannot go to the trash (reason given); delete them for good?
  virtual bool AskDeletePermanently(const QStringList& paths, const QString& reason) = 0;
  // Called often; done and total in bytes (total 0 when unknown). False cancels.
  virtual bool Progress(const QString& current, std::int64_t done, std::int64_t total) = 0;
};

// Answers every question the same way and never cancels: for tests and for
// callers without a window.
class TFixedAnswers : public TOperationUi {
 public:
  TReplaceAnswer replace = TReplaceAnswer::Cancel;
  bool deletePermanently = false;
  int replaceQuestions = 0;
  int deleteQuestions = 0;
  int progressCalls = 0;
  int cancelAfterProgressCalls = -1;  // >= 0: Progress returns false from that call on
  TReplaceAnswer AskReplace(const QString&, const QString&, bool) override {
    ++replaceQuestions;
    return replace;
  }
  bool AskDeletePermanently(const QStringList&, const QString&) override {
    ++deleteQuestions;
    return deletePermanently;
  }
  bool Progress(const QString&, std::int64_t, std::int64_t) override {
    ++progressCalls;
    return cancelAfterProgressCalls < 0 || progressCalls <= cancelAfterProgressCalls;
  }
};

struct TOperationResult {
  bool ok = true;          // every part succeeded, nothing skipped or cancelled
  bool cancelled = false;
  QStringList done;        // sources (or, for new folder, targets) fully handled
  QStringList skipped;     // left as they were at the user's answer
  QStringList failed;      // "path: reason", one per failure
  QStringList targets;     // where the done entries now are
  // One text for a message box: what failed, what was done; empty when ok.
  QString Report() const;
};

enum class TTransfer { Copy, Move };

class TFileOperations {
 public:
  // Copies or moves each source into the folder (paths without trailing "/"
  // for entries; the folder with or without one).
  static TOperationResult Transfer(const QStringList& sources, const QString& targetFolder, TTransfer kind,
                                   TOperationUi& ui);
  // Copies or moves one source to exactly this target path.
  static TOperationResult TransferTo(const QString& source, const QString& targetPath, TTransfer kind,
                                     TOperationUi& ui);
  // Renames the entry within its folder. Refuses an empty name, a name
  // holding "/", "." and "..", and an existing name (the error text then is
  // kExistsError). The same name changes nothing and is ok.
  static TOperationResult Rename(const QString& path, const QString& newName);
  // Deletes for good (folders with their content; links are removed, never followed).
  static TOperationResult DeletePermanently(const QStringList& paths, TOperationUi& ui);
  // Moves to the freedesktop trash; entries that cannot go there are named to
  // the user, who may delete them for good instead.
  static TOperationResult Trash(const QStringList& paths, TOperationUi& ui);
  // Moves one entry to the trash; on success inTrash holds where it is now.
  // False (and the entry where it was) when there is no usable trash.
  static bool MoveToTrash(const QString& path, QString* inTrash, QString* reason);
  // Creates folder + name, or, when that exists and numbered is set, the
  // first free "name(2)", "name(3)", ... The created path is targets[0].
  static TOperationResult NewFolder(const QString& folder, const QString& name, bool numbered);

  // The name a copy into its own folder gets: "a.txt" -> "a (copy).txt",
  // then "a (copy 2).txt", ...; folders and names without an extension get
  // the suffix at the end. `exists` says whether a name is taken.
  static QString CopyName(const QString& name, bool isFolder, const std::function<bool(const QString&)>& exists);

  // Test hooks: the write call used for file contents and the rename call
  // used for moves (to simulate a full disk or another file system).
  using TWriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
  using TRenameFunction = std::function<int(const char* from, const char* to, bool noReplace)>;
  static void SetWriteFunction(TWriteFunction write);
  static void SetRenameFunction(TRenameFunction rename);
};

// Error texts of the layer (English; the browser's message boxes show them).
inline const QString kExistsError = QStringLiteral("already exists");
inline const QString kNotFoundError = QStringLiteral("not found");
inline const QString kIntoItselfError = QStringLiteral("a folder cannot be copied or moved into itself");
inline const QString kBadNameError = QStringLiteral("invalid name");

}  // namespace vumo
