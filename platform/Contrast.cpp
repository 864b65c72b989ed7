// Luminance, contrast ratio, and the nearest readable colour of the same hue.

#include "platform/Contrast.h"

#include <QColor>
#include <QtMath>
#include <optional>

namespace orvel {

namespace {

double linear(float channel)
{
    return channel <= 0.03928f ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

// The colour at `lightness`, rounded to what a screen shows.
QColor atLightness(float hue, float saturation, float lightness, float alpha)
{
    const QColor c = QColor::fromHslF(hue, saturation, qBound(0.0f, lightness, 1.0f), alpha);
    return QColor::fromRgb(c.red(), c.green(), c.blue(), c.alpha());
}

} // namespace

double RelativeLuminance(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor ReadableColor(const QColor& color, const QColor& background, double minRatio)
{
    if (ContrastRatio(color, background) >= minRatio)
        return color;

    float hue, saturation, lightness, alpha;
    color.toHsl().getHslF(&hue, &saturation, &lightness, &alpha);
    if (hue < 0) // no hue: a grey
        hue = 0;
    auto reaches = [&](float l) {
        return ContrastRatio(atLightness(hue, saturation, l, alpha), background) >= minRatio;
    };

    // Moving lightness one way first brings the colour nearer to the background's
    // luminance, then away from it: along each way the colours that reach the ratio
    // form one stretch at its far end, so the nearest one is found by halving.
    struct Way {
        float lightness;
        float change;
    };
    auto nearest = [&](float end) -> std::optional<Way> {
        if (!reaches(end))
            return std::nullopt;
        float fails = lightness, meets = end;
        for (int i = 0; i < 24; ++i) {
            const float mid = (fails + meets) / 2;
            (reaches(mid) ? meets : fails) = mid;
        }
        return Way{meets, qAbs(meets - lightness)};
    };
    const std::optional<Way> lighter = nearest(1.0f);
    const std::optional<Way> darker = nearest(0.0f);
    if (lighter && (!darker || lighter->change <= darker->change))
        return atLightness(hue, saturation, lighter->lightness, alpha);
    if (darker)
        return atLightness(hue, saturation, darker->lightness, alpha);
    const QColor white = QColor::fromRgb(255, 255, 255, color.alpha());
    const QColor black = QColor::fromRgb(0, 0, 0, color.alpha());
    return ContrastRatio(white, background) >= ContrastRatio(black, background) ? white : black;
}

} // namespace orvel
