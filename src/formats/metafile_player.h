// Inside the metafile reader: the parsed file, the bounded view of one record's bytes, and
// the two players that turn records into calls on the drawing state.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pixels/byte_order.h"
#include "formats/metafile.h"
#include "formats/metafile_dc.h"

namespace vumo::metafile {

struct TMetafileContent {
  bool enhanced = false;
  std::vector<std::uint8_t> bytes;
  std::vector<TMetafileRecord> records;
  // The rectangle of the reference device that fills the destination.
  double frameLeft = 0, frameTop = 0, frameWidth = 1, frameHeight = 1;
  int pixelWidth = 0, pixelHeight = 0;  // at 96 pixels per inch
  TDeviceSetup setup;                    // deviceToDest is filled in at each play
};

// The bytes of one record. Offsets count from the record's first byte, as both formats'
// own offset fields do; reading past the record raises EShortRecord.
class TRecordBytes {
 public:
  TRecordBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Size() const { return size_; }
  bool Has(std::size_t offset, std::size_t count) const { return offset <= size_ && count <= size_ - offset; }
  const std::uint8_t* Bytes(std::size_t offset, std::size_t count) const {
    if (!Has(offset, count)) throw EShortRecord{};
    return data_ + offset;
  }
  std::uint16_t U16(std::size_t offset) const { return LittleEndian16(Bytes(offset, 2)); }
  std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::uint32_t U32(std::size_t offset) const { return LittleEndian32(Bytes(offset, 4)); }
  std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
  float F32(std::size_t offset) const {
    const std::uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Decodes a device-independent bitmap held in a record; null when it is not one this
// program reads. Kept alive by the caller for as long as something draws with it.
std::shared_ptr<const TBitmap> DecodeRecordDib(const std::uint8_t* info, std::size_t infoSize,
                                               const std::uint8_t* bits, std::size_t bitsSize);

// The objects both players make from the values their records hold.
TGdiObject PenObject(int style, double width, std::uint32_t color, bool cosmetic);
TGdiObject BrushObject(int style, std::uint32_t color, int hatch);
// A font of these sizes and weight (`sizes`' other members are left out); the flag bytes are
// italic, underline, strike-out and character set, in that order.
TGdiObject FontObject(const TFontObject& sizes, const std::uint8_t* flags, const std::u16string& face);
// Text in UTF-16 (its basic plane, as font names and metafile text use) as UTF-8.
std::string Utf8(const std::u16string& text);

void PlayWmfRecord(const TRecordBytes& record, std::uint32_t type, TMetafileDC& dc);
void PlayEmfRecord(const TRecordBytes& record, std::uint32_t type, TMetafileDC& dc);

}  // namespace vumo::metafile
