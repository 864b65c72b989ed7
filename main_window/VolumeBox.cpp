// The drive list's entries, and what a screen reader is told of it.

#include "main_window/VolumeBox.h"

#include "platform/Volumes.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

namespace orvel {

namespace {

// The drive list as a screen reader meets it: a combo box with its own name, the
// volume chosen as its value and the drop-down list as its one part. (Qt's own
// interface for a combo box names it by its value on Linux, so that the list would be
// announced by the volume it shows.)
class VolumeBoxAccessible : public QAccessibleWidget {
public:
    explicit VolumeBoxAccessible(VolumeBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList(showMenuAction()) << pressAction() << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name != showMenuAction() && name != pressAction()) {
            QAccessibleWidget::doAction(name);
        } else if (box()->view()->isVisible()) {
            box()->hidePopup();
        } else {
            box()->showPopup();
        }
    }

private:
    VolumeBox* box() const { return static_cast<VolumeBox*>(widget()); }
};

QAccessibleInterface* volumeBoxInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String(VolumeBox::staticMetaObject.className()) && object && object->isWidgetType())
        return new VolumeBoxAccessible(static_cast<VolumeBox*>(object));
    return nullptr;
}

} // namespace

VolumeBox::VolumeBox(const Volumes& volumes, QWidget* parent)
    : QComboBox(parent)
    , m_volumes(&volumes)
{
    QAccessible::installFactory(volumeBoxInterface); // kept once, however often installed
    Refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            Q_EMIT volumeChanged();
    });
}

void VolumeBox::Refresh()
{
    const QString current = currentText();
    QStringList volumes = m_volumes->mountPoints();
    // A selected volume that has gone stays listed: the folder list still shows it,
    // and leaving it is the user's choice.
    if (!current.isEmpty() && !volumes.contains(current)) {
        volumes.append(current);
        volumes.sort();
    }
    QStringList listed;
    for (int i = 0; i < count(); ++i)
        listed.append(itemText(i));
    if (volumes == listed)
        return;
    m_loading = true;
    clear();
    addItems(volumes);
    const int keep = findText(current);
    if (keep >= 0)
        setCurrentIndex(keep);
    m_loading = false;
}

void VolumeBox::showPopup()
{
    Refresh();
    QComboBox::showPopup();
}

void VolumeBox::setDrive(const QString& path)
{
    const QString volume = m_volumes->volumeOf(path);
    if (volume.isEmpty())
        return;
    int index = findText(volume);
    if (index < 0) {
        Refresh(); // mounted since the list was filled
        index = findText(volume);
    }
    if (index >= 0 && index != currentIndex())
        setCurrentIndex(index); // raises volumeChanged
}

} // namespace orvel
