// The slots of the live elements and the debug memo.
//
// These are the parts of the screen module that other modules reach from any
// thread: the byte transport appends its traffic lines to the memo from the
// worker, and the operations look windows up by element. They depend on the
// window layer alone, so that a module linking only them does not drag in the
// views. The slots change only on the main thread, under scr_slot_mu; a
// worker's memo line is shown through the loop on the main thread.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/loop.h"
#include "platform/win.h"
#include "velquor/ui/screen.h"

screen_element screen[scr_n_slots] = {};
char debug_str[4096] = {0};
std::recursive_mutex scr_slot_mu;
std::mutex scr_debug_mu;

int scr_getwnd_ix(int32_t ix) {
    std::lock_guard<std::recursive_mutex> lk(scr_slot_mu);
    for (const screen_element &s : screen)
        if (s.elem_ix == ix) return s.wnd;
    return -1;
}

int32_t scr_getix_wnd(int wnd) {
    if (wnd == -1) return ix_last;
    std::lock_guard<std::recursive_mutex> lk(scr_slot_mu);
    for (const screen_element &s : screen)
        if (s.wnd == wnd) return s.elem_ix;
    return ix_last;
}

// Shows debug_str in the memo; main thread.
static void scr_show_debug(void) {
    int wnd = scr_getwnd_ix(ix_debug_memo);
    if (wnd == -1) return;
    std::string copy;
    {
        std::lock_guard<std::mutex> lk(scr_debug_mu);
        copy = debug_str;
    }
    plat::win_set_text(wnd, copy.c_str());
}

void add_debug_str(const char *text) {
    if (!text) text = "";
    {
        std::lock_guard<std::mutex> lk(scr_debug_mu);
        size_t cur = strnlen(debug_str, debug_str_max);
        size_t add = strlen(text);
        if (cur + 2 + add >= debug_str_max || add == 0) cur = 0;
        if (add > 0) {
            char *p = debug_str + cur;
            size_t room = debug_str_max - cur;  // bytes left before the 511-character cut
            snprintf(p, room + 1, "\r\n%s", text);
            cur += strnlen(p, room);
        }
        debug_str[cur] = 0;
    }
    if (plat::loop_is_main_thread())
        scr_show_debug();
    else
        plat::loop_post(scr_show_debug);
}

void debug_str_get(char *out, size_t n) {
    if (!out || n == 0) return;
    std::lock_guard<std::mutex> lk(scr_debug_mu);
    size_t len = strnlen(debug_str, debug_str_max);
    if (len > n - 1) len = n - 1;
    memcpy(out, debug_str, len);
    out[len] = 0;
}
