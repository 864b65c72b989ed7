#pragma once

#include "platform/PathSyntax.h"

#include <QString>

namespace orvel {

// The folder above `path`: a folder just below a root gives the root with its
// separator, a root gives itself, a deeper folder gives its parent without a
// trailing separator, and a text without any separator gives an empty text.
QString ParentPath(const QString& path, const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
