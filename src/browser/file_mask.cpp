#include "browser/file_mask.h"

namespace vumo {

namespace {

QString Fold(const QString& text) { return text.toCaseFolded(); }

// Iterative glob match with one backtrack point per "*", linear in practice.
bool Glob(QStringView pattern, QStringView name) {
  qsizetype p = 0, n = 0, starP = -1, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
      starP = p++;
      starN = n;
    } else if (starP >= 0) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == QLatin1Char('*')) ++p;
  return p == pattern.size();
}

}  // namespace

TFileMask::TFileMask(const QString& pattern)
    : pattern_(pattern), folded_(Fold(pattern)), matchAll_(pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {}

bool TFileMask::Matches(const QString& name) const {
  if (matchAll_) return true;
  if (folded_.isEmpty()) return false;
  const QString folded = Fold(name);
  if (Glob(folded_, folded)) return true;
  // "name.*" also takes "name" itself, as the platform the browser came from does.
  if (folded_.endsWith(QLatin1String(".*")) && !folded.contains(QLatin1Char('.')))
    return Glob(QStringView(folded_).chopped(2), folded);
  return false;
}

QStringList SplitMask(const QString& mask) {
  qsizetype begin = 0, end = mask.size();
  while (begin < end && mask.at(begin) == QLatin1Char(' ')) ++begin;
  while (end > begin && mask.at(end - 1) == QLatin1Char(' ')) --end;
  QString rest = mask.mid(begin, end - begin);
  if (rest.isEmpty()) rest = QStringLiteral("*.*");
  QStringList tokens;
  for (;;) {
    const qsizetype semicolon = rest.indexOf(QLatin1Char(';'));
    if (semicolon < 0) {
      tokens.append(rest);
      break;
    }
    tokens.append(rest.left(semicolon));
    rest.remove(0, semicolon + 1);
    if (rest.isEmpty()) break;
  }
  return tokens;
}

}  // namespace vumo
