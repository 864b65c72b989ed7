// A click on the label: the left button released over it.

#include "main_window/ClickLabel.h"

#include <QMouseEvent>

namespace orvel {

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace orvel
