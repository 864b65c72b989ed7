// What a run from the command line writes: a line (or a JSON object) per name, its progress
// on a terminal, and the summary at its end.
#pragma once

#include "engine/RunObserver.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace orvel {

// How much a run from the command line says of its names.
enum class Verbosity {
    Quiet, // only what was not changed, and the summary
    Normal, // ... and every name renamed
    Verbose, // ... and every name that already was in the style
};

struct OutputStyle {
    bool json = false;
    bool dryRun = false;
    Verbosity verbosity = Verbosity::Normal;
    // A path as the user gave it: relative to the working folder when the path given was
    // relative. Identity when unset.
    std::function<QString(const QString& path)> shown;
    // What the entries came from, as given: a JSON record's "path".
    QString given;
};

// Writes the names a run tells of as they come, nothing kept: renamed names (and, verbose,
// the unchanged ones) to standard output, names not changed to standard error with why;
// with JSON, every record to standard output. A progress line goes to standard error
// while it is a terminal that takes escape sequences.
class CommandLineObserver final : public RunObserver {
public:
    CommandLineObserver(OutputStyle style, bool yes);

    qint64 renamedCount = 0;
    qint64 leftCount = 0;
    qint64 unchangedCount = 0;
    int writeError = 0; // why the list could not be written to standard output; 0 while it could
    QString refusedFolder; // the system folder or home that --yes would have allowed
    FolderRole refusedRole = FolderRole::Ordinary;

    // The entries from here on come from `given` (a JSON record's "path"), shown by `shown`.
    void setGiven(const QString& given, std::function<QString(const QString&)> shown);

    void status(const QString& text) override;
    void progressMax(qint64 max) override { m_max = max; }
    void progressValue(qint64 value) override { m_value = value; }
    void letEventsThrough() override { showProgress(); }
    bool cancelRequested() override { return false; }
    // A signal to end, or a list that cannot be written, stops the run: its reader is
    // gone, or whatever it renames from here on would go unsaid.
    bool stopRequested() override;

    bool hearsEachName() const override { return true; }
    bool hearsUnchangedNames() const override { return m_style.verbosity == Verbosity::Verbose; }
    void renamed(const QString& folder, QByteArrayView oldName, QByteArrayView newName, EntryKind kind) override;
    void notChanged(const NotChanged& item, QByteArrayView newName, EntryKind kind) override;
    void journalFailed(const QString& reason) override;
    bool confirmSystemFolder(const QString& folder, FolderRole role) override;

    // The progress line cleared, and standard output flushed (its error noted).
    void flush();
    // Writes the JSON summary record; in text, `text` on standard error when it is a
    // terminal or the run is quiet.
    void summary(const QString& text, const QByteArray& json);

private:
    void entry(const QString& oldPath, const QString& newPath, EntryKind kind, const char* result,
               const QString* reason);
    void write(FILE* stream, const QByteArray& line);
    void noteWriteError();
    void showProgress();
    void clearProgress();

    OutputStyle m_style;
    const bool m_yes;
    const bool m_progress; // standard error is a terminal that takes escape sequences
    const bool m_errorTerminal;
    const bool m_sharedTerminal; // the list and the progress line go to one terminal
    bool m_progressShown = false;
    QString m_status;
    // The folder of the names told last, and its path as a line shows it before a name.
    QString m_shownFolder;
    QByteArray m_shownFolderPrefix;
    QByteArray m_line; // kept for its room
    qint64 m_max = 0;
    qint64 m_value = 0;
};

// The signal that asked the process to end; 0 while none has. Set by the handlers that
// CatchEndSignals installs.
int EndSignal();
// A signal to end is taken as a request to stop after the rename in hand. A reader of the
// output that went away (a closed pipe) kills no run half way either: the write that fails
// stops the run the same way.
void CatchEndSignals();

// A message of the program's on standard error, "orvel-file-rename: " first.
void Complain(const QString& text);

} // namespace orvel
