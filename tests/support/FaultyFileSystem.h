#pragma once

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <QTest>

#include <cerrno>
#include <functional>
#include <mutex>
#include <optional>
#include <tuple>

namespace orvel {

// Passes every call on to a real file system, but refuses what a test tells it to
// (a rename refused by a program holding the file open, a listing that fails part
// way: faults a test running as root cannot produce), runs a test's code just before
// a rename, a listing or the entering of a folder (so that entries can vanish, appear
// or be swapped mid-run), and records the calls it saw; listings come sorted by name. With `root` set, absolute
// paths are served from below that folder, so a run can start at "/" harmlessly. Safe
// to call from several threads: one call at a time goes through, with its test code.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner = hostFileSystem())
        : m_inner(inner)
    {
    }

    QSet<QString> refusedRenames; // old paths whose rename fails
    QSet<QString> failedListings; // folders whose listing fails after delivering its entries
    QString root;
    std::optional<VolumeKind> volume; // what it says of the kind of file system, when set
    bool ignoresCase = false; // entries are found under any case of their names' letters
    std::function<void(const QString& oldPath, const QString& newPath)> beforeRename;
    std::function<void(const QString& folder)> beforeList;
    std::function<void(const QString& folder)> beforeEnter;

    // What was asked, in order.
    mutable QStringList listings; // folders listed (also the failed ones)
    QList<QPair<QString, QString>> renames; // (old, new), also the refused ones

    FolderHandle openFolder(const QString& path, int* error = nullptr) const override
    {
        const std::lock_guard lock(m_lock);
        return m_inner.openFolder(real(path), error).withPath(path);
    }

    FolderHandle openSubFolder(const FolderHandle& parent, QByteArrayView name, int* error = nullptr) const override
    {
        const std::lock_guard lock(m_lock);
        if (beforeEnter)
            beforeEnter(join(parent.path(), DecodeName(name)));
        return m_inner.openSubFolder(parent, name, error);
    }

    Listing listFolder(const FolderHandle& folder, const EntrySink& each, bool withHidden) const override
    {
        const std::lock_guard lock(m_lock);
        listings.append(folder.path());
        if (beforeList)
            beforeList(folder.path());
        // By name, so that a test knows which of two folders the walk comes to first.
        QList<std::tuple<QString, EntryType, quint64>> entries;
        Listing listing = m_inner.listFolder(
            folder,
            [&](QByteArrayView name, EntryType type, quint64 serial) {
                entries.append({DecodeName(name), type, serial});
            },
            withHidden);
        std::sort(entries.begin(), entries.end());
        for (const auto& [name, type, serial] : std::as_const(entries))
            each(EncodeName(name), type, serial);
        if (failedListings.contains(folder.path()))
            listing.error = EIO;
        return listing;
    }

    int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                 const TemporaryNotice& beforeTemporary = {}) override
    {
        const std::lock_guard lock(m_lock);
        const QString oldPath = join(folder.path(), DecodeName(oldName));
        const QString newPath = join(folder.path(), DecodeName(newName));
        renames.append({oldPath, newPath});
        if (beforeRename)
            beforeRename(oldPath, newPath);
        if (refusedRenames.contains(oldPath))
            return EBUSY;
        return m_inner.renameIn(folder, oldName, newName, beforeTemporary);
    }

    int identify(const FolderHandle& folder, QByteArrayView name, EntryIdentity* identity) const override
    {
        int error = m_inner.identify(folder, name, identity);
        if (error == ENOENT && ignoresCase)
            m_inner.listFolder(
                folder,
                [&](QByteArrayView other, EntryType, quint64) {
                    if (error == ENOENT && DecodeName(other).compare(DecodeName(name), Qt::CaseInsensitive) == 0)
                        error = m_inner.identify(folder, other, identity);
                },
                true);
        return error;
    }

    int listedAs(const FolderHandle& folder, QByteArrayView name, QByteArray* listed) const override
    {
        return m_inner.listedAs(folder, name, listed);
    }

    EntryType entryType(const QString& path) const override { return m_inner.entryType(real(path)); }

    VolumeKind volumeKind(const FolderHandle& folder) const override
    {
        return volume.value_or(m_inner.volumeKind(folder));
    }

    int mayRename(const FolderHandle& folder, QByteArrayView name) const override
    {
        return m_inner.mayRename(folder, name);
    }

    // `folder` and `name` joined as the runs join them.
    static QString join(const QString& folder, const QString& name)
    {
        return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
    }

private:
    QString real(const QString& path) const
    {
        if (root.isEmpty() || !path.startsWith(u'/'))
            return path;
        return path == QLatin1String("/") ? root : root + path;
    }

    FileSystem& m_inner;
    mutable std::recursive_mutex m_lock;
};

} // namespace orvel
