// A label that works as a link for the mouse, the keyboard and a screen reader.
#pragma once

#include <QLabel>

namespace orvel {

// A label that is a link: Tab reaches it, Enter or Space opens it as a click does, and a
// screen reader hears a link that it can open. Its text and colours are the label's.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

Q_SIGNALS:
    // The link is to be opened.
    void activated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvel
