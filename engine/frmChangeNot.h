#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace orvel {

// "Changes Not Made": the paths that a run could not rename. Its list is a copy taken
// when the window loads; while it stays open, later runs only bring it forward.
class frmChangeNot : public QWidget {
    Q_OBJECT
public:
    // Loads the window with a copy of `notChanged` unless it is loaded already, then
    // shows it without modality and brings it forward.
    static frmChangeNot* ShowList(const QStringList& notChanged);
    // The loaded window, or null.
    static frmChangeNot* loaded();

    QLabel* Label1;
    QListWidget* lstCantRename;
    QPushButton* cmdOK;

public slots:
    void cmdOK_Click();

private:
    explicit frmChangeNot(const QStringList& notChanged);
    void Form_Load(const QStringList& notChanged);
};

} // namespace orvel
