// Replacing a file as a whole: unique new file beside the target, written
// through a C stream whose writes go through the swappable system-call table,
// synced, closed and renamed over the target.
//
// The stream is a cookie stream (fopencookie) on the new file's descriptor, so
// that a test can make its writes fail exactly as a full disk would; its close
// leaves the descriptor to file_replace_commit, which checks the sync and the
// close one by one before it renames.
#include "file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

int sys_mkstemp(char *tmpl) { return ::mkostemp(tmpl, O_CLOEXEC); }
ssize_t sys_write(int fd, const void *buf, size_t n) { return ::write(fd, buf, n); }
int sys_fsync(int fd) { return ::fsync(fd); }
int sys_close(int fd) { return ::close(fd); }
int sys_rename(const char *from, const char *to) { return ::rename(from, to); }
int sys_unlink(const char *path) { return ::unlink(path); }

const FileSys kDefaultSys = {sys_mkstemp, sys_write, sys_fsync, sys_close, sys_rename, sys_unlink};
FileSys g_sys = kDefaultSys;

thread_local int t_errno = 0;

int fail(int code) {
    t_errno = errno;
    return code;
}

// Cookie stream writes: all bytes, retrying short writes and EINTR. A short
// count tells the stream that the write failed (its error flag is set).
ssize_t cookie_write(void *cookie, const char *buf, size_t n) {
    const int fd = *static_cast<int *>(cookie);
    size_t done = 0;
    while (done < n) {
        ssize_t w = g_sys.write(fd, buf + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            t_errno = (w < 0) ? errno : ENOSPC;
            break;
        }
        done += static_cast<size_t>(w);
    }
    return static_cast<ssize_t>(done);
}

// The descriptor is closed by file_replace_commit / file_replace_abort.
int cookie_close(void *) { return 0; }

// Copies src into dst (cap bytes); false when it does not fit.
bool copy_path(char *dst, size_t cap, const char *src) {
    const size_t n = std::strlen(src);
    if (n + 1 > cap) return false;
    std::memcpy(dst, src, n + 1);
    return true;
}

// Syncs the directory that holds `path`, so that the rename itself is on the
// disk. Failures are not reported: the data are safe, only the name may not be.
void sync_dir(const char *path) {
    char dir[file_path_max];
    if (!copy_path(dir, sizeof dir, path)) return;
    char *slash = std::strrchr(dir, '/');
    if (!slash)
        std::strcpy(dir, ".");
    else if (slash == dir)
        dir[1] = '\0';
    else
        *slash = '\0';
    int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    (void)::close(fd);
}

void close_quietly(FileReplace *r) {
    if (r->f) {
        std::fclose(r->f);
        r->f = nullptr;
    }
    if (r->fd != -1) {
        (void)g_sys.close(r->fd);
        r->fd = -1;
    }
}

}  // namespace

FileSys &file_sys() { return g_sys; }
void file_sys_reset() { g_sys = kDefaultSys; }
int file_last_errno() { return t_errno; }

int file_kind(const char *path, long long *size) {
    struct stat st;
    if (!path || ::stat(path, &st) != 0) return FILE_KIND_NONE;
    if (!S_ISREG(st.st_mode)) return FILE_KIND_OTHER;
    if (size) *size = static_cast<long long>(st.st_size);
    return FILE_KIND_REGULAR;
}

int file_replace_open(const char *path, FileReplace *r) {
    if (!r || !path || !*path) return FILE_BAD_ARG;
    r->f = nullptr;
    r->fd = -1;
    r->tmp[0] = '\0';

    // A symbolic link keeps pointing where it points: its target is replaced.
    struct stat st;
    const char *target = path;
    char resolved[file_path_max];
    if (::lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && ::realpath(path, resolved))
        target = resolved;
    if (!copy_path(r->target, sizeof r->target, target)) return FILE_BAD_ARG;

    const bool exists = ::stat(r->target, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return fail(FILE_NOT_FILE);
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    std::snprintf(r->tmp, sizeof r->tmp, "%s.XXXXXX", r->target);
    int fd = g_sys.mkstemp(r->tmp);
    if (fd < 0) {
        r->tmp[0] = '\0';
        return fail(FILE_CREATE);
    }
    (void)::fchmod(fd, mode);
    r->fd = fd;

    cookie_io_functions_t io{};
    io.write = cookie_write;
    io.close = cookie_close;
    r->f = ::fopencookie(&r->fd, "w", io);
    if (!r->f) {
        int rc = fail(FILE_CREATE);
        file_replace_abort(r);
        return rc;
    }
    return FILE_OK;
}

int file_replace_commit(FileReplace *r) {
    if (!r || !r->f || r->fd == -1) return FILE_BAD_ARG;
    int rc = FILE_OK;
    if (std::fflush(r->f) != 0 || std::ferror(r->f)) rc = FILE_WRITE;
    // Closing the stream only frees it (its descriptor stays open).
    if (std::fclose(r->f) != 0 && rc == FILE_OK) rc = FILE_WRITE;
    r->f = nullptr;
    if (rc == FILE_OK && g_sys.fsync(r->fd) != 0) rc = fail(FILE_WRITE);
    const int fd = r->fd;
    r->fd = -1;
    if (g_sys.close(fd) != 0 && rc == FILE_OK) rc = fail(FILE_WRITE);
    if (rc == FILE_OK && g_sys.rename(r->tmp, r->target) != 0) rc = fail(FILE_RENAME);
    if (rc != FILE_OK) {
        (void)g_sys.unlink(r->tmp);
    } else {
        sync_dir(r->target);
    }
    r->tmp[0] = '\0';
    return rc;
}

void file_replace_abort(FileReplace *r) {
    if (!r) return;
    const bool was_open = r->f || r->fd != -1;
    close_quietly(r);
    if (was_open && r->tmp[0]) (void)g_sys.unlink(r->tmp);
    r->tmp[0] = '\0';
}

}  // namespace plat
