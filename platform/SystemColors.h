// Colour values as the controls hold them: direct colours and the desktop's system colours.
#pragma once

// Gui types are only named here: platform/ keeps Qt Gui to itself, and whoever
// calls these links Qt Gui anyway.
class QColor;

#include <cstdint>

namespace orvel {

// 0 to 0xFFFFFF is a direct colour laid out 0x00BBGGRR; a value with the top bit set
// names a system colour by the index in its low byte. Desktop colours come from the
// application palette, so the controls follow the user's theme.

// The palette colour that a system colour index stands for (13 selection highlight,
// 14 highlighted text, 16 button shadow, 18 button text, 20 3-D highlight, ...).
// Unknown indexes give black.
QColor SystemColor(int index);

// The direct colour (0x00BBGGRR) that a colour value shows on screen.
std::uint32_t ResolveColor(std::uint32_t colorValue);

// The same, as a QColor.
QColor ToQColor(std::uint32_t colorValue);

// A QColor as a direct colour value 0x00BBGGRR.
std::uint32_t FromQColor(const QColor& color);

constexpr std::uint32_t SystemColorFlag = 0x80000000u;

} // namespace orvel
