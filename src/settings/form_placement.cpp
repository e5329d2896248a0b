#include "settings/form_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QWindow>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "settings/props_storage.h"  // FindComponent

namespace vumo {

namespace {

TFormPlacement::TErrorHandler& ErrorHandler() {
  static TFormPlacement::TErrorHandler handler;
  return handler;
}

QString ClassName(const QObject* object) {
  QString name = QString::fromLatin1(object->metaObject()->className());
  return name.mid(name.lastIndexOf(u':') + 1);
}

QScreen* ReferenceScreen() { return QGuiApplication::primaryScreen(); }

int ScreenPixelsPerInch() {
  QScreen* screen = ReferenceScreen();
  return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

QString ScreenSuffix() {
  QScreen* screen = ReferenceScreen();
  QSize size = screen ? screen->geometry().size() : QSize();
  return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

// On Wayland a client cannot place its own windows; the compositor does.
bool CompositorPlacesWindows() {
  return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive);
}

QList<int> Words(const QString& text, const QList<int>& defaults) {
  static const QRegularExpression separators(QStringLiteral("[ ,]+"));
  const QStringList words = text.split(separators, Qt::SkipEmptyParts);
  QList<int> values = defaults;
  for (qsizetype i = 0; i < values.size() && i < words.size(); ++i) {
    values[i] = settings::StrToIntDef(words[i], defaults[i]);
  }
  return values;
}

QString FourNumbers(int a, int b, int c, int d) {
  return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

}  // namespace

bool TWinMinMaxInfo::DefaultMinMaxInfo() const { return *this == TWinMinMaxInfo(); }

// Opens the profile for one operation, unless one is already running.
class TFormPlacement::ProfileScope {
 public:
  explicit ProfileScope(TFormPlacement* owner) : owner_(owner), owns_(!owner->profile_) {
    if (owns_) owner_->profile_ = std::make_unique<settings::ProfileFile>(owner_->FileName());
  }
  ~ProfileScope() {
    if (owns_) owner_->profile_.reset();
  }
  ProfileScope(const ProfileScope&) = delete;
  ProfileScope& operator=(const ProfileScope&) = delete;
  void Commit() {
    if (!owns_ || !owner_->profile_->Modified()) return;
    owner_->profile_->UpdateFile();
    const QString setAside = owner_->profile_->SetAsidePath();
    if (!setAside.isEmpty())
      ReportError(Exception(FormatMessage(SSetAside, QFile::encodeName(owner_->profile_->Path()).constData(),
                                          QFile::encodeName(setAside).constData())));
  }

 private:
  TFormPlacement* owner_;
  bool owns_;
};

TFormPlacement::TFormPlacement(QWidget* window) : QObject(window), window_(window) {
  if (!window_) return;
  if (window_->isWindow()) options_ = TPlacementOptions(fpState) | fpPosition;
  window_->installEventFilter(this);
  // A widget announces its destruction before its children go, so the components are
  // still there to be saved.
  connect(window_, &QObject::destroyed, this, [this] { WindowDestroyed(); });
}

TFormPlacement::~TFormPlacement() {
  if (window_) window_->removeEventFilter(this);
}

void TFormPlacement::SetErrorHandler(TErrorHandler handler) { ErrorHandler() = std::move(handler); }

void TFormPlacement::ReportError(const std::exception& error) {
  if (ErrorHandler()) {
    ErrorHandler()(error);
  } else if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          QString::fromLocal8Bit(error.what()));
  }
}

QString TFormPlacement::FileName() const {
  if (!iniFileName_.isEmpty()) return iniFileName_;
  QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  qsizetype dot = program.lastIndexOf(u'.');
  if (dot > 0) program.truncate(dot);
  return program + QStringLiteral(".INI");
}

QString TFormPlacement::SectionName() const {
  if (!iniSection_.isEmpty()) return iniSection_;
  if (!window_) return QString();
  if (window_->isWindow()) return ClassName(window_);
  QWidget* form = window_->window();
  if (form && form != window_) return ClassName(form) + window_->objectName();
  QObject* parent = window_->parent();
  return (parent ? parent->objectName() : QString()) + window_->objectName();
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::Show:
      // Shows from the window system (coming back from minimised) are no new show.
      if (!event->spontaneous() && active_) {
        try {
          RestoreFormPlacement();
        } catch (const std::exception& error) {
          ReportError(error);
        }
      }
      return false;
    case QEvent::Close: {
      // The window decides about its closing first; only an accepted close saves.
      QObject* target = window_;
      target->event(event);
      if (event->isAccepted() && active_ && window_->isWindow() && window_->windowHandle()) {
        try {
          SaveFormPlacement();
        } catch (const std::exception& error) {
          ReportError(error);
        }
      }
      return true;
    }
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
      if (window_->isVisible() && window_->windowState() == Qt::WindowNoState) {
        frameOffset_ = window_->geometry().topLeft() - window_->frameGeometry().topLeft();
      }
      return false;
    default:
      return false;
  }
}

void TFormPlacement::WindowDestroyed() {
  if (active_ && !saved_) {
    destroying_ = true;
    try {
      SaveFormPlacement();
    } catch (const std::exception& error) {
      ReportError(error);
    }
    destroying_ = false;
  }
  window_ = nullptr;
}

void TFormPlacement::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Loaded();
}

QString TFormPlacement::ReadIniString(const QString& section, const QString& ident, const QString& defaultValue) {
  ProfileScope scope(this);
  return profile_->ReadString(section, ident, defaultValue);
}

void TFormPlacement::WriteIniString(const QString& section, const QString& ident, const QString& value) {
  ProfileScope scope(this);
  profile_->WriteString(section, ident, value);
  scope.Commit();
}

void TFormPlacement::EraseSection(const QString& section) {
  ProfileScope scope(this);
  profile_->EraseSection(section);
  scope.Commit();
}

QString TFormPlacement::ReadString(const QString& ident, const QString& defaultValue) {
  return ReadIniString(SectionName(), ident, defaultValue);
}

void TFormPlacement::WriteString(const QString& ident, const QString& value) {
  WriteIniString(SectionName(), ident, value);
}

int TFormPlacement::ReadInteger(const QString& ident, int defaultValue) {
  QString text = ReadIniString(SectionName(), ident, QString());
  return text.isEmpty() ? defaultValue : settings::StrToIntDef(text, defaultValue);
}

void TFormPlacement::WriteInteger(const QString& ident, int value) {
  WriteIniString(SectionName(), ident, QString::number(value));
}

void TFormPlacement::EraseSections() { EraseSection(SectionName()); }

void TFormPlacement::RestoreFormPlacement() {
  EnsureLoaded();
  saved_ = false;
  {
    ProfileScope scope(this);
    struct MarkRestored {
      bool& flag;
      ~MarkRestored() { flag = true; }
    } markRestored{restored_};
    if (ReadInteger(QStringLiteral("FormVersion"), 0) >= version_) {
      ReadPlacement();
      restored_ = true;
      if (OnRestorePlacement) OnRestorePlacement(this);
      if (options_.testFlag(fpActiveControl) && window_) {
        QString name = ReadString(QStringLiteral("ActiveControl"), QString());
        auto* control = qobject_cast<QWidget*>(settings::FindComponent(window_, name));
        if (control && control->focusPolicy() != Qt::NoFocus && control->isEnabled()) control->setFocus();
      }
    }
  }
  FixMaxPosition();
}

void TFormPlacement::SaveFormPlacement() {
  EnsureLoaded();
  if (!restored_ && active_) return;
  ProfileScope scope(this);
  // A failed save is reported once; the destruction that follows does not try again.
  struct MarkSaved {
    bool& flag;
    ~MarkSaved() { flag = true; }
  } markSaved{saved_};
  WriteString(QStringLiteral("FormVersion"), QString::number(version_));
  WritePlacement();
  if (OnSavePlacement) OnSavePlacement(this);
  scope.Commit();
}

void TFormPlacement::WritePlacement() { WritePlacementPart(); }

void TFormPlacement::ReadPlacement() { ReadPlacementPart(); }

TFormPlacement::Placement TFormPlacement::CurrentPlacement() const {
  Placement record;
  record.minPosition = minPosition_;
  record.maxPosition = maxPosition_;
  Qt::WindowStates state = window_->windowState();
  if (state & Qt::WindowMinimized) {
    record.showCmd = kShowMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) record.flags |= kRestoreToMaximized;
  } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
    record.showCmd = kShowMaximized;
  }
  // The normal rectangle is the frame's position with the client's size: both are what move()
  // and resize() take, so it round-trips whatever the window manager's frame measures.
  if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
    QRect normal = window_->normalGeometry();
    if (normal.isEmpty()) normal = window_->geometry();
    record.normal = QRect(normal.topLeft() - frameOffset_, normal.size());
  } else {
    record.normal = QRect(window_->pos(), window_->size());
  }
  return record;
}

bool TFormPlacement::Sizeable() const {
  return window_->minimumSize() != window_->maximumSize() &&
         !window_->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

void TFormPlacement::ApplyNormalRect(const QRect& rect) {
  // The numbers come from a file: sizes are bounded by the desktop, and a position on no
  // screen (a monitor since removed) is not applied, so the window can always be reached.
  qint64 left = rect.left();
  qint64 top = rect.top();
  qint64 width = static_cast<qint64>(rect.right()) - left;  // rect carries right and bottom as given
  qint64 height = static_cast<qint64>(rect.bottom()) - top;
  if (width <= 0 || height <= 0) return;
  // The screen the window overlaps most holds all of it: a window hanging off an edge, or
  // larger than that screen, is pulled and shrunk into it.
  bool onScreen = false;
  qint64 bestOverlap = 0;
  QRect home;
  for (QScreen* screen : QGuiApplication::screens()) {
    QRect area = screen->availableGeometry();
    const qint64 overlapWidth = std::min<qint64>(left + width, static_cast<qint64>(area.x()) + area.width()) -
                                std::max<qint64>(left, area.x());
    const qint64 overlapHeight = std::min<qint64>(top + height, static_cast<qint64>(area.y()) + area.height()) -
                                 std::max<qint64>(top, area.y());
    if (overlapWidth <= 0 || overlapHeight <= 0) continue;
    onScreen = true;
    if (overlapWidth * overlapHeight > bestOverlap) {
      bestOverlap = overlapWidth * overlapHeight;
      home = area;
    }
  }
  QRect desktop;
  for (QScreen* screen : QGuiApplication::screens()) desktop |= screen->availableGeometry();
  qint64 maxWidth = std::max<qint64>({desktop.width(), window_->width(), 1});
  qint64 maxHeight = std::max<qint64>({desktop.height(), window_->height(), 1});
  // A small overhang is the user's choice (window managers allow it); a window mostly off
  // its screen, or larger than it, came from a file that no longer fits this desktop.
  const bool mostlyOff = static_cast<double>(bestOverlap) * 4 < static_cast<double>(width) * static_cast<double>(height) * 3;
  width = std::min(width, maxWidth);
  height = std::min(height, maxHeight);
  if (onScreen && !home.isEmpty() && (mostlyOff || width > home.width() || height > home.height())) {
    // The frame, as far as the window system has told it, must fit too.
    const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
    width = std::max<qint64>(1, std::min<qint64>(width, home.width() - frame.width()));
    height = std::max<qint64>(1, std::min<qint64>(height, home.height() - frame.height()));
    left = std::clamp<qint64>(left, home.x(), static_cast<qint64>(home.x()) + home.width() - width);
    top = std::clamp<qint64>(top, home.y(), static_cast<qint64>(home.y()) + home.height() - height);
  }
  if (window_->windowState() != Qt::WindowNoState) window_->setWindowState(Qt::WindowNoState);
  window_->resize(static_cast<int>(width), static_cast<int>(height));
  if (!onScreen || CompositorPlacesWindows()) return;
  const QPoint framePosition(static_cast<int>(left), static_cast<int>(top));
  window_->move(framePosition);
  // Restoring at the first show, the window exists but a reparenting window manager has
  // not framed it yet, so the move above places the client, not the frame. Asking the
  // window system for the frame's position as well lets it place the frame itself.
  QWindow* handle = window_->windowHandle();
  if (handle != nullptr && !handle->isExposed() && window_->frameGeometry() == window_->geometry())
    handle->setFramePosition(framePosition);
}

void TFormPlacement::ReadPlacementPart() {
  if (!window_ || !window_->isWindow()) return;
  if (!(options_ & (TPlacementOptions(fpState) | fpPosition))) return;
  Placement record = CurrentPlacement();
  if (options_.testFlag(fpPosition)) {
    record.flags = ReadInteger(QStringLiteral("Flags"), record.flags);
    bool found = false;
    const QString suffix = ScreenSuffix();
    QString text = ReadString(QStringLiteral("MinMaxPos") + suffix, QString());
    if (text.isEmpty()) text = ReadString(QStringLiteral("MinMaxPos"), QString());
    if (!text.isEmpty()) {
      found = true;
      QList<int> words = Words(text, {0, 0, 0, 0});
      record.minPosition = QPoint(words[0], words[1]);
      record.maxPosition = QPoint(words[2], words[3]);
    }
    text = ReadString(QStringLiteral("NormPos") + suffix, QString());
    if (text.isEmpty()) text = ReadString(QStringLiteral("NormPos"), QString());
    qint64 left = record.normal.x();
    qint64 top = record.normal.y();
    qint64 right = left + record.normal.width();
    qint64 bottom = top + record.normal.height();
    if (!text.isEmpty()) {
      found = true;
      // A missing right or bottom keeps the window's size at the position that was read.
      QList<int> corner = Words(text, {static_cast<int>(left), static_cast<int>(top)});
      qint64 width = right - left;
      qint64 height = bottom - top;
      left = corner[0];
      top = corner[1];
      QList<int> words = Words(text, {0, 0, static_cast<int>(std::clamp<qint64>(left + width, INT32_MIN, INT32_MAX)),
                                      static_cast<int>(std::clamp<qint64>(top + height, INT32_MIN, INT32_MAX))});
      right = words[2];
      bottom = words[3];
    }
    // Positions measured at another pixels-per-inch setting mean other pixels.
    if (ReadInteger(QStringLiteral("PixelsPerInch"), ScreenPixelsPerInch()) != ScreenPixelsPerInch()) found = false;
    if (found) {
      if (!Sizeable()) {
        right = left + window_->width();
        bottom = top + window_->height();
      }
      if (right > left) {
        minPosition_ = record.minPosition;
        maxPosition_ = record.maxPosition;
        QRect rect;
        rect.setCoords(static_cast<int>(left), static_cast<int>(top),
                       static_cast<int>(std::clamp<qint64>(right, INT32_MIN, INT32_MAX)),
                       static_cast<int>(std::clamp<qint64>(bottom, INT32_MIN, INT32_MAX)));
        ApplyNormalRect(rect);
      }
    }
  }
  if (options_.testFlag(fpState)) {
    Qt::WindowStates state = Qt::WindowNoState;
    switch (ReadInteger(QStringLiteral("ShowCmd"), 0)) {
      case kShowNormal: case kShow: case kRestore:
        state = Qt::WindowNoState;
        break;
      case kShowMinimized: case kMinimize: case kShowMinNoActive:
        state = Qt::WindowMinimized;
        if (record.flags & kRestoreToMaximized) state |= Qt::WindowMaximized;
        break;
      case kShowMaximized:
        state = Qt::WindowMaximized;
        break;
      default:
        break;
    }
    if (window_->windowState() != state) window_->setWindowState(state);
  }
  window_->update();
}

void TFormPlacement::WritePlacementPart() {
  if (!window_ || !window_->isWindow()) return;
  if (options_ & (TPlacementOptions(fpState) | fpPosition)) {
    Placement record = CurrentPlacement();
    const QString suffix = ScreenSuffix();
    QString minMax = FourNumbers(record.minPosition.x(), record.minPosition.y(), record.maxPosition.x(),
                                 record.maxPosition.y());
    QRect n = record.normal;
    QString normal = FourNumbers(n.x(), n.y(), n.x() + n.width(), n.y() + n.height());
    WriteString(QStringLiteral("Flags"), QString::number(record.flags));
    WriteString(QStringLiteral("ShowCmd"), QString::number(record.showCmd));
    WriteString(QStringLiteral("PixelsPerInch"), QString::number(ScreenPixelsPerInch()));
    WriteString(QStringLiteral("MinMaxPos") + suffix, minMax);
    WriteString(QStringLiteral("MinMaxPos"), minMax);
    WriteString(QStringLiteral("NormPos") + suffix, normal);
    WriteString(QStringLiteral("NormPos"), normal);
    WriteString(QStringLiteral("Visible"), destroying_ ? QStringLiteral("1") : QStringLiteral("0"));
  }
  if (options_.testFlag(fpActiveControl)) {
    QWidget* focused = window_->focusWidget();
    if (focused && focused != window_ && !focused->objectName().isEmpty()) {
      WriteString(QStringLiteral("ActiveControl"), focused->objectName());
    }
  }
}

void TFormPlacement::FixMaxPosition() {
  if (!window_ || !window_->isWindow() || !window_->windowHandle() || preventResize_ ||
      !minMaxInfo_.DefaultMinMaxInfo()) {
    return;
  }
  // A maximised window sits with its frame just off the screen's edge.
  if (window_->windowFlags().testFlag(Qt::FramelessWindowHint)) {
    maxPosition_ = QPoint(0, 0);
  } else {
    QPoint frame = window_->geometry().topLeft() - window_->frameGeometry().topLeft();
    maxPosition_ = -frame;
  }
}

}  // namespace vumo
