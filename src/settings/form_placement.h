// A component that keeps a window's placement (position, size and state) in a profile file
// between runs. It attaches to the window by itself (an event filter for show and close,
// the destroyed signal for destruction); the window's code never calls it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

#include "formats/graphic.h"  // TNotifyEvent
#include "settings/profile_file.h"

namespace vumo {

// Size limits for the window; every field 0 means no limit. Kept for its bookkeeping only:
// the window hook that applied them is not part of this program.
struct TWinMinMaxInfo {
  int MaxPosLeft = 0;
  int MaxPosTop = 0;
  int MaxSizeHeight = 0;
  int MaxSizeWidth = 0;
  int MaxTrackHeight = 0;
  int MaxTrackWidth = 0;
  int MinTrackHeight = 0;
  int MinTrackWidth = 0;
  bool DefaultMinMaxInfo() const;
  bool operator==(const TWinMinMaxInfo&) const = default;
};

class TFormPlacement : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Active READ Active WRITE SetActive)
  Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
  Q_PROPERTY(QString IniSection READ IniSection WRITE SetIniSection)
  Q_PROPERTY(TPlacementOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(bool PreventResize READ PreventResize WRITE SetPreventResize)
  Q_PROPERTY(int Version READ Version WRITE SetVersion)

 public:
  enum TPlacementOption { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
  Q_DECLARE_FLAGS(TPlacementOptions, TPlacementOption)
  Q_FLAG(TPlacementOptions)

  // The component belongs to the window (a child of it) and attaches at once.
  explicit TFormPlacement(QWidget* window);
  ~TFormPlacement() override;

  QWidget* Window() const { return window_; }

  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  QString IniFileName() const { return iniFileName_; }
  void SetIniFileName(const QString& value) { iniFileName_ = value; }
  QString IniSection() const { return iniSection_; }
  void SetIniSection(const QString& value) { iniSection_ = value; }
  TPlacementOptions Options() const { return options_; }
  void SetOptions(TPlacementOptions value) { options_ = value; }
  bool PreventResize() const { return preventResize_; }
  void SetPreventResize(bool value) { preventResize_ = value; }
  int Version() const { return version_; }
  void SetVersion(int value) { version_ = value; }
  const TWinMinMaxInfo& MinMaxInfo() const { return minMaxInfo_; }
  void SetMinMaxInfo(const TWinMinMaxInfo& value) { minMaxInfo_ = value; }

  TNotifyEvent OnSavePlacement;
  TNotifyEvent OnRestorePlacement;

  // The profile name actually used (IniFileName, or the program's name with ".INI").
  QString FileName() const;
  // The section actually used (IniSection, or one made from the window's class).
  QString SectionName() const;

  void SaveFormPlacement();
  void RestoreFormPlacement();
  // One value in the section, opening the profile around the single access.
  QString ReadString(const QString& ident, const QString& defaultValue);
  void WriteString(const QString& ident, const QString& value);
  int ReadInteger(const QString& ident, int defaultValue);
  void WriteInteger(const QString& ident, int value);
  void EraseSections();

  bool Restored() const { return restored_; }

  // Errors during an automatic restore or save go here (the application's default handler,
  // as a rule); the window opens or closes regardless. Without a handler they are shown in
  // a critical message box.
  using TErrorHandler = std::function<void(const std::exception& error)>;
  static void SetErrorHandler(TErrorHandler handler);
  static void ReportError(const std::exception& error);

 protected:
  virtual void WritePlacement();
  virtual void ReadPlacement();
  virtual QString ReadIniString(const QString& section, const QString& ident, const QString& defaultValue);
  virtual void WriteIniString(const QString& section, const QString& ident, const QString& value);
  // The window has its components now; runs once, before the first restore or save.
  virtual void Loaded() {}

  bool eventFilter(QObject* watched, QEvent* event) override;

  // The open profile during one save or restore, else null.
  settings::ProfileFile* Profile() const { return profile_.get(); }
  void EraseSection(const QString& section);

  void WritePlacementPart();
  void ReadPlacementPart();
  bool saved_ = false;     // a save has run since the last restore
  bool restored_ = false;  // a restore has run
  bool loaded_ = false;    // the window's components have been looked up

 private:
  // The window states a profile keeps under "ShowCmd", numbered as the Windows window
  // placement record numbers them, so the profiles stay interchangeable with that record.
  enum ShowCmd : int {
    kShowNormal = 1,
    kShowMinimized = 2,
    kShowMaximized = 3,
    kShow = 5,
    kMinimize = 6,
    kShowMinNoActive = 7,
    kRestore = 9,
  };
  // A bit of "Flags": the minimised window goes back to maximised when restored.
  static constexpr int kRestoreToMaximized = 2;

  struct Placement {
    int flags = 0;
    int showCmd = kShowNormal;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normal;  // frame position and client size of the normal state
  };

  void WindowDestroyed();
  void EnsureLoaded();
  Placement CurrentPlacement() const;
  void ApplyNormalRect(const QRect& rect);
  void FixMaxPosition();
  bool Sizeable() const;
  class ProfileScope;

  QWidget* window_ = nullptr;
  bool active_ = true;
  QString iniFileName_;
  QString iniSection_;
  TPlacementOptions options_;
  bool preventResize_ = false;
  int version_ = 0;
  TWinMinMaxInfo minMaxInfo_;
  bool destroying_ = false;  // a save runs from the window's destruction
  QPoint minPosition_{-1, -1};
  QPoint maxPosition_{-1, -1};
  QPoint frameOffset_;  // client origin less frame origin, last seen in the normal state
  std::unique_ptr<settings::ProfileFile> profile_;
};

}  // namespace vumo

Q_DECLARE_OPERATORS_FOR_FLAGS(vumo::TFormPlacement::TPlacementOptions)
