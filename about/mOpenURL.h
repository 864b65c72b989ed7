#pragma once

#include <QString>

namespace orvel {

// Result codes of FindBrowser. A value of 32 or more means a program was found;
// the smaller ones say why not.
enum : long {
    kBrowserProbeNotWritten = 2, // the probe file could not be created
    kBrowserProbeNotRemoved = 5, // the probe file could not be removed
    kBrowserNotRegistered = 31, // nothing usable is registered for web pages
    kBrowserFound = 42,
};

// Starts the program registered for web pages with `address` as its argument,
// without waiting for it. True when a process was started; nothing is shown
// either way.
bool OpenURL(const QString& address);

// Full path of the program registered for web pages ("dummy.html" made in the
// temporary folder stands for any page), or empty. `result` receives one of the
// codes above. The probe file is gone again when this returns.
QString FindBrowser(long& result);

// The user's temporary folder, with a trailing "/".
QString TempFolder();

// `text` cut before its first NUL character (all of it when there is none).
QString TrimAtNull(const QString& text);

} // namespace orvel
