// A file system that stands for a slow network share: it mirrors a backing folder and
// waits before each rename, as an SMB or NFS server makes every rename wait a round trip.
// Everything else goes straight through to the backing folder, inode numbers included,
// and requests are served on many threads, so that several renames can wait at once.
//
//   slow_passthrough BACKING MOUNTPOINT [-o rename_delay_us=1000] [FUSE options]
//
// Without -f it returns once the mount stands; `fusermount3 -u MOUNTPOINT` ends it.

#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

struct Options {
    unsigned renameDelayUs = 1000;
};
Options g_options;

const fuse_opt kOptions[] = {{"rename_delay_us=%u", offsetof(Options, renameDelayUs), 0}, FUSE_OPT_END};

// Opened before the mount, so that the backing folder may also lie under the mount point.
int g_backing = -1;

// The path libfuse hands over, relative to the backing folder.
const char* rel(const char* path)
{
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

int result(int rc)
{
    return rc < 0 ? -errno : rc;
}

void* init(fuse_conn_info*, fuse_config* cfg)
{
    cfg->use_ino = 1; // the backing folder's inode numbers, as a real mirror shows them
    return nullptr;
}

int getattr(const char* path, struct stat* st, fuse_file_info* fi)
{
    if (fi)
        return result(::fstat(int(fi->fh), st));
    return result(::fstatat(g_backing, rel(path), st, AT_SYMLINK_NOFOLLOW));
}

int access(const char* path, int mask)
{
    return result(::faccessat(g_backing, rel(path), mask, 0));
}

int readlink(const char* path, char* buf, size_t size)
{
    const ssize_t n = ::readlinkat(g_backing, rel(path), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = '\0';
    return 0;
}

int mkdir(const char* path, mode_t mode)
{
    return result(::mkdirat(g_backing, rel(path), mode));
}

int mknod(const char* path, mode_t mode, dev_t dev)
{
    return result(::mknodat(g_backing, rel(path), mode, dev));
}

int unlink(const char* path)
{
    return result(::unlinkat(g_backing, rel(path), 0));
}

int rmdir(const char* path)
{
    return result(::unlinkat(g_backing, rel(path), AT_REMOVEDIR));
}

int symlink(const char* target, const char* path)
{
    return result(::symlinkat(target, g_backing, rel(path)));
}

int link(const char* from, const char* to)
{
    return result(::linkat(g_backing, rel(from), g_backing, rel(to), 0));
}

// The one slow call. The flags (RENAME_NOREPLACE, RENAME_EXCHANGE) go through as given.
int rename(const char* from, const char* to, unsigned int flags)
{
    if (g_options.renameDelayUs) {
        timespec wait{time_t(g_options.renameDelayUs / 1000000), long(g_options.renameDelayUs % 1000000) * 1000};
        while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
    }
    return result(::renameat2(g_backing, rel(from), g_backing, rel(to), flags));
}

int chmod(const char* path, mode_t mode, fuse_file_info* fi)
{
    if (fi)
        return result(::fchmod(int(fi->fh), mode));
    return result(::fchmodat(g_backing, rel(path), mode, 0));
}

int chown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi)
{
    if (fi)
        return result(::fchown(int(fi->fh), uid, gid));
    return result(::fchownat(g_backing, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

int truncate(const char* path, off_t size, fuse_file_info* fi)
{
    if (fi)
        return result(::ftruncate(int(fi->fh), size));
    const int fd = ::openat(g_backing, rel(path), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int rc = result(::ftruncate(fd, size));
    ::close(fd);
    return rc;
}

int utimens(const char* path, const timespec tv[2], fuse_file_info* fi)
{
    if (fi)
        return result(::futimens(int(fi->fh), tv));
    return result(::utimensat(g_backing, rel(path), tv, AT_SYMLINK_NOFOLLOW));
}

int create(const char* path, mode_t mode, fuse_file_info* fi)
{
    const int fd = ::openat(g_backing, rel(path), fi->flags | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int open(const char* path, fuse_file_info* fi)
{
    const int fd = ::openat(g_backing, rel(path), fi->flags | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int read(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    const ssize_t n = ::pread(int(fi->fh), buf, size, offset);
    return n < 0 ? -errno : int(n);
}

int write(const char*, const char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    const ssize_t n = ::pwrite(int(fi->fh), buf, size, offset);
    return n < 0 ? -errno : int(n);
}

// The backing folder's file system answers for the whole mirror.
int statfs(const char*, struct statvfs* st)
{
    return result(::fstatvfs(g_backing, st));
}

int flush(const char*, fuse_file_info* fi)
{
    // close() of a duplicate writes back what the file system holds, as a close would.
    return result(::close(::dup(int(fi->fh))));
}

int release(const char*, fuse_file_info* fi)
{
    ::close(int(fi->fh));
    return 0;
}

int fsync(const char*, int dataOnly, fuse_file_info* fi)
{
    return result(dataOnly ? ::fdatasync(int(fi->fh)) : ::fsync(int(fi->fh)));
}

int opendir(const char* path, fuse_file_info* fi)
{
    const int fd = ::openat(g_backing, rel(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    fi->fh = reinterpret_cast<uint64_t>(dir);
    return 0;
}

// The whole listing in one pass (offset 0): libfuse keeps it and hands it out in pieces.
// The listing that opendir left in the handle, which libfuse keeps as a number.
DIR* listingOf(const fuse_file_info* fi)
{
    return reinterpret_cast<DIR*>(fi->fh); // NOLINT(performance-no-int-to-ptr)
}

int readdir(const char*, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info* fi, fuse_readdir_flags)
{
    DIR* dir = listingOf(fi);
    ::rewinddir(dir);
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = mode_t(e->d_type) << 12;
        if (fill(buf, e->d_name, &st, 0, fuse_fill_dir_flags(0)) != 0)
            break;
    }
    return -errno;
}

int releasedir(const char*, fuse_file_info* fi)
{
    ::closedir(listingOf(fi));
    return 0;
}

int fsyncdir(const char*, int dataOnly, fuse_file_info* fi)
{
    const int fd = ::dirfd(listingOf(fi));
    return result(dataOnly ? ::fdatasync(fd) : ::fsync(fd));
}

fuse_operations operations()
{
    fuse_operations ops{};
    ops.init = init;
    ops.getattr = getattr;
    ops.access = access;
    ops.readlink = readlink;
    ops.mkdir = mkdir;
    ops.mknod = mknod;
    ops.unlink = unlink;
    ops.rmdir = rmdir;
    ops.symlink = symlink;
    ops.link = link;
    ops.rename = rename;
    ops.chmod = chmod;
    ops.chown = chown;
    ops.truncate = truncate;
    ops.utimens = utimens;
    ops.create = create;
    ops.open = open;
    ops.read = read;
    ops.write = write;
    ops.statfs = statfs;
    ops.flush = flush;
    ops.release = release;
    ops.fsync = fsync;
    ops.opendir = opendir;
    ops.readdir = readdir;
    ops.releasedir = releasedir;
    ops.fsyncdir = fsyncdir;
    return ops;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BACKING MOUNTPOINT [-o rename_delay_us=N] [FUSE options]\n", argv[0]);
        return 2;
    }
    g_backing = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_backing < 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    // The backing folder is ours alone; the rest is for libfuse.
    argv[1] = argv[0];
    fuse_args args = FUSE_ARGS_INIT(argc - 1, argv + 1);
    if (fuse_opt_parse(&args, &g_options, kOptions, nullptr) != 0)
        return 2;
    // Enough threads for 16 renames waiting at once and the lookups beside them, each
    // with its own channel to the kernel; options given later still win.
    fuse_opt_insert_arg(&args, 1, "-omax_threads=40,max_idle_threads=40,clone_fd");
    const fuse_operations ops = operations();
    const int rc = fuse_main(args.argc, args.argv, &ops, nullptr);
    fuse_opt_free_args(&args);
    return rc;
}
