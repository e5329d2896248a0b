// The common base of every format reader: a bitmap with a colour manager, the image
// properties read from the header, and the load pipeline's progress bookkeeping.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "formats/bitmap.h"
#include "formats/messages.h"
#include "pixels/color_manager.h"
#include "pixels/image_properties.h"

namespace vumo {

class TReaderGraphic : public TGraphicOf<TReaderGraphic, TBitmap, "TReaderGraphic"> {
 public:
  TReaderGraphic() = default;

  // Opens the file, runs the stream test, closes it; false when the file cannot be opened.
  static bool CanLoadFile(const std::string& FileName, bool (*CanLoadStream)(TStream&));
  // The stream test of most readers: true when more than `headerSize` bytes are left and
  // `test` accepts the first `headerSize` of them. The stream's position is kept.
  template <typename Test>
  static bool TestHeader(TStream& Stream, std::size_t headerSize, Test test);
  // The base reads no format.
  static bool CanLoad(TStream&) { return false; }
  // Parses a text header with `parse` through a byte source of its own (which gives the
  // stream back just past what it parsed when it goes), and keeps it only when it was read
  // whole.
  template <typename Source, typename Header, typename Parse>
  static bool ParseHeaderInto(TStream& Stream, Header& kept, Parse parse);

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

  // The one way a reader makes its bitmap: the size is checked against the limits for the
  // pixel format before anything is allocated, then format and size are set.
  void AllocateImage(std::uint64_t width, std::uint64_t height, TPixelFormat format);
  // ... in the colour manager's target format.
  void AllocateImage(std::uint64_t width, std::uint64_t height);
  // ... for a reader that writes every row whole (or raises, leaving the reader empty):
  // the pixels start out as anything, which makes large pictures load faster.
  void AllocateImageToOverwrite(std::uint64_t width, std::uint64_t height, TPixelFormat format);

  // Held through a load once the bitmap exists: a load refused by an exception leaves the
  // reader empty, never half made (nor, after AllocateImageToOverwrite, with rows unwritten).
  class TEmptyOnFailure {
   public:
    explicit TEmptyOnFailure(TReaderGraphic& graphic) : graphic_(graphic) {}
    TEmptyOnFailure(const TEmptyOnFailure&) = delete;
    TEmptyOnFailure& operator=(const TEmptyOnFailure&) = delete;
    ~TEmptyOnFailure() {
      if (std::uncaught_exceptions() > exceptions_) graphic_.ReleaseImage();
    }

   private:
    TReaderGraphic& graphic_;
    int exceptions_ = std::uncaught_exceptions();
  };
  // Refuses a size beyond the limits, for readers that allocate buffers before the bitmap.
  void CheckImageSize(std::uint64_t width, std::uint64_t height, TPixelFormat format = pf32bit) const;
  // The bitmap's float samples, as TBitmap makes them, once the picture passed the
  // too-large-for-its-file check at what its bitmap and its floats cost together: a reader's
  // floats cannot be made without it.
  std::shared_ptr<TFloatPixels> NewFloatPixels(int width, int height, bool cleared = true) const;

  // Converts `count` pixels (the bitmap's width by default) of one decoded row into scanline
  // `y`, telling the colour manager how long each source buffer and the scanline are.
  // `finish`, when given, is applied to the converted pixels before they are stored.
  void ConvertRowTo(int y, std::span<const void* const> sources, std::size_t sourceBytes,
                    void (*finish)(std::uint8_t* pixels, std::size_t count) = nullptr);
  void ConvertRowTo(int y, const void* source, std::size_t sourceBytes) {
    const void* const sources[1] = {source};
    ConvertRowTo(y, std::span<const void* const>(sources, 1), sourceBytes);
  }

  // Copies `bytes` finished bytes to the start of row y.
  void CopyRowTo(int y, const std::uint8_t* source, std::size_t bytes);

  // The format's name where the shared messages say "%s".
  virtual const char* FormatName() const { return ""; }
  // The shared reader errors, with the format's name.
  [[noreturn]] void RaiseInvalidImage() const;
  [[noreturn]] void RaiseInvalidColorFormat() const;
  [[noreturn]] void RaiseStreamReadError() const;  // the format's own "Stream read error in %s file."
  [[noreturn]] void RaiseUnsupported(const char* feature) const;
  [[noreturn]] static void RaiseReadError();  // the stream's "Stream read error": the file ends early
  [[noreturn]] static void RaiseTooLarge(std::uint64_t width, std::uint64_t height);
  // Any other reader message: "%s" takes `name`, or the format's name.
  [[noreturn]] void Raise(const char* message, const char* name = nullptr) const;

 public:
  // The same for a reader's helpers outside the class.
  [[noreturn]] static void RaiseNamed(const char* message, const char* name);

 protected:

  // Reads the header's `size` bytes at the stream's position once per load; null when the
  // stream ends first. The load parses them again from HeaderBytes() instead of the stream.
  const std::uint8_t* ReadHeaderBytes(TStream& Stream, std::size_t size);
  const std::uint8_t* HeaderBytes() const { return header_.data(); }

 private:
  std::vector<std::uint8_t> header_;
  std::uint64_t fileBytes_ = 0;  // what the stream holds from BasePosition on
};

// The direct base of a reader whose files carry a signature,
// TReader<Reader, "Reader", &gesFormatName[, Base]> (Base when it is not TReaderGraphic
// itself). `Reader` declares the stream test `static bool CanLoad(TStream&)`; this supplies
// the file test built on it (the file is opened, tested and closed), which the reader brings
// into sight with `using TReader::CanLoad;`, the class reference and the format's name.
// The format name of a reader given none: it keeps its base's.
inline constexpr const char* kBaseFormatName = nullptr;

template <class Reader, TClassName Name, const char* const* Format = &kBaseFormatName, class Base = TReaderGraphic>
class TReader : public TGraphicOf<Reader, Base, Name> {
 public:
  static bool CanLoad(const std::string& FileName) {
    return TReaderGraphic::CanLoadFile(FileName, static_cast<bool (*)(TStream&)>(&Reader::CanLoad));
  }

 protected:
  // The format's name for the shared messages' "%s" (`Format`, one of messages.h's names);
  // a reader given none keeps its base's.
  const char* FormatName() const override {
    if (const char* name = *Format) return name;
    return Base::FormatName();
  }
};

template <typename Source, typename Header, typename Parse>
bool TReaderGraphic::ParseHeaderInto(TStream& Stream, Header& kept, Parse parse) {
  Header header;
  {
    Source source(Stream);
    if (!parse(source, header)) return false;
  }
  kept = header;
  return true;
}

template <typename Test>
bool TReaderGraphic::TestHeader(TStream& Stream, std::size_t headerSize, Test test) {
  const std::int64_t start = Stream.Position();
  bool result = false;
  std::vector<std::uint8_t> header(headerSize);
  if (Stream.Remaining() > static_cast<std::int64_t>(headerSize) && Stream.Read(header.data(), headerSize) == headerSize)
    result = test(static_cast<const std::uint8_t*>(header.data()));
  Stream.SetPosition(start);
  return result;
}

}  // namespace vumo
