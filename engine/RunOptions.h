#pragma once

#include "engine/CaseConversion.h"
#include "platform/PathSyntax.h"

#include <QString>

namespace orvel {

// The options a rename run reads: what is renamed and in which case style.
struct RunOptions {
    bool renameFile = true;
    bool renameFolder = false;
    CaseStyle style = CaseStyle::Proper;
};

// `folder` and `name` joined with one separator: a root already ends in one.
inline QString JoinPath(const QString& folder, const QString& name, const PathSyntax& syntax = PathSyntax::host())
{
    return folder.endsWith(syntax.separator) ? folder + name : folder + syntax.separator + name;
}

} // namespace orvel
