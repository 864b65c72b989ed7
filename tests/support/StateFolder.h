// A journal folder of a test's own, with the journals and the tree locks kept in it.
#pragma once

#include "engine/RunSession.h"
#include "platform/JournalFiles.h"
#include "platform/TreeLock.h"
#include "tests/support/TempTree.h"

namespace orvel::test {

struct StateFolder {
    TempDir dir;
    std::unique_ptr<JournalFiles> journals = OpenJournalFiles(dir.path(), nullptr);
    std::unique_ptr<TreeLocks> locks = TreeLocks::open(dir.path(), nullptr);

    RunRecords records() const { return {journals.get(), locks.get()}; }
};

} // namespace orvel::test
