// The status dialogs' and the about box's windows. They draw what the status
// display's state composes (velquor_stat.cpp): the composition happens under
// its lock, the drawing here after the lock is released.
//
// Sections: creating and showing; requests; Cancel; progress bar.
#include "velquor_dialogs.h"

#include "platform/win.h"
#include "velquor/operations/vf_images.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/ui/win_seam.h"

int HDLG_About = 0, HDLG_Stat = 0, HDLG_StatErr = 0, HPB_Stat = 0;
uint8_t stat_dlg_ready = 0;

namespace {

constexpr int dlg_item_images = 212;  // the about box's line of the built-in images

bool open(int h) { return h != 0 && h != -1 && plat::win_exists(h); }

// Button 215 of either status dialog is Cancel; button 208 and the caption's
// close box end the about box. Closing it must forget its handle, else the
// next Version command would find it "open" and show nothing. The status
// dialogs are only hidden by their close box, as the layer does by default.
int dlg_proc(int hwnd, int msg, int p1, int p2) {
    (void)p2;
    if (msg == plat::WIN_MSG_COMMAND) {
        if (p1 == dlg_item_cancel && (hwnd == HDLG_Stat || hwnd == HDLG_StatErr)) stop_by_dlg();
        if (p1 == dlg_item_ok && hwnd == HDLG_About) dlgclose_about();
    }
    if (msg == plat::WIN_MSG_CLOSE && hwnd == HDLG_About) {
        dlgclose_about();
        return 1;  // already gone: nothing left for the layer to hide
    }
    return 0;
}

int make_dialog(int w_du, int h_du) {
    int x = 0, y = 0, w = w_du, h = h_du;
    plat::win_dialog_units_to_px(&x, &y, &w, &h);
    plat::WinDialogArgs a;
    a.owner = hwndMain;
    a.caption = VER_APP_NAME;
    a.width = w;
    a.height = h;
    a.proc = dlg_proc;
    return plat::win_create_dialog(a);
}

int make_item(int dlg, int kind, int id, const char *text, int x, int y, int w, int h) {
    plat::win_dialog_units_to_px(&x, &y, &w, &h);
    return plat::win_create_control(dlg, kind, id, text, x, y, w, h);
}

void set_item(int dlg, int id, const char *text) {
    int h = plat::win_find_child(dlg, id);
    if (h != -1) plat::win_set_text(h, text);
}

// The progress dialog is shown: the idle timer watches for the end of the
// operation. Hidden: nothing to watch.
void show_stat_dlg(void) {
    plat::win_show(HDLG_Stat, true);
    plat::win_set_timer(hwndMain, dlg_tm_idle, dlg_tm_idle_ms);
}

}  // namespace

// ---------------------------------------------------------------- creating and showing

void dlgopen_stat(void) {
    if (!open(HDLG_Stat)) {
        int d = make_dialog(126, 60);
        if (d == -1) return;
        make_item(d, plat::WIN_STATIC | plat::WIN_FLAG_RIGHT, dlg_item_pre, "", 7, 5, 55, 13);
        make_item(d, plat::WIN_STATIC, dlg_item_betw, "", 65, 5, 54, 13);
        make_item(d, plat::WIN_BUTTON, dlg_item_cancel, scr_get_text_ix(tx_abr), 33, 40, 60, 14);
        int bx = 0, by = 0;
        plat::win_dialog_base_units(&bx, &by);
        HPB_Stat =
            plat::win_create_progress(d, static_cast<int8_t>(bx), 2 * static_cast<int8_t>(by),
                                      22 * static_cast<int8_t>(bx), static_cast<int8_t>(by));
        PBAR_SetRangeProzent(HPB_Stat);
        HDLG_Stat = d;
        stat_dlg_ready = 1;
        stat_dlg_view_reset();
    }
    show_stat_dlg();
}

void dlgopen_staterr(void) {
    if (!open(HDLG_StatErr)) {
        int d = make_dialog(126, 60);
        if (d == -1) return;
        make_item(d, plat::WIN_STATIC, dlg_item_msg, "", 2, 5, 122, 26);
        make_item(d, plat::WIN_BUTTON, dlg_item_cancel, scr_get_text_ix(tx_abr), 33, 40, 60, 14);
        HDLG_StatErr = d;
        stat_dlg_ready = 1;
    }
    plat::win_show(HDLG_StatErr, true);
}

void dlgshow_stat(void) {
    if (open(HDLG_Stat)) show_stat_dlg();
}

static void focus_stat(void) {
    if (!open(HDLG_Stat)) return;
    show_stat_dlg();
    plat::win_bring_to_front(HDLG_Stat);
}

void dlgshow_staterr(void) {
    if (!open(HDLG_StatErr)) return;
    plat::win_show(HDLG_StatErr, true);
    plat::win_bring_to_front(HDLG_StatErr);
}

static void hide_stat(void) {
    if (open(HDLG_Stat)) plat::win_show(HDLG_Stat, false);
    plat::win_kill_timer(hwndMain, dlg_tm_idle);
}

void dlg_idle_tick(void) {
    if (!(sys_act & 1)) return;
    hide_stat();
}

void dlghide_staterr(void) {
    if (open(HDLG_StatErr)) plat::win_show(HDLG_StatErr, false);
}

void dlgclose_stat(void) {
    resdlg_stat_txt();
    if (open(HDLG_Stat)) plat::win_destroy(HDLG_Stat);
    HDLG_Stat = 0;
    HPB_Stat = 0;
}

void dlgclose_staterr(void) {
    resdlg_stat_txt();
    if (open(HDLG_StatErr)) plat::win_destroy(HDLG_StatErr);
    HDLG_StatErr = 0;
}

void dlgopen_about(void) {
    if (open(HDLG_About)) return;  // a second Version command does nothing
    int d = make_dialog(200, 122);
    if (d == -1) return;
    char ver[16];
    dlg_get_dll_version(ver, sizeof ver);
    char images[512];  // which firmware and boot loader images are built in, wrapped
    images_version_text(images, sizeof images);
    make_item(d, plat::WIN_STATIC, 210, "Version:", 12, 11, 50, 13);
    make_item(d, plat::WIN_STATIC, dlg_item_ver, VER_APP_NUM, 62, 11, 50, 13);
    make_item(d, plat::WIN_STATIC, 113, "DLL-Version:", 12, 40, 50, 13);
    make_item(d, plat::WIN_STATIC, dlg_item_dllver, ver, 62, 40, 50, 13);
    make_item(d, plat::WIN_STATIC, dlg_item_images, images, 12, 62, 176, 32);
    make_item(d, plat::WIN_BUTTON, dlg_item_ok, "OK", 80, 100, 40, 14);
    HDLG_About = d;
    plat::win_show(d, true);
}

void dlgclose_about(void) {
    if (open(HDLG_About)) plat::win_destroy(HDLG_About);
    HDLG_About = 0;
}

// ---------------------------------------------------------------- requests

namespace {

// Draws what the state composes: dialog swap, main window title, caption,
// counters, bar, or the error display.
void draw_stat(void) {
    if (!open(HDLG_Stat)) return;
    stat_counts_T c;
    c.ipl_count = ipl_group_mode();
    c.ipl_ix = ipl_ix;
    c.ipl_max = ipl_max;
    c.ring = ring_func != 0;
    c.ring_ix = ring_ix;
    c.ring_max = ring_max;
    stat_draw_T d;
    stat_dlg_compose(&c, &d);

    const char *cancel = scr_get_text_ix(tx_abr);
    if (d.back_from_err) {
        dlghide_staterr();
        dlgshow_stat();
        set_item(HDLG_Stat, dlg_item_cancel, cancel);
    }
    if (hwndMain != -1) plat::win_set_text(hwndMain, d.win_title);
    if (d.new_caption) plat::win_set_text(HDLG_Stat, d.caption);
    if (!d.err_on) {
        if (d.draw_pre) set_item(HDLG_Stat, dlg_item_pre, d.pre);
        if (d.draw_betw) set_item(HDLG_Stat, dlg_item_betw, d.betw);
        if (d.pct >= 0 && HPB_Stat != 0) plat::win_progress_set_pos(HPB_Stat, d.pct);
    } else {
        if (d.to_err) {
            hide_stat();
            dlgshow_staterr();
            if (open(HDLG_StatErr)) set_item(HDLG_StatErr, dlg_item_cancel, cancel);
        }
        if (open(HDLG_StatErr)) set_item(HDLG_StatErr, dlg_item_msg, d.msg);
    }
}

void draw_bar(void) {
    int32_t act = 0, max = 0;
    stat_dlg_bar(&act, &max, nullptr);
    if (open(HDLG_Stat)) PBAR_SetPosProzent_li(HPB_Stat, 0, max, act);
}

void draw_pre(void) {
    char pre[64];
    stat_dlg_pre(pre, sizeof pre);
    if (open(HDLG_Stat)) set_item(HDLG_Stat, dlg_item_pre, pre);
}

// Through the helper library's mw_enab_butt once it is bound; the window
// layer directly before that.
void enab_stop(int enab) {
    for (int d : {HDLG_Stat, HDLG_StatErr}) {
        if (!open(d)) continue;
        int b = plat::win_find_child(d, dlg_item_cancel);
        if (b == -1) continue;
        if (mw_enab_butt)
            mw_enab_butt(b, enab != 0);
        else
            plat::win_enable(b, enab != 0);
    }
}

}  // namespace

void stat_dlg_window(int what) {
    switch (what) {
    case wa_stat_draw: draw_stat(); break;
    case wa_stat_bar: draw_bar(); break;
    case wa_stat_pre: draw_pre(); break;
    case wa_stat_focus: focus_stat(); break;
    case wa_stat_hide: hide_stat(); break;
    case wa_stop_on: enab_stop(1); break;
    case wa_stop_off: enab_stop(0); break;
    default: break;
    }
}

// ---------------------------------------------------------------- Cancel

void stop_by_dlg(void) {
    if (sm_get_stop_enabled()) {
        hide_stat();
        dlghide_staterr();
        sm_start_liste1(hwndMain, ix_sm_stop);
    } else {
        enab_stop(0);
        sm_set_stop_request();
    }
}

// ---------------------------------------------------------------- progress bar

char PBAR_SetRangeProzent(int bar) {
    if (bar == -1 || bar == 0) return 1;
    plat::win_progress_set_range(bar, 0, 100);
    return 0;
}

char PBAR_SetPosProzent_li(int bar, int32_t min, int32_t max, int32_t pos) {
    if (bar == -1 || bar == 0) return 1;
    int p = stat_percent(min, max, pos);
    if (p < 0) return 2;
    plat::win_progress_set_pos(bar, p);
    return 0;
}
