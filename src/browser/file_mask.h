#pragma once

#include <QString>
#include <QStringList>

namespace vumo {

// One wildcard pattern with the matching rules of the browser: "*" any run of
// characters, "?" exactly one, letters compared ignoring case, and a final
// ".*" also matches a name without any dot, so "*.*" matches every name.
class TFileMask {
 public:
  explicit TFileMask(const QString& pattern = QString());
  bool Matches(const QString& name) const;
  const QString& Pattern() const { return pattern_; }

 private:
  QString pattern_;
  QString folded_;
  bool matchAll_ = false;
};

// The mask text as the file list reads it: blanks trimmed from both ends, empty
// meaning "*.*", then split at each ";" without trimming the pieces.
QStringList SplitMask(const QString& mask);

}  // namespace vumo
