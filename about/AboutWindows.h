// Opening the quick help and the about box: one window of each at a time.
#pragma once

class QWidget;

namespace orvel {

class QuickHelpWindow;
class AboutDialog;

// The quick-help window: created on first use, shown without modality, brought
// forward when it is already open.
void ShowQuickHelp();

// The about box, likewise.
void ShowAbout();

// The open windows, or null when closed (each is destroyed when it closes).
QuickHelpWindow* CurrentQuickHelpWindow();
AboutDialog* CurrentAboutDialog();

} // namespace orvel
