// The runs from the command line: their options, the paths they are given, the kept runs
// and their exit status.

#include "app/CommandLine.h"

#include "app/CommandLineOutput.h"
#include "app/Startup.h"
#include "engine/Paths.h"
#include "engine/PlanningFileSystem.h"
#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/UndoRun.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"
#include "platform/SystemFolders.h"
#include "platform/TreeLock.h"

#include <QCommandLineParser>
#include <QDir>
#include <QHash>
#include <QSet>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

const QString kLower = QStringLiteral("lower");
const QString kUpper = QStringLiteral("upper");
const QString kProper = QStringLiteral("proper");
const QString kUndo = QStringLiteral("undo");
const QString kListRuns = QStringLiteral("list-runs");
const QString kFiles = QStringLiteral("files");
const QString kFolders = QStringLiteral("folders");
const QString kSubfolders = QStringLiteral("subfolders");
const QString kCrossMounts = QStringLiteral("cross-mounts");
const QString kKeepExtension = QStringLiteral("keep-extension");
const QString kKeepCapitals = QStringLiteral("keep-capitals");
const QString kHidden = QStringLiteral("hidden");
const QString kMatch = QStringLiteral("match");
const QString kNull = QStringLiteral("null");
const QString kDryRun = QStringLiteral("dry-run");
const QString kJson = QStringLiteral("json");
const QString kQuiet = QStringLiteral("quiet");
const QString kVerbose = QStringLiteral("verbose");
const QString kYes = QStringLiteral("yes");

int statusOf(ExitStatus status)
{
    return int(status);
}

QString signalName(int signal)
{
    switch (signal) {
    case SIGINT: return QStringLiteral("Ctrl+C (SIGINT)");
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGHUP: return QStringLiteral("SIGHUP");
    default: return QStringLiteral("signal %1").arg(signal);
    }
}

OutputStyle outputStyle(const QCommandLineParser& parser)
{
    OutputStyle style;
    style.json = parser.isSet(kJson);
    style.dryRun = parser.isSet(kDryRun);
    style.verbosity = parser.isSet(kQuiet) ? Verbosity::Quiet
        : parser.isSet(kVerbose)           ? Verbosity::Verbose
                                           : Verbosity::Normal;
    return style;
}

// A path as the user gave it: relative to the working folder where what was given was
// relative, so that "." lists "IMG.JPG" and "t" lists "t/IMG.JPG".
std::function<QString(const QString&)> shownAsGiven(const QByteArray& given)
{
    if (given.startsWith('/') || given.startsWith("file:") || given.startsWith("FILE:"))
        return {};
    return [working = QDir(CurrentFolder())](const QString& path) {
        const QString relative = working.relativeFilePath(path);
        return relative.isEmpty() ? QStringLiteral(".") : relative;
    };
}

// One path from the command line, as given and as the run reads it.
struct GivenPath {
    QByteArray given; // the bytes as the shell (or standard input) gave them
    QString path; // absolute, without "." and ".." and doubled separators
    bool folder = false;
    quint64 inode = 0; // a file's, as found here: its journal need not ask again
};

// What a run over the paths renames: each folder a Rename All run, and the files given in
// one folder together a Rename Selected run, in the order they were first given.
struct Unit {
    GivenPath first; // the folder, or the first file given in the folder
    QString folder;
    QStringList names; // the files given in it; none for a folder's run
    QList<quint64> inodes; // ... and their inode numbers
};

// The paths given, each once, those inside a given folder's run left to that run.
QList<Unit> unitsOf(const QList<GivenPath>& paths, bool subfolders)
{
    QSet<QString> folders;
    for (const GivenPath& p : paths)
        if (p.folder)
            folders.insert(p.path);
    const auto covered = [&](const GivenPath& p) {
        const QString parent = ParentPath(p.path);
        if (!p.folder && folders.contains(parent))
            return true;
        if (!subfolders)
            return false;
        for (QString above = parent; above.size() > 1; above = ParentPath(above))
            if (folders.contains(above))
                return true;
        return p.path != QStringLiteral("/") && folders.contains(QStringLiteral("/"));
    };
    QList<Unit> units;
    QSet<QString> seen;
    QHash<QString, qsizetype> filesIn; // a folder's unit of files given
    for (const GivenPath& p : paths) {
        if (seen.contains(p.path) || covered(p))
            continue;
        seen.insert(p.path);
        if (p.folder) {
            units.append({p, p.path, {}, {}});
            continue;
        }
        const QString parent = ParentPath(p.path);
        auto at = filesIn.constFind(parent);
        if (at == filesIn.cend()) {
            at = filesIn.insert(parent, units.size());
            units.append({p, parent, {}, {}});
        }
        units[*at].names.append(p.path.mid(JoinPath(parent, {}).size()));
        units[*at].inodes.append(p.inode);
    }
    return units;
}

// The paths of the arguments, "-" read from standard input: one a line, or with --null
// each ended by a NUL. Those that name nothing are told of and left out (`missing`).
QList<GivenPath> givenPaths(const QList<QByteArray>& arguments, bool nulls, bool* missing)
{
    QList<QByteArray> all;
    for (const QByteArray& argument : arguments) {
        if (argument != "-") {
            all.append(argument);
            continue;
        }
        QByteArray input;
        char chunk[1 << 16];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
            input.append(chunk, qsizetype(got));
        for (const QByteArray& line : input.split(nulls ? '\0' : '\n'))
            if (!line.isEmpty())
                all.append(line);
    }
    QList<GivenPath> paths;
    for (const QByteArray& given : std::as_const(all)) {
        const QString path = PathOfArgument(given);
        struct stat st {};
        const QByteArray bytes = EncodeName(path);
        if (path.isEmpty() || ::lstat(bytes.constData(), &st) != 0) {
            Complain(DecodeName(given) + QStringLiteral(": cannot be opened: ")
                     + ErrorText(path.isEmpty() ? ENOENT : errno));
            *missing = true;
            continue;
        }
        // A link to a folder is what the user chose to open, as the window opens it.
        struct stat target {};
        const bool folder = S_ISDIR(st.st_mode)
            || (S_ISLNK(st.st_mode) && ::stat(bytes.constData(), &target) == 0 && S_ISDIR(target.st_mode));
        paths.append({given, path, folder, folder ? 0 : quint64(st.st_ino)});
    }
    return paths;
}

// What the runs of one command add up to.
struct Totals {
    int status = 0; // the worst so far
    qint64 found = 0, looked = 0; // files found and looked at by the folders' runs
    qsizetype unitsLeft = 0; // paths a stop left unstarted
    QString runId; // the id of the run, once it has a journal
    bool undoable = false;

    void worst(ExitStatus s) { status = qMax(status, statusOf(s)); }
};

// The exit status of what ended without a refusal of its own.
int endStatus(const CommandLineObserver& observer, const Totals& totals, bool stopped)
{
    if (observer.writeError != 0) {
        Complain(QStringLiteral("the list could not be written: %1%2")
                     .arg(ErrorText(observer.writeError), stopped ? "; the run stopped after the rename in hand" : ""));
        return statusOf(ExitStatus::CannotWrite);
    }
    if (EndSignal() != 0)
        return 128 + EndSignal();
    return qMax(totals.status, statusOf(observer.leftCount > 0 ? ExitStatus::NotAllChanged : ExitStatus::Done));
}

QByteArray jsonSummary(const OutputStyle& style, const CommandLineObserver& observer, const Totals& totals, int status,
                       bool undo)
{
    return "{\"dry_run\":" + QByteArray(style.dryRun ? "true" : "false") + ",\"undo\":" + (undo ? "true" : "false")
        + ",\"renamed\":" + QByteArray::number(observer.renamedCount) + ",\"not_changed\":"
        + QByteArray::number(observer.leftCount) + ",\"unchanged\":" + QByteArray::number(observer.unchangedCount)
        + ",\"stopped\":" + (EndSignal() != 0 || observer.writeError != 0 ? "true" : "false")
        + ",\"status\":" + QByteArray::number(status)
        + ",\"run\":" + (totals.runId.isEmpty() ? QByteArray("null") : JsonText(totals.runId)) + "}";
}

QString textSummary(const OutputStyle& style, const CommandLineObserver& observer)
{
    if (style.dryRun)
        return QStringLiteral("Dry run: %1 would be renamed, %2 would not be changed; nothing was changed.")
            .arg(observer.renamedCount)
            .arg(observer.leftCount);
    return QStringLiteral("%1 renamed, %2 not changed.").arg(observer.renamedCount).arg(observer.leftCount);
}

// What a signal to end left done and undone, and how to take it back.
void tellStopped(const OutputStyle& style, const CommandLineObserver& observer, const Totals& totals, bool undo)
{
    QString text = QStringLiteral("stopped by %1 after the rename in hand: ").arg(signalName(EndSignal()));
    if (style.dryRun) {
        Complain(text + QStringLiteral("nothing was changed"));
        return;
    }
    if (undo) {
        Complain(text
                 + QStringLiteral("%1 names put back, %2 left as they were; 'orvel-file-rename --undo --yes' "
                                  "puts back the rest")
                       .arg(observer.renamedCount)
                       .arg(observer.leftCount));
        return;
    }
    text += QStringLiteral("%1 renamed, %2 not changed, %3 of %4 files not looked at")
                .arg(observer.renamedCount)
                .arg(observer.leftCount)
                .arg(totals.found - totals.looked)
                .arg(totals.found);
    if (totals.unitsLeft > 0)
        text += QStringLiteral(", %1 paths given not started").arg(totals.unitsLeft);
    if (totals.undoable)
        text += QStringLiteral("; 'orvel-file-rename --undo %1 --yes' takes the renames back").arg(totals.runId);
    Complain(text);
}

void tellRefused(const CommandLineObserver& observer)
{
    Complain(
        observer.refusedRole == FolderRole::Home
            ? QStringLiteral("%1 is the home folder of a user; nothing was renamed in it (--yes renames it anyway)")
                  .arg(observer.refusedFolder)
            : QStringLiteral("%1 belongs to the operating system; nothing was renamed in it (--yes renames in it "
                             "anyway)")
                  .arg(observer.refusedFolder));
}

void tellBusy(const QString& folder)
{
    Complain(QStringLiteral("%1 is being renamed by another run; try again when it is done").arg(folder));
}

int renamePaths(const QCommandLineParser& parser, const QList<QByteArray>& arguments)
{
    const OutputStyle style = outputStyle(parser);
    bool missing = false;
    const QList<GivenPath> paths = givenPaths(arguments, parser.isSet(kNull), &missing);
    RunOptions options;
    const bool files = parser.isSet(kFiles), folders = parser.isSet(kFolders);
    options.renameFile = files || !folders; // the window starts with files ticked
    options.renameFolder = folders;
    options.style = parser.isSet(kLower) ? CaseStyle::Lower
        : parser.isSet(kUpper)           ? CaseStyle::Upper
                                         : CaseStyle::Proper;
    options.keepExtension = parser.isSet(kKeepExtension);
    options.keepCapitals = parser.isSet(kKeepCapitals);
    WalkFilter filter;
    filter.hidden = parser.isSet(kHidden);
    QList<QByteArray> patterns;
    for (const QString& pattern : parser.values(kMatch))
        patterns.append(EncodeName(pattern));
    filter.files = NamePatterns(patterns);

    CommandLineObserver observer(style, parser.isSet(kYes));
    Totals totals;
    if (missing)
        totals.worst(ExitStatus::CannotOpen);
    std::unique_ptr<JournalFiles> journals;
    std::unique_ptr<TreeLocks> locks;
    std::unique_ptr<PlanningFileSystem> plan;
    RunRecords records;
    const QList<Unit> units = unitsOf(paths, parser.isSet(kSubfolders));
    if (style.dryRun) {
        using Runs = PlanningFileSystem::Runs;
        plan = std::make_unique<PlanningFileSystem>(hostFileSystem(), units.size() == 1 ? Runs::One : Runs::Several);
    } else {
        QString problem;
        journals = OpenJournalFiles(JournalFolder(), &problem);
        if (!journals)
            observer.journalFailed(problem);
        // A run that cannot be undone is still kept off another run's tree.
        locks = TreeLocks::open(JournalFolder(), nullptr);
        records = {journals.get(), locks.get()};
    }
    FileSystem& fs = plan ? static_cast<FileSystem&>(*plan) : hostFileSystem();

    for (qsizetype u = 0; u < units.size(); ++u) {
        const Unit& unit = units[u];
        if (observer.stopRequested()) {
            totals.unitsLeft = units.size() - u;
            break;
        }
        observer.setGiven(DecodeName(unit.first.given), shownAsGiven(unit.first.given));
        // What every kind of run ends with: its journal, a part of the one run of the whole
        // command, and the tree of another run it met.
        const auto ended = [&](const RunOutcome& out) {
            totals.undoable = totals.undoable || out.undoable;
            if (totals.runId.isEmpty() && !out.journal.isEmpty()) {
                totals.runId = RunIdOfJournal(out.journal);
                records.group = totals.runId;
            }
            if (out.busyWith.isEmpty())
                return true;
            observer.flush();
            tellBusy(out.busyWith);
            totals.worst(ExitStatus::Busy);
            return false;
        };
        if (unit.names.isEmpty()) {
            RenameAllJob job;
            job.startFolder = unit.folder;
            job.options = options;
            job.includeSubfolders = parser.isSet(kSubfolders);
            job.crossMounts = parser.isSet(kCrossMounts);
            job.filter = filter;
            job.systemFolders = SystemFolders::host();
            job.records = records;
            const RenameAllOutcome out = RenameAll(job, fs, observer);
            totals.found += out.found;
            totals.looked += out.files;
            if (ended(out) && out.startError != 0) {
                Complain(QStringLiteral("%1: cannot be opened: %2")
                             .arg(DecodeName(unit.first.given), ErrorText(out.startError)));
                totals.worst(ExitStatus::CannotOpen);
            }
        } else {
            RenameSelectedJob job;
            // Files given are picked by --match as the walk picks them.
            const FolderHandle folder = filter.files.isEmpty() ? FolderHandle() : fs.openFolder(unit.folder);
            FolderMatcher matcher(filter.files, fs, folder);
            for (qsizetype i = 0; i < unit.names.size(); ++i) {
                if (matcher.keeps(EncodeName(unit.names[i]))) {
                    job.names.append(unit.names[i]);
                    job.serials.append(unit.inodes[i]);
                }
            }
            if (job.names.isEmpty())
                continue;
            job.folder = unit.folder;
            job.selected = QList<bool>(job.names.size(), true);
            job.folderToRename = unit.folder;
            job.options = options;
            job.options.renameFolder = false; // a file given is renamed, not the folder it is in
            job.options.renameFile = true;
            job.records = records;
            job.systemFolders = SystemFolders::host();
            ended(RenameSelected(job, fs, observer));
        }
        if (!observer.refusedFolder.isEmpty()) {
            observer.flush();
            tellRefused(observer);
            observer.refusedFolder.clear();
            totals.worst(ExitStatus::Refused);
        }
    }
    observer.flush();
    const int status = endStatus(observer, totals, observer.stopRequested());
    if (EndSignal() != 0)
        tellStopped(style, observer, totals, false);
    observer.summary(EndSignal() != 0 ? QString() : textSummary(style, observer),
                     jsonSummary(style, observer, totals, status, false));
    return status;
}

const char* styleName(CaseStyle style)
{
    switch (style) {
    case CaseStyle::Lower: return "lower";
    case CaseStyle::Upper: return "upper";
    case CaseStyle::Proper: return "proper";
    case CaseStyle::None: break;
    }
    return "none";
}

// The journals, or why they cannot be read (ExitStatus::CannotOpen); none where there is no
// journal folder and `make` is false (a dry run, a list: nothing to undo yet).
std::unique_ptr<JournalFiles> openJournals(bool make, bool* failed)
{
    QString problem;
    const QString folder = JournalFolder();
    std::unique_ptr<JournalFiles> store =
        !make && ::access(EncodeName(folder).constData(), F_OK) != 0 ? nullptr : OpenJournalFiles(folder, &problem);
    if (!store && !problem.isEmpty()) {
        Complain(QStringLiteral("the journals in %1 cannot be read: %2").arg(folder, problem));
        *failed = true;
    }
    return store;
}

int listRuns(const QCommandLineParser& parser)
{
    bool failed = false;
    const std::unique_ptr<JournalFiles> store = openJournals(false, &failed);
    if (failed)
        return statusOf(ExitStatus::CannotOpen);
    const bool json = parser.isSet(kJson);
    for (const KeptRun& run : store ? KeptRuns(*store) : std::vector<KeptRun>{}) {
        const char* state = run.live ? "running"
            : run.undone             ? "undone"
            : run.undoable > 0       ? "undoable"
                                     : "nothing to undo";
        QByteArray line;
        if (json) {
            QByteArray folders;
            for (const QString& folder : run.startFolders)
                folders += (folders.isEmpty() ? "" : ",") + JsonText(folder);
            line = "{\"id\":" + JsonText(run.id) + ",\"time\":" + JsonText(run.head.made) + ",\"folders\":[" + folders
                + "],\"style\":\"" + styleName(run.head.options.style)
                + "\",\"keep_extension\":" + (run.head.options.keepExtension ? "true" : "false") + ",\"keep_capitals\":"
                + (run.head.options.keepCapitals ? "true" : "false") + ",\"renamed\":" + QByteArray::number(run.renamed)
                + ",\"undoable\":" + QByteArray::number(run.undoable) + ",\"state\":\"" + state + "\"}\n";
        } else {
            QString folders = run.startFolders.value(0);
            if (run.startFolders.size() > 1)
                folders += QStringLiteral(" and %1 more").arg(run.startFolders.size() - 1);
            line = ShownText(QStringLiteral("%1  %2  %3  %4 renamed, %5  %6")
                                 .arg(run.id, run.head.made, QLatin1String(styleName(run.head.options.style)))
                                 .arg(run.renamed)
                                 .arg(run.undoable > 0 && !run.live ? QStringLiteral("%1 to undo").arg(run.undoable)
                                                                    : QLatin1String(state))
                                 .arg(folders))
                + '\n';
        }
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        Complain(QStringLiteral("the list could not be written: %1").arg(ErrorText(errno != 0 ? errno : EIO)));
        return statusOf(ExitStatus::CannotWrite);
    }
    return statusOf(ExitStatus::Done);
}

int undo(const QCommandLineParser& parser, const QList<QByteArray>& arguments)
{
    const OutputStyle style = outputStyle(parser);
    const QString wanted = arguments.isEmpty() ? QString() : DecodeName(arguments.first());
    bool failed = false;
    // A dry run makes no journal folder where there is none: there is nothing to undo.
    const std::unique_ptr<JournalFiles> store = openJournals(!style.dryRun, &failed);
    if (failed)
        return statusOf(ExitStatus::CannotOpen);
    const std::unique_ptr<TreeLocks> locks =
        store && !style.dryRun ? TreeLocks::open(store->folder(), nullptr) : nullptr;
    QStringList journals;
    QString startFolder;
    qint64 renames = 0;
    if (!wanted.isEmpty()) {
        const std::vector<KeptRun> runs = store ? KeptRuns(*store) : std::vector<KeptRun>{};
        const auto run = std::find_if(runs.begin(), runs.end(), [&](const KeptRun& r) { return r.id == wanted; });
        if (run == runs.end()) {
            Complain(QStringLiteral("no kept run is called %1; --list-runs lists them").arg(wanted));
            return statusOf(ExitStatus::CannotOpen);
        }
        if (run->undoable == 0) {
            Complain(QStringLiteral("run %1 has nothing left to undo").arg(wanted));
            return statusOf(ExitStatus::Done);
        }
        if (const QString later = LaterRunTouching(runs, *run, *store); !later.isEmpty()) {
            Complain(QStringLiteral("run %1 cannot be taken back: the later run %2 renamed names it made, or folders "
                                    "above them; take %2 back first")
                         .arg(wanted, later));
            return statusOf(ExitStatus::Refused);
        }
        journals = run->journals;
        startFolder = run->startFolders.value(0);
        renames = run->undoable;
    } else if (const std::optional<UndoCandidate> newest = store ? NewestUndoableRun(*store) : std::nullopt) {
        journals = newest->journals;
        startFolder = newest->startFolder;
        renames = newest->renames;
    } else {
        Complain(QStringLiteral("nothing to undo"));
        return statusOf(ExitStatus::Done);
    }
    if (!style.dryRun && !parser.isSet(kYes)) {
        Complain(QStringLiteral("this would undo the renaming of %1 names in %2; --yes undoes it, --dry-run lists it")
                     .arg(renames)
                     .arg(startFolder));
        return statusOf(ExitStatus::Refused);
    }
    CommandLineObserver observer(style, true);
    Totals totals;
    UndoOutcome out;
    if (style.dryRun) {
        PlanningFileSystem plan(hostFileSystem());
        out = UndoWholeRun(journals, {{}, true}, {store.get(), nullptr}, plan, observer);
    } else {
        out = UndoWholeRun(journals, {}, {store.get(), locks.get()}, hostFileSystem(), observer);
    }
    totals.runId = out.journal.isEmpty() ? QString() : RunIdOf(*store, out.journal);
    observer.flush();
    if (!out.busyWith.isEmpty()) {
        tellBusy(out.busyWith);
        return statusOf(ExitStatus::Busy);
    }
    if (!out.found) {
        Complain(QStringLiteral("the journal %1 cannot be read").arg(out.journal));
        return statusOf(ExitStatus::CannotOpen);
    }
    const int status = endStatus(observer, totals, out.stopped);
    if (EndSignal() != 0)
        tellStopped(style, observer, totals, true);
    observer.summary(EndSignal() != 0 ? QString() : textSummary(style, observer),
                     jsonSummary(style, observer, totals, status, true));
    return status;
}

} // namespace

void DescribeRunOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kLower, QStringLiteral("Rename to lower case, without a window.")},
        {kUpper, QStringLiteral("Rename to UPPER CASE, without a window.")},
        {kProper, QStringLiteral("Rename to Proper Case, without a window.")},
        {kUndo,
         QStringLiteral("Take back a run, from the window or the command line: the newest that can be taken back, "
                        "or the run RUN-ID given as the argument (needs --yes, or --dry-run to only list it).")},
        {kListRuns,
         QStringLiteral("List the kept runs, newest first: id, time, style, names renamed, what is left "
                        "to undo, folders.")},
        {kFiles, QStringLiteral("Rename the files (the default when --folders is not given).")},
        {kFolders,
         QStringLiteral("Rename the folders: each FOLDER itself, and with --subfolders every folder below it.")},
        {kSubfolders, QStringLiteral("Include the whole tree below each FOLDER.")},
        {kCrossMounts,
         QStringLiteral("With --subfolders, go into file systems mounted below FOLDER too (bind mounts as well); "
                        "without it they are listed as not changed.")},
        {kKeepExtension, QStringLiteral("Leave each file's extension (after its last dot) exactly as it is written.")},
        {kKeepCapitals,
         QStringLiteral("With --proper, leave words written in capitals as they are (NASA, XIV) and write McDonald, "
                        "O'Neil.")},
        {kHidden, QStringLiteral("Rename hidden files and folders (a leading dot) too, and walk into hidden folders.")},
        {kMatch,
         QStringLiteral("Rename only the files whose names match the shell PATTERN (*, ?, [...]); may be given "
                        "again for more. Folders are still walked. Without regard to letter case where the file "
                        "system ignores it."),
         QStringLiteral("PATTERN")},
        {{QStringLiteral("0"), kNull},
         QStringLiteral("Paths read from standard input ('-') end with a NUL, as find -print0 writes them, not with "
                        "a line end.")},
        {{QStringLiteral("n"), kDryRun},
         QStringLiteral("List what would be renamed, in order, and what would fail; change nothing.")},
        {kJson,
         QStringLiteral("Write JSON Lines: {\"old\", \"new\", \"kind\", \"path\", \"result\", \"reason\"} for each "
                        "entry, then {\"summary\": {...}}; a byte of a name that is not UTF-8 is written as \\udcHH "
                        "(0xDC00 plus the byte).")},
        {{QStringLiteral("q"), kQuiet}, QStringLiteral("List only the names not changed, and the summary.")},
        {kVerbose, QStringLiteral("List the names already in the style too.")},
        {{QStringLiteral("y"), kYes},
         QStringLiteral("Rename in a system folder or a home, or take a run back, without being asked.")},
    });
}

bool UsesRunOptions(const QCommandLineParser& parser)
{
    for (const QString& name :
         {kLower, kUpper, kProper, kUndo, kListRuns, kFiles, kFolders, kSubfolders, kCrossMounts, kKeepExtension,
          kKeepCapitals, kHidden, kMatch, kNull, kDryRun, kJson, kQuiet, kVerbose, kYes})
        if (parser.isSet(name))
            return true;
    return false;
}

QString RunUsageError(const QCommandLineParser& parser, qsizetype paths)
{
    int styles = 0;
    for (const QString& name : {kLower, kUpper, kProper, kUndo, kListRuns})
        styles += parser.isSet(name);
    if (styles == 0)
        return QStringLiteral("one of --lower, --upper, --proper, --undo and --list-runs is needed");
    if (styles > 1)
        return QStringLiteral("only one of --lower, --upper, --proper, --undo and --list-runs can be given");
    if (parser.isSet(kQuiet) && parser.isSet(kVerbose))
        return QStringLiteral("--quiet and --verbose cannot be given together");
    if (parser.isSet(kUndo) || parser.isSet(kListRuns)) {
        const QString what = parser.isSet(kUndo) ? QStringLiteral("--undo") : QStringLiteral("--list-runs");
        for (const QString& name :
             {kFiles, kFolders, kSubfolders, kCrossMounts, kKeepExtension, kKeepCapitals, kHidden, kMatch, kNull})
            if (parser.isSet(name))
                return QStringLiteral("%1 takes back or lists whole runs: --%2 does not apply").arg(what, name);
        if (parser.isSet(kUndo) && paths > 1)
            return QStringLiteral("--undo takes one RUN-ID at most");
        if (parser.isSet(kListRuns) && paths > 0)
            return QStringLiteral("--list-runs takes no path");
        return {};
    }
    if (paths == 0)
        return QStringLiteral("a folder or file is needed ('-' reads them from standard input)");
    return {};
}

int RunFromCommandLine(const QCommandLineParser& parser, const QList<QByteArray>& arguments)
{
    CatchEndSignals();
    // The list goes out in large writes unless a person watches it line by line.
    static char buffer[1 << 16];
    if (::isatty(STDOUT_FILENO) != 1)
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    if (parser.isSet(kListRuns))
        return listRuns(parser);
    return parser.isSet(kUndo) ? undo(parser, arguments) : renamePaths(parser, arguments);
}

} // namespace orvel
