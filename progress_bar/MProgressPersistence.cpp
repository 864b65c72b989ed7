// Saving and loading the control's settings with the window that holds it.

#include "progress_bar/MProgress.h"

#include "platform/PlatformError.h"
#include "platform/Twips.h"
#include "progress_bar/PropertyBag.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace orvel {

namespace {

constexpr int TypeMismatch = 13;

// A whole number in lowest..highest from a saved value (a number, or its text in
// decimal, 0x or &H hexadecimal). Out of range: overflow; not a number: type mismatch.
long long savedInteger(const QVariant& v, long long lowest, long long highest)
{
    long long n = 0;
    bool ok = false;
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        n = v.toBool() ? -1 : 0;
        ok = true;
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (d < -9.2e18 || d > 9.2e18)
            throw PlatformError(PlatformError::Overflow);
        n = static_cast<long long>(std::nearbyint(d));
        ok = true;
        break;
    }
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > static_cast<qulonglong>(std::numeric_limits<long long>::max()))
            throw PlatformError(PlatformError::Overflow);
        n = static_cast<long long>(u);
        ok = true;
        break;
    }
    case QMetaType::QString: {
        const QString text = v.toString().trimmed();
        if (text.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive)
            || text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
            n = static_cast<long long>(text.mid(2).toULongLong(&ok, 16));
        } else {
            n = text.toLongLong(&ok);
            if (!ok) {
                const double d = text.toDouble(&ok);
                if (ok) {
                    if (d < -9.2e18 || d > 9.2e18)
                        throw PlatformError(PlatformError::Overflow);
                    n = static_cast<long long>(std::nearbyint(d));
                }
            }
        }
        break;
    }
    default: n = v.toLongLong(&ok); break;
    }
    if (!ok)
        throw PlatformError(TypeMismatch);
    if (n < lowest || n > highest)
        throw PlatformError(PlatformError::Overflow);
    return n;
}

std::uint32_t savedColor(const QVariant& v)
{
    // Colours are saved either way round: 0x8000000E or its signed reading.
    const long long n =
        savedInteger(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::uint32_t>::max());
    return static_cast<std::uint32_t>(n);
}

bool savedBool(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString) {
        const QString text = v.toString().trimmed();
        if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0 || text.isEmpty())
            return false;
        return savedInteger(v, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()) != 0;
    }
    return v.toBool();
}

Currency savedCurrency(const QVariant& v)
{
    if (v.canConvert<Currency>() && v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>();
    switch (v.metaType().id()) {
    case QMetaType::QString: return Currency::fromString(v.toString());
    case QMetaType::Double:
    case QMetaType::Float: return Currency::fromDouble(v.toDouble());
    default: {
        bool ok = false;
        const long long n = v.toLongLong(&ok);
        if (!ok)
            throw PlatformError(TypeMismatch);
        return Currency(n);
    }
    }
}

QFont savedFont(const QVariant& v, const QFont& fallback)
{
    if (v.metaType().id() == QMetaType::QFont)
        return v.value<QFont>();
    QFont font;
    if (v.metaType().id() == QMetaType::QString && font.fromString(v.toString()))
        return font;
    return fallback;
}

QVariant color(std::uint32_t c)
{
    return QVariant::fromValue(static_cast<uint>(c));
}

QVariant currency(Currency c)
{
    return c.toString();
}

} // namespace

void MProgress::ReadProperties(PropertyBag& bag)
{
    // Straight into the fields, in the saved order: no clamping, no caches, no
    // painting, no notification. The caches are filled when the control is shown.
    m_BackColor = savedColor(bag.ReadProperty(QStringLiteral("BackColor"), color(0x8000000E)));
    m_Blend =
        static_cast<std::int32_t>(savedInteger(bag.ReadProperty(QStringLiteral("Blend"), 0), INT32_MIN, INT32_MAX));
    m_BorderStyle = static_cast<std::int32_t>(
        savedInteger(bag.ReadProperty(QStringLiteral("BorderStyle"), 6), INT32_MIN, INT32_MAX));
    m_ShowCustomCaption = savedBool(bag.ReadProperty(QStringLiteral("Custom"), false));
    m_CustomCaption = bag.ReadProperty(QStringLiteral("CustomText"), QStringLiteral("Done!")).toString();
    m_Direction =
        static_cast<std::int32_t>(savedInteger(bag.ReadProperty(QStringLiteral("Direction"), 0), INT32_MIN, INT32_MAX));
    m_Fade = static_cast<std::uint8_t>(savedInteger(bag.ReadProperty(QStringLiteral("Fade"), 2), 0, 255));
    m_FadeBG1 = savedColor(bag.ReadProperty(QStringLiteral("FadeBG1"), color(0x80000010)));
    m_FadeBG2 = savedColor(bag.ReadProperty(QStringLiteral("FadeBG2"), color(0x80000014)));
    m_FadeFG1 = savedColor(bag.ReadProperty(QStringLiteral("FadeFG1"), color(0x8000000E)));
    m_FadeFG2 = savedColor(bag.ReadProperty(QStringLiteral("FadeFG2"), color(0x8000000D)));
    m_FadeStyle = static_cast<std::uint8_t>(savedInteger(bag.ReadProperty(QStringLiteral("FadeStyle"), 1), 0, 255));
    const QFont ambient = AmbientFont();
    m_Font = savedFont(bag.ReadProperty(QStringLiteral("Font"), ambient), ambient);
    m_ForeColor = savedColor(bag.ReadProperty(QStringLiteral("ForeColor"), color(0x80000012)));
    m_Interval =
        static_cast<std::int16_t>(savedInteger(bag.ReadProperty(QStringLiteral("Interval"), 1), INT16_MIN, INT16_MAX));
    m_ManualRefresh = savedBool(bag.ReadProperty(QStringLiteral("ManualRefresh"), false));
    m_Max = savedCurrency(bag.ReadProperty(QStringLiteral("Max"), currency(10000)));
    m_Min = savedCurrency(bag.ReadProperty(QStringLiteral("Min"), currency(0)));
    m_DisablePercent = savedBool(bag.ReadProperty(QStringLiteral("NoPercent"), false));
    m_Percent = static_cast<std::uint8_t>(savedInteger(bag.ReadProperty(QStringLiteral("Percent"), 0), 0, 255));
    m_Caption2 = bag.ReadProperty(QStringLiteral("PercentAfter"), QStringLiteral("%")).toString();
    m_Alignment = static_cast<std::uint8_t>(savedInteger(bag.ReadProperty(QStringLiteral("PercentAlign"), 0), 0, 255));
    m_Caption = bag.ReadProperty(QStringLiteral("PercentBefore"), QString()).toString();
    m_Reverse = savedBool(bag.ReadProperty(QStringLiteral("Reverse"), false));
    m_ScaleMode =
        static_cast<std::int16_t>(savedInteger(bag.ReadProperty(QStringLiteral("ScaleMode"), 1), INT16_MIN, INT16_MAX));
    m_Value = savedCurrency(bag.ReadProperty(QStringLiteral("Value"), currency(0)));
    m_Vertical = savedBool(bag.ReadProperty(QStringLiteral("Vertical"), false));
    QWidget::setFont(m_Font);
}

void MProgress::WriteProperties(PropertyBag& bag) const
{
    bag.WriteProperty(QStringLiteral("BackColor"), color(m_BackColor), color(0x8000000E));
    bag.WriteProperty(QStringLiteral("Blend"), m_Blend, 0);
    bag.WriteProperty(QStringLiteral("BorderStyle"), m_BorderStyle, 6);
    bag.WriteProperty(QStringLiteral("Custom"), m_ShowCustomCaption, false);
    bag.WriteProperty(QStringLiteral("CustomText"), m_CustomCaption, QStringLiteral("Done!"));
    bag.WriteProperty(QStringLiteral("Direction"), m_Direction, 0);
    bag.WriteProperty(QStringLiteral("Fade"), static_cast<int>(m_Fade), 2);
    bag.WriteProperty(QStringLiteral("FadeBG1"), color(m_FadeBG1), color(0x80000010));
    bag.WriteProperty(QStringLiteral("FadeBG2"), color(m_FadeBG2), color(0x80000014));
    bag.WriteProperty(QStringLiteral("FadeFG1"), color(m_FadeFG1), color(0x8000000E));
    bag.WriteProperty(QStringLiteral("FadeFG2"), color(m_FadeFG2), color(0x8000000D));
    bag.WriteProperty(QStringLiteral("FadeStyle"), static_cast<int>(m_FadeStyle), 1);
    bag.WriteProperty(QStringLiteral("Font"), m_Font, AmbientFont());
    bag.WriteProperty(QStringLiteral("ForeColor"), color(m_ForeColor), color(0x80000012));
    bag.WriteProperty(QStringLiteral("Interval"), static_cast<int>(m_Interval), 1);
    bag.WriteProperty(QStringLiteral("ManualRefresh"), m_ManualRefresh, false);
    bag.WriteProperty(QStringLiteral("Max"), currency(m_Max), currency(10000));
    bag.WriteProperty(QStringLiteral("Min"), currency(m_Min), currency(0));
    bag.WriteProperty(QStringLiteral("NoPercent"), m_DisablePercent, false);
    bag.WriteProperty(QStringLiteral("Percent"), static_cast<int>(m_Percent), 0);
    bag.WriteProperty(QStringLiteral("PercentAfter"), m_Caption2, QStringLiteral("%"));
    bag.WriteProperty(QStringLiteral("PercentAlign"), static_cast<int>(m_Alignment), 0);
    bag.WriteProperty(QStringLiteral("PercentBefore"), m_Caption, QString());
    bag.WriteProperty(QStringLiteral("Reverse"), m_Reverse, false);
    bag.WriteProperty(QStringLiteral("ScaleMode"), static_cast<int>(m_ScaleMode), 1);
    bag.WriteProperty(QStringLiteral("Value"), currency(m_Value), currency(0));
    bag.WriteProperty(QStringLiteral("Vertical"), m_Vertical, false);
}

MProgress* CreateFromSavedProperties(const QString& resourcePath, QWidget* parent)
{
    SettingsPropertyBag bag(resourcePath);
    auto* bar = new MProgress(bag, parent);
    // The window keeps the control's extent with its settings, in twips.
    const QVariant width = bag.ReadProperty(QStringLiteral("Width"), QVariant());
    const QVariant height = bag.ReadProperty(QStringLiteral("Height"), QVariant());
    bool okW = false;
    bool okH = false;
    const int w = width.toInt(&okW);
    const int h = height.toInt(&okH);
    if (okW && okH && w >= 0 && h >= 0)
        bar->resize(twipsToPixels(w), twipsToPixels(h));
    return bar;
}

} // namespace orvel
