// The output of the runs from the command line: escaped names, lines or JSON records,
// the progress line and the summary.
#include "app/CommandLineOutput.h"

#include "app/CommandLine.h"
#include "engine/Paths.h"
#include "engine/RunOutcome.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace orvel {

namespace {

// The signal that asked the process to end; 0 while none has.
volatile std::sig_atomic_t g_endSignal = 0;

void noteEndSignal(int signal)
{
    g_endSignal = signal;
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

// A terminal that acts on escape sequences: a dumb one shows them as they are.
bool takesEscapes(int descriptor)
{
    const char* term = std::getenv("TERM");
    return ::isatty(descriptor) == 1 && term && *term && std::strcmp(term, "dumb") != 0;
}

const char* kindText(EntryKind kind)
{
    switch (kind) {
    case EntryKind::File: return "\"file\"";
    case EntryKind::Folder: return "\"folder\"";
    case EntryKind::Unknown: break;
    }
    return "null";
}

} // namespace

int EndSignal()
{
    return g_endSignal;
}

void CatchEndSignals()
{
    struct sigaction action {};
    action.sa_handler = noteEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void Complain(const QString& text)
{
    std::fflush(stdout); // what was listed comes first where both go to one place
    std::fprintf(stderr, "orvel-file-rename: %s\n", ShownText(text).constData());
}

QByteArray ShownText(const QString& text)
{
    return escaped(text, Escapes::Shown);
}

QByteArrayView ShownName(QByteArrayView name, QByteArray& escaped)
{
    // Most names are printable ASCII, shown byte for byte as they are: every byte is looked
    // up, without a branch, as each line of a listing asks it of two names.
    static constexpr auto Escaped = [] {
        std::array<bool, 256> table{};
        for (size_t c = 0; c < table.size(); ++c)
            table[c] = c < 0x20 || c >= 0x7F || c == '\\';
        return table;
    }();
    bool escapes = false;
    for (const char c : name)
        escapes |= Escaped[uchar(c)];
    if (!escapes)
        return name;
    escaped = ShownText(DecodeName(name));
    return escaped;
}

QByteArray JsonText(const QString& text)
{
    return '"' + escaped(text, Escapes::Json) + '"';
}

CommandLineObserver::CommandLineObserver(OutputStyle style, bool yes)
    : m_style(std::move(style))
    , m_yes(yes)
    , m_progress(takesEscapes(STDERR_FILENO))
    , m_errorTerminal(::isatty(STDERR_FILENO) == 1)
    , m_sharedTerminal(m_progress && ::isatty(STDOUT_FILENO) == 1)
{
}

void CommandLineObserver::setGiven(const QString& given, std::function<QString(const QString&)> shown)
{
    m_style.given = given;
    m_style.shown = std::move(shown);
    m_shownFolderPrefix = QByteArray();
}

void CommandLineObserver::status(const QString& text)
{
    // The run's own words say what a run does; a plan only plans.
    m_status = m_style.dryRun && !text.isEmpty() ? QStringLiteral("Planning...") : text;
    showProgress();
}

bool CommandLineObserver::stopRequested()
{
    return g_endSignal != 0 || writeError != 0;
}

void CommandLineObserver::renamed(const QString& folder, QByteArrayView oldName, QByteArrayView newName, EntryKind kind)
{
    if (oldName == newName) {
        ++unchangedCount;
        const QString oldPath = JoinPath(folder, DecodeName(oldName));
        entry(oldPath, oldPath, kind, "unchanged", nullptr);
        return;
    }
    ++renamedCount;
    if (m_style.json) {
        entry(JoinPath(folder, DecodeName(oldName)), JoinPath(folder, DecodeName(newName)), kind,
              m_style.dryRun ? "would rename" : "renamed", nullptr);
    } else if (m_style.verbosity != Verbosity::Quiet) {
        // The most common line by far, made from the folder's path as shown, worked out
        // once for all the names in it: a name is shown as it stands.
        if (folder != m_shownFolder || m_shownFolderPrefix.isNull()) {
            m_shownFolder = folder;
            const QString probe = JoinPath(folder, QStringLiteral("x"));
            m_shownFolderPrefix = ShownText((m_style.shown ? m_style.shown(probe) : probe).chopped(1));
        }
        // One line for every name: its pieces are measured, then copied in one go.
        QByteArray oldEscaped, newEscaped;
        const QByteArrayView pieces[] = {
            m_shownFolderPrefix, ShownName(oldName, oldEscaped), " -> ",
            m_shownFolderPrefix, ShownName(newName, newEscaped), m_style.dryRun ? ": would rename\n" : "\n"};
        qsizetype size = 0;
        for (const QByteArrayView piece : pieces)
            size += piece.size();
        QByteArray& line = m_line;
        line.resize(size);
        char* out = line.data();
        for (const QByteArrayView piece : pieces)
            out = std::copy(piece.begin(), piece.end(), out);
        write(stdout, line);
    }
}

void CommandLineObserver::notChanged(const NotChanged& item, QByteArrayView newName, EntryKind kind)
{
    ++leftCount;
    entry(item.path, newName.isEmpty() ? QString() : JoinPath(ParentPath(item.path), DecodeName(newName)), kind,
          m_style.dryRun ? "would not change" : "not changed", &item.reason);
}

void CommandLineObserver::journalFailed(const QString& reason)
{
    clearProgress();
    Complain(QStringLiteral("this rename cannot be undone: ") + reason);
}

bool CommandLineObserver::confirmSystemFolder(const QString& folder, FolderRole role)
{
    if (m_yes)
        return true;
    refusedFolder = folder;
    refusedRole = role;
    return false;
}

void CommandLineObserver::flush()
{
    std::fflush(stdout);
    noteWriteError();
    clearProgress();
}

void CommandLineObserver::summary(const QString& text, const QByteArray& json)
{
    flush();
    if (m_style.json)
        write(stdout, "{\"summary\":" + json + "}\n");
    else if (!text.isEmpty() && (m_errorTerminal || m_style.verbosity == Verbosity::Quiet))
        std::fprintf(stderr, "%s\n", ShownText(text).constData());
    std::fflush(stdout);
    noteWriteError();
}

// Text: "old -> new", "old -> new: not changed: reason", "old: unchanged" (and a dry
// run's "would"s); JSON: one object.
void CommandLineObserver::entry(const QString& oldPath, const QString& newPath, EntryKind kind, const char* result,
                                const QString* reason)
{
    const auto shown = [this](const QString& path) { return m_style.shown ? m_style.shown(path) : path; };
    QByteArray line;
    if (m_style.json) {
        line = "{\"old\":" + JsonText(shown(oldPath))
            + ",\"new\":" + (newPath.isNull() ? "null" : JsonText(shown(newPath))) + ",\"kind\":" + kindText(kind)
            + ",\"path\":" + (m_style.given.isNull() ? "null" : JsonText(m_style.given)) + ",\"result\":\"" + result
            + "\",\"reason\":" + (reason ? JsonText(*reason) : "null") + "}\n";
        write(stdout, line);
        return;
    }
    line = ShownText(shown(oldPath));
    if (!reason && newPath == oldPath)
        line += ": unchanged";
    else if (!newPath.isNull())
        line += " -> " + ShownText(shown(newPath));
    if (reason)
        line += ": " + QByteArray(result) + ": " + ShownText(*reason);
    else if (m_style.dryRun && newPath != oldPath)
        line += ": would rename";
    write(reason ? stderr : stdout, line + '\n');
}

void CommandLineObserver::write(FILE* stream, const QByteArray& line)
{
    if (writeError != 0)
        return;
    if (m_progressShown && (stream == stderr || m_sharedTerminal))
        clearProgress();
    if (stream == stderr)
        std::fflush(stdout); // in the order of the run where both go to one place
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    noteWriteError();
}

// Standard output keeps its error once it has one: the first one is why.
void CommandLineObserver::noteWriteError()
{
    if (writeError == 0 && std::ferror(stdout))
        writeError = errno != 0 ? errno : EIO;
}

void CommandLineObserver::showProgress()
{
    // The run's status may be empty while it renames (a start folder without files of its
    // own, as the window shows it); the count still says how far it is.
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

void CommandLineObserver::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_progressShown = false;
}

} // namespace orvel
