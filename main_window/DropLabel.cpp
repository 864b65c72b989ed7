// Dragging onto the drop target: every proposed drop is taken and handed on.

#include "main_window/DropLabel.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace orvel {

DropLabel::DropLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setAcceptDrops(true);
}

void DropLabel::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void DropLabel::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void DropLabel::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Q_EMIT dropped(event->mimeData());
}

} // namespace orvel
