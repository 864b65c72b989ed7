// The "Changes Not Made" window: what a run could not rename, and why.
#pragma once

#include "engine/RunOutcome.h"

#include <QList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace orvel {

// "Changes Not Made": the paths that a run could not rename, each with the system's
// reason as its tooltip and, for a screen reader, its description. Its list is a copy
// taken when the window loads; while it stays open, later runs only bring it forward.
// Ctrl+C, also offered in the list's context menu, copies the selected entries, a path
// and its reason a line. Enter and Escape close it.
class NotChangedDialog : public QWidget {
    Q_OBJECT
public:
    // Loads the window with a copy of `notChanged` unless it is loaded already, then
    // shows it without modality and brings it forward.
    static NotChangedDialog* showList(const QList<NotChanged>& notChanged);
    // The loaded window, or null.
    static NotChangedDialog* loaded();

public Q_SLOTS:
    void closeWindow();
    void copySelected() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    explicit NotChangedDialog(const QList<NotChanged>& notChanged);
    void fillList(const QList<NotChanged>& notChanged);
    void showListMenu(const QPoint& at);

    // Named as their objects are: "Label1", "lstCantRename", "cmdOK".
    QLabel* Label1;
    QListWidget* lstCantRename;
    QPushButton* cmdOK;
};

} // namespace orvel
