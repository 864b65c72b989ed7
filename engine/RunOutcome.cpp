// What every run gives back: the names it did not change and why, and how it ended.
#include "engine/RunOutcome.h"

#include "platform/FileSystem.h"

#include <cerrno>

namespace orvel {

QString NotEnteredText(int error)
{
    if (IsNoLongerAFolder(error) || error == ENOENT)
        return QStringLiteral("skipped: not a folder any more");
    if (error == FolderChanged)
        return QStringLiteral("skipped: changed since it was listed");
    if (error == EXDEV)
        return QStringLiteral("skipped: on another file system");
    return ErrorText(error);
}

QString NotListedText(int error)
{
    return QStringLiteral("its names cannot be read: ") + ErrorText(error);
}

} // namespace orvel
