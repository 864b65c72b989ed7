// What a screen reader is told of the progress bar: a value in a range, and its caption.

#include "progress_bar/MProgress.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace orvel {

namespace {

class MProgressAccessible
    : public QAccessibleWidget
    , public QAccessibleValueInterface {
public:
    explicit MProgressAccessible(MProgress* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The drawing surfaces are the way the bar paints, not parts a user could visit: they
    // stay out of the accessibility tree.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        // The caption as it stands on the bar, without the blanks around the number.
        if (t == QAccessible::Value)
            return bar()->CaptionText().trimmed();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return bar()->Value().toDouble(); }
    void setCurrentValue(const QVariant&) override {} // only the program moves the bar
    QVariant maximumValue() const override { return bar()->Max().toDouble(); }
    QVariant minimumValue() const override { return bar()->Min().toDouble(); }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    MProgress* bar() const { return static_cast<MProgress*>(widget()); }
};

QAccessibleInterface* progressBarInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String(MProgress::staticMetaObject.className()) && object && object->isWidgetType())
        return new MProgressAccessible(static_cast<MProgress*>(object));
    return nullptr;
}

} // namespace

void MProgress::installAccessibility()
{
    QAccessible::installFactory(progressBarInterface); // kept once, however often installed
}

void MProgress::announceShownValue()
{
    // Told when the screen is: a value that changes neither the bar's length nor its
    // percentage is not painted, and a screen reader need not hear of it either.
    if (m_Value == m_shownValue)
        return;
    m_shownValue = m_Value;
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(this, m_Value.toDouble());
    QAccessible::updateAccessibility(&event);
}

} // namespace orvel
