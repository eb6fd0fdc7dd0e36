// Loading shared libraries at run time, by file path only.
//
// The program binds its helper library by name at start-up. A library found
// through the working directory or the loader's search path could be anybody's
// code, so this layer opens only absolute paths: a name without a leading "/"
// is refused before the loader sees it. Symbols are looked up in the opened
// library itself; a name that the loader would find in one of the library's
// own dependencies instead (the C library, the platform layers) counts as
// missing, so a library that lacks an export can never be bound to a stranger
// of the same name.
#pragma once

#include <cstddef>

namespace plat {

// Result of dyn_open: 0 ok, else one of these.
enum DynResult : int {
    DYN_OK = 0,
    DYN_BAD_ARG = 1,    // missing pointer, empty or relative path, handle already set
    DYN_NOT_LOADED = 2  // the loader could not load the file (see dyn_last_error)
};

// Loads the library at the absolute path `path` with every symbol resolved
// now, its symbols kept local. *handle must be nullptr; on success it holds
// the library.
int dyn_open(const char *path, void **handle);
// Unloads the library and sets *handle to nullptr. Nothing for nullptr.
void dyn_close(void **handle);
// Address of the symbol `name` defined by the library itself, or nullptr.
void *dyn_symbol(void *handle, const char *name);
// The loader's message for the last failure of dyn_open in this thread ("" if none).
const char *dyn_last_error();

// Directory of the running program (from /proc/self/exe) into out, without a
// trailing "/", cut to nothing: false when it does not fit in n bytes or
// cannot be read.
bool dyn_exe_dir(char *out, size_t n);

}  // namespace plat
