#include "about/AboutWindows.h"

namespace orvel {

void ShowQuickHelp() {}
void ShowAbout() {}

} // namespace orvel
