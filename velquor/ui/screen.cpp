// Window element table and views. The element table is still empty here: the
// content operations have nothing to build or refresh, and the debug memo keeps
// its text in a bounded buffer under a lock, since the worker appends to it
// while the main thread may read it.
#include "screen.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {
std::mutex debug_mu;
char debug_str[debug_str_size];
}  // namespace

void add_debug_str(const char *text) {
    if (!text) return;
    std::lock_guard<std::mutex> lk(debug_mu);
    const size_t old = std::strlen(debug_str);
    const size_t add = std::strlen(text);
    if (add == 0) {
        debug_str[0] = '\0';
        return;
    }
    size_t len = (old + 2 + add >= debug_str_size - 1) ? 0 : old;
    const char *sep = "\r\n";
    for (const char *p = sep; *p && len < debug_str_size - 1; ++p) debug_str[len++] = *p;
    for (size_t i = 0; i < add && len < debug_str_size - 1; ++i) debug_str[len++] = text[i];
    debug_str[len] = '\0';
}

void debug_str_get(char *out, size_t n) {
    if (!out || n == 0) return;
    std::lock_guard<std::mutex> lk(debug_mu);
    const size_t len = std::min(std::strlen(debug_str), n - 1);
    std::memcpy(out, debug_str, len);
    out[len] = '\0';
}

void CreateWindowContents(int /*mode*/) {}

void paint_enab(void) {}

int scr_getwnd_ix(int32_t ix) {
    (void)ix;
    return -1;
}

// View options (0 = group shown) and the main window's geometry; the window
// module keeps them up to date.
uint8_t show_keyb = 0;
uint8_t show_mak = 0;
uint8_t show_info = 0;
int32_t win_left = 0, win_top = 0, win_width = 600, win_height = 370;
