// Replacing a file as a whole: a new file is written beside the old one and
// takes the old name only when every byte of it is on the disk.
//
// A settings file that is rewritten in place is lost when the program dies or
// the disk fills up half-way through the write. Here the new contents go to a
// file of a unique name in the same directory (so that the rename cannot cross
// file systems), written through an ordinary C stream. Committing flushes the
// stream, syncs the file to the disk, closes it and renames it over the old
// name; the rename is atomic, so a reader sees either the whole old file or the
// whole new one. Any failure on the way removes the new file and leaves the old
// one untouched. When the path names a symbolic link, the file it points to is
// replaced and the link stays. The new file keeps the old file's permissions
// (0644 for a file that did not exist yet).
//
// Every system call that can fail goes through file_sys(), a table that tests
// may replace to make a write fail (a full disk), a sync or a rename fail.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdio>

namespace plat {

// Result of the replace functions: 0 ok, else one of these.
enum FileResult : int {
    FILE_OK = 0,
    FILE_BAD_ARG = 1,   // missing pointer, empty or over-long path, nothing open
    FILE_CREATE = 2,    // the new file could not be created beside the old one
    FILE_WRITE = 3,     // a write, the flush, the sync or the close failed
    FILE_RENAME = 4,    // the new file could not take the old name
    FILE_NOT_FILE = 5,  // the path names something else than a file (a device, a folder)
};

// What a path names: FILE_KIND_NONE nothing (or nothing that can be looked at),
// FILE_KIND_REGULAR a file (its size in *size when given), FILE_KIND_OTHER a
// device, a folder, a pipe. A symbolic link counts as what it points to.
enum FileKind : int { FILE_KIND_NONE = 0, FILE_KIND_REGULAR = 1, FILE_KIND_OTHER = 2 };
int file_kind(const char *path, long long *size);

// Longest path handled, the NUL included.
constexpr size_t file_path_max = 4096;

// One replacement under way, filled by file_replace_open (which must not be
// given a record that is still open); f is the stream to write to.
struct FileReplace {
    FILE *f;                      // stream into the new file; nullptr when not open
    int fd;                       // the new file's descriptor; -1 when not open
    char target[file_path_max];   // the name the new file will take
    char tmp[file_path_max + 8];  // the new file's own name until then
};

// Creates the new file beside `path` and opens r->f on it for writing (text).
// FILE_NOT_FILE when `path` names a device, a folder or a pipe: only files
// are replaced.
int file_replace_open(const char *path, FileReplace *r);
// Flushes, syncs and closes the new file, then renames it over the target.
// On any failure the new file is removed; the target keeps its old contents.
// The replacement is closed afterwards either way.
int file_replace_commit(FileReplace *r);
// Closes and removes the new file; the target is not touched. Nothing when
// r is nullptr or not open.
void file_replace_abort(FileReplace *r);

// errno of the last failing system call in this thread (for logs), 0 if none.
int file_last_errno();

// System calls used by this layer, swappable by tests (file_sys_reset restores).
struct FileSys {
    int (*mkstemp)(char *tmpl);
    ssize_t (*write)(int fd, const void *buf, size_t n);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char *from, const char *to);
    int (*unlink)(const char *path);
};
FileSys &file_sys();
void file_sys_reset();

}  // namespace plat
