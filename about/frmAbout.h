#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace orvel {

// The about box: title, blinking version line, icon, a picture and two links to the
// maker, one for the web and one for mail.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* lbAppTitle = nullptr;
    QLabel* lbAppVersion[2] = {nullptr, nullptr};
    QLabel* lbAppVersionorg = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* lpAppImage = nullptr;
    QLabel* lblMyweb = nullptr;
    QLabel* lblEmailme = nullptr;
    QPushButton* cmdSysinfo = nullptr;
    QPushButton* cmdExit = nullptr;
    QTimer Timer1;

    int BlinkPhase = 0;

public Q_SLOTS:
    void Timer1_Timer();
    void lblMyweb_Click();
    void lblEmailme_Click();
    void cmdExit_Click();
    void cmdSysinfo_Click();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_MouseMove();
    void lblMyweb_MouseMove();
    void lblEmailme_MouseMove();
};

} // namespace orvel
