// The file list's masks: the viewer's own short lists of patterns, followed by every other
// extension the format registry reads.
#pragma once

#include <QString>

namespace vumo {

// The patterns the masks start with. The start-up list leaves out "*.jpeg"; the picture
// list, set by the commands, has it. Earlier versions used exactly these as the masks.
inline constexpr const char* kStartupMask = "*.jpg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif";
inline constexpr const char* kPictureMask = "*.jpg;*.jpeg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif";
inline constexpr const char* kAllFilesMask = "*.*";

// The patterns followed by "*.ext" for each extension the registry reads that they lack.
QString WithEveryReadableExtension(const QString& patterns);
QString StartupMask();
QString PictureMask();
// A stored mask that is a built-in one, of this or an earlier version, becomes this version's;
// "*.*" and any other mask stay as they are.
QString UpgradedMask(const QString& stored);

}  // namespace vumo
