// The names a folder holds byte for byte, and whether it tells names apart by letter case.
#include "platform/FolderNames.h"

#include "platform/FolderStream.h"
#include "platform/NameCodec.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Every name of the open folder `dir`; nullopt with `error` when the listing fails.
std::optional<QSet<QByteArray>> readNames(int dir, int* error)
{
    DIR* stream = OpenFolderStream(dir);
    if (!stream) {
        *error = errno;
        return std::nullopt;
    }
    QSet<QByteArray> names;
    for (;;) {
        errno = 0; // readdir reports its errors only this way
        const dirent* entry = ::readdir(stream);
        if (!entry)
            break;
        names.insert(QByteArray(entry->d_name));
    }
    *error = errno;
    ::closedir(stream);
    if (*error != 0)
        return std::nullopt;
    return names;
}

} // namespace

FolderNames::Folder* FolderNames::find(const std::unique_lock<std::mutex>& held, int dir, quint64 opening, int* error)
{
    Q_ASSERT(held.owns_lock() && held.mutex() == &m_lock);
    struct stat st;
    if (::fstat(dir, &st) != 0) {
        *error = errno;
        return nullptr;
    }
    for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
        if (it->device != st.st_dev || it->inode != st.st_ino || it->opening != opening)
            continue;
        if (!sameTime(it->changed, st.st_mtim)) { // changed by someone else: read anew
            m_folders.erase(it);
            break;
        }
        m_folders.splice(m_folders.begin(), m_folders, it);
        return &m_folders.front();
    }
    std::optional<QSet<QByteArray>> names = readNames(dir, error);
    if (!names)
        return nullptr;
    if (m_folders.size() == Kept)
        m_folders.pop_back();
    m_folders.push_front({st.st_dev, st.st_ino, opening, st.st_mtim, std::move(*names), std::nullopt});
    m_keepsAny.store(true, std::memory_order_relaxed);
    return &m_folders.front();
}

int FolderNames::listedAs(int dir, quint64 opening, QByteArrayView name, QByteArray* listed)
{
    const std::unique_lock held(m_lock);
    int error = 0;
    Folder* folder = find(held, dir, opening, &error);
    if (!folder)
        return error;
    if (folder->names.contains(QByteArray::fromRawData(name.data(), name.size()))) {
        *listed = name.toByteArray();
        return 0;
    }
    if (!folder->folded) {
        QHash<QString, QByteArray> folded;
        for (const QByteArray& each : std::as_const(folder->names))
            folded.insert(DecodeName(each).toCaseFolded(), each);
        folder->folded = std::move(folded);
    }
    *listed = folder->folded->value(DecodeName(name).toCaseFolded());
    return 0;
}

void FolderNames::renamed(int dir, QByteArrayView from, QByteArrayView to)
{
    if (!m_keepsAny.load(std::memory_order_relaxed))
        return;
    struct stat st;
    const std::lock_guard guard(m_lock);
    if (::fstat(dir, &st) != 0)
        return;
    for (Folder& folder : m_folders) {
        if (folder.device != st.st_dev || folder.inode != st.st_ino)
            continue;
        folder.names.remove(QByteArray::fromRawData(from.data(), from.size()));
        folder.names.insert(to.toByteArray());
        if (folder.folded) {
            folder.folded->remove(DecodeName(from).toCaseFolded());
            folder.folded->insert(DecodeName(to).toCaseFolded(), to.toByteArray());
        }
        folder.changed = st.st_mtim; // every opening of it that is kept
    }
}

std::optional<bool> TellsCaseApart(const FileSystem& fs, const FolderHandle& folder, QByteArrayView present)
{
    QByteArray swapped = present.toByteArray();
    for (char& c : swapped)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            c = char(c ^ 0x20);
    EntryIdentity found;
    if (swapped == present || fs.identify(folder, present, &found) != 0)
        return std::nullopt;
    return fs.identify(folder, swapped, &found) == ENOENT;
}

} // namespace orvel
