// Why a device could not be opened: the errno in the operator's words, with the
// group to join when the device belongs to one.
#include "dev_explain.h"

#include <grp.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat {

void explain_open_dev(const char *path, int err, const char *kind, char *out, size_t n) {
    if (!out || n == 0) return;
    if (!kind) kind = "a device";
    struct stat st;
    const bool exists = path && ::stat(path, &st) == 0;
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV: std::snprintf(out, n, "no such device"); return;
    case EACCES:
    case EPERM: {
        // The group that may use the device, when it has one with a name.
        // getgrgid_r: the worker explains its failures while the main thread
        // may look up a group too; a group too large for the buffer goes
        // without its name.
        struct group gr;
        struct group *g = nullptr;
        char buf[16384];
        if (exists && ::getgrgid_r(st.st_gid, &gr, buf, sizeof buf, &g) != 0) g = nullptr;
        if (g && g->gr_name && st.st_gid != 0)
            std::snprintf(out, n, "permission denied (join group %s)", g->gr_name);
        else
            std::snprintf(out, n, "permission denied");
        return;
    }
    case EBUSY:
    case EWOULDBLOCK: std::snprintf(out, n, "in use by another program"); return;
    case EISDIR: std::snprintf(out, n, "a folder, not %s", kind); return;
    case ENOTTY: std::snprintf(out, n, "not %s", kind); return;
    default: break;
    }
    if (exists && !S_ISCHR(st.st_mode)) {
        std::snprintf(out, n, "not %s", kind);
        return;
    }
    std::snprintf(out, n, "%s", err ? std::strerror(err) : "failed");
}

}  // namespace plat
