// Rename All as the engine runs it, on real trees: what it renames and in which order,
// what it counts and reports, early exits, faults mid-run, cancel, stop; and every run
// taken back by its journal. Rename Selected is tested where the window fills its job
// from the list's selection.

#include "engine/RenameAll.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "platform/JournalStore.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempTree.h"

#include <QtTest>

#include <cerrno>
#include <unistd.h>

using namespace orvel;
using namespace orvel::test;

namespace {

struct Observer final : RunObserver {
    QStringList statuses;
    qint64 max = -1, value = -1;
    bool cancel = false, stop = false;
    void status(const QString& text) override { statuses << text; }
    void progressMax(qint64 m) override { max = m; }
    void progressValue(qint64 v) override { value = v; }
    void letEventsThrough() override {}
    bool cancelRequested() override { return cancel; }
    bool stopRequested() override { return stop; }
};

// Faults, each "kind:relative path", separated by ';': refuse (that rename fails), vanish
// (the file is removed at the run's first rename), cancel (the cancel link is clicked
// while that folder is listed), close (the window is closed then), stop (a stop request
// comes during that rename), swap (the folder becomes a link to ../outside just before it
// is entered), fail (that folder's listing fails part way), root (the run starts at "/",
// served from that folder).
void row(const char* name, const QStringList& before, const QString& options, const QString& faults,
         const QStringList& after, const QString& result, const QStringList& notChanged = {},
         const QStringList& order = {}, const QStringList& undone = {})
{
    QTest::newRow(name) << before << options << faults << after << result << notChanged << order << undone;
}

} // namespace

class TestRuns : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void renameAll_data()
    {
        QTest::addColumn<QStringList>("before"); // makeTree notation; the first entry's folder is the start
        QTest::addColumn<QString>("options"); // file, folder, sub, lower, upper (Proper Case otherwise)
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QStringList>("after"); // the whole temporary folder, read back raw
        QTest::addColumn<QString>("result"); // "found files folders|working name|open folder", or "-" for an early exit
        QTest::addColumn<QStringList>("notChanged"); // "relative path|reason"
        QTest::addColumn<QStringList>("order"); // the renames asked for, when it matters
        // The tree after the run is taken back, where a fault made it differ from the tree
        // before the run (empty: the same, byte for byte).
        QTest::addColumn<QStringList>("undone");

        row("files of one folder",
            {"start/first FILE.TXT=1", "start/(draft) notes.doc=2", "start/sub/inner FILE.txt=3"}, "file", "",
            {"start/", "start/(Draft) Notes.doc=2", "start/First File.txt=1", "start/sub/",
             "start/sub/inner FILE.txt=3"},
            "2 2 0|First File.txt|start");
        // Each folder before its files, a parent before everything below it.
        row("whole tree, top down", {"start/t.txt=", "start/a/a.txt=", "start/a/a1/x.txt="}, "file folder sub", "",
            {"Start/", "Start/A/", "Start/A/A.txt=", "Start/A/A1/", "Start/A/A1/X.txt=", "Start/T.txt="},
            "3 3 3|X.txt|Start", {},
            {"start", "start/t.txt", "start/a", "start/a/a.txt", "start/a/a1", "start/a/a1/x.txt"});
        row("only Rename folder", {"my DOCS/one FILE.txt=", "my DOCS/two FILE.txt="}, "folder", "",
            {"My Docs/", "My Docs/one FILE.txt=", "My Docs/two FILE.txt="}, "2 2 0|Two File.txt|My Docs");
        row("early exit: empty folder", {"start/"}, "file folder", "", {"start/"}, "-");
        row("early exit: folders without files", {"start/ONE/TWO/"}, "file folder sub", "",
            {"start/", "start/ONE/", "start/ONE/TWO/"}, "-");
        row("early exit: files only below", {"start/SUB/F.TXT="}, "file folder", "",
            {"start/", "start/SUB/", "start/SUB/F.TXT="}, "-");
        row("refused, taken and vanished names",
            {"start/keep OPEN.txt=k", "start/report.txt=r", "start/REPORT.TXT=R", "start/GONE.TXT=g",
             "start/fine ONE.txt=f"},
            "file lower", "refuse:start/keep OPEN.txt;vanish:start/GONE.TXT",
            {"start/", "start/REPORT.TXT=R", "start/fine one.txt=f", "start/keep OPEN.txt=k", "start/report.txt=r"},
            "5 5 0|report.txt|start",
            {"start/GONE.TXT|" + ErrorText(ENOENT), "start/keep OPEN.txt|" + ErrorText(EBUSY),
             "start/REPORT.TXT|" + ErrorText(EEXIST)},
            {},
            {"start/", "start/REPORT.TXT=R", "start/fine ONE.txt=f", "start/keep OPEN.txt=k", "start/report.txt=r"});
        // Hidden entries stay out; links to folders are neither entered nor renamed, so a
        // loop cannot trap the walk; a link to a file is an entry of the folder.
        row("hidden entries and links",
            {"start/.hidden.TXT=h", "start/.git/O.TXT=o", "start/LOOP/up->..", "start/DIR LINK->LOOP",
             "start/FILE LINK->../outside/X.TXT", "start/dangling->nowhere", "outside/X.TXT=x"},
            "file folder sub", "",
            {"Start/", "Start/.git/", "Start/.git/O.TXT=o", "Start/.hidden.TXT=h", "Start/DIR LINK->LOOP",
             "Start/File Link->../outside/X.TXT", "Start/Loop/", "Start/Loop/up->..", "Start/dangling->nowhere",
             "outside/", "outside/X.TXT=x"},
            "1 1 2|File Link|Start");
        // The search stops at its next folder; the renaming covers the start folder alone.
        row("cancel during the search", {"start/ONE.TXT=", "start/a/TWO.TXT=", "start/a/b/THREE.TXT="},
            "file folder sub", "cancel:start/a",
            {"Start/", "Start/One.txt=", "Start/a/", "Start/a/TWO.TXT=", "Start/a/b/", "Start/a/b/THREE.TXT="},
            "2 1 1|One.txt|Start");
        // Closed during the search: the run ends before its first rename.
        row("close during the search", {"start/ONE.TXT=", "start/a/TWO.TXT="}, "file folder sub", "close:start/a",
            {"start/", "start/ONE.TXT=", "start/a/", "start/a/TWO.TXT="}, "2 0 0||start");
        row("stop between two renames", {"start/A ONE.TXT=", "start/B TWO.TXT=", "start/sub/C.TXT="}, "file sub",
            "stop:start/A ONE.TXT",
            {"start/", "start/A One.txt=", "start/B TWO.TXT=", "start/sub/", "start/sub/C.TXT="},
            "3 1 1|A One.txt|start");
        // The root keeps its name; its files and the folders below are renamed.
        row("the root start", {"top/ONE.TXT=", "top/sub A/TWO.TXT="}, "file folder sub", "root:top",
            {"top/", "top/One.txt=", "top/Sub A/", "top/Sub A/Two.txt="}, "2 2 2|Two.txt|/");
        // Swapped for a link between its listing and its entering: never entered.
        row("folder swapped for a link", {"start/a/A.TXT=", "start/b/B.TXT=", "outside/OUT.TXT=o"}, "file folder sub",
            "swap:start/b",
            {"Start/", "Start/A/", "Start/A/A.txt=", "Start/b->../outside", "outside/", "outside/OUT.TXT=o"},
            "1 1 2|A.txt|Start", {"start/b|skipped: not a folder any more"}, {},
            {"outside/", "outside/OUT.TXT=o", "start/", "start/a/", "start/a/A.TXT=", "start/b->../outside"});
        // Names are bytes: those that are not UTF-8 are renamed with their bytes kept and
        // entered; a leading U+FEFF is part of the name, so "\uFEFF.." is just a folder.
        row("names as bytes",
            {DecodeName("start/R\xe9SUM\xe9.doc=r"), DecodeName("start/Bad\xff-DIR/f.txt=f"), "start/\uFEFF../x.txt=x",
             "start/\uFEFF=bom", "start/\uFEFF.git/y.txt=y", "beside.txt=b"},
            "file folder sub upper", "",
            {"START/", DecodeName("START/BAD\xff-DIR/"), DecodeName("START/BAD\xff-DIR/F.TXT=f"),
             DecodeName("START/R\xe9SUM\xe9.DOC=r"), "START/\uFEFF../", "START/\uFEFF../X.TXT=x", "START/\uFEFF.GIT/",
             "START/\uFEFF.GIT/Y.TXT=y", "START/\uFEFF=bom", "beside.txt=b"},
            "5 5 4|*|START");
        // A listing cut short is no listing: the folder's files are not renamed.
        row("listing fails part way", {"start/a/A.TXT=", "start/b/B.TXT="}, "file folder sub", "fail:start/b",
            {"Start/", "Start/A/", "Start/A/A.txt=", "Start/B/", "Start/B/B.TXT="}, "1 1 3|A.txt|Start");
    }

    void renameAll()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, options);
        QFETCH(QString, faults);
        QFETCH(QStringList, after);
        QFETCH(QString, result);
        QFETCH(QStringList, notChanged);
        QFETCH(QStringList, order);
        QFETCH(QStringList, undone);
        TempDir dir, state;
        const QString top = dir.path();
        QVERIFY(makeTree(top, before));
        const QStringList unchanged = readTree(top);
        const std::unique_ptr<JournalStore> journals = OpenJournalStore(state.path(), nullptr);
        const auto fault = [&](const QString& kind) {
            for (const QString& f : faults.split(';', Qt::SkipEmptyParts))
                if (f.startsWith(kind + ':'))
                    return top + '/' + f.mid(kind.size() + 1);
            return QString();
        };

        FaultyFileSystem fs;
        Observer observer;
        fs.refusedRenames = {fault("refuse")};
        fs.failedListings = {fault("fail")};
        fs.beforeList = [&](const QString& folder) {
            observer.cancel |= folder == fault("cancel") || folder == fault("close");
            observer.stop |= folder == fault("close"); // the window closed: cancel and stop at once
        };
        fs.beforeRename = [&](const QString& oldPath, const QString&) {
            if (const QString gone = fault("vanish"); !gone.isEmpty())
                QFile::remove(gone);
            observer.stop |= oldPath == fault("stop");
        };
        fs.beforeEnter = [&](const QString& folder) {
            if (folder == fault("swap")) {
                QDir(folder).removeRecursively();
                QVERIFY(::symlink("../outside", QFile::encodeName(folder).constData()) == 0);
            }
        };
        fs.root = fault("root");
        RenameAllJob job{
            fs.root.isEmpty() ? top + '/' + before[0].section('/', 0, 0) : "/", {}, options.contains("sub")};
        job.options = {options.contains("file"), options.contains("folder"),
                       options.contains("lower")       ? CaseStyle::Lower
                           : options.contains("upper") ? CaseStyle::Upper
                                                       : CaseStyle::Proper};
        job.journal = journals.get();

        const RenameAllOutcome out = RenameAll(job, fs, observer);
        QCOMPARE(fs.listings.removeDuplicates(), 0); // one walk: no folder is listed twice

        QCOMPARE(readTree(top), after);
        QStringList reported;
        for (const NotChanged& item : out.notChanged)
            reported << QDir(top).relativeFilePath(item.path) + '|' + item.reason;
        QCOMPARE(reported, notChanged);
        if (!order.isEmpty()) {
            QStringList asked;
            for (const auto& rename : fs.renames)
                asked << QDir(top).relativeFilePath(rename.first);
            QCOMPARE(asked, order);
        }
        if (result == "-") {
            QVERIFY(!out.renamed);
            QVERIFY(fs.renames.isEmpty()); // not even the folder
            QCOMPARE(observer.statuses.last(), QString());
            return;
        }
        QVERIFY(out.renamed);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(out.found).arg(out.files).arg(out.folders), result.section('|', 0, 0));
        QCOMPARE(observer.max, out.found);
        QCOMPARE(observer.value, out.files);
        if (result.section('|', 1, 1) != "*") // the order of sibling folders is the file system's
            QCOMPARE(out.workingName, result.section('|', 1, 1));
        const QString open = result.section('|', 2);
        QCOMPARE(out.openFolder, open == "/" ? open : top + '/' + open);
        QCOMPARE(out.stopped, !fault("stop").isEmpty() || !fault("close").isEmpty());
        QCOMPARE(observer.statuses.last(),
                 out.stopped ? QStringLiteral("Renaming... Please wait.") : QStringLiteral("Renamed done !!"));

        // Taken back, it leaves the tree as it found it, and has nothing to report.
        fs.refusedRenames.clear();
        fs.beforeRename = {};
        fs.beforeEnter = {};
        const std::optional<UndoCandidate> run = NewestUndoableRun(*journals);
        QVERIFY(run || fs.renames.isEmpty());
        if (!run)
            return;
        Observer undoing;
        const UndoOutcome back = UndoRun({run->journal}, *journals, fs, undoing);
        QCOMPARE(readTree(top), undone.isEmpty() ? unchanged : undone);
        QCOMPARE(back.notChanged, QList<NotChanged>());
        QCOMPARE(back.undone, run->renames);
        QCOMPARE(undoing.statuses, QStringList{"Undoing... Please wait."});
        QVERIFY(!NewestUndoableRun(*journals)); // and a second undo finds nothing
    }
};

QTEST_GUILESS_MAIN(TestRuns)
#include "test_runs.moc"
