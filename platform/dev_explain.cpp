// Why a device could not be opened: the errno in the operator's words, with the
// group to join when the device belongs to one.
#include "dev_explain.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat {

namespace {

// True when this process holds group `gid`, as its effective group or one of
// its supplementary groups.
bool holds_group(gid_t gid) {
    if (::getegid() == gid) return true;
    gid_t groups[256];
    const int k = ::getgroups(static_cast<int>(sizeof groups / sizeof groups[0]), groups);
    for (int i = 0; i < k; i++)
        if (groups[i] == gid) return true;
    return false;
}

// True when the user who runs the process is a member of `gr` in the group
// database (its member list, or the user's primary group).
bool user_listed(const struct group &gr) {
    struct passwd pw;
    struct passwd *p = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &p) != 0 || !p || !p->pw_name) return false;
    if (p->pw_gid == gr.gr_gid) return true;
    for (char **m = gr.gr_mem; m && *m; m++)
        if (std::strcmp(*m, p->pw_name) == 0) return true;
    return false;
}

}  // namespace

void explain_permission(const char *group, bool active, bool listed, const char *usual_group,
                        char *out, size_t n) {
    if (!out || n == 0) return;
    if (group && *group) {
        if (active)
            std::snprintf(out, n, "permission denied (not even for group %s)", group);
        else if (listed)
            std::snprintf(out, n, "permission denied (log in again to use group %s)", group);
        else
            std::snprintf(out, n, "permission denied (join group %s)", group);
    } else if (usual_group && *usual_group) {
        std::snprintf(out, n, "permission denied (the device is root's, not group %s's)", usual_group);
    } else {
        std::snprintf(out, n, "permission denied");
    }
}

void explain_open_dev(const char *path, int err, const char *kind, const char *usual_group,
                      char *out, size_t n) {
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
        if (!exists) {
            explain_permission(nullptr, false, false, nullptr, out, n);
        } else if (g && g->gr_name && st.st_gid != 0) {
            explain_permission(g->gr_name, holds_group(st.st_gid), user_listed(*g), usual_group, out, n);
        } else {
            explain_permission(nullptr, false, false, st.st_gid == 0 ? usual_group : nullptr, out, n);
        }
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
