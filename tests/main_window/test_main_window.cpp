// The main window as the user meets it: how it opens, the enable rules of "Rename
// Selected", moving through volumes and folders, the drop target, the recent folders,
// always on top, closing and Exit; how it looks on a Linux desktop (CTest runs this at
// 1x and at 2x); and the two rename commands as it runs them: what the controls put into
// a run, what its outcome puts on the labels and lists, the controls locked while Rename
// All works, the system-folder question, a close mid-run, and the report of what was not
// changed.

#include "main_window/HostMessageBoxes.h"
#include "main_window/frmChangeNot.h"
#include "main_window/modPathOnly.h"
#include "platform/Contrast.h"
#include "platform/NameCodec.h"
#include "tests/main_window/MainWindowFixture.h"

#include <QSettings>
#include <cerrno>

using namespace orvel;
using namespace orvel::test;

namespace {

// What desktops set to open items on a single click tell the toolkit.
class SingleClickActivation : public QProxyStyle {
public:
    explicit SingleClickActivation(QObject* owner) { setParent(owner); }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        return hint == SH_ItemView_ActivateItemOnSingleClick ? 1 : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QString selectedState(const frmMain& w)
{
    return enabledStates({w.cmdSELECTED, w.mnuRenameSelected});
}

// The File menu's recent part: "Recents" and "Clear recent files list" enabled, then
// the entries shown, as they read.
QString recentMenu(const MainWindowFixture& fx)
{
    QStringList shown;
    for (int i = 1; i <= 3; ++i)
        if (fx.window->mnuRecentSub[i]->isVisible())
            shown << fx.shortened(fx.window->mnuRecentSub[i]->iconText());
    return enabledStates({fx.window->mnuFileSub->menuAction(), fx.window->mnuMRUClear}) + ": " + shown.join(" | ");
}

// The width a caption needs: its text, and before it the check mark or the round
// option mark with the style's spacing.
qreal neededWidth(const QAbstractButton* b)
{
    const QStyle* s = b->style();
    const qreal text = QFontMetricsF(b->font()).size(Qt::TextShowMnemonic, b->text()).width();
    if (qobject_cast<const QRadioButton*>(b))
        return text + s->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b)
            + s->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b);
    if (qobject_cast<const QCheckBox*>(b))
        return text + s->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b)
            + s->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
    return text + 2 * s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
}

// Every text of the window against what it is drawn on, as "name: ratio" when below
// the minimum. A disabled button is meant to look inactive and is left out.
QStringList unreadable(const frmMain& w)
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

const QString NothingTicked = box("Please checked Rename folder, Rename file or both.", "Checkbox must select",
                                  MessageBoxes::Icon::Information, MessageBoxes::Ok, MessageBoxes::Ok);

// The controls a run locks.
QString lockable(const frmMain& w)
{
    return enabledStates({w.cmdUpLevel, w.Drive1, w.Dir1, w.File1, w.cmdALL, w.cmdSELECTED, w.Frame1, w.Check1,
                          w.mnuRenamedAll, w.mnuFileSub->menuAction(), w.mnuMRUClear});
}

// The result labels (their texts, then '1' for each one shown), the status line and the
// number of entries not changed.
QString runDisplay(const frmMain& w)
{
    return QStringLiteral("%1|%2|%3%4|%5|%6")
        .arg(w.lblFolder->text(), w.lblFiles->text())
        .arg(w.lblFolder->isVisibleTo(&w))
        .arg(w.lblFiles->isVisibleTo(&w))
        .arg(w.lblStatus->text())
        .arg(w.lstCantRename.size());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::optional<MainWindowFixture> fx;

private Q_SLOTS:
    void initTestCase()
    {
        // The 2x run must really draw at twice the scale.
        QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    }
    void init() { fx.emplace(); }
    void cleanup() { delete frmChangeNot::loaded(); }

    void opensWithItsInitialState()
    {
        frmMain& w = fx->open({"a.txt", "b.txt"});
        // What a run started at once would do: rename files, not the folder, in Proper Case.
        const RunOptions o = w.CurrentOptions();
        QCOMPARE(QList<int>({o.renameFile, o.renameFolder, w.Check1->isChecked(), int(o.style)}),
                 QList<int>({1, 0, 0, int(CaseStyle::Proper)}));
        // The cancel link exists, below the visible client area.
        QVERIFY(w.lblCancel->y() >= w.findChild<QWidget*>("clientArea")->height());
        // "Rename folder" switches the button at once, the menu item at the next update;
        // unticking it turns the button off even while a file is selected.
        QStringList seen{selectedState(w)};
        w.chkRenameFolder->click();
        seen << selectedState(w);
        w.File1->setSelected(1, true);
        seen << selectedState(w);
        w.chkRenameFolder->click();
        QCOMPARE(seen << selectedState(w), QStringList({"00", "10", "11", "01"}));
    }

    // What an update makes of "Rename Selected" ("10": the button on, the menu item
    // off) when both were on.
    void selectionStateRules_data()
    {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<int>("selected"); // a row, or -1
        QTest::addColumn<QString>("state");
        QTest::newRow("a file selected, nothing ticked") << "" << 1 << "11";
        QTest::newRow("Rename folder ticked") << "folder" << -1 << "11";
        QTest::newRow("nothing selected: the button stays") << "file" << -1 << "10";
        QTest::newRow("nothing selected, nothing ticked") << "" << -1 << "00";
        QTest::newRow("an empty list") << "file folder empty" << -1 << "10";
    }
    void selectionStateRules()
    {
        QFETCH(QString, ticked);
        QFETCH(int, selected);
        frmMain& w = fx->open({"a.txt", "b.txt"});
        w.chkRenameFile->setChecked(ticked.contains("file"));
        w.chkRenameFolder->setChecked(ticked.contains("folder"));
        if (ticked.contains("empty"))
            w.File1->setPath(fx->path("nowhere"));
        w.File1->setSelected(selected, true);
        w.cmdSELECTED->setEnabled(true);
        w.mnuRenameSelected->setEnabled(true);
        w.UpdateSelectedState();
        QTEST(selectedState(w), "state");
    }

    // The lists open at the start folder; one that is gone gives way to the home folder,
    // and only then to the root, which is shown with its one separator.
    void opensAtItsStartFolder_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("opens");
        QTest::newRow("start folder") << "start"
                                      << "home"
                                      << "~/start | ~/start/ | ~/start";
        QTest::newRow("gone: home") << "gone"
                                    << "home"
                                    << "~/home | ~/home/ | ~/home";
        QTest::newRow("no home either: the root") << "gone"
                                                  << "gone too"
                                                  << "/ | / | /";
    }
    void opensAtItsStartFolder()
    {
        QFETCH(QString, start);
        QFETCH(QString, home);
        fx->services.homeFolder = fx->path(home);
        fx->open({"start/a.txt", "home/"}, start);
        QTEST(fx->where().section(" | ", 0, 2), "opens");
    }

    // The Windows examples word for word, and their Linux twins: '/' and no drive letter.
    void parentPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        QTest::newRow("deep") << "C:\\Windows\\System32"
                              << "C:\\Windows";
        QTest::newRow("below root") << "C:\\Windows"
                                    << "C:\\";
        QTest::newRow("root") << "C:\\"
                              << "C:\\";
        QTest::newRow("trailing separator") << "C:\\Data\\"
                                            << "C:\\Data";
        QTest::newRow("no separator") << "Data"
                                      << "";
    }
    void parentPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QCOMPARE(ParentPath(path, PathSyntax::windows()), parent);
        auto posix = [](QString p) { return p.replace("C:", QString()).replace(u'\\', u'/'); };
        QCOMPARE(ParentPath(posix(path), PathSyntax::posix()), parent.isEmpty() ? QString() : posix(parent));
    }

    void theListsOnADoubleClickOrSingleClickDesktop_data()
    {
        QTest::addColumn<bool>("singleClickDesktop");
        QTest::newRow("double-click desktop") << false;
        QTest::newRow("single-click desktop") << true;
    }
    void theListsOnADoubleClickOrSingleClickDesktop()
    {
        QFETCH(bool, singleClickDesktop);
        frmMain& w = fx->open({"Sub/inner.txt", "top.txt", "B.txt", "a2.txt", ".hidden"});
        if (singleClickDesktop)
            w.Dir1->setStyle(new SingleClickActivation(&w)); // goes with the window
        w.show();
        // Files sorted without regard to case, no hidden entries, no folders; a click names
        // the file and enables both commands.
        clickItem(w.File1, w.File1->item(1), false);
        QCOMPARE(fx->where() + ' ' + w.txtNAME->text() + ' ' + selectedState(w),
                 QStringLiteral("~ | ~/ | ~ | a2.txt, B.txt, top.txt B.txt 11"));
        // A single click on a folder keeps the open folder but reads its files again and
        // leaves the menu item; a double click opens the folder in every list and text.
        w.chkRenameFolder->setChecked(true);
        w.mnuRenameSelected->setEnabled(false);
        fx->touch({"second.txt"});
        QListWidgetItem* sub = w.Dir1->findItems("Sub", Qt::MatchEndsWith).value(0);
        clickItem(w.Dir1, sub, false);
        QCOMPARE(fx->where() + ' ' + selectedState(w),
                 QStringLiteral("~ | ~/ | ~ | a2.txt, B.txt, second.txt, top.txt 10"));
        clickItem(w.Dir1, sub, true);
        QCOMPARE(fx->where() + ' ' + selectedState(w), QStringLiteral("~/Sub | ~/Sub/ | ~/Sub | inner.txt 11"));
        // Up One Level goes back, Enter opens the highlighted folder.
        w.cmdUpLevel->click();
        QCOMPARE(w.Dir1->Path(), fx->dir.path());
        w.Dir1->setCurrentItem(w.Dir1->findItems("Sub", Qt::MatchEndsWith).value(0));
        QTest::keyClick(w.Dir1, Qt::Key_Return);
        QCOMPARE(w.Dir1->Path(), fx->path("Sub"));
    }

    // Dropped folders open the first; anything else says so and leaves the lists.
    void dropping_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"folders", "file", "text", "remote", "vanished"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void dropping()
    {
        QFETCH(QString, kind);
        frmMain& w = fx->open({"Sub/file.txt", "Drop 1/in.txt", "Drop 2/x"}, "Sub");
        w.lblStatus->setText("Renamed done !!");
        const bool opens = kind == "folders";
        QMimeData data;
        if (opens)
            data.setUrls({QUrl::fromLocalFile(fx->path("Drop 1")), QUrl::fromLocalFile(fx->path("Drop 2"))});
        else if (kind == "text")
            data.setText(fx->path("Sub"));
        else
            data.setUrls({kind == "remote" ? QUrl("https://example.org/folder/")
                                           : QUrl::fromLocalFile(fx->path(kind == "file" ? "Sub/file.txt" : "gone"))});
        QDragEnterEvent enter(w.Label1->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.Label1, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(w.Label1->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.Label1, &dropped);
        QCOMPARE(fx->where() + ' ' + w.lblStatus->text(),
                 opens ? "~/Drop 1 | ~/Drop 1/ | ~/Drop 1 | in.txt "
                       : "~/Sub | ~/Sub/ | ~/Sub | file.txt Renamed done !!");
        QCOMPARE(fx->shown(),
                 opens ? QStringList()
                       : QStringList{box("Select folder only .", {}, MessageBoxes::Icon::Information, MessageBoxes::Ok,
                                         MessageBoxes::Ok)});
    }

    void volumes()
    {
        fx->touch({"vol/deep/x"});
        const QString volume = fx->path("vol");
        fx->volumes.roots << "/media/card"
                          << "/media/failing" << volume;
        fx->volumes.unavailable << "/media/card";
        fx->volumes.failing << "/media/failing";
        frmMain& w = fx->open();
        // One that cannot be opened leaves the lists where they were; not ready, it says so.
        for (const char* failing : {"/media/card", "/media/failing"}) {
            w.Drive1->setCurrentIndex(w.Drive1->findText(failing));
            QCOMPARE(w.Drive1->Drive() + ' ' + fx->where(), QStringLiteral("/ ~ | ~/ | ~ | "));
        }
        QCOMPARE(fx->shown(),
                 QStringList{box("The drive you have selected cannot be accessed.", "Problems with drive /MEDIA/CARD",
                                 MessageBoxes::Icon::Critical, MessageBoxes::Ok, MessageBoxes::Ok)});
        // A volume opens at its root first, later at the folder last opened on it.
        w.Drive1->setDrive(volume);
        QCOMPARE(w.Dir1->Path(), volume);
        QVERIFY(w.Dir1->setPath(fx->path("vol/deep")));
        w.Drive1->setDrive("/");
        QCOMPARE(w.Dir1->Path(), fx->dir.path()); // the start volume's current folder
        w.Drive1->setDrive(volume);
        QCOMPARE(w.Dir1->Path(), fx->path("vol/deep"));
        // The list is read again as it drops down: a stick plugged in, the others gone
        // but the selected one; the selection stays and raises no change.
        QSignalSpy changes(w.Drive1, &DriveListBox::Change);
        fx->volumes.roots = {"/media/stick"};
        w.Drive1->showPopup();
        QStringList listed;
        for (int i = 0; i < w.Drive1->count(); ++i)
            listed << fx->shortened(w.Drive1->itemText(i));
        w.Drive1->hidePopup();
        QCOMPARE(listed << fx->shortened(w.Drive1->Drive()) << QString::number(changes.count()),
                 QStringList({"/media/stick", "~/vol", "~/vol", "0"}));
    }

    void recentFolders()
    {
        QFile garbage(fx->settings.fileOf("Orvel Rename")); // reads as an empty store
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        QCOMPARE(garbage.write("\x00\xff[recent\nfile1=@ByteArray(\xfe\n=\n[[[", 30), 30);
        garbage.close();
        frmMain& w = fx->open({"Tom & Jerry/one.txt"});
        w.LoadRecentMenu();
        QCOMPARE(recentMenu(*fx), QStringLiteral("00: "));
        // The first folder fills entry one, the others are stored as empty strings; the
        // File menu reads them as it opens, '&' shown as it is.
        w.AddRecentFolder(fx->path("Tom & Jerry/"));
        QCOMPARE(QSettings(fx->settings.fileOf("Orvel Rename"), QSettings::IniFormat).value("recent/file3"),
                 QVariant(QString()));
        w.AddRecentFolder("/gone/");
        Q_EMIT w.mnuFile->aboutToShow();
        QCOMPARE(recentMenu(*fx), QStringLiteral("11: /gone/ | ~/Tom & Jerry/"));
        // A folder that no longer exists: nothing visible happens, the entry stays.
        w.mnuRecentSub[1]->trigger();
        QCOMPARE(fx->where() + fx->recents().first(), QStringLiteral("~ | ~/ | ~ | /gone/"));
        w.mnuRecentSub[2]->trigger();
        QCOMPARE(fx->where(), QStringLiteral("~/Tom & Jerry | ~/Tom & Jerry/ | ~/Tom & Jerry | one.txt"));
        // Newest first; a known folder keeps its place whatever its letter case; a
        // missing trailing separator makes another text; a fourth pushes the oldest out.
        for (const QString& f : {QStringLiteral("/b/"), fx->path("TOM & JERRY/"), QStringLiteral("/gone")})
            w.AddRecentFolder(f);
        w.LoadRecentMenu();
        QCOMPARE(recentMenu(*fx), QStringLiteral("11: /gone | /b/ | /gone/"));
        // Folders whose names differ in bytes that are not UTF-8 are two folders, each
        // stored with its bytes.
        w.AddRecentFolder(DecodeName("/CAF\xc9/"));
        w.AddRecentFolder(DecodeName("/caf\xe9/"));
        QCOMPARE(fx->recents(), (QStringList{DecodeName("/caf\xe9/"), DecodeName("/CAF\xc9/"), "/gone"}));
        // Clearing asks first; the menu keeps the old entries until the File menu opens again.
        fx->messages.answers << MessageBoxes::No << MessageBoxes::Yes;
        w.mnuMRUClear->trigger();
        QCOMPARE(fx->shown() << fx->recents().last(),
                 QStringList({box("Are you sure you wish to clear your recent files list ?", "Orvel Software",
                                  MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::Yes),
                              "/gone"}));
        w.mnuMRUClear->trigger();
        QVERIFY(!QFile::exists(fx->settings.fileOf("Orvel Rename")));
        QCOMPARE(w.mnuRecentSub[3]->text(), QStringLiteral("/gone"));
        Q_EMIT w.mnuFile->aboutToShow();
        QCOMPARE(recentMenu(*fx), QStringLiteral("00:  |  | ")); // emptied, under a disabled "Recents"
    }

    // "On Top" changes only the stacking hint. Closing leaves the other windows open;
    // Exit closes them all and ends the process.
    void onTopCloseAndExit()
    {
        frmMain& w = fx->open();
        QWidget other;
        w.show();
        other.show();
        const QSize size = w.size();
        for (bool on : {true, false}) {
            w.ckTop->click();
            QCOMPARE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
            QVERIFY(w.isVisible()); // re-creating the native window hides it
            QCOMPARE(w.size(), size);
        }
        const auto state = [&] {
            return QStringLiteral("%1 %2 %3").arg(w.isVisible()).arg(other.isVisible()).arg(fx->endProcessCalls);
        };
        QVERIFY(w.close());
        QCOMPARE(state(), QStringLiteral("0 1 0"));
        w.show();
        w.mnuExit->trigger();
        QCOMPARE(state(), QStringLiteral("0 0 1"));
    }

    // The real message box shows its text as plain text, whatever a name in it looks
    // like, with the icon, buttons and default asked for; the button pressed is the answer.
    void theRealMessageBox()
    {
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen = QStringLiteral("%1 [%2] %3 %4 %5 %6")
                       .arg(box->text(), box->windowTitle())
                       .arg(box->textFormat())
                       .arg(box->icon())
                       .arg(box->standardButtons().toInt())
                       .arg(box->defaultButton() == box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(hostMessageBoxes().show(nullptr, "The folder <b>x</b>", "Title", MessageBoxes::Icon::Warning,
                                         MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No),
                 MessageBoxes::No);
        QCOMPARE(seen,
                 QStringLiteral("The folder <b>x</b> [Title] %1 %2 %3 1")
                     .arg(Qt::PlainText)
                     .arg(QMessageBox::Warning)
                     .arg((QMessageBox::Yes | QMessageBox::No).toInt()));
    }

    // Whole captions in the fixed rectangles, a frame line that clears the first option,
    // and text that can be read on a light palette and on a dark one.
    void theLook()
    {
        const QPalette light = QApplication::style()->standardPalette();
        QApplication::setPalette(light);
        frmMain& w = fx->open();
        // Font configuration answers a missing family with a wider face; where a
        // face of Arial's widths is installed, that is the face drawn.
        if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
            QVERIFY2(
                QStringList({"Liberation Sans", "Arimo", "Arial"}).contains(QFontInfo(w.optCASES[1]->font()).family()),
                qPrintable(QFontInfo(w.optCASES[1]->font()).family()));
        int measured = 0;
        for (const QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
            if (b->text().isEmpty())
                continue;
            const qreal needed = neededWidth(b);
            const qreal height = qMax<qreal>(QFontMetricsF(b->font()).height(),
                                             b->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, b));
            QVERIFY2(
                needed <= b->width(),
                qPrintable(QStringLiteral("%1 needs %2, has %3").arg(b->objectName()).arg(needed).arg(b->width())));
            QVERIFY2(height <= b->height(), qPrintable(b->objectName()));
            ++measured;
        }
        for (const QLabel* l : w.findChildren<QLabel*>()) {
            if (l->text().isEmpty())
                continue;
            const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
            const QRectF used = QFontMetricsF(l->font()).boundingRect(QRectF(l->contentsRect()), flags, l->text());
            QVERIFY2(QRectF(l->contentsRect()).contains(used), qPrintable(l->objectName()));
            ++measured;
        }
        QVERIFY(measured >= 14); // the options, boxes, buttons and labels were all found
        // The case frame's top line, looked for near its right end, where no option is.
        const QImage frame = w.Frame1->grab().toImage();
        const qreal scale = frame.devicePixelRatio();
        const int x = qRound((w.Frame1->width() - 8) * scale);
        int line = 0;
        while (line < frame.height() && frame.pixel(x, line) == frame.pixel(x, 0))
            ++line;
        QVERIFY2(line / scale < w.optCASES[0]->y(), qPrintable(QString::number(line / scale)));
        // On the light palette the window's own colours are exactly its design's.
        QCOMPARE(unreadable(w), QStringList());
        QCOMPARE(QList<QColor>({w.lblStatus->palette().color(QPalette::WindowText),
                                w.Label1->palette().color(QPalette::WindowText),
                                w.txtDirectory->palette().color(QPalette::Base)}),
                 QList<QColor>({QColor(0, 0, 255), QColor(0, 0, 192), QColor(224, 224, 224)}));
        // The desktop turns dark while the window is open, and back; the palette reaches
        // the window through its event queue.
        QApplication::setPalette(QPalette(QColor(53, 53, 53)));
        QTRY_COMPARE(w.palette().color(QPalette::Window), QColor(53, 53, 53));
        QCOMPARE(unreadable(w), QStringList());
        QCOMPARE(QList<int>({w.lblStatus->palette().color(QPalette::WindowText).hue(),
                             w.Label1->palette().color(QPalette::WindowText).hue()}),
                 QList<int>({240, 240})); // still blue
        QApplication::setPalette(light);
        QTRY_COMPARE(w.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    }

    void renameAllFromTheControls()
    {
        frmMain& w = fx->open({"my PICS/b ONE.txt", "my PICS/sub/c TWO.TXT", "my PICS/a KEEP.txt"}, "my PICS");
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.optCASES[0]->setChecked(true);
        fx->fs.refusedRenames = {fx->path("my PICS/a KEEP.txt")};
        QString question; // the status line while the question is up, and how the question starts
        fx->messages.onShow = [&](const auto& m) { question = w.lblStatus->text() + ": " + m.text.left(27); };
        fx->messages.answers << MessageBoxes::No;
        w.cmdALL->click();
        QCOMPARE(fx->tree(),
                 (QStringList{"my pics/", "my pics/a KEEP.txt=", "my pics/b one.txt=", "my pics/sub/",
                              "my pics/sub/c two.txt="}));
        QCOMPARE(runDisplay(w), QStringLiteral("Sub Folders  : 2|Files : 3|11|Renamed done !!|1"));
        QCOMPARE(w.ProgressBar1->Max().toString() + ' ' + w.ProgressBar1->Value().toString() + ' ' + w.txtNAME->text(),
                 "3 3 c two.txt");
        // The window and the recent entry follow the start folder's new name.
        QCOMPARE(fx->where() + ", recent " + fx->recents().first(),
                 QStringLiteral("~/my pics | ~/my pics/ | ~/my pics | a KEEP.txt, b one.txt, recent ~/my pics/"));
        // The failure, with its reason, and the question after "Renamed done !!".
        QCOMPARE(w.lstCantRename, (QList<NotChanged>{{fx->path("my pics/a KEEP.txt"), ErrorText(EBUSY)}}));
        QCOMPARE(question, QStringLiteral("Renamed done !!: 1  file(s) was not changed."));

        // Each control the other way: files only, of this folder only, in UPPER CASE.
        w.chkRenameFolder->setChecked(false);
        w.Check1->setChecked(false);
        w.optCASES[1]->setChecked(true);
        w.cmdALL->click();
        QCOMPARE(fx->tree(),
                 (QStringList{"my pics/", "my pics/A KEEP.TXT=", "my pics/B ONE.TXT=", "my pics/sub/",
                              "my pics/sub/c two.txt="}));
        QCOMPARE(runDisplay(w) + ", questions so far: " + QString::number(fx->messages.shown.size()),
                 QStringLiteral("Sub Folders  : 0|Files : 2|11|Renamed done !!|0, questions so far: 1"));
    }

    // Navigation, both commands, the options and the recent folders stay locked while
    // the run works and come back as they were however it ends. The labels show the
    // result; an early exit clears and hides them; a run that does not start leaves
    // what an earlier one showed.
    void lockedForTheWholeRun_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("display");
        const QStringList two{"start/A.TXT", "start/sub/B.TXT"};
        QTest::newRow("done") << "" << two << "Sub Folders  : 2|Files : 2|11|Renamed done !!|0";
        QTest::newRow("early exit") << "" << QStringList{"start/sub/"} << "Folders  : 0|Files  : 0|00||0";
        QTest::newRow("cancel link: the start folder alone")
            << "cancel" << two << "Sub Folders  : 1|Files : 1|11|Renamed done !!|0";
        QTest::newRow("nothing ticked") << "untick" << QStringList{"start/A.TXT"}
                                        << "Sub Folders  : 9|Files : 9|11|earlier|1";
    }
    void lockedForTheWholeRun()
    {
        QFETCH(QString, end);
        QFETCH(QStringList, entries);
        QFETCH(QString, display);
        frmMain& w = fx->open(entries, "start");
        w.Check1->setChecked(true);
        w.chkRenameFolder->setChecked(true);
        w.AddRecentFolder("/elsewhere/");
        w.LoadRecentMenu();
        if (end == "untick") {
            w.chkRenameFile->setChecked(false);
            w.chkRenameFolder->setChecked(false);
        }
        w.lblFolder->setText("Sub Folders  : 9"); // what an earlier run left
        w.lblFiles->setText("Files : 9");
        w.lblStatus->setText("earlier");
        w.lblFolder->show();
        w.lblFiles->show();
        w.lstCantRename << NotChanged{"earlier", {}};
        const QString idle = lockable(w);
        QStringList during;
        fx->fs.beforeList = [&](const QString& folder) {
            if (w.isRunning())
                during << lockable(w);
            if (end == "cancel" && folder.endsWith("/sub"))
                QTest::mouseClick(w.lblCancel, Qt::LeftButton);
        };
        w.cmdALL->click();
        during.removeDuplicates();
        QCOMPARE(during, end == "untick" ? QStringList() : QStringList{QString(idle.size(), '0')});
        QCOMPARE(lockable(w), idle);
        QCOMPARE(runDisplay(w), display);
        QCOMPARE(fx->shown(), end == "untick" ? QStringList{NothingTicked} : QStringList());
    }

    void theSystemsFoldersAskFirst()
    {
        // "/" is served from the temporary folder: nothing real is ever touched.
        fx->fs.root = fx->dir.path();
        fx->services.startFolder = "/";
        frmMain& w = fx->open({"ONE.TXT"});
        w.File1->setSelected(0, true);
        fx->messages.answers << MessageBoxes::No << MessageBoxes::No << MessageBoxes::Yes;
        w.cmdALL->click();
        w.cmdSELECTED->click();
        const QString question = box(
            "The folder / belongs to the operating system. Changing the names in it can stop the system from "
            "working.   Do you want to rename them anyway ?",
            "Orvel File Rename", MessageBoxes::Icon::Warning, MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No);
        QCOMPARE(fx->shown() << QStringLiteral("%1 renames").arg(fx->fs.renames.size()),
                 QStringList({question, question, "0 renames"}));
        w.cmdALL->click();
        QCOMPARE(fx->tree(), QStringList{"One.txt="});
    }

    // A close request while the run renames: the rename in hand ends, nothing after
    // it starts, no question is asked, and the window closes.
    void closeDuringTheRenames()
    {
        frmMain& w = fx->open({"start/A ONE.TXT", "start/B TWO.TXT", "start/C THREE.TXT"}, "start");
        w.show();
        fx->fs.refusedRenames = {fx->path("start/C THREE.TXT")};
        fx->fs.beforeRename = [&](const QString&, const QString&) {
            w.cmdALL_Click(); // clicks meanwhile start nothing new
            w.cmdSELECTED_Click();
            w.close();
        };
        w.cmdALL->click();
        QCOMPARE(fx->tree(), (QStringList{"start/", "start/A One.txt=", "start/B TWO.TXT=", "start/C THREE.TXT="}));
        QCOMPARE(QStringLiteral("%1 renames, visible %2, running %3")
                         .arg(fx->fs.renames.size())
                         .arg(w.isVisible())
                         .arg(w.isRunning())
                     + fx->shown().join(""),
                 QStringLiteral("1 renames, visible 0, running 0"));
    }

    // The files selected and the open folder, in the case chosen: the list shows the
    // new names with nothing selected, the working name is the last one converted, and
    // the window and the folder's recent entry, which keeps its place, follow its new name.
    void renameSelectedFromTheControls()
    {
        frmMain& w =
            fx->open({"my PHOTOS/alpha ONE.txt", "my PHOTOS/beta TWO.txt", "my PHOTOS/gamma three.TXT"}, "my PHOTOS");
        w.AddRecentFolder(fx->path("my PHOTOS/"));
        w.AddRecentFolder("/other/");
        w.optCASES[1]->setChecked(true);
        w.chkRenameFolder->setChecked(true);
        w.File1->setSelected(0, true);
        w.File1->setSelected(2, true);
        w.cmdSELECTED->click();
        QCOMPARE(fx->tree(),
                 (QStringList{"MY PHOTOS/",
                              "MY PHOTOS/ALPHA ONE.TXT=", "MY PHOTOS/GAMMA THREE.TXT=", "MY PHOTOS/beta TWO.txt="}));
        QCOMPARE(
            fx->where(),
            QStringLiteral("~/MY PHOTOS | ~/MY PHOTOS/ | ~/MY PHOTOS | ALPHA ONE.TXT, beta TWO.txt, GAMMA THREE.TXT"));
        QCOMPARE(w.txtNAME->text() + ' ' + QString::number(w.File1->selectedItems().size()),
                 QStringLiteral("GAMMA THREE.TXT 0"));
        QCOMPARE(fx->recents() + fx->shown(), (QStringList{"/other/", "~/MY PHOTOS/", ""})); // and no message
    }

    // Nothing selected: not even the folder is renamed, and it is not a recent folder;
    // the list is read again. Nothing ticked: the not-changed list is emptied, then the
    // user is told. A double click on a file renames it.
    void renameSelectedWithNothingSelectedNothingTickedOrADoubleClick()
    {
        frmMain& w = fx->open({"later/x.txt"}, "later");
        w.show();
        w.chkRenameFolder->setChecked(true);
        fx->touch({"later/new.txt"});
        w.cmdSELECTED->click();
        QCOMPARE(fx->where() + fx->recents().first(), QStringLiteral("~/later | ~/later/ | ~/later | new.txt, x.txt"));
        w.lstCantRename << NotChanged{"from an earlier run", {}};
        w.chkRenameFile->setChecked(false);
        w.chkRenameFolder->setChecked(false);
        w.File1->setSelected(0, true);
        w.cmdSELECTED->click();
        QVERIFY(w.lstCantRename.isEmpty());
        QCOMPARE(fx->shown(), QStringList{NothingTicked});
        QCOMPARE(fx->tree(), (QStringList{"later/", "later/new.txt=", "later/x.txt="}));
        w.chkRenameFile->setChecked(true);
        clickItem(w.File1, w.File1->item(1), true);
        QCOMPARE(fx->tree(), (QStringList{"later/", "later/X.txt=", "later/new.txt="}));
    }

    // Refused renames end in the question; Yes shows them in "Changes Not Made", which
    // keeps its list while it stays open.
    void theReportOfWhatWasNotChanged()
    {
        frmMain& w = fx->open({"a ONE.txt", "b TWO.txt"});
        fx->fs.refusedRenames = {fx->path("a ONE.txt"), fx->path("b TWO.txt")};
        w.File1->setSelected(0, true);
        w.File1->setSelected(1, true);
        fx->messages.answers << MessageBoxes::No << MessageBoxes::Yes << MessageBoxes::Yes << MessageBoxes::Yes;
        w.cmdSELECTED->click();
        QCOMPARE(fx->shown(),
                 QStringList{box("2  file(s) was not changed. The reasons for this are either that the file(s) is "
                                 "open or being written to.   Do you want to view these files ?",
                                 "File not renamed", MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No,
                                 MessageBoxes::Yes)});
        QVERIFY(!frmChangeNot::loaded());
        const auto listed = [] {
            QStringList entries;
            for (int i = 0; frmChangeNot::loaded() && i < frmChangeNot::loaded()->lstCantRename->count(); ++i)
                entries << frmChangeNot::loaded()->lstCantRename->item(i)->text() + '\t'
                        + frmChangeNot::loaded()->lstCantRename->item(i)->toolTip();
            return entries;
        };
        const QStringList both{fx->path("a ONE.txt") + '\t' + ErrorText(EBUSY),
                               fx->path("b TWO.txt") + '\t' + ErrorText(EBUSY)};
        w.ReportNotChanged();
        QCOMPARE(listed(), both); // so the window is loaded
        QPointer<frmChangeNot> dialog = frmChangeNot::loaded();
        QCOMPARE(QString::number(dialog->isVisible()) + QString::number(dialog->isModal()) + dialog->windowTitle(),
                 QStringLiteral("10Changes Not Made"));
        // Ctrl+C copies the selected entries, a path and its reason a line.
        dialog->lstCantRename->item(1)->setSelected(true);
        QTest::keyClick(dialog->lstCantRename, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), both[1] + '\n');
        // While it is open, another report only brings it forward with its earlier list;
        // Ok unloads it, and the next report loads the new list.
        w.lstCantRename = {{"/elsewhere", "why"}};
        w.ReportNotChanged();
        QCOMPARE(listed(), both);
        QCOMPARE(frmChangeNot::loaded(), dialog.data());
        dialog->cmdOK->click();
        QTRY_VERIFY(dialog.isNull());
        w.ReportNotChanged();
        QCOMPARE(listed(), QStringList{"/elsewhere\twhy"});
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
