#pragma once

namespace orvel {

class MessageBoxes;
class SingleInstance;

// The program's start: refuses a second instance with a message, otherwise opens the
// main window. Returns true when the main window was opened and the event loop should
// run; false when the process should end at once.
bool StartUp(SingleInstance& instance, MessageBoxes& messages);

// The whole program, from QApplication to the end of its event loop.
int Main(int argc, char** argv);

} // namespace orvel
