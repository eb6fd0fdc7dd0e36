// Why a device could not be opened: the errno in the operator's words, with the
// group to join when the device belongs to one.
#include "dev_explain.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace plat {

namespace {

// True when this process holds group `gid`, as its effective group or one of
// its supplementary groups (as many as it has).
bool holds_group(gid_t gid) {
    if (::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int k = ::getgroups(count, groups.data());
    return k > 0 && std::find(groups.begin(), groups.begin() + k, gid) != groups.begin() + k;
}

// Runs a getgrgid_r/getpwuid_r style lookup with a buffer that grows while the
// entry does not fit (large directory-service groups); false when there is no
// entry or it cannot be read.
template <class Entry, class Lookup>
bool lookup_entry(Entry *entry, std::vector<char> *buf, Lookup lookup) {
    buf->resize(4096);
    for (;;) {
        Entry *found = nullptr;
        const int rc = lookup(entry, buf->data(), buf->size(), &found);
        if (rc == 0) return found != nullptr;
        if (rc != ERANGE || buf->size() >= (size_t{1} << 24)) return false;
        buf->resize(buf->size() * 2);
    }
}

// True when the user who runs the process is a member of `gr` in the group
// database (its member list, or the user's primary group).
bool user_listed(const struct group &gr) {
    struct passwd pw;
    std::vector<char> buf;
    const uid_t uid = ::getuid();
    if (!lookup_entry(&pw, &buf, [uid](struct passwd *e, char *b, size_t n, struct passwd **f) {
            return ::getpwuid_r(uid, e, b, n, f);
        }) || !pw.pw_name)
        return false;
    if (pw.pw_gid == gr.gr_gid) return true;
    for (char **m = gr.gr_mem; m && *m; m++)
        if (std::strcmp(*m, pw.pw_name) == 0) return true;
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
        // may look up a group too.
        struct group gr;
        std::vector<char> buf;
        const bool named =
            exists && st.st_gid != 0 &&
            lookup_entry(&gr, &buf, [&st](struct group *e, char *b, size_t k, struct group **f) {
                return ::getgrgid_r(st.st_gid, e, b, k, f);
            }) &&
            gr.gr_name;
        if (named)
            explain_permission(gr.gr_name, holds_group(st.st_gid), user_listed(gr), usual_group, out, n);
        else  // root's, or a group without a name, or no device to look at
            explain_permission(nullptr, false, false, exists && st.st_gid == 0 ? usual_group : nullptr,
                               out, n);
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
