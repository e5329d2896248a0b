#pragma once

// The clipboard of files as Linux desktops share it. One QMimeData carries
// text/uri-list, x-special/gnome-copied-files ("copy" or "cut", then one URI a
// line, no trailing newline), application/x-kde-cutselection ("1" for cut,
// "0" for copy) and text/plain (one path a line). URIs are built from the raw
// bytes of the names, so names that are not UTF-8 survive the trip.

#include <QString>
#include <QStringList>

class QMimeData;
class QObject;

namespace vumo {

enum class TClipMode { Unknown, Copy, Cut };

// The browser's own cut and copy mode: copy 0, move 2, -1 while collecting.
// One for the whole browser, so a paste in the list follows a cut in the tree.
inline constexpr int kClipCopy = 0;
inline constexpr int kClipMove = 2;
extern int ClipboardMode;

struct TClipboardFiles {
  QStringList paths;
  TClipMode mode = TClipMode::Unknown;  // from a cut or copy marker, when one was present
};

QMimeData* MakeFileMimeData(const QStringList& paths, bool cut);
// Whether a drag between the browser's controls moves or copies ("move" or "copy").
inline const QString kDragModeFormat = QStringLiteral("application/x-vumo-drag-mode");
// Drags files from `source` with what MakeFileMimeData made, marked as a move or a copy;
// returns when the drop is done.
void DragFiles(QObject* source, QMimeData* data, bool copy);
// Reads the formats in the order gnome-copied-files, uri-list, text/plain
// (absolute paths or file URIs only); the marker of the GNOME or KDE format
// sets the mode.
TClipboardFiles ParseFileMimeData(const QMimeData* data);
bool HasFiles(const QMimeData* data);

// file:// URI of a path and back, by bytes.
QByteArray FileUri(const QString& path);
QString PathFromUri(const QByteArray& uri);

}  // namespace vumo
