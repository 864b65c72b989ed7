// The main window as the user meets it: how it opens, the enable rules of "Rename
// Selected", moving through volumes and folders, the drop target, the recent folders,
// always on top, closing and Exit; that its texts read on a light and a dark desktop
// (CTest runs this at 1x and at 2x); and the two rename commands as it runs them: what the
// controls put into a run, what its outcome puts on the labels and lists, the controls
// disabled while Rename All works, the messages before a run, undo, and the report of
// what was not changed. (Which names a run changes and why is the engine's test; a close
// mid-run is checked on the real program in check_close_during_run.sh.)

#include "main_window/HostMessageBoxes.h"
#include "main_window/MainWindow.h"
#include "main_window/NotChangedDialog.h"
#include "main_window/PreviewDialog.h"
#include "platform/Contrast.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"
#include "platform/PlatformError.h"
#include "platform/SettingsStore.h"
#include "platform/TreeLock.h"
#include "platform/Volumes.h"
#include "tests/support/AccessibleTree.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempTree.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>

using namespace orvel;
using namespace orvel::test;

// The window keeps its controls to itself; its test reaches them here.
struct orvel::MainWindowTestAccess {
    static MainWindowControls& controls(MainWindow& w) { return w; }
    static const MainWindowControls& controls(const MainWindow& w) { return w; }
};

namespace {

template <typename Window>
auto& ui(Window& w)
{
    return MainWindowTestAccess::controls(w);
}

// Volumes that a test lays out: real folders standing for mount points, and what
// probing one answers (0, ready, unless it is named).
struct FakeVolumes final : Volumes {
    QStringList roots{QStringLiteral("/")};
    QHash<QString, int> probes;
    QStringList mountPoints() const override
    {
        QStringList sorted = roots;
        sorted.sort();
        return sorted;
    }
    int probe(const QString& mountPoint) const override { return probes.value(mountPoint); }
};

// '1' or '0' for each control's (or menu item's) enabled state, in order.
QString enabledStates(std::initializer_list<const QObject*> controls)
{
    QString states;
    for (const QObject* c : controls)
        states += c->property("enabled").toBool() ? u'1' : u'0';
    return states;
}

// A click, or a press followed by a double click, on an item of a list.
void clickItem(QListWidget* list, const QListWidgetItem* item, bool twice)
{
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    else
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// A main window on a temporary folder, with a file system that passes everything on
// unless told to fail, message boxes that record and answer, a settings store of its own
// and volumes the test lays out.
struct MainWindowFixture {
    TempDir dir;
    QTemporaryDir config;
    FaultyFileSystem fs;
    RecordingMessageBoxes messages;
    FakeVolumes volumes;
    IniSettingsStore settings{config.path()};
    std::unique_ptr<JournalFiles> journals = OpenJournalFiles(config.filePath("journals"), nullptr);
    std::unique_ptr<TreeLocks> locks = TreeLocks::open(config.filePath("journals"), nullptr);
    int helpShown = 0;
    MainWindowServices services{&fs,        &volumes,
                                &messages,  &settings,
                                dir.path(), dir.path(),
                                {},         [this] { ++helpShown; },
                                {},         {journals.get(), locks.get()},
                                {}};
    std::unique_ptr<MainWindow> window;
    int endProcessCalls = 0;

    // The tests' file system code looks at the window while a run renames: the renames
    // must then be made on the window's thread, as on a volume that takes one at a time.
    MainWindowFixture() { fs.volume = VolumeKind::OneRenameAtATime; }

    // Lays out `entries` (relative, as makeTree reads them), then opens the window at
    // `start` (relative; the temporary folder when empty).
    MainWindow& open(const QStringList& entries = {}, const QString& start = {})
    {
        touch(entries);
        if (!start.isEmpty())
            services.startFolder = path(start);
        window = std::make_unique<MainWindow>(services);
        window->endProcess = [this] { ++endProcessCalls; };
        return *window;
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    bool touch(const QStringList& entries) const { return makeTree(dir.path(), entries); }

    // The tree below the temporary folder as it stands, as readTree writes it.
    QStringList tree() const { return readTree(dir.path()); }

    // The temporary folder written as "~".
    QString shortened(QString text) const { return text.replace(dir.path(), QStringLiteral("~")); }

    // Where the window stands: "open folder | txtDirectory | the folder to rename | files listed".
    QString where() const
    {
        QStringList files;
        for (int i = 0; i < ui(*window).File1->count(); ++i)
            files << ui(*window).File1->item(i)->text();
        return shortened(QStringList{ui(*window).Dir1->Path(), ui(*window).txtDirectory->text(),
                                     ui(*window).m_folderToRename, files.join(", ")}
                             .join(" | "));
    }

    // The three recent folders in the store, newest first.
    QStringList recents() const
    {
        const auto entry = [this](const char* key) { return shortened(settings.read("Orvel Rename", "recent", key)); };
        return {entry("file1"), entry("file2"), entry("file3")};
    }

    // The recent folders the File menu shows, as they read.
    QStringList recentMenu() const
    {
        QStringList shown;
        for (int i = 1; i <= 3; ++i)
            if (ui(*window).mnuRecentSub[i]->isVisible())
                shown << shortened(ui(*window).mnuRecentSub[i]->iconText());
        return shown;
    }
};

QString selectedState(const MainWindow& w)
{
    return enabledStates({ui(w).cmdSELECTED, ui(w).mnuRenameSelected});
}

// A label's text as the window shows it: none while the label is hidden.
QString shown(const QLabel* label)
{
    return label->isVisibleTo(label->window()) ? label->text() : QString();
}

// Every text of the window against what it is drawn on, as "name: ratio" when below
// the minimum. A disabled button is meant to look inactive and is left out.
QStringList unreadable(const MainWindow& w)
{
    QStringList low;
    for (const QWidget* c : w.findChildren<QWidget*>()) {
        if (!qobject_cast<const QLabel*>(c) && !qobject_cast<const QLineEdit*>(c)
            && !(qobject_cast<const QAbstractButton*>(c) && c->isEnabled()))
            continue;
        const auto group = c->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const double ratio = ContrastRatio(c->palette().color(group, c->foregroundRole()),
                                           c->palette().color(group, c->backgroundRole()));
        if (ratio < MinTextContrast)
            low << QStringLiteral("%1: %2").arg(c->objectName()).arg(ratio, 0, 'f', 2);
    }
    return low;
}

// Opens a preview with `command`, hands it to `look` once it is planned, then clicks
// its button `close` ("cmdClose" or "cmdRun").
void inPreview(MainWindow& w, QAction* command, const std::function<void(PreviewDialog&)>& look,
               const char* close = "cmdClose")
{
    QTimer poll;
    poll.callOnTimeout([&] {
        PreviewDialog* dialog = w.findChild<PreviewDialog*>();
        if (!dialog || !dialog->planned())
            return;
        poll.stop();
        look(*dialog);
        dialog->findChild<QPushButton*>(close)->click();
    });
    poll.start(5);
    command->trigger();
    QVERIFY(!poll.isActive());
}

// The entries of a plan: "old > new | reason", paths relative to `base`.
QString planned(const QString& base, const QString& oldPath, const QString& newPath, const QString& reason)
{
    const auto shown = [&](const QString& path) { return path.isEmpty() ? path : QDir(base).relativeFilePath(path); };
    return shown(oldPath) + " > " + shown(newPath) + " | " + reason;
}

const QString NothingTicked = box("Please checked Rename folder, Rename file or both.", "Checkbox must select",
                                  MessageBoxes::Icon::Information, MessageBoxes::Ok, MessageBoxes::Ok);

// The controls a run disables.
QString lockable(const MainWindow& w)
{
    return enabledStates({ui(w).cmdUpLevel, ui(w).Drive1, ui(w).Dir1, ui(w).File1, ui(w).cmdALL, ui(w).cmdSELECTED,
                          ui(w).Frame1, ui(w).Check1, ui(w).mnuRenamedAll, ui(w).mnuFileSub->menuAction(),
                          ui(w).mnuMRUClear, ui(w).mnuOptions->menuAction()});
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::optional<MainWindowFixture> fx;

private Q_SLOTS:
    // The 2x run must really draw at twice the scale.
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble()); }
    void init() { fx.emplace(); }
    void cleanup() { delete NotChangedDialog::loaded(); }

    // "Rename Selected" ("10": the button on, the menu item off) as the window opens, and
    // what an update makes of it when both were on: what is ticked, a file selected, an
    // empty list.
    void renameSelectedEnabling()
    {
        MainWindow& w = fx->open({"a.txt", "b.txt"});
        QCOMPARE(selectedState(w), "00");
        for (const QString row : {"selected: 11", "folder: 11", "file: 10", ": 00", "file folder empty: 10"}) {
            const QString ticked = row.section(':', 0, 0);
            ui(w).chkRenameFile->setChecked(ticked.contains("file"));
            ui(w).chkRenameFolder->setChecked(ticked.contains("folder"));
            if (ticked.contains("empty"))
                ui(w).File1->setPath(fx->path("nowhere"));
            ui(w).File1->clearSelection();
            ui(w).File1->setSelected(1, ticked.contains("selected"));
            ui(w).cmdSELECTED->setEnabled(true);
            ui(w).mnuRenameSelected->setEnabled(true);
            w.updateSelectedState();
            QCOMPARE(ticked + ": " + selectedState(w), row);
        }
    }

    // The lists open at the start folder; one that is gone gives way to the home folder,
    // and only then to the root, which is shown with its one separator.
    void opensAtItsStartFolder()
    {
        for (const QStringList& row :
             {QStringList{"start", "home", "~/start | ~/start/ | ~/start"},
              QStringList{"gone", "home", "~/home | ~/home/ | ~/home"}, QStringList{"gone", "gone too", "/ | / | /"}}) {
            fx.emplace();
            fx->services.homeFolder = fx->path(row[1]);
            fx->open({"start/a.txt", "home/"}, row[0]);
            QCOMPARE(fx->where().section(" | ", 0, 2), row[2]);
        }
    }

    void theFolderAndFileLists()
    {
        MainWindow& w = fx->open({"Sub/inner.txt", "top.txt", "B.txt", "a2.txt", ".hidden"});
        w.show();
        // Files sorted without regard to case, no hidden entries, no folders, which run
        // from the root to Sub; a click names the file.
        clickItem(ui(w).File1, ui(w).File1->item(1), false);
        QCOMPARE(fx->where(), "~ | ~/ | ~ | a2.txt, B.txt, top.txt");
        QCOMPARE(ui(w).txtNAME->text(), "B.txt");
        QCOMPARE(ui(w).Dir1->item(0)->text(), "/");
        QCOMPARE(ui(w).Dir1->item(ui(w).Dir1->count() - 1)->text().trimmed(), "Sub");
        // A single click on a folder keeps the open folder, also where the desktop makes it
        // an activation, but reads its files again and leaves the menu item; a double
        // click opens the folder in every list and text.
        ui(w).chkRenameFolder->setChecked(true);
        ui(w).mnuRenameSelected->setEnabled(false);
        fx->touch({"second.txt"});
        const auto sub = [&] { return ui(w).Dir1->findItems("Sub", Qt::MatchEndsWith).value(0); };
        clickItem(ui(w).Dir1, sub(), false);
        Q_EMIT ui(w).Dir1->itemActivated(sub());
        QCOMPARE(fx->where(), "~ | ~/ | ~ | a2.txt, B.txt, second.txt, top.txt");
        QCOMPARE(selectedState(w), "10");
        clickItem(ui(w).Dir1, sub(), true);
        QCOMPARE(fx->where(), "~/Sub | ~/Sub/ | ~/Sub | inner.txt");
        QCOMPARE(selectedState(w), "11");
        // Up One Level goes back, Enter opens the highlighted folder.
        ui(w).cmdUpLevel->click();
        QCOMPARE(ui(w).Dir1->Path(), fx->dir.path());
        ui(w).Dir1->setCurrentItem(sub());
        QTest::keyClick(ui(w).Dir1, Qt::Key_Return);
        QCOMPARE(ui(w).Dir1->Path(), fx->path("Sub"));
    }

    // Dropped folders open the first, and a folder that a later start names opens as
    // well; anything else says so and leaves the lists.
    void foldersFromOutside()
    {
        MainWindow& w = fx->open({"Sub/file.txt", "Drop 1/in.txt", "Drop 2/x", "other/y.txt"}, "Sub");
        fx->volumes.roots << fx->path("Drop 1"); // mounted after the drive list was filled
        ui(w).lblStatus->setText("Renamed done !!");
        // Whether the drag and the drop were both taken.
        const auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            if (urls.isEmpty())
                data.setText(fx->path("Sub"));
            else
                data.setUrls(urls);
            QDragEnterEvent enter(ui(w).Label1->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(ui(w).Label1, &enter);
            QDropEvent dropped(ui(w).Label1->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(ui(w).Label1, &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        // A file or text: the user is told, the lists and the status stay.
        QVERIFY(drop({QUrl::fromLocalFile(fx->path("Sub/file.txt"))}));
        QVERIFY(drop({}));
        QCOMPARE(fx->where(), "~/Sub | ~/Sub/ | ~/Sub | file.txt");
        QCOMPARE(ui(w).lblStatus->text(), "Renamed done !!");
        QCOMPARE(fx->messages.shown,
                 QStringList(2,
                             box("Select folder only .", {}, MessageBoxes::Icon::Information, MessageBoxes::Ok,
                                 MessageBoxes::Ok)));
        // Folders: the first opens, on its volume, and the status line is cleared.
        QVERIFY(drop({QUrl::fromLocalFile(fx->path("Drop 1")), QUrl::fromLocalFile(fx->path("Drop 2"))}));
        QCOMPARE(fx->where(), "~/Drop 1 | ~/Drop 1/ | ~/Drop 1 | in.txt");
        QCOMPARE(ui(w).Drive1->Drive(), fx->path("Drop 1"));
        QCOMPARE(ui(w).lblStatus->text(), QString());
        // A refused drop goes back to the program's volume, at the folder last open there.
        QVERIFY(drop({}));
        QCOMPARE(ui(w).Drive1->Drive(), "/");
        QCOMPARE(fx->where(), "~/Sub | ~/Sub/ | ~/Sub | file.txt");
        // Handed over by a later start.
        QVERIFY(w.openHandedOverFolder(fx->path("other")));
        QCOMPARE(fx->where(), "~/other | ~/other/ | ~/other | y.txt");
    }

    void volumes()
    {
        fx->touch({"vol/deep/x"});
        const QString volume = fx->path("vol");
        fx->volumes.roots << QStringList{"/media/card", "/media/failing", volume}; // after "/"
        fx->volumes.probes = {{"/media/card", PlatformError::DeviceUnavailable}, {"/media/failing", 1013}};
        MainWindow& w = fx->open();
        // One that cannot be opened leaves the lists where they were; not ready, it says so.
        for (const char* failing : {"/media/card", "/media/failing"}) {
            ui(w).Drive1->setCurrentIndex(ui(w).Drive1->findText(failing));
            QCOMPARE(ui(w).Drive1->Drive(), "/");
            QCOMPARE(fx->where(), "~ | ~/ | ~ | ");
        }
        QCOMPARE(fx->messages.shown,
                 QStringList{box("The drive you have selected cannot be accessed.", "Problems with drive /MEDIA/CARD",
                                 MessageBoxes::Icon::Critical, MessageBoxes::Ok, MessageBoxes::Ok)});
        // A volume opens at the folder last opened on it.
        ui(w).Drive1->setDrive(volume);
        QVERIFY(ui(w).Dir1->setPath(fx->path("vol/deep")));
        ui(w).Drive1->setDrive("/");
        ui(w).Drive1->setDrive(volume);
        QCOMPARE(ui(w).Dir1->Path(), fx->path("vol/deep"));
    }

    // The recent folders and the Options menu are the settings kept between starts.
    void savedSettings()
    {
        MainWindow& w = fx->open({"Tom & Jerry/one.txt"});
        ui(w).mnuKeepCapitals->trigger();
        QCOMPARE(QStringList({fx->settings.read("Orvel Rename", "options", "keepExtension"),
                              fx->settings.read("Orvel Rename", "options", "keepCapitals")}),
                 QStringList({"0", "1"}));
        // The File menu reads the store as it opens, '&' shown as it is.
        w.addRecentFolder(fx->path("Tom & Jerry/"));
        w.addRecentFolder("/gone/");
        Q_EMIT ui(w).mnuFile->aboutToShow();
        QCOMPARE(fx->recentMenu(), QStringList({"/gone/", "~/Tom & Jerry/"}));
        // A folder that no longer exists: nothing visible happens, the entry stays.
        ui(w).mnuRecentSub[1]->trigger();
        QCOMPARE(fx->where(), "~ | ~/ | ~ | ");
        ui(w).mnuRecentSub[2]->trigger();
        QCOMPARE(fx->where(), "~/Tom & Jerry | ~/Tom & Jerry/ | ~/Tom & Jerry | one.txt");
        // Newest first; a known folder keeps its place whatever its letter case; a
        // missing trailing separator makes another text; a fourth pushes the oldest out.
        for (const QString& f : {QStringLiteral("/b/"), fx->path("TOM & JERRY/"), QStringLiteral("/gone")})
            w.addRecentFolder(f);
        w.loadRecentMenu();
        QCOMPARE(fx->recentMenu(), QStringList({"/gone", "/b/", "/gone/"}));
        // Folders whose names differ in bytes that are not UTF-8 are two folders, each
        // stored with its bytes.
        w.addRecentFolder(DecodeName("/CAF\xc9/"));
        w.addRecentFolder(DecodeName("/caf\xe9/"));
        QCOMPARE(fx->recents(), (QStringList{DecodeName("/caf\xe9/"), DecodeName("/CAF\xc9/"), "/gone"}));
        // Clearing asks first; the menu keeps the old entries until the File menu opens
        // again, emptied under a disabled "Recents".
        fx->messages.answers << MessageBoxes::No << MessageBoxes::Yes;
        ui(w).mnuMRUClear->trigger();
        QCOMPARE(fx->messages.shown,
                 QStringList{box("Are you sure you wish to clear your recent files list ?", "Orvel Software",
                                 MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::Yes)});
        QCOMPARE(fx->recents().last(), "/gone");
        ui(w).mnuMRUClear->trigger();
        QCOMPARE(fx->recents(), QStringList(3, QString()));
        Q_EMIT ui(w).mnuFile->aboutToShow();
        QCOMPARE(fx->recentMenu(), QStringList(3, QString()));
        QCOMPARE(enabledStates({ui(w).mnuFileSub->menuAction(), ui(w).mnuMRUClear}), "00");
        // Clearing the list keeps the options, and a new window starts with them for its runs.
        const RunOptions options = MainWindow(fx->services).currentOptions();
        QCOMPARE(QString::number(options.keepExtension) + QString::number(options.keepCapitals), "01");
    }

    // "On Top" changes only the stacking hint. Closing leaves
    // the other windows open; Exit closes them all and ends the process.
    void onTopCloseAndExit()
    {
        MainWindow& w = fx->open();
        QWidget other;
        w.show();
        other.show();
        ui(w).ckTop->click();
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.isVisible()); // re-creating the native window hides it
        QVERIFY(w.close());
        QVERIFY(other.isVisible());
        QCOMPARE(fx->endProcessCalls, 0);
        w.show();
        ui(w).mnuExit->trigger();
        QVERIFY(!w.isVisible() && !other.isVisible());
        QCOMPARE(fx->endProcessCalls, 1);
    }

    // Without a mouse: Tab follows the task and enters the case style at the option
    // selected, and the options and boxes have their keys. (The menu keys are pressed,
    // and the window is read by a screen reader, on a real desktop: check_keyboard.sh,
    // check_screen_reader.sh.)
    void withTheKeyboard()
    {
        MainWindow& w = fx->open({"a.txt"});
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto focus = [] { return QApplication::focusWidget(); };
        const auto press = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(focus(), Qt::Key(key), modifiers);
        };
        ui(w).Drive1->setFocus();
        QStringList order;
        for (int i = 0; i < 12; ++i, press(Qt::Key_Tab))
            order << focus()->objectName();
        QCOMPARE(order.join(' '),
                 QStringLiteral("Drive1 cmdUpLevel Dir1 File1 optCASES(2) chkRenameFile "
                                "chkRenameFolder Check1 cmdALL ckTop txtDirectory Drive1"));
        // Alt and the underlined letter: the control takes the focus and is clicked (a
        // moment later, as the click is shown).
        const std::pair<Qt::Key, QAbstractButton*> keys[] = {{Qt::Key_L, ui(w).optCASES[0]},
                                                             {Qt::Key_D, ui(w).chkRenameFolder}};
        for (const auto& [key, control] : keys) {
            const bool was = control->isChecked();
            press(key, Qt::AltModifier);
            QTRY_VERIFY2(control->isChecked() != was, qPrintable(control->objectName()));
            QCOMPARE(focus(), control);
        }
    }

    // The real message box shows its text as plain text, whatever a name in it looks
    // like, with the icon, buttons and default asked for; the button pressed is the answer.
    void theRealMessageBox()
    {
        QList<QVariant> seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen = {box->text(),
                    box->windowTitle(),
                    box->textFormat(),
                    box->icon(),
                    box->defaultButton() == box->button(QMessageBox::No),
                    box->standardButtons().toInt(),
                    screenReaderFaults(box).join(';')};
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(hostMessageBoxes().show(nullptr, "The folder <b>x</b>", "Title", MessageBoxes::Icon::Warning,
                                         MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No),
                 MessageBoxes::No);
        QCOMPARE(seen,
                 QList<QVariant>({"The folder <b>x</b>", "Title", Qt::PlainText, QMessageBox::Warning, true,
                                  (QMessageBox::Yes | QMessageBox::No).toInt(), QString()}));
    }

    // Every text reads on a light desktop and on a dark one, to which the window turns
    // while it is open, through its event queue.
    void theLook()
    {
        const QPalette light = QApplication::style()->standardPalette();
        QApplication::setPalette(light);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        MainWindow& w = fx->open();
        for (const QColor window : {light.color(QPalette::Window), QColor(53, 53, 53)}) {
            QApplication::setPalette(QPalette(window));
            QTRY_COMPARE(w.palette().color(QPalette::Window), window);
            QCOMPARE(unreadable(w), QStringList());
        }
    }

    void renameAllFromTheControls()
    {
        MainWindow& w = fx->open({"my PICS/b ONE.txt", "my PICS/sub/c TWO.TXT", "my PICS/a KEEP.txt"}, "my PICS");
        ui(w).chkRenameFolder->setChecked(true);
        ui(w).Check1->setChecked(true);
        ui(w).optCASES[0]->setChecked(true);
        fx->fs.refusedRenames = {fx->path("my PICS/a KEEP.txt")};
        QString asked; // the status line while the question is up
        fx->messages.onShow = [&](const QString&) { asked = ui(w).lblStatus->text(); };
        fx->messages.answers << MessageBoxes::No;
        ui(w).ProgressBar1->setMax(Currency(9)), ui(w).ProgressBar1->setValue(Currency(7)); // what an earlier run left
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // At the first rename the bar starts again from empty.
        QString barAtFirst;
        fx->fs.beforeRename = [&](const QString&, const QString&) {
            if (barAtFirst.isEmpty())
                barAtFirst = ui(w).ProgressBar1->Value().toString();
        };
        ui(w).cmdALL->click();
        QCOMPARE(fx->tree(),
                 (QStringList{"my pics/", "my pics/a KEEP.txt=", "my pics/b one.txt=", "my pics/sub/",
                              "my pics/sub/c two.txt="}));
        QCOMPARE(barAtFirst, "0");
        // The bar full, the last name converted, and the failure asked about after
        // "Renamed done !!". (The counts on the labels: lockedForTheWholeRun.)
        QCOMPARE(ui(w).ProgressBar1->Value().toString() + '/' + ui(w).ProgressBar1->Max().toString(), "3/3");
        QCOMPARE(ui(w).txtNAME->text(), "c two.txt");
        QCOMPARE(asked, "Renamed done !!");
        // The window and the recent entry follow the start folder's new name.
        QCOMPARE(fx->where(), "~/my pics | ~/my pics/ | ~/my pics | a KEEP.txt, b one.txt");
        QCOMPARE(fx->recents().first(), "~/my pics/");
    }

    // Navigation, both commands, the options and the recent folders stay disabled while
    // the run works and come back as they were however it ends (cancelled by the link or
    // by Escape). The result labels show what the run found; an early exit clears and
    // hides what an earlier run showed.
    void lockedForTheWholeRun_data()
    {
        QTest::addColumn<QStringList>("entries");
        // The folders and files counted (a cancelled run counts the start folder alone), the
        // status line.
        QTest::addColumn<QStringList>("result");
        const QStringList two{"start/A.TXT", "start/sub/B.TXT"};
        QTest::newRow("early exit") << QStringList{"start/sub/"} << QStringList{"", "", ""};
        QTest::newRow("cancel") << two << QStringList{"Sub Folders  : 1", "Files : 1", "Renamed done !!"};
        QTest::newRow("Escape") << two << QStringList{"Sub Folders  : 1", "Files : 1", "Renamed done !!"};
    }
    void lockedForTheWholeRun()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, result);
        const QString end = QTest::currentDataTag();
        MainWindow& w = fx->open(entries, "start");
        ui(w).Check1->setChecked(true);
        ui(w).chkRenameFile->setChecked(true);
        ui(w).chkRenameFolder->setChecked(true);
        w.addRecentFolder("/elsewhere/");
        w.loadRecentMenu();
        ui(w).lblFolder->setText("Sub Folders  : 9"); // what an earlier run left
        ui(w).lblFiles->setText("Files : 9");
        ui(w).lblStatus->setText("earlier");
        const QString idle = lockable(w);
        if (end == "Escape") {
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
        }
        QStringList during;
        fx->fs.beforeList = [&](const QString& folder) {
            if (w.isRunning())
                during << lockable(w);
            if (end == "cancel" && folder.endsWith("/sub"))
                QTest::mouseClick(ui(w).lblCancel, Qt::LeftButton);
            if (end == "Escape" && folder.endsWith("/sub"))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        };
        ui(w).cmdALL->click();
        during.removeDuplicates();
        QCOMPARE(during, QStringList{QString(idle.size(), '0')});
        QCOMPARE(lockable(w), idle);
        QCOMPARE(shown(ui(w).lblFolder), result[0]);
        QCOMPARE(shown(ui(w).lblFiles), result[1]);
        QCOMPARE(ui(w).lblStatus->text(), result[2]);
        QCOMPARE(fx->messages.shown, QStringList());
    }

    // What a run shows before it renames, and obeys: the question of a system folder (No,
    // the default, renames nothing), a run elsewhere (the command line) holding the lock
    // of the tree, a journal folder that cannot be used (the run renames all the same).
    void aMessageBeforeTheRun()
    {
        const struct {
            QString row, text;
            MessageBoxes::Icon icon;
            const char* renamed;
        } rows[] = {{"locked", "The folder ~ is being renamed by another run.   Please try again when it is done.",
                     MessageBoxes::Icon::Information, "ONE.TXT="},
                    {"no journal", "This rename cannot be undone: Read-only file system", MessageBoxes::Icon::Warning,
                     "One.txt="},
                    {"system folder",
                     "The folder / belongs to the operating system. Changing the names in it can stop the system "
                     "from working.   Do you want to rename them anyway ?",
                     MessageBoxes::Icon::Warning, "ONE.TXT="}};
        for (const auto& r : rows) {
            fx.emplace();
            if (r.row == "system folder") // "/" is served from the temporary folder: nothing real is touched
                fx->fs.root = fx->dir.path(), fx->services.startFolder = "/";
            if (r.row == "no journal")
                fx->services.records = {}, fx->services.journalProblem = "Read-only file system";
            MainWindow& w = fx->open({"ONE.TXT"});
            std::unique_ptr<TreeLock> other;
            if (r.row == "locked")
                other = fx->locks->lock(fx->fs.openFolder(fx->dir.path()), nullptr);
            ui(w).cmdALL->click();
            const bool asks = r.row == "system folder";
            QCOMPARE(fx->shortened(fx->messages.shown.join('\n')),
                     box(r.text, "Orvel File Rename", r.icon,
                         asks ? MessageBoxes::Yes | MessageBoxes::No : MessageBoxes::Ok,
                         asks ? MessageBoxes::No : MessageBoxes::Ok));
            QCOMPARE(fx->tree(), QStringList{r.renamed});
            QCOMPARE(shown(ui(w).lblFiles).isEmpty(), r.row != "no journal");
        }
        // In a system folder Rename Selected asks as well; Yes renames.
        fx->messages.answers << MessageBoxes::Yes;
        ui(*fx->window).File1->setSelected(0, true);
        ui(*fx->window).cmdSELECTED->click();
        QCOMPARE(fx->messages.shown.size(), 2);
        QCOMPARE(fx->tree(), QStringList{"One.txt="});
    }

    // File > Undo Last Rename: off until a run can be undone, asks first (No by
    // default), puts the window back with the tree; then there is nothing left to undo.
    void undoLastRename()
    {
        MainWindow& w = fx->open({"MY PICS/A ONE.TXT=1"}, "MY PICS");
        QVERIFY(!ui(w).mnuUndo->isEnabled());
        ui(w).chkRenameFolder->setChecked(true);
        w.renameAll();
        QVERIFY(ui(w).mnuUndo->isEnabled());
        fx->messages.answers = {MessageBoxes::No, MessageBoxes::Yes};
        ui(w).mnuUndo->trigger();
        QCOMPARE(
            fx->messages.shown,
            QStringList{box("Undo the renaming of 2 names in " + fx->path("MY PICS") + " ?", "Orvel File Rename",
                            MessageBoxes::Icon::Question, MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No)});
        QCOMPARE(fx->where(), "~/My Pics | ~/My Pics/ | ~/My Pics | A One.txt");
        ui(w).mnuUndo->trigger();
        QCOMPARE(fx->where(), "~/MY PICS | ~/MY PICS/ | ~/MY PICS | A ONE.TXT");
        QCOMPARE(ui(w).lblStatus->text(), "Undo done !!");
        QVERIFY(!ui(w).mnuUndo->isEnabled());
    }

    // The files selected (the first and the last: both ends of the list count) and the
    // open folder, in the case chosen: the list shows the new names with nothing selected,
    // the working name is the last one converted, and the window and the folder's recent
    // entry, which keeps its place, follow its new name.
    void renameSelected()
    {
        MainWindow& w =
            fx->open({"my PHOTOS/alpha ONE.txt", "my PHOTOS/beta TWO.txt", "my PHOTOS/gamma three.TXT"}, "my PHOTOS");
        w.addRecentFolder(fx->path("my PHOTOS/"));
        w.addRecentFolder("/other/");
        w.addRecentFolder("/third/");
        ui(w).optCASES[1]->setChecked(true);
        ui(w).chkRenameFolder->setChecked(true);
        ui(w).File1->setSelected(0, true);
        ui(w).File1->setSelected(2, true);
        ui(w).cmdSELECTED->click();
        QCOMPARE(fx->tree(),
                 (QStringList{"MY PHOTOS/",
                              "MY PHOTOS/ALPHA ONE.TXT=", "MY PHOTOS/GAMMA THREE.TXT=", "MY PHOTOS/beta TWO.txt="}));
        QCOMPARE(fx->where(),
                 "~/MY PHOTOS | ~/MY PHOTOS/ | ~/MY PHOTOS | ALPHA ONE.TXT, beta TWO.txt, GAMMA THREE.TXT");
        QCOMPARE(ui(w).txtNAME->text(), "GAMMA THREE.TXT");
        QCOMPARE(ui(w).File1->selectedItems().size(), 0);
        QCOMPARE(fx->recents(), (QStringList{"/third/", "/other/", "~/MY PHOTOS/"}));
        QCOMPARE(fx->messages.shown, QStringList());
        // Nothing ticked: the not-changed list is emptied, then the user is told. A double
        // click on a file renames it.
        w.show();
        ui(w).optCASES[2]->setChecked(true);
        ui(w).m_notChanged << NotChanged{"from an earlier run", {}};
        ui(w).chkRenameFile->setChecked(false);
        ui(w).chkRenameFolder->setChecked(false);
        ui(w).File1->setSelected(1, true);
        ui(w).cmdSELECTED->click();
        QVERIFY(ui(w).m_notChanged.isEmpty());
        QCOMPARE(fx->messages.shown, QStringList{NothingTicked});
        ui(w).chkRenameFile->setChecked(true);
        fx->settings.deleteApplication("Orvel Rename");
        clickItem(ui(w).File1, ui(w).File1->item(1), true);
        QCOMPARE(fx->recents().first(), "~/MY PHOTOS/");
        QCOMPARE(selectedState(w), "10"); // nothing selected now
        QVERIFY(fx->tree().contains("MY PHOTOS/Beta Two.txt="));
    }

    // Files whose folder went away after it was listed are reported, not passed over as
    // renamed: the question, then on Yes "Changes Not Made", which keeps its list while
    // it stays open.
    void theReportOfWhatWasNotChanged()
    {
        MainWindow& w = fx->open({"sub/a ONE.txt", "sub/b TWO.txt"}, "sub");
        ui(w).File1->selectAll();
        QVERIFY(QDir(fx->dir.path()).rename("sub", "moved"));
        fx->messages.answers << MessageBoxes::No; // then the default, Yes
        ui(w).cmdSELECTED->click();
        QCOMPARE(fx->messages.shown,
                 QStringList{box("2  file(s) was not changed. The reasons for this are either that the file(s) is "
                                 "open or being written to.   Do you want to view these files ?",
                                 "File not renamed", MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No,
                                 MessageBoxes::Yes)});
        QVERIFY(!NotChangedDialog::loaded());
        // Each entry, a path and its reason, the reason as a tooltip and as a screen
        // reader's description.
        const auto list = [] { return NotChangedDialog::loaded()->findChild<QListWidget*>("lstCantRename"); };
        const auto listed = [&] {
            QStringList entries;
            for (int i = 0; NotChangedDialog::loaded() && i < list()->count(); ++i) {
                const QListWidgetItem* entry = list()->item(i);
                entries << entry->text() + '\t' + entry->toolTip();
                if (entry->data(Qt::AccessibleDescriptionRole) != entry->toolTip())
                    entries << "no description";
            }
            return entries;
        };
        const QStringList both{fx->path("sub/a ONE.txt") + '\t' + ErrorText(ENOENT),
                               fx->path("sub/b TWO.txt") + '\t' + ErrorText(ENOENT)};
        w.reportNotChanged();
        QCOMPARE(listed(), both); // so the window is loaded
        QPointer<NotChangedDialog> dialog = NotChangedDialog::loaded();
        QVERIFY(dialog->isVisible());
        QCOMPARE(screenReaderFaults(dialog).join(';'), QString());
        // Ctrl+C, as it is pressed, copies the entries selected (several, as a user selects
        // them), a path and its reason a line.
        clickItem(list(), list()->item(0), false);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list()->visualItemRect(list()->item(1)).center());
        QTest::keyPress(list(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), both.join('\n') + '\n');
        // Ok unloads it, and the next report loads the new list.
        ui(w).m_notChanged = {{"/elsewhere", "why"}};
        dialog->findChild<QPushButton*>("cmdOK")->click();
        QTRY_VERIFY(dialog.isNull());
        w.reportNotChanged();
        QCOMPARE(listed(), QStringList{"/elsewhere\twhy"});
        // Escape closes it, and Enter, from the list as from the button; another key, or
        // Enter with Ctrl, leaves it open.
        for (const QString row :
             {"lstCantRename Escape 1", "cmdOK Enter 1", "lstCantRename A 0", "lstCantRename Ctrl+Return 0"}) {
            const QKeyCombination key = QKeySequence(row.section(' ', 1, 1))[0];
            if (!NotChangedDialog::loaded())
                w.reportNotChanged();
            dialog = NotChangedDialog::loaded();
            QTest::keyClick(dialog->findChild<QWidget*>(row.section(' ', 0, 0)), key.key(), key.keyboardModifiers());
            QTest::qWait(0);
            QTRY_COMPARE(QString::number(dialog.isNull()), row.section(' ', 2));
        }
        dialog->close();
    }

    // The preview's rows are the command line's dry run, row for row, on the fault-free
    // trees of the engine's Rename All table ("file folder sub lower upper").
    void previewIsTheDryRun_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QString>("options");
        const auto row = [](const char* name, const QStringList& tree, const QString& options) {
            QTest::newRow(name) << tree << options;
        };
        row("files of one folder",
            {"start/first FILE.TXT=1", "start/(draft) notes.doc=2", "start/sub/inner FILE.txt=3"}, "file");
        row("whole tree, top down", {"start/t.txt=", "start/a/a.txt=", "start/a/a1/x.txt="}, "file folder sub");
        row("only Rename folder", {"my DOCS/one FILE.txt=", "my DOCS/two FILE.txt="}, "folder");
        row("early exit: files only below", {"start/SUB/F.TXT="}, "file folder");
        row("taken names",
            {"start/keep OPEN.txt=k", "start/report.txt=r", "start/REPORT.TXT=R", "start/fine ONE.txt=f"},
            "file lower");
        row("hidden entries and links",
            {"start/.hidden.TXT=h", "start/.git/O.TXT=o", "start/LOOP/up->..", "start/DIR LINK->LOOP",
             "start/FILE LINK->../outside/X.TXT", "start/dangling->nowhere", "outside/X.TXT=x"},
            "file folder sub");
        row("names the run makes itself", {"start/X.TXT=1", "start/x.TXT=2", "start/Y.TXT=3"}, "file lower");
        row("names as bytes",
            {"start/50%41 off\tnow.txt=p", DecodeName("start/R\xe9SUM\xe9.doc=r"),
             DecodeName("start/Bad\xff-DIR/f.txt=f"), "start/\uFEFF../x.txt=x", "start/\uFEFF=bom"},
            "file folder sub upper");
    }
    void previewIsTheDryRun()
    {
        QFETCH(QStringList, tree);
        QFETCH(QString, options);
        const QString start = tree[0].section('/', 0, 0);
        fx->services.fs = &hostFileSystem(); // which lists folders in the order the command line meets them
        MainWindow& w = fx->open(tree, start);
        ui(w).chkRenameFile->setChecked(options.contains("file"));
        ui(w).chkRenameFolder->setChecked(options.contains("folder"));
        ui(w).Check1->setChecked(options.contains("sub"));
        const int style = options.contains("lower") ? 0 : options.contains("upper") ? 1 : 2;
        ui(w).optCASES[style]->setChecked(true);
        QStringList previewed;
        inPreview(w, ui(w).mnuPreviewAll, [&](const PreviewDialog& dialog) {
            const PlanEntries& e = dialog.entries();
            for (qsizetype i = 0; i < e.size(); ++i)
                previewed << planned(
                    fx->dir.path(), JoinPath(e.folder(i), e.oldName(i).toString()),
                    e.newName(i).isEmpty() ? QString() : JoinPath(e.folder(i), e.newName(i).toString()), e.reason(i));
        });

        QProcess program;
        program.start(
            ORVEL_PROGRAM,
            QStringList{"--dry-run", "--json", QStringList{"--lower", "--upper", "--proper"}[style], fx->path(start)}
                + (options.contains("file") ? QStringList{"--files"} : QStringList{})
                + (options.contains("folder") ? QStringList{"--folders"} : QStringList{})
                + (options.contains("sub") ? QStringList{"--subfolders"} : QStringList{}));
        QVERIFY(program.waitForFinished(30000));
        QStringList dryRun;
        for (const QByteArray& line : program.readAllStandardOutput().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (!entry.isEmpty() && !entry.contains("summary"))
                dryRun << planned(fx->dir.path(), entry["old"].toString(), entry["new"].toString(),
                                  entry["reason"].toString());
        }
        QCOMPARE(previewed, dryRun);
    }

    // The preview counts what it lists, narrows it by text and by result, copies the rows
    // selected, and changes nothing on disk, not a time stamp; its Rename All renames as
    // the main window's button does.
    void previewThenRename()
    {
        const QStringList tree{"SUB/B ONE.TXT=b", "X.TXT=X", "x.txt=x", "keep.txt=k"};
        MainWindow& w = fx->open(QStringList(tree).replaceInStrings(QRegularExpression("^"), "one/")
                                     + QStringList(tree).replaceInStrings(QRegularExpression("^"), "two/"),
                                 "one");
        ui(w).chkRenameFolder->setChecked(true);
        ui(w).Check1->setChecked(true);
        ui(w).optCASES[0]->setChecked(true);
        const QStringList before = stamps(fx->dir.path());
        // The bar below the table counts the files as they are planned, then shows the plan
        // done.
        QStringList counted;
        QProgressBar* watched = nullptr;
        fx->fs.beforeList = [&](const QString&) {
            auto* bar = w.findChild<QProgressBar*>("prgPreview");
            if (bar && bar != watched) {
                watched = bar;
                QObject::connect(bar, &QProgressBar::valueChanged, bar, [&counted, bar](int value) {
                    counted << QString("%1/%2").arg(value).arg(bar->maximum());
                });
            }
        };
        QStringList seen;
        inPreview(
            w, ui(w).mnuPreviewAll,
            [&](const PreviewDialog& dialog) {
                seen << dialog.findChild<QLabel*>("lblSummary")->text();
                auto* table = dialog.findChild<QTableView*>("tblPreview");
                const auto rows = [&] {
                    QStringList shown;
                    for (int r = 0; r < table->model()->rowCount(); ++r)
                        shown << table->model()->index(r, 0).data().toString() + '>'
                                + table->model()->index(r, 1).data().toString() + '@'
                                + table->model()->index(r, 2).data().toString();
                    return shown.join(", ");
                };
                seen << rows();
                dialog.findChild<QLineEdit*>("txtFilter")->setText("b ONE");
                seen << rows();
                dialog.findChild<QLineEdit*>("txtFilter")->clear();
                dialog.findChild<QComboBox*>("cboShow")->setCurrentIndex(2);
                seen << rows();
                table->selectAll();
                QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
                seen << QGuiApplication::clipboard()->text();
                seen << (stamps(fx->dir.path()) == before ? "untouched" : "changed");
            },
            "cmdRun");
        QCOMPARE(seen,
                 (QStringList{"2 names would be renamed, 1 could not be.",
                              "X.TXT>x.txt@., SUB>sub@., B ONE.TXT>b one.txt@sub", "B ONE.TXT>b one.txt@sub",
                              "X.TXT>x.txt@.", "X.TXT\tx.txt\t" + ErrorText(EEXIST) + '\n', "untouched"}));
        fx->fs.beforeList = {};
        QVERIFY(counted.size() >= 3);
        QCOMPARE(counted.first(), "0/4");
        QCOMPARE(counted.sliced(counted.size() - 2), (QStringList{"4/4", "1/1"}));
        QVERIFY(ui(w).Dir1->setPath(fx->path("two")));
        ui(w).cmdALL->click();
        QCOMPARE(readTree(fx->path("one")),
                 (QStringList{"X.TXT=X", "keep.txt=k", "sub/", "sub/b one.txt=b", "x.txt=x"}));
        QCOMPARE(readTree(fx->path("two")), readTree(fx->path("one")));
    }

    // Escape while Rename All renames stops it after the rename in hand: the counts as far
    // as it got, and what it did can be undone. The focus goes back to the command that
    // ran, or to the file list after a double click, and F1 opens the quick help.
    void escapeStopsARun()
    {
        MainWindow& w = fx->open({"start/A.TXT", "start/B.TXT", "start/C.TXT", "start/D.TXT"}, "start");
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        int renames = 0;
        fx->fs.beforeRename = [&](const QString&, const QString&) {
            if (++renames == 2)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Escape);
        };
        ui(w).cmdALL->click();
        QCOMPARE(ui(w).lblStatus->text(), "Stopped: 2 of 4 files renamed.");
        QCOMPARE(shown(ui(w).lblFiles), "Files : 2");
        QCOMPARE(fx->tree(), (QStringList{"start/", "start/A.txt=", "start/B.txt=", "start/C.TXT=", "start/D.TXT="}));
        QCOMPARE(QApplication::focusWidget(), ui(w).cmdALL);
        fx->messages.answers << MessageBoxes::Yes;
        ui(w).mnuUndo->trigger();
        QCOMPARE(fx->tree(), (QStringList{"start/", "start/A.TXT=", "start/B.TXT=", "start/C.TXT=", "start/D.TXT="}));
        clickItem(ui(w).File1, ui(w).File1->item(2), true);
        QCOMPARE(ui(w).lblStatus->text(), "Renamed done !!");
        QCOMPARE(QApplication::focusWidget(), ui(w).File1);
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(fx->helpShown, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
