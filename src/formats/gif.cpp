#include "formats/gif.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/lzw_decoder.h"

namespace vumo {
namespace {

constexpr std::size_t kHeaderSize = 13;  // signature, version and the logical screen
constexpr std::uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControl = 0xF9;

enum TDisposal : unsigned { dsNone = 0, dsKeep = 1, dsBackground = 2, dsPrevious = 3 };

struct TFrame {
  unsigned left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::size_t table = 0;  // offset of the local colour table, when tableSize is not 0
  unsigned tableSize = 0;
  int transparent = -1;
  unsigned disposal = dsNone;
  unsigned delay = 0;
  unsigned rootBits = 8;
  std::size_t data = 0;  // offset of the first data sub-block
};

struct TLayout {
  unsigned width = 0, height = 0;
  std::size_t globalTable = 0;
  unsigned globalSize = 0;
  std::vector<TFrame> frames;
};

[[noreturn]] void Truncated() { throw EReadError(kStreamReadError); }

// Past a chain of sub-blocks starting at `pos`; the file must hold every block it announces.
std::size_t SkipSubBlocks(const std::uint8_t* data, std::size_t size, std::size_t pos) {
  for (;;) {
    if (pos >= size) Truncated();
    const std::size_t length = data[pos];
    pos += 1 + length;
    if (length == 0) return pos;
  }
}

unsigned TableEntries(std::uint8_t packed) { return (packed & 0x80) ? 2u << (packed & 7) : 0; }

// Every frame's place in the file, read without decoding anything. A file may stop without
// its trailer after its last whole frame, as many writers' files do; a block cut short is
// the read error.
TLayout ReadLayout(const std::uint8_t* data, std::size_t size) {
  TLayout layout;
  layout.width = LittleEndian16(data + 6);
  layout.height = LittleEndian16(data + 8);
  std::size_t pos = kHeaderSize;
  layout.globalSize = TableEntries(data[10]);
  layout.globalTable = pos;
  pos += 3 * std::size_t{layout.globalSize};
  if (pos > size) Truncated();
  TFrame pending;
  while (pos < size) {
    const std::uint8_t introducer = data[pos++];
    if (introducer == kTrailer) break;
    if (introducer == kExtension) {
      if (pos >= size) Truncated();
      const std::uint8_t label = data[pos++];
      if (label == kGraphicControl && pos + 5 <= size && data[pos] >= 4) {
        const std::uint8_t packed = data[pos + 1];
        pending.disposal = (packed >> 2) & 7;
        pending.delay = LittleEndian16(data + pos + 2);
        pending.transparent = (packed & 1) ? data[pos + 4] : -1;
      }
      pos = SkipSubBlocks(data, size, pos);
    } else if (introducer == kImage) {
      if (pos + 9 > size) Truncated();
      TFrame frame = pending;
      frame.left = LittleEndian16(data + pos);
      frame.top = LittleEndian16(data + pos + 2);
      frame.width = LittleEndian16(data + pos + 4);
      frame.height = LittleEndian16(data + pos + 6);
      const std::uint8_t packed = data[pos + 8];
      frame.interlaced = (packed & 0x40) != 0;
      frame.tableSize = TableEntries(packed);
      pos += 9;
      frame.table = pos;
      pos += 3 * std::size_t{frame.tableSize};
      if (pos >= size) Truncated();
      frame.rootBits = data[pos++];
      frame.data = pos;
      pos = SkipSubBlocks(data, size, pos);
      layout.frames.push_back(frame);
      pending = TFrame{};
    } else {
      // Not a block of the format: what follows cannot be read, what came before stands.
      break;
    }
  }
  return layout;
}

std::vector<std::uint8_t> Gather(const std::uint8_t* data, std::size_t pos) {
  std::vector<std::uint8_t> joined;
  for (std::size_t length; (length = data[pos]) != 0; pos += 1 + length) joined.insert(joined.end(), data + pos + 1, data + pos + 1 + length);
  return joined;
}

// The rows of a frame in the order they are stored: interlaced frames store every eighth
// row from 0, then from 4, every fourth from 2 and every second from 1.
std::vector<unsigned> StoredRowOrder(unsigned height, bool interlaced) {
  std::vector<unsigned> order;
  order.reserve(height);
  if (!interlaced) {
    for (unsigned y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static constexpr unsigned kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (unsigned y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  return order;
}

struct TDecodedFrame {
  std::unique_ptr<std::uint8_t[]> indices;  // left unset past `written`, which costs no memory
  std::size_t written = 0;
};

TDecodedFrame DecodeFrame(const std::uint8_t* data, const TFrame& frame) {
  TDecodedFrame decoded;
  const std::size_t pixels = std::size_t{frame.width} * frame.height;
  if (pixels == 0) return decoded;
  decoded.indices.reset(new std::uint8_t[pixels]);
  const std::vector<std::uint8_t> stream = Gather(data, frame.data);
  // A broken code or an early end leaves the pixels decoded so far, as the frame has them.
  decoded.written = DecodeLZW(TLZWPacking::kGif, frame.rootBits, stream, std::span(decoded.indices.get(), pixels)).written;
  return decoded;
}

}  // namespace

bool TGIFGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* b) {
    return std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0;
  });
}

bool TGIFGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h || (std::memcmp(h, "GIF87a", 6) != 0 && std::memcmp(h, "GIF89a", 6) != 0)) return false;
  SetIndexedProperties(ImageProperties, LittleEndian16(h + 6), LittleEndian16(h + 8),
                       static_cast<std::uint8_t>((h[10] & 0x80) ? (h[10] & 7) + 1 : 8), ctLZW);
  return true;
}

void TGIFGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!TGIFGraphic::ReadImageProperties(Stream, RequestedImage())) RaiseInvalidImage();
  StartProgress(gesTransfering);
  Stream.SetPosition(BasePosition);
  TByteSource source(Stream);
  const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(source.Remaining(), SIZE_MAX));
  const std::uint8_t* data = source.Take(size);
  if (!data) RaiseReadError();
  const TLayout layout = ReadLayout(data, size);
  const unsigned frames = static_cast<unsigned>(layout.frames.size());
  if (layout.width == 0 || layout.height == 0 || frames == 0) RaiseInvalidImage();
  const unsigned wanted = RequestedImage();
  if (wanted >= frames) throw EInvalidGraphic(FormatMessage(kNoSuchImage, wanted + 1));
  for (const TFrame& f : layout.frames)
    if (f.rootBits < 2 || f.rootBits > 11) RaiseInvalidImage();
  CheckImageSize(layout.width, layout.height, pf32bit);
  for (unsigned i = 0; i <= wanted; ++i) CheckImageSize(layout.frames[i].width, layout.frames[i].height, pf8bit);

  const TFrame& first = layout.frames[0];
  auto tableOf = [&](const TFrame& f) {
    TLogPalette palette(256);
    const std::size_t at = f.tableSize ? f.table : layout.globalTable;
    const unsigned entries = f.tableSize ? f.tableSize : layout.globalSize;
    for (unsigned i = 0; i < entries; ++i) {
      palette[i].peRed = data[at + 3 * i];
      palette[i].peGreen = data[at + 3 * i + 1];
      palette[i].peBlue = data[at + 3 * i + 2];
    }
    if (entries == 0)  // no table at all: black and white, then greys, as decoders have it
      for (unsigned i = 0; i < 256; ++i) palette[i].peRed = palette[i].peGreen = palette[i].peBlue = static_cast<std::uint8_t>(i == 1 ? 255 : i);
    return palette;
  };

  TEmptyOnFailure guard(*this);
  frameDelay_ = layout.frames[wanted].delay;
  SetImagePlace(TImagePlace{TImagePlace::ipFrame});
  SetImages(TImageSet{frames, wanted, frames > 1 ? ImageCaption("frame", wanted, frames) : std::string()});
  SetFormatDescription(std::string(reinterpret_cast<const char*>(HeaderBytes()), 6) + (first.interlaced ? ", interlaced" : ""));

  // One opaque frame covering the screen keeps its palette: the view reads the index.
  if (frames == 1 && first.transparent < 0 && first.left == 0 && first.top == 0 && first.width == layout.width &&
      first.height == layout.height) {
    SetPalette(tableOf(first));
    AllocateImage(layout.width, layout.height, pf8bit);
    const TDecodedFrame decoded = DecodeFrame(data, first);
    const std::vector<unsigned> order = StoredRowOrder(first.height, first.interlaced);
    for (unsigned r = 0; r < first.height; ++r) {
      const std::size_t start = std::size_t{r} * first.width;
      if (start >= decoded.written) break;
      const std::size_t count = std::min<std::size_t>(first.width, decoded.written - start);
      std::memcpy(ScanLine(static_cast<int>(order[r])), decoded.indices.get() + start, count);
      RowProgress(r, first.height);
    }
    EndProgress();
    return;
  }

  // The canvas starts transparent, as browsers show it, and takes each frame in turn.
  AllocateImage(layout.width, layout.height, pf32bit);
  SetAlphaChannel(true);
  std::vector<std::uint8_t> saved;
  for (unsigned i = 0; i <= wanted; ++i) {
    const TFrame& f = layout.frames[i];
    const unsigned x0 = std::min(f.left, layout.width), y0 = std::min(f.top, layout.height);
    const unsigned x1 = static_cast<unsigned>(std::min<std::uint64_t>(std::uint64_t{f.left} + f.width, layout.width));
    const unsigned y1 = static_cast<unsigned>(std::min<std::uint64_t>(std::uint64_t{f.top} + f.height, layout.height));
    if (x0 >= x1 || y0 >= y1) continue;  // wholly off the screen: nothing to draw or dispose
    const std::size_t rectBytes = std::size_t{x1 - x0} * 4;
    if (i < wanted && f.disposal == dsPrevious) {
      saved.resize(rectBytes * (y1 - y0));
      for (unsigned y = y0; y < y1; ++y) std::memcpy(&saved[(y - y0) * rectBytes], ScanLine(static_cast<int>(y)) + 4 * x0, rectBytes);
    }
    const TLogPalette palette = tableOf(f);
    std::uint8_t colours[256][4];
    for (unsigned c = 0; c < 256; ++c)
      colours[c][0] = palette[c].peBlue, colours[c][1] = palette[c].peGreen, colours[c][2] = palette[c].peRed, colours[c][3] = 255;
    const TDecodedFrame decoded = DecodeFrame(data, f);
    const std::vector<unsigned> order = StoredRowOrder(f.height, f.interlaced);
    for (unsigned r = 0; r < f.height; ++r) {
      const std::size_t start = std::size_t{r} * f.width;
      if (start >= decoded.written) break;
      const unsigned y = f.top + order[r];
      if (y < y0 || y >= y1) continue;
      const std::uint8_t* in = decoded.indices.get() + start + (x0 - f.left);
      const std::size_t count = std::min<std::size_t>(x1 - x0, decoded.written - start - (x0 - f.left));
      std::uint8_t* out = ScanLine(static_cast<int>(y)) + 4 * x0;
      for (std::size_t x = 0; x < count; ++x, out += 4)
        if (static_cast<int>(in[x]) != f.transparent) std::memcpy(out, colours[in[x]], 4);
    }
    if (i < wanted) {
      if (f.disposal == dsBackground)
        for (unsigned y = y0; y < y1; ++y) std::memset(ScanLine(static_cast<int>(y)) + 4 * x0, 0, rectBytes);
      else if (f.disposal == dsPrevious)
        for (unsigned y = y0; y < y1; ++y) std::memcpy(ScanLine(static_cast<int>(y)) + 4 * x0, &saved[(y - y0) * rectBytes], rectBytes);
    }
    RowProgress(i, wanted + 1);
  }
  EndProgress();
}

}  // namespace vumo
