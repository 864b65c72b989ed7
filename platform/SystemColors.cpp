// System colour indexes mapped onto the application palette.

#include "platform/SystemColors.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace orvel {

namespace {

QPalette currentPalette()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::palette() : QPalette();
}

} // namespace

QColor SystemColor(int index)
{
    const QPalette p = currentPalette();
    switch (index) {
    case 0: // scroll bar track
        return p.color(QPalette::Active, QPalette::Midlight);
    case 1: // desktop
        return p.color(QPalette::Active, QPalette::Dark);
    case 2: // active title bar
    case 27: // its gradient end
    case 29: // highlighted menu item
    case 13: // selection highlight
        return p.color(QPalette::Active, QPalette::Highlight);
    case 3: // inactive title bar
    case 28: return p.color(QPalette::Inactive, QPalette::Highlight);
    case 4: // menu
    case 30: // menu bar
        return p.color(QPalette::Active, QPalette::Window);
    case 5: // window background
        return p.color(QPalette::Active, QPalette::Base);
    case 6: // window frame
    case 21: // 3-D dark shadow
        return p.color(QPalette::Active, QPalette::Shadow);
    case 7: // menu text
        return p.color(QPalette::Active, QPalette::WindowText);
    case 8: // window text
        return p.color(QPalette::Active, QPalette::Text);
    case 9: // active title text
    case 14: // highlighted text
        return p.color(QPalette::Active, QPalette::HighlightedText);
    case 19: // inactive title text
        return p.color(QPalette::Inactive, QPalette::HighlightedText);
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
        return p.color(QPalette::Active, QPalette::Button);
    case 12: // application workspace
        return p.color(QPalette::Active, QPalette::Mid);
    case 16: // button shadow
        return p.color(QPalette::Active, QPalette::Dark);
    case 17: // disabled text
        return p.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return p.color(QPalette::Active, QPalette::ButtonText);
    case 20: // 3-D highlight
        return p.color(QPalette::Active, QPalette::Light);
    case 22: // 3-D light
        return p.color(QPalette::Active, QPalette::Midlight);
    case 23: // tool tip text
        return p.color(QPalette::Active, QPalette::ToolTipText);
    case 24: // tool tip background
        return p.color(QPalette::Active, QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return p.color(QPalette::Active, QPalette::Link);
    default: return QColor(0, 0, 0);
    }
}

std::uint32_t FromQColor(const QColor& color)
{
    const QRgb rgb = color.rgb();
    return static_cast<std::uint32_t>(qRed(rgb)) | (static_cast<std::uint32_t>(qGreen(rgb)) << 8)
        | (static_cast<std::uint32_t>(qBlue(rgb)) << 16);
}

std::uint32_t ResolveColor(std::uint32_t colorValue)
{
    if (colorValue & SystemColorFlag)
        return FromQColor(SystemColor(static_cast<int>(colorValue & 0xFFu)));
    return colorValue & 0xFFFFFFu;
}

QColor ToQColor(std::uint32_t colorValue)
{
    const std::uint32_t c = ResolveColor(colorValue);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

} // namespace orvel
