// Runs from the command line, without a window: the window's runs, reported as lines of text.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace orvel {

// How a run from the command line ends, as its exit status.
enum class ExitStatus {
    Done = 0, // every name renamed, or nothing to do
    NotAllChanged = 1, // some names were not changed; each one is listed
    Usage = 2,
    CannotOpen = 3, // the folder (or the journals, for an undo) cannot be opened
    Refused = 4, // a question that no one is there to answer: --yes says yes to it
    Busy = 5, // another run works on the tree (of one of the paths)
    CannotWrite = 6, // the list could not be written: the run stopped there, nothing half done
    // a signal ends the run between two renames: 128 + its number
};

// Adds the options of the runs without a window to the program's parser.
void DescribeRunOptions(QCommandLineParser& parser);

// Whether the command line uses any of them.
bool UsesRunOptions(const QCommandLineParser& parser);

// What is wrong with the run the command line asks for; empty when nothing is.
// `paths` are the arguments that are not options.
QString RunUsageError(const QCommandLineParser& parser, qsizetype paths);

// Makes the run the command line asks for and returns the exit status. `arguments` are
// the arguments that are not options, as the shell passed them: the folders and files to
// rename ("-" reads more from standard input), or the run an undo takes back. Every path
// is one run, which one undo takes back; where a path fails, the others still go on, and
// the status is the worst of them. Needs a QCoreApplication and nothing of the window
// system.
int RunFromCommandLine(const QCommandLineParser& parser, const QList<QByteArray>& arguments);

// A name or path as a line of text for a person, safe to show on a terminal: UTF-8
// throughout, with a backslash, a C0 control or DEL and each byte that is not UTF-8
// written as an escape ("\\", "\n", "\t", "\r", "\xHH"), and a C1 control, a line or
// paragraph separator and a bidirectional control as "\uHHHH".
QByteArray ShownText(const QString& text);
// A name, the bytes a folder holds it by, as ShownText shows it: the name itself where it
// needs no escape, else `escaped`, filled.
QByteArrayView ShownName(QByteArrayView name, QByteArray& escaped);

// The same as a JSON string, quotes included: valid JSON for any name, and lossless: a
// byte that is not UTF-8 is written as the escape "\udcHH" (0xDC00 plus the byte), the
// form Python's surrogateescape reads back into the same byte.
QByteArray JsonText(const QString& text);

} // namespace orvel
