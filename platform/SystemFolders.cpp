#include "platform/SystemFolders.h"

#include "platform/NameCodec.h"

#include <QStringList>

#include <climits>
#include <cstdlib>

namespace orvel {

namespace {

bool isSystemFolder(const QString& path)
{
    static const QStringList system{"/bin", "/boot", "/dev", "/etc", "/opt", "/proc",
                                    "/run", "/sbin", "/srv", "/sys", "/usr", "/var"};
    const QString top = path.section(QLatin1Char('/'), 0, 1); // "/usr/share" -> "/usr"
    return system.contains(top) || top.startsWith(QLatin1String("/lib"));
}

bool renamesSystemEntries(QString folder, bool folderItself)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder == QLatin1String("/") || isSystemFolder(folder))
        return true;
    return folderItself && folder.lastIndexOf(QLatin1Char('/')) == 0; // its name lies in the root
}

} // namespace

bool RenamesSystemEntries(const QString& folder, bool folderItself)
{
    if (folder.isEmpty())
        return false;
    if (renamesSystemEntries(folder, folderItself))
        return true;
    char resolved[PATH_MAX];
    if (!::realpath(EncodeName(folder).constData(), resolved))
        return false;
    return renamesSystemEntries(DecodeName(resolved), folderItself);
}

} // namespace orvel
