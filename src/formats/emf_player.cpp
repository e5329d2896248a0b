// EMF records: 32-bit fields after the eight-byte record header; offsets inside a record
// count from its first byte.
#include <cmath>

#include "formats/metafile_player.h"

namespace vumo::metafile {
namespace {

enum : std::uint32_t {
  kPolyBezier = 2, kPolygon, kPolyline, kPolyBezierTo, kPolylineTo, kPolyPolyline, kPolyPolygon,
  kSetWindowExtEx, kSetWindowOrgEx, kSetViewportExtEx, kSetViewportOrgEx,
  kSetPixelV = 15, kSetMapMode = 17, kSetBkMode, kSetPolyFillMode,
  kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor, kMoveToEx = 27,
  kExcludeClipRect = 29, kIntersectClipRect, kScaleViewportExtEx, kScaleWindowExtEx, kSaveDC, kRestoreDC,
  kSetWorldTransform, kModifyWorldTransform, kSelectObject, kCreatePen, kCreateBrushIndirect, kDeleteObject,
  kEllipse = 42, kRectangle, kRoundRect, kArc, kChord, kPie, kCreatePalette = 49,
  kLineTo = 54, kArcTo, kSetArcDirection = 57, kSetMiterLimit,
  kBeginPath, kEndPath, kCloseFigure, kFillPath, kStrokeAndFillPath, kStrokePath,
  kSelectClipPath = 67, kAbortPath, kExtSelectClipRgn = 75, kBitBlt, kStretchBlt,
  kSetDIBitsToDevice = 80, kStretchDIBits, kExtCreateFontIndirectW, kExtTextOutA, kExtTextOutW,
  kPolyBezier16, kPolygon16, kPolyline16, kPolyBezierTo16, kPolylineTo16, kPolyPolyline16, kPolyPolygon16,
  kCreateMonoBrush = 93, kCreateDibPatternBrushPt, kExtCreatePen, kSmallTextOut = 108,
};

constexpr std::uint32_t kStockObject = 0x80000000;
constexpr std::uint32_t kPsGeometric = 0x10000;
constexpr unsigned kEtoPdy = 0x2000, kEtoGlyphIndex = 0x10, kEtoNoRect = 0x100, kEtoSmallChars = 0x200;

double D(const TRecordBytes& r, std::size_t at) { return r.I32(at); }

std::vector<TLogPoint> Points(const TRecordBytes& r, std::size_t at, std::size_t count, bool small) {
  const std::size_t size = small ? 2 : 4;
  r.Bytes(at, count * 2 * size);  // the whole run is there before anything is allocated
  std::vector<TLogPoint> points(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t p = at + i * 2 * size;
    points[i] = small ? TLogPoint{static_cast<double>(r.I16(p)), static_cast<double>(r.I16(p + 2))}
                      : TLogPoint{D(r, p), D(r, p + 4)};
  }
  return points;
}

std::vector<std::vector<TLogPoint>> PolyPoints(const TRecordBytes& r, bool small) {
  const std::size_t polys = r.U32(24), total = r.U32(28);
  r.Bytes(32, polys * 4);
  std::size_t at = 32 + polys * 4, seen = 0;
  r.Bytes(at, total * (small ? 4 : 8));
  std::vector<std::vector<TLogPoint>> shapes;
  for (std::size_t i = 0; i < polys; ++i) {
    const std::size_t count = r.U32(32 + 4 * i);
    if (count > total - seen) throw EShortRecord{};
    shapes.push_back(Points(r, at, count, small));
    at += count * (small ? 4 : 8);
    seen += count;
  }
  return shapes;
}

void Poly(const TRecordBytes& r, std::uint32_t type, TMetafileDC& dc) {
  const bool small = type >= kPolyBezier16;
  const std::uint32_t base = small ? type - kPolyBezier16 + kPolyBezier : type;
  const auto points = Points(r, 28, r.U32(24), small);
  switch (base) {
    case kPolyBezier: dc.PolyBezier(points); break;
    case kPolygon: dc.PolyPolygon({points}); break;
    case kPolyline: dc.Polyline(points); break;
    case kPolyBezierTo: dc.PolyBezierTo(points); break;
    case kPolylineTo: dc.PolylineTo(points); break;
    default: break;
  }
}

std::shared_ptr<const TBitmap> Dib(const TRecordBytes& r, std::size_t fields) {
  const std::size_t offBmi = r.U32(fields), cbBmi = r.U32(fields + 4);
  const std::size_t offBits = r.U32(fields + 8), cbBits = r.U32(fields + 12);
  if (cbBmi == 0 || !r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return nullptr;
  return DecodeRecordDib(r.Bytes(offBmi, cbBmi), cbBmi, r.Bytes(offBits, cbBits), cbBits);
}

bool BottomUp(const TRecordBytes& r, std::size_t fields) {
  const std::size_t offBmi = r.U32(fields);
  return !(r.Has(offBmi, 12) && r.U32(offBmi) != 12 && r.I32(offBmi + 8) < 0);
}

void Blt(const TRecordBytes& r, bool stretch, TMetafileDC& dc) {
  const double x = D(r, 24), y = D(r, 28), w = D(r, 32), h = D(r, 36);
  const std::uint32_t rop = r.U32(40);
  const double sx = D(r, 44), sy = D(r, 48);
  auto bitmap = Dib(r, 84);
  if (!bitmap) {
    dc.PatternBlt(x, y, w, h, rop);
    return;
  }
  const double sw = stretch ? D(r, 100) : w, sh = stretch ? D(r, 104) : h;
  dc.Bitmap(*bitmap, sx, sy, sw, sh, x, y, w, h, rop);
}

void StretchDIBits(const TRecordBytes& r, bool toDevice, TMetafileDC& dc) {
  const double x = D(r, 24), y = D(r, 28), sx = D(r, 32), sy = D(r, 36), sw = D(r, 40), sh = D(r, 44);
  const std::uint32_t rop = toDevice ? 0x00CC0020 : r.U32(68);
  const double w = toDevice ? sw : D(r, 72), h = toDevice ? sh : D(r, 76);
  auto bitmap = Dib(r, 48);
  if (!bitmap) {
    dc.PatternBlt(x, y, w, h, rop);
    return;
  }
  // The source rectangle of a bottom-up bitmap counts from its bottom row.
  const double top = BottomUp(r, 48) ? bitmap->Height() - sy - sh : sy;
  dc.Bitmap(*bitmap, sx, top, sw, sh, x, y, w, h, rop);
}

TGdiObject Font(const TRecordBytes& r) {
  TFontObject sizes;
  sizes.height = D(r, 12);
  sizes.width = D(r, 16);
  sizes.escapement = D(r, 20);
  sizes.weight = r.I32(28);
  const std::uint8_t* flags = r.Bytes(32, 4);
  std::u16string face;
  for (std::size_t i = 0; i < 32 && r.Has(40 + 2 * i, 2); ++i) {
    const char16_t c = r.U16(40 + 2 * i);
    if (c == 0) break;
    face.push_back(c);
  }
  return FontObject(sizes, flags, face);
}

void Text(const TRecordBytes& r, bool wide, TMetafileDC& dc) {
  const double x = D(r, 36), y = D(r, 40);
  const std::size_t count = r.U32(44), offString = r.U32(48);
  const unsigned options = r.U32(52);
  double rect[4] = {D(r, 56), D(r, 60), D(r, 64), D(r, 68)};
  const std::size_t offDx = r.U32(72);
  // Glyph indices name shapes inside one font file; there are no characters to draw.
  if (options & kEtoGlyphIndex) {
    dc.Text(x, y, {}, options, rect, {});
    return;
  }
  std::u16string text;
  if (wide) {
    const std::uint8_t* p = r.Bytes(offString, count * 2);
    text.resize(count);
    for (std::size_t i = 0; i < count; ++i) text[i] = static_cast<char16_t>(LittleEndian16(p + 2 * i));
  } else {
    text = dc.Decode(r.Bytes(offString, count), count);
  }
  // With ETO_PDY every character has a vertical advance too; only the horizontal one is used.
  const std::size_t stride = (options & kEtoPdy) ? 8 : 4;
  std::vector<double> dx;
  if (offDx != 0 && r.Has(offDx, count * stride)) {
    dx.resize(count);
    for (std::size_t i = 0; i < count; ++i) dx[i] = D(r, offDx + i * stride);
  }
  dc.Text(x, y, text, options, rect, dx);
}

void SmallText(const TRecordBytes& r, TMetafileDC& dc) {
  const double x = D(r, 8), y = D(r, 12);
  const std::size_t count = r.U32(16);
  const unsigned options = r.U32(20);
  double rect[4] = {};
  std::size_t at = 36;
  if (!(options & kEtoNoRect)) {
    for (int i = 0; i < 4; ++i) rect[i] = D(r, at + 4 * i);
    at += 16;
  }
  std::u16string text;
  if (options & kEtoSmallChars) {
    text = dc.Decode(r.Bytes(at, count), count);
  } else {
    const std::uint8_t* p = r.Bytes(at, count * 2);
    for (std::size_t i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(LittleEndian16(p + 2 * i)));
  }
  dc.Text(x, y, text, options & ~kEtoNoRect, (options & kEtoNoRect) ? nullptr : rect, {});
}

TXForm XForm(const TRecordBytes& r, std::size_t at) {
  return TXForm{r.F32(at), r.F32(at + 4), r.F32(at + 8), r.F32(at + 12), r.F32(at + 16), r.F32(at + 20)};
}

void ClipRegion(const TRecordBytes& r, TMetafileDC& dc) {
  const std::size_t size = r.U32(8);
  const int mode = r.I32(12);
  std::vector<TLogPoint> corners;
  if (size >= 32) {
    const std::size_t count = r.U32(24);
    r.Bytes(48, count * 16);
    for (std::size_t i = 0; i < count; ++i) {
      corners.push_back({D(r, 48 + 16 * i), D(r, 52 + 16 * i)});
      corners.push_back({D(r, 56 + 16 * i), D(r, 60 + 16 * i)});
    }
  }
  dc.SelectClipRects(corners, mode);
}

}  // namespace

void PlayEmfRecord(const TRecordBytes& r, std::uint32_t type, TMetafileDC& dc) {
  switch (type) {
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
    case kPolyBezier16: case kPolygon16: case kPolyline16: case kPolyBezierTo16: case kPolylineTo16:
      Poly(r, type, dc);
      break;
    case kPolyPolygon:
    case kPolyPolygon16: dc.PolyPolygon(PolyPoints(r, type == kPolyPolygon16)); break;
    case kPolyPolyline:
    case kPolyPolyline16: dc.PolyPolyline(PolyPoints(r, type == kPolyPolyline16)); break;

    case kSetWindowExtEx: dc.SetWindowExt(D(r, 8), D(r, 12)); break;
    case kSetWindowOrgEx: dc.SetWindowOrg(D(r, 8), D(r, 12)); break;
    case kSetViewportExtEx: dc.SetViewportExt(D(r, 8), D(r, 12)); break;
    case kSetViewportOrgEx: dc.SetViewportOrg(D(r, 8), D(r, 12)); break;
    case kScaleViewportExtEx: dc.ScaleViewportExt(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kScaleWindowExtEx: dc.ScaleWindowExt(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kSetMapMode: dc.SetMapMode(r.I32(8)); break;
    case kSetWorldTransform: dc.SetWorldTransform(XForm(r, 8)); break;
    case kModifyWorldTransform: dc.ModifyWorldTransform(XForm(r, 8), r.U32(32)); break;

    case kSetBkMode: dc.SetBkMode(r.I32(8)); break;
    case kSetPolyFillMode: dc.SetPolyFillMode(r.I32(8)); break;
    case kSetTextAlign: dc.SetTextAlign(r.U32(8)); break;
    case kSetTextColor: dc.SetTextColor(r.U32(8)); break;
    case kSetBkColor: dc.SetBkColor(r.U32(8)); break;
    case kSetArcDirection: dc.SetArcDirection(r.I32(8)); break;
    case kSetMiterLimit: dc.SetMiterLimit(r.U32(8)); break;
    case kSaveDC: dc.Save(); break;
    case kRestoreDC: dc.Restore(r.I32(8)); break;

    case kSelectObject: {
      const std::uint32_t index = r.U32(8);
      if (index & kStockObject)
        dc.SelectStockObject(index & ~kStockObject);
      else
        dc.SelectObject(index);
      break;
    }
    case kDeleteObject: dc.DeleteObject(r.U32(8)); break;
    case kCreatePen: {
      const double width = D(r, 16);
      dc.SetObject(r.U32(8), PenObject(r.I32(12), width, r.U32(24), width == 0));
      break;
    }
    case kExtCreatePen: {
      const std::uint32_t style = r.U32(28);
      const int shown = r.U32(36) == bsNull ? psNull : static_cast<int>(style & 0xFFFF);
      dc.SetObject(r.U32(8), PenObject(shown, r.U32(32), r.U32(40), !(style & kPsGeometric)));
      break;
    }
    case kCreateBrushIndirect: {
      const int style = r.I32(12);
      const bool known = style == bsSolid || style == bsNull || style == bsHatched;
      dc.SetObject(r.U32(8), BrushObject(known ? style : bsSolid, r.U32(16), r.I32(20)));
      break;
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt: {
      TGdiObject o;
      o.kind = TGdiObject::okBrush;
      o.brush.style = bsDibPattern;
      o.brush.pattern = Dib(r, 16);
      if (!o.brush.pattern) o.brush.style = bsNull;
      dc.SetObject(r.U32(8), o);
      break;
    }
    case kExtCreateFontIndirectW: dc.SetObject(r.U32(8), Font(r)); break;
    case kCreatePalette: dc.SetObject(r.U32(8), TGdiObject{}); break;

    case kMoveToEx: dc.MoveTo(D(r, 8), D(r, 12)); break;
    case kLineTo: dc.LineTo(D(r, 8), D(r, 12)); break;
    case kRectangle: dc.Rectangle(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kRoundRect: dc.RoundRect(D(r, 8), D(r, 12), D(r, 16), D(r, 20), D(r, 24), D(r, 28)); break;
    case kEllipse: dc.Ellipse(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kArc:
    case kChord:
    case kPie:
    case kArcTo: {
      const auto kind = type == kArc     ? TMetafileDC::akArc
                        : type == kChord ? TMetafileDC::akChord
                        : type == kPie   ? TMetafileDC::akPie
                                         : TMetafileDC::akArcTo;
      dc.Arc(kind, D(r, 8), D(r, 12), D(r, 16), D(r, 20), D(r, 24), D(r, 28), D(r, 32), D(r, 36));
      break;
    }
    case kSetPixelV: dc.SetPixel(D(r, 8), D(r, 12), r.U32(16)); break;
    case kExtTextOutA: Text(r, false, dc); break;
    case kExtTextOutW: Text(r, true, dc); break;
    case kSmallTextOut: SmallText(r, dc); break;

    case kBeginPath: dc.BeginPath(); break;
    case kEndPath: dc.EndPath(); break;
    case kAbortPath: dc.AbortPath(); break;
    case kCloseFigure: dc.CloseFigure(); break;
    case kFillPath: dc.FillPath(); break;
    case kStrokePath: dc.StrokePath(); break;
    case kStrokeAndFillPath: dc.StrokeAndFillPath(); break;
    case kSelectClipPath: dc.SelectClipPath(r.I32(8)); break;

    case kIntersectClipRect: dc.IntersectClipRect(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kExcludeClipRect: dc.ExcludeClipRect(D(r, 8), D(r, 12), D(r, 16), D(r, 20)); break;
    case kExtSelectClipRgn: ClipRegion(r, dc); break;

    case kBitBlt: Blt(r, false, dc); break;
    case kStretchBlt: Blt(r, true, dc); break;
    case kStretchDIBits: StretchDIBits(r, false, dc); break;
    case kSetDIBitsToDevice: StretchDIBits(r, true, dc); break;
    default: break;  // comments, palettes, colour management and the like change nothing drawn
  }
}

}  // namespace vumo::metafile
