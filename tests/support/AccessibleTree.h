#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace orvel::test {

// What a screen reader would find wrong in a window: a window that does not report the
// window, dialog or alert role, and anything shown without a name. Panes and groups
// that only hold other objects, separators, decorative lines and the scroll bars of a
// named view need none.
inline QStringList screenReaderFaults(QWidget* window)
{
    QStringList faults;
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
    if (!top)
        return {window->objectName() + QStringLiteral(": no interface")};
    if (top->role() != QAccessible::Window && top->role() != QAccessible::Dialog
        && top->role() != QAccessible::AlertMessage)
        faults << QStringLiteral("%1: role %2").arg(window->objectName()).arg(int(top->role()), 0, 16);
    const auto walk = [&](const auto& self, QAccessibleInterface* parent) -> void {
        for (int i = 0; i < parent->childCount(); ++i) {
            QAccessibleInterface* child = parent->child(i);
            if (!child || child->state().invisible)
                continue;
            const QAccessible::Role role = child->role();
            const bool needsNone = role == QAccessible::Client || role == QAccessible::Separator
                || role == QAccessible::Border || role == QAccessible::ScrollBar
                || (role == QAccessible::Grouping && child->childCount() > 0);
            if (!needsNone && child->text(QAccessible::Name).isEmpty())
                faults << QStringLiteral("%1 (role %2): no name")
                              .arg(child->object() ? child->object()->objectName() : QString())
                              .arg(int(role), 0, 16);
            self(self, child);
        }
    };
    walk(walk, top);
    return faults;
}

} // namespace orvel::test
