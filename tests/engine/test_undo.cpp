// Taking runs back: names changed since the run, journals cut short by a power cut,
// undos in a row and stopped ones, journals that cannot be written or trusted, and a
// run killed between the two steps of a case-only rename. The undo of every kind of
// Rename All is in the run tests' table.

#include "engine/JournalFormat.h"
#include "engine/JournalWriter.h"
#include "engine/PlanningFileSystem.h"
#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ExfatVolume.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/StateFolder.h"
#include "tests/support/TempTree.h"

#include <QProcess>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace orvel;
using namespace orvel::test;

namespace {

using Observer = RecordingObserver;

// A tree, a journal folder beside it, and the runs on them.
struct Bench {
    TempDir dir;
    StateFolder state;
    JournalFiles* store = state.journals.get();
    FaultyFileSystem fs;
    Observer observer;

    QString path(const QString& relative = {}) const
    {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }

    RenameAllOutcome renameAll(CaseStyle style)
    {
        return RenameAll({path("start"), {true, true, style}, true, state.records(), {}}, fs, observer);
    }

    // The newest run taken back, on `workers` and on `on` (the bench's file system unless
    // told).
    UndoOutcome undo(int workers = 0, FileSystem* on = nullptr)
    {
        const std::optional<UndoCandidate> run = NewestUndoableRun(*store);
        return run ? UndoWholeRun(run->journals, {{}, false, workers}, state.records(), on ? *on : fs, observer)
                   : UndoOutcome{};
    }

    // A run on the start folder renamed by hand from `steps`, "writer|folder|name" or
    // "writer|folder|name>new name" (the folder from the test's folder; lower case unless
    // told), and journalled as the run's writers journal: a folder outside the start
    // folder as one, the start folder's own rename as its move.
    void journal(const QStringList& steps)
    {
        RunJournal journal(*store, {"all", path("start"), {true, true, CaseStyle::Lower}, true}, {});
        JournalWriter first(journal, 0), second(journal, 1);
        QString in[2] = {"?", "?"}; // the folder each writer is in
        for (const QString& step : steps) {
            const int w = step.section('|', 0, 0).toInt();
            const QString folder = step.section('|', 1, 1), from = step.section('|', 2).section('>', 0, 0);
            const QString to = step.contains('>') ? step.section('>', 1) : from.toLower();
            JournalWriter& writer = w == 0 ? first : second;
            if (std::exchange(in[w], folder) != folder)
                folder.startsWith("start") ? writer.inFolder(EncodeName(folder.mid(6)))
                                           : writer.inOutsideFolder(path(folder));
            const FolderHandle handle = hostFileSystem().openFolder(path(folder));
            EntryIdentity id;
            QVERIFY(hostFileSystem().identify(handle, EncodeName(from), &id) == 0);
            writer.willRename(EncodeName(from), EncodeName(to), id);
            writer.renamed(hostFileSystem().renameIn(handle, EncodeName(from), EncodeName(to)));
            if (path(folder) + '/' + from == path("start"))
                writer.startFolderMoved(path(folder) + '/' + to);
        }
        journal.finish(false);
    }

    // The entries of the newest run's undo as a plan sees them; nothing may change.
    QStringList plannedUndo(const QString& tree = {}, int workers = 0) const
    {
        const QString root = tree.isEmpty() ? path() : tree;
        const QStringList before = readTree(root);
        Observer planner;
        PlanningFileSystem plan(hostFileSystem());
        UndoRun({NewestUndoableRun(*store)->journal, true, workers}, {store, nullptr}, plan, planner);
        return readTree(root) == before ? planner.entries : QStringList{"changed by the plan"};
    }
};

const QStringList Tree{"start/ONE.TXT=1", "start/TWO.TXT=2", "start/THREE.TXT=3", "start/SUB/FOUR.TXT=4"};
const QStringList Before{"start/",         "start/ONE.TXT=1", "start/SUB/", "start/SUB/FOUR.TXT=4", "start/THREE.TXT=3",
                         "start/TWO.TXT=2"};

// Dies as a kill between the two steps of its `nth` case-only rename leaves things: the
// journal has heard of the hidden name, the entry has it, and nothing more happens.
class DiesBetweenTwoSteps : public FaultyFileSystem {
public:
    explicit DiesBetweenTwoSteps(int nth)
        : m_left(nth)
    {
    }

    int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                 const TemporaryNotice& notice) override
    {
        return FaultyFileSystem::renameIn(folder, oldName, newName, [&](QByteArrayView temporary) {
            if (notice)
                notice(temporary);
            if (--m_left == 0 && hostFileSystem().renameIn(folder, oldName, temporary) == 0)
                ::_exit(0);
        });
    }

private:
    int m_left;
};

// A row of oneRunATree: the journal folder of the locks, in the test's folder; shell words
// that make it so; why journals are not kept there ("~" for its path); the live run's
// tree ("died:" when its process is gone); the run, "all:folder", "selected:folder" or
// "undo" (of a run on start); whether it is refused as busy.
struct Locks {
    QString journals, make, refused, locked, run;
    bool busy;
};

bool shell(const QString& folder, const QString& words)
{
    return QProcess::execute("sh", {"-c", "cd \"$0\" && " + words, folder}) == 0;
}

} // namespace

class TestUndo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What became of the names between the run (lower case, files and folders) and its
    // undo: each goes back only while it is still exactly what the run made of it, and
    // nothing is ever replaced. Where letter case is ignored, the name the run gave still
    // finds an entry whose case was changed by hand since: that entry is left as it is.
    void changedSinceTheRun_data()
    {
        QTest::addColumn<QString>("meddle"); // shell words run in the tree after the run
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("left");
        // Each row's tree after the undo is Before with its own changes.
        const auto row = [](const char* name, const char* meddle, const QStringList& gone, const QStringList& added,
                            const QStringList& left) {
            QStringList after = Before;
            for (const QString& entry : gone)
                after.removeOne(entry);
            after += added;
            after.sort();
            QTest::newRow(name) << QString(meddle) << after << left;
        };
        const QString changed = "|changed since the rename";
        row("renamed again by hand", "mv start/one.txt start/uno.txt", {"start/ONE.TXT=1"}, {"start/uno.txt=1"},
            {"start/one.txt" + changed});
        row("another file under its name", "rm start/two.txt && printf new > start/two.txt", {"start/TWO.TXT=2"},
            {"start/two.txt=new"}, {"start/two.txt" + changed});
        row("old name taken", "printf taken > start/THREE.TXT", {"start/THREE.TXT=3"},
            {"start/THREE.TXT=taken", "start/three.txt=3"}, {"start/three.txt|old name taken"});
        row("folder moved away", "mv start/sub start/elsewhere", {"start/SUB/", "start/SUB/FOUR.TXT=4"},
            {"start/elsewhere/", "start/elsewhere/four.txt=4"},
            {"start/sub/four.txt" + changed, "start/sub" + changed});
        row("case changed by hand where case is ignored", "mv start/one.txt start/One.txt", {"start/ONE.TXT=1"},
            {"start/One.txt=1"}, {"start/one.txt" + changed});
    }

    void changedSinceTheRun()
    {
        QFETCH(QString, meddle);
        QFETCH(QStringList, after);
        QFETCH(QStringList, left);
        Bench b;
        QVERIFY(makeTree(b.path(), Tree));
        b.renameAll(CaseStyle::Lower);
        QVERIFY(shell(b.path(), meddle));
        b.fs.ignoresCase = QByteArray(QTest::currentDataTag()).contains("case is ignored");
        b.observer.entries.clear();
        const QStringList planned = b.plannedUndo();
        const UndoOutcome out = b.undo();
        QCOMPARE(b.observer.entries, planned);
        QCOMPARE(readTree(b.path()), after);
        QCOMPARE(reported(out.notChanged, b.path()), left);
        QCOMPARE(out.undone + out.left, 5);
        QCOMPARE(b.observer.max, 5); // the progress goes to the end of what there was
        QCOMPARE(b.observer.value, 5);
        QVERIFY(!NewestUndoableRun(*b.store)); // what is left is reported, not offered again
    }

    // Many names in folders at two levels go back on several workers at once, a folder's
    // name only once all in it is back: told in the same order as one worker tells them,
    // and as the plan said; what changed since is left alike. An undo stopped while
    // workers put names back is finished by the next.
    void workersAgree()
    {
        QStringList tree;
        // More folders than an undo keeps open at once.
        for (int f = 0; f < 20; ++f)
            for (int i = 0; i < 45; ++i)
                tree << QString(i < 30 ? "start/DIR %1/FILE %2.TXT=%1.%2" : "start/DIR %1/IN/FILE %2.TXT=%1.%2")
                            .arg(f)
                            .arg(i);
        const int renames = 40 + 20 * 45;
        Bench b;
        QVERIFY(makeTree(b.path(), tree));
        const QStringList before = readTree(b.path());
        RenameAll({b.path("start"), {true, true, CaseStyle::Lower}, true, b.state.records(), {}, 4}, hostFileSystem(),
                  b.observer);
        QVERIFY(QFile::remove(b.path("start/dir 1/file 7.txt")));
        QVERIFY(makeTree(b.path(), {"start/dir 2/FILE 9.TXT=taken"}));
        b.observer.entries.clear();
        const QStringList planned = b.plannedUndo({}, 1);
        QCOMPARE(planned.size(), renames);
        QCOMPARE(b.plannedUndo({}, 4), planned);
        const UndoOutcome out = b.undo(4, &hostFileSystem());
        QCOMPARE(b.observer.entries, planned);
        QStringList left = reported(out.notChanged, b.path());
        left.sort(); // in the order of the run, which was on workers too
        QCOMPARE(
            left,
            (QStringList{"start/DIR 1/file 7.txt|changed since the rename", "start/DIR 2/file 9.txt|old name taken"}));
        const QStringList after = readTree(b.path());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.filter(QRegularExpression("/(dir |in/|file )")), QStringList{"start/DIR 2/file 9.txt=2.9"});
        QVERIFY(after.contains("start/DIR 2/FILE 9.TXT=taken") && !after.contains("start/DIR 1/FILE 7.TXT=1.7"));

        // Once more, stopped part way.
        b.renameAll(CaseStyle::Lower);
        int seen = 0;
        // Once stopped, renames are slow enough for the stop to reach the workers first.
        b.fs.beforeRename = [&](const QString&, const QString&) {
            if (b.observer.stop)
                QThread::msleep(1);
            b.observer.stop = b.observer.stop || ++seen == 700;
        };
        const UndoOutcome stopped = b.undo(4);
        QVERIFY(stopped.stopped);
        QVERIFY(stopped.undone >= 699 && stopped.undone < renames - 2);
        b.observer.stop = false;
        QCOMPARE(b.undo().undone, renames - 2 - stopped.undone);
        QCOMPARE(readTree(b.path()), after);
    }

    // A folder renamed after the names in it: as a walk that names a folder last writes
    // it, when the workers leave the folder to one, its name first; and where a writer
    // moves on to a folder another writer has just renamed, writing after that rename
    // whatever space it reserved ahead has left. The folder's names go back before its own.
    void folderRenamedAfterItsNames_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("steps"); // as Bench::journal takes them
        QTest::addColumn<int>("workers"); // of the undo
        QStringList tree, steps;
        for (int i = 0; i < 600; ++i)
            tree << QString("start/DIR/FILE %1.TXT=%1").arg(i), steps << QString("0|start/DIR|FILE %1.TXT").arg(i);
        QTest::newRow("the folder last, undone on workers") << tree << steps + QStringList{"0|start|DIR"} << 4;
        tree = QStringList{"start/SUB/LAST.TXT=last"}, steps.clear();
        for (int i = 0; i < 60; ++i)
            tree << QString("start/A/FILE %1.TXT=%1").arg(i), steps << QString("1|start/A|FILE %1.TXT").arg(i);
        QTest::newRow("a writer moves on to it")
            << tree << steps + QStringList{"0|start|SUB", "1|start/sub|LAST.TXT"} << 1;
    }
    void folderRenamedAfterItsNames()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, steps);
        QFETCH(int, workers);
        Bench b;
        QVERIFY(makeTree(b.path(), tree));
        const QStringList before = readTree(b.path());
        b.journal(steps);
        const UndoOutcome out = b.undo(workers, &hostFileSystem());
        QCOMPARE(out.undone, steps.size());
        QCOMPARE(readTree(b.path()), before);
    }

    // A power cut can leave the last record torn: the undo cuts it off before it adds its
    // own records, which the next undo reads back (a stopped undo is finished, then the run
    // is no longer offered).
    void journalCutInARecord()
    {
        Bench b;
        QVERIFY(makeTree(b.path(), {"start/A.TXT=a", "start/B.TXT=b", "start/C.TXT=c"}));
        b.renameAll(CaseStyle::Lower);
        QFile journal(QDir(b.store->folder()).filePath(b.store->names().constLast()));
        QVERIFY(journal.open(QIODevice::ReadWrite));
        QVERIFY(journal.resize(journal.readAll().indexOf("\nR\tC.TXT") + 6)); // no zeros after the torn record
        b.fs.renames.clear();
        b.fs.beforeRename = [&](const QString&, const QString&) { b.observer.stop = b.fs.renames.size() == 1; };
        QCOMPARE(b.undo().undone, 1);
        b.observer.stop = false;
        QCOMPARE(b.undo().undone, 1);
        QCOMPARE(readTree(b.path()), (QStringList{"start/", "start/A.TXT=a", "start/B.TXT=b", "start/c.txt=c"}));
        QVERIFY(!NewestUndoableRun(*b.store));
    }

    // Rename Selected, the folder too: the folder's new name is where its files were
    // renamed; the undo puts back both.
    void renameSelected()
    {
        Bench b;
        QVERIFY(makeTree(b.path(), {"MY DOCS/A ONE.TXT=1", "MY DOCS/B TWO.TXT=2"}));
        RenameSelectedJob job{b.path("MY DOCS"),
                              {"A ONE.TXT", "B TWO.TXT"},
                              {true, true},
                              b.path("MY DOCS"),
                              {true, true, CaseStyle::Proper},
                              b.state.records(),
                              {}};
        const RenameSelectedOutcome run = RenameSelected(job, b.fs, b.observer);
        QCOMPARE(readTree(b.path()), (QStringList{"My Docs/", "My Docs/A One.txt=1", "My Docs/B Two.txt=2"}));
        QCOMPARE(NewestUndoableRun(*b.store)->renames, 3);
        QVERIFY(run.notChanged.isEmpty());
        QVERIFY(run.undoable);
        b.undo();
        QCOMPARE(readTree(b.path()), (QStringList{"MY DOCS/", "MY DOCS/A ONE.TXT=1", "MY DOCS/B TWO.TXT=2"}));
    }

    // A journal that cannot be written (here past the process's limit on a file's size, as
    // on a full disk), from its first record or later, does not stop the run: it is said once. Neither that run nor one
    // whose every rename failed says it can be undone.
    void fullDisk_data()
    {
        QTest::addColumn<int>("room"); // the most bytes a file may hold
        QTest::newRow("at the first rename") << 50;
        QTest::newRow("further on") << 300;
    }
    void fullDisk()
    {
        QFETCH(int, room);
        Bench b;
        QVERIFY(makeTree(b.path(), Tree));
        const auto carried = inChildProcess([&](QDataStream& out) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(room), rlim_t(room)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) == 0)
                out << b.renameAll(CaseStyle::Lower).undoable << b.observer.journalFailures;
        });
        QVERIFY(carried);
        QDataStream in(*carried);
        bool undoable = true;
        QStringList failures;
        in >> undoable >> failures;
        QCOMPARE(failures, QStringList{ErrorText(EFBIG)});
        QVERIFY(!undoable);
        QCOMPARE(readTree(b.path()).filter("txt").size(), 4); // the run went on
        QCOMPARE(b.store->names().size(), 1); // and did not make one journal after another

        Bench refused;
        QVERIFY(makeTree(refused.path(), {"start/ONE.TXT=1"}));
        refused.fs.refusedRenames << refused.path("start/ONE.TXT");
        QVERIFY(!refused.renameAll(CaseStyle::Lower).undoable);
        QVERIFY(!refused.store->names().isEmpty() && !NewestUndoableRun(*refused.store));
    }

    // A journal that a live run still writes (its file held open) is in use: it cannot be
    // opened again to append to, as an undo or the recovery would, until that run lets it go.
    void journalInUse()
    {
        Bench b;
        QString error;
        std::unique_ptr<JournalFile> live = b.store->create(&error);
        QVERIFY2(live, qPrintable(error));
        const QString name = live->name();
        QVERIFY(b.store->inUse(name));
        QVERIFY(!b.store->reopen(name, &error));
        QVERIFY2(error.contains(ErrorText(EBUSY)), qPrintable(error));
        live.reset();
        QVERIFY(!b.store->inUse(name));
        QVERIFY2(b.store->reopen(name, &error), qPrintable(error));
    }

    // An undo that runs out of open files part way (its process may hold 32) closes some of
    // the folders it keeps open and goes on: every name goes back.
    void fewOpenFiles()
    {
        Bench b;
        QStringList tree;
        for (int f = 0; f < 60; ++f)
            tree << QString("start/DIR %1/FILE.TXT=%1").arg(f);
        QVERIFY(makeTree(b.path(), tree));
        const QStringList before = readTree(b.path());
        b.renameAll(CaseStyle::Lower);
        QVERIFY(readTree(b.path()) != before);
        const auto carried = inChildProcess([&](QDataStream& out) {
            const rlimit limit{32, 32};
            if (::setrlimit(RLIMIT_NOFILE, &limit) == 0) {
                const UndoOutcome undone = b.undo(1);
                out << undone.undone << reported(undone.notChanged, b.path());
            }
        });
        QVERIFY(carried);
        QDataStream in(*carried);
        qint64 undone = 0;
        QStringList left;
        in >> undone >> left;
        QCOMPARE(left, QStringList());
        QCOMPARE(undone, 120);
        QCOMPARE(readTree(b.path()), before);
    }

    // What stands in the journal folder and is no journal to read is passed over, says
    // why, and is left where it is; runs and undos go on (in a child process that a hang
    // would make miss its deadline): a FIFO, which nobody writes to, at a lock's or a
    // journal's name, or a journal larger than the program ever writes. A journal is read a
    // piece at a time, so that its size does not count against the process's memory: one
    // that ends in a quarter of a gigabyte of zeros (space reserved ahead that a crash
    // left) reads under a limit far below that.
    void journalsPassedOver_data()
    {
        QTest::addColumn<QString>("name"); // of a FIFO; "~" stands for the older journal's name, without its ending
        QTest::addColumn<qint64>("size"); // of the newest journal, its records first, without a FIFO
        QTest::addColumn<QString>("error"); // after the name
        const QString fifo = " is not a regular file";
        QTest::newRow("a FIFO for a tree lock") << "claim-1-f1f0" << qint64(0) << fifo;
        QTest::newRow("a FIFO for a sealed journal, newer") << "~x.journal" << qint64(0) << fifo;
        QTest::newRow("a FIFO for an open journal, newer") << "~x.open" << qint64(0) << fifo;
        QTest::newRow("a quarter of a gigabyte of zeros") << QString() << (qint64(1) << 28) << QString();
        QTest::newRow("larger than any written")
            << QString() << LargestJournal + 1 << " is larger than any journal the program writes (64 GiB)";
    }
    void journalsPassedOver()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        Bench b;
        QVERIFY(makeTree(b.path(), Tree));
        b.renameAll(CaseStyle::Lower);
        const QString older = b.store->names().constLast();
        name.replace("~", older.left(older.lastIndexOf('.')));
        const QByteArray fifo = QFile::encodeName(QDir(b.store->folder()).filePath(name));
        QVERIFY(size > 0 || ::mkfifo(fifo.constData(), 0600) == 0);
        const auto carried = inChildProcess([&](QDataStream& out) {
            b.renameAll(CaseStyle::Upper);
            const QString newest = b.store->names().filter(QRegularExpression("\\d-\\d+\\.journal$")).constLast();
            QFile statm("/proc/self/statm");
            const qint64 used = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(0).toLongLong() : 0;
            const rlimit limit{rlim_t(used * ::sysconf(_SC_PAGESIZE) + (128 << 20)), RLIM_INFINITY};
            if (size > 0 && !QFile::resize(QDir(b.store->folder()).filePath(newest), size))
                return;
            if (used == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
                return;
            QString why;
            (void)ReadJournal(*b.store, size > 0 ? newest : name, &why);
            out << why.replace(size > 0 ? newest : name, "~") << NewestUndoableRun(*b.store)->journal.compare(newest)
                << b.undo().undone << b.undo().undone;
        });
        QVERIFY(carried);
        QDataStream in(*carried);
        QString why;
        int offered = -2;
        qint64 first = 0, second = 0;
        in >> why >> offered >> first >> second;
        QCOMPARE(why, error.isEmpty() ? QString() : "~" + error);
        const bool passedOver = size > LargestJournal;
        QCOMPARE(offered == 0, !passedOver); // the newest run unless it is passed over
        QCOMPARE(first,
                 passedOver ? 0 : 6); // the start folder's own name too; none of the older run's is as it left them
        QCOMPARE(second, passedOver ? 0 : 5);
        QCOMPARE(readTree(b.path()) == Before, !passedOver);
        struct stat st;
        QVERIFY(size > 0 || (::lstat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode)));
    }

    // Runs are told apart by their numbers, never by the clock: journals made while it
    // was ahead (an earlier version's, named by that time, and numbered ones whose times
    // go back) are older than every run after them. The highest number is undone first,
    // and the highest 10 are kept.
    void clockSetBack()
    {
        Bench b;
        QVERIFY(makeTree(b.path(), Tree));
        const auto journal = [&](const QString& name, const QByteArray& time) {
            QByteArray text;
            RecordBuilder(text, RecordKind::Head)
                .number(1)
                .bytes("all")
                .name(b.path("elsewhere"))
                .number(0)
                .number(1)
                .number(0)
                .number(0)
                .bytes(time)
                .end();
            RecordBuilder(text, RecordKind::Folder).name(u"").number(1).end();
            RecordBuilder(text, RecordKind::Rename).name(u"A").name(u"a").number(1).number(2).number(0).end();
            RecordBuilder(text, RecordKind::Ended).bytes("done").end();
            QFile file(QDir(b.store->folder()).filePath(name));
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        QVERIFY(journal("run-04102444800000000000-7.journal", "2100-01-01T00:00:00Z"));
        QVERIFY(journal("run-n00000000000000000007-7.journal", "2100-01-01T00:00:00Z"));
        QVERIFY(journal("run-n00000000000000000008-7.journal", "1999-01-01T00:00:00Z"));
        QCOMPARE(NewestUndoableRun(*b.store)->journal, "run-n00000000000000000008-7.journal");
        QStringList runs;
        for (int i = 0; i < 10; ++i) {
            const CaseStyle style = i % 2 ? CaseStyle::Proper : i < 5 ? CaseStyle::Lower : CaseStyle::Upper;
            RenameAll({b.path("start"), {true, false, style}, true, b.state.records(), {}}, b.fs, b.observer);
            runs << NewestUndoableRun(*b.store)->journal;
        }
        QCOMPARE(runs.first(), QString("run-n00000000000000000009-%1.journal").arg(::getpid()));
        QCOMPARE(b.store->names(), runs);
        // A run of several journals (the command line's over several paths) is kept whole,
        // counted once, and undone as one; a part of it whose every rename failed is kept
        // with it, but has nothing to undo.
        RunRecords part = b.state.records();
        int number = 0;
        for (const CaseStyle style : {CaseStyle::Lower, CaseStyle::Upper, CaseStyle::Upper}) {
            const bool refused = number++ == 1; // the middle part: every file refused
            if (refused)
                for (const QString& entry : readTree(b.path("start")))
                    b.fs.refusedRenames.insert(b.path("start/" + entry.section('=', 0, 0)));
            RenameAll({b.path("start"), {true, false, style}, true, part, {}}, b.fs, b.observer);
            part.group = RunIdOfJournal(NewestUndoableRun(*b.store)->journal);
            if (refused)
                b.fs.refusedRenames.clear();
        }
        const QStringList parts = NewestUndoableRun(*b.store)->journals;
        QCOMPARE(parts.size(), 2);
        const QStringList kept = b.store->names();
        QCOMPARE(kept, runs.mid(1) + (QStringList{parts[1], kept.value(10), parts[0]}));
        QCOMPARE(RunIdOf(*b.store, kept[10]), RunIdOf(*b.store, parts[0])); // the part that failed
        const UndoOutcome whole = b.undo();
        QCOMPARE(whole.startFolder, b.path("start"));
        QCOMPARE(whole.undone, 2 * 4);
    }

    // A journal edited by hand that asks for a rename outside its run's tree is refused
    // whole, with a message: nothing at all is renamed.
    void journalLeavingItsTree_data()
    {
        QTest::addColumn<QString>("step"); // as Bench::journal takes them
        QTest::newRow("in a folder beside the start folder") << "0|other|X.TXT";
        QTest::newRow("the start folder's name, not only its case") << "0||start>begin";
    }
    void journalLeavingItsTree()
    {
        QFETCH(QString, step);
        Bench b;
        QVERIFY(makeTree(b.path(), {"start/A.TXT=a", "other/X.TXT=x"}));
        b.journal({step});
        const QStringList before = readTree(b.path());
        QVERIFY(!b.undo().found);
        QCOMPARE(readTree(b.path()), before);
        QCOMPARE(b.observer.journalFailures.size(), 1);
    }

    // No two runs work on one tree at once: a run whose tree holds, or lies in, the tree
    // of a live run (of this process or another) is refused and says which; a tree beside
    // it, or one whose run is gone, is free. Each run has its own locks, as two processes
    // would. The journal folder is the user's own: a link, or a folder of another user, is
    // refused, and one made anew is closed to others. Where no lock can be kept in it
    // (refused, read-only for its user, or not there and not to be made) no two runs are
    // kept apart any less: their locks go to the runtime folder, where every run looks.
    void oneRunATree_data()
    {
        QTest::addColumn<Locks>("locks");
        const auto row = [](const char* name, const Locks& locks) { QTest::newRow(name) << locks; };
        row("inside it", {"state", "true", "", "start", "all:start/SUB", true});
        row("around it", {"state", "true", "", "start/SUB", "all:start", true});
        row("through a link", {"state", "true", "", "start", "all:link", true});
        row("beside it", {"state", "true", "", "start/SUB", "all:other", false});
        row("its run is gone", {"state", "true", "", "died:start", "all:start", false});
        row("Rename Selected inside it", {"state", "true", "", "start", "selected:start/SUB", true});
        row("an undo around it", {"state", "true", "", "start/sub", "undo", true});
        row("journal folder made anew", {"new/made", "true", "", "start", "all:start/SUB", true});
        row("journal folder a link",
            {"link", "mkdir real && ln -s real link", "~ is not a folder", "start", "all:start/SUB", true});
        row("another user's journal folder",
            {"state", "mkdir state && chown 65534:65534 state", "~ belongs to another user", "start", "all:start/SUB",
             true});
        row("read-only journal folder", {"state", "mkdir -m 500 state", "", "start", "all:start/SUB", true});
        row("journal folder that cannot be made",
            {"file/state", "touch file", ErrorText(ENOTDIR), "start", "all:start/SUB", true});
    }
    void oneRunATree()
    {
        QFETCH(Locks, locks);
        const auto& [journals, make, refused, locked, run, busy] = locks;
        Bench b;
        QVERIFY(makeTree(b.path(), Tree + QStringList{"other/O.TXT=o", "link->start"}));
        if (!shell(b.path(), make))
            QSKIP("giving a folder to another user needs root");
        if (run == "undo")
            b.renameAll(CaseStyle::Lower);
        const auto trees = [&] { return readTree(b.path("start")) + readTree(b.path("other")); };
        const QStringList before = trees();
        const QString tree = b.path(locked.section(':', -1));
        const auto carried = inChildProcess([&](QDataStream& out) {
            if (!dropFileOverrides())
                return;
            QString error;
            out << (OpenJournalFiles(b.path(journals), &error) ? QString() : error.replace(b.path(journals), "~"));
            const auto locks = [&] { return TreeLocks::open(b.path(journals), nullptr, b.path("runtime/locks")); };
            const auto first = locks(), second = locks();
            std::unique_ptr<TreeLock> held;
            if (!locked.startsWith("died:"))
                held = first->lock(b.fs.openFolder(tree), nullptr);
            else if (!inChildProcess(
                         [&](QDataStream&) { (void)first->lock(b.fs.openFolder(tree), nullptr).release(); }))
                return;
            const auto attempt = [&] {
                const QString folder = b.path(run.section(':', 1));
                const RunRecords records{b.store, second.get()};
                if (run == "undo")
                    return UndoRun({NewestUndoableRun(*b.store)->journal}, records, b.fs, b.observer).busyWith;
                if (run.startsWith("all:"))
                    return RenameAll({folder, {true, true, CaseStyle::Lower}, true, records, {}}, b.fs, b.observer)
                        .busyWith;
                return RenameSelected(
                           {folder, {"FOUR.TXT"}, {true}, folder, {true, false, CaseStyle::Lower}, records, {}}, b.fs,
                           b.observer)
                    .busyWith;
            };
            out << attempt() << (trees() == before);
            held.reset(); // the other run ends: the tree is free
            out << attempt() << (trees() == before);
        });
        QVERIFY(carried);
        QDataStream in(*carried);
        QString error, busyWith, freed;
        bool untouched = false, stillUntouched = true;
        in >> error >> busyWith >> untouched >> freed >> stillUntouched;
        QCOMPARE(error, refused);
        QCOMPARE(busyWith, busy ? tree : QString());
        QCOMPARE(untouched, busy);
        QCOMPARE(freed, QString());
        QVERIFY(!stillUntouched);
        QCOMPARE(QFileInfo::exists(b.path(journals) + "/claims.lock"), journals != "file/state" && make == "true");
        if (journals == "new/made")
            QCOMPARE(QFileInfo(b.path(journals)).permissions() & 0x0077, QFileDevice::Permissions());
    }

    // An undo on workers killed right after a folder went back after the names in it:
    // the next one finishes it and has nothing to report.
    void undoKilledPartWay()
    {
        Bench b;
        QStringList tree{"start/ONE.TXT=1", "start/A/TWO.TXT=2", "start/C/FIVE.TXT=5"};
        for (int i = 0; i < 600; ++i)
            tree << QString("start/A/B/FILE %1.TXT=%1").arg(i);
        QVERIFY(makeTree(b.path(), tree));
        const QStringList before = readTree(b.path());
        b.renameAll(CaseStyle::Lower);
        QVERIFY(inChildProcess([&](QDataStream&) {
            b.fs.beforeRename = [&](const QString& from, const QString& to) {
                if (to.endsWith("/a/B") && ::rename(qPrintable(from), qPrintable(to)) == 0)
                    ::_exit(0);
            };
            b.undo(4);
        }));
        QVERIFY(readTree(b.path()).contains("start/a/B/")); // killed where meant
        const UndoOutcome out = b.undo();
        QCOMPARE(reported(out.notChanged, b.path()), QStringList{});
        QCOMPARE(readTree(b.path()), before);
    }

    // On a file system that ignores case, a kill between the two steps of a case-only
    // rename, of a run or of its undo, and the card taken out and put back (new inode
    // numbers for every file) before the program starts again: the next start finishes
    // the rename from the journal, every name comes back, and nothing stays under a hidden
    // name. The plans of a whole run and of its undo know that the names are free where
    // case is ignored, a name of 250 bytes among them. Each row mounts a volume of its own, in
    // one process: nothing known of the first may be taken for the second.
    void killedBetweenTwoSteps_data()
    {
        QTest::addColumn<bool>("undoKilled");
        QTest::addColumn<QStringList>("names"); // of the start folder's files, other names for each volume
        QTest::newRow("the run killed") << false << QStringList{"alpha.txt=a", "beta.txt=b", "gamma.txt=c"};
        QTest::newRow("its undo killed") << true << QStringList{"delta.txt=d", "epsilon.txt=e", "zeta.txt=z"};
    }
    void killedBetweenTwoSteps()
    {
        QFETCH(bool, undoKilled);
        QFETCH(QStringList, names);
        ExfatVolume volume;
        if (volume.skipReason())
            QSKIP(volume.skipReason());
        Bench b;
        names << "long " + QString(240, 'n') + ".txt=long";
        QVERIFY(makeTree(volume.path() + "/start", names));
        const QStringList before = readTree(volume.path());
        RenameAllJob run{volume.path() + "/start", {true, false, CaseStyle::Upper}, false, {}, {}};
        if (undoKilled) {
            Observer planner;
            PlanningFileSystem plan(hostFileSystem());
            RenameAll(run, plan, planner);
            QCOMPARE(readTree(volume.path()), before);
            run.records = b.state.records();
            QCOMPARE(RenameAll(run, hostFileSystem(), b.observer).notChanged.size(), 0);
            QCOMPARE(b.observer.entries, planner.entries);
            QCOMPARE(planner.entries.size(), 4);
            b.observer.entries.clear();
            const QStringList planned = b.plannedUndo(volume.path());
            QCOMPARE(b.undo().undone, 4);
            QCOMPARE(b.observer.entries, planned);
            QCOMPARE(RenameAll(run, hostFileSystem(), b.observer).notChanged.size(), 0); // again, to be undone
        }
        run.records = b.state.records();
        QVERIFY(inChildProcess([&](QDataStream&) {
            DiesBetweenTwoSteps dying(2);
            if (undoKilled)
                b.undo(0, &dying);
            else
                RenameAll(run, dying, b.observer);
        }));
        QCOMPARE(readTree(volume.path()).filter(".orvel~").size(), 1); // killed where meant
        QVERIFY(volume.remount());
        if (undoKilled) { // as the program's next start does; a run killed is finished by its undo
            FinishInterruptedRuns(*b.store, hostFileSystem());
            QCOMPARE(readTree(volume.path()).filter(".orvel~").size(), 0);
        }
        b.observer.entries.clear();
        // New numbers: the plan knows too (of a run already finished; a plan changes nothing).
        const QStringList planned = undoKilled ? b.plannedUndo(volume.path()) : QStringList();
        const UndoOutcome out = b.undo();
        QCOMPARE(undoKilled ? b.observer.entries : planned, planned);
        QCOMPARE(reported(out.notChanged, volume.path()), QStringList{});
        QCOMPARE(readTree(volume.path()), before);
        QVERIFY(!NewestUndoableRun(*b.store));
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "test_undo.moc"
