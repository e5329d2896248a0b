#include "settings/profile_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo::settings {

namespace {

ProfileFile::WriteFunction& WriteHook() {
  static ProfileFile::WriteFunction hook;
  return hook;
}

ssize_t WriteBytes(int fd, const void* data, std::size_t size) {
  if (WriteHook()) return WriteHook()(fd, data, size);
  ssize_t written;
  do {
    written = ::write(fd, data, size);
  } while (written < 0 && errno == EINTR);
  return written;
}

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

QByteArray TrimBytes(const QByteArray& bytes) {
  qsizetype begin = 0;
  qsizetype end = bytes.size();
  while (begin < end && IsBlankByte(bytes[begin])) ++begin;
  while (end > begin && IsBlankByte(bytes[end - 1])) --end;
  return bytes.mid(begin, end - begin);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A line break or a NUL inside a name or value would split the line or cut the file short,
// and let a crafted folder name plant keys of its own.
bool Unsafe(const QString& text) {
  for (QChar c : text) {
    if (c == u'\n' || c == u'\r' || c == QChar(0)) return true;
  }
  return false;
}

}  // namespace

QString TrimBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin].unicode() <= u' ') ++begin;
  while (end > begin && text[end - 1].unicode() <= u' ') --end;
  return text.mid(begin, end - begin);
}

qint64 StrToInt64Def(const QString& text, qint64 defaultValue) {
  QString s = text.trimmed();
  bool negative = false;
  if (!s.isEmpty() && (s[0] == u'-' || s[0] == u'+')) {
    negative = s[0] == u'-';
    s.remove(0, 1);
  }
  int base = 10;
  if (s.startsWith(u"0x", Qt::CaseInsensitive)) {
    base = 16;
    s.remove(0, 2);
  } else if (s.startsWith(u'$')) {
    base = 16;
    s.remove(0, 1);
  }
  if (s.isEmpty()) return defaultValue;
  for (QChar c : s) {
    char16_t u = c.unicode();
    bool digit = u >= u'0' && u <= u'9';
    bool hexLetter = (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
    if (!digit && !(base == 16 && hexLetter)) return defaultValue;
  }
  bool ok = false;
  if (base == 16) {
    // Hexadecimal is a bit pattern: up to 16 digits, read as two's complement.
    if (s.size() > 16) return defaultValue;
    quint64 bits = s.toULongLong(&ok, 16);
    if (!ok) return defaultValue;
    qint64 value = static_cast<qint64>(bits);
    return negative ? static_cast<qint64>(0 - bits) : value;
  }
  quint64 magnitude = s.toULongLong(&ok, 10);
  if (!ok) return defaultValue;
  if (negative) {
    if (magnitude > 9223372036854775808ULL) return defaultValue;
    return magnitude == 9223372036854775808ULL ? INT64_MIN : -static_cast<qint64>(magnitude);
  }
  if (magnitude > static_cast<quint64>(INT64_MAX)) return defaultValue;
  return static_cast<qint64>(magnitude);
}

int StrToIntDef(const QString& text, int defaultValue) {
  QString s = text.trimmed();
  bool hex = s.contains(u'$') || s.contains(u"0x", Qt::CaseInsensitive);
  constexpr qint64 kSentinel = INT64_MIN;
  qint64 value = StrToInt64Def(s, kSentinel);
  if (value == kSentinel) return defaultValue;
  if (hex) {
    // "0xFFFFFFFF" is -1, as a 32-bit pattern; wider patterns do not fit.
    if (value < INT32_MIN || value > static_cast<qint64>(UINT32_MAX)) return defaultValue;
    return static_cast<int>(static_cast<quint32>(value));
  }
  if (value < INT32_MIN || value > INT32_MAX) return defaultValue;
  return static_cast<int>(value);
}

ProfileFile::ProfileFile(const QString& fileName) : fileName_(fileName), path_(ResolvePath(fileName)) {
  QFileInfo info(path_);
  if (!info.exists()) return;
  QFile file(path_);
  if (!info.isFile() || info.size() > kMaxProfileFileSize || !file.open(QIODevice::ReadOnly)) {
    loadable_ = false;
    return;
  }
  QByteArray data = file.read(kMaxProfileFileSize + 1);
  if (data.size() > kMaxProfileFileSize || file.error() != QFileDevice::NoError) {
    loadable_ = false;
    return;
  }
  if (data.isEmpty()) return;
  QList<QByteArray> rawLines = data.split('\n');
  endsWithNewline_ = data.endsWith('\n');
  if (endsWithNewline_) rawLines.removeLast();
  // The file keeps the line break its first line uses.
  if (!rawLines.isEmpty() && rawLines.first().endsWith('\r')) newline_ = "\r\n";
  lines_.reserve(static_cast<std::size_t>(rawLines.size()));
  for (QByteArray& raw : rawLines) {
    if (raw.endsWith('\r')) raw.chop(1);
    lines_.push_back(ParseLine(raw));
  }
}

QString ProfileFile::ResolvePath(const QString& fileName) {
  if (fileName.contains(u'/')) return QFileInfo(fileName).absoluteFilePath();
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // XDG rules say a relative XDG_CONFIG_HOME is to be ignored.
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(base + QStringLiteral("/Vumo/") + fileName);
}

ProfileFile::Line ProfileFile::ParseLine(const QByteArray& raw) {
  Line line;
  line.raw = raw;
  QByteArray text = TrimBytes(raw);
  if (text.isEmpty() || text[0] == ';' || text[0] == '#') return line;
  if (text[0] == '[') {
    qsizetype close = text.indexOf(']');
    line.kind = Line::kSection;
    line.name = QString::fromUtf8(TrimBytes(text.mid(1, close < 0 ? -1 : close - 1)));
    return line;
  }
  qsizetype equals = text.indexOf('=');
  if (equals <= 0) return line;
  line.kind = Line::kKey;
  line.name = QString::fromUtf8(TrimBytes(text.left(equals)));
  return line;
}

int ProfileFile::FindSection(const QString& section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::kSection && SameName(lines_[i].name, section)) return static_cast<int>(i);
  }
  return -1;
}

int ProfileFile::SectionEnd(int header) const {
  std::size_t i = static_cast<std::size_t>(header) + 1;
  while (i < lines_.size() && lines_[i].kind != Line::kSection) ++i;
  return static_cast<int>(i);
}

int ProfileFile::FindKey(int header, const QString& key) const {
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    const Line& line = lines_[static_cast<std::size_t>(i)];
    if (line.kind == Line::kKey && SameName(line.name, key)) return i;
  }
  return -1;
}

bool ProfileFile::SectionExists(const QString& section) const { return FindSection(section) >= 0; }

QString ProfileFile::ReadString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
  QString value = defaultValue;
  int header = FindSection(section);
  int index = header < 0 ? -1 : FindKey(header, key);
  if (index >= 0) {
    const QByteArray& raw = lines_[static_cast<std::size_t>(index)].raw;
    value = QString::fromUtf8(TrimBytes(raw.mid(raw.indexOf('=') + 1)));
  }
  // The profile read strips one pair of matching quotes, whether the text came from the file
  // or from the default, and hands back what fits its 2048-byte buffer.
  value = value.trimmed();
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
    value = value.mid(1, value.size() - 2);
  }
  if (value.size() > kMaxProfileValue) {
    qsizetype keep = kMaxProfileValue;
    if (value[keep - 1].isHighSurrogate()) --keep;
    value.truncate(keep);
  }
  return value;
}

int ProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  QString text = ReadString(section, key, QString());
  if (text.isEmpty()) return defaultValue;
  return StrToIntDef(text, defaultValue);
}

bool ProfileFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
  QString name = key.trimmed();
  QString sectionName = section.trimmed();
  if (name.isEmpty() || sectionName.isEmpty() || Unsafe(name) || Unsafe(sectionName) || Unsafe(value) ||
      name.contains(u'=') || name.startsWith(u'[') || name.startsWith(u';') || name.startsWith(u'#') ||
      sectionName.contains(u']')) {
    return;
  }
  QString text = value;
  // A value already in quotes would lose them on the way back; one more pair keeps them.
  if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front()) {
    text = u'"' + text + u'"';
  }
  QByteArray bytes = text.toUtf8();
  int header = FindSection(sectionName);
  if (header < 0) {
    Line headerLine = ParseLine("[" + sectionName.toUtf8() + "]");
    lines_.push_back(headerLine);
    lines_.push_back(ParseLine(name.toUtf8() + "=" + bytes));
    endsWithNewline_ = true;
    modified_ = true;
    return;
  }
  int index = FindKey(header, name);
  if (index >= 0) {
    Line& line = lines_[static_cast<std::size_t>(index)];
    QByteArray updated = line.raw.left(line.raw.indexOf('=') + 1) + bytes;
    if (updated != line.raw) {
      line.raw = updated;
      modified_ = true;
    }
    return;
  }
  // A new key goes after the section's last key, ahead of the blank lines and comments that
  // usually lead into the next section.
  int end = SectionEnd(header);
  int insertAt = header + 1;
  for (int i = header + 1; i < end; ++i) {
    if (lines_[static_cast<std::size_t>(i)].kind == Line::kKey) insertAt = i + 1;
  }
  if (insertAt == static_cast<int>(lines_.size())) endsWithNewline_ = true;
  lines_.insert(lines_.begin() + insertAt, ParseLine(name.toUtf8() + "=" + bytes));
  modified_ = true;
}

void ProfileFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void ProfileFile::WriteBool(const QString& section, const QString& key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::EraseSection(const QString& section) {
  // Every copy goes: erasing only the first would bring a stale duplicate to light.
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  bool erasing = false;
  for (Line& line : lines_) {
    if (line.kind == Line::kSection) erasing = SameName(line.name, section);
    if (erasing) {
      modified_ = true;
    } else {
      kept.push_back(std::move(line));
    }
  }
  lines_ = std::move(kept);
}

QByteArray ProfileFile::Contents() const {
  QByteArray out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].raw;
    if (i + 1 < lines_.size() || endsWithNewline_) out += newline_;
  }
  return out;
}

void ProfileFile::Fail() const {
  throw EIniFileException(FormatMessage(SWriteError, QFile::encodeName(path_).constData()));
}

bool ProfileFile::SetAside() {
  const QByteArray from = QFile::encodeName(path_);
  struct stat st {};
  if (::lstat(from.constData(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  for (int n = 1; n < 1000; ++n) {
    const QString to = path_ + QStringLiteral(".bad") + (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
    const QByteArray target = QFile::encodeName(to);
    // Never over an earlier one: the kernel refuses the rename when the name is taken.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
      setAsidePath_ = to;
      return true;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: look first, then rename.
    struct stat taken {};
    if (::lstat(target.constData(), &taken) == 0) continue;
    if (::rename(from.constData(), target.constData()) != 0) return false;
    setAsidePath_ = to;
    return true;
  }
  return false;
}

void ProfileFile::SetWriteFunction(WriteFunction function) { WriteHook() = std::move(function); }

void ProfileFile::UpdateFile() {
  // A file we could not read is not ours to replace, but refusing every save for good
  // would lose the user's settings from now on: move it aside and start afresh.
  if (!loadable_) {
    if (!SetAside()) Fail();
    loadable_ = true;
  }
  QFileInfo info(path_);
  QString target = path_;
  if (info.isSymLink() && info.exists()) target = info.canonicalFilePath();  // keep the link
  QString folder = QFileInfo(target).absolutePath();
  if (!QDir().mkpath(folder)) Fail();

  QByteArray templ = QFile::encodeName(folder + QStringLiteral("/.") + QFileInfo(target).fileName() + QStringLiteral(".XXXXXX"));
  int fd = ::mkstemp(templ.data());
  if (fd < 0) Fail();
  auto abandon = [&] {
    if (fd >= 0) ::close(fd);
    ::unlink(templ.constData());
    Fail();
  };
  struct stat old {};
  if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
    ::fchmod(fd, old.st_mode & 07777);
  } else {
    ::fchmod(fd, 0644);
  }
  QByteArray data = Contents();
  constexpr std::size_t kChunk = 64 * 1024;
  for (std::size_t done = 0; done < static_cast<std::size_t>(data.size());) {
    std::size_t size = std::min(kChunk, static_cast<std::size_t>(data.size()) - done);
    // A short write means a full disk or a quota; the old file must survive it.
    if (WriteBytes(fd, data.constData() + done, size) != static_cast<ssize_t>(size)) abandon();
    done += size;
  }
  if (::fsync(fd) != 0) abandon();
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0) abandon();
  if (::rename(templ.constData(), QFile::encodeName(target).constData()) != 0) abandon();
  int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  modified_ = false;
}

}  // namespace vumo::settings
