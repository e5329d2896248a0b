#include "browser/linux_shell.h"

#include "browser/file_names.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

namespace {

bool IsPseudoFileSystem(const QByteArray& type) {
  static const char* const kPseudo[] = {
      "proc",     "sysfs",     "cgroup",  "cgroup2",     "devtmpfs", "devpts",    "securityfs",
      "debugfs",  "tracefs",   "pstore",  "bpf",         "mqueue",   "hugetlbfs", "configfs",
      "fusectl",  "autofs",    "binfmt_misc", "nsfs",    "efivarfs", "rpc_pipefs", "selinuxfs",
      "overlay",  "squashfs",  "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "ramfs_internal",
      "nfsd",     "none"};
  for (const char* pseudo : kPseudo)
    if (type == pseudo) return true;
  return false;
}

bool IsSystemMountPoint(const QString& root) {
  static const char* const kPrefixes[] = {"/proc", "/sys", "/dev", "/run", "/snap", "/boot/efi", "/var/lib"};
  if (root.startsWith(QLatin1String("/run/media/"))) return false;
  for (const char* prefix : kPrefixes) {
    const QLatin1String p(prefix);
    if (root == p || root.startsWith(p + QLatin1Char('/'))) return true;
  }
  return false;
}

bool DeviceIsRemovable(const QByteArray& device) {
  if (!device.startsWith("/dev/")) return false;
  const QString name = QFile::decodeName(device.mid(5));
  if (name.contains(QLatin1Char('/'))) return false;
  const QString sysEntry = QStringLiteral("/sys/class/block/") + name;
  // A partition's flag lives on its parent disk.
  for (const QString& candidate : {sysEntry + QStringLiteral("/removable"), sysEntry + QStringLiteral("/../removable")}) {
    QFile flag(candidate);
    if (flag.open(QIODevice::ReadOnly)) return flag.read(2).startsWith('1');
  }
  return false;
}

int DriveTypeOf(const QStorageInfo& info, const QString& root) {
  const QByteArray type = info.fileSystemType();
  if (type == "iso9660" || type == "udf") return dtCdRom;
  if (type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" || type == "smbfs" ||
      type == "fuse.sshfs" || type == "9p" || type.startsWith("fuse.") || type == "afs" || type == "ncpfs")
    return dtNetwork;
  if (type == "tmpfs" || type == "ramfs") return dtRamDisk;
  if (DeviceIsRemovable(info.device()) || root.startsWith(QLatin1String("/media/")) ||
      root.startsWith(QLatin1String("/run/media/")))
    return dtRemovable;
  return dtFixed;
}

}  // namespace

QVector<TVolume> MountedVolumes() {
  QVector<TVolume> volumes;
  TVolume rootVolume;
  rootVolume.Root = QStringLiteral("/");
  rootVolume.DisplayName = QStringLiteral("/");
  bool haveRoot = false;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    const QString root = AddSlash(info.rootPath());
    if (root == QLatin1String("/")) {
      if (!info.name().isEmpty()) rootVolume.DisplayName = info.name();
      rootVolume.DriveType = info.fileSystemType() == "tmpfs" ? int(dtRamDisk) : int(dtFixed);
      haveRoot = true;
      continue;
    }
    if (!info.isValid() || IsPseudoFileSystem(info.fileSystemType()) || IsSystemMountPoint(RemoveSlash(root)))
      continue;
    // Containers bind single files (resolv.conf, hosts) as mounts.
    if (!FolderExists(root)) continue;
    TVolume volume;
    volume.Root = root;
    volume.DisplayName = info.name();
    if (volume.DisplayName.isEmpty()) volume.DisplayName = QDir(root).dirName();
    volume.DriveType = DriveTypeOf(info, root);
    if (std::any_of(volumes.cbegin(), volumes.cend(), [&](const TVolume& v) { return v.Root == root; })) continue;
    volumes.append(volume);
  }
  std::sort(volumes.begin(), volumes.end(), [](const TVolume& a, const TVolume& b) { return a.Root < b.Root; });
  (void)haveRoot;  // "/" is always there, even when the mount table hides it
  volumes.prepend(rootVolume);
  return volumes;
}

const TVolume* FindVolume(const QVector<TVolume>& volumes, const QString& root) {
  const QString wanted = AddSlash(root);
  for (const TVolume& volume : volumes)
    if (volume.Root == wanted) return &volume;
  return nullptr;
}

bool IsVolumeRoot(const QString& path) {
  if (path.isEmpty()) return false;
  if (AddSlash(path) == QLatin1String("/")) return true;
  // A folder on the same device as its parent is no mount point; that answers
  // almost every call without reading the mount table.
  struct stat self {}, parent {};
  const QByteArray bytes = EncodeFileName(AddSlash(path));
  if (::stat(bytes.constData(), &self) != 0) return false;
  if (::stat((bytes + "..").constData(), &parent) == 0 && self.st_dev == parent.st_dev && self.st_ino != parent.st_ino)
    return false;
  const QVector<TVolume> volumes = MountedVolumes();
  return FindVolume(volumes, path) != nullptr;
}

std::int64_t VolumeTotalBytes(const QString& root) {
  QStorageInfo info(root);
  if (!info.isValid() || !info.isReady()) return -1;
  return info.bytesTotal();
}

std::int64_t VolumeFreeBytes(const QString& root) {
  QStorageInfo info(root);
  if (!info.isValid() || !info.isReady()) return -1;
  return info.bytesAvailable();
}

bool VolumeReady(const QString& root) {
  if (!FolderExists(root)) return false;
  QStorageInfo info(root);
  return info.isValid() && info.isReady();
}

QString AttributeLetters(std::uint32_t attributes) {
  QString letters;
  if (attributes & kAttrArchive) letters += QLatin1Char('A');
  if (attributes & kAttrReadOnly) letters += QLatin1Char('R');
  if (attributes & kAttrHidden) letters += QLatin1Char('H');
  if (attributes & kAttrSystem) letters += QLatin1Char('S');
  return letters;
}

TFileTypes& TFileTypes::Instance() {
  static TFileTypes instance;
  return instance;
}

int TFileTypes::Add(Type type) {
  types_.append(std::move(type));
  return int(types_.size()) - 1;
}

int TFileTypes::FolderType() {
  if (folder_ < 0) {
    const QMimeType mime = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory"));
    QString name = mime.isValid() ? mime.comment() : QString();
    if (name.isEmpty()) name = QStringLiteral("Folder");
    folder_ = Add({name, QStringLiteral("folder"), QStringLiteral("folder"), 1, {}, false});
  }
  return folder_;
}

int TFileTypes::DriveType() {
  if (drive_ < 0) drive_ = Add({QStringLiteral("Volume"), QStringLiteral("drive-harddisk"), QStringLiteral("drive-harddisk"), 2, {}, false});
  return drive_;
}

int TFileTypes::ComputerType() {
  if (computer_ < 0) computer_ = Add({QStringLiteral("Computer"), QStringLiteral("computer"), QStringLiteral("computer"), 3, {}, false});
  return computer_;
}

int TFileTypes::ParentType() {
  if (parent_ < 0) parent_ = Add({QString(), QStringLiteral("go-up"), QStringLiteral("go-up"), 4, {}, false});
  return parent_;
}

int TFileTypes::TypeForFileName(const QString& name) {
  // Keyed by the lower-case suffix, as the type of a file was on the platform
  // the browser comes from; names without a suffix share one type.
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString key = dot > 0 ? name.mid(dot).toLower() : QString();
  const auto found = bySuffix_.constFind(key);
  if (found != bySuffix_.cend()) return *found;
  static const QMimeDatabase database;
  const QMimeType mime = key.isEmpty() ? database.mimeTypeForName(QStringLiteral("application/octet-stream"))
                                       : database.mimeTypeForFile(QStringLiteral("x") + key, QMimeDatabase::MatchExtension);
  int index;
  const auto known = byMime_.constFind(mime.name());
  if (known != byMime_.cend()) {
    index = *known;
  } else {
    QString typeName = mime.comment();
    if (typeName.isEmpty()) typeName = mime.name();
    index = Add({typeName, mime.iconName(), mime.genericIconName(), 0, {}, false});
    byMime_.insert(mime.name(), index);
  }
  bySuffix_.insert(key, index);
  return index;
}

QString TFileTypes::TypeName(int index) const {
  if (index < 0 || index >= types_.size()) return QString();
  return types_[index].name;
}

QIcon TFileTypes::Icon(int index) {
  if (index < 0 || index >= types_.size()) return QIcon();
  Type& type = types_[index];
  if (type.loaded) return type.icon;
  type.loaded = true;
  QIcon icon = QIcon::fromTheme(type.iconName);
  if (icon.isNull() && !type.genericIconName.isEmpty()) icon = QIcon::fromTheme(type.genericIconName);
  if (icon.isNull()) {
    static const QFileIconProvider provider;
    switch (type.fallback) {
      case 1: icon = provider.icon(QAbstractFileIconProvider::Folder); break;
      case 2: icon = provider.icon(QAbstractFileIconProvider::Drive); break;
      case 3: icon = provider.icon(QAbstractFileIconProvider::Computer); break;
      case 4: {
        icon = QIcon::fromTheme(QStringLiteral("go-parent-folder"));
        if (icon.isNull()) {
          // A plain drawn arrow when the desktop offers no theme at all.
          QPixmap pixmap(16, 16);
          pixmap.fill(Qt::transparent);
          QPainter painter(&pixmap);
          painter.setRenderHint(QPainter::Antialiasing);
          painter.setBrush(QColor(0x30, 0x60, 0xb0));
          painter.setPen(Qt::NoPen);
          const QPointF arrow[] = {{8, 1}, {15, 8}, {11, 8}, {11, 15}, {5, 15}, {5, 8}, {1, 8}};
          painter.drawPolygon(arrow, 7);
          painter.end();
          icon = QIcon(pixmap);
        }
        break;
      }
      default: icon = provider.icon(QAbstractFileIconProvider::File); break;
    }
  }
  type.icon = icon;
  return icon;
}

bool OpenWithDesktop(const QString& path) {
  // Built from the raw bytes, so a name that is not UTF-8 reaches the program intact.
  const QByteArray bytes = EncodeFileName(path);
  const QUrl url = QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes.toPercentEncoding("/"));
  return url.isValid() && QDesktopServices::openUrl(url);
}

bool SetCurrentFolder(const QString& path) {
  return ::chdir(EncodeFileName(path).constData()) == 0;
}

bool HasSubFolder(const QString& folder) {
  bool found = false;
  ForEachEntry(EncodeFileName(folder), [&found](const TFolderEntry& entry) {
    found = IsFolderEntry(entry);
    return !found;
  });
  return found;
}

}  // namespace vumo
