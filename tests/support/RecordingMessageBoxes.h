#pragma once

#include "platform/MessageBoxes.h"

#include <QList>
#include <QString>
#include <functional>

namespace orvel::test {

// Records every message box instead of showing it and answers from a queue (the
// default button when the queue is empty).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
        int buttons;
        Button defaultButton;
    };

    Button show(QWidget*, const QString& text, const QString& title, Icon icon, int buttons,
                Button defaultButton) override
    {
        shown.append({text, title, icon, buttons, defaultButton});
        if (onShow)
            onShow(shown.last());
        return answers.isEmpty() ? defaultButton : answers.takeFirst();
    }

    QList<Shown> shown;
    QList<Button> answers;
    std::function<void(const Shown&)> onShow; // runs while the box would be up
};

} // namespace orvel::test
