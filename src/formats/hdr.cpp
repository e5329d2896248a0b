#include "formats/hdr.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"

namespace vumo {

namespace {

// Radiance keeps its command history in the header, so headers of a few kilobytes are
// common; past this the text is not a header.
constexpr std::size_t kLongestHeader = 1 << 20;
// The run-length scanline form marks itself with a pixel of 2, 2 and the length, which
// leaves room for lengths below 32768; shorter than 8 is always stored flat.
constexpr std::uint32_t kShortestCoded = 8, kLongestCoded = 0x7FFF;

// The file ends before its header or pixels do.
[[noreturn]] void Truncated() { throw EReadError(kStreamReadError); }

enum class TLine { Text, End, Eof };

// One header line without its newline; End is the empty line that closes the header.
TLine ReadLine(TByteSource& source, std::string& line, std::size_t& budget) {
  line.clear();
  for (;;) {
    const int c = source.Next();
    if (c < 0) return TLine::Eof;
    if (c == '\n') {
      // Files that went through a Windows tool end their lines with CR LF.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line.empty() ? TLine::End : TLine::Text;
    }
    if (budget-- == 0) TReaderGraphic::RaiseNamed(gesInvalidImage, gesHDR);
    line.push_back(static_cast<char>(c));
  }
}

using THDRHeader = THDRGraphic::THeader;

// "-Y 480 +X 640": the sign and axis of the scanline order, then of the pixels along one.
bool ParseResolution(const std::string& line, THDRHeader& h) {
  const char* p = line.c_str();
  char sign[2], axis[2];
  unsigned long count[2];
  for (int i = 0; i < 2; ++i) {
    while (*p == ' ' || *p == '\t') ++p;
    if ((p[0] != '+' && p[0] != '-') || (p[1] != 'X' && p[1] != 'Y')) return false;
    sign[i] = p[0], axis[i] = p[1];
    p += 2;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    char* end = nullptr;
    count[i] = std::strtoul(p, &end, 10);
    if (count[i] > kMaxImageSide) count[i] = kMaxImageSide + 1;  // refused as too large
    p = end;
  }
  if (axis[0] == axis[1]) return false;
  h.Columns = axis[0] == 'X';
  // Radiance's y axis points up: "-Y" stores the top row first.
  const char xSign = h.Columns ? sign[0] : sign[1], ySign = h.Columns ? sign[1] : sign[0];
  h.MirrorX = xSign == '-';
  h.MirrorY = ySign == '+';
  h.Scanlines = static_cast<std::uint32_t>(count[0]);
  h.ScanlineLength = static_cast<std::uint32_t>(count[1]);
  return true;
}

// False unless the data starts with "#?"; a header that ends early is a read error.
bool ReadHeader(TByteSource& source, THDRHeader& h) {
  if (source.Next() != '#' || source.Next() != '?') return false;
  std::string line;
  std::size_t budget = kLongestHeader;
  TLine kind = ReadLine(source, line, budget);  // the writer's name after "#?"
  while (kind == TLine::Text) {
    kind = ReadLine(source, line, budget);
    if (kind != TLine::Text) break;
    if (line.rfind("FORMAT=", 0) == 0) {
      std::string format = line.substr(7);
      while (!format.empty() && format.back() == ' ') format.pop_back();
      h.Xyz = format == "32-bit_rle_xyze";
      h.FormatKnown = h.Xyz || format == "32-bit_rle_rgbe";
    } else if (line.rfind("EXPOSURE=", 0) == 0) {
      const double value = std::strtod(line.c_str() + 9, nullptr);
      if (std::isfinite(value) && value > 0) h.Exposure *= value;
    }
  }
  if (kind != TLine::End) Truncated();
  // The resolution line follows the empty line directly.
  if (ReadLine(source, line, budget) != TLine::Text) Truncated();
  if (!ParseResolution(line, h)) TReaderGraphic::RaiseNamed(gesInvalidImage, gesHDR);
  return true;
}

// Reads one scanline of `length` RGBE pixels into `out` in whichever of the three forms it
// was stored. `last` is the pixel an old-style repeat copies, carried between scanlines.
class TScanlineDecoder {
 public:
  explicit TScanlineDecoder(TByteSource& source) : source_(source) {}

  void Read(std::uint8_t* out, std::uint32_t length) {
    if (length >= kShortestCoded && length <= kLongestCoded) {
      const std::span<const std::uint8_t> start = source_.Peek(4);
      if (start.size() == 4 && start[0] == 2 && start[1] == 2 && !(start[2] & 0x80)) {
        if ((std::uint32_t{start[2]} << 8 | start[3]) != length) Invalid();
        source_.Consume(4);
        return ReadCoded(out, length);
      }
    }
    ReadFlat(out, length);
  }

 private:
  [[noreturn]] static void Invalid() { TReaderGraphic::RaiseNamed(gesInvalidImage, gesHDR); }

  const std::uint8_t* Take(std::size_t count) {
    const std::uint8_t* bytes = source_.Take(count);
    if (!bytes) Truncated();
    return bytes;
  }

  // Each component of the scanline in turn: a count above 128 repeats the next byte
  // count - 128 times, any other count (but 0) is that many bytes as they are.
  void ReadCoded(std::uint8_t* out, std::uint32_t length) {
    for (int c = 0; c < 4; ++c) {
      std::uint32_t x = 0;
      while (x < length) {
        const std::uint8_t* op = Take(1);
        std::uint32_t count = op[0];
        if (count > 128) {
          count -= 128;
          if (count > length - x) Invalid();
          const std::uint8_t value = *Take(1);
          for (std::uint32_t i = 0; i < count; ++i) out[(x + i) * 4 + c] = value;
        } else {
          if (count == 0 || count > length - x) Invalid();
          const std::uint8_t* bytes = Take(count);
          for (std::uint32_t i = 0; i < count; ++i) out[(x + i) * 4 + c] = bytes[i];
        }
        x += count;
      }
    }
    std::memcpy(last_, out + (length - 1) * 4, 4);
  }

  // Four bytes a pixel, where a pixel of 1, 1, 1 repeats the one before it as many times as
  // its fourth byte says, and each repeat straight after another counts 256 times as much.
  void ReadFlat(std::uint8_t* out, std::uint32_t length) {
    std::uint32_t x = 0;
    unsigned shift = 0;
    while (x < length) {
      const std::uint8_t* p = Take(4);
      if (p[0] == 1 && p[1] == 1 && p[2] == 1) {
        if (shift > 24) Invalid();
        const std::uint64_t count = std::uint64_t{p[3]} << shift;
        if (count > length - x) Invalid();
        for (std::uint64_t i = 0; i < count; ++i, ++x) std::memcpy(out + x * 4, last_, 4);
        shift += 8;
      } else {
        std::memcpy(out + x * 4, p, 4);
        std::memcpy(last_, p, 4);
        ++x;
        shift = 0;
      }
    }
  }

  TByteSource& source_;
  std::uint8_t last_[4] = {};
};

// CIE XYZ to linear sRGB for a white of equal energy, Radiance's own white: XYZ 1, 1, 1 is
// RGB 1, 1, 1 as in Radiance's conversion, so an XYZE picture shows as its RGBE twin would.
constexpr float kXyzToRgb[3][3] = {
    {2.68966f, -1.27586f, -0.41379f},
    {-1.02210f, 1.97828f, 0.04382f},
    {0.06122f, -0.22449f, 1.16327f},
};

}  // namespace

bool THDRGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, 6, [](const std::uint8_t* b) {
    return std::memcmp(b, "#?RADI", 6) == 0 || std::memcmp(b, "#?RGBE", 6) == 0;
  });
}

bool THDRGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  if (!ParseHeaderInto<TByteSource>(Stream, header_, ReadHeader)) return false;
  TImageProperties& p = ImageProperties;
  p.ColorScheme = csRGB;
  p.SamplesPerPixel = 3;
  p.BitsPerSample = 8;  // a mantissa each and an exponent shared
  p.BitsPerPixel = 32;
  p.Compression = ctRLE;
  p.Width = header_.Columns ? header_.Scanlines : header_.ScanlineLength;
  p.Height = header_.Columns ? header_.ScanlineLength : header_.Scanlines;
  return true;
}

void THDRGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!THDRGraphic::ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  if (!header_.FormatKnown) RaiseInvalidColorFormat();
  const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
  const std::uint32_t scanlines = header_.Scanlines, length = header_.ScanlineLength;
  StartProgress(gesTransfering);
  if (width == 0 || height == 0) RaiseInvalidImage();
  CheckImageSize(width, height, pf32bit);
  TByteSource source(Stream);
  // Every scanline takes at least one pixel of four bytes, however well it repeats.
  if (source.Remaining() / 4 < scanlines) RaiseReadError();
  std::shared_ptr<TFloatPixels> floats = NewFloatPixels(static_cast<int>(width), static_cast<int>(height));

  float scale[256];
  for (int e = 0; e < 256; ++e) scale[e] = e ? std::ldexp(1.0f, e - 136) : 0.0f;
  std::vector<std::uint8_t> rgbe(std::size_t{length} * 4);
  TScanlineDecoder decoder(source);
  const bool xyz = header_.Xyz, columns = header_.Columns, mirrorX = header_.MirrorX, mirrorY = header_.MirrorY;
  for (std::uint32_t s = 0; s < scanlines; ++s) {
    decoder.Read(rgbe.data(), length);
    // Where the scanline's first pixel goes and the step, in floats, to the next one.
    std::ptrdiff_t x0, y0, dx = 0, dy = 0;
    if (columns) {
      x0 = mirrorX ? width - 1 - s : s;
      y0 = mirrorY ? height - 1 : 0;
      dy = mirrorY ? -1 : 1;
    } else {
      y0 = mirrorY ? height - 1 - s : s;
      x0 = mirrorX ? width - 1 : 0;
      dx = mirrorX ? -1 : 1;
    }
    float* out = floats->Row(static_cast<int>(y0)) + x0 * 4;
    const std::ptrdiff_t step = (dy * static_cast<std::ptrdiff_t>(width) + dx) * 4;
    const std::uint8_t* in = rgbe.data();
    for (std::uint32_t i = 0; i < length; ++i, in += 4, out += step) {
      const float f = scale[in[3]];
      // Radiance takes a mantissa as the middle of its interval, hence the half.
      float c0 = in[3] ? (in[0] + 0.5f) * f : 0.0f, c1 = in[3] ? (in[1] + 0.5f) * f : 0.0f,
            c2 = in[3] ? (in[2] + 0.5f) * f : 0.0f;
      if (xyz) {
        const float x = c0, y = c1, z = c2;
        c0 = kXyzToRgb[0][0] * x + kXyzToRgb[0][1] * y + kXyzToRgb[0][2] * z;
        c1 = kXyzToRgb[1][0] * x + kXyzToRgb[1][1] * y + kXyzToRgb[1][2] * z;
        c2 = kXyzToRgb[2][0] * x + kXyzToRgb[2][1] * y + kXyzToRgb[2][2] * z;
      }
      out[0] = c0, out[1] = c1, out[2] = c2, out[3] = 1.0f;
    }
    RowProgress(s, scanlines);
  }
  AllocateImageToOverwrite(width, height, pf32bit);
  TEmptyOnFailure guard(*this);
  SetFloatPixels(std::move(floats));
  std::string description = xyz ? "Radiance XYZE" : "Radiance RGBE";
  if (header_.Exposure != 1.0) {
    char text[48];
    std::snprintf(text, sizeof text, ", exposure %g", header_.Exposure);
    description += text;
  }
  SetFormatDescription(std::move(description));
  EndProgress();
}

}  // namespace vumo
