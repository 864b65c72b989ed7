// The "Changes Not Made" window's list, its keys, and copying entries to the clipboard.

#include "main_window/NotChangedDialog.h"

#include "main_window/WindowRoles.h"
#include "platform/AppIcon.h"
#include "platform/Twips.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace orvel {
namespace {
QPointer<NotChangedDialog> g_loaded;
}

NotChangedDialog* NotChangedDialog::loaded()
{
    return g_loaded.data();
}

NotChangedDialog* NotChangedDialog::showList(const QList<NotChanged>& notChanged)
{
    if (!g_loaded)
        g_loaded = new NotChangedDialog(notChanged);
    g_loaded->show();
    g_loaded->raise();
    g_loaded->activateWindow();
    return g_loaded.data();
}

NotChangedDialog::NotChangedDialog(const QList<NotChanged>& notChanged)
    : QWidget(nullptr,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
{
    InstallWindowRoles();
    setObjectName(QStringLiteral("frmChangeNot"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Changes Not Made"));
    setWindowIcon(ApplicationIcon());
    setFixedSize(twipsSize(5295, 6585));

    Label1 = new QLabel(QStringLiteral("The following files was not changed. The reasons for this are either "
                                       "that the file is open or being written to ."),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 120, 4575, 855));
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    lstCantRename = new QListWidget(this);
    lstCantRename->setObjectName(QStringLiteral("lstCantRename"));
    lstCantRename->setAccessibleName(windowTitle()); // what a screen reader calls the list
    lstCantRename->setGeometry(twipsRect(120, 1200, 4845, 4545));
    lstCantRename->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Long paths are read by scrolling sideways, not cut short.
    lstCantRename->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstCantRename->setTextElideMode(Qt::ElideNone);
    lstCantRename->installEventFilter(this);
    lstCantRename->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstCantRename, &QWidget::customContextMenuRequested, this, &NotChangedDialog::showListMenu);

    cmdOK = new QPushButton(QStringLiteral("Ok"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(2040, 6000, 1095, 375));
    connect(cmdOK, &QPushButton::clicked, this, &NotChangedDialog::closeWindow);

    fillList(notChanged);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void NotChangedDialog::fillList(const QList<NotChanged>& notChanged)
{
    for (const NotChanged& item : notChanged) {
        auto* entry = new QListWidgetItem(item.path, lstCantRename);
        entry->setToolTip(item.reason);
        entry->setData(Qt::AccessibleDescriptionRole, item.reason);
        entry->setData(Qt::UserRole, item.reason);
    }
}

bool NotChangedDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstCantRename && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NotChangedDialog::keyPressEvent(QKeyEvent* event)
{
    // What the list and the button leave: Enter and Escape close the window, as they
    // close a dialog.
    const auto key = event->key();
    if ((key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        closeWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

void NotChangedDialog::showListMenu(const QPoint& at)
{
    // The menu names the command and its key; the key itself works without it.
    QMenu menu;
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &NotChangedDialog::copySelected);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutVisibleInContextMenu(true);
    copy->setEnabled(!lstCantRename->selectedItems().isEmpty());
    menu.exec(lstCantRename->viewport()->mapToGlobal(at));
}

void NotChangedDialog::copySelected() const
{
    QString text;
    for (int i = 0; i < lstCantRename->count(); ++i) {
        const QListWidgetItem* entry = lstCantRename->item(i);
        if (entry->isSelected())
            text += entry->text() + QLatin1Char('\t') + entry->data(Qt::UserRole).toString() + QLatin1Char('\n');
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void NotChangedDialog::closeWindow()
{
    close();
}

} // namespace orvel
