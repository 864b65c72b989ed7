#pragma once

class QWidget;

namespace orvel {

class frmhelp;
class frmAbout;

// The quick-help window: created on first use, shown without modality, brought
// forward when it is already open.
void ShowQuickHelp();

// The about box, likewise.
void ShowAbout();

// The open windows, or null when closed (each is destroyed when it closes).
frmhelp* QuickHelpWindow();
frmAbout* AboutWindow();

} // namespace orvel
