// Every file-system call the program makes, behind one interface with one real implementation per platform.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace orvel {

enum class EntryType {
    Missing, // nothing there (or it could not be examined)
    File, // a regular file, or a link to one
    Folder, // a real folder
    FolderLink, // a symbolic link to a folder: listed, never entered by a walk
    Other, // sockets, FIFOs, devices, dangling links: the "system" entries
};

// Which entry a name leads to, as the system numbers it: two names with the same
// identity are one entry (hard links, or one name in another letter case where case is
// ignored). The birth time tells a new file from a deleted one whose number it took
// over; it is 0 where the file system keeps none.
struct EntryIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 born = 0; // nanoseconds since the epoch
    bool operator==(const EntryIdentity&) const = default;
};
// Which entry of which file system something is: what stays the same while its names
// change, and what tells a folder from another one put in its place.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool isNull() const { return device == 0 && inode == 0; }
    bool operator==(const FileId&) const = default;
};
inline size_t qHash(const FileId& id, size_t seed = 0)
{
    return qHashMulti(seed, id.device, id.inode);
}

// How renames on a file system pay off when several are in flight at once.
enum class VolumeKind {
    Local, // a local disk: renames in different folders overlap
    OneRenameAtATime, // FAT and exFAT: the volume takes one change at a time
    Remote, // a network or FUSE file system: each rename waits for a round trip
};

// What the program relies on of a file system, by its kind.
struct FileSystemTraits {
    // A folder's listing gives each entry the inode number that stat gives it (FAT and
    // exFAT make one up for the listing, FUSE may too, and a mount point shows what lies
    // under it).
    bool listsTrueNumbers = false;
    // Space reserved with fallocate stays reserved, so a page of a shared mapping inside it
    // can be written without a fault for want of space.
    bool keepsReservedSpace = false;
    // Several renames in flight at once: FAT and exFAT take one change of a volume at a
    // time; network and FUSE file systems answer each after a round trip.
    VolumeKind kind = VolumeKind::Local;
};

struct DirEntry {
    QString name; // without folder, decoded without loss (see NameCodec)
    EntryType type;
};

// A folder held open. What is listed and renamed through it is found through the
// folder itself, not through its path: a folder that is renamed, moved or swapped for
// a link after it was opened cannot redirect either. Holding one needs no permission
// on the folder itself, so a folder that cannot be read can still be renamed in and
// have its own name changed. Closes itself.
class FolderHandle {
public:
    FolderHandle() = default;
    FolderHandle(int descriptor, QString path, FileId id = {}, quint64 mount = 0,
                 std::optional<FileSystemTraits> traits = std::nullopt)
        : m_fd(descriptor)
        , m_path(std::move(path))
        , m_id(id)
        , m_mount(mount)
        , m_traits(traits)
        , m_opening(descriptor >= 0 ? NextOpening() : 0)
    {
    }
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // The same open folder, known by another path text (a test that serves "/" from a
    // folder of its own).
    FolderHandle withPath(QString path) &&
    {
        FolderHandle same(std::exchange(m_fd, -1), std::move(path), m_id, m_mount, m_traits);
        same.m_opening = m_opening;
        return same;
    }

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    // The path it was opened by; for messages and for joining names onto.
    const QString& path() const { return m_path; }
    // The folder it holds, as it was when it was opened.
    const FileId& id() const { return m_id; }
    // The mount it lies on, bind mounts told apart too; 0 when the system cannot tell.
    quint64 mount() const { return m_mount; }
    // What the system told of the file system it lies on when it was opened; none for a
    // handle the file system did not open itself.
    const std::optional<FileSystemTraits>& traits() const { return m_traits; }
    // Which opening of a folder it is: no two handles the process opened share one, though
    // a volume mounted again may give another folder the same device and inode numbers.
    quint64 opening() const { return m_opening; }

private:
    static quint64 NextOpening();

    int m_fd = -1;
    QString m_path;
    FileId m_id;
    quint64 m_mount = 0;
    std::optional<FileSystemTraits> m_traits;
    quint64 m_opening = 0;
};

// How a listing went: 0 when every entry was delivered, otherwise the error that cut
// it short (the entries delivered so far are then no listing and must be dropped).
struct Listing {
    int error = 0;
};

// Whether an entry's device and inode number (and birth time) still name it later on such
// a volume. FAT and exFAT make numbers up as entries are looked up, FUSE drivers may, and
// a network file system's may change when it is mounted again: there a card taken out and
// put back has new numbers for the same files.
inline bool NumbersIdentify(VolumeKind kind)
{
    return kind == VolumeKind::Local;
}

// Every file-system call the program makes. One real implementation per platform;
// tests wrap it to produce faults that a root-run test machine cannot. A name inside a
// folder is the bytes the system holds it by, never converted on the way: a run hands a
// listed name to the rename as it was listed. Failures are
// returned as errno values (0 is success); ErrorText() turns one into the system's
// own words. Every call may be made from several threads at once, on the same folder
// handle too; a handle itself is used by one thread at a time.
class FileSystem {
public:
    // `serial` is the listing's own number for a file: the inode identify() gives, where
    // the file system is known to list that very number; 0 where it is not (folders, and
    // file systems that make numbers up for a listing, as FAT does).
    using EntrySink = std::function<void(QByteArrayView name, EntryType type, quint64 serial)>;
    // Told the hidden name a case-only rename is about to pass through, before its
    // first step, so that the step can be finished or undone should the program
    // die between the two.
    using TemporaryNotice = std::function<void(QByteArrayView temporaryName)>;

    virtual ~FileSystem() = default;

    // Opens a folder by its path. A link to a folder is followed: it is what the user
    // chose to open.
    virtual FolderHandle openFolder(const QString& path, int* error = nullptr) const = 0;

    // Opens the folder `name` inside `parent`. A link is never followed, and anything
    // that is not a folder is refused (ENOTDIR, ELOOP).
    virtual FolderHandle openSubFolder(const FolderHandle& parent, QByteArrayView name, int* error = nullptr) const = 0;

    // Hands every entry of the folder to `each`, in the order the file system gives
    // them: files (and links to files), folders and links to folders. Hidden entries
    // (a leading '.') only `withHidden`; "." and "..", system entries and the program's
    // own temporary names never. The listing is complete before the call returns. It
    // only reads: nothing on disk changes because a folder was listed.
    virtual Listing listFolder(const FolderHandle& folder, const EntrySink& each, bool withHidden) const = 0;

    // Renames `oldName` to `newName` inside `folder`, in one step as far as any other
    // program can see. Never replaces or destroys another entry and never copies; an
    // identical name succeeds without touching anything (if the entry is there); a
    // change of letter case alone works on file systems that ignore case too (through
    // a temporary name, told to `beforeTemporary` first). Two names that both stand
    // byte for byte in the folder's listing are two entries, whatever the system's
    // numbers say (hard links): that rename fails with EEXIST. A name that could step
    // outside the folder ("", ".", "..", a '/' or a NUL) is refused.
    virtual int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                         const TemporaryNotice& beforeTemporary = {}) = 0;

    // The identity of the entry `name` inside `folder`, without following a link.
    virtual int identify(const FolderHandle& folder, QByteArrayView name, EntryIdentity* identity) const = 0;

    // `name` as the folder's own listing holds it, hidden names included: itself when it
    // stands there byte for byte, otherwise the listed name that equals it case-folded,
    // under which a file system that ignores case holds the entry that answers to `name`;
    // null when none does. 0, or the error that kept the folder from being listed.
    virtual int listedAs(const FolderHandle& folder, QByteArrayView name, QByteArray* listed) const = 0;

    // What is at `path`, without following a final symbolic link to a folder.
    virtual EntryType entryType(const QString& path) const = 0;

    // What kind of file system holds the folder.
    virtual VolumeKind volumeKind(const FolderHandle& folder) const
    {
        (void)folder;
        return VolumeKind::Local;
    }

    // Whether the entry `name` inside `folder` may be renamed, as far as the system tells
    // without renaming it (a folder the process may not write to, a read-only file
    // system, a sticky folder and an entry of another user's): 0, or the error a rename
    // would meet. For a plan, which renames nothing; one that cannot tell answers 0.
    virtual int mayRename(const FolderHandle& folder, QByteArrayView name) const;

    // A run is done with `folder`: it renames nothing more in it and lists it no more,
    // though it may still enter the folders in it. What a file system keeps of a folder
    // for the run (a plan's names) may go; the real one keeps nothing.
    virtual void leftFolder(const FolderHandle& folder) { (void)folder; }

    // ---- built on the calls above

    // The entries of the folder at `path` (folders and folder links only when
    // `withFolders`); std::nullopt when it cannot be opened or read completely.
    std::optional<QList<DirEntry>> list(const QString& path, bool withFolders) const;

    // Renames `oldPath` to `newPath`, two paths in the same folder (the folder part of
    // both must be the same text): the folder is opened by path, the name renamed in it.
    virtual int rename(const QString& oldPath, const QString& newPath);
};

// The file system of the machine the program runs on.
FileSystem& hostFileSystem();

// The system's own words for an errno value ("Permission denied").
QString ErrorText(int error);
// Whether openSubFolder failed because the entry is no longer a folder: it was swapped
// for a link or a file after it was listed.
bool IsNoLongerAFolder(int error);
// Whether a call failed because the process (or the system) has no open file to spare.
bool IsOutOfOpenFiles(int error);
// The error of a folder that is not the one a walk listed under its name: mounted over,
// or swapped for another folder. It is the system's own word for a handle that no
// longer leads where it did.
extern const int FolderChanged;

// A new hidden name for a case-only rename to pass through on a file system that
// ignores case: a fixed prefix and a random tag, far below any limit on the length of
// a name. What it stands for is kept in the run's journal, never in the name.
QByteArray NewTemporaryName();
// Whether `name` has the form of such a hidden name.
bool IsTemporaryName(QByteArrayView name);

// The two steps of a case-only rename on a file system that ignores case: `from` to
// `temporary`, then to `to`, each step by `move` (which never replaces and returns 0
// or an errno value). When the second step fails the old name is put back. Returns 0
// or the error of the step that failed.
int RenameThroughTemporary(const QByteArray& from, const QByteArray& to, const QByteArray& temporary,
                           const std::function<int(const QByteArray&, const QByteArray&)>& move);

} // namespace orvel
