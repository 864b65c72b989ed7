#pragma once

#include "platform/MessageBoxes.h"

#include <QStringList>
#include <functional>

namespace orvel::test {

// One message box as "text [title] icon buttons default", so that one comparison
// shows whichever part differs.
inline QString box(const QString& text, const QString& title, MessageBoxes::Icon icon, int buttons, int defaultButton)
{
    return QStringLiteral("%1 [%2] %3 %4 %5").arg(text, title).arg(int(icon)).arg(buttons).arg(defaultButton);
}

// Records every message box, as box() writes it, instead of showing it and answers
// from a queue (the default button when the queue is empty).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    Button show(QWidget*, const QString& text, const QString& title, Icon icon, int buttons,
                Button defaultButton) override
    {
        shown << box(text, title, icon, buttons, defaultButton);
        if (onShow)
            onShow(text);
        return answers.isEmpty() ? defaultButton : answers.takeFirst();
    }

    QStringList shown;
    QList<Button> answers;
    std::function<void(const QString& text)> onShow; // runs while the box would be up
};

} // namespace orvel::test
