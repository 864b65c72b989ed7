#pragma once

namespace orvel {

// Set by the window's cancel link, cleared when the window loads and when Rename All
// starts; read only by the recursive searches, which stop at their next test.
extern bool CancelRequested;

} // namespace orvel
