// The program's start: the command line, the single instance and the main window.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvel {

class MessageBoxes;
class SingleInstance;

// The program's start: opens the main window at `startFolder`, unless another instance
// runs. Then a folder the command line named (`folderNamed`) is handed to that instance,
// which opens it and comes forward; a start without one, or one whose folder the
// instance refuses, shows a message (and brings the running one forward). Returns true
// when the main window was opened and the event loop should run; false when the
// process should end at once.
bool StartUp(SingleInstance& instance, MessageBoxes& messages, const QString& startFolder, bool folderNamed = false);

// The folder that the FOLDER argument names, given as the bytes the shell passed: a
// path, relative to the working folder or absolute, or a file: URL; as an absolute path
// without "." and ".." (as the window shows it). Empty when it names no local path.
QString PathOfArgument(const QByteArray& argument);

// Where the window opens for the FOLDER argument, given as the bytes the shell passed
// (nullopt when there was none): a path, relative to the working folder or absolute, or
// a file: URL. A FOLDER that is not a folder yields the working folder, and
// `complaint` then receives one line for standard error.
QString StartFolder(const std::optional<QByteArray>& argument, QByteArray* complaint = nullptr);

// The whole program, from the command line to the end of its event loop.
int Main(int argc, char** argv);

} // namespace orvel
