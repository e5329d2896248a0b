#include "settings/colors.h"

#include <QGuiApplication>

#include <cstdint>

namespace vumo {
namespace {

QColor SystemColor(int index, const QPalette& palette) {
  switch (index) {
    case 0: return palette.color(QPalette::Mid);                       // scroll bar
    case 1: return palette.color(QPalette::Window);                    // desktop
    case 2: return palette.color(QPalette::Highlight);                 // active caption
    case 3: return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 4: return palette.color(QPalette::Window);                    // menu
    case 5: return palette.color(QPalette::Base);                      // window
    case 6: return palette.color(QPalette::Shadow);                    // window frame
    case 7: return palette.color(QPalette::WindowText);                // menu text
    case 8: return palette.color(QPalette::WindowText);                // window text
    case 9: return palette.color(QPalette::HighlightedText);           // caption text
    case 10:
    case 11: return palette.color(QPalette::Window);                   // borders
    case 12: return palette.color(QPalette::Dark);                     // application workspace
    case 13: return palette.color(QPalette::Highlight);
    case 14: return palette.color(QPalette::HighlightedText);
    case 15: return palette.color(QPalette::Button);                   // button face
    case 16: return palette.color(QPalette::Dark);                     // button shadow
    case 17: return palette.color(QPalette::Disabled, QPalette::WindowText);  // grey text
    case 18: return palette.color(QPalette::ButtonText);
    case 19: return palette.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: return palette.color(QPalette::Light);                    // button highlight
    case 21: return palette.color(QPalette::Shadow);                   // 3D dark shadow
    case 22: return palette.color(QPalette::Midlight);                 // 3D light
    case 23: return palette.color(QPalette::ToolTipText);
    case 24: return palette.color(QPalette::ToolTipBase);
    case 26: return palette.color(QPalette::Link);                     // hot light
    case 27:
    case 28: return palette.color(QPalette::Highlight);                // gradient captions
    case 29: return palette.color(QPalette::Highlight);                // menu highlight
    default: return palette.color(QPalette::Window);
  }
}

}  // namespace

QColor ColorToQColor(TColor color, const QPalette& palette) {
  if (color == clNone) return QColor(Qt::transparent);
  if (color == clDefault) return QColor();
  const auto bits = static_cast<std::uint32_t>(color);
  if (bits & 0x80000000u) return SystemColor(static_cast<int>(bits & 0xFFu), palette);
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

QColor ColorToQColor(TColor color) {
  return ColorToQColor(color, qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                  ? QGuiApplication::palette()
                                  : QPalette());
}

TColor QColorToColor(const QColor& color) {
  if (!color.isValid()) return clDefault;
  if (color.alpha() == 0) return clNone;
  const QColor rgb = color.toRgb();
  return static_cast<TColor>(static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
                             (static_cast<std::uint32_t>(rgb.blue()) << 16));
}

}  // namespace vumo
