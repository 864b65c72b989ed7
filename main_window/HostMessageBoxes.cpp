// Message boxes through QMessageBox, with their icon named for a screen reader.

#include "main_window/HostMessageBoxes.h"

#include <QLabel>
#include <QMessageBox>
#include <utility>

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
        const auto [shape, meaning] = iconOf(icon);
        box.setIcon(shape);
        // What the icon says, for a screen reader, which does not see it.
        if (auto* iconLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
            iconLabel->setAccessibleName(meaning);
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
    static std::pair<QMessageBox::Icon, QString> iconOf(Icon icon)
    {
        switch (icon) {
        case Icon::None: break;
        case Icon::Information: return {QMessageBox::Information, QStringLiteral("Information")};
        case Icon::Critical: return {QMessageBox::Critical, QStringLiteral("Error")};
        case Icon::Question: return {QMessageBox::Question, QStringLiteral("Question")};
        case Icon::Warning: return {QMessageBox::Warning, QStringLiteral("Warning")};
        }
        return {QMessageBox::NoIcon, QString()};
    }

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
