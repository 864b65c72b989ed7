// Telling screen readers which of the program's widgets are a window, a dialog and a status bar.

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
    // The main window's status line is its status bar: a screen reader watches it for the
    // run's result, which it names.
    if (className == QLatin1String("QLabel") && object->objectName() == QLatin1String("lblStatus")
        && qobject_cast<MainWindow*>(window->window()))
        return new QAccessibleWidget(window, QAccessible::StatusBar);
    return nullptr;
}

} // namespace

void InstallWindowRoles()
{
    QAccessible::installFactory(windowInterface); // kept once, however often installed
}

} // namespace orvel
