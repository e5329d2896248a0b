// The transfer engine: copy and move of files, links and folder trees, with
// part files, merges, and the copy-verify-delete move across file systems.
#include "browser/file_job.h"
#include "browser/file_names.h"
#include "browser/file_tree_walks.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vumo {

namespace {

using namespace file_ops;

// One running copy or move.
class TTransferJob : public TFileJob {
 public:
  using TFileJob::TFileJob;

  // One entry the user named: a folder never goes into itself; with
  // checkSameFolder, a copy into its own folder gets a new name and a move
  // there changes nothing. The outcome of the whole entry is listed here.
  Outcome Top(const Bytes& source, const Bytes& target, TTransfer kind, bool checkSameFolder) {
    struct stat st {};
    if (!Lstat(source, &st)) {
      Fail(source, LookupError(errno));
      return Outcome::Failed;
    }
    // A real folder never goes into itself or below itself.
    if (S_ISDIR(st.st_mode)) {
      const Bytes realSource = RealPath(source);
      const Bytes realTargetFolder = RealFolderOf(target);
      if (!realSource.isEmpty() && !realTargetFolder.isEmpty() &&
          (realTargetFolder == realSource || realTargetFolder.startsWith(realSource + '/'))) {
        Fail(source, kIntoItselfError);
        return Outcome::Failed;
      }
    }
    Bytes to = target;
    if (checkSameFolder) {
      const Bytes realSourceFolder = RealFolderOf(source);
      if (!realSourceFolder.isEmpty() && realSourceFolder == RealFolderOf(target) &&
          NameOfPath(source) == NameOfPath(target)) {
        if (kind == TTransfer::Move) {
          // Moving an entry to where it is changes nothing.
          result_.done << Dec(source);
          result_.targets << Dec(source);
          return Outcome::Done;
        }
        const Bytes folder = ParentOfPath(target);
        const QString name = TFileOperations::CopyName(Dec(NameOfPath(source)), S_ISDIR(st.st_mode), [&](const QString& n) {
          struct stat any {};
          return Lstat(folder + Enc(n), &any) || errno != ENOENT;
        });
        to = folder + Enc(name);
      }
    }
    const Outcome outcome = kind == TTransfer::Copy ? CopyEntry(source, to, 0) : MoveEntry(source, to, 0);
    if (outcome == Outcome::Done) {
      result_.done << Dec(source);
      result_.targets << Dec(to);
    } else if (outcome == Outcome::Skipped) {
      result_.skipped << Dec(source);
    }
    return outcome;
  }

 private:
  struct TTargetPlan {
    Outcome outcome = Outcome::Done;  // Done: go on
    struct stat source {};
    bool targetExists = false;        // then replaced (files, links) or merged into (folders)
  };

  // What copy and move do before an entry goes anywhere: read the source,
  // tell progress, and settle an existing target with the user.
  TTargetPlan PlanTarget(const Bytes& source, const Bytes& target, int depth) {
    TTargetPlan plan;
    if (cancelled_) {
      plan.outcome = Outcome::Cancelled;
      return plan;
    }
    if (!Lstat(source, &plan.source)) {
      Fail(source, LookupError(errno));
      plan.outcome = Outcome::Failed;
      return plan;
    }
    if (!Tick(source)) {
      plan.outcome = Outcome::Cancelled;
      return plan;
    }
    struct stat existing {};
    if (!Lstat(target, &existing)) return plan;
    plan.targetExists = true;
    const bool sourceFolder = S_ISDIR(plan.source.st_mode);
    if (sourceFolder != S_ISDIR(existing.st_mode)) {
      // A folder never replaces a file, nor a file a folder: nothing the user did not ask for is lost.
      Fail(source, Dec(target) + QLatin1Char(' ') + kExistsError);
      plan.outcome = Outcome::Failed;
      return plan;
    }
    plan.outcome = Conflict(source, target, sourceFolder);
    // An entry the user named is listed by Top, with the outcome of all of it;
    // one met on the way through a folder is listed here, where it was skipped.
    if (plan.outcome == Outcome::Skipped && depth > 0) result_.skipped << Dec(source);
    return plan;
  }

  Outcome CopyEntry(const Bytes& source, const Bytes& target, int depth) {
    const TTargetPlan plan = PlanTarget(source, target, depth);
    if (plan.outcome != Outcome::Done) return plan.outcome;
    return CopyAs(source, target, plan.source, depth, plan.targetExists);
  }

  Outcome MoveEntry(const Bytes& source, const Bytes& target, int depth) {
    const TTargetPlan plan = PlanTarget(source, target, depth);
    if (plan.outcome != Outcome::Done) return plan.outcome;
    if (plan.targetExists && S_ISDIR(plan.source.st_mode)) return MergeFolder(source, target, depth);
    const bool replace = plan.targetExists;
    if (RenameFunction()(source.constData(), target.constData(), !replace) == 0) return Outcome::Done;
    const int error = errno;
    if (error != EXDEV) {
      Fail(source, error == EEXIST ? kExistsError : LookupError(error));
      return Outcome::Failed;
    }
    // Another file system: copy, check the copy, and only then remove the source.
    const Outcome copied = CopyAs(source, target, plan.source, depth, replace);
    if (copied != Outcome::Done) return copied;
    if (!SameTree(source, target)) {
      if (!replace) {
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

  // Copies by kind; an existing target is replaced (files, links) or merged into (folders).
  Outcome CopyAs(const Bytes& source, const Bytes& target, const struct stat& st, int depth, bool targetExists) {
    if (S_ISDIR(st.st_mode)) return CopyFolder(source, target, st, targetExists, depth);
    if (S_ISLNK(st.st_mode)) return CopyLink(source, target, targetExists);
    if (S_ISREG(st.st_mode)) return CopyFile(source, target, st, targetExists);
    Fail(source, QStringLiteral("not a regular file, folder or link"));
    return Outcome::Failed;
  }

  // Puts a finished part file or link in place; false (error set) when it is not.
  static bool Place(const Bytes& part, const Bytes& target, bool replace, int* error) {
    const bool placed = replace ? ::rename(part.constData(), target.constData()) == 0
                                : RenameEntry(part.constData(), target.constData(), true) == 0;
    if (!placed) *error = errno;
    return placed;
  }

  Outcome CopyFile(const Bytes& source, const Bytes& target, const struct stat& st, bool replace) {
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
      Fail(source, LookupError(errno));
      return Outcome::Failed;
    }
    Bytes part = ParentOfPath(target) + ".vumo-part-XXXXXX";
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
      const decltype(st.st_mtim) times[2] = {st.st_atim, st.st_mtim};
      ::futimens(out, times);
      if (::fsync(out) != 0 && errno != EINVAL && errno != EROFS) error = errno;
    }
    if (::close(out) != 0 && error == 0 && !cancelled) error = errno;
    if (error == 0 && !cancelled && Place(part, target, replace, &error)) return Outcome::Done;
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
      Fail(source, LookupError(errno));
      return Outcome::Failed;
    }
    const Bytes linkTarget(buffer.data(), n);
    // A link is made under a free part name, then put in place like a file.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const Bytes part = ParentOfPath(target) + ".vumo-link-" + Bytes::number(qulonglong(::getpid())) + '-' +
                         Bytes::number(attempt);
      if (::symlink(linkTarget.constData(), part.constData()) != 0) {
        if (errno == EEXIST) continue;
        Fail(source, ErrorText(errno));
        return Outcome::Failed;
      }
      int error = 0;
      if (Place(part, target, replace, &error)) return Outcome::Done;
      ::unlink(part.constData());
      Fail(source, error == EEXIST ? kExistsError : ErrorText(error));
      return Outcome::Failed;
    }
    Fail(source, ErrorText(EEXIST));
    return Outcome::Failed;
  }

  // Takes each named entry of source to its place in target; stops at the
  // first failure or cancel, and is Skipped when anything on the way was.
  template <typename Step>
  static Outcome EachEntry(const Bytes& source, const Bytes& target, const std::vector<Bytes>& names, Step step) {
    Outcome outcome = Outcome::Done;
    for (const Bytes& name : names) {
      const Outcome child = step(JoinPath(source, name), JoinPath(target, name));
      if (child == Outcome::Failed || child == Outcome::Cancelled) return child;
      if (child == Outcome::Skipped) outcome = Outcome::Skipped;
    }
    return outcome;
  }

  Outcome CopyFolder(const Bytes& source, const Bytes& target, const struct stat& st, bool merge, int depth) {
    if (depth > kMaxTreeDepth) {
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
    std::vector<Bytes> names;
    if (!EntryNames(source, &names)) {
      const int error = errno;
      if (created) ::rmdir(target.constData());
      Fail(source, LookupError(error));
      return Outcome::Failed;
    }
    const Outcome outcome = EachEntry(source, target, names, [&](const Bytes& from, const Bytes& to) {
      return CopyEntry(from, to, depth + 1);
    });
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
      const decltype(st.st_mtim) times[2] = {st.st_atim, st.st_mtim};
      ::utimensat(AT_FDCWD, target.constData(), times, AT_SYMLINK_NOFOLLOW);
    }
    return outcome;
  }

  // Moves every entry of the folder into the existing one, then removes the emptied source.
  Outcome MergeFolder(const Bytes& source, const Bytes& target, int depth) {
    if (depth > kMaxTreeDepth) {
      Fail(source, ErrorText(ELOOP));
      return Outcome::Failed;
    }
    std::vector<Bytes> names;
    if (!EntryNames(source, &names)) {
      Fail(source, ErrorText(errno));
      return Outcome::Failed;
    }
    const Outcome outcome = EachEntry(source, target, names, [&](const Bytes& from, const Bytes& to) {
      return MoveEntry(from, to, depth + 1);
    });
    if (outcome == Outcome::Done) ::rmdir(source.constData());
    return outcome;
  }
};

}  // namespace

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
  TTransferJob job(ui, result);
  const Bytes folder = Enc(targetFolder);
  for (const QString& source : sources) {
    if (kind == TTransfer::Copy) job.total += TreeBytes(Enc(source));
  }
  struct stat st {};
  if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    result.failed << targetFolder + QStringLiteral(": ") + kNotFoundError;
    Finish(result);
    return result;
  }
  for (const QString& source : sources) {
    const Bytes from = Enc(RemoveSlash(source));
    const Outcome outcome = job.Top(from, JoinPath(folder, NameOfPath(from)), kind, true);
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
  TTransferJob job(ui, result);
  const Bytes from = Enc(RemoveSlash(source));
  if (kind == TTransfer::Copy) job.total = TreeBytes(from);
  if (job.Top(from, Enc(RemoveSlash(targetPath)), kind, false) == Outcome::Cancelled) result.cancelled = true;
  Finish(result);
  return result;
}

}  // namespace vumo
