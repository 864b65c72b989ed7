// The drop target's label, which hands on what is dropped on it.
#pragma once

#include <QLabel>

class QMimeData;

namespace orvel {

// A label that takes what is dropped on it.
class DropLabel : public QLabel {
    Q_OBJECT
public:
    explicit DropLabel(const QString& text, QWidget* parent = nullptr);
Q_SIGNALS:
    void dropped(const QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace orvel
