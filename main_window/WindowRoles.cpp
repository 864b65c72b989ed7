// Telling screen readers which of the program's widgets are a window and a dialog.

#include "main_window/WindowRoles.h"

#include "main_window/MainWindow.h"
#include "main_window/NotChangedDialog.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace orvel {

namespace {

QAccessibleInterface* windowInterface(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* window = static_cast<QWidget*>(object);
    if (className == QLatin1String(MainWindow::staticMetaObject.className()))
        return new QAccessibleWidget(window, QAccessible::Window);
    if (className == QLatin1String(NotChangedDialog::staticMetaObject.className()))
        return new QAccessibleWidget(window, QAccessible::Dialog);
    return nullptr;
}

} // namespace

void InstallWindowRoles()
{
    QAccessible::installFactory(windowInterface); // kept once, however often installed
}

} // namespace orvel
