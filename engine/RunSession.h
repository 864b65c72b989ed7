// The frame every journaled run starts and ends in.
#pragma once

namespace orvel {

class JournalFiles;
class TreeLocks;

// Where a run is recorded so that it can be undone, and the locks that keep two runs off
// one tree. A run without them (a dry run) renames, or plans, on its own.
struct RunRecords {
    JournalFiles* journals = nullptr;
    TreeLocks* locks = nullptr;
};

} // namespace orvel
