// The graphic base class: something a picture holds, loads from a stream and draws.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "formats/stream.h"
#include "pixels/image_limits.h"

namespace vumo {

class TGraphic;
class TBitmap;

// A picture file or a graphic's content is not what its reader expects.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// A picture that declares far more pixels than its file can plausibly hold; a caller that
// trusts the file may load it again with the check off.
class EPictureTooLargeForFile : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
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

// A class's name as a template argument, so that a graphic class names itself where it is
// declared: TGraphicOf<TBitmap, TGraphic, "TBitmap">.
template <std::size_t N>
struct TClassName {
  char Text[N];
  constexpr TClassName(const char (&text)[N]) { std::copy_n(text, N, Text); }
};

// The direct base of every concrete graphic class: `Class` derives from
// TGraphicOf<Class, Base, "Class"> instead of from Base, and this gives it its class
// reference (its name, its parent's reference and a virtual constructor) and answers
// ClassType() with it, so an object always names its most derived class.
template <class Class, class Base, TClassName Name>
class TGraphicOf : public Base {
 public:
  using Base::Base;
  static TGraphicClass ClassInfo() {
    static const TGraphicClassInfo info{Name.Text, Base::ClassInfo(),
                                        []() -> std::unique_ptr<TGraphic> { return std::make_unique<Class>(); }};
    return &info;
  }
  TGraphicClass ClassType() const override { return ClassInfo(); }
};

struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

enum TProgressStage { psStarting, psRunning, psEnding };

// A file may hold several images: TIFF pages, icon entries, mip levels, array layers, cube
// faces, volume slices, animation frames. A graphic says how many its file holds, which one
// it shows and what that one is; a viewer steps through them by loading another index.
struct TImageSet {
  unsigned Count = 1;
  unsigned Index = 0;
  // What the loaded image is among the others, for a status line: "page 3/5",
  // "level 2/12 (512 x 512)", "face -Y, level 1/10". Empty for a file of one image.
  std::string Caption;
  // Of Count, the last ones drawn from the others rather than stored (a cube map's cross).
  unsigned Composites = 0;

  friend bool operator==(const TImageSet&, const TImageSet&) = default;
};

// What a picture stored as two channels holds, for a view that shows it as a normal map. The
// channels are those of the drawn bitmap; signed storage is already brought to 0..255 there
// (-1 as 0, 1 as 255), so Signed only tells the user what the file held.
struct TNormalLayout {
  enum TSlot : std::uint8_t { nsNone, nsRed, nsGreen, nsBlue, nsAlpha };
  TSlot X = nsNone, Y = nsNone;
  bool Signed = false;
  // The file says it holds normals (a flag, a key, its name), so a viewer shows it as one.
  bool SaysNormals = false;

  bool TwoChannels() const { return X != nsNone && Y != nsNone; }
  friend bool operator==(const TNormalLayout&, const TNormalLayout&) = default;
};

// What one image is among its file's others, in numbers, for a viewer that lays them all out
// together (the caption says the same in words). Pages, frames and entries are numbered by
// the image's index; a texture's surfaces by where they sit in it.
struct TImagePlace {
  enum TKind : std::uint8_t {
    ipOther,      // nothing more is known: an image of one, or of a kind with no numbers
    ipPage,       // a TIFF page
    ipFrame,      // an animation frame
    ipEntry,      // an icon entry
    ipSurface,    // one surface of a texture: its layer, face, level and slice
    ipComposite,  // made from the others (a cube map's cross), not an image of the file
  };
  TImagePlace() = default;
  explicit TImagePlace(TKind kind) : Kind(kind) {}

  TKind Kind = ipOther;
  std::uint32_t Layer = 0, Level = 0, Slice = 0;
  std::int8_t Face = -1;  // 0 to 5 for +X, -X, +Y, -Y, +Z, -Z; -1 when not a cube map

  friend bool operator==(const TImagePlace&, const TImagePlace&) = default;
};

// "page 3/5" for index 2 of 5: the caption of an image known only by its kind and number.
std::string ImageCaption(const char* kind, unsigned index, unsigned count);

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

  // Whether a load refuses a picture too large for its file (TooLargeForFile in
  // pixels/image_limits.h) with EPictureTooLargeForFile. On unless a caller asked for the
  // file anyway: the converter and the thumbnailer never do, the viewer after a question.
  bool RefuseTooLargeForFile = true;
  // Raises EPictureTooLargeForFile when the check is on and the size is implausible.
  void CheckPlausibleSize(std::uint64_t width, std::uint64_t height, std::uint64_t fileBytes,
                          std::uint64_t bytesPerPixel = kPlausibleBytesPerPixel) const;

  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void LoadFromFile(const std::string& FileName);
  // Leaves the graphic empty, as a failed load does.
  virtual void ReleaseContent() {}

  // The image a load reads from a file of several (0, the first, unless asked otherwise); a
  // reader refuses an index its file does not hold.
  unsigned RequestedImage() const { return requestedImage_; }
  void RequestImage(unsigned index) { requestedImage_ = index; }
  // Set by the load: how many images the file holds and which one this is.
  const TImageSet& Images() const { return images_; }
  void SetImages(const TImageSet& value) { images_ = value; }
  // Set by the load beside the image set: what the loaded image is among the others.
  const TImagePlace& ImagePlace() const { return imagePlace_; }
  void SetImagePlace(const TImagePlace& value) { imagePlace_ = value; }

  // How the file stores its pixels, for a status line or a pixel readout: "BC7 sRGB",
  // "RGBA 16-bit", "EXR half RGBA PIZ". Empty when the reader says nothing more than its format.
  const std::string& FormatDescription() const { return formatDescription_; }
  void SetFormatDescription(std::string value) { formatDescription_ = std::move(value); }
  // Where a two-channel picture keeps X and Y; empty for every other picture.
  const TNormalLayout& NormalLayout() const { return normalLayout_; }
  void SetNormalLayout(const TNormalLayout& value) { normalLayout_ = value; }
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

  // What every kind of graphic copies from another beside its content.
  void AssignDescription(const TGraphic& Source) {
    images_ = Source.images_;
    imagePlace_ = Source.imagePlace_;
    formatDescription_ = Source.formatDescription_;
    normalLayout_ = Source.normalLayout_;
  }

  bool transparent_ = false;
  bool paletteModified_ = false;
  unsigned requestedImage_ = 0;
  TImageSet images_;
  TImagePlace imagePlace_;
  std::string formatDescription_;
  TNormalLayout normalLayout_;
};

}  // namespace vumo
