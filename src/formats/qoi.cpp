#include "formats/qoi.h"

#include <cstring>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {
namespace {

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kLongestOp = 5;  // an RGBA op: the tag and four samples
constexpr std::uint64_t kLongestRun = 62;

struct TPixel {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

unsigned Hash(const TPixel& p) { return (p.r * 3u + p.g * 5u + p.b * 7u + p.a * 11u) % 64u; }

// Decodes one op into `px`; `run` takes the repeats a run op asks for after this pixel.
// The caller makes sure kLongestOp bytes may be read at `p`.
inline const std::uint8_t* DecodeOp(const std::uint8_t* p, TPixel& px, TPixel (&seen)[64], unsigned& run) {
  const std::uint8_t op = *p++;
  if (op == 0xFE) {
    px.r = p[0], px.g = p[1], px.b = p[2];
    p += 3;
  } else if (op == 0xFF) {
    px.r = p[0], px.g = p[1], px.b = p[2], px.a = p[3];
    p += 4;
  } else {
    switch (op >> 6) {
      case 0: px = seen[op]; break;
      case 1:
        px.r = static_cast<std::uint8_t>(px.r + ((op >> 4) & 3) - 2);
        px.g = static_cast<std::uint8_t>(px.g + ((op >> 2) & 3) - 2);
        px.b = static_cast<std::uint8_t>(px.b + (op & 3) - 2);
        break;
      case 2: {
        const int dg = (op & 0x3F) - 32;
        const std::uint8_t q = *p++;
        px.r = static_cast<std::uint8_t>(px.r + dg - 8 + (q >> 4));
        px.g = static_cast<std::uint8_t>(px.g + dg);
        px.b = static_cast<std::uint8_t>(px.b + dg - 8 + (q & 15));
        break;
      }
      default: run = op & 0x3F; break;
    }
  }
  seen[Hash(px)] = px;
  return p;
}

}  // namespace

bool TQOIGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* b) { return std::memcmp(b, "qoif", 4) == 0; });
}

bool TQOIGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h || std::memcmp(h, "qoif", 4) != 0) return false;
  TImageProperties& p = ImageProperties;
  p.Width = BigEndian32(h + 4);
  p.Height = BigEndian32(h + 8);
  p.SamplesPerPixel = h[12];
  p.ColorScheme = h[12] == 4 ? csRGBA : csRGB;
  p.BitsPerSample = 8;
  p.BitsPerPixel = static_cast<std::uint8_t>(8 * h[12]);
  p.Compression = ctRLE;
  return true;
}

void TQOIGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!TQOIGraphic::ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  const std::uint8_t* h = HeaderBytes();
  const unsigned channels = h[12];
  if ((channels != 3 && channels != 4) || h[13] > 1) RaiseInvalidImage();
  const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
  StartProgress(gesTransfering);
  if (width == 0 || height == 0) RaiseInvalidImage();
  const TPixelFormat format = channels == 4 ? pf32bit : pf24bit;
  CheckImageSize(width, height, format);
  TByteSource source(Stream);
  const std::uint64_t available = source.Remaining();
  // Even a picture of one colour takes a byte for every 62 pixels: a file that cannot hold
  // its pixels is refused before the bitmap is made.
  if (available * kLongestRun < std::uint64_t{width} * height) RaiseReadError();
  const std::uint8_t* p = source.Take(static_cast<std::size_t>(available));
  if (!p) RaiseReadError();
  const std::uint8_t* const end = p + available;

  TEmptyOnFailure guard(*this);
  AllocateImageToOverwrite(width, height, format);
  if (channels == 4) SetAlphaChannel(true);
  SetFormatDescription(std::string(channels == 4 ? "QOI RGBA" : "QOI RGB") + (h[13] ? ", linear" : ", sRGB"));
  TPixel px, seen[64] = {};
  for (auto& s : seen) s.a = 0;
  unsigned run = 0;
  std::uint8_t tail[kLongestOp] = {};
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* out = ScanLine(static_cast<int>(y));
    for (std::uint32_t x = 0; x < width; ++x, out += channels) {
      if (run) {
        --run;
      } else if (end - p >= static_cast<std::ptrdiff_t>(kLongestOp)) {
        p = DecodeOp(p, px, seen, run);
      } else {
        // The last few bytes: decode from a copy padded past the end, then check the op fitted.
        if (p >= end) RaiseReadError();
        const std::size_t left = static_cast<std::size_t>(end - p);
        std::memset(tail, 0, sizeof tail);
        std::memcpy(tail, p, left);
        const std::size_t used = static_cast<std::size_t>(DecodeOp(tail, px, seen, run) - tail);
        if (used > left) RaiseReadError();
        p += used;
      }
      out[0] = px.b, out[1] = px.g, out[2] = px.r;
      if (channels == 4) out[3] = px.a;
    }
    RowProgress(y, height);
  }
  EndProgress();
}

}  // namespace vumo
