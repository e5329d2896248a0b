#include "shell/picture_masks.h"

#include <QSet>
#include <QStringList>

#include "formats/format_registry.h"

namespace vumo {
namespace {

QSet<QString> ReadableSet() {
  QSet<QString> set;
  for (const std::string& extension : ReadableExtensions()) set.insert(QString::fromStdString(extension));
  return set;
}

// Whether the mask is these patterns followed only by patterns of readable extensions, as
// every built-in mask has been.
bool IsBuiltIn(const QString& stored, const QString& patterns, const QSet<QString>& readable) {
  if (stored == patterns) return true;
  if (!stored.startsWith(patterns + QLatin1Char(';'))) return false;
  const QStringList rest = stored.mid(patterns.size() + 1).split(QLatin1Char(';'));
  for (const QString& token : rest) {
    if (!token.startsWith(QLatin1String("*.")) || !readable.contains(token.mid(2))) return false;
  }
  return true;
}

}  // namespace

QString WithEveryReadableExtension(const QString& patterns) {
  QString mask = patterns;
  QSet<QString> present;
  for (const QString& token : patterns.split(QLatin1Char(';'))) present.insert(token.toLower());
  for (const std::string& extension : ReadableExtensions()) {
    const QString pattern = QStringLiteral("*.") + QString::fromStdString(extension);
    if (present.contains(pattern)) continue;
    present.insert(pattern);
    mask += QLatin1Char(';') + pattern;
  }
  return mask;
}

QString StartupMask() { return WithEveryReadableExtension(QString::fromLatin1(kStartupMask)); }

QString PictureMask() { return WithEveryReadableExtension(QString::fromLatin1(kPictureMask)); }

QString UpgradedMask(const QString& stored) {
  const QSet<QString> readable = ReadableSet();
  if (IsBuiltIn(stored, QString::fromLatin1(kStartupMask), readable)) return StartupMask();
  if (IsBuiltIn(stored, QString::fromLatin1(kPictureMask), readable)) return PictureMask();
  return stored;
}

}  // namespace vumo
