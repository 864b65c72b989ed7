// Finding the system's folders and the users' homes, by path and by identity.

#include "platform/SystemFolders.h"

#include "platform/NameCodec.h"

#include <QDir>
#include <QStringList>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

const QStringList kSystemFolders{"/bin", "/boot", "/dev", "/etc", "/opt", "/proc",
                                 "/run", "/sbin", "/srv", "/sys", "/usr", "/var"};

bool isSystemFolder(const QString& path)
{
    const QStringList& system = kSystemFolders;
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

// What the folder at `path` is, its links followed; null when it cannot be reached. An
// automounted home that is not mounted is not mounted for it: it cannot be inside a
// tree then, and mounting every home of a large password database would take long.
FileId identityOf(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || ::fstatat(AT_FDCWD, EncodeName(path).constData(), &st, AT_NO_AUTOMOUNT) != 0
        || !S_ISDIR(st.st_mode))
        return {};
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

} // namespace

SystemFolders::SystemFolders(const QStringList& system, const QStringList& homes)
{
    for (const QString& home : homes)
        if (const FileId id = identityOf(home); !id.isNull())
            m_roles.insert(id, FolderRole::Home);
    // A home that is a system folder too (a service's, such as /bin) is a system folder.
    for (const QString& folder : system)
        if (const FileId id = identityOf(folder); !id.isNull())
            m_roles.insert(id, FolderRole::System);
}

SystemFolders SystemFolders::host()
{
    QStringList system = kSystemFolders;
    system << QStringLiteral("/");
    for (const QString& lib : QDir(QStringLiteral("/")).entryList({QStringLiteral("lib*")}, QDir::Dirs))
        system << QLatin1Char('/') + lib;
    QStringList homes{qEnvironmentVariable("HOME")};
    // This user's entry may come from a directory service that lists no one.
    if (const passwd* self = ::getpwuid(::getuid()))
        homes << DecodeName(self->pw_dir);
    ::setpwent();
    while (const passwd* user = ::getpwent())
        homes << DecodeName(user->pw_dir);
    ::endpwent();
    return SystemFolders(system, homes);
}

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
