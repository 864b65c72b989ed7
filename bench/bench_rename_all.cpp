// Rename All against the file system's own limit. On generated trees of 10 000, 100 000
// and 1 000 000 files (four levels of folders, mixed-case names; Proper Case, files,
// folders and sub-folders) it times the engine's run and, on an identical copy, a plain
// C loop: one readdir per folder, the new name by ASCII case mapping of the bytes,
// renameat2(dirfd, old, dirfd, new, RENAME_NOREPLACE). The same loop is also spread over
// as many threads as the engine's pool would take, one folder per thread at a time: the
// limit of this machine rather than of one thread. Each measurement runs in a process of
// its own, so that its peak memory is its own; which goes first alternates, and each
// time is the median of three rounds. On further copies it times the run through the
// real window, the run with its journal (alternated with the run without, over five
// rounds, since its cost is a few per cent) and the undo of that run, and the program
// from the command line as a script starts it (its journal kept, its list written to
// /dev/null), alternated with the plain loop, with its dry run on the same copy just
// before. Then the engine and both loops on a FUSE mirror that waits 1 ms in each rename,
// as a network share would (10 000 files; skipped with a line saying why where nothing
// can be mounted).
//
// The closing lines give each ratio at every size: parallel_ratio and rename_all_ratio
// (the engine over the threaded and over the plain loop), window_ratio (through the
// window over the engine's run alone, both with their journals), cli_ratio (the command line over the plain loop),
// journal_cost (with the journal over without), undo_ratio (the undo over its run),
// dry_run_ratio (the dry run over the command line's run) and slow_fs_ratio (on the slow
// mirror, the engine's speed-up over the threaded loop's); then, at the largest size, the
// peak memory of each kind of run (peak_mb_run, peak_mb_window, peak_mb_dry_run,
// peak_mb_undo) and the longest time any run went without a pass of window events.
//
//   bench_rename_all [--sizes 10000,100000] [--rounds 3] [--journal-rounds 5] [--cli-only]
//                    [--slow-files 10000 (0: none)]

#include "app/HostServices.h"
#include "bench_support.h"
#include "engine/RenameAll.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "engine/WorkerPool.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/MessageBoxes.h"
#include "platform/SettingsStore.h"
#include "platform/TreeLock.h"
#include "platform/Volumes.h"
#include "slow_mount.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvel;
using orvel::bench::measuredApart;
using orvel::bench::median;
using orvel::bench::peakKiB;

namespace {

// ---------------------------------------------------------------- the plain loop

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}
char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

std::string proper(const char* name, bool bracketFix)
{
    std::string out(name);
    bool start = true;
    for (char& c : out) {
        c = start ? upper(c) : lower(c);
        start = c == ' ' || (c >= '\t' && c <= '\r') || c == '\0';
    }
    if (bracketFix)
        for (size_t i = 1; i < out.size(); ++i)
            if (out[i - 1] == '(')
                out[i] = upper(out[i]);
    return out;
}

long long renameNoReplace(int dir, const char* from, const char* to)
{
    return std::strcmp(from, to) == 0 ? 0 : ::syscall(SYS_renameat2, dir, from, dir, to, 1u /* RENAME_NOREPLACE */);
}

// The longest single rename of the plain loop: what the file system itself stalls for.
thread_local qint64 g_longestRenameNs = 0;

long long timedRename(int dir, const char* from, const char* to)
{
    QElapsedTimer clock;
    clock.start();
    const long long result = renameNoReplace(dir, from, to);
    g_longestRenameNs = std::max(g_longestRenameNs, clock.nsecsElapsed());
    return result;
}

// Renames one folder's files, then each sub-folder's name, handing the sub-folder, open,
// to `enter` right after; `enter` owns the handle and returns what it renamed.
template <typename Enter>
long long renameFolder(int dir, Enter&& enter)
{
    long long renamed = 0;
    std::vector<std::string> folders, files;
    if (DIR* stream = ::fdopendir(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
        while (dirent* e = ::readdir(stream)) {
            if (e->d_name[0] == '.')
                continue;
            (e->d_type == DT_DIR ? folders : files).emplace_back(e->d_name);
        }
        ::closedir(stream);
    }
    for (const std::string& name : files)
        renamed += timedRename(dir, name.c_str(), proper(name.c_str(), true).c_str()) == 0;
    for (const std::string& name : folders) {
        const std::string newName = proper(name.c_str(), false);
        const std::string& open = timedRename(dir, name.c_str(), newName.c_str()) == 0 ? newName : name;
        const int sub = ::openat(dir, open.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0)
            renamed += enter(sub);
    }
    return renamed;
}

// The files below `folder` whose names are in Proper Case, as a run leaves them.
qint64 countProperFiles(const QString& folder)
{
    qint64 count = 0;
    std::vector<std::string> pending{QFile::encodeName(folder).toStdString()};
    while (!pending.empty()) {
        const std::string dir = pending.back();
        pending.pop_back();
        DIR* stream = ::opendir(dir.c_str());
        while (dirent* e = stream ? ::readdir(stream) : nullptr) {
            if (e->d_name[0] == '.')
                continue;
            if (e->d_type == DT_DIR)
                pending.push_back(dir + "/" + e->d_name);
            else
                count += proper(e->d_name, true) == e->d_name;
        }
        if (stream)
            ::closedir(stream);
    }
    return count;
}

long long plainLoop(int dir)
{
    return renameFolder(dir, [](int sub) {
        const long long renamed = plainLoop(sub);
        ::close(sub);
        return renamed;
    });
}

// ---------------------------------------------------------------- the loop on threads

// As many workers as the engine's pool takes for this folder. ORVEL_BENCH_WORKERS
// overrides.
int loopWorkers(int dir)
{
    if (const int forced = qEnvironmentVariableIntValue("ORVEL_BENCH_WORKERS"); forced > 0)
        return forced;
    return WorkersFor(hostFileSystem().volumeKind(FolderHandle(::fcntl(dir, F_DUPFD_CLOEXEC, 0), {})));
}

int loopWorkersAt(const QString& folder)
{
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int workers = loopWorkers(dir);
    ::close(dir);
    return workers;
}

// The plain loop's renames spread over `workers` threads, one folder per thread at a
// time: a folder is ready once its parent's files and its own name are renamed. The
// newest ready folder goes first, which keeps few folders open at once.
long long threadedLoop(int root, int workers)
{
    std::mutex lock;
    std::condition_variable wake;
    std::vector<int> ready{::dup(root)};
    int unfinished = 1; // ready or being renamed
    std::atomic<long long> renamed = 0;
    qint64 longestNs = 0;
    const auto work = [&] {
        long long mine = 0;
        for (;;) {
            int dir = -1;
            {
                std::unique_lock hold(lock);
                wake.wait(hold, [&] { return !ready.empty() || unfinished == 0; });
                if (ready.empty())
                    break;
                dir = ready.back();
                ready.pop_back();
            }
            mine += renameFolder(dir, [&](int sub) {
                {
                    const std::lock_guard hold(lock);
                    ready.push_back(sub);
                    ++unfinished;
                }
                wake.notify_one();
                return 0LL;
            });
            ::close(dir);
            const std::lock_guard hold(lock);
            if (--unfinished == 0)
                wake.notify_all();
        }
        renamed += mine;
        const std::lock_guard hold(lock);
        longestNs = std::max(longestNs, g_longestRenameNs);
    };
    {
        std::vector<std::jthread> pool;
        pool.reserve(size_t(workers));
        for (int i = 0; i < workers; ++i)
            pool.emplace_back(work);
    }
    g_longestRenameNs = longestNs;
    return renamed;
}

// ---------------------------------------------------------------- the engine's run

// Records the longest time between two passes of window events, and how long the run
// searched before it set out to rename: the renames' count is told once the search is over.
class TimingObserver final : public RunObserver {
public:
    TimingObserver()
    {
        m_clock.start();
        m_since.start();
    }
    void status(const QString&) override {}
    void progressMax(qint64) override
    {
        if (!m_searchNs)
            m_searchNs = m_since.nsecsElapsed();
    }
    void progressValue(qint64) override {}
    void letEventsThrough() override { gap(); }
    bool cancelRequested() override { return false; }
    bool stopRequested() override { return false; }
    bool confirmSystemFolder(const QString&, FolderRole) override { return true; }
    qint64 longestGapMs()
    {
        gap();
        return m_longest;
    }
    // 0 when the run renamed nothing.
    double searchSeconds() const { return m_searchNs.value_or(0) / 1e9; }

private:
    void gap() { m_longest = std::max(m_longest, m_clock.restart()); }
    QElapsedTimer m_clock;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
    std::optional<qint64> m_searchNs;
};

// Answers every question with No, so a run never waits for a person.
class AnsweringMessageBoxes final : public MessageBoxes {
public:
    Button show(QWidget*, const QString&, const QString&, Icon, int, Button) override { return No; }
};

// One measurement in this process: prints "seconds peak_kib longest_gap_ms files
// search_seconds" (for the plain loop, the longest single rename in place of the gap; the
// search only for the engine's run).
int measureHere(const QString& mode, const QString& folder)
{
    QElapsedTimer timer;
    qint64 files = 0, gapMs = 0;
    double searchSeconds = 0;
    if (mode == "--loop" || mode == "--loop-threads") {
        const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int workers = mode == "--loop" ? 1 : loopWorkers(dir);
        timer.start();
        files = workers == 1 ? plainLoop(dir) : threadedLoop(dir, workers);
        ::close(dir);
        gapMs = g_longestRenameNs / 1000000; // no events here: the longest stall of one rename
    } else if (mode == "--cli" || mode == "--cli-dry") {
        QProcess program;
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{"--proper", "--files", "--folders", "--subfolders", "--yes", folder};
        if (mode == "--cli-dry")
            arguments.prepend("--dry-run");
        timer.start();
        program.start(QCoreApplication::applicationDirPath() + "/../orvel-file-rename", arguments);
        program.waitForFinished(-1);
        // What it renamed is counted on disk afterwards, outside the time.
        const qint64 seconds = timer.nsecsElapsed();
        files = program.exitCode() == 0 ? countProperFiles(folder) : -program.exitCode();
        std::printf("%.3f %ld %lld %lld\n", seconds / 1e9, bench::childPeakKiB(), 0LL, static_cast<long long>(files));
        return 0;
    } else if (mode == "--undo") {
        const std::unique_ptr<JournalFiles> store = OpenJournalFiles(JournalFolder(), nullptr);
        const std::unique_ptr<TreeLocks> locks = TreeLocks::open(JournalFolder(), nullptr);
        const std::optional<UndoCandidate> run = store ? NewestUndoableRun(*store) : std::nullopt;
        if (!run)
            return 1;
        // The undo's own time and gaps: the window finds the run before it asks its question.
        TimingObserver observer;
        timer.start();
        const UndoOutcome out = UndoRun({run->journal}, {store.get(), locks.get()}, hostFileSystem(), observer);
        files = out.undone;
        gapMs = observer.longestGapMs();
    } else if (mode == "--engine" || mode == "--engine-journal") {
        TimingObserver observer;
        // The journal folder is the bench's own (XDG_STATE_HOME), so it starts empty.
        const bool journaled = mode == "--engine-journal";
        const std::unique_ptr<JournalFiles> store = journaled ? OpenJournalFiles(JournalFolder(), nullptr) : nullptr;
        const std::unique_ptr<TreeLocks> locks = journaled ? TreeLocks::open(JournalFolder(), nullptr) : nullptr;
        timer.start();
        const RenameAllOutcome out =
            RenameAll({folder, {true, true, CaseStyle::Proper}, true, {store.get(), locks.get()}, {}}, hostFileSystem(),
                      observer);
        files = out.files - out.notChanged.size();
        gapMs = observer.longestGapMs();
        searchSeconds = observer.searchSeconds();
        for (const NotChanged& item : out.notChanged)
            std::fprintf(stderr, "not changed: %s: %s\n", qPrintable(item.path), qPrintable(item.reason));
    } else {
        // Through the window as a user starts it; a timer that should fire every 5 ms
        // measures how long the window went without handling its events.
        QTemporaryDir config;
        AnsweringMessageBoxes messages;
        IniSettingsStore settings(config.path());
        MainWindowServices services = HostServices();
        services.messages = &messages;
        services.settings = &settings;
        services.startFolder = folder;
        MainWindow window(services);
        window.show();
        window.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
        window.findChild<QCheckBox*>(QStringLiteral("chkRenameFolder"))->setChecked(true);
        QCoreApplication::processEvents();
        QElapsedTimer sinceTick;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { gapMs = std::max(gapMs, sinceTick.restart()); });
        tick.start(5);
        sinceTick.start();
        timer.start();
        window.findChild<QPushButton*>(QStringLiteral("cmdALL"))->click();
        files = window.filesCounted() - window.notChanged().size();
    }
    std::printf("%.3f %ld %lld %lld %.3f\n", timer.nsecsElapsed() / 1e9, peakKiB(), static_cast<long long>(gapMs),
                static_cast<long long>(files), searchSeconds);
    return 0;
}

struct Measured {
    double seconds = 0;
    double peakMiB = 0;
    qint64 gapMs = 0;
    qint64 files = 0;
    double searchSeconds = 0;
};

Measured measureApart(const QString& mode, const QString& folder)
{
    const QStringList f = measuredApart(mode, folder);
    if (f.size() < 4)
        return {};
    return {f[0].toDouble(), f[1].toDouble() / 1024.0, f[2].toLongLong(), f[3].toLongLong(),
            f.size() > 4 ? f[4].toDouble() : 0};
}

void removeTree(const QString& path)
{
    QDir(path).removeRecursively();
}

// The run where each rename waits a round trip, as on a network share: the engine, the
// plain loop and the threaded loop on a mirror of `files`-file trees that waits 1 ms in
// every rename, alternated, median of `rounds`. Returns the plain loop's time over the
// engine's, or 0 when the mirror cannot be mounted here.
double timeSlowFileSystem(const QTemporaryDir& work, int files, int rounds)
{
    const QString backing = work.filePath("Backing"), mountPoint = work.filePath("Slow");
    QDir().mkpath(backing);
    QDir().mkpath(mountPoint);
    std::vector<double> engine, search, loop, threaded;
    int workers = 1;
    for (int round = 0; round < rounds; ++round) {
        const QStringList trees{"Engine", "Loop", "Threads"};
        for (const QString& tree : trees)
            bench::makeTree(QFile::encodeName(backing + '/' + tree).toStdString(), files);
        ::sync();
        bench::SlowMount mirror(backing, mountPoint, 1000);
        if (!mirror.mounted()) {
            std::printf("slow_fs skipped: cannot mount the slow file system: %s\n", qPrintable(mirror.whyNot()));
            removeTree(backing);
            return 0;
        }
        workers = loopWorkersAt(mountPoint);
        const bool engineFirst = round % 2 == 0;
        Measured e, l, t;
        if (engineFirst)
            e = measureApart("--engine", mountPoint + "/Engine");
        t = measureApart("--loop-threads", mountPoint + "/Threads");
        l = measureApart("--loop", mountPoint + "/Loop");
        if (!engineFirst)
            e = measureApart("--engine", mountPoint + "/Engine");
        mirror.unmount();
        if (e.files != files || l.files != files || t.files != files)
            std::fprintf(stderr, "slow_fs renamed: engine %lld, loop %lld, threaded loop %lld of %d\n",
                         static_cast<long long>(e.files), static_cast<long long>(l.files),
                         static_cast<long long>(t.files), files);
        engine.push_back(e.seconds);
        search.push_back(e.searchSeconds);
        loop.push_back(l.seconds);
        threaded.push_back(t.seconds);
        for (const QString& tree : trees)
            removeTree(backing + '/' + tree);
    }
    removeTree(backing);
    // The engine searches the whole tree before its first rename, the loops rename as they
    // list: the search is the part of the engine's time that no rename overlaps.
    std::printf("slow_fs files %d  1 ms per rename  rename_all %.3f s (search %.3f s)  plain_loop %.3f s  "
                "threaded_loop %.3f s (%d workers)  speed-up: engine %.2f, threaded loop %.2f\n",
                files, median(engine), median(search), median(loop), median(threaded), workers,
                median(loop) / median(engine), median(loop) / median(threaded));
    std::fflush(stdout);
    return median(threaded) / median(engine);
}

} // namespace

int main(int argc, char** argv)
{
    // The window's platform plugin wants a runtime folder; a private one keeps it quiet.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    // Journals go to a folder of the bench's own, never the user's.
    QTemporaryDir state;
    if (args.size() == 3 && args[1].startsWith("--") && args[1] != "--sizes" && args[1] != "--rounds"
        && args[1] != "--slow-files" && args[1] != "--journal-rounds")
        return measureHere(args[1], args[2]);
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));

    QList<int> sizes{10000, 100000, 1000000};
    int rounds = 3;
    const bool cliOnly = args.contains("--cli-only");
    int slowFiles = 10000;
    int journalRounds = 5;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--cli-only") {
            --i;
        } else if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(','))
                sizes << s.toInt();
        } else if (args[i] == "--rounds") {
            rounds = args[i + 1].toInt();
        } else if (args[i] == "--journal-rounds") {
            journalRounds = args[i + 1].toInt();
        } else if (args[i] == "--slow-files") {
            slowFiles = args[i + 1].toInt();
        }
    }
    QTemporaryDir work(QDir::tempPath() + "/orvel-bench-XXXXXX");
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const int localWorkers = loopWorkersAt(work.path());
    // Start folders named in Proper Case already: their own names stay as they are, so a
    // tree is found again by its name.
    const auto fresh = [&](const QString& name, int files) {
        QString path = work.filePath(name);
        bench::makeTree(QFile::encodeName(path).toStdString(), files);
        ::sync();
        return path;
    };

    // What the closing lines report, by size: ratio name -> (files -> value).
    std::map<QString, std::map<int, double>> ratios;
    double runPeak = 0, windowPeak = 0, dryRunPeak = 0, undoPeak = 0;
    qint64 longestGap = 0;
    for (int files : sizes) {
        std::vector<double> engine, loop, journaled, undo, cli, dry, threaded, window, journalRatios;
        Measured loopWorst, threadedWorst;
        const bool largest = files == sizes.back();
        for (int round = 0; round < std::max(rounds, journalRounds); ++round) {
            // Rounds past `rounds` time the journal alone: its cost is a few per cent, which
            // three rounds do not always settle.
            const bool full = round < rounds;
            const QString a = cliOnly ? QString() : fresh("Engine", files);
            const QString j = cliOnly ? QString() : fresh("Journal", files);
            if (!full && cliOnly)
                break;
            Measured e, withJournal, u;
            const bool journalFirst = round % 2 == 1;
            const auto engineAndJournal = [&] {
                if (cliOnly)
                    return;
                // Which goes first alternates: a run leaves the disk busy writing its
                // changes back, which the run after it pays for.
                if (!journalFirst)
                    e = measureApart("--engine", a);
                withJournal = measureApart("--engine-journal", j);
                // Its undo, while its journal is the newest.
                if (full)
                    u = measureApart("--undo", j);
                if (journalFirst)
                    e = measureApart("--engine", a);
                QDir(JournalFolder()).removeRecursively();
                removeTree(a);
                removeTree(j);
                engine.push_back(e.seconds);
                journaled.push_back(withJournal.seconds);
                journalRatios.push_back(withJournal.seconds / e.seconds);
                runPeak = largest ? std::max({runPeak, e.peakMiB, withJournal.peakMiB}) : runPeak;
                longestGap = std::max({longestGap, e.gapMs, withJournal.gapMs});
                if (e.files != files || withJournal.files != files)
                    std::fprintf(stderr, "renamed: engine %lld, with its journal %lld of %d\n",
                                 static_cast<long long>(e.files), static_cast<long long>(withJournal.files), files);
                if (full) {
                    undo.push_back(u.seconds / withJournal.seconds);
                    undoPeak = largest ? std::max(undoPeak, u.peakMiB) : undoPeak;
                    longestGap = std::max(longestGap, u.gapMs);
                    if (u.files != files + 6 + 36 + 216 + 1296)
                        std::fprintf(stderr, "undone: %lld\n", static_cast<long long>(u.files));
                }
            };
            if (!full) {
                engineAndJournal();
                continue;
            }
            const QString b = fresh("Loop", files), c = fresh("Cli", files);
            const QString p = cliOnly ? QString() : fresh("Threads", files);
            const QString w = cliOnly ? QString() : fresh("Window", files);
            const bool engineFirst = round % 2 == 0;
            Measured l, command, planned, t, m;
            const auto others = [&] {
                engineAndJournal();
                if (!cliOnly)
                    m = measureApart("--window", w);
                planned = measureApart("--cli-dry", c);
                command = measureApart("--cli", c);
            };
            if (engineFirst)
                others();
            else if (!cliOnly)
                t = measureApart("--loop-threads", p);
            l = measureApart("--loop", b);
            if (!engineFirst)
                others();
            else if (!cliOnly)
                t = measureApart("--loop-threads", p);
            loop.push_back(l.seconds);
            loopWorst.gapMs = std::max(loopWorst.gapMs, l.gapMs);
            cli.push_back(command.seconds);
            dry.push_back(planned.seconds);
            dryRunPeak = largest ? std::max(dryRunPeak, planned.peakMiB) : dryRunPeak;
            if (planned.files != 0 || command.files != files || l.files != files)
                std::fprintf(stderr, "renamed: dry run %lld (0 expected), command line %lld, loop %lld of %d\n",
                             static_cast<long long>(planned.files), static_cast<long long>(command.files),
                             static_cast<long long>(l.files), files);
            removeTree(b);
            removeTree(c);
            QDir(JournalFolder()).removeRecursively();
            if (cliOnly)
                continue;
            removeTree(p);
            removeTree(w);
            if (t.files != files || m.files != files)
                std::fprintf(stderr, "renamed: threaded loop %lld, window %lld of %d\n",
                             static_cast<long long>(t.files), static_cast<long long>(m.files), files);
            threaded.push_back(t.seconds);
            threadedWorst.gapMs = std::max(threadedWorst.gapMs, t.gapMs);
            window.push_back(m.seconds);
            windowPeak = largest ? std::max(windowPeak, m.peakMiB) : windowPeak;
            longestGap = std::max(longestGap, m.gapMs);
        }
        ratios["cli_ratio"][files] = median(cli) / median(loop);
        ratios["dry_run_ratio"][files] = median(dry) / median(cli);
        std::printf("files %d  command_line %.3f s  plain_loop %.3f s  ratio %.3f  dry_run %.3f s  "
                    "dry_run_over_run %.3f\n",
                    files, median(cli), median(loop), ratios["cli_ratio"][files], median(dry),
                    ratios["dry_run_ratio"][files]);
        std::fflush(stdout);
        if (cliOnly)
            continue;
        ratios["rename_all_ratio"][files] = median(engine) / median(loop);
        ratios["parallel_ratio"][files] = median(engine) / median(threaded);
        // The window journals each run, as a user's run must be undoable: it is set against
        // the engine doing the same.
        ratios["window_ratio"][files] = median(window) / median(journaled);
        ratios["journal_cost"][files] = median(journaled) / median(engine);
        ratios["undo_ratio"][files] = median(undo);
        const auto [fewest, most] = std::minmax_element(journalRatios.begin(), journalRatios.end());
        std::printf("files %d  with_journal %.3f s  without %.3f s  journal_cost %.3f  (%zu rounds, each from %.3f "
                    "to %.3f)\n",
                    files, median(journaled), median(engine), ratios["journal_cost"][files], journalRatios.size(),
                    *fewest, *most);
        std::printf("files %d  rename_all %.3f s  plain_loop %.3f s  threaded_loop %.3f s (%d workers)  "
                    "through the window %.3f s  (the loops' longest single rename %lld ms, %lld ms)\n",
                    files, median(engine), median(loop), median(threaded), localWorkers, median(window),
                    static_cast<long long>(loopWorst.gapMs), static_cast<long long>(threadedWorst.gapMs));
        std::fflush(stdout);
    }
    if (slowFiles > 0 && !cliOnly) {
        if (const double ratio = timeSlowFileSystem(work, slowFiles, rounds); ratio > 0)
            ratios["slow_fs_ratio"][slowFiles] = ratio;
    }
    // The closing lines: each figure at every size measured, then the largest size's memory.
    for (const auto& [name, bySize] : ratios) {
        std::printf("%s", qPrintable(name));
        for (const auto& [files, value] : bySize)
            std::printf("  %d: %.3f", files, value);
        std::printf("\n");
    }
    std::printf("peak_mb_run %.1f\npeak_mb_dry_run %.1f\n", runPeak, dryRunPeak);
    if (!cliOnly)
        std::printf("peak_mb_window %.1f\npeak_mb_undo %.1f\nlongest_event_gap_ms %lld\n", windowPeak, undoPeak,
                    static_cast<long long>(longestGap));
    std::printf("(memory at %d files)\n", sizes.back());
    return 0;
}
