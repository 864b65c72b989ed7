// The runs from the command line: their options, their output lines and their exit status.

#include "app/CommandLine.h"

#include "app/Startup.h"
#include "engine/Paths.h"
#include "engine/PlanningFileSystem.h"
#include "engine/RenameAll.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"
#include "platform/SystemFolders.h"
#include "platform/TreeLock.h"

#include <QCommandLineParser>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace orvel {

namespace {

const QString kLower = QStringLiteral("lower");
const QString kUpper = QStringLiteral("upper");
const QString kProper = QStringLiteral("proper");
const QString kUndo = QStringLiteral("undo");
const QString kFiles = QStringLiteral("files");
const QString kFolders = QStringLiteral("folders");
const QString kSubfolders = QStringLiteral("subfolders");
const QString kCrossMounts = QStringLiteral("cross-mounts");
const QString kDryRun = QStringLiteral("dry-run");
const QString kJson = QStringLiteral("json");
const QString kYes = QStringLiteral("yes");

// The signal that asked the process to end; 0 while none has.
volatile std::sig_atomic_t g_endSignal = 0;

void noteEndSignal(int signal)
{
    g_endSignal = signal;
}

// A signal to end is taken as a request to stop after the rename in hand. A reader of
// the output that went away (a closed pipe) kills no run half way either: the write that
// fails stops the run the same way.
void catchEndSignals()
{
    struct sigaction action {};
    action.sa_handler = noteEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void complain(const QString& text)
{
    std::fprintf(stderr, "orvel-file-rename: %s\n", ShownText(text).constData());
}

bool isLoneByte(const QString& text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// What a terminal acts on besides the C0 controls and DEL, rather than showing it: the C1
// controls (CSI, OSC, ST and NEL among them), the line and paragraph separators, and the
// bidirectional marks, embeddings, overrides and isolates, which reorder the rest of the
// line so that a name can pose as another.
bool isTerminalControl(char16_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

enum class Escapes { Shown, Json };

// `text` as UTF-8 with escapes. For a person: a backslash, "\n", "\t", "\r", the other
// C0 controls and DEL as "\xHH", a byte that is not UTF-8 as "\xHH" too (never below
// 0x80, so never one of those), and the other characters a terminal acts on as "\uHHHH".
// In JSON what JSON needs: a quote, a backslash and the C0 controls, and a byte that is
// not UTF-8 as "\udcHH".
QByteArray escaped(const QString& text, Escapes kind)
{
    const bool json = kind == Escapes::Json;
    // Most names hold nothing to escape: one look at each character, then UTF-8 at once.
    const auto plain = [json](QChar ch) {
        const char16_t c = ch.unicode();
        return c >= 0x20 && c != u'\\' && c != 0x7F && !(json && c == u'"') && !(c >= 0xDC80 && c <= 0xDCFF)
            && (json || !isTerminalControl(c));
    };
    if (std::all_of(text.cbegin(), text.cend(), plain))
        return text.toUtf8();
    const auto hex = [](const char* escape, uint value, int digits) {
        return QLatin1String(escape) + QString::number(value, 16).rightJustified(digits, u'0');
    };
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (isLoneByte(text, i))
            out += json ? hex("\\u", c, 4) : hex("\\x", c - 0xDC00, 2);
        else if (c == u'\\' || (json && c == u'"'))
            out += u'\\', out += text.at(i);
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c < 0x20 || (!json && c == 0x7F))
            out += json ? hex("\\u", c, 4) : hex("\\x", c, 2);
        else if (!json && isTerminalControl(c))
            out += hex("\\u", c, 4);
        else
            out += text.at(i);
    }
    return out.toUtf8();
}

// Writes one line per entry to standard output, as it comes: nothing is kept.
class CommandLineObserver final : public RunObserver {
public:
    CommandLineObserver(bool json, bool yes)
        : m_json(json)
        , m_yes(yes)
        , m_progress(::isatty(STDERR_FILENO) == 1)
        , m_sharedTerminal(m_progress && ::isatty(STDOUT_FILENO) == 1)
    {
    }

    qint64 renamedCount = 0;
    qint64 leftCount = 0;
    int writeError = 0; // why the list could not be written to standard output; 0 while it could
    QString refusedFolder; // the system folder or home that --yes would have allowed
    FolderRole refusedRole = FolderRole::Ordinary;

    void status(const QString& text) override
    {
        m_status = text;
        showProgress();
    }
    void progressMax(qint64 max) override { m_max = max; }
    void progressValue(qint64 value) override { m_value = value; }
    void letEventsThrough() override { showProgress(); }
    bool cancelRequested() override { return false; }
    // A list that cannot be written stops the run: its reader is gone, or whatever it
    // renames from here on would go unsaid.
    bool stopRequested() override { return g_endSignal != 0 || writeError != 0; }

    bool hearsEachName() const override { return true; }
    void renamed(const QString& folder, const QString& oldName, const QString& newName, EntryKind) override
    {
        ++renamedCount;
        entry(JoinPath(folder, oldName), JoinPath(folder, newName), nullptr);
    }

    void notChanged(const NotChanged& item, const QString& newName, EntryKind) override
    {
        ++leftCount;
        entry(item.path, newName.isEmpty() ? QString() : JoinPath(ParentPath(item.path), newName), &item.reason);
    }

    void journalFailed(const QString& reason) override
    {
        clearProgress();
        complain(QStringLiteral("this rename cannot be undone: ") + reason);
    }

    bool confirmSystemFolder(const QString& folder, FolderRole role) override
    {
        if (m_yes)
            return true;
        refusedFolder = folder;
        refusedRole = role;
        return false;
    }

    // Clears the progress line, and on a terminal says what came of the run.
    void finish(const QString& summary)
    {
        std::fflush(stdout);
        noteWriteError();
        clearProgress();
        if (m_progress && !summary.isEmpty())
            std::fprintf(stderr, "%s\n", ShownText(summary).constData());
    }

private:
    // "old -> new", or "old -> new: not changed: reason"; as JSON, one object.
    void entry(const QString& oldPath, const QString& newPath, const QString* reason)
    {
        QByteArray line;
        if (m_json) {
            line = "{\"old\":" + JsonText(oldPath) + ",\"new\":" + (newPath.isNull() ? "null" : JsonText(newPath))
                + ",\"result\":" + (reason ? "\"not changed\"" : "\"renamed\"")
                + ",\"reason\":" + (reason ? JsonText(*reason) : "null") + "}\n";
        } else {
            line = ShownText(oldPath);
            if (!newPath.isNull())
                line += " -> " + ShownText(newPath);
            if (reason)
                line += ": not changed: " + ShownText(*reason);
            line += '\n';
        }
        if (writeError != 0)
            return;
        if (m_progressShown && m_sharedTerminal)
            clearProgress();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        noteWriteError();
    }

    // Standard output keeps its error once it has one: the first one is why.
    void noteWriteError()
    {
        if (writeError == 0 && std::ferror(stdout))
            writeError = errno != 0 ? errno : EIO;
    }

    void showProgress()
    {
        // The run's status may be empty while it renames (a start folder without files
        // of its own, as the window shows it); the count still says how far it is.
        if (!m_progress || (m_status.isEmpty() && m_max == 0))
            return;
        std::fflush(stdout); // the lines written so far come before it on a shared terminal
        noteWriteError();
        QString text = m_status;
        if (m_max > 0)
            text += QStringLiteral("%1%2 of %3 files").arg(text.isEmpty() ? "" : " ").arg(m_value).arg(m_max);
        std::fprintf(stderr, "\r\033[K%s", ShownText(text).constData());
        std::fflush(stderr);
        m_progressShown = true;
    }

    void clearProgress()
    {
        if (!m_progressShown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_progressShown = false;
    }

    const bool m_json;
    const bool m_yes;
    const bool m_progress;
    const bool m_sharedTerminal; // the list and the progress line go to one terminal
    bool m_progressShown = false;
    QString m_status;
    qint64 m_max = 0;
    qint64 m_value = 0;
};

int statusOf(ExitStatus status)
{
    return int(status);
}

// The exit status of a run that ended without a refusal of its own; `stopped` when it
// ended before its last rename.
int endStatus(const CommandLineObserver& observer, bool stopped)
{
    if (observer.writeError != 0) {
        complain(QStringLiteral("the list could not be written: %1%2")
                     .arg(ErrorText(observer.writeError), stopped ? "; the run stopped after the rename in hand" : ""));
        return statusOf(ExitStatus::CannotWrite);
    }
    if (g_endSignal != 0)
        return 128 + g_endSignal;
    return statusOf(observer.leftCount > 0 ? ExitStatus::NotAllChanged : ExitStatus::Done);
}

QString summary(bool dryRun, const CommandLineObserver& observer)
{
    if (dryRun)
        return QStringLiteral("Dry run: %1 would be renamed, %2 would not be changed; nothing was changed.")
            .arg(observer.renamedCount)
            .arg(observer.leftCount);
    return QStringLiteral("%1 renamed, %2 not changed.").arg(observer.renamedCount).arg(observer.leftCount);
}

int busy(const QString& folder)
{
    complain(QStringLiteral("%1 is being renamed by another run; try again when it is done").arg(folder));
    return statusOf(ExitStatus::Busy);
}

int renameAll(const QCommandLineParser& parser, const QByteArray& argument)
{
    const bool dryRun = parser.isSet(kDryRun);
    const QString folder = PathOfArgument(argument);
    if (folder.isEmpty()) {
        complain(DecodeName(argument) + QStringLiteral(": not a folder"));
        return statusOf(ExitStatus::CannotOpen);
    }
    RenameAllJob job;
    job.startFolder = folder;
    const bool files = parser.isSet(kFiles), folders = parser.isSet(kFolders);
    job.options.renameFile = files || !folders; // the window starts with files ticked
    job.options.renameFolder = folders;
    job.options.style = parser.isSet(kLower) ? CaseStyle::Lower
        : parser.isSet(kUpper)               ? CaseStyle::Upper
                                             : CaseStyle::Proper;
    job.includeSubfolders = parser.isSet(kSubfolders);
    job.crossMounts = parser.isSet(kCrossMounts);
    job.systemFolders = SystemFolders::host();

    CommandLineObserver observer(parser.isSet(kJson), parser.isSet(kYes));
    std::unique_ptr<JournalFiles> journals;
    std::unique_ptr<TreeLocks> locks;
    RenameAllOutcome out;
    if (dryRun) {
        PlanningFileSystem plan(hostFileSystem());
        out = RenameAll(job, plan, observer);
    } else {
        QString problem;
        journals = OpenJournalFiles(JournalFolder(), &problem);
        if (!journals)
            observer.journalFailed(problem);
        // A run that cannot be undone is still kept off another run's tree.
        locks = TreeLocks::open(JournalFolder(), nullptr);
        job.records = {journals.get(), locks.get()};
        out = RenameAll(job, hostFileSystem(), observer);
    }
    // The window's list leaves out a folder it could not read; a script is told, as it
    // cannot see that the names in it were never looked at.
    for (const NotChanged& item : std::as_const(out.notListed))
        observer.notChanged(item, {}, EntryKind::Folder);
    observer.finish(out.renamed ? summary(dryRun, observer) : QString());
    if (!out.busyWith.isEmpty())
        return busy(out.busyWith);
    if (out.startError != 0) {
        complain(QStringLiteral("%1: cannot be opened: %2").arg(folder, ErrorText(out.startError)));
        return statusOf(ExitStatus::CannotOpen);
    }
    if (!observer.refusedFolder.isEmpty()) {
        complain(observer.refusedRole == FolderRole::Home
                     ? QStringLiteral("%1 is the home folder of a user; nothing was renamed (--yes renames it anyway)")
                           .arg(observer.refusedFolder)
                     : QStringLiteral("%1 belongs to the operating system; nothing was renamed (--yes renames in it "
                                      "anyway)")
                           .arg(observer.refusedFolder));
        return statusOf(ExitStatus::Refused);
    }
    return endStatus(observer, out.stopped);
}

int undo(const QCommandLineParser& parser)
{
    const bool dryRun = parser.isSet(kDryRun);
    QString problem;
    // A dry run makes no journal folder where there is none: there is nothing to undo.
    const QString folder = JournalFolder();
    const std::unique_ptr<JournalFiles> store =
        dryRun && ::access(EncodeName(folder).constData(), F_OK) != 0 ? nullptr : OpenJournalFiles(folder, &problem);
    const std::unique_ptr<TreeLocks> locks = store && !dryRun ? TreeLocks::open(folder, nullptr) : nullptr;
    if (!store && !problem.isEmpty()) {
        complain(QStringLiteral("the journals in %1 cannot be read: %2").arg(folder, problem));
        return statusOf(ExitStatus::CannotOpen);
    }
    const std::optional<UndoCandidate> run = store ? NewestUndoableRun(*store) : std::nullopt;
    if (!run) {
        complain(QStringLiteral("nothing to undo"));
        return statusOf(ExitStatus::Done);
    }
    if (!dryRun && !parser.isSet(kYes)) {
        complain(QStringLiteral("this would undo the renaming of %1 names in %2; --yes undoes it, --dry-run lists it")
                     .arg(run->renames)
                     .arg(run->startFolder));
        return statusOf(ExitStatus::Refused);
    }
    CommandLineObserver observer(parser.isSet(kJson), true);
    UndoOutcome out;
    if (dryRun) {
        PlanningFileSystem plan(hostFileSystem());
        out = UndoRun({run->journal, true}, {store.get(), nullptr}, plan, observer);
    } else {
        out = UndoRun({run->journal}, {store.get(), locks.get()}, hostFileSystem(), observer);
    }
    observer.finish(out.found && out.busyWith.isEmpty() ? summary(dryRun, observer) : QString());
    if (!out.busyWith.isEmpty())
        return busy(out.busyWith);
    if (!out.found) {
        complain(QStringLiteral("the journal %1 cannot be read").arg(run->journal));
        return statusOf(ExitStatus::CannotOpen);
    }
    return endStatus(observer, out.stopped);
}

} // namespace

void DescribeRunOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kLower, QStringLiteral("Rename to lower case, without a window.")},
        {kUpper, QStringLiteral("Rename to UPPER CASE, without a window.")},
        {kProper, QStringLiteral("Rename to Proper Case, without a window.")},
        {kUndo,
         QStringLiteral("Take back the newest run that can be taken back, from the window or the command "
                        "line (needs --yes, or --dry-run to only list it).")},
        {kFiles, QStringLiteral("Rename the files (the default when --folders is not given).")},
        {kFolders, QStringLiteral("Rename the folders: FOLDER itself, and with --subfolders every folder below it.")},
        {kSubfolders, QStringLiteral("Include the whole tree below FOLDER.")},
        {kCrossMounts,
         QStringLiteral("With --subfolders, go into file systems mounted below FOLDER too (bind mounts as well); "
                        "without it they are listed as not changed.")},
        {{QStringLiteral("n"), kDryRun},
         QStringLiteral("List what would be renamed, in order, and what would fail; change nothing.")},
        {kJson,
         QStringLiteral("Write JSON Lines: {\"old\", \"new\", \"result\", \"reason\"} for each entry; a byte of a "
                        "name that is not UTF-8 is written as \\udcHH (0xDC00 plus the byte).")},
        {{QStringLiteral("y"), kYes},
         QStringLiteral("Rename in a system folder or a home, or take a run back, without being asked.")},
    });
}

bool UsesRunOptions(const QCommandLineParser& parser)
{
    for (const QString& name :
         {kLower, kUpper, kProper, kUndo, kFiles, kFolders, kSubfolders, kCrossMounts, kDryRun, kJson, kYes})
        if (parser.isSet(name))
            return true;
    return false;
}

QString RunUsageError(const QCommandLineParser& parser, qsizetype folders)
{
    int styles = 0;
    for (const QString& name : {kLower, kUpper, kProper, kUndo})
        styles += parser.isSet(name);
    if (styles == 0)
        return QStringLiteral("one of --lower, --upper, --proper and --undo is needed");
    if (styles > 1)
        return QStringLiteral("only one of --lower, --upper, --proper and --undo can be given");
    if (parser.isSet(kUndo)) {
        if (parser.isSet(kFiles) || parser.isSet(kFolders) || parser.isSet(kSubfolders) || parser.isSet(kCrossMounts))
            return QStringLiteral(
                "--undo takes back a whole run: --files, --folders, --subfolders and --cross-mounts do not apply");
        if (folders > 0)
            return QStringLiteral("--undo takes no folder");
        return {};
    }
    if (folders == 0)
        return QStringLiteral("a folder is needed");
    if (folders > 1)
        return QStringLiteral("only one folder can be given");
    return {};
}

int RunFromCommandLine(const QCommandLineParser& parser, const QByteArray& folder)
{
    catchEndSignals();
    // The list goes out in large writes unless a person watches it line by line.
    static char buffer[1 << 16];
    if (::isatty(STDOUT_FILENO) != 1)
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return parser.isSet(kUndo) ? undo(parser) : renameAll(parser, folder);
}

QByteArray ShownText(const QString& text)
{
    return escaped(text, Escapes::Shown);
}

QByteArray JsonText(const QString& text)
{
    return '"' + escaped(text, Escapes::Json) + '"';
}

} // namespace orvel
