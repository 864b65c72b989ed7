#include "platform/FileSystem.h"
#include "platform/Wildcard.h"

#include <QByteArray>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace orvel {

namespace {

// Names on disk are bytes; the program shows them as UTF-8. A byte sequence that is
// not UTF-8 comes out with U+FFFD in its place, and that text no longer names the
// entry: encoding it again gives other bytes.
QByteArray encode(const QString& path) { return path.toUtf8(); }

// A path that cannot stand for the bytes on disk. U+FFFD means a listed name whose
// bytes were not UTF-8: renaming "a\uFFFD.txt" would ask for a file that does not
// exist, or worse, create a name the user never had. A NUL would cut the path short
// at the system call and rename onto a shorter name.
bool unrepresentable(const QString& path)
{
    return path.contains(QChar(QChar::ReplacementCharacter)) || path.contains(QChar(0));
}

int renameNoReplace(const char* from, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#endif
}

// One step of a rename that never replaces anything. Returns 0 or the errno value.
int moveWithoutReplacing(const char* from, const char* to)
{
    if (renameNoReplace(from, to) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;

    // The file system does not take the flag (FUSE exFAT and NTFS, some network file
    // systems), or the kernel does not know the call. A hard link cannot land on an existing name, so link-then-unlink is
    // a rename that never replaces, for anything but a folder.
    struct stat st;
    if (::lstat(from, &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from, to) == 0) {
            if (::unlink(from) == 0)
                return 0;
            const int unlinkError = errno;
            ::unlink(to); // two names for one file: drop the new one again
            return unlinkError;
        }
        const int linkError = errno;
        if (linkError != EPERM && linkError != EOPNOTSUPP && linkError != ENOSYS && linkError != EMLINK)
            return linkError; // EEXIST and real failures end here
    }

    // Folders, and files on file systems without hard links (exFAT): a plain rename,
    // right after making sure that nothing answers to the new name.
    if (::lstat(to, &st) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    if (::rename(from, to) == 0)
        return 0;
    return errno;
}

// Splits "dir/name" at the last '/'; a name without folder lies in ".".
void splitLast(const QByteArray& path, QByteArray& folder, QByteArray& name)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        folder = QByteArrayLiteral(".");
        name = path;
    } else {
        folder = slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
        name = path.mid(slash + 1);
    }
}

// Whether the folder's own listing holds each of the two names, byte for byte. A
// lookup by name cannot tell this on a file system that ignores case: there both
// names answer.
bool listingHolds(const QByteArray& folder, const QByteArray& name1, const QByteArray& name2,
                  bool& has1, bool& has2)
{
    has1 = has2 = false;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (name1 == entry->d_name)
            has1 = true;
        else if (name2 == entry->d_name)
            has2 = true;
    }
    ::closedir(dir);
    return true;
}

EntryType typeOfTarget(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return EntryType::File;
    if (S_ISDIR(st.st_mode))
        return EntryType::FolderLink;
    return EntryType::Other;
}

class PosixFileSystem final : public FileSystem {
public:
    std::optional<QList<DirEntry>> list(const QString& folder, const QString& pattern,
                                        bool withFolders) const override
    {
        if (folder.isEmpty() || unrepresentable(folder))
            return std::nullopt;
        const int fd = ::open(encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return std::nullopt;
        }

        const Wildcard wildcard(pattern);
        QList<DirEntry> entries;
        int readError = 0;
        for (;;) {
            errno = 0; // readdir reports its errors only this way
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                readError = errno;
                break;
            }
            const char* raw = entry->d_name;
            if (raw[0] == '.') // hidden, and "." and ".."
                continue;

            // The type from the directory itself costs nothing; only links and file
            // systems that leave it open need a look at the entry.
            EntryType type;
            switch (entry->d_type) {
            case DT_REG: type = EntryType::File; break;
            case DT_DIR: type = EntryType::Folder; break;
            case DT_LNK:
            case DT_UNKNOWN: type = EntryType::Missing; break; // decided below
            default: continue; // sockets, FIFOs, devices
            }
            if (type == EntryType::Folder && !withFolders)
                continue;

            QString name = QString::fromUtf8(raw, qsizetype(std::strlen(raw)));
            if (!wildcard.matches(name))
                continue;

            if (type == EntryType::Missing) {
                struct stat st;
                if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // vanished since the directory was read
                if (S_ISLNK(st.st_mode)) {
                    if (::fstatat(fd, raw, &st, 0) != 0)
                        continue; // dangling
                    type = typeOfTarget(st);
                } else if (S_ISREG(st.st_mode)) {
                    type = EntryType::File;
                } else if (S_ISDIR(st.st_mode)) {
                    type = EntryType::Folder;
                } else {
                    continue;
                }
                if (type == EntryType::Other || (type != EntryType::File && !withFolders))
                    continue;
            }
            entries.append(DirEntry{std::move(name), type});
        }
        ::closedir(dir);
        if (readError != 0)
            return std::nullopt; // a listing cut short is no listing
        return entries;
    }

    EntryType entryType(const QString& path) const override
    {
        if (path.isEmpty() || unrepresentable(path))
            return EntryType::Missing;
        const QByteArray bytes = encode(path);
        struct stat st;
        if (::lstat(bytes.constData(), &st) != 0)
            return EntryType::Missing;
        if (S_ISREG(st.st_mode))
            return EntryType::File;
        if (S_ISDIR(st.st_mode))
            return EntryType::Folder;
        if (!S_ISLNK(st.st_mode))
            return EntryType::Other;
        if (::stat(bytes.constData(), &st) != 0)
            return EntryType::Other; // dangling
        return typeOfTarget(st);
    }

    bool rename(const QString& oldPath, const QString& newPath) override
    {
        if (oldPath.isEmpty() || newPath.isEmpty() || unrepresentable(oldPath) || unrepresentable(newPath))
            return false;
        const QByteArray from = encode(oldPath);
        if (oldPath == newPath) {
            // Nothing to change; the entry must still be there, though.
            struct stat st;
            return ::lstat(from.constData(), &st) == 0;
        }
        const QByteArray to = encode(newPath);
        const int error = moveWithoutReplacing(from.constData(), to.constData());
        if (error == 0)
            return true;
        if (error != EEXIST || oldPath.compare(newPath, Qt::CaseInsensitive) != 0)
            return false;
        return renameCaseOnly(from, to);
    }

private:
    // The new name "exists" and differs from the old only in letter case. If the
    // folder stores the old name but not the new one, the file system is matching
    // the new name to the old entry without regard to case (FAT, exFAT, SMB,
    // case-folding ext4) and refuses the change of case: go round through a name of
    // our own in the same folder.
    static bool renameCaseOnly(const QByteArray& from, const QByteArray& to)
    {
        QByteArray folder, oldName, newFolder, newName;
        splitLast(from, folder, oldName);
        splitLast(to, newFolder, newName);
        if (folder != newFolder || oldName.isEmpty() || newName.isEmpty())
            return false;
        bool hasOld = false, hasNew = false;
        if (!listingHolds(folder, oldName, newName, hasOld, hasNew) || !hasOld || hasNew)
            return false; // a real second entry: never touch it

        // Hidden (a leading dot) so no listing of ours shows it, and named after the
        // program and process so that anyone who finds one left by a crash knows it.
        static std::atomic<unsigned> counter{0};
        const QByteArray prefix = folder == "/" ? QByteArray("/") : folder + '/';
        const QByteArray temp = prefix + ".orvel-rename-" + QByteArray::number(::getpid()) + '-'
            + QByteArray::number(counter++) + ".tmp";
        if (moveWithoutReplacing(from.constData(), temp.constData()) != 0)
            return false;
        if (moveWithoutReplacing(temp.constData(), to.constData()) == 0)
            return true;
        moveWithoutReplacing(temp.constData(), from.constData()); // put the old name back
        return false;
    }
};

} // namespace

FileSystem& hostFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

} // namespace orvel
