#pragma once

#include "platform/PathSyntax.h"

#include <QString>
#include <QStringList>

namespace orvel {

class FileSystem;

// Module DirRecurse: the searches that find what a rename run works on.
//
// All of them only append to `result`, full paths built as the normalised folder,
// one separator and the name. Names come in the order the file system lists them;
// nothing is sorted. Hidden and system entries never appear, hidden folders are
// never entered, and neither is a symbolic link to a folder (it is neither a file
// nor a folder of the tree: a link loop cannot trap a walk, and a run never
// renames through a link into another tree). Errors are skipped silently: an
// unreadable folder contributes nothing. A folder's listing is complete before
// anything else is listed. Once CancelRequested is set, every loop stops at its
// next test and what was appended stays.

// Trims trailing separators and folds doubled ones, for a path of `syntax`:
// 1. longer than the designator: separators are removed from the end, one at a
//    time, as long as it ends in one (a root "C:\" becomes its designator "C:",
//    "/" becomes ""); then every '/' becomes the separator;
// 2. still longer than the designator: past the designator's characters, each
//    pair of consecutive separators becomes one, in one left-to-right pass
//    ("\\server\share" keeps its two leading backslashes; a run of three becomes
//    two). POSIX has no designator, so a leading "//" folds to "/" as well, and the
//    same one pass leaves "/a///b" as "/a//b", which still names the same folder.
QString NormalizePath(const QString& path, const PathSyntax& syntax = PathSyntax::host());

// The files of this one folder that match `patterns`, a list of wildcard patterns
// separated by ";" (kept as they stand; an empty item matches nothing), item after
// item: a file matching two items comes twice. Never yields.
void FindFiles(QStringList& result, const QString& folder, const QString& patterns, const FileSystem& fs,
               const PathSyntax& syntax = PathSyntax::host());

// The matching files of the folder and of every folder below it, depth first in
// pre-order: a folder's own files, then its first sub-folder's tree, and so on.
// Yields to the event loop once per folder, after its own files are found. Started
// with CancelRequested already set, it appends nothing.
void FindFilesRecursive(QStringList& result, const QString& folder, const QString& patterns,
                        const FileSystem& fs, const PathSyntax& syntax = PathSyntax::host());

// The folder itself and every folder below it, in pre-order, each without a
// trailing separator. Yields once per folder, right after appending it. Started
// with CancelRequested already set, it appends the start folder alone.
//
// A root comes out as its designator: "C:" for "C:\", and for "/" the empty text,
// followed by "/name" for each folder below (never "//name"). The empty text has no
// separator, so renaming its last component renames nothing, just as for "C:".
void FindFolders(QStringList& result, const QString& folder, const FileSystem& fs,
                 const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
