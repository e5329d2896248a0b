#include "browser/folder_scan.h"

#include "browser/file_names.h"
#include "browser/linux_shell.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vumo {

void ScanFolder(const QString& folder, std::vector<TScanEntry>& entries) {
  entries.clear();
  const QByteArray path = EncodeFileName(folder);
  const QByteArray where = path.isEmpty() ? QByteArray(".") : path;
  // Whether the user may write an entry follows from its mode bits and the
  // user's ids, found once here rather than asked of the kernel per entry.
  struct statvfs volume {};
  const bool readOnlyVolume = ::statvfs(where.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
  const uid_t userId = ::geteuid();
  std::vector<gid_t> groups(std::size_t(std::max(0, ::getgroups(0, nullptr))) + 1);
  groups.resize(std::size_t(std::max(0, ::getgroups(int(groups.size() - 1), groups.data()))));
  groups.push_back(::getegid());
  auto writable = [&](const struct stat& st) {
    if (readOnlyVolume) return false;
    if (userId == 0) return true;
    if (st.st_uid == userId) return (st.st_mode & S_IWUSR) != 0;
    if (std::find(groups.begin(), groups.end(), st.st_gid) != groups.end()) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
  };
  entries.reserve(256);
  ForEachEntry(where, [&](const TFolderEntry& entry) {
    const char* name = entry.name;
    TScanEntry scanned;
    struct stat st {};
    if (::fstatat(entry.folderFd, name, &st, 0) != 0) {
      // A broken link (or an entry gone since) is shown as a plain file.
      if (::fstatat(entry.folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
      st.st_mode = S_IFREG | (st.st_mode & 07777);
    }
    const bool parent = name[0] == '.' && name[1] == '.' && name[2] == '\0';
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
    else if (!S_ISREG(st.st_mode)) attributes |= kAttrSystem;
    if (name[0] == '.' && !parent) attributes |= kAttrHidden;
    if (!writable(st)) attributes |= kAttrReadOnly;
    scanned.name = DecodeFileName(QByteArray(name));
    scanned.attributes = attributes;
    scanned.size = S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0;
    scanned.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    entries.push_back(std::move(scanned));
    return true;
  }, TParentEntry::Keep);
}

}  // namespace vumo
