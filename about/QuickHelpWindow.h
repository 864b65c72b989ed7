// The quick-help window, and the banner that draws the program's name in it.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvel {

// The labels that draw the program's title word by word, as one piece of text for a
// screen reader.
class TitleBanner : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// The quick-help window: the program's name as a banner, its version and date, the
// icon and a read-only help text.
class QuickHelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit QuickHelpWindow(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* cmdCLOSE = nullptr;

private:
    void buildTitleBanner();
};

} // namespace orvel
