// The roles that screen readers announce for the program's own windows.
#pragma once

namespace orvel {

// Screen readers announce a window by its role: the main window is a window and
// "Changes Not Made" a dialog, not the anonymous panels that plain widgets report; and
// the main window's status line is a status bar.
void InstallWindowRoles();

} // namespace orvel
