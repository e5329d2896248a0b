// The graphic base class: something a picture holds, loads from a stream and draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/stream.h"

namespace vumo {

class TGraphic;
class TBitmap;

// A picture file or a graphic's content is not what its reader expects.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// A class reference with a virtual constructor and the "inherits from" test that the
// framework's class references give.
struct TGraphicClassInfo {
  const char* ClassName;
  const TGraphicClassInfo* Parent;
  std::unique_ptr<TGraphic> (*Create)();

  bool InheritsFrom(const TGraphicClassInfo* ancestor) const {
    for (const TGraphicClassInfo* c = this; c; c = c->Parent)
      if (c == ancestor) return true;
    return false;
  }
};
using TGraphicClass = const TGraphicClassInfo*;

// Declares ClassInfo() and ClassType() for a concrete graphic class.
#define VUMO_GRAPHIC_CLASS(Class)                          \
 public:                                                   \
  static TGraphicClass ClassInfo();                        \
  TGraphicClass ClassType() const override { return ClassInfo(); }

// Defines them; Parent is the base class, or nullptr for the root.
#define VUMO_DEFINE_GRAPHIC_CLASS(Class, ParentInfo)                                              \
  TGraphicClass Class::ClassInfo() {                                                            \
    static const TGraphicClassInfo info{#Class, ParentInfo, []() -> std::unique_ptr<TGraphic> { \
                                          return std::make_unique<Class>();                     \
                                        }};                                                     \
    return &info;                                                                               \
  }

struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

enum TProgressStage { psStarting, psRunning, psEnding };

using TNotifyEvent = std::function<void(void* Sender)>;
using TProgressEvent = std::function<void(void* Sender, TProgressStage Stage, std::uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

class TGraphic {
 public:
  virtual ~TGraphic() = default;

  virtual TGraphicClass ClassType() const = 0;
  static TGraphicClass ClassInfo();

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  // Whether the graphic carries a palette that a display would have to realise.
  virtual bool HasPalette() const { return false; }
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }

  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void LoadFromFile(const std::string& FileName);
  // Copies the content of another graphic; raises EConvertError-like Exception when the
  // kinds cannot be assigned.
  virtual void Assign(const TGraphic& Source);

  // The bitmap a display draws for this graphic (null when there is nothing to draw).
  virtual const TBitmap* DrawBitmap() const = 0;

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  void Changed();
  void Progress(TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow, const TRect& R,
                const std::string& Msg);

  bool transparent_ = false;
  bool paletteModified_ = false;
};

}  // namespace vumo
