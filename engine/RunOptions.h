// What a rename run renames, and in which case style.
#pragma once

#include "engine/CaseConversion.h"

namespace orvel {

// The options a rename run reads: what is renamed and in which case style.
struct RunOptions {
    bool renameFile = true;
    bool renameFolder = false;
    CaseStyle style = CaseStyle::Proper;
};

} // namespace orvel
