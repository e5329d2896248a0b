// The framework's 32-bit colour values and their translation to Qt colours: one
// table for the window's drawing and for the settings file.
#pragma once

#include <QColor>
#include <QPalette>

#include "formats/bitmap.h"  // TColor, clNone, clDefault

namespace vumo {

// A plain colour is 0x00BBGGRR. System colours carry the high bit and the platform's
// colour index in the low byte; the settings file stores these numbers, so they stay
// numbers until something is drawn.
inline constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000u);
inline constexpr TColor clScrollBar = kSystemColorFlag | 0;
inline constexpr TColor clBackground = kSystemColorFlag | 1;
inline constexpr TColor clWindow = kSystemColorFlag | 5;
inline constexpr TColor clWindowFrame = kSystemColorFlag | 6;
inline constexpr TColor clWindowText = kSystemColorFlag | 8;
inline constexpr TColor clHighlight = kSystemColorFlag | 13;
inline constexpr TColor clHighlightText = kSystemColorFlag | 14;
inline constexpr TColor clBtnFace = kSystemColorFlag | 15;
inline constexpr TColor clBtnShadow = kSystemColorFlag | 16;
inline constexpr TColor clGrayText = kSystemColorFlag | 17;
inline constexpr TColor clBtnText = kSystemColorFlag | 18;
inline constexpr TColor clBtnHighlight = kSystemColorFlag | 20;
inline constexpr TColor cl3DDkShadow = kSystemColorFlag | 21;
inline constexpr TColor cl3DLight = kSystemColorFlag | 22;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

// Resolves a colour for drawing, system colours through the given palette. clNone gives
// a transparent colour and clDefault an invalid one.
QColor ColorToQColor(TColor color, const QPalette& palette);
// The same through the application's palette (a default palette without a GUI).
QColor ColorToQColor(TColor color);
// A colour as the framework stores it: an invalid colour is clDefault, a fully
// transparent one clNone, any other its plain RGB value.
TColor QColorToColor(const QColor& color);

}  // namespace vumo
