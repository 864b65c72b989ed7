// The message boxes the program asks and tells with, behind an interface that tests fill in.
#pragma once

#include <QString>

class QWidget;

namespace orvel {

// Message boxes, behind one small interface so tests can read what was asked and
// give the answer.
class MessageBoxes {
public:
    enum class Icon { None, Information, Critical, Question, Warning };
    enum Button { Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };

    virtual ~MessageBoxes() = default;

    // Shows a modal message box and returns the button pressed. `buttons` is an OR of
    // Button values; `defaultButton` one of them.
    virtual Button show(QWidget* parent, const QString& text, const QString& title, Icon icon, int buttons,
                        Button defaultButton) = 0;
};

} // namespace orvel
