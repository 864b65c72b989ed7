// The about box: the program's name, its blinking version, a picture and the maker's links.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace orvel {

class LinkLabel;

// The about box: title, blinking version line, icon, a picture and two links to the
// maker, one for the web and one for mail.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLabel* lbAppTitle = nullptr;
    QLabel* lbAppVersion[2] = {nullptr, nullptr};
    QLabel* lbAppVersionorg = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* lpAppImage = nullptr;
    LinkLabel* lblMyweb = nullptr;
    LinkLabel* lblEmailme = nullptr;
    QPushButton* cmdSysinfo = nullptr;
    QPushButton* cmdExit = nullptr;

public Q_SLOTS:
    // One step of the version line's blink; the timer takes one every half second.
    void blinkVersion();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openWebAddress();
    void openMailAddress();
    void resetLinkColours();

    QTimer m_blinkTimer;
    int m_blinkPhase = 0;
};

} // namespace orvel
