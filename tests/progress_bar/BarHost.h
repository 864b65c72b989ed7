#pragma once

#include "platform/PlatformError.h"
#include "platform/PropertyBag.h"
#include "progress_bar/MProgress.h"
#include "progress_bar/PictureSurface.h"

#include <QTest>

namespace orvel::test {

// A window holding one progress bar of a given size in pixels, shown offscreen.
// `before` runs on the bar before the window is shown.
struct BarHost {
    QWidget window;
    MProgress* bar = new MProgress(&window);
    explicit BarHost(int width = 100, int height = 20, const std::function<void(MProgress&)>& before = {})
    {
        window.resize(width + 20, height + 20);
        bar->setGeometry(10, 10, width, height);
        if (before)
            before(*bar);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) // painting reaches the screen once mapped
            qWarning("the bar's window was not exposed");
    }
};

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb Black = 0x000000;

// No fades, white empty part, black filled part: text on BG is black, on FG white, in a
// saved font, which the surfaces take when the bar is shown.
inline void plain(MProgress& bar)
{
    MemoryPropertyBag saved;
    saved.set(QStringLiteral("Font"), QFont(QStringLiteral("DejaVu Serif"), 11));
    bar.ReadProperties(saved), bar.setFade(0), bar.setBackColor(White), bar.setForeColor(Black);
}

// The number of the PlatformError that `action` throws, 0 if none.
inline int errorOf(const std::function<void()>& action)
{
    try {
        return action(), 0;
    } catch (const PlatformError& e) {
        return e.number();
    }
}

// What the control shows on screen, composed from its surfaces.
inline QImage screenOf(MProgress& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline bool shows(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == colour)
                return true;
    return false;
}

} // namespace orvel::test
