// What a rename run renames, and in which case style.
#pragma once

#include "engine/CaseConversion.h"

namespace orvel {

// The options a rename run reads: what is renamed, in which case style, and what the
// style leaves as it is.
struct RunOptions {
    bool renameFile = true;
    bool renameFolder = false;
    CaseStyle style = CaseStyle::Proper;
    bool keepExtension = false;
    bool keepCapitals = false;

    // Under the user's own case rules.
    CaseRules caseRules() const { return {style, keepExtension, keepCapitals, {}}; }
};

} // namespace orvel
