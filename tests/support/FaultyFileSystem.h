#pragma once

#include "platform/FileSystem.h"

#include <QPair>
#include <QSet>
#include <QStringList>
#include <functional>

namespace orvel {

// Passes every call on to a real file system, but refuses what a test tells it to
// (a rename refused by a program holding the file open, an unreadable folder: faults
// a test running as root cannot produce), runs a test's code just before a rename
// or a listing (so that entries can vanish or appear mid-run), and records the
// calls it saw.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner = hostFileSystem()) : m_inner(inner) {}

    QSet<QString> refusedRenames; // old paths whose rename fails
    QSet<QString> failedListings; // folders whose listing fails
    std::function<void(const QString& oldPath, const QString& newPath)> beforeRename;
    std::function<void(const QString& folder)> beforeList;

    // What was asked, in order.
    mutable QStringList listings;           // folders listed (also the failed ones)
    QList<QPair<QString, QString>> renames; // (old, new), also the refused ones

    std::optional<QList<DirEntry>> list(const QString& folder, const QString& pattern,
                                        bool withFolders) const override;
    EntryType entryType(const QString& path) const override;
    bool rename(const QString& oldPath, const QString& newPath) override;

private:
    FileSystem& m_inner;
};

} // namespace orvel
