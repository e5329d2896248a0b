#include "browser/file_tree_walks.h"

#include "browser/file_names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vumo::file_ops {

namespace {

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

}  // namespace

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
  std::vector<Bytes> names;
  if (!EntryNames(path, &names)) {
    *error = errno;
    return false;
  }
  bool ok = true;
  for (const Bytes& name : names) ok = RemoveTree(JoinPath(path, name), error) && ok;
  if (!ok) return false;
  if (::rmdir(path.constData()) == 0) return true;
  *error = errno;
  return false;
}

std::int64_t TreeBytes(const Bytes& path, int depth) {
  struct stat st {};
  if (!Lstat(path, &st)) return 0;
  if (!S_ISDIR(st.st_mode)) return S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0;
  if (depth > kMaxTreeDepth) return 0;
  std::int64_t total = 0;
  ForEachEntry(path, [&](const TFolderEntry& entry) {
    total += TreeBytes(JoinPath(path, Bytes(entry.name)), depth + 1);
    return true;
  });
  return total;
}

bool SameTree(const Bytes& source, const Bytes& target, int depth) {
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
  if (depth > kMaxTreeDepth) return false;
  bool same = true;
  const bool opened = ForEachEntry(source, [&](const TFolderEntry& entry) {
    const Bytes name(entry.name);
    same = SameTree(JoinPath(source, name), JoinPath(target, name), depth + 1);
    return same;
  });
  return opened && same;
}

}  // namespace vumo::file_ops
