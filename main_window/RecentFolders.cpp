// The window's saved settings: the recent-folders list under File > Recents, and the
// Options menu's choices. For the list the settings store is the only copy: every routine
// reads it afresh.

#include "main_window/MainWindow.h"

#include "engine/CaseConversion.h"
#include "platform/MessageBoxes.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QMenu>

namespace orvel {
namespace {

const QString kApplication = QStringLiteral("Orvel Rename");
const QString kSection = QStringLiteral("recent");
// A section of its own, which versions that know only "recent" pass over.
const QString kOptions = QStringLiteral("options");
const QString kKeepExtension = QStringLiteral("keepExtension");
const QString kKeepCapitals = QStringLiteral("keepCapitals");

QString keyOf(int i)
{
    return QStringLiteral("file") + QString::number(i);
}

// A menu text shows '&' as a mnemonic marker; a path is shown as it is.
QString menuText(const QString& path)
{
    QString text = path;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void setCaption(QAction* item, const QString& path)
{
    item->setText(menuText(path));
    item->setData(path);
}

} // namespace

void MainWindow::addRecentFolder(const QString& folder)
{
    SettingsStore& store = *m_services.settings;
    // The program's own lower case, which keeps bytes that are not UTF-8 apart:
    // QString::toLower would turn them all into U+FFFD and make different folders one.
    const QString folded = LowerCaseForm(folder);
    for (int i = 1; i <= 3; ++i)
        if (LowerCaseForm(store.read(kApplication, kSection, keyOf(i))) == folded)
            return;
    // Each write is tried on its own: a store that refuses one still gets the others.
    store.write(kApplication, kSection, keyOf(3), store.read(kApplication, kSection, keyOf(2)));
    store.write(kApplication, kSection, keyOf(2), store.read(kApplication, kSection, keyOf(1)));
    store.write(kApplication, kSection, keyOf(1), folder);
    for (int i = 1; i <= 3; ++i) {
        const QString caption = store.read(kApplication, kSection, keyOf(i));
        setCaption(mnuRecentSub[i], caption);
        if (caption.trimmed().isEmpty())
            mnuRecentSub[i]->setVisible(false);
    }
}

void MainWindow::renameRecentFolder(const QString& oldText, const QString& newText)
{
    // The entry keeps its place; only its letters follow the folder's new name.
    SettingsStore& store = *m_services.settings;
    for (int i = 1; i <= 3; ++i) {
        if (store.read(kApplication, kSection, keyOf(i)) == oldText) {
            store.write(kApplication, kSection, keyOf(i), newText);
            setCaption(mnuRecentSub[i], newText);
        }
    }
}

void MainWindow::loadRecentMenu()
{
    const SettingsStore& store = *m_services.settings;
    for (int i = 1; i <= 3; ++i) {
        const QString caption = store.read(kApplication, kSection, keyOf(i));
        setCaption(mnuRecentSub[i], caption);
        if (!caption.isEmpty()) {
            mnuRecentSub[i]->setVisible(true);
            mnuFileSub->menuAction()->setEnabled(true);
            mnuMRUClear->setEnabled(true);
        }
        if (mnuRecentSub[1]->data().toString().isEmpty()) {
            mnuFileSub->menuAction()->setEnabled(false);
            mnuMRUClear->setEnabled(false);
        }
    }
}

void MainWindow::refreshFileMenu()
{
    loadRecentMenu();
    updateUndoState();
}

void MainWindow::openRecentFolder(int index)
{
    if (index < 1 || index > 3 || m_running)
        return;
    const QString folder = mnuRecentSub[index]->data().toString();
    if (folder.isEmpty())
        return;
    // A folder that no longer exists leaves the lists where they are.
    Dir1->setPath(folder);
    Drive1->setDrive(Dir1->Path());
}

void MainWindow::clearRecentFolders()
{
    const auto answer =
        m_services.messages->show(this, QStringLiteral("Are you sure you wish to clear your recent files list ?"),
                                  QStringLiteral("Orvel Software"), MessageBoxes::Icon::None,
                                  MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::Yes);
    if (answer != MessageBoxes::Yes)
        return;
    m_services.settings->deleteApplication(kApplication);
    // Clearing the list is no reason to forget the options.
    if (mnuKeepExtension->isChecked() || mnuKeepCapitals->isChecked())
        saveOptions();
}

void MainWindow::loadOptions()
{
    const SettingsStore& store = *m_services.settings;
    mnuKeepExtension->setChecked(store.read(kApplication, kOptions, kKeepExtension) == u"1");
    mnuKeepCapitals->setChecked(store.read(kApplication, kOptions, kKeepCapitals) == u"1");
}

void MainWindow::saveOptions()
{
    SettingsStore& store = *m_services.settings;
    store.write(kApplication, kOptions, kKeepExtension, QString::number(int(mnuKeepExtension->isChecked())));
    store.write(kApplication, kOptions, kKeepCapitals, QString::number(int(mnuKeepCapitals->isChecked())));
}

} // namespace orvel
