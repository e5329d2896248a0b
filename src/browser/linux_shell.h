#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <QVector>

#include <cstdint>

namespace vumo {

// Drive type codes of the drive view.
enum TDriveType : int {
  dtUnknown = 0,
  dtNotExist = 1,
  dtRemovable = 2,
  dtFixed = 3,
  dtNetwork = 4,
  dtCdRom = 5,
  dtRamDisk = 6,
};

// A mounted volume shown as a drive.
struct TVolume {
  QString Root;         // mount point with a trailing "/"
  QString DisplayName;  // label, or the last component of the mount point
  int DriveType = dtFixed;
};

// Real file systems only, "/" first, then by mount point.
QVector<TVolume> MountedVolumes();
// The volume whose root is exactly this path, or nullptr.
const TVolume* FindVolume(const QVector<TVolume>& volumes, const QString& root);
// True when the path is the root of a mounted volume.
bool IsVolumeRoot(const QString& path);
// Sizes in bytes; -1 when the volume cannot be read.
std::int64_t VolumeTotalBytes(const QString& root);
std::int64_t VolumeFreeBytes(const QString& root);
// The volume holding the path is mounted and ready.
bool VolumeReady(const QString& root);
// Does the folder hold at least one sub-folder (links to folders count)? The first one found
// ends the search.
bool HasSubFolder(const QString& folder);

// Attribute bits as the browser filters them.
enum : std::uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};
QString AttributeLetters(std::uint32_t attributes);

// Type names and icons, looked up by name only (never by content) and kept
// once per type: an entry refers to its type by index.
class TFileTypes {
 public:
  static TFileTypes& Instance();
  int FolderType();
  int DriveType();
  int ComputerType();
  int ParentType();
  int TypeForFileName(const QString& name);
  QString TypeName(int index) const;
  QIcon Icon(int index);  // loaded on first use
  int Count() const { return int(types_.size()); }

 private:
  TFileTypes() = default;
  struct Type {
    QString name;
    QString iconName;
    QString genericIconName;
    int fallback = 0;  // 0 file, 1 folder, 2 drive, 3 computer, 4 parent
    QIcon icon;
    bool loaded = false;
  };
  int Add(Type type);
  QVector<Type> types_;
  QHash<QString, int> bySuffix_;
  QHash<QString, int> byMime_;
  int folder_ = -1, drive_ = -1, computer_ = -1, parent_ = -1;
};

// Opens the file with the desktop's associated program; false when refused.
bool OpenWithDesktop(const QString& path);
bool SetCurrentFolder(const QString& path);

}  // namespace vumo
