#include "formats/image_sheet.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "pixels/image_limits.h"

namespace vumo {
namespace {

const char* const kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
// The cross: +Y above, -X, +Z, +X, -Z across, -Y below, as the texture reader draws it.
constexpr int kCrossColumn[6] = {2, 0, 1, 1, 1, 3}, kCrossRow[6] = {1, 1, 0, 2, 1, 1};
// Between an image and the label under it.
constexpr std::int64_t kLabelSpace = 2;

std::string FaceName(std::int8_t face) { return face >= 0 && face < 6 ? kFaceNames[face] : "?"; }
std::string Size(std::uint32_t width, std::uint32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}
std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// Coordinates in 64 bits while laying out: a row of many wide images may pass 32 bits' worth
// before the size check refuses it.
struct TBox {
  std::int64_t X = 0, Y = 0, W = 0, H = 0;
};

class TSheetBuilder {
 public:
  explicit TSheetBuilder(const TSheetLook& look) : look_(look) {}

  std::int64_t LabelWidth(const std::string& text) const {
    if (look_.TextWidth) return std::max(look_.TextWidth(text), 0) + 4;
    return static_cast<std::int64_t>(text.size()) * look_.CharWidth + 4;
  }
  std::int64_t LabelHeight() const { return look_.LabelHeight; }
  void Cell(unsigned index, TBox box) {
    cells_.emplace_back(index, box);
    Extend(box);
  }
  void Label(std::string text, std::int64_t x, std::int64_t y) {
    const TBox box{x, y, LabelWidth(text), look_.LabelHeight};
    labels_.emplace_back(std::move(text), box);
    Extend(box);
  }

  TSheetPlan Finish(std::size_t shown) const {
    const std::int64_t width = right_ + look_.Margin, height = bottom_ + look_.Margin;
    if (!ImageSizeAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
      throw EInvalidGraphic("A sheet of " + std::to_string(shown) + " images would be " + std::to_string(width) +
                            " x " + std::to_string(height) + " pixels, more than one picture may hold.");
    // Within the limits every coordinate fits 32 bits.
    auto rect = [](const TBox& b) {
      return TRect{static_cast<std::int32_t>(b.X), static_cast<std::int32_t>(b.Y), static_cast<std::int32_t>(b.X + b.W),
                   static_cast<std::int32_t>(b.Y + b.H)};
    };
    TSheetPlan plan;
    plan.Width = static_cast<std::uint32_t>(width);
    plan.Height = static_cast<std::uint32_t>(height);
    for (const auto& [index, box] : cells_) plan.Cells.push_back(TSheetCell{index, rect(box)});
    for (const auto& [text, box] : labels_) plan.Labels.push_back(TSheetLabel{text, rect(box)});
    return plan;
  }

 private:
  void Extend(const TBox& box) {
    right_ = std::max(right_, box.X + box.W);
    bottom_ = std::max(bottom_, box.Y + box.H);
  }

  TSheetLook look_;
  std::vector<std::pair<unsigned, TBox>> cells_;
  std::vector<std::pair<std::string, TBox>> labels_;
  std::int64_t right_ = 0, bottom_ = 0;
};

// What varies among a texture's surfaces.
struct TSurfaceRanges {
  bool Layers = false, Faces = false, Levels = false, Slices = false;
};

TSurfaceRanges RangesOf(const std::vector<const TSheetImage*>& images) {
  TSurfaceRanges r;
  for (const TSheetImage* image : images) {
    r.Layers |= image->Place.Layer > 0;
    r.Faces |= image->Place.Face >= 0;
    r.Levels |= image->Place.Level > 0;
    r.Slices |= image->Place.Slice > 0;
  }
  return r;
}

// Rows of images in the order of their first image, each a strip; returns the y below them.
std::int64_t Strips(TSheetBuilder& b, const TSheetLook& look, std::int64_t y, const std::vector<const TSheetImage*>& images,
                    const TSurfaceRanges& r) {
  using TKey = std::tuple<std::uint32_t, int, std::uint32_t>;
  std::map<TKey, std::size_t> rowOf;
  std::vector<std::vector<const TSheetImage*>> rows;
  for (const TSheetImage* image : images) {
    // A volume's levels differ in slices: each level is a row of its own.
    const TKey key{image->Place.Layer, image->Place.Face, r.Slices ? image->Place.Level : 0};
    const auto [at, added] = rowOf.try_emplace(key, rows.size());
    if (added) rows.emplace_back();
    rows[at->second].push_back(image);
  }
  for (const auto& row : rows) {
    const TImagePlace& first = row.front()->Place;
    std::vector<std::string> heading;
    if (r.Layers) heading.push_back("layer " + std::to_string(first.Layer + 1));
    if (r.Faces) heading.push_back("face " + FaceName(first.Face));
    if (r.Slices)
      heading.push_back("level " + std::to_string(first.Level + 1) + " (" + Size(row.front()->Width, row.front()->Height) +
                        ")");
    if (!heading.empty()) {
      b.Label(Join(heading), look.Margin, y);
      y += b.LabelHeight() + kLabelSpace;
    }
    std::int64_t x = look.Margin, height = 0;
    for (const TSheetImage* image : row) {
      const std::string label = r.Slices ? "slice " + std::to_string(image->Place.Slice + 1)
                                         : "level " + std::to_string(image->Place.Level + 1) + ": " +
                                               Size(image->Width, image->Height);
      b.Cell(image->Index, TBox{x, y, image->Width, image->Height});
      b.Label(label, x, y + image->Height + kLabelSpace);
      x += std::max<std::int64_t>(image->Width, b.LabelWidth(label)) + look.Gap;
      height = std::max<std::int64_t>(height, image->Height);
    }
    y += height + kLabelSpace + b.LabelHeight() + look.Gap;
  }
  return y;
}

unsigned Columns(std::size_t count) {
  return std::max(1u, static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(count)))));
}

// One cross a layer, the crosses in a grid.
std::int64_t Crosses(TSheetBuilder& b, const TSheetLook& look, std::int64_t y, const std::vector<const TSheetImage*>& images,
                     const TSurfaceRanges& r) {
  std::map<std::uint32_t, std::vector<const TSheetImage*>> layers;
  for (const TSheetImage* image : images) layers[image->Place.Layer].push_back(image);
  std::int64_t faceW = 1, faceH = 1;
  for (const TSheetImage* image : images) {
    faceW = std::max<std::int64_t>(faceW, image->Width);
    faceH = std::max<std::int64_t>(faceH, image->Height);
  }
  // Faces that can hold their name meet edge to edge, so their seams show; smaller ones
  // stand apart with the name under each.
  const bool inside = faceW >= b.LabelWidth("-X") + 4 && faceH >= b.LabelHeight() + 4;
  const std::int64_t cellW = inside ? faceW : std::max(faceW, b.LabelWidth("-X")) + look.Gap;
  const std::int64_t cellH = inside ? faceH : faceH + kLabelSpace + b.LabelHeight() + look.Gap;
  const std::int64_t heading = r.Layers ? b.LabelHeight() + kLabelSpace : 0;
  const std::int64_t crossW = 4 * cellW, crossH = heading + 3 * cellH;
  const unsigned columns = Columns(layers.size());
  unsigned n = 0;
  for (const auto& [layer, faces] : layers) {
    const std::int64_t left = look.Margin + (n % columns) * (crossW + look.Gap);
    const std::int64_t top = y + (n / columns) * (crossH + look.Gap);
    if (r.Layers) b.Label("layer " + std::to_string(layer + 1), left, top);
    for (const TSheetImage* image : faces) {
      const int face = std::clamp<int>(image->Place.Face, 0, 5);
      const std::int64_t fx = left + kCrossColumn[face] * cellW, fy = top + heading + kCrossRow[face] * cellH;
      b.Cell(image->Index, TBox{fx, fy, image->Width, image->Height});
      if (inside) b.Label(FaceName(image->Place.Face), fx + 2, fy + 2);
      else b.Label(FaceName(image->Place.Face), fx, fy + image->Height + kLabelSpace);
    }
    ++n;
  }
  const unsigned rows = (n + columns - 1) / columns;
  return y + rows * (crossH + look.Gap);
}

std::string GridLabel(const TSheetImage& image, const TSurfaceRanges& r) {
  const std::string number = std::to_string(image.Index + 1);
  switch (image.Place.Kind) {
    case TImagePlace::ipPage: return "page " + number;
    case TImagePlace::ipFrame: return "frame " + number;
    case TImagePlace::ipEntry: return "entry " + number + ": " + Size(image.Width, image.Height);
    case TImagePlace::ipSurface: {
      std::vector<std::string> parts;
      if (r.Layers) parts.push_back("layer " + std::to_string(image.Place.Layer + 1));
      if (r.Faces) parts.push_back("face " + FaceName(image.Place.Face));
      if (r.Slices) parts.push_back("slice " + std::to_string(image.Place.Slice + 1));
      if (!parts.empty()) return Join(parts);
      break;
    }
    default:
      break;
  }
  return "image " + number;
}

std::int64_t Grid(TSheetBuilder& b, const TSheetLook& look, std::int64_t y, const std::vector<const TSheetImage*>& images,
                  const TSurfaceRanges& r) {
  std::int64_t cellW = 1, cellH = 1;
  std::vector<std::string> labels;
  for (const TSheetImage* image : images) {
    labels.push_back(GridLabel(*image, r));
    cellW = std::max<std::int64_t>({cellW, image->Width, b.LabelWidth(labels.back())});
    cellH = std::max<std::int64_t>(cellH, image->Height);
  }
  cellH += kLabelSpace + b.LabelHeight();
  const unsigned columns = Columns(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::int64_t x = look.Margin + static_cast<std::int64_t>(i % columns) * (cellW + look.Gap);
    const std::int64_t top = y + static_cast<std::int64_t>(i / columns) * (cellH + look.Gap);
    b.Cell(images[i]->Index, TBox{x, top, images[i]->Width, images[i]->Height});
    b.Label(labels[i], x, top + images[i]->Height + kLabelSpace);
  }
  const std::size_t rows = (images.size() + columns - 1) / columns;
  return y + static_cast<std::int64_t>(rows) * (cellH + look.Gap);
}

}  // namespace

TSheetPlan PlanImageSheet(const std::vector<TSheetImage>& images, unsigned total, const TSheetLook& look) {
  std::vector<const TSheetImage*> shown;
  for (const TSheetImage& image : images)
    if (image.Place.Kind != TImagePlace::ipComposite && shown.size() < kMaxSheetImages) shown.push_back(&image);
  TSheetBuilder b(look);
  std::int64_t y = look.Margin;
  if (shown.size() < total) {
    b.Label("the first " + std::to_string(shown.size()) + " of " + std::to_string(total) + " images", look.Margin, y);
    y += b.LabelHeight() + look.Gap;
  }
  if (shown.empty()) return b.Finish(0);
  const bool surfaces = std::all_of(shown.begin(), shown.end(),
                                    [](const TSheetImage* i) { return i->Place.Kind == TImagePlace::ipSurface; });
  const TSurfaceRanges r = surfaces ? RangesOf(shown) : TSurfaceRanges{};
  if (surfaces && r.Levels) Strips(b, look, y, shown, r);
  else if (surfaces && r.Faces) Crosses(b, look, y, shown, r);
  else Grid(b, look, y, shown, r);
  return b.Finish(shown.size());
}

}  // namespace vumo
