// A label that reports clicks: the main window's cancel link.
#pragma once

#include <QLabel>

namespace orvel {

// A label that reports mouse clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace orvel
