// Opening a web address with the program the desktop has registered for web pages.
#pragma once

#include "platform/XdgLookup.h"

#include <QString>

#include <optional>

namespace orvel {

// The desktop entry registered for web pages. While it is looked up, "dummy.html" in
// the temporary folder stands for any page: it is made (over one left behind, never
// through a link of that name) and is gone again when this returns. nullopt when
// nothing usable is registered, or when the probe file cannot be made or removed.
std::optional<DesktopEntry> FindWebBrowser();

// Starts the program registered for web pages with `address` as its argument,
// without waiting for it. True when a process was started; nothing is shown
// either way.
bool OpenWebLink(const QString& address);

} // namespace orvel
