// Run-time library loading on dlopen: absolute paths only, symbols checked to
// belong to the opened library (dladdr1 names the object that defines an
// address; it must be the library's own link map).
#include "dynlib.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>

namespace plat {
namespace {

thread_local char last_error[256] = "";

void keep_error(const char *text) {
    if (!text) text = "";
    std::strncpy(last_error, text, sizeof last_error - 1);
    last_error[sizeof last_error - 1] = '\0';
}

}  // namespace

int dyn_open(const char *path, void **handle) {
    keep_error("");
    if (!path || !handle || *handle || path[0] != '/') {
        keep_error("no absolute library path");
        return DYN_BAD_ARG;
    }
    void *h = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        keep_error(::dlerror());
        return DYN_NOT_LOADED;
    }
    *handle = h;
    return DYN_OK;
}

void dyn_close(void **handle) {
    if (!handle || !*handle) return;
    ::dlclose(*handle);
    *handle = nullptr;
}

void *dyn_symbol(void *handle, const char *name) {
    if (!handle || !name || !*name) return nullptr;
    ::dlerror();
    void *sym = ::dlsym(handle, name);
    if (!sym) return nullptr;
    // dlsym also searches the library's dependencies: accept only a symbol
    // that the library itself defines.
    link_map *own = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &own) != 0 || !own) return nullptr;
    Dl_info info;
    void *extra = nullptr;
    if (::dladdr1(sym, &info, &extra, RTLD_DL_LINKMAP) == 0) return nullptr;
    if (static_cast<link_map *>(extra) != own) return nullptr;
    return sym;
}

const char *dyn_last_error() { return last_error; }

bool dyn_exe_dir(char *out, size_t n) {
    if (!out || n == 0) return false;
    out[0] = '\0';
    char buf[4096];
    const ssize_t k = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (k <= 0 || static_cast<size_t>(k) >= sizeof buf - 1) return false;
    buf[k] = '\0';
    char *slash = std::strrchr(buf, '/');
    if (!slash) return false;
    const size_t len = static_cast<size_t>(slash - buf);  // "/x" gives "" (the root)
    if (len + 1 > n) return false;
    std::memcpy(out, buf, len);
    out[len] = '\0';
    return true;
}

}  // namespace plat
