// Layout measures in twips, converted to pixels.
#pragma once

#include <QRect>
#include <QSize>

namespace orvel {

// Layouts are given in twips; at 100 % scale a pixel is 15 twips. Qt scales logical
// pixels for high-density screens by itself.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips >= 0 ? twips + TwipsPerPixel / 2 : twips - TwipsPerPixel / 2) / TwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

constexpr QSize twipsSize(int width, int height)
{
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

} // namespace orvel
