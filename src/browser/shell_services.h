#pragma once

// The shell services the file commands use, on a Linux desktop: the file manager's D-Bus interface, default applications
// by MIME type, desktop entries as shortcuts, the Send To folder and the
// desktop folder. Each service that reaches outside the process can be
// replaced (tests replace them; nothing here may block a test run).

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace vumo {

// A desktop entry (.desktop file) of Type=Link or Application.
struct TDesktopEntry {
  QString type;   // "Link" or "Application"
  QString name;   // Name=
  QString url;    // URL= of a link
  QString exec;   // Exec= of an application
  QString icon;   // Icon=
};
bool ReadDesktopEntry(const QString& path, TDesktopEntry* entry);
// Writes a link entry to a file; false when it cannot be written.
bool WriteLinkEntry(const QString& path, const QString& name, const QString& target, const QString& icon);
// Runs an Exec= line with the files for its field codes; false when it cannot start.
bool RunDesktopExec(const QString& exec, const QStringList& files);

// org.freedesktop.FileManager1.<method>([uri], ""); false when no file manager answered.
using TFileManagerCall = std::function<bool(const QString& method, const QString& uri)>;
void SetFileManagerCall(TFileManagerCall call);
bool CallFileManager(const QString& method, const QString& path);

// Opens the file with the desktop's default application for the MIME type;
// `program` names what was tried (the desktop id, or the type when there is none).
using TViewerLauncher = std::function<bool(const QString& mimeType, const QString& file, QString* program)>;
void SetViewerLauncher(TViewerLauncher launcher);
bool LaunchViewer(const QString& mimeType, const QString& file, QString* program);

// Opens a folder in the default file manager (the search command's fallback).
using TFolderOpener = std::function<bool(const QString& folder)>;
void SetFolderOpener(TFolderOpener opener);
bool OpenFolder(const QString& folder);

// The shell's folder browser; empty when cancelled.
using TFolderBrowser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
void SetFolderBrowser(TFolderBrowser browser);
QString BrowseForFolder(QWidget* parent, const QString& title, const QString& start);

// $XDG_DATA_HOME/vumo/SendTo (default ~/.local/share/vumo/SendTo), with a trailing "/".
QString SendToFolder();
// The XDG desktop folder, with a trailing "/".
QString DesktopFolder();

// Our own properties dialog: name, folder, type, size, modified, permissions.
void ShowPropertiesDialog(QWidget* parent, const QString& path);

}  // namespace vumo
