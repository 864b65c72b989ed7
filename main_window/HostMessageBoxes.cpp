#include "main_window/HostMessageBoxes.h"

#include <QMessageBox>

namespace orvel {
namespace {

class QtMessageBoxes final : public MessageBoxes {
public:
    Button show(QWidget* parent, const QString& text, const QString& title, Icon icon, int buttons,
                Button defaultButton) override
    {
        QMessageBox box(parent);
        box.setText(text);
        box.setWindowTitle(title);
        box.setTextFormat(Qt::PlainText);
        switch (icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
        }
        QMessageBox::StandardButtons standard;
        if (buttons & Ok)
            standard |= QMessageBox::Ok;
        if (buttons & Yes)
            standard |= QMessageBox::Yes;
        if (buttons & No)
            standard |= QMessageBox::No;
        if (buttons & Cancel)
            standard |= QMessageBox::Cancel;
        box.setStandardButtons(standard);
        box.setDefaultButton(toStandard(defaultButton));
        switch (box.exec()) {
        case QMessageBox::Yes: return Yes;
        case QMessageBox::No: return No;
        case QMessageBox::Cancel: return Cancel;
        case QMessageBox::Ok: return Ok;
        default:
            // Closed through the title bar: the box's escape button.
            if (buttons & Cancel)
                return Cancel;
            if (buttons & No)
                return No;
            return Ok;
        }
    }

private:
    static QMessageBox::StandardButton toStandard(Button b)
    {
        switch (b) {
        case Yes: return QMessageBox::Yes;
        case No: return QMessageBox::No;
        case Cancel: return QMessageBox::Cancel;
        case Ok: break;
        }
        return QMessageBox::Ok;
    }
};

} // namespace

MessageBoxes& hostMessageBoxes()
{
    static QtMessageBoxes boxes;
    return boxes;
}

} // namespace orvel
