// The main window's font, its frame and menu-bar styles, and colours that follow the palette.

#include "main_window/MainWindowStyle.h"

#include "platform/Contrast.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <algorithm>
#include <qdrawutil.h>

namespace orvel {

namespace {

// Faces drawn to Arial's widths, which are those the window was laid out for.
constexpr const char* MetricAlikes[] = {"Liberation Sans", "Arimo", "Arial", "Microsoft Sans Serif"};

// Whether the caption of a label or button is drawn whole inside the control.
bool captionFits(const QWidget* w)
{
    const QFontMetricsF fm(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRectF used = fm.boundingRect(QRectF(room), flags, label->text());
        return label->text().isEmpty() || (used.width() <= room.width() && used.height() <= room.height());
    }
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (!button || button->text().isEmpty())
        return true;
    // The style leaves the text what its indicator, spacing and frame do not take.
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement area = qobject_cast<const QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
        : qobject_cast<const QRadioButton*>(w)                        ? QStyle::SE_RadioButtonContents
                                                                      : QStyle::SE_PushButtonContents;
    const QRect room = w->style()->subElementRect(area, &option, w);
    const QSizeF text = fm.size(Qt::TextShowMnemonic, button->text());
    return text.width() <= room.width() && text.height() <= room.height();
}

// Frames as the window was laid out for: the caption stands on the top line, which
// runs through its middle, so the first option below it has room. Desktop styles put
// the caption above a lower line that crosses that option. The line is etched in the
// palette's shadow and highlight colours.
class CaptionOnFrameProxy : public QProxyStyle {
public:
    CaptionOnFrameProxy()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && box && part == SC_GroupBoxLabel)
            return box->text.isEmpty() ? QRect()
                                       : QRect(8, 0, box->fontMetrics.size(Qt::TextShowMnemonic, box->text).width() + 4,
                                               box->fontMetrics.height());
        if (control == CC_GroupBox && box && part == SC_GroupBoxFrame)
            return box->rect.adjusted(0, box->text.isEmpty() ? 0 : box->fontMetrics.height() / 2, 0, 0);
        return QProxyStyle::subControlRect(control, option, part, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        qDrawShadeRect(painter, subControlRect(control, option, SC_GroupBoxFrame, widget), box->palette, true, 1, 0);
        if (box->text.isEmpty())
            return;
        const QRect caption = subControlRect(control, option, SC_GroupBoxLabel, widget);
        painter->fillRect(caption, box->palette.window());
        drawItemText(painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, box->palette, box->state & State_Enabled,
                     box->text, QPalette::WindowText);
    }
};

class AltKeyMenuBarProxy : public QProxyStyle {
public:
    AltKeyMenuBarProxy()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// One for the process, deleted with the application after every window.
template <typename Proxy>
QStyle* styleOfTheProcess()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new Proxy;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

// Colours the window fixes for itself, chosen for a light desktop. On a dark one
// each keeps its hue and becomes as much lighter or darker as it takes to be read.
const QColor StatusBlue(0, 0, 255);
const QColor DropTargetNavy(0, 0, 192);
const QColor LockedFieldGrey(224, 224, 224);

constexpr QPalette::ColorGroup ColorGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

// Palettes here set only the roles they are given; every other role follows the
// parent, so the control keeps up with the desktop's colours.
void setFixedTextColor(QWidget* w, const QColor& fixed, const QPalette& window)
{
    QPalette p;
    for (auto group : ColorGroups)
        p.setColor(group, QPalette::WindowText, ReadableColor(fixed, window.color(group, QPalette::Window)));
    w->setPalette(p);
}

void applyColors(const FixedColorFields& w)
{
    const QPalette window = w.window->palette();
    setFixedTextColor(w.status, StatusBlue, window);
    setFixedTextColor(w.dropTarget, DropTargetNavy, window);

    // The path field keeps the desktop's text colour on its own light grey, as long
    // as that can be read; under light text the grey darkens instead.
    QPalette directory;
    for (auto group : ColorGroups) {
        const QColor text = window.color(group, QPalette::Text);
        directory.setColor(group, QPalette::Base, ReadableColor(LockedFieldGrey, text));
    }
    w.pathField->setPalette(directory);

    // The name field takes no input, but what it shows is read: its greyed text is
    // kept legible on its button-face background.
    QPalette name;
    for (auto group : ColorGroups) {
        const QColor face = window.color(group, QPalette::Button);
        name.setColor(group, QPalette::Base, face);
        name.setColor(group, QPalette::Text, ReadableColor(window.color(group, QPalette::Text), face));
    }
    w.nameField->setPalette(name);
}

// Re-applies the window's own colours when the desktop's palette changes under it.
class PaletteFollower : public QObject {
public:
    explicit PaletteFollower(const FixedColorFields& fields)
        : QObject(fields.window)
        , m_fields(fields)
    {
        fields.window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_fields.window && event->type() == QEvent::PaletteChange)
            applyColors(m_fields);
        return false;
    }

private:
    FixedColorFields m_fields;
};

} // namespace

QFont WindowFont()
{
    // An 8.25 point face of Arial's widths. Font configuration answers every family
    // name with some face, often a much wider one, so each metric-alike is asked
    // for on its own and kept only when it is the face really delivered. Without
    // any, the desktop's own face stands in; FitCaptions() then finds its size.
    QFont f;
    f.setPointSizeF(8.25);
    for (const char* family : MetricAlikes) {
        QFont alike = f;
        alike.setFamilies({QString::fromLatin1(family)});
        const QString delivered = QFontInfo(alike).family().section(QLatin1String(" ["), 0, 0); // without a foundry
        if (std::any_of(std::begin(MetricAlikes), std::end(MetricAlikes), [&](const char* name) {
                return delivered.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
            }))
            return alike;
    }
    return f;
}

// The rectangles are fixed, and the style's check marks and spacings are wider than
// those they were measured for: the window's text steps down from its design size
// until every caption fits, and not below a size that stays legible.
void FitCaptions(QWidget* window)
{
    constexpr qreal SmallestPointSize = 6.5;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    QFont f = window->font();
    for (qreal size = f.pointSizeF(); size >= SmallestPointSize; size -= 0.25) {
        f.setPointSizeF(size);
        window->setFont(f);
        if (std::all_of(controls.begin(), controls.end(), captionFits))
            return;
    }
}

QStyle* CaptionOnFrameStyle()
{
    return styleOfTheProcess<CaptionOnFrameProxy>();
}

QStyle* AltKeyMenuBarStyle()
{
    return styleOfTheProcess<AltKeyMenuBarProxy>();
}

void FollowPalette(const FixedColorFields& fields)
{
    applyColors(fields);
    new PaletteFollower(fields);
}

} // namespace orvel
