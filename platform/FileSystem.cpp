// File-system calls built on those each platform provides, and the names a two-step rename passes through.
#include "platform/FileSystem.h"

#include "platform/NameCodec.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

namespace orvel {

namespace {

const QByteArray kTemporaryPrefix = QByteArrayLiteral(".orvel~");
constexpr int kTemporaryTagLength = 12;

// "dir/name" split at the last '/'; the root keeps its '/' ("/name" lies in "/").
bool splitLast(const QString& path, QString& folder, QString& name)
{
    const qsizetype cut = path.lastIndexOf(u'/');
    if (cut < 0)
        return false;
    folder = path.left(cut < 1 ? 1 : cut);
    name = path.mid(cut + 1);
    return true;
}

} // namespace

std::optional<QList<DirEntry>> FileSystem::list(const QString& path, bool withFolders) const
{
    const FolderHandle folder = openFolder(path);
    if (!folder.isOpen())
        return std::nullopt;
    QList<DirEntry> entries;
    const Listing listing = listFolder(
        folder,
        [&](QByteArrayView name, EntryType type, quint64) {
            if (withFolders || type == EntryType::File)
                entries.append(DirEntry{DecodeName(name), type});
        },
        false);
    if (listing.error != 0)
        return std::nullopt;
    return entries;
}

int FileSystem::rename(const QString& oldPath, const QString& newPath)
{
    if (oldPath == newPath) // a root has no name to hand to renameIn
        return entryType(oldPath) == EntryType::Missing ? ENOENT : 0;
    QString folder, oldName, newFolder, newName;
    if (!splitLast(oldPath, folder, oldName) || !splitLast(newPath, newFolder, newName) || folder != newFolder)
        return EINVAL;
    int error = 0;
    const FolderHandle handle = openFolder(folder, &error);
    if (!handle.isOpen())
        return error;
    return renameIn(handle, EncodeName(oldName), EncodeName(newName));
}

int FileSystem::mayRename(const FolderHandle&, QByteArrayView) const
{
    return 0;
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool IsNoLongerAFolder(int error)
{
    return error == ELOOP || error == ENOTDIR;
}

bool IsOutOfOpenFiles(int error)
{
    return error == EMFILE || error == ENFILE;
}

const int FolderChanged = ESTALE;

QByteArray NewTemporaryName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = kTemporaryPrefix;
    for (int i = 0; i < kTemporaryTagLength; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)];
    return name;
}

bool IsTemporaryName(QByteArrayView name)
{
    return name.size() == kTemporaryPrefix.size() + kTemporaryTagLength && name.startsWith(kTemporaryPrefix);
}

int RenameThroughTemporary(const QByteArray& from, const QByteArray& to, const QByteArray& temporary,
                           const std::function<int(const QByteArray&, const QByteArray&)>& move)
{
    if (const int error = move(from, temporary))
        return error;
    const int error = move(temporary, to);
    if (error != 0)
        move(temporary, from); // should this fail too, the journal knows both names
    return error;
}

} // namespace orvel
