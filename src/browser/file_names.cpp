#include "browser/file_names.h"

#include <sys/stat.h>

namespace vumo {

namespace {

// Length of the well-formed UTF-8 sequence at data[i], or 0 when it is not one.
int Utf8SequenceLength(const unsigned char* data, qsizetype size, qsizetype i) {
  const unsigned char lead = data[i];
  if (lead < 0x80) return 1;
  int length = 0;
  char32_t min = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) { length = 2; min = 0x80; cp = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; min = 0x800; cp = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; min = 0x10000; cp = lead & 0x07; }
  else return 0;
  if (i + length > size) return 0;
  for (int k = 1; k < length; ++k) {
    const unsigned char c = data[i + k];
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

QString DecodeFileName(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype size = bytes.size();
  // Fast path: almost every name is valid UTF-8.
  bool valid = true;
  for (qsizetype i = 0; i < size;) {
    const int length = Utf8SequenceLength(data, size, i);
    if (length == 0) { valid = false; break; }
    i += length;
  }
  if (valid) return QString::fromUtf8(bytes);
  QString result;
  result.reserve(size);
  for (qsizetype i = 0; i < size;) {
    const int length = Utf8SequenceLength(data, size, i);
    if (length == 0) {
      result.append(QChar(char16_t(0xDC00 + data[i])));
      ++i;
    } else {
      result.append(QString::fromUtf8(bytes.constData() + i, length));
      i += length;
    }
  }
  return result;
}

QByteArray EncodeFileName(const QString& name) {
  bool escaped = false;
  for (QChar c : name) {
    const char16_t u = c.unicode();
    if (u >= 0xDC80 && u <= 0xDCFF) { escaped = true; break; }
  }
  if (!escaped) return name.toUtf8();
  QByteArray result;
  result.reserve(name.size() * 3);
  qsizetype runStart = 0;
  for (qsizetype i = 0; i <= name.size(); ++i) {
    const bool atEnd = i == name.size();
    const char16_t u = atEnd ? 0 : name.at(i).unicode();
    // A lone low surrogate in 0xDC80..0xDCFF is an escaped byte; a low
    // surrogate that completes a pair is part of a real character.
    const bool isEscape = !atEnd && u >= 0xDC80 && u <= 0xDCFF &&
                          !(i > 0 && name.at(i - 1).isHighSurrogate());
    if (atEnd || isEscape) {
      result.append(QStringView(name).mid(runStart, i - runStart).toUtf8());
      if (isEscape) result.append(char(u - 0xDC00));
      runStart = i + 1;
    }
  }
  return result;
}

QString AddSlash(const QString& path) {
  if (path.endsWith(QLatin1Char('/'))) return path;
  return path + QLatin1Char('/');
}

QString RemoveSlash(const QString& path) {
  if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) return path.left(path.size() - 1);
  return path;
}

bool IsDrivesName(const QString& value) {
  return value.compare(kDrivesName, Qt::CaseInsensitive) == 0;
}

bool FolderExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace vumo
