#include "engine/DirRecurse.h"

#include "engine/CancelRequested.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>

namespace orvel {

namespace {

// Appends the sub-folders of `base` (a folder with its trailing separator) to
// `queue`. Links to folders stay out, so a walk never follows them. Names made of
// dots only ("." and "..") start with a dot and never come from a listing.
void collectSubFolders(QStringList& queue, const QString& base, const FileSystem& fs)
{
    if (CancelRequested)
        return;
    const auto entries = fs.list(base, QStringLiteral("*"), true);
    if (!entries)
        return;
    for (const DirEntry& entry : *entries) {
        if (entry.name.isEmpty() || CancelRequested)
            break;
        if (entry.type == EntryType::Folder)
            queue.append(base + entry.name);
    }
}

} // namespace

QString NormalizePath(const QString& path, const PathSyntax& syntax)
{
    const qsizetype keep = syntax.designatorLength;
    const QChar separator = syntax.separator;
    QString text = path;
    if (text.size() > keep) {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == separator)
            --end;
        text.truncate(end);
        if (separator != u'/')
            text.replace(u'/', separator);
    }
    if (text.size() <= keep)
        return text;

    QString result;
    result.reserve(text.size());
    result.append(QStringView(text).first(keep));
    const qsizetype n = text.size();
    for (qsizetype i = keep; i < n;) {
        if (text[i] == separator && i + 1 < n && text[i + 1] == separator) {
            result.append(separator);
            i += 2;
        } else {
            result.append(text[i++]);
        }
    }
    return result;
}

void FindFiles(QStringList& result, const QString& folder, const QString& patterns, const FileSystem& fs,
               const PathSyntax& syntax)
{
    const QStringList items =
        patterns.contains(u';') ? patterns.split(u';', Qt::KeepEmptyParts) : QStringList{patterns};
    const QString base = NormalizePath(folder, syntax) + syntax.separator;
    for (const QString& item : items) {
        if (CancelRequested)
            return;
        const auto entries = fs.list(base, item, false);
        if (!entries)
            continue;
        // The listing has typed every entry already; asking the file system again
        // for each file would double the cost of a large tree.
        for (const DirEntry& entry : *entries) {
            if (entry.name.isEmpty() || CancelRequested)
                break;
            if (entry.type == EntryType::File)
                result.append(base + entry.name);
        }
    }
}

namespace {

// The step both walks share once a folder is done: yield to the window (the cancel
// link is heard here), list the folder's sub-folders completely, then visit them in
// order until a cancel.
template <typename Visit>
void eachSubFolder(const QString& base, const FileSystem& fs, Visit visit)
{
    QCoreApplication::processEvents();
    QStringList queue;
    collectSubFolders(queue, base, fs);
    for (const QString& subFolder : std::as_const(queue)) {
        if (CancelRequested)
            return;
        visit(subFolder);
    }
}

} // namespace

void FindFilesRecursive(QStringList& result, const QString& folder, const QString& patterns,
                        const FileSystem& fs, const PathSyntax& syntax)
{
    const QString normalized = NormalizePath(folder, syntax);
    FindFiles(result, normalized, patterns, fs, syntax);
    eachSubFolder(normalized + syntax.separator, fs, [&](const QString& subFolder) {
        FindFilesRecursive(result, subFolder, patterns, fs, syntax);
    });
}

void FindFolders(QStringList& result, const QString& folder, const FileSystem& fs, const PathSyntax& syntax)
{
    const QString normalized = NormalizePath(folder, syntax);
    result.append(normalized);
    eachSubFolder(normalized + syntax.separator, fs, [&](const QString& subFolder) {
        FindFolders(result, subFolder, fs, syntax);
    });
}

} // namespace orvel
