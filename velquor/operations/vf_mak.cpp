// The macro set: until the macro loader lands it is always empty, so every
// macro button stays unused.
#include "velquor/operations/vf_mak.h"

char makpath[cfg_path_size] = "";

void mak_reset_all(void) {}

void load_mak(void) { mak_reset_all(); }

const char *mak_get_vals(int kind, int b) {
    if (b < 0 || b >= 5) return nullptr;
    return kind == 0 ? "" : nullptr;
}
