#pragma once

#include "progress_bar/MProgress.h"
#include "progress_bar/PictureSurface.h"

#include <QImage>
#include <QTest>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace orvel::test {

// A window holding one progress bar of a given size in pixels, shown offscreen.
// `before` runs on the bar before the window is shown.
struct BarHost {
    QWidget window;
    MProgress* bar = nullptr;

    explicit BarHost(int width = 100, int height = 20, const std::function<void(MProgress&)>& before = {})
    {
        window.resize(width + 20, height + 20);
        bar = new MProgress(&window);
        bar->setGeometry(10, 10, width, height);
        if (before)
            before(*bar);
        window.show();
        // Painting reaches the screen once the window is mapped.
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    bool exposed = false;
};

// The colour of a direct colour value, without alpha, as the images compare below.
inline QRgb rgbOf(std::uint32_t direct)
{
    return 0xFFFFFF & qRgb(static_cast<int>(direct & 0xFF), static_cast<int>((direct >> 8) & 0xFF),
                static_cast<int>((direct >> 16) & 0xFF));
}

// What the control shows on screen, composed from its surfaces.
inline QImage screenOf(MProgress& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline int countPixels(const QImage& image, QRgb colour, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

} // namespace orvel::test
