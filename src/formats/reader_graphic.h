// The common base of every format reader: a bitmap with a colour manager, the image
// properties read from the header, and the load pipeline's progress bookkeeping.
#pragma once

#include <cstdint>
#include <string>

#include "formats/bitmap.h"
#include "pixels/color_manager.h"
#include "pixels/image_properties.h"

namespace vumo {

class TReaderGraphic : public TBitmap {
  VUMO_GRAPHIC_CLASS(TReaderGraphic)

 public:
  TReaderGraphic() = default;

  // Opens the file, runs the stream test, closes it; false when the file cannot be opened.
  static bool CanLoadFile(const std::string& FileName, bool (*CanLoadStream)(TStream&));
  // The base reads no format.
  static bool CanLoad(TStream&) { return false; }

  // Parses the header at the stream's position. The base clears the record, sets FileGamma
  // to 1.0 and returns false; every override calls it first.
  virtual bool ReadImageProperties(TStream& Stream, unsigned ImageIndex);

  // Copies the image properties (arrays included) of a reader source, then the bitmap.
  void Assign(const TGraphic& Source) override;

  TColorManager ColorManager;
  TImageProperties ImageProperties;
  std::int64_t BasePosition = 0;
  TRect ProgressRect;

 protected:
  // Pipeline steps shared by the readers.
  void BeginLoad(TStream& Stream);                 // release the image, remember BasePosition
  void StartProgress(const char* Msg);             // ProgressRect to the first row, notify starting
  void EndProgress();                              // notify ending
  void RowProgress(std::uint32_t Row, std::uint32_t RowCount);  // notify running, move ProgressRect down
  // Sets the bitmap's pixel format from the colour manager's target.
  void ApplyTargetPixelFormat();
};

}  // namespace vumo
