// The file system on Linux: folders held by handle, names as bytes, renames that never replace anything.
#include "platform/FileSystem.h"

#include "platform/FileSystemTraits.h"
#include "platform/FolderNames.h"
#include "platform/FolderStream.h"
#include "platform/NameCodec.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace orvel {

namespace {

QByteArray encode(const QString& text)
{
    return EncodeName(text);
}

// A name that stays inside its folder: not empty, not "." or "..", no separator and no
// NUL (which would cut the name short at the system call).
bool isPlainName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// A name as a system call takes it: copied, with the NUL after it, onto the stack. No
// folder holds a longer name than NAME_MAX bytes; one is refused as the system refuses it.
class SystemName {
public:
    explicit SystemName(QByteArrayView name)
        : m_error(!isPlainName(name)           ? EINVAL
                      : name.size() > NAME_MAX ? ENAMETOOLONG
                                               : 0)
    {
        if (m_error == 0) {
            std::memcpy(m_bytes, name.data(), size_t(name.size()));
            m_bytes[name.size()] = 0;
        }
    }
    // 0, or the error of a name the system would refuse.
    int error() const { return m_error; }
    const char* get() const { return m_bytes; }

private:
    int m_error;
    char m_bytes[NAME_MAX + 1];
};

int renameNoReplace(int dir, const char* from, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(dir, from, dir, to, RENAME_NOREPLACE);
#else
    return static_cast<int>(::syscall(SYS_renameat2, dir, from, dir, to, RENAME_NOREPLACE));
#endif
}

// One step of a rename inside the folder `dir` that never replaces anything. Returns 0
// or the errno value.
int moveWithoutReplacing(int dir, const char* from, const char* to)
{
    if (renameNoReplace(dir, from, to) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;

    // The file system does not take the flag (FUSE exFAT and NTFS, some network file
    // systems), or the kernel does not know the call. A hard link cannot land on an
    // existing name, so link-then-unlink is a rename that never replaces, for anything
    // but a folder.
    struct stat st;
    if (::fstatat(dir, from, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::linkat(dir, from, dir, to, 0) == 0) {
            if (::unlinkat(dir, from, 0) == 0)
                return 0;
            const int unlinkError = errno;
            ::unlinkat(dir, to, 0); // two names for one file: drop the new one again
            return unlinkError;
        }
        const int linkError = errno;
        if (linkError != EPERM && linkError != EOPNOTSUPP && linkError != ENOSYS && linkError != EMLINK)
            return linkError; // EEXIST and real failures end here
    }

    // Folders, and files on file systems without hard links (exFAT): a plain rename,
    // right after making sure that nothing answers to the new name.
    if (::fstatat(dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    if (::renameat(dir, from, dir, to) == 0)
        return 0;
    return errno;
}

// What a listing shows of an entry; Missing for what it leaves out.
EntryType typeOf(int dir, const char* name, unsigned char direntType)
{
    struct stat st;
    switch (direntType) {
    case DT_REG: return EntryType::File;
    case DT_DIR: return EntryType::Folder;
    case DT_LNK: break;
    case DT_UNKNOWN: // file systems that leave the type open
        if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryType::Missing; // vanished since the folder was read
        if (S_ISREG(st.st_mode))
            return EntryType::File;
        if (S_ISDIR(st.st_mode))
            return EntryType::Folder;
        if (!S_ISLNK(st.st_mode))
            return EntryType::Missing;
        break;
    default: return EntryType::Missing; // sockets, FIFOs, devices
    }
    if (::fstatat(dir, name, &st, 0) != 0)
        return EntryType::Missing; // dangling
    if (S_ISREG(st.st_mode))
        return EntryType::File;
    return S_ISDIR(st.st_mode) ? EntryType::FolderLink : EntryType::Missing;
}

// A folder handle is only a place (O_PATH): it needs no permission on the folder, so
// a folder that cannot be read is still renamed in and renamed.
constexpr int kFolderHandle = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The descriptor opened, with the identity of what it holds and the traits of its file
// system. A folder opened inside `parent` on the parent's own mount has the parent's: the
// parent, held open, keeps that mount and its number from going. Asking the system costs a
// round trip for each folder a walk enters on a network or FUSE file system.
FolderHandle handleOf(int fd, QString path, const FolderHandle* parent = nullptr)
{
    struct statx st;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &st) != 0)
        return FolderHandle(fd, std::move(path));
    const quint64 mount = (st.stx_mask & STATX_MNT_ID) != 0 ? st.stx_mnt_id : 0;
    const bool sameMount = parent && parent->traits() && mount != 0 && mount == parent->mount();
    return FolderHandle(fd, std::move(path),
                        FileId{quint64(makedev(st.stx_dev_major, st.stx_dev_minor)), quint64(st.stx_ino)}, mount,
                        sameMount ? *parent->traits() : TraitsOf(fd));
}

// The traits the handle brought, or the system's answer for one opened elsewhere.
FileSystemTraits traitsOf(const FolderHandle& folder)
{
    return folder.traits() ? *folder.traits() : TraitsOf(folder.descriptor());
}

class PosixFileSystem final : public FileSystem {
public:
    FolderHandle openFolder(const QString& path, int* error) const override
    {
        const QByteArray bytes = encode(path);
        if (bytes.isEmpty() || bytes.contains('\0'))
            return fail(error, ENOENT);
        const int fd = ::open(bytes.constData(), kFolderHandle);
        if (fd < 0)
            return fail(error, errno);
        return handleOf(fd, path);
    }

    FolderHandle openSubFolder(const FolderHandle& parent, QByteArrayView name, int* error) const override
    {
        const SystemName bytes(name);
        if (!parent.isOpen())
            return fail(error, EINVAL);
        if (const int refused = bytes.error())
            return fail(error, refused);
        const int fd = ::openat(parent.descriptor(), bytes.get(), kFolderHandle | O_NOFOLLOW);
        if (fd < 0)
            return fail(error, errno);
        const QChar separator = u'/';
        const QString text = DecodeName(name);
        return handleOf(fd, parent.path().endsWith(separator) ? parent.path() + text : parent.path() + separator + text,
                        &parent);
    }

    Listing listFolder(const FolderHandle& folder, const EntrySink& each, bool withHidden) const override
    {
        Listing listing;
        DIR* stream = folder.isOpen() ? OpenFolderStream(folder.descriptor()) : nullptr;
        if (!stream) {
            listing.error = folder.isOpen() ? errno : EBADF;
            return listing;
        }
        const int dir = folder.descriptor();
        const bool serials = traitsOf(folder).listsTrueNumbers;
        for (;;) {
            errno = 0; // readdir reports its errors only this way
            const dirent* entry = ::readdir(stream);
            if (!entry) {
                listing.error = errno;
                break;
            }
            const char* raw = entry->d_name;
            if (raw[0] == '.' && (!withHidden || raw[1] == 0 || (raw[1] == '.' && raw[2] == 0) || IsTemporaryName(raw)))
                continue;
            const EntryType type = typeOf(dir, raw, entry->d_type);
            if (type != EntryType::Missing)
                each(QByteArrayView(raw, qsizetype(std::strlen(raw))), type,
                     serials && type == EntryType::File && entry->d_type == DT_REG ? quint64(entry->d_ino) : 0);
        }
        ::closedir(stream);
        return listing;
    }

    int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                 const TemporaryNotice& beforeTemporary = {}) override
    {
        const SystemName from(oldName), to(newName);
        if (!folder.isOpen())
            return EBADF;
        if (const int refused = from.error() ? from.error() : to.error())
            return refused;
        const int dir = folder.descriptor();
        if (oldName == newName) {
            // Nothing to change; the entry must still be there, though.
            struct stat st;
            return ::fstatat(dir, from.get(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
        }
        const int error = moveWithoutReplacing(dir, from.get(), to.get());
        if (error == 0)
            m_names.renamed(dir, oldName, newName);
        if (error != EEXIST || DecodeName(oldName).compare(DecodeName(newName), Qt::CaseInsensitive) != 0
            || !sameEntry(folder, oldName, newName))
            return error;
        const QByteArray temporary = NewTemporaryName();
        if (beforeTemporary)
            beforeTemporary(temporary);
        const int caseError = RenameThroughTemporary(oldName.toByteArray(), newName.toByteArray(), temporary,
                                                     [dir](const QByteArray& a, const QByteArray& b) {
                                                         return moveWithoutReplacing(dir, a.constData(), b.constData());
                                                     });
        if (caseError == 0)
            m_names.renamed(dir, oldName, newName);
        return caseError;
    }

    int identify(const FolderHandle& folder, QByteArrayView name, EntryIdentity* identity) const override
    {
        const SystemName bytes(name);
        if (!folder.isOpen())
            return EBADF;
        if (const int refused = bytes.error())
            return refused;
        struct statx st;
        if (::statx(folder.descriptor(), bytes.get(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &st) != 0)
            return errno;
        const qint64 born =
            (st.stx_mask & STATX_BTIME) != 0 ? qint64(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec : 0;
        *identity = {quint64(makedev(st.stx_dev_major, st.stx_dev_minor)), quint64(st.stx_ino), born};
        return 0;
    }

    int listedAs(const FolderHandle& folder, QByteArrayView name, QByteArray* listed) const override
    {
        if (!folder.isOpen())
            return EBADF;
        return m_names.listedAs(folder.descriptor(), folder.opening(), name, listed);
    }

    EntryType entryType(const QString& path) const override
    {
        const QByteArray bytes = encode(path);
        if (bytes.isEmpty() || bytes.contains('\0'))
            return EntryType::Missing;
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
        return S_ISREG(st.st_mode) ? EntryType::File : S_ISDIR(st.st_mode) ? EntryType::FolderLink : EntryType::Other;
    }

    int mayRename(const FolderHandle& folder, QByteArrayView name) const override
    {
        struct stat dir, entry;
        if (!folder.isOpen())
            return EBADF;
        // The handle is only a place; the folder it holds is judged through /proc, with
        // the process's effective rights, as the rename itself would be. A plan asks
        // once per entry: the answer is kept for the handle it was asked through, which a
        // run holds while it plans in that folder.
        thread_local struct {
            quint64 opening = 0;
            int error = -1;
            mode_t mode = 0;
            uid_t owner = 0;
        } last;
        if (last.error < 0 || last.opening != folder.opening()) {
            if (::fstat(folder.descriptor(), &dir) != 0)
                return EBADF;
            const std::string self = "/proc/self/fd/" + std::to_string(folder.descriptor());
            last = {folder.opening(),
                    ::faccessat(AT_FDCWD, self.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && errno != ENOENT ? errno : 0,
                    dir.st_mode, dir.st_uid};
        }
        if (last.error != 0)
            return last.error;
        if ((last.mode & S_ISVTX) == 0 || ::geteuid() == 0 || last.owner == ::geteuid())
            return 0;
        // In a sticky folder (/tmp) only an entry's owner renames it.
        const SystemName bytes(name);
        if (const int refused = bytes.error())
            return refused;
        if (::fstatat(folder.descriptor(), bytes.get(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return errno;
        return entry.st_uid == ::geteuid() ? 0 : EPERM;
    }

private:
    static FolderHandle fail(int* error, int value)
    {
        if (error)
            *error = value;
        return {};
    }

    // The new name "exists" and differs from the old one only in letter case. It is
    // the same entry only when the folder's own listing holds the old name but not
    // the new one byte for byte: a file system that ignores case (FAT, exFAT, SMB,
    // case-folding ext4) answers the new name with the old entry. Where both names
    // stand in the listing they are two entries, also when both lead to one file
    // (hard links): neither is ever touched.
    bool sameEntry(const FolderHandle& folder, QByteArrayView from, QByteArrayView to)
    {
        const int dir = folder.descriptor();
        QByteArray listed;
        return m_names.listedAs(dir, folder.opening(), from, &listed) == 0 && listed == from
            && m_names.listedAs(dir, folder.opening(), to, &listed) == 0 && listed != to;
    }

    VolumeKind volumeKind(const FolderHandle& folder) const override
    {
        return folder.isOpen() ? traitsOf(folder).kind : VolumeKind::Local;
    }

    mutable FolderNames m_names;
};

} // namespace

FolderHandle::~FolderHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_id(std::exchange(other.m_id, {}))
    , m_mount(std::exchange(other.m_mount, 0))
    , m_traits(std::exchange(other.m_traits, std::nullopt))
    , m_opening(std::exchange(other.m_opening, 0))
{
}

quint64 FolderHandle::NextOpening()
{
    static std::atomic<quint64> last = 0;
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_id = std::exchange(other.m_id, {});
        m_mount = std::exchange(other.m_mount, 0);
        m_traits = std::exchange(other.m_traits, std::nullopt);
        m_opening = std::exchange(other.m_opening, 0);
    }
    return *this;
}

FileSystemTraits TraitsOf(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return {};
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53: // ext2, ext3, ext4
    case 0x58465342: // XFS
    case 0x01021994: // tmpfs
        return {true, true, VolumeKind::Local};
    case 0x9123683E: // Btrfs: its copies on write may want space when a page is written
    case 0xF2F52010: // F2FS
        return {true, false, VolumeKind::Local};
    case 0x4D44: // FAT
    case 0x2011BAB0: // exFAT
        return {false, false, VolumeKind::OneRenameAtATime};
    case 0x6969: // NFS
    case 0x517B: // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x65735546: // FUSE: sshfs, FUSE exFAT and NTFS, ...
    case 0x00C36400: // Ceph
    case 0x01021997: // 9P
    case 0x6B414653: // AFS
        return {false, false, VolumeKind::Remote};
    default: return {};
    }
}

FileSystem& hostFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

} // namespace orvel
