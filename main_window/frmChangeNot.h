#pragma once

#include "engine/modFileRename.h"

#include <QList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace orvel {

// "Changes Not Made": the paths that a run could not rename, each with the system's
// reason as its tooltip. Its list is a copy taken when the window loads; while it stays
// open, later runs only bring it forward. Ctrl+C copies the selected entries, a path
// and its reason a line.
class frmChangeNot : public QWidget {
    Q_OBJECT
public:
    // Loads the window with a copy of `notChanged` unless it is loaded already, then
    // shows it without modality and brings it forward.
    static frmChangeNot* ShowList(const QList<NotChanged>& notChanged);
    // The loaded window, or null.
    static frmChangeNot* loaded();

    QLabel* Label1;
    QListWidget* lstCantRename;
    QPushButton* cmdOK;

public Q_SLOTS:
    void cmdOK_Click();
    void copySelected() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmChangeNot(const QList<NotChanged>& notChanged);
    void Form_Load(const QList<NotChanged>& notChanged);
};

} // namespace orvel
