#pragma once

// The pure colour rules of the colouring routine: luminance, blends, the
// automatic text colour, border colours and widths. No widget is touched.

#include <QColor>

namespace tl {

// L = 0.299 R + 0.587 G + 0.114 B, channels 0 to 255.
double Luminance(const QColor &colour);
// L rounded to the nearest integer.
int RoundedLuminance(const QColor &colour);

// Per channel round(w * a + (1 - w) * b); w is capped at 1 (and held at 0 or above).
QColor Blend(const QColor &a, const QColor &b, double w);

// The text colour a background gets when no text colour was given: rounded
// L of 81 to 127 gives white, 129 and above black, 80 and below or exactly
// 128 a light grey RGB(220, 220, 220).
QColor AutomaticTextColour(const QColor &background);

// Relative luminance of the sRGB colour, 0 (black) to 1 (white), and the
// contrast ratio of two colours, 1 to 21, as WCAG 2 defines them.
double RelativeLuminance(const QColor &colour);
double ContrastRatio(const QColor &a, const QColor &b);
// Text needs 4.5:1 on its background, a border 3:1 on what it borders.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kBorderContrast = 3.0;

// `colour` itself when it stands out `ratio`:1 from `background`, else the
// first blend of it towards white (on a dark background) or black (on a
// light one), in steps of 5 %, that does: an accent colour keeps its hue.
QColor ReadableOn(const QColor &colour, const QColor &background, double ratio = kTextContrast);

// Borders of a coloured control: soft at rest, hot while the mouse is over it.
// The soft border is a quarter of the text on the background, or more text
// when that does not stand out 3:1 from the background.
QColor SoftBorderColour(const QColor &text, const QColor &background);
QColor HotBorderColour(const QColor &text, const QColor &background);

// Scroll bars and lists take the light look when L(background) is above 128
// (unrounded), else the dark look. An unset background counts as `fallback`
// (the system's button face).
bool UsesLightLook(const QColor &background, const QColor &fallback);

// The panel colour of a scheme whose base is `base`: 20 brighter per channel,
// or 20 darker when L(base) is above 128; channels held within 0 to 255.
QColor PanelColour(const QColor &base);

// Border mode bits of a coloured control.
enum BorderBit : int {
  BorderReacts = 1 << 0, // drawn in the hot colour while the mouse is over it
  BorderInText = 1 << 1, // drawn in the text colour
  BorderThin = 1 << 2,   // thin edge
  BorderSunken = 1 << 3, // sunken edge, 2 pixels wide
  BorderEtched = 1 << 4, // etched frame or line
};

// Width in pixels: 2 for a sunken edge, 1 for the other edges, 0 for none.
int BorderWidth(int mode);
// The colour the border is drawn in right now.
QColor BorderColour(int mode, bool hot, const QColor &text, const QColor &soft,
                    const QColor &hotColour);

} // namespace tl
