#include "formats/normal_layout.h"

#include <array>
#include <cctype>
#include <string>

#include "formats/bitmap.h"
#include "formats/reader_graphic.h"

namespace vumo {
namespace {

// Whether the red of every pixel is the same while the alpha varies.
bool RedFlatAlphaVaries(const TBitmap& bitmap) {
  if (bitmap.PixelFormat() != pf32bit || !bitmap.AlphaChannel() || bitmap.Height() <= 0 || bitmap.Width() <= 0)
    return false;
  const std::uint8_t red = bitmap.ScanLine(0)[2], alpha = bitmap.ScanLine(0)[3];
  bool alphaVaries = false;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 4) {
      if (p[2] != red) return false;
      alphaVaries |= p[3] != alpha;
    }
  }
  return alphaVaries;
}

}  // namespace

bool FileNameSaysNormals(std::string_view fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  std::string_view stem = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  const std::size_t dot = stem.find_last_of('.');
  if (dot != std::string_view::npos) stem = stem.substr(0, dot);
  std::string lower(stem);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::string_view ending : std::array<std::string_view, 3>{"_n", "_nrm", "_normal"})
    if (lower.size() > ending.size() && lower.ends_with(ending)) return true;
  return false;
}

void MarkNormalsByName(TGraphic& graphic, std::string_view fileName) {
  const TBitmap* bitmap = graphic.DrawBitmap();
  // Float pictures are drawn through an exposure, whose bytes are no stored values.
  if (!bitmap || bitmap->Empty() || bitmap->FloatPixels() || !FileNameSaysNormals(fileName)) return;
  TNormalLayout layout = graphic.NormalLayout();
  layout.SaysNormals = true;
  if (!layout.TwoChannels()) {
    const auto* reader = dynamic_cast<const TReaderGraphic*>(&graphic);
    if (reader && reader->ImageProperties.ColorScheme == csGrayAlpha) {
      layout.X = TNormalLayout::nsRed;
      layout.Y = TNormalLayout::nsAlpha;
    } else if (RedFlatAlphaVaries(*bitmap)) {
      layout.X = TNormalLayout::nsAlpha;
      layout.Y = TNormalLayout::nsGreen;
    } else {
      layout.X = TNormalLayout::nsRed;
      layout.Y = TNormalLayout::nsGreen;
    }
  }
  graphic.SetNormalLayout(layout);
}

}  // namespace vumo
