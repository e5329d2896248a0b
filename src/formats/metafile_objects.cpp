// The pens, brushes and fonts both players make: the two formats lay the values out in
// their own records, but mean the same objects by them.
#include "formats/metafile_player.h"

namespace vumo::metafile {

TGdiObject PenObject(int style, double width, std::uint32_t color, bool cosmetic) {
  TGdiObject o;
  o.kind = TGdiObject::okPen;
  o.pen.style = style;
  o.pen.width = width;
  o.pen.color = color;
  o.pen.cosmetic = cosmetic;
  return o;
}

TGdiObject BrushObject(int style, std::uint32_t color, int hatch) {
  TGdiObject o;
  o.kind = TGdiObject::okBrush;
  o.brush.style = style;
  o.brush.color = color;
  o.brush.hatch = hatch;
  return o;
}

TGdiObject FontObject(const TFontObject& sizes, const std::uint8_t* flags, const std::u16string& face) {
  TGdiObject o;
  o.kind = TGdiObject::okFont;
  o.font = sizes;
  o.font.italic = flags[0], o.font.underline = flags[1], o.font.strikeOut = flags[2], o.font.charset = flags[3];
  o.font.face = Utf8(face);
  return o;
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace vumo::metafile
