// The composition root: the main window's services as the real system provides them.
#pragma once

#include "main_window/MainWindow.h"

namespace orvel {

// The composition root: the main window wired to the real system (the host's file
// system, volumes, message boxes and settings store) and to the about box and quick
// help. It opens at the working folder unless the caller says otherwise.
MainWindowServices HostServices();

} // namespace orvel
