#pragma once

class QWidget;

namespace orvel {

// The quick-help window: created on first use, shown without modality, brought
// forward when it is already open.
void ShowQuickHelp();

// The about box, likewise.
void ShowAbout();

} // namespace orvel
