// Views of the main window: building, refreshing and storing back the
// elements of wndelemnts.
//
// A content change walks the table once. Each row that belongs to the current
// view and whose predicate says "create" gets a control, placed by its 1/128
// geometry in the client area, and is recorded in the next slot. Refreshing
// walks the same rows over the existing slots and only re-applies enable
// states, marks and macro captions. Storing back reads every live edit field
// and writes its text into the bound variable, with the interval check for
// numbers and the file-name or IPv4 check for texts.
//
// Index: state; views and predicates; layout and creation; content modes;
// storing back; look-ups; enable refresh; results.
#include "velquor/ui/screen.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/ui/win_seam.h"
#include "velquor/util/velq_str.h"

// ---------------------------------------------------------------- state

uint8_t show_keyb = 0;
uint8_t show_mak = 0;
uint8_t show_info = 0;
void (*paint_func)(void) = nullptr;

namespace {

// Client width and height minus 10 pixels, taken at every content change but
// storing and refreshing.
int scr_tw = 0;
int scr_th = 0;

// Runs fn on the main thread: at once there, else through the loop, waiting.
template <class F>
bool on_main(F fn) {
    if (plat::loop_is_main_thread()) return false;
    plat::loop_call_blocking(fn);
    return true;
}

char scr_idle(void) { return (sys_act & 1) ? pv_enable : 0; }

const char *nz(const char *s) { return s ? s : ""; }

// Caption of a row in the current language.
const char *scr_caption(const elementT &e) {
    if (sys_lang == lang_deu) return nz(e.lab_ger);
    if (sys_lang == lang_fr) return nz(e.lab_fr);
    return nz(e.lab_eng);
}

}  // namespace

// ---------------------------------------------------------------- views and predicates

namespace {

// The views and their masks.
struct view_row {
    int32_t view;
    uint32_t mask;
};
const view_row view_tab[] = {
    {view_firm, vm_firm}, {view_fs, vm_fs},     {view_ddc, vm_ddc},
    {view_boot, vm_boot}, {view_scan, vm_scan}, {view_debug, vm_debug},
};

}  // namespace

int32_t scr_view_shown(void) {
    for (const view_row &r : view_tab)
        if (r.view == sysmode) return sysmode;
    return view_fs;
}

uint32_t scr_view_mask(int32_t mode) {
    for (const view_row &r : view_tab)
        if (r.view == mode) return r.mask;
    return vm_fs;
}

char show_enab_always(void) { return pv_create | scr_idle(); }
char show_enab_always_rs232(void) {
    return (com_mode == com_mode_rs232 ? pv_create : 0) | scr_idle();
}
char show_enab_always_ip(void) { return (com_mode == com_mode_ip ? pv_create : 0) | scr_idle(); }
char show_enab_always_ipl(void) { return (com_mode == com_mode_ipl ? pv_create : 0) | scr_idle(); }
char show_enab_always_no_ipl(void) {
    return (com_mode != com_mode_ipl ? pv_create : 0) | scr_idle();
}
char show_enab_always_eth(void) {
    return (com_mode == com_mode_ip || com_mode == com_mode_ipl ? pv_create : 0) | scr_idle();
}

// Keyboard, macro and info groups are not part of the DDC and Bootstrap views.
static char scr_group_view(void) {
    return scr_view_shown() != view_ddc && scr_view_shown() != view_boot;
}

char show_enab_keyboard(void) {
    return (show_keyb == 0 && scr_group_view() ? pv_create : 0) | scr_idle();
}
char show_enab_makros_grp(void) {
    return (show_mak == 0 && scr_group_view() ? pv_create : 0) | scr_idle();
}
char show_enab_mak_butt(void) { return show_enab_makros_grp(); }
char show_enab_info(void) {
    char c = (show_info == 0 && scr_group_view()) ? pv_create : 0;
    return c | ((sys_act & 1) && sys_zelb_nr != 0 ? pv_enable : 0);
}
char show_enab_ddc_to(void) { return (scr_view_shown() != view_ddc ? pv_create : 0) | scr_idle(); }
char show_enab_ddc_bus(void) { return show_enab_ddc_to(); }
char show_enab_boot_dnl(void) {
    char en = scr_idle();
    if (scr_view_shown() == view_boot && dome == 1) en = pv_enable;
    return pv_create | en;
}

// ---------------------------------------------------------------- layout and creation

void getrc(int hwnd, int *left, int *top, int *tw, int *th) {
    int w = 0, h = 0;
    if (!plat::win_get_client_size(hwnd, &w, &h)) w = h = 0;
    if (left) *left = 0;
    if (top) *top = 0;
    if (tw) *tw = w > 0 ? w : 0;
    if (th) *th = h > 10 ? h - 10 : 0;
}

void scr_get_bufffer_value(char *out, size_t n, int row) {
    if (!out || n == 0) return;
    out[0] = 0;
    if (row < 0 || row >= static_cast<int>(scr_n_rows)) return;
    const elementT &e = wndelemnts[row];
    if (!e.buffer) return;
    switch (e.buffer_type) {
    case bt_byte:
        snprintf(out, n, "%u", static_cast<unsigned>(*static_cast<const uint8_t *>(e.buffer)));
        break;
    case bt_byte1:
        snprintf(out, n, "%u", static_cast<unsigned>(*static_cast<const uint8_t *>(e.buffer)) + 1);
        break;
    case bt_text: {
        std::unique_lock<std::mutex> lk(scr_debug_mu, std::defer_lock);
        if (e.buffer == debug_str) lk.lock();
        const char *s = static_cast<const char *>(e.buffer);
        size_t len = strnlen(s, e.buffer_size);
        if (len > n - 1) len = n - 1;
        memcpy(out, s, len);
        out[len] = 0;
        break;
    }
    default: break;
    }
}

// Enable state and macro caption of a live element (build steps 6 and 7).
static void scr_apply_enable(int wnd, const elementT &e, char pv) {
    if (e.buffer_type == bt_macro && (pv & pv_enable)) {
        const char *flag = mak_get_vals(0, static_cast<int>(e.buffer_size));
        if (flag) plat::win_enable(wnd, flag[0] != 0);
    } else {
        plat::win_enable(wnd, (pv & pv_enable) != 0);
    }
    if (e.buffer_type == bt_macro) {
        const char *cap = mak_get_vals(1, static_cast<int>(e.buffer_size));
        if (cap) plat::win_set_text(wnd, cap);
    }
}

// Marks, text limit and tree fill of a live element (build step 8).
static void scr_apply_kind(int wnd, const elementT &e) {
    int kind = e.win_type & 0xFF;
    if ((kind == wt_edit || kind == wt_memo) &&
        (e.buffer_type == bt_byte || e.buffer_type == bt_byte1) && e.buffer_size >= 1)
        plat::win_limit_text(wnd, static_cast<int>(e.buffer_size));
    if (kind == wt_radio && e.buffer_type == bt_ulist && e.buffer && e.buffer_size < 2 &&
        e.p2 >= 0 && e.p2 < 8) {
        int32_t want = ucol[e.buffer_size][e.p2];
        plat::win_set_check(wnd, want != -1 && *static_cast<const int32_t *>(e.buffer) == want);
    }
    if ((kind == wt_check || kind == wt_radio) && e.buffer_type == bt_flag && e.buffer)
        plat::win_set_check(wnd, *static_cast<const uint8_t *>(e.buffer) != 0);
    if (kind == wt_tree && e.fill) e.fill();
}

namespace {

// Tooltips of elements: the text a row's control shows when the pointer rests
// on it, refreshed with the contents.
const char *tip_com_device(void) {
    const char *path = plat::ser_com_path(sys_intf);
    return path ? path : "";
}

struct tip_row {
    int32_t ix;
    const char *(*text)(void);
};
// The COM number field names the device its number stands for (the port
// table's default, an ik_comdev_N line or velquor-cli's --port).
const tip_row tip_tab[] = {
    {ix_ed_com, tip_com_device},
};

}  // namespace

static void scr_apply_tip(int wnd, const elementT &e) {
    for (const tip_row &t : tip_tab)
        if (t.ix == e.my_ix) plat::win_set_tooltip(wnd, t.text());
}

// Creates the control of row e; -1 when the row's kind or geometry makes none.
static int scr_create(const elementT &e) {
    int kind = e.win_type & 0xFF;
    switch (kind) {
    case wt_button:
    case wt_static:
    case wt_group:
    case wt_radio:
    case wt_edit:
    case wt_memo:
    case wt_check:
    case wt_tree: break;
    default: return -1;
    }
    if (e.width < 1) return -1;
    uint32_t tw = static_cast<uint32_t>(scr_tw), th = static_cast<uint32_t>(scr_th);
    int x = static_cast<int>((e.left * tw) >> 7);
    int y = static_cast<int>((e.top * th) >> 7);
    int w = static_cast<int>((e.width * tw) >> 7);
    int h = static_cast<int>((e.height * th) >> 7);
    if (e.my_ix == ix_fill) {
        y -= 5;
        h += 10;
    }
    const char *caption;
    char value[1024];
    if (!e.buffer || kind == wt_radio || kind == wt_check || kind == wt_tree) {
        caption = scr_caption(e);
    } else {
        scr_get_bufffer_value(value, sizeof value, e.my_ix);
        caption = value;
    }
    int flags = e.win_type & (wt_sunken | wt_style2);
    return plat::win_create_control(hwndMain, kind | flags, e.win_id, caption, x, y + 5, w, h);
}

void SetWindowContents(int mode) {
    bool create = (mode == 1 || mode == 3);
    bool with_bg = (mode == 2 || mode == 3);
    mw_select_menu(scr_menu_for_lang());
    uint32_t mask = scr_view_mask(sysmode);
    int slot = with_bg ? 0 : 1;
    for (size_t row = with_bg ? 0 : 1; row < scr_n_rows; row++) {
        const elementT &e = wndelemnts[row];
        if ((e.screen & mask) == 0) continue;
        char pv = e.is_enab_visib ? e.is_enab_visib() : 0;
        if ((pv & pv_create) == 0) continue;
        if (slot >= scr_n_slots) break;
        int wnd;
        if (create) {
            wnd = scr_create(e);
            screen[slot].wnd = wnd;
        } else {
            wnd = screen[slot].wnd;
        }
        screen[slot].elem_ix = e.my_ix;
        if (wnd != -1) {
            scr_apply_enable(wnd, e, pv);
            plat::win_set_font(wnd, plat::WIN_FONT_SMALL);
            scr_apply_kind(wnd, e);
            scr_apply_tip(wnd, e);
        }
        if (slot == scr_n_slots - 1) {
            mw_showerror(hwndMain, "Zu viele Anzeigeelemente auf der Bilschirmseite!");
            break;
        }
        slot++;
    }
    update_menu();
    plat::win_set_font(hwndMain, plat::WIN_FONT_SMALL);
}

// ---------------------------------------------------------------- content modes

static void scr_store_all(int from) {
    for (int i = from; i < scr_n_slots; i++) scr_save(i);
}

void CreateWindowContents(int mode) {
    if (on_main([mode] { CreateWindowContents(mode); })) return;
    std::lock_guard<std::recursive_mutex> lk(scr_slot_mu);
    if (paint_func) {
        void (*f)(void) = paint_func;
        paint_func = nullptr;
        f();
        return;
    }
    if (mode != cw_store && mode != cw_refresh) getrc(hwndMain, nullptr, nullptr, &scr_tw, &scr_th);
    // Each storing mode stores, then goes on as the mode without storing.
    switch (mode) {
    case cw_store: scr_store_all(1); break;
    case cw_store_rebuild: scr_store_all(1); [[fallthrough]];
    case cw_rebuild:
        scr_close_ix(ix_last, 1);
        SetWindowContents(1);
        break;
    case cw_store_refresh: scr_store_all(1); [[fallthrough]];
    case cw_refresh: SetWindowContents(0); break;
    case cw_store_full: scr_store_all(0); [[fallthrough]];
    case cw_full:
        scr_close_ix(ix_last, 0);
        SetWindowContents(3);
        break;
    default: break;
    }
}

void scr_reset_elem(screen_element *slots, int n) {
    if (!slots) return;
    if (n > scr_n_slots) n = scr_n_slots;
    for (int i = 0; i < n; i++) {
        slots[i].wnd = -1;
        slots[i].elem_ix = ix_last;
    }
}

void scr_close_ix(int32_t ix, int start) {
    if (on_main([ix, start] { scr_close_ix(ix, start); })) return;
    std::lock_guard<std::recursive_mutex> lk(scr_slot_mu);
    if (start < 0) start = 0;
    for (int i = start; i < scr_n_slots; i++) {
        if (ix != ix_last && screen[i].elem_ix != ix) continue;
        if (screen[i].wnd != -1) plat::win_close(screen[i].wnd);
        screen[i].wnd = -1;
        screen[i].elem_ix = ix_last;
        if (ix != ix_last) return;
    }
}

// ---------------------------------------------------------------- storing back

// The number rule of the fields: the text read as a decimal (leading blanks,
// an optional sign, digits up to the first other character), 0 only when the
// text is exactly "0", "-0" or "+0", within lo..hi limited to a byte.
static bool scr_byte_in(const char *text, uint32_t lo, uint32_t hi, uint8_t *out) {
    if (!text || !out) return false;
    long v = strtol(text, nullptr, 10);
    if (v == 0 && strcmp(text, "0") != 0 && strcmp(text, "-0") != 0 && strcmp(text, "+0") != 0)
        return false;
    if (hi > 255) hi = 255;
    if (lo > hi) std::swap(lo, hi);
    if (v < static_cast<long>(lo) || v > static_cast<long>(hi)) return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

// Stores a number field's text into its byte: the interval of p2 decides the
// range, an invalid text gives the interval's default. A 0-based field
// (shown + 1) stores the value and the default lowered by one. True when the
// field must be redrawn: its text is not the value now in use.
static bool scr_save_number(const elementT &e, const char *text) {
    const intervallT *iv = iv_get(e.p2);
    uint8_t v = 0;
    uint8_t *dst = static_cast<uint8_t *>(e.buffer);
    uint8_t base = e.buffer_type == bt_byte1 ? 1 : 0;
    if (scr_byte_in(text, iv->min, iv->max, &v) && v >= base)
        *dst = static_cast<uint8_t>(v - base);
    else
        *dst = static_cast<uint8_t>(iv->def >= base ? iv->def - base : 0);
    char shown[16];
    scr_get_bufffer_value(shown, sizeof shown, e.my_ix);
    return strcmp(shown, text) != 0;
}

// Stores a text field's text into its variable. True when the field must be
// redrawn: an address field whose text was refused and now reads the address
// in use.
static bool scr_save_text(const elementT &e, char *text, size_t cap) {
    if (e.buffer_size == 0) return false;
    if (e.p2 == tc_fname && is_not_fname(text)) return false;
    // An address field takes only an address a link may use (ms_is_not_ipv4);
    // anything else leaves it without an address.
    bool refused = false;
    if (e.p2 == tc_ipv4 && ms_is_not_ipv4(text) != 0) {
        if (cap < 8) return false;
        ms_set_std_ipv4(text);
        refused = true;
    }
    std::unique_lock<std::mutex> lk(scr_debug_mu, std::defer_lock);
    if (e.buffer == debug_str) lk.lock();
    char *dst = static_cast<char *>(e.buffer);
    size_t len = strnlen(text, e.buffer_size - 1);
    memcpy(dst, text, len);
    dst[len] = 0;
    return refused;
}

void scr_save(int slot) {
    if (slot < 0 || slot >= scr_n_slots) return;
    const screen_element &s = screen[slot];
    if (s.wnd == -1 || s.elem_ix < 0 || s.elem_ix >= static_cast<int32_t>(scr_n_rows)) return;
    const elementT &e = wndelemnts[s.elem_ix];
    if (!e.buffer || (e.win_type & 0xFF) == wt_tree) return;
    char text[1023];
    plat::win_get_text(s.wnd, text, sizeof text);
    bool redraw = false;
    switch (e.buffer_type) {
    case bt_text: redraw = scr_save_text(e, text, sizeof text); break;
    case bt_byte:
    case bt_byte1: redraw = scr_save_number(e, text); break;
    default: break;
    }
    // A refused value is replaced by the default (numbers) or the empty address:
    // the field shows what is used, never the text that was refused.
    if (redraw) {
        char shown[1024];
        scr_get_bufffer_value(shown, sizeof shown, e.my_ix);
        plat::win_set_text(s.wnd, shown);
    }
}

char is_not_fname(const char *name) {
    if (!name || !name[0]) return 1;
    if (strcmp(name, "File:") == 0 || strcmp(name, "Datei:") == 0) return 1;
    return 0;
}

// ---------------------------------------------------------------- look-ups

int32_t get_index_by_name(const char *name) {
    if (!name) return ix_last;
    for (size_t i = 0; i < scr_n_rows; i++)
        if (strcasecmp(wndelemnts[i].index_name, name) == 0) return wndelemnts[i].my_ix;
    return ix_last;
}

// ---------------------------------------------------------------- enable refresh

void paint_enab(void) {
    if (on_main([] { paint_enab(); })) return;
    std::lock_guard<std::recursive_mutex> lk(scr_slot_mu);
    paint_enab_sysmode();
    for (const screen_element &s : screen) {
        if (s.wnd == -1 || s.elem_ix < 0 || s.elem_ix >= static_cast<int32_t>(scr_n_rows)) continue;
        const elementT &e = wndelemnts[s.elem_ix];
        char pv = e.is_enab_visib ? e.is_enab_visib() : 0;
        scr_apply_enable(s.wnd, e, pv);
    }
}

void paint_mak(void) {
    if (on_main([] { paint_mak(); })) return;
    mw_check_menu(hwndMain, cmd_show_mak, show_mak == 0);
    if (show_mak != 0) {
        static const int32_t mak[] = {ix_mak_grp, ix_mak_1, ix_mak_2, ix_mak_3, ix_mak_4, ix_mak_5};
        for (int32_t ix : mak) scr_close_ix(ix, 0);
    } else {
        CreateWindowContents(cw_store_rebuild);
    }
}

void set_baud_box(void) {
    if (on_main([] { set_baud_box(); })) return;
    for (int32_t ix = ix_firm_bd96; ix <= ix_firm_bd5760; ix++) {
        int wnd = scr_getwnd_ix(ix);
        if (wnd == -1) continue;
        int32_t p2 = wndelemnts[ix].p2;
        mw_check_butt(wnd, p2 >= 0 && p2 < 8 && ucol[0][p2] == sys_baud);
    }
}

// ---------------------------------------------------------------- results

void zelb_info_to_window(void) {
    zelb_info_lines l;
    zelb_info_format(&zelb_info_dat, &l);
    mw_settext(scr_getwnd_ix(ix_tx_inf_typ), scr_get_text_ix(tx_typ));
    mw_settext(scr_getwnd_ix(ix_ed_inf_typ), l.typ);
    mw_settext(scr_getwnd_ix(ix_tx_inf_dsp), scr_get_text_ix(tx_dsp));
    mw_settext(scr_getwnd_ix(ix_ed_inf_dsp), l.dsp);
    mw_settext(scr_getwnd_ix(ix_tx_inf_rev), scr_get_text_ix(tx_vers));
    mw_settext(scr_getwnd_ix(ix_ed_inf_rev), l.rev);
    mw_settext(scr_getwnd_ix(ix_tx_inf_dat), scr_get_text_ix(tx_dat));
    mw_settext(scr_getwnd_ix(ix_ed_inf_dat), l.dat);
}

void scr_show_result(int what) {
    if (what == wa_zelb_nr) {
        char s[8];
        snprintf(s, sizeof s, "%d", sys_zelb_nr);
        mw_settext(scr_getwnd_ix(ix_ed_zelb_nr), s);
    } else if (what == wa_info) {
        zelb_info_to_window();
    }
}
