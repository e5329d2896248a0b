#include "formats/cut.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "pixels/byte_order.h"
#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kPaletteBlock = 512;
constexpr std::size_t kPaletteFirstEntry = 40;
// An entry starting past this byte would not fit its block; entries go on in the next one.
constexpr std::size_t kPaletteLastEntryStart = 506;
constexpr std::size_t kPaletteEntrySize = 6;

// The file name with its extension (after the last dot of the name part) replaced.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fileName + extension;
  return fileName.substr(0, dot) + extension;
}

std::unique_ptr<TFileStream> OpenIfPresent(const std::string& fileName) {
  try {
    return std::make_unique<TFileStream>(fileName);
  } catch (const Exception&) {
    return nullptr;
  }
}

TLogPalette GreyRamp() {
  TLogPalette palette(256);
  for (std::size_t i = 0; i < 256; ++i)
    palette[i].peRed = palette[i].peGreen = palette[i].peBlue = static_cast<std::uint8_t>(i);
  return palette;
}

}  // namespace

bool TCUTGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* header = ReadHeaderBytes(Stream, kHeaderSize);
  if (!header) RaiseReadError();
  SetIndexedProperties(ImageProperties, LittleEndian16(header), LittleEndian16(header + 2), 8, ctRLE);
  SetPixelFormat(pf8bit);
  return true;
}

void TCUTGraphic::LoadFromFile(const std::string& FileName) {
  paletteFileName_ = ChangeFileExt(FileName, ".pal");
  // The name is only good for this load; a later load from a stream alone gets the grey ramp.
  struct Forget {
    std::string& name;
    ~Forget() { name.clear(); }
  } forget{paletteFileName_};
  TReaderGraphic::LoadFromFile(FileName);
}

void TCUTGraphic::LoadFromStream(TStream& Stream) {
  std::unique_ptr<TFileStream> palette;
  if (!paletteFileName_.empty()) {
    palette = OpenIfPresent(paletteFileName_);
    // Pictures made on DOS carry upper-case names, and this file system tells the cases apart.
    if (!palette) palette = OpenIfPresent(ChangeFileExt(paletteFileName_, ".PAL"));
  }
  LoadWithPalette(Stream, palette.get());
}

namespace {

// Whether a row's packets, after its byte count, reach their end marker before `end`.
bool RowEndsInData(const std::uint8_t* p, const std::uint8_t* end) {
  if (end - p < 2) return false;
  for (p += 2; p < end;) {
    const std::uint8_t control = *p++;
    if (control == 0) return true;
    const std::size_t skip = control & 0x80u ? 1 : control & 0x7Fu;
    if (static_cast<std::size_t>(end - p) < skip) return false;
    p += skip;
  }
  return false;
}

}  // namespace

TLogPalette TCUTGraphic::ReadHaloPalette(TStream& PaletteStream) {
  std::uint8_t block[kPaletteBlock];
  std::size_t blockBytes = PaletteStream.Read(block, sizeof block);
  if (blockBytes < kPaletteFirstEntry) return {};
  const std::size_t count = std::min<std::size_t>(std::size_t{LittleEndian16(block + 12)} + 1, 256);
  // Entries a short file does not hold stay black.
  TLogPalette palette(count);
  std::size_t position = kPaletteFirstEntry;
  for (std::size_t i = 0; i < count; ++i) {
    if (position > kPaletteLastEntryStart) {
      blockBytes = PaletteStream.Read(block, sizeof block);
      position = 0;
    }
    if (position + kPaletteEntrySize > blockBytes) break;
    // Components are 16-bit values of which the low byte is taken.
    palette[i].peRed = block[position];
    palette[i].peGreen = block[position + 2];
    palette[i].peBlue = block[position + 4];
    position += kPaletteEntrySize;
  }
  return palette;
}

void TCUTGraphic::LoadWithPalette(TStream& Stream, TStream* PaletteStream) {
  BeginLoad(Stream);
  ReadImageProperties(Stream, 0);
  Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeaderSize));
  StartProgress(gesTransfering);

  const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
  if (width == 0 || height == 0) {
    EndProgress();
    return;
  }
  CheckImageSize(width, height, pf8bit);
  // Every row holds its byte count, a packet for each 127 pixels at least, and an end marker.
  const std::uint64_t rowMinimum = 3 + 2 * ((std::uint64_t{width} + 126) / 127);
  const std::uint64_t dataBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Remaining(), 0));
  if (dataBytes < rowMinimum * height) RaiseReadError();

  TLogPalette palette;
  if (PaletteStream) palette = ReadHaloPalette(*PaletteStream);
  SetPalette(palette.empty() ? GreyRamp() : palette);
  AllocateImage(width, height, pf8bit);
  TEmptyOnFailure guard(*this);

  TByteSource bytes(Stream);
  const std::uint8_t* source = bytes.Take(static_cast<std::size_t>(dataBytes));
  if (!source) RaiseReadError();
  const std::uint8_t* const end = source + dataBytes;
  TCUTRLEDecoder decoder;
  decoder.DecodeInit();
  for (std::uint32_t row = 0; row < height; ++row) {
    // A row the data does not reach, or one whose data runs out before its end marker,
    // belongs to a file cut short.
    if (!RowEndsInData(source, end)) RaiseReadError();
    std::uint8_t* dest = ScanLine(static_cast<int>(row));
    decoder.Decode(source, dest, static_cast<std::int32_t>(std::min<std::ptrdiff_t>(end - source, INT32_MAX)),
                   static_cast<std::int32_t>(width));
    RowProgress(row, height);
  }
  decoder.DecodeEnd();
  EndProgress();
}

}  // namespace vumo
