#include "browser/shell_services.h"

#include "browser/file_clipboard.h"
#include "browser/file_names.h"
#include "browser/linux_shell.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <sys/stat.h>

namespace vumo {

namespace {

bool DefaultFileManagerCall(const QString& method, const QString& uri) {
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return false;
  const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
  if (dbusSend.isEmpty()) return false;
  QProcess process;
  process.start(dbusSend, {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--reply-timeout=3000"),
                           QStringLiteral("--dest=org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                           QStringLiteral("org.freedesktop.FileManager1.") + method,
                           QStringLiteral("array:string:") + uri, QStringLiteral("string:")});
  if (!process.waitForFinished(4000)) {
    process.kill();
    process.waitForFinished(500);
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TFileManagerCall& FileManagerCall() {
  static TFileManagerCall call = DefaultFileManagerCall;
  return call;
}

QString FindDesktopFile(const QString& id) {
  return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
}

bool DefaultViewerLauncher(const QString& mimeType, const QString& file, QString* program) {
  *program = mimeType;
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty()) return false;
  QProcess query;
  query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
  if (!query.waitForFinished(3000)) {
    query.kill();
    return false;
  }
  const QString id = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
  if (id.isEmpty()) return false;
  *program = id;
  TDesktopEntry entry;
  const QString desktop = FindDesktopFile(id);
  if (desktop.isEmpty() || !ReadDesktopEntry(desktop, &entry) || entry.exec.isEmpty()) return false;
  return RunDesktopExec(entry.exec, {file});
}

TViewerLauncher& ViewerLauncher() {
  static TViewerLauncher launcher = DefaultViewerLauncher;
  return launcher;
}

TFolderOpener& FolderOpener() {
  static TFolderOpener opener = OpenWithDesktop;
  return opener;
}

QString DefaultFolderBrowser(QWidget* parent, const QString& title, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, title, start);
}

TFolderBrowser& FolderBrowser() {
  static TFolderBrowser browser = DefaultFolderBrowser;
  return browser;
}

// Splits an Exec= value into arguments (the quoting rules of desktop entries).
QStringList SplitExec(const QString& exec) {
  QStringList args;
  QString current;
  bool inQuotes = false, any = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (inQuotes) {
      if (c == QLatin1Char('\\') && i + 1 < exec.size()) current += exec[++i];
      else if (c == QLatin1Char('"')) inQuotes = false;
      else current += c;
    } else if (c == QLatin1Char('"')) {
      inQuotes = any = true;
    } else if (c.isSpace()) {
      if (any) args << current;
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) args << current;
  return args;
}

}  // namespace

bool ReadDesktopEntry(const QString& path, TDesktopEntry* entry) {
  QFile file(QFile::decodeName(EncodeFileName(path)));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  bool inGroup = false;
  *entry = TDesktopEntry();
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inGroup = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inGroup || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Type")) entry->type = value;
    else if (key == QLatin1String("Name")) entry->name = value;
    else if (key == QLatin1String("URL")) entry->url = value;
    else if (key == QLatin1String("Exec")) entry->exec = value;
    else if (key == QLatin1String("Icon")) entry->icon = value;
  }
  return entry->type == QLatin1String("Link") || entry->type == QLatin1String("Application");
}

bool WriteLinkEntry(const QString& path, const QString& name, const QString& target, const QString& icon) {
  const QByteArray text = "[Desktop Entry]\nVersion=1.0\nType=Link\nName=" + name.toUtf8() + "\nURL=" + FileUri(target) +
                          "\nIcon=" + icon.toUtf8() + "\n";
  const QByteArray bytes = EncodeFileName(path);
  QFile file(QFile::decodeName(bytes));
  if (QFile::encodeName(file.fileName()) != bytes) return false;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const bool written = file.write(text) == text.size();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    file.remove();
    return false;
  }
  // Desktops run (and trust) entries on the desktop only when they are executable.
  ::chmod(bytes.constData(), 0755);
  return true;
}

bool RunDesktopExec(const QString& exec, const QStringList& files) {
  QStringList args;
  bool placed = false;
  QStringList uris;
  for (const QString& f : files) uris << QString::fromUtf8(FileUri(f));
  for (const QString& arg : SplitExec(exec)) {
    if (arg == QLatin1String("%f") || arg == QLatin1String("%F")) {
      args << (arg == QLatin1String("%f") ? files.mid(0, 1) : files);
      placed = true;
    } else if (arg == QLatin1String("%u") || arg == QLatin1String("%U")) {
      args << (arg == QLatin1String("%u") ? uris.mid(0, 1) : uris);
      placed = true;
    } else if (arg.size() == 2 && arg[0] == QLatin1Char('%')) {
      continue;  // %i, %c, %k and the deprecated codes carry nothing we have
    } else {
      QString copy = arg;
      copy.replace(QStringLiteral("%%"), QStringLiteral("%"));
      args << copy;
    }
  }
  if (args.isEmpty()) return false;
  if (!placed) args << files;
  const QString program = args.takeFirst();
  return QProcess::startDetached(program, args);
}

void SetFileManagerCall(TFileManagerCall call) { FileManagerCall() = call ? std::move(call) : TFileManagerCall(DefaultFileManagerCall); }

bool CallFileManager(const QString& method, const QString& path) {
  return FileManagerCall()(method, QString::fromUtf8(FileUri(path)));
}

void SetViewerLauncher(TViewerLauncher launcher) {
  ViewerLauncher() = launcher ? std::move(launcher) : TViewerLauncher(DefaultViewerLauncher);
}

bool LaunchViewer(const QString& mimeType, const QString& file, QString* program) {
  return ViewerLauncher()(mimeType, file, program);
}

void SetFolderOpener(TFolderOpener opener) { FolderOpener() = opener ? std::move(opener) : TFolderOpener(OpenWithDesktop); }

bool OpenFolder(const QString& folder) { return FolderOpener()(folder); }

void SetFolderBrowser(TFolderBrowser browser) {
  FolderBrowser() = browser ? std::move(browser) : TFolderBrowser(DefaultFolderBrowser);
}

QString BrowseForFolder(QWidget* parent, const QString& title, const QString& start) {
  return FolderBrowser()(parent, title, start);
}

QString SendToFolder() {
  QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
  if (dataHome.isEmpty() || !dataHome.startsWith(QLatin1Char('/')))
    dataHome = QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/.local/share");
  return AddSlash(DecodeFileName(dataHome.toLocal8Bit()) + QStringLiteral("/vumo/SendTo"));
}

QString DesktopFolder() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  return desktop.isEmpty() ? QString() : AddSlash(desktop);
}

void ShowPropertiesDialog(QWidget* parent, const QString& path) {
  const QByteArray bytes = EncodeFileName(RemoveSlash(path));
  struct stat st {};
  const bool known = ::lstat(bytes.constData(), &st) == 0;
  QDialog dialog(parent);
  const QString name = NameOfPath(path);
  dialog.setWindowTitle(name + QStringLiteral(" Properties"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(QStringLiteral("Name:"), new QLabel(name));
  form->addRow(QStringLiteral("Folder:"), new QLabel(RemoveSlash(ParentOfPath(path))));
  QString type;
  if (known && S_ISDIR(st.st_mode)) type = QStringLiteral("Folder");
  else if (known && S_ISLNK(st.st_mode)) type = QStringLiteral("Link");
  else type = QMimeDatabase().mimeTypeForFile(QFile::decodeName(bytes), QMimeDatabase::MatchExtension).comment();
  form->addRow(QStringLiteral("Type:"), new QLabel(type));
  if (known) {
    const QLocale locale;
    form->addRow(QStringLiteral("Size:"), new QLabel(locale.toString(qlonglong(st.st_size)) + QStringLiteral(" bytes")));
    form->addRow(QStringLiteral("Modified:"),
                 new QLabel(locale.toString(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec), QLocale::LongFormat)));
    QString mode;
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) mode += (st.st_mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    form->addRow(QStringLiteral("Permissions:"), new QLabel(mode));
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  form->addRow(buttons);
  dialog.setObjectName(QStringLiteral("PropertiesDialog"));
  dialog.exec();
}

}  // namespace vumo
