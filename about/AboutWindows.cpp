// The quick help and the about box as single windows, centred on the screen as they open.

#include "about/AboutWindows.h"

#include "about/AboutDialog.h"
#include "about/QuickHelpWindow.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace orvel {

namespace {

QPointer<QuickHelpWindow> g_help;
QPointer<AboutDialog> g_about;

void centreOnScreen(QWidget* window)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

// Both windows are top-level without an owner, so they outlive the main window and
// keep the program running while they are open.
template <typename Window>
void showOnce(QPointer<Window>& window)
{
    // A closed window is only hidden until its deferred deletion runs; it does not
    // count as open.
    if (!window || !window->isVisible()) {
        window = new Window();
        window->setAttribute(Qt::WA_DeleteOnClose);
        centreOnScreen(window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void ShowQuickHelp()
{
    showOnce(g_help);
}

void ShowAbout()
{
    showOnce(g_about);
}

QuickHelpWindow* CurrentQuickHelpWindow()
{
    return g_help && g_help->isVisible() ? g_help.data() : nullptr;
}

AboutDialog* CurrentAboutDialog()
{
    return g_about && g_about->isVisible() ? g_about.data() : nullptr;
}

} // namespace orvel
