// The look the main window was laid out for, on whatever desktop it runs.
#pragma once

#include <QFont>

class QLabel;
class QLineEdit;
class QStyle;
class QWidget;

namespace orvel {

// An 8.25 point face of Arial's widths when one is installed, else the desktop's face.
QFont WindowFont();

// Steps the window's font down until every caption fits in its fixed rectangle.
void FitCaptions(QWidget* window);

// Group frames whose caption stands on the top line (one style for the process).
QStyle* CaptionOnFrameStyle();

// A menu bar that a press and release of Alt opens for the keyboard, also under
// styles that leave that out (one style for the process).
QStyle* AltKeyMenuBarStyle();

// The controls whose colours the window fixes, and the window they follow.
struct FixedColorFields {
    QWidget* window;
    QLabel* status;
    QLabel* dropTarget;
    QLineEdit* pathField;
    QLineEdit* nameField;
};

// Gives those controls their colours, kept readable against the desktop's palette,
// now and whenever the palette changes.
void FollowPalette(const FixedColorFields& fields);

} // namespace orvel
