// WMF records. Parameters follow the six-byte record header as 16-bit words, most of them
// in the reverse of the order the drawing call takes them.
#include <algorithm>

#include "formats/metafile_player.h"
#include "formats/windows_bitmap.h"

namespace vumo::metafile {
namespace {

enum : std::uint32_t {
  kSaveDC = 0x001E, kRealizePalette = 0x0035, kCreatePalette = 0x00F7,
  kSetBkMode = 0x0102, kSetMapMode = 0x0103, kSetPolyFillMode = 0x0106,
  kSetTextAlign = 0x012E, kRestoreDC = 0x0127, kSelectClipRegion = 0x012C, kSelectObject = 0x012D,
  kDibCreatePatternBrush = 0x0142, kDeleteObject = 0x01F0, kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201, kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kSetViewportOrg = 0x020D, kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F, kOffsetViewportOrg = 0x0211, kLineTo = 0x0213, kMoveTo = 0x0214,
  kCreatePenIndirect = 0x02FA, kCreateFontIndirect = 0x02FB, kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324, kPolyline = 0x0325, kScaleWindowExt = 0x0410, kScaleViewportExt = 0x0412,
  kExcludeClipRect = 0x0415, kIntersectClipRect = 0x0416, kEllipse = 0x0418, kRectangle = 0x041B,
  kSetPixel = 0x041F, kTextOut = 0x0521, kPolyPolygon = 0x0538, kRoundRect = 0x061C, kPatBlt = 0x061D,
  kCreateRegion = 0x06FF, kArc = 0x0817, kPie = 0x081A, kChord = 0x0830, kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32, kDibStretchBlt = 0x0B41, kStretchDib = 0x0F43,
};

// The n-th 16-bit parameter word.
std::int16_t W(const TRecordBytes& r, std::size_t n) { return r.I16(6 + 2 * n); }
std::uint32_t Color(const TRecordBytes& r, std::size_t n) { return r.U32(6 + 2 * n) & 0xFFFFFF; }

std::vector<TLogPoint> Points(const TRecordBytes& r, std::size_t offset, std::size_t count) {
  r.Bytes(offset, count * 4);  // checks the whole run before anything is allocated
  std::vector<TLogPoint> points(count);
  for (std::size_t i = 0; i < count; ++i)
    points[i] = {static_cast<double>(r.I16(offset + 4 * i)), static_cast<double>(r.I16(offset + 4 * i + 2))};
  return points;
}

TGdiObject Pen(const TRecordBytes& r) {
  const std::int16_t width = W(r, 1);
  // Only a width of zero is one pixel whatever the mapping; others scale with it.
  return PenObject(static_cast<std::uint16_t>(W(r, 0)), width, Color(r, 3), width == 0);
}

TGdiObject Brush(const TRecordBytes& r) {
  const int style = static_cast<std::uint16_t>(W(r, 0));
  // A pattern brush made this way has no bitmap in the record; it paints as its colour.
  return BrushObject(style >= bsPattern ? bsSolid : style, Color(r, 1), static_cast<std::uint16_t>(W(r, 3)));
}

TGdiObject Font(const TRecordBytes& r, const TMetafileDC& dc) {
  TFontObject sizes;
  sizes.height = W(r, 0);
  sizes.width = W(r, 1);
  sizes.escapement = W(r, 2);
  sizes.weight = W(r, 4);
  const std::uint8_t* flags = r.Bytes(16, 4);
  // The face name is up to 32 bytes, ended by a zero; some writers cut the record short.
  std::size_t length = 0;
  while (length < 32 && r.Has(24 + length, 1) && *r.Bytes(24 + length, 1) != 0) ++length;
  return FontObject(sizes, flags, dc.Decode(r.Bytes(24, length), length));
}

// A packed DIB: info header and colours, then the pixels.
std::shared_ptr<const TBitmap> PackedDib(const TRecordBytes& r, std::size_t offset) {
  if (!r.Has(offset, 4)) return nullptr;
  const std::size_t size = r.Size() - offset;
  const std::uint8_t* data = r.Bytes(offset, size);
  try {
    const dib::TDibInfo info = dib::ParseDibInfo(data, size, size, false);
    if (info.infoBytes > size) return nullptr;
    return DecodeRecordDib(data, info.infoBytes, data + info.infoBytes, size - info.infoBytes);
  } catch (const Exception&) {
    return nullptr;
  }
}

// Bitmaps are stored bottom-up unless their height is negative: the source rectangle of
// StretchDIBits counts from the bottom row then.
double TopDownY(const TRecordBytes& r, std::size_t dibOffset, const TBitmap& bitmap, double sy, double sh) {
  const bool topDown = r.Has(dibOffset, 12) && r.U32(dibOffset) != 12 && r.I32(dibOffset + 8) < 0;
  return topDown ? sy : bitmap.Height() - sy - sh;
}

void Text(const TRecordBytes& r, TMetafileDC& dc, bool extended) {
  if (!extended) {
    const std::size_t count = static_cast<std::uint16_t>(W(r, 0));
    const std::size_t stringAt = 8;
    const std::uint8_t* text = r.Bytes(stringAt, count);
    const std::size_t after = stringAt + (count + 1) / 2 * 2;
    dc.Text(r.I16(after + 2), r.I16(after), dc.Decode(text, count), 0, nullptr, {});
    return;
  }
  const double y = W(r, 0), x = W(r, 1);
  const std::size_t count = static_cast<std::uint16_t>(W(r, 2));
  const unsigned options = static_cast<std::uint16_t>(W(r, 3));
  std::size_t at = 14;
  double rect[4];
  const bool hasRect = options & (etoOpaque | etoClipped);
  if (hasRect) {
    for (int i = 0; i < 4; ++i) rect[i] = r.I16(at + 2 * i);
    at += 8;
  }
  const std::uint8_t* text = r.Bytes(at, count);
  at += (count + 1) / 2 * 2;
  std::vector<double> dx;
  if (r.Has(at, count * 2)) {
    dx.resize(count);
    for (std::size_t i = 0; i < count; ++i) dx[i] = r.I16(at + 2 * i);
  }
  dc.Text(x, y, dc.Decode(text, count), options, hasRect ? rect : nullptr, dx);
}

}  // namespace

void PlayWmfRecord(const TRecordBytes& r, std::uint32_t type, TMetafileDC& dc) {
  switch (type) {
    case kSetMapMode: dc.SetMapMode(W(r, 0)); break;
    case kSetBkMode: dc.SetBkMode(W(r, 0)); break;
    case kSetPolyFillMode: dc.SetPolyFillMode(W(r, 0)); break;
    case kSetTextAlign: dc.SetTextAlign(static_cast<std::uint16_t>(W(r, 0))); break;
    case kSetBkColor: dc.SetBkColor(Color(r, 0)); break;
    case kSetTextColor: dc.SetTextColor(Color(r, 0)); break;
    case kSetWindowOrg: dc.SetWindowOrg(W(r, 1), W(r, 0)); break;
    case kSetWindowExt: dc.SetWindowExt(W(r, 1), W(r, 0)); break;
    case kSetViewportOrg: dc.SetViewportOrg(W(r, 1), W(r, 0)); break;
    case kSetViewportExt: dc.SetViewportExt(W(r, 1), W(r, 0)); break;
    case kOffsetWindowOrg: dc.OffsetWindowOrg(W(r, 1), W(r, 0)); break;
    case kOffsetViewportOrg: dc.OffsetViewportOrg(W(r, 1), W(r, 0)); break;
    case kScaleWindowExt: dc.ScaleWindowExt(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kScaleViewportExt: dc.ScaleViewportExt(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kSaveDC: dc.Save(); break;
    case kRestoreDC: dc.Restore(W(r, 0)); break;

    case kCreatePenIndirect: dc.AddObject(Pen(r)); break;
    case kCreateBrushIndirect: dc.AddObject(Brush(r)); break;
    case kCreateFontIndirect: dc.AddObject(Font(r, dc)); break;
    case kDibCreatePatternBrush: {
      TGdiObject o;
      o.kind = TGdiObject::okBrush;
      o.brush.style = bsDibPattern;
      o.brush.pattern = PackedDib(r, 10);
      if (!o.brush.pattern) o.brush.style = bsNull;
      dc.AddObject(o);
      break;
    }
    // Objects this player does not draw with still take their slot, or every later index
    // would point at the wrong object.
    case kCreatePalette:
    case kCreatePatternBrush:
    case kCreateRegion: dc.AddObject(TGdiObject{}); break;
    case kSelectObject: dc.SelectObject(static_cast<std::uint16_t>(W(r, 0))); break;
    case kDeleteObject: dc.DeleteObject(static_cast<std::uint16_t>(W(r, 0))); break;

    case kMoveTo: dc.MoveTo(W(r, 1), W(r, 0)); break;
    case kLineTo: dc.LineTo(W(r, 1), W(r, 0)); break;
    case kPolyline:
    case kPolygon: {
      const auto points = Points(r, 8, static_cast<std::uint16_t>(W(r, 0)));
      if (type == kPolyline)
        dc.Polyline(points);
      else
        dc.PolyPolygon({points});
      break;
    }
    case kPolyPolygon: {
      const std::size_t polygons = static_cast<std::uint16_t>(W(r, 0));
      r.Bytes(8, polygons * 2);
      std::vector<std::vector<TLogPoint>> shapes;
      std::size_t at = 8 + polygons * 2;
      for (std::size_t i = 0; i < polygons; ++i) {
        const std::size_t count = static_cast<std::uint16_t>(r.I16(8 + 2 * i));
        shapes.push_back(Points(r, at, count));
        at += count * 4;
      }
      dc.PolyPolygon(shapes);
      break;
    }
    case kRectangle: dc.Rectangle(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kRoundRect: dc.RoundRect(W(r, 5), W(r, 4), W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kEllipse: dc.Ellipse(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kArc:
    case kChord:
    case kPie: {
      const auto kind = type == kArc ? TMetafileDC::akArc : type == kChord ? TMetafileDC::akChord : TMetafileDC::akPie;
      dc.Arc(kind, W(r, 7), W(r, 6), W(r, 5), W(r, 4), W(r, 3), W(r, 2), W(r, 1), W(r, 0));
      break;
    }
    case kSetPixel: dc.SetPixel(W(r, 3), W(r, 2), Color(r, 0)); break;
    case kTextOut: Text(r, dc, false); break;
    case kExtTextOut: Text(r, dc, true); break;

    case kIntersectClipRect: dc.IntersectClipRect(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    case kExcludeClipRect: dc.ExcludeClipRect(W(r, 3), W(r, 2), W(r, 1), W(r, 0)); break;
    // Regions are not kept; selecting one (or none) leaves the whole picture visible.
    case kSelectClipRegion: dc.SelectClipRects({}, rgnCopy); break;

    case kPatBlt: dc.PatternBlt(W(r, 5), W(r, 4), W(r, 3), W(r, 2), r.U32(6)); break;
    case kStretchDib: {
      const std::uint32_t rop = r.U32(6);
      const double sh = W(r, 3), sw = W(r, 4), sy = W(r, 5), sx = W(r, 6);
      const double h = W(r, 7), w = W(r, 8), y = W(r, 9), x = W(r, 10);
      auto bitmap = PackedDib(r, 28);
      if (bitmap)
        dc.Bitmap(*bitmap, sx, TopDownY(r, 28, *bitmap, sy, sh), sw, sh, x, y, w, h, rop);
      else
        dc.PatternBlt(x, y, w, h, rop);
      break;
    }
    case kDibBitBlt:
    case kDibStretchBlt: {
      // The form without a bitmap has one more word and paints with the brush.
      const bool stretch = type == kDibStretchBlt;
      const std::size_t noBitmapWords = (type >> 8) + 3;
      const std::uint32_t rop = r.U32(6);
      if (r.Size() == noBitmapWords * 2) {
        const std::size_t d = stretch ? 7 : 5;
        dc.PatternBlt(W(r, d + 3), W(r, d + 2), W(r, d + 1), W(r, d), rop);
        break;
      }
      double sx, sy, sw, sh, x, y, w, h;
      std::size_t dibAt;
      if (stretch) {
        sh = W(r, 2), sw = W(r, 3), sy = W(r, 4), sx = W(r, 5);
        h = W(r, 6), w = W(r, 7), y = W(r, 8), x = W(r, 9);
        dibAt = 26;
      } else {
        sy = W(r, 2), sx = W(r, 3);
        h = sh = W(r, 4), w = sw = W(r, 5), y = W(r, 6), x = W(r, 7);
        dibAt = 22;
      }
      if (auto bitmap = PackedDib(r, dibAt)) dc.Bitmap(*bitmap, sx, sy, sw, sh, x, y, w, h, rop);
      break;
    }
    default: break;  // escapes, palettes, raster operations and the like change nothing drawn
  }
}

}  // namespace vumo::metafile
