#include "browser/file_clipboard.h"

#include "browser/file_names.h"

#include <QDrag>
#include <QMimeData>
#include <QUrl>

namespace vumo {

int ClipboardMode = kClipCopy;

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnome = QStringLiteral("x-special/gnome-copied-files");
const QString kKde = QStringLiteral("application/x-kde-cutselection");
const QString kText = QStringLiteral("text/plain");

QList<QByteArray> Lines(const QByteArray& data) {
  QList<QByteArray> lines;
  for (QByteArray line : data.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) continue;
    lines << line;
  }
  return lines;
}
}  // namespace

QByteArray FileUri(const QString& path) {
  return QByteArrayLiteral("file://") + EncodeFileName(path).toPercentEncoding("/");
}

QString PathFromUri(const QByteArray& uri) {
  QByteArray rest;
  if (uri.startsWith("file:///")) rest = uri.mid(7);
  else if (uri.startsWith("file://localhost/")) rest = uri.mid(16);
  else if (uri.startsWith("file:/") && !uri.startsWith("file://")) rest = uri.mid(5);
  else return {};
  const qsizetype fragment = rest.indexOf('#');
  if (fragment >= 0) rest.truncate(fragment);
  return DecodeFileName(QByteArray::fromPercentEncoding(rest));
}

QMimeData* MakeFileMimeData(const QStringList& paths, bool cut) {
  auto* data = new QMimeData;
  QByteArray uris, gnome = cut ? QByteArrayLiteral("cut") : QByteArrayLiteral("copy");
  QStringList texts;
  for (const QString& path : paths) {
    const QByteArray uri = FileUri(path);
    uris += uri + "\r\n";
    gnome += '\n' + uri;
    texts << path;
  }
  // Set as raw data, so Qt does not re-encode the URIs of names that are not UTF-8.
  data->setData(kUriList, uris);
  data->setData(kGnome, gnome);
  data->setData(kKde, cut ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
  data->setData(kText, texts.join(QLatin1Char('\n')).toUtf8());
  return data;
}

TClipboardFiles ParseFileMimeData(const QMimeData* data) {
  TClipboardFiles files;
  if (data == nullptr) return files;
  if (data->hasFormat(kGnome)) {
    const QList<QByteArray> lines = Lines(data->data(kGnome));
    if (!lines.isEmpty()) {
      if (lines.first().trimmed() == "cut") files.mode = TClipMode::Cut;
      else if (lines.first().trimmed() == "copy") files.mode = TClipMode::Copy;
      for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString path = PathFromUri(lines[i].trimmed());
        if (!path.isEmpty()) files.paths << path;
      }
    }
  }
  if (files.paths.isEmpty() && data->hasFormat(kUriList)) {
    for (const QByteArray& line : Lines(data->data(kUriList))) {
      if (line.startsWith('#')) continue;
      const QString path = PathFromUri(line.trimmed());
      if (!path.isEmpty()) files.paths << path;
    }
  }
  if (files.paths.isEmpty() && data->hasFormat(kText)) {
    for (const QByteArray& line : Lines(data->data(kText))) {
      const QByteArray trimmed = line.trimmed();
      QString path = trimmed.startsWith("file:") ? PathFromUri(trimmed) : QString::fromUtf8(trimmed);
      if (path.startsWith(QLatin1Char('/')) && FileExists(path)) files.paths << path;
      else if (path.startsWith(QLatin1Char('/')) && FolderExists(path)) files.paths << path;
    }
  }
  if (data->hasFormat(kKde) && files.mode == TClipMode::Unknown) {
    const QByteArray marker = data->data(kKde).trimmed();
    if (marker == "1") files.mode = TClipMode::Cut;
    else if (marker == "0") files.mode = TClipMode::Copy;
  }
  return files;
}

void DragFiles(QObject* source, QMimeData* data, bool copy) {
  data->setData(kDragModeFormat, copy ? QByteArrayLiteral("copy") : QByteArrayLiteral("move"));
  auto* drag = new QDrag(source);
  drag->setMimeData(data);
  drag->exec(copy ? Qt::CopyAction : Qt::MoveAction, copy ? Qt::CopyAction : Qt::MoveAction);
}

bool HasFiles(const QMimeData* data) { return !ParseFileMimeData(data).paths.isEmpty(); }

}  // namespace vumo
