#include "shell/qpainter_canvas.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>

#include "shell/image_convert.h"

namespace vumo {
namespace {

QColor ToQColor(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QPainterPath ToQPath(const TCanvasPath& path, TFillRule rule) {
  QPainterPath q;
  q.setFillRule(rule == frWinding ? Qt::WindingFill : Qt::OddEvenFill);
  std::size_t p = 0;
  for (TCanvasPath::TVerb verb : path.verbs) {
    auto at = [&](std::size_t i) { return QPointF(path.points[i].x, path.points[i].y); };
    switch (verb) {
      case TCanvasPath::pvMoveTo: q.moveTo(at(p)), p += 1; break;
      case TCanvasPath::pvLineTo: q.lineTo(at(p)), p += 1; break;
      case TCanvasPath::pvCubicTo: q.cubicTo(at(p), at(p + 1), at(p + 2)), p += 3; break;
      case TCanvasPath::pvClose: q.closeSubpath(); break;
    }
  }
  return q;
}

QPen ToQPen(const TCanvasPen& pen) {
  QPen q(ToQColor(pen.color));
  q.setWidthF(pen.width);
  static const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};
  q.setStyle(kDashes[pen.dash]);
  q.setCapStyle(pen.cap == TCanvasPen::pcFlat ? Qt::FlatCap : pen.cap == TCanvasPen::pcSquare ? Qt::SquareCap : Qt::RoundCap);
  q.setJoinStyle(pen.join == TCanvasPen::pjMiter   ? Qt::MiterJoin
                 : pen.join == TCanvasPen::pjBevel ? Qt::BevelJoin
                                                   : Qt::RoundJoin);
  q.setMiterLimit(pen.miterLimit);
  return q;
}

QFont ToQFont(const TCanvasFont& f) {
  QFont font(QString::fromStdString(f.face));
  const int pixels = std::max(1, static_cast<int>(std::lround(f.height)));
  font.setPixelSize(pixels);
  if (f.cellHeight) {
    // A positive height counts the internal leading as well: shrink until the line fits it.
    const double line = QFontMetricsF(font).height();
    if (line > 0) font.setPixelSize(std::max(1, static_cast<int>(std::lround(f.height * pixels / line))));
  }
  font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight, 100, 900)));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  if (f.width > 0) {
    const double average = QFontMetricsF(font).averageCharWidth();
    if (average > 0) font.setStretch(std::clamp(static_cast<int>(std::lround(100 * f.width / average)), 1, 4000));
  }
  return font;
}

}  // namespace

TQPainterCanvas::TQPainterCanvas(QPainter& painter) : painter_(painter) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

TQPainterCanvas::~TQPainterCanvas() { painter_.restore(); }

void TQPainterCanvas::DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush,
                               TFillRule rule) {
  const QPainterPath q = ToQPath(path, rule);
  if (brush) {
    switch (brush->style) {
      case TCanvasBrush::bsSolid: painter_.fillPath(q, ToQColor(brush->color)); break;
      case TCanvasBrush::bsHatched: {
        static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                  Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (brush->opaqueBackground) painter_.fillPath(q, ToQColor(brush->backgroundColor));
        painter_.fillPath(q, QBrush(ToQColor(brush->color), kHatches[brush->hatch]));
        break;
      }
      case TCanvasBrush::bsPattern:
        // A copy: the brush may outlive the record's bitmap inside the painter's state.
        if (brush->pattern) painter_.fillPath(q, QBrush(BitmapToQImage(*brush->pattern).copy()));
        break;
    }
  }
  if (pen) {
    QPen qpen = ToQPen(*pen);
    // Dashes along a line far longer than any picture would be counted out one by one.
    const QRectF extent = q.controlPointRect();
    if (qpen.style() != Qt::SolidLine && extent.width() + extent.height() > 1e5) qpen.setStyle(Qt::SolidLine);
    painter_.strokePath(q, qpen);
  }
}

double TQPainterCanvas::DrawText(const TCanvasText& text) {
  const QFont font = ToQFont(text.font);
  const QFontMetricsF metrics(font);
  const QString all = QString::fromUtf16(text.text.data(), static_cast<qsizetype>(text.text.size()));
  double width = metrics.horizontalAdvance(all);
  const bool placed = !text.advances.empty();
  if (placed) {
    const QChar last = all.at(static_cast<qsizetype>(std::min(text.advances.size(), text.text.size()) - 1));
    width = text.advances.back() + metrics.horizontalAdvance(last);
  }
  double x = text.horizontal == 1 ? -width / 2 : text.horizontal == 2 ? -width : 0;
  double baseline = text.vertical == 0 ? metrics.ascent() : text.vertical == 2 ? -metrics.descent() : 0;

  painter_.save();
  if (text.font.angle != 0) {
    painter_.translate(text.origin.x, text.origin.y);
    painter_.rotate(-text.font.angle);
  } else {
    // Unturned text is placed without a transform, so glyphs land where plain drawText puts them.
    x += text.origin.x;
    baseline += text.origin.y;
  }
  if (text.opaque)
    painter_.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                      ToQColor(text.backgroundColor));
  painter_.setFont(font);
  painter_.setPen(ToQColor(text.color));
  if (!placed) {
    painter_.drawText(QPointF(x, baseline), all);
  } else {
    for (std::size_t i = 0; i < text.advances.size() && i < text.text.size(); ++i)
      painter_.drawText(QPointF(x + text.advances[i], baseline), QString(QChar(text.text[i])));
  }
  painter_.restore();
  return width;
}

void TQPainterCanvas::DrawBitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh,
                                 TCanvasPoint topLeft, TCanvasPoint topRight, TCanvasPoint bottomLeft) {
  const QImage image = BitmapToQImage(bitmap);
  if (image.isNull()) return;
  // The unit square onto the destination parallelogram, then the source part onto the unit square.
  const QTransform toDest(topRight.x - topLeft.x, topRight.y - topLeft.y, bottomLeft.x - topLeft.x,
                          bottomLeft.y - topLeft.y, topLeft.x, topLeft.y);
  if (!std::isfinite(1 / sw) || !std::isfinite(1 / sh)) return;
  painter_.save();
  painter_.setTransform(QTransform::fromTranslate(-sx, -sy) * QTransform::fromScale(1 / sw, 1 / sh) * toDest *
                        painter_.transform());
  const QRectF source = QRectF(sx, sy, sw, sh).normalized();
  painter_.drawImage(source, image, source);
  painter_.restore();
}

void TQPainterCanvas::SetClip(const TCanvasClip& clip) {
  // The base clip of the painter (a widget's exposed area) is restored first.
  painter_.restore();
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, antialiased_);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  if (clip.steps.empty()) return;
  QPainterPath area;
  bool first = true;
  for (const TCanvasClip::TStep& step : clip.steps) {
    const QPainterPath path = ToQPath(step.path, step.rule);
    if (first && !step.exclude) {
      area = path;
    } else {
      if (first) {
        // Everything is visible until the first step: a very large rectangle stands for it.
        area.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
      }
      area = step.exclude ? area.subtracted(path) : area.intersected(path);
    }
    first = false;
  }
  painter_.setClipPath(area, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void TQPainterCanvas::SetAntialiasing(bool on) {
  antialiased_ = on;
  painter_.setRenderHint(QPainter::Antialiasing, on);
}

bool DrawMetafile(QPainter& painter, const TMetafile& metafile, const QRectF& target) {
  QRectF reach = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
  if (reach.isEmpty() && painter.device()) {
    bool invertible = false;
    const QTransform toLogical = painter.transform().inverted(&invertible);
    if (invertible) reach = toLogical.mapRect(QRectF(0, 0, painter.device()->width(), painter.device()->height()));
  }
  TQPainterCanvas canvas(painter);
  if (reach.isEmpty()) return metafile.Play(canvas, target.x(), target.y(), target.width(), target.height());
  const TCanvasArea visible{reach.left(), reach.top(), reach.right(), reach.bottom()};
  return metafile.Play(canvas, target.x(), target.y(), target.width(), target.height(), &visible);
}

QImage RenderMetafile(const TMetafile& metafile, int width, int height, bool* complete) {
  if (complete) *complete = true;
  if (width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.fill(Qt::transparent);
  QPainter painter(&image);
  const bool whole = DrawMetafile(painter, metafile, QRectF(0, 0, width, height));
  if (complete) *complete = whole;
  painter.end();
  return image;
}

}  // namespace vumo
