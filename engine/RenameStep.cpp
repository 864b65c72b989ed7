// The one way an entry is renamed: the journal told first, two steps where letter case is
// ignored, and the reason when the name is not changed.
#include "engine/RenameStep.h"

#include "engine/JournalWriter.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

namespace orvel {

int RenameStep(FileSystem& fs, const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
               JournalWriter* journal, quint64 serial)
{
    bool journaled = false;
    FileSystem::TemporaryNotice notice;
    if (journal && oldName != newName && !journal->isBroken()) {
        // What cannot be identified cannot be renamed either: that rename fails below. A
        // number from the listing comes without a birth time: the journal's folder record
        // stands in for it (the entry was born before its folder was listed).
        EntryIdentity identity{folder.id().device, serial, 0};
        if ((serial != 0 && !folder.id().isNull()) || fs.identify(folder, oldName, &identity) == 0) {
            journal->willRename(oldName, newName, identity);
            journaled = true;
            notice = [journal](QByteArrayView temporary) { journal->willPassThrough(temporary); };
        }
    }
    const int error = RenameStep(fs, folder, oldName, newName, notice);
    if (journaled)
        journal->renamed(error);
    return error;
}

int RenameStep(FileSystem& fs, const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
               const std::function<void(QByteArrayView temporary)>& beforeTemporary)
{
    return fs.renameIn(folder, oldName, newName, beforeTemporary);
}

bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const FolderHandle& folder, const QString& folderPath,
                QByteArrayView oldName, QByteArrayView newName, const PathSyntax& syntax, JournalWriter* journal,
                quint64 serial)
{
    const int error = RenameStep(fs, folder, oldName, newName, journal, serial);
    if (error != 0)
        notChanged.append({JoinPath(folderPath, DecodeName(oldName), syntax), ErrorText(error)});
    return error == 0;
}

bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const QString& oldPath, const QString& newPath)
{
    const int error = fs.rename(oldPath, newPath);
    if (error != 0)
        notChanged.append({oldPath, ErrorText(error)});
    return error == 0;
}

std::optional<QString> RenameLastComponent(const QString& folderPath, const CaseRules& rules, FileSystem& fs,
                                           QList<NotChanged>& notChanged, const PathSyntax& syntax,
                                           JournalWriter* journal)
{
    const qsizetype last = folderPath.lastIndexOf(syntax.separator);
    if (last < 0 || rules.style == CaseStyle::None)
        return std::nullopt;
    const QString name = folderPath.mid(last + 1);
    const QString newPath = folderPath.left(last + 1) + ConvertFolderName(name, rules);
    if (newPath == folderPath || !journal) {
        if (!RenameFile(fs, notChanged, folderPath, newPath) || newPath == folderPath)
            return std::nullopt;
        return newPath;
    }
    // Through the parent's handle, so that the journal knows the entry it renamed.
    const QString parentPath = folderPath.left(qMax<qsizetype>(last, syntax.rootLength));
    int error = 0;
    const FolderHandle parent = fs.openFolder(parentPath, &error);
    if (!parent.isOpen()) {
        notChanged.append({folderPath, ErrorText(error)});
        return std::nullopt;
    }
    journal->inOutsideFolder(parentPath);
    if (!RenameFile(fs, notChanged, parent, parentPath, EncodeName(name),
                    EncodeName(QStringView(newPath).sliced(last + 1)), syntax, journal))
        return std::nullopt;
    return newPath;
}

} // namespace orvel
