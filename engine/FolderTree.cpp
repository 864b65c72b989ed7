#include "engine/FolderTree.h"

#include "engine/CaseConversion.h"
#include "engine/RunObserver.h"
#include "engine/RunOptions.h"
#include "platform/FileSystem.h"

namespace orvel {

QList<QStringView> FolderTree::Folder::sortedFiles() const
{
    QList<QStringView> names;
    names.reserve(fileCount);
    for (qsizetype from = 0; from < files.size();) {
        const qsizetype end = files.indexOf(QChar(0), from);
        names.append(QStringView(files).sliced(from, end - from));
        from = end + 1;
    }
    SortNames(names);
    return names;
}

namespace {

// A folder of the walk whose sub-folders are still to be entered.
struct OpenFolder {
    FolderHandle owned; // empty for the start folder,
    const FolderHandle* start; // which the caller holds
    int index;
    QStringList subfolders;
    qsizetype next = 0;

    const FolderHandle& handle() const { return start ? *start : owned; }
};

} // namespace

FolderTree FindTree(const FolderHandle& start, bool subfolders, const FileSystem& fs, RunObserver& observer,
                    EventPacer& pacer)
{
    FolderTree tree;
    // One listing gives the folder's files and, for the walk, its sub-folders; one that
    // fails part way is no listing at all.
    const auto listInto = [&](const FolderHandle& handle, int index, QStringList& folders) {
        QString files;
        qsizetype count = 0;
        const Listing listing = fs.listFolder(handle, [&](const QString& name, EntryType type) {
            if (type == EntryType::File) {
                files += name;
                files += QChar(0);
                ++count;
            } else if (type == EntryType::Folder && subfolders) {
                folders.append(name);
            }
            pacer.tick();
        });
        if (listing.error != 0) {
            folders.clear();
            return;
        }
        files.squeeze();
        tree.folders[size_t(index)].files = std::move(files);
        tree.folders[size_t(index)].fileCount = count;
        tree.fileCount += count;
    };

    tree.folders.push_back({});
    std::vector<OpenFolder> open;
    open.push_back({FolderHandle(), &start, 0, {}});
    if (start.isOpen())
        listInto(start, 0, open.back().subfolders);
    while (!open.empty()) {
        OpenFolder& top = open.back();
        if (top.next == top.subfolders.size()) {
            open.pop_back();
            continue;
        }
        pacer.tick();
        if (observer.cancelRequested()) {
            tree.cancelled = true;
            break;
        }
        const QString name = top.subfolders[top.next++];
        int error = 0;
        FolderHandle child = fs.openSubFolder(top.handle(), name, &error);
        if (!child.isOpen()) {
            if (IsNoLongerAFolder(error))
                tree.skipped.append({JoinPath(top.handle().path(), name), NotEnteredText(error)});
            continue;
        }
        const int index = int(tree.folders.size());
        tree.folders.push_back({name, top.index, tree.folders[size_t(top.index)].depth + 1, {}, 0});
        QStringList childFolders;
        listInto(child, index, childFolders);
        open.push_back({std::move(child), nullptr, index, std::move(childFolders)});
    }
    return tree;
}

} // namespace orvel
