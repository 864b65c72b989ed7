// Rename All as the engine runs it, on real trees: what it renames and in which order,
// what it counts and reports, early exits, faults mid-run, cancel, stop, the question
// about system folders and homes, and trees the process cannot read or hold open in
// full; and every run undone by its journal. Rename Selected is tested where the window fills its job from the
// list's selection.

#include "engine/FolderTree.h"
#include "engine/PlanningFileSystem.h"
#include "engine/RenameAll.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/StateFolder.h"
#include "tests/support/TempTree.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace orvel;
using namespace orvel::test;

namespace orvel {
QDataStream& operator<<(QDataStream& s, const NotChanged& item)
{
    return s << item.path << item.reason;
}
QDataStream& operator>>(QDataStream& s, NotChanged& item)
{
    return s >> item.path >> item.reason;
}
} // namespace orvel

namespace {

using Observer = RecordingObserver;

// What a run leaves for the test to compare, carried whole out of a child process.
struct Seen {
    RenameAllOutcome out;
    Observer observer;
    QList<QPair<QString, QString>> renames;
    QStringList listings;
    qsizetype peakOpen = 0; // the most files the process held open while it entered folders
    QStringList entries, planned; // what the run reported, and its plan beforehand
    bool untouched = true; // the tree was as before after the plan
};

// Every part of it, for carrying.
auto parts(auto& r)
{
    return std::tie(r.out.renamed, r.out.stopped, r.out.found, r.out.files, r.out.folders, r.out.workingName,
                    r.out.openFolder, r.out.notChanged, r.out.notListed, r.out.undoable, r.observer.statuses,
                    r.observer.asked, r.observer.max, r.observer.value, r.renames, r.listings, r.peakOpen, r.entries,
                    r.planned, r.untouched);
}

QDataStream& operator<<(QDataStream& s, const Seen& r)
{
    std::apply([&](const auto&... part) { (s << ... << part); }, parts(r));
    return s;
}

QDataStream& operator>>(QDataStream& s, Seen& r)
{
    std::apply([&](auto&... part) { (s >> ... >> part); }, parts(r));
    return s;
}

// The faults of a row of the Rename All table, each "kind:path" (relative to the test's
// folder), separated by ';': refuse (that rename fails), vanish (the file is removed at the
// run's first rename), cancel (the cancel link is clicked while that folder is listed),
// close (the window is closed then), stop (a stop request comes during that rename), swap
// (the folder becomes a link to ../outside just before it is entered), replace (at the
// first rename the folder is moved to "old" and a new one holding NEW.TXT takes its
// place), mount (a file system holding NEW.TXT is mounted on it then), fail (that folder's
// listing fails part way), root (the run starts at "/", served from that folder),
// mode:path=octal (its permission bits during the run), bind:path=source (a bind mount of
// the source, the whole run long), system and home (the question knows that folder as a
// system folder or a home), answer:no (the question is answered No), limit:n (the run's
// process may hold n open files), child (the run is made in a child process without
// root's power over permissions, as limit is).
class Faults {
public:
    Faults(const QString& text, const QString& top)
        : m_items(text.split(';', Qt::SkipEmptyParts))
        , m_top(top)
    {
    }

    // What follows "kind:" in each fault of that kind.
    QStringList all(const QString& kind) const
    {
        QStringList found;
        for (const QString& item : m_items)
            if (item.startsWith(kind + ':') || item == kind)
                found << item.mid(kind.size() + 1);
        return found;
    }
    // The path of the first fault of that kind; empty without one.
    QString at(const QString& kind) const
    {
        return all(kind).isEmpty() ? QString() : m_top + '/' + all(kind).first().section('=', 0, 0);
    }
    bool has(const QString& kinds) const
    {
        return std::any_of(m_items.cbegin(), m_items.cend(),
                           [&](const QString& item) { return kinds.split('|').contains(item.section(':', 0, 0)); });
    }
    // Nothing changes the tree beside the run: a plan made first must foresee it.
    bool plannable() const { return !has("refuse|vanish|cancel|close|stop|swap|replace|mount"); }
    // The run is made in a child process.
    bool inChild() const { return has("child|limit"); }
    QByteArray path(const QString& relative) const { return QFile::encodeName(m_top + '/' + relative); }

    // Mounts what stays mounted the whole run, and makes sure that what is mounted mid-run
    // can be; false where mounting needs root.
    bool mountAhead() const
    {
        for (const QString& bind : all("bind"))
            if (!mount(bind.section('=', 0, 0), bind.section('=', 1)))
                return false;
        for (const QString& point : all("mount"))
            if (!mount(point, {}) || ::umount(path(point).constData()) != 0)
                return false;
        return true;
    }
    // A tmpfs at `point`, or `source` bound there.
    bool mount(const QString& point, const QString& source) const
    {
        return source.isEmpty()
            ? ::mount("none", path(point).constData(), "tmpfs", 0, nullptr) == 0
            : ::mount(path(source).constData(), path(point).constData(), nullptr, MS_BIND, nullptr) == 0;
    }
    // What the row mounted; no row renames a folder that something is mounted on.
    void unmountAll() const
    {
        for (const QString& point : all("bind") + all("mount"))
            ::umount2(path(point.section('=', 0, 0)).constData(), MNT_DETACH);
    }
    bool setModes() const
    {
        for (const QString& mode : all("mode"))
            if (::chmod(path(mode.section('=', 0, 0)).constData(), mode.section('=', 1).toUInt(nullptr, 8)) != 0)
                return false;
        return true;
    }
    // Every folder open again, under whatever name it has now.
    void permitAll() const
    {
        std::error_code ignored;
        std::filesystem::permissions(path(".").constData(), std::filesystem::perms::owner_all, ignored);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path(".").constData(), ignored))
            if (entry.is_directory() && !entry.is_symlink())
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ignored);
    }

    // Has the file system and the observer bring about the faults as the run goes.
    void arm(FaultyFileSystem& fs, Observer& observer, qsizetype* peakOpen) const
    {
        observer.answer = !all("answer").contains("no");
        fs.refusedRenames = {at("refuse")};
        fs.failedListings = {at("fail")};
        fs.root = at("root");
        fs.beforeList = [this, &observer](const QString& folder) {
            if (folder == at("cancel") || folder == at("close"))
                observer.cancel = true;
            if (folder == at("close")) // the window closed: cancel and stop at once
                observer.stop = true;
            if (folder == at("cancel"))
                observer.awaitTakenIn();
        };
        fs.beforeRename = [this, &observer, changed = false](const QString& oldPath, const QString&) mutable {
            if (has("vanish"))
                QFile::remove(at("vanish"));
            if (oldPath == at("stop"))
                observer.stop = true;
            const QString replace = all("replace").value(0), mounted = all("mount").value(0);
            if (!changed && !replace.isEmpty())
                changed = QDir().rename(at("replace"), m_top + "/old") && makeTree(m_top, {replace + "/NEW.TXT=new"});
            if (!changed && !mounted.isEmpty())
                changed = mount(mounted, {}) && makeTree(m_top, {mounted + "/NEW.TXT=new"});
        };
        const auto open = [] { return qsizetype(QDir("/proc/self/fd").count()); };
        fs.beforeEnter = [this, peakOpen, open, openAtFirst = open()](const QString& folder) {
            *peakOpen = qMax(*peakOpen, open() - openAtFirst);
            if (folder == at("swap")) {
                QDir(folder).removeRecursively();
                QVERIFY(::symlink("../outside", QFile::encodeName(folder).constData()) == 0);
            }
        };
    }

private:
    QStringList m_items;
    QString m_top;
};

// Each row runs with one worker, and again with four, which must give the same outcome;
// but where a stop request comes mid-run, how far four workers get before the window's
// thread passes it on is theirs.
void row(const char* name, const QStringList& before, const QString& options, const QString& faults,
         const QStringList& after, const QString& result, const QStringList& notChanged = {},
         const QStringList& order = {}, const QStringList& asked = {})
{
    QTest::newRow(name) << before << options << faults << after << result << notChanged << order << asked << 1;
    if (!faults.contains("stop:") && !faults.contains("close:"))
        QTest::addRow("%s, 4 workers", name)
            << before << options << faults << after << result << notChanged << order << asked << 4;
}

// A chain of `depth` folders "d" below "start" with a file at its bottom, and at `branch`
// levels down a folder "e" beside the chain, which the walk comes back up to last; with
// `everyLevel`, one at each level below that too, each of which a walk holds its parent
// open for while it goes down the chain: the tree before, and after Rename All in Proper
// Case.
QStringList deepTree(int depth, int branch, bool renamed, bool everyLevel = false)
{
    const QString top = renamed ? "Start/" : "start/", d = renamed ? "D/" : "d/";
    const QString bottom = top + d.repeated(depth);
    QStringList tree{bottom + (renamed ? "F.txt=" : "F.TXT=")};
    for (int level = branch; level == branch || (everyLevel && level < depth); ++level) {
        const QString e = top + d.repeated(level) + (renamed ? "E/" : "e/");
        tree << e + (renamed ? "E.txt=" : "E.TXT=");
        if (renamed)
            tree << e;
    }
    for (int level = 0; renamed && level <= depth; ++level)
        tree << top + d.repeated(level);
    tree.sort();
    return tree;
}

} // namespace

class TestRuns : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void renameAll_data()
    {
        QTest::addColumn<QStringList>("before"); // makeTree notation; the first entry's folder is the start
        QTest::addColumn<QString>("options"); // file, folder, sub, cross, lower, upper (Proper Case otherwise)
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QStringList>("after"); // the whole temporary folder, read back raw
        QTest::addColumn<QString>(
            "result"); // "found files folders|working name|open folder", or "-" for nothing renamed
        QTest::addColumn<QStringList>("notChanged"); // "relative path|reason"
        QTest::addColumn<QStringList>("order"); // the renames asked for, when it matters
        QTest::addColumn<QStringList>("asked"); // the question about a system folder or a home: "relative path|role"
        QTest::addColumn<int>("workers");

        // The folder the user opened is renamed in without a question, even a home.
        row("files of one folder",
            {"start/first FILE.TXT=1", "start/(draft) notes.doc=2", "start/sub/inner FILE.txt=3"}, "file", "home:start",
            {"start/", "start/(Draft) Notes.doc=2", "start/First File.txt=1", "start/sub/",
             "start/sub/inner FILE.txt=3"},
            "2 2 0|First File.txt|start");
        // Each folder before its files, a parent before everything below it.
        row("whole tree, top down", {"start/t.txt=", "start/a/a.txt=", "start/a/a1/x.txt="}, "file folder sub", "",
            {"Start/", "Start/A/", "Start/A/A.txt=", "Start/A/A1/", "Start/A/A1/X.txt=", "Start/T.txt="},
            "3 3 3|X.txt|Start", {},
            {"start", "start/t.txt", "start/a", "start/A/a.txt", "start/A/a1", "start/A/A1/x.txt"});
        // Its own name is asked about when it is a home.
        row("only Rename folder", {"my DOCS/one FILE.txt=", "my DOCS/two FILE.txt="}, "folder", "home:my DOCS",
            {"My Docs/", "My Docs/one FILE.txt=", "My Docs/two FILE.txt="}, "2 2 0|Two File.txt|My Docs", {}, {},
            {"my DOCS|home"});
        row("early exit: files only below", {"start/SUB/F.TXT="}, "file folder", "",
            {"start/", "start/SUB/", "start/SUB/F.TXT="}, "-");
        row("refused, taken and vanished names",
            {"start/keep OPEN.txt=k", "start/report.txt=r", "start/REPORT.TXT=R", "start/GONE.TXT=g",
             "start/fine ONE.txt=f"},
            "file lower", "refuse:start/keep OPEN.txt;vanish:start/GONE.TXT",
            {"start/", "start/REPORT.TXT=R", "start/fine one.txt=f", "start/keep OPEN.txt=k", "start/report.txt=r"},
            "5 5 0|report.txt|start",
            {"start/GONE.TXT|" + ErrorText(ENOENT), "start/keep OPEN.txt|" + ErrorText(EBUSY),
             "start/REPORT.TXT|" + ErrorText(EEXIST)});
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
        // The root keeps its name; its files and the folders below are renamed, once asked.
        row("the root start", {"top/ONE.TXT=", "top/sub A/TWO.TXT="}, "file folder sub", "root:top",
            {"top/", "top/One.txt=", "top/Sub A/", "top/Sub A/Two.txt="}, "2 2 2|Two.txt|/", {}, {}, {"/|system"});
        // Swapped for a link between its listing and its entering: never entered, and the
        // walk goes on with the folder after it.
        row("folder swapped for a link", {"start/a/A.TXT=", "start/b/B.TXT=", "outside/OUT.TXT=o"}, "file folder sub",
            "swap:start/a",
            {"Start/", "Start/B/", "Start/B/B.txt=", "Start/a->../outside", "outside/", "outside/OUT.TXT=o"},
            "1 1 2|B.txt|Start", {"start/a|skipped: not a folder any more"});
        // Another folder in its place, or a file system mounted on it, once the tree was
        // listed: not entered, and the run goes on after everything below it.
        row("folder replaced after the search", {"start/a/A.TXT=", "start/a/deep/D.TXT=", "start/b/B.TXT="},
            "file folder sub", "replace:start/a",
            {"Start/", "Start/B/", "Start/B/B.txt=", "Start/a/", "Start/a/NEW.TXT=new", "old/",
             "old/A.TXT=", "old/deep/", "old/deep/D.TXT="},
            "3 1 2|B.txt|Start", {"Start/a|skipped: changed since it was listed"});
        row("folder mounted over after the search", {"start/S.TXT=", "start/a/A.TXT=", "start/b/B.TXT="}, "file sub",
            "mount:start/a",
            {"start/", "start/S.txt=", "start/a/", "start/a/NEW.TXT=new", "start/b/", "start/b/B.txt="},
            "3 2 2|B.txt|start", {"start/a|skipped: changed since it was listed"});
        // A file system mounted inside the tree, a bind mount too, is another tree: not
        // entered unless asked for, and then a system folder there is found by identity
        // (No renames nothing at all).
        row("folder bind-mounted into the tree", {"start/A.TXT=", "start/mnt/", "other/B.TXT="}, "file sub",
            "bind:start/mnt=other",
            {"other/", "other/B.TXT=", "start/", "start/A.txt=", "start/mnt/", "start/mnt/B.TXT="}, "1 1 1|A.txt|start",
            {"start/mnt|skipped: on another file system"});
        row("system folder bind-mounted into the tree", {"start/A.TXT=", "start/root/etc/", "etc/HOSTS="},
            "file folder sub cross", "bind:start/root/etc=etc;system:etc;answer:no",
            {"etc/", "etc/HOSTS=", "start/", "start/A.TXT=", "start/root/", "start/root/etc/", "start/root/etc/HOSTS="},
            "-", {}, {}, {"start/root/etc|system"});
        // Folders not entered and names left at several levels are reported in the order of
        // the walk, however the listings of several workers interleave.
        row("reports in the order of the walk",
            {"start/a/X.TXT=1", "start/a/x.TXT=2", "start/a/deep/X.TXT=3", "start/a/deep/x.TXT=4", "start/a/m/",
             "start/b/", "start/c/X.TXT=5", "start/c/x.TXT=6", "other/O.TXT="},
            "file sub lower", "bind:start/a/m=other;bind:start/b=other",
            {"other/", "other/O.TXT=", "start/", "start/a/", "start/a/deep/", "start/a/deep/x.TXT=4",
             "start/a/deep/x.txt=3", "start/a/m/", "start/a/m/O.TXT=", "start/a/x.TXT=2", "start/a/x.txt=1", "start/b/",
             "start/b/O.TXT=", "start/c/", "start/c/x.TXT=6", "start/c/x.txt=5"},
            "6 6 4|x.txt|start",
            {"start/a/m|skipped: on another file system", "start/b|skipped: on another file system",
             "start/a/x.TXT|" + ErrorText(EEXIST), "start/a/deep/x.TXT|" + ErrorText(EEXIST),
             "start/c/x.TXT|" + ErrorText(EEXIST)});
        row("a home inside the tree", {"start/A.TXT=", "start/u/U.TXT="}, "file sub", "home:start/u",
            {"start/", "start/A.txt=", "start/u/", "start/u/U.txt="}, "2 2 2|U.txt|start", {}, {}, {"start/u|home"});
        // Root's power over permissions given up: a folder that cannot be read is still
        // renamed and counted, and so is one whose parent cannot be read.
        row("unreadable folders", {"start/A.TXT=", "start/locked/L.TXT=", "start/sub/S.TXT="}, "file folder sub",
            "child;mode:start/locked=0;mode:.=300",
            {"Start/", "Start/A.txt=", "Start/Locked/", "Start/Locked/L.TXT=", "Start/Sub/", "Start/Sub/S.txt="},
            "2 2 3|S.txt|Start");
        // Deeper than the process may hold files open: every folder is reached.
        row("deeper than the open-file limit", deepTree(150, 10, false), "file folder sub", "limit:100",
            deepTree(150, 10, true), "2 2 152|E.txt|Start");
        // A folder beside the chain at every level, which the walk holds the folder above
        // open for: more than the process may hold, so it lets go of some.
        row("open-file limit below the walk's own", deepTree(60, 10, false, true), "file folder sub", "limit:32",
            deepTree(60, 10, true, true), "51 51 111|E.txt|Start");
        // A name the run itself made is taken for the names after it.
        row("names the run makes itself", {"start/X.TXT=1", "start/x.TXT=2", "start/Y.TXT=3"}, "file lower", "",
            {"start/", "start/x.TXT=2", "start/x.txt=1", "start/y.txt=3"}, "3 3 0|y.txt|start",
            {"start/x.TXT|" + ErrorText(EEXIST)});
        // Root's power over permissions given up: a folder that cannot be written to keeps
        // its names, and the plan knows it beforehand.
        row("read-only folder", {"start/A.TXT=", "start/ro/B.TXT="}, "file folder sub", "child;mode:start/ro=555",
            {"Start/", "Start/A.txt=", "Start/Ro/", "Start/Ro/B.TXT="}, "2 2 2|B.txt|Start",
            {"Start/Ro/B.TXT|" + ErrorText(EACCES)});
        // Names are bytes: those that are not UTF-8 are renamed with their bytes kept and
        // entered; a leading U+FEFF is part of the name, so "\uFEFF.." is just a folder;
        // a tab and what looks like an escape are a name's like any other.
        row("names as bytes",
            {"start/50%41 off\tnow.txt=p", DecodeName("start/R\xe9SUM\xe9.doc=r"),
             DecodeName("start/Bad\xff-DIR/f.txt=f"), "start/\uFEFF../x.txt=x", "start/\uFEFF=bom",
             "start/\uFEFF.git/y.txt=y", "beside.txt=b"},
            "file folder sub upper", "",
            {"START/", "START/50%41 OFF\tNOW.TXT=p", DecodeName("START/BAD\xff-DIR/"),
             DecodeName("START/BAD\xff-DIR/F.TXT=f"), DecodeName("START/R\xe9SUM\xe9.DOC=r"), "START/\uFEFF../",
             "START/\uFEFF../X.TXT=x", "START/\uFEFF.GIT/", "START/\uFEFF.GIT/Y.TXT=y", "START/\uFEFF=bom",
             "beside.txt=b"},
            "6 6 4|*|START");
        // A listing cut short is no listing: the folder's files are not renamed.
        row("listing fails part way", {"start/a/A.TXT=", "start/b/B.TXT="}, "file folder sub", "fail:start/b",
            {"Start/", "Start/A/", "Start/A/A.txt=", "Start/B/", "Start/B/B.TXT="}, "1 1 3|A.txt|Start");
    }

    // A host that hears each name hears them in the order of the walk, so a worker that
    // runs far ahead of the folder being told waits; but never for names no worker
    // renames. Here the first folder is slow and holds a folder of its own, which nobody
    // can queue while its parent's worker waits, and the other holds more names than may
    // wait: the run must end, with every name told once, in order.
    void namesWaitingToBeTold()
    {
        // The renames in "a" (by then "A") are slow, outside the lock that lets one call through at a time.
        class SlowFirstFolder : public FaultyFileSystem {
        public:
            int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                         const TemporaryNotice& notice) override
            {
                if (folder.path().endsWith("/A"))
                    QThread::msleep(5);
                return FaultyFileSystem::renameIn(folder, oldName, newName, notice);
            }
        };
        QTemporaryDir dir;
        const QString top = dir.path() + "/start";
        QVERIFY(QDir().mkpath(top + "/a/sub") && QDir().mkpath(top + "/b"));
        const auto make = [&](const QString& folder, int files) {
            for (int n = 0; n < files; ++n)
                QFile(QStringLiteral("%1/%2/F%3.TXT").arg(top, folder).arg(n)).open(QIODevice::WriteOnly);
        };
        make("a", 200);
        make("b", 17000);
        SlowFirstFolder fs;
        Observer observer;
        RenameAllJob job{top, {true, true, CaseStyle::Proper}, true, {}, {}};
        job.workers = 2;
        const RenameAllOutcome out = RenameAll(job, fs, observer);
        QCOMPARE(out.files, 17200);
        QCOMPARE(observer.entries.size(), 17200 + 4); // and the folders' names
        const qsizetype lastOfA = observer.entries.lastIndexOf(QRegularExpression(".*/A/F\\d+\\.TXT > .*"));
        QVERIFY(lastOfA >= 0 && lastOfA < observer.entries.indexOf(QRegularExpression(".*/B/F\\d+\\.TXT > .*")));
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
        QFETCH(QStringList, asked);
        QFETCH(int, workers);
        TempDir dir;
        StateFolder state;
        const QString top = dir.path();
        QVERIFY(makeTree(top, before));
        const QStringList unchanged = readTree(top);
        const Faults fault(faults, top);
        const auto unmount = qScopeGuard([&] { fault.unmountAll(); });
        if (!fault.mountAhead())
            QSKIP("mounting needs root");
        FaultyFileSystem fs;
        Seen seen;
        Observer& observer = seen.observer;
        observer.base = top;
        fault.arm(fs, observer, &seen.peakOpen);
        RenameAllJob job{fs.root.isEmpty() ? top + '/' + before[0].section('/', 0, 0) : "/",
                         {options.contains("file"), options.contains("folder"),
                          options.contains("lower")       ? CaseStyle::Lower
                              : options.contains("upper") ? CaseStyle::Upper
                                                          : CaseStyle::Proper},
                         options.contains("sub"),
                         state.records(),
                         SystemFolders(fault.all("system").replaceInStrings(QRegularExpression("^"), top + '/'),
                                       fault.all("home").replaceInStrings(QRegularExpression("^"), top + '/')),
                         workers,
                         options.contains("cross")};
        const auto permit = qScopeGuard([&] { fault.permitAll(); });
        QVERIFY(fault.setModes());
        const auto run = [&] {
            if (fault.plannable()) { // a plan first, on the tree as it is
                Observer planner;
                planner.base = top;
                planner.answer = observer.answer;
                PlanningFileSystem plan(fs);
                RenameAllJob planned = job;
                planned.records = {};
                const QStringList before = readTree(top);
                RenameAll(planned, plan, planner);
                seen.planned = planner.entries;
                seen.untouched = readTree(top) == before;
                fs.listings.clear();
            }
            seen.out = RenameAll(job, fs, observer);
            seen.renames = fs.renames;
            seen.listings = fs.listings;
            seen.entries = observer.entries;
        };
        if (!fault.inChild()) {
            run();
        } else {
#ifdef __SANITIZE_THREAD__
            // Its child would start threads after a fork (its workers, or the one that seals
            // its journal), which the sanitizer does not follow.
            QSKIP("a run in a child process is not watched by the thread sanitizer");
#endif
            const auto carried = inChildProcess([&](QDataStream& out) {
                const rlim_t most = fault.all("limit").value(0, "0").toULong();
                const rlimit limit{most, most};
                if (dropFileOverrides() && (most == 0 || ::setrlimit(RLIMIT_NOFILE, &limit) == 0))
                    run(), out << seen;
            });
            QVERIFY(carried);
            QDataStream in(*carried);
            in >> seen;
            QCOMPARE(in.status(), QDataStream::Ok);
        }
        fault.permitAll();
        const RenameAllOutcome& out = seen.out;
        // One walk: no folder is listed twice, unless a listing found no file to spare, as
        // one worker's walk below the limit does (several may take the waiting folders fast
        // enough to hold few open).
        const bool listedAgain = seen.listings.removeDuplicates() > 0;
        if (!faults.contains("limit:32"))
            QVERIFY(!listedAgain);
        else if (workers == 1)
            QVERIFY(listedAgain);
        // The folders held open for those below them, the start folder and its parent, a
        // listing, the count, and the lock of the tree.
        QVERIFY2(seen.peakOpen <= HeldParents::Limit + 5, qPrintable(QString::number(seen.peakOpen)));

        QCOMPARE(readTree(top), after);
        QCOMPARE(reported(out.notChanged, top), notChanged);
        // Each name left was told as it was left, and each folder not read last; the plan
        // foresaw every entry, in order, and changed nothing.
        QStringList told;
        for (const QString& entry : seen.entries.filter(" | "))
            told << entry.section(" > ", 0, 0) + '|' + entry.section(" | ", 1);
        QCOMPARE(told, notChanged + reported(out.notListed, top));
        if (fault.plannable()) {
            QVERIFY(seen.untouched);
            QCOMPARE(seen.planned, seen.entries);
        }
        QStringList questions;
        for (const QString& question : std::as_const(observer.asked))
            questions << (question.startsWith(top) ? QDir(top).relativeFilePath(question) : question);
        QCOMPARE(questions, asked);
        if (!order.isEmpty()) {
            QStringList renamed;
            for (const auto& rename : std::as_const(seen.renames))
                renamed << QDir(top).relativeFilePath(rename.first);
            QCOMPARE(renamed, order);
        }
        if (result == "-") {
            QVERIFY(!out.renamed);
            QVERIFY(seen.renames.isEmpty()); // not even the folder
            QCOMPARE(observer.statuses.last(), QString());
            return;
        }
        QVERIFY(out.renamed);
        QCOMPARE(out.undoable, NewestUndoableRun(*state.journals).has_value()); // what the window trusts
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(out.found).arg(out.files).arg(out.folders), result.section('|', 0, 0));
        QCOMPARE(observer.max, out.found);
        QCOMPARE(observer.value, out.files);
        if (result.section('|', 1, 1) != "*") // the order of sibling folders is the file system's
            QCOMPARE(out.workingName, result.section('|', 1, 1));
        const QString open = result.section('|', 2);
        QCOMPARE(out.openFolder, open == "/" ? open : top + '/' + open);
        QCOMPARE(out.stopped, fault.has("stop|close"));
        QCOMPARE(observer.statuses.last(),
                 out.stopped ? QStringLiteral("Renaming... Please wait.") : QStringLiteral("Renamed done !!"));

        // Undone, it leaves the tree as it found it and has nothing to report; where a
        // fault changed the tree beside the run, the tree before is no measure.
        if (fault.has("vanish|swap|replace|mount|bind|child|limit"))
            return;
        fs.refusedRenames.clear();
        fs.beforeRename = {};
        fs.beforeEnter = {};
        fs.beforeList = {};
        const std::optional<UndoCandidate> latest = NewestUndoableRun(*state.journals);
        QVERIFY(latest || seen.renames.isEmpty());
        if (!latest)
            return;
        Observer undoing;
        const UndoOutcome back = UndoRun({latest->journal}, state.records(), fs, undoing);
        QCOMPARE(undoing.entries.size(), back.undone);
        QCOMPARE(readTree(top), unchanged);
        QCOMPARE(back.notChanged, QList<NotChanged>());
        QCOMPARE(back.undone, latest->renames);
        QVERIFY(!NewestUndoableRun(*state.journals)); // and a second undo finds nothing
    }
};

QTEST_GUILESS_MAIN(TestRuns)
#include "test_runs.moc"
