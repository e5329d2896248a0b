// Feeds arbitrary bytes to the metafile reader and plays what it accepts onto a surface
// that looks at everything it is given: loading may raise the program's own errors, playing
// must never fail.
#include <cstddef>
#include <cstdint>

#include "formats/metafile.h"

namespace {

class TProbeCanvas : public vumo::TMetafileCanvas {
 public:
  double sum = 0;
  void DrawPath(const vumo::TCanvasPath& path, const vumo::TCanvasPen* pen, const vumo::TCanvasBrush* brush,
                vumo::TFillRule) override {
    std::size_t needed = 0;
    for (auto verb : path.verbs) needed += verb == vumo::TCanvasPath::pvCubicTo ? 3 : verb == vumo::TCanvasPath::pvClose ? 0 : 1;
    if (needed != path.points.size()) __builtin_trap();
    for (const auto& p : path.points) sum += p.x + p.y;
    if (pen) sum += pen->width;
    if (brush && brush->pattern) sum += brush->pattern->ScanLine(brush->pattern->Height() - 1)[0];
  }
  double DrawText(const vumo::TCanvasText& text) override {
    for (char16_t c : text.text) sum += c;
    for (double a : text.advances) sum += a;
    return 0;
  }
  void DrawBitmap(const vumo::TBitmap& bitmap, double, double, double, double, vumo::TCanvasPoint,
                  vumo::TCanvasPoint, vumo::TCanvasPoint) override {
    sum += bitmap.ScanLine(bitmap.Height() - 1)[bitmap.BytesPerScanline() - 1];
  }
  void SetClip(const vumo::TCanvasClip& clip) override { sum += static_cast<double>(clip.steps.size()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vumo::TMemoryStream stream(data, size);
  vumo::TMetafile graphic;
  try {
    graphic.LoadFromStream(stream);
  } catch (const vumo::Exception&) {
    return 0;
  }
  TProbeCanvas canvas;
  graphic.Play(canvas, 0, 0, graphic.Width(), graphic.Height());
  return 0;
}
