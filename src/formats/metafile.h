// Windows metafiles (.wmf, .emf): the file's records kept as they are and played onto a
// drawing surface whenever the picture is drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/bitmap.h"
#include "formats/bounded_canvas.h"
#include "formats/metafile_canvas.h"

namespace vumo {

namespace metafile {
struct TMetafileContent;
}

// One record of the file: its type (the WMF function number or the EMF record type) and
// where its bytes lie, header included.
struct TMetafileRecord {
  std::uint32_t Type = 0;
  std::uint32_t Offset = 0;
  std::uint32_t Size = 0;
};

class TMetafile : public TGraphicOf<TMetafile, TGraphic, "TMetafile"> {
 public:
  TMetafile();
  ~TMetafile() override;

  // The frame at 96 pixels per inch.
  int Width() const override;
  int Height() const override;
  bool Enhanced() const;
  // Placeable and plain WMF, and EMF. A header that is not one raises EInvalidGraphic or
  // EReadError; a record that would reach past the file ends the record list there.
  void LoadFromStream(TStream& Stream) override;
  void Assign(const TGraphic& Source) override;
  // A metafile has no bitmap of its own: a display plays it (Play) at the size it needs.
  const TBitmap* DrawBitmap() const override { return nullptr; }

  const std::vector<TMetafileRecord>& Records() const;
  // Draws the picture so that its frame fills the rectangle (in the canvas's pixels), at a
  // cost bounded by what can be seen: the frame, or the smaller `visible` part of the canvas.
  // False when the drawing stopped at its budget of work and is incomplete.
  bool Play(TMetafileCanvas& canvas, double left, double top, double width, double height,
            const TCanvasArea* visible = nullptr) const;

 private:
  std::shared_ptr<const metafile::TMetafileContent> content_;
};

}  // namespace vumo
