// Text readability as the accessibility guidelines measure it.
#pragma once

// Gui types are only named here: platform/ keeps Qt Gui to itself, and whoever
// calls these links Qt Gui anyway.
class QColor;

namespace orvel {

// Colours are taken as sRGB; alpha is ignored.

// What ordinary text needs against its background.
constexpr double MinTextContrast = 4.5;

// 0 for black to 1 for white.
double RelativeLuminance(const QColor& color);

// (lighter + 0.05) / (darker + 0.05): 1 for equal luminance, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// `color` itself when it reaches `minRatio` against `background`. Otherwise the colour
// of the same hue and saturation, lighter or darker, that reaches it with the smaller
// change of lightness (as 8-bit channels, the way it is drawn). When no lightness
// reaches it, white or black, whichever contrasts more.
QColor ReadableColor(const QColor& color, const QColor& background, double minRatio = MinTextContrast);

} // namespace orvel
