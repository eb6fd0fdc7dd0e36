// Status and progress dialogs. The state (texts, counters, changed flags) sits
// behind dlg_mu; a redraw composes what to show under the lock and talks to the
// window layer after releasing it, because the layer may wait for the main
// thread, which may itself be waiting for the lock.
#include "velquor_dialogs.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/util/vqsystem.h"

int HDLG_About = 0, HDLG_Stat = 0, HDLG_StatErr = 0, HPB_Stat = 0;
uint8_t stat_dlg_ready = 0;
uint8_t dlg_err = 0;
uint8_t s_dlg_err = 0;

namespace {

std::mutex dlg_mu;
char titeltx[61];
char titeltx2[61];
char s_dlg_tit[61];  // the caption set last
char s_dlg_pre[30];
char s_dlg_betw[30];
char s_dlg_msg[60];
int32_t titel_act = 0, titel_max = 0;
bool s_pre_changed = true, s_btw_changed = true, s_act_changed = true, s_max_changed = true;
char dll_ver_text[16] = "1.000";
stat_dlg_view last_view;

void cut_copy(char *dst, size_t n, const char *src) {
    if (n == 0) return;
    size_t k = src ? strnlen(src, n - 1) : 0;
    if (k) memcpy(dst, src, k);
    dst[k] = 0;
}

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

// Percent of pos within min..max as the bar shows it; -1 when pos is outside.
int percent_of(int32_t min, int32_t max, int32_t pos) {
    if (pos < min || pos > max) return -1;
    int64_t span = static_cast<int64_t>(max) - min;
    if (span == 0) span = 1;
    return static_cast<uint8_t>(static_cast<int64_t>(pos) * 100 / span);
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
        std::lock_guard<std::mutex> lk(dlg_mu);  // the view of the new, empty dialog
        cut_copy(last_view.caption, sizeof last_view.caption, VER_APP_NAME);
        last_view.pre[0] = last_view.betw[0] = 0;
        last_view.percent = 0;
    }
    plat::win_show(HDLG_Stat, true);
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
    if (open(HDLG_Stat)) plat::win_show(HDLG_Stat, true);
}

void dlg_stat_focus(void) {
    if (!open(HDLG_Stat)) return;
    plat::win_show(HDLG_Stat, true);
    plat::win_bring_to_front(HDLG_Stat);
}

void dlgshow_staterr(void) {
    if (!open(HDLG_StatErr)) return;
    plat::win_show(HDLG_StatErr, true);
    plat::win_bring_to_front(HDLG_StatErr);
}

void dlghide_stat(void) {
    if (open(HDLG_Stat)) plat::win_show(HDLG_Stat, false);
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

void dlg_set_dll_version(const char *text) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(dll_ver_text, sizeof dll_ver_text, text);
}

void dlgopen_about(void) {
    if (open(HDLG_About)) return;  // a second Version command does nothing
    int d = make_dialog(136, 100);
    if (d == -1) return;
    char ver[16];
    {
        std::lock_guard<std::mutex> lk(dlg_mu);
        cut_copy(ver, sizeof ver, dll_ver_text);
    }
    make_item(d, plat::WIN_STATIC, 210, "Version:", 12, 11, 50, 13);
    make_item(d, plat::WIN_STATIC, dlg_item_ver, VER_APP_NUM, 62, 11, 50, 13);
    make_item(d, plat::WIN_STATIC, 113, "DLL-Version:", 12, 40, 50, 13);
    make_item(d, plat::WIN_STATIC, dlg_item_dllver, ver, 62, 40, 50, 13);
    make_item(d, plat::WIN_BUTTON, dlg_item_ok, "OK", 48, 65, 40, 14);
    HDLG_About = d;
    plat::win_show(d, true);
}

void dlgclose_about(void) {
    if (open(HDLG_About)) plat::win_destroy(HDLG_About);
    HDLG_About = 0;
}

// ---------------------------------------------------------------- texts and counters

void set_titeltx(const char *t) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(titeltx, sizeof titeltx, t);
}

void set_titeltx2(const char *t) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(titeltx2, sizeof titeltx2, t);
}

void setdlg_stat_txt(const char *pre, const char *between, const char *msg) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    if (pre) {
        cut_copy(s_dlg_pre, sizeof s_dlg_pre, pre);
        s_pre_changed = true;
    }
    if (between) {
        cut_copy(s_dlg_betw, sizeof s_dlg_betw, between);
        s_btw_changed = true;
    }
    cut_copy(s_dlg_msg, sizeof s_dlg_msg, msg);
}

void send_stat_msg(const char *msg) {
    setdlg_stat_txt(nullptr, nullptr, msg);
    update_dlg_stat();
}

void resdlg_stat_txt(void) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    s_dlg_pre[0] = s_dlg_betw[0] = s_dlg_msg[0] = 0;
    s_pre_changed = s_btw_changed = s_act_changed = s_max_changed = true;
}

void stat_set_act(int32_t n) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    titel_act = n;
    s_act_changed = true;
}

void stat_set_max(int32_t n) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    titel_max = n;
    s_max_changed = true;
}

void stat_dlg_reset_err(void) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    s_dlg_err = 0;
    dlg_err = 2;
}

// ---------------------------------------------------------------- redraw

void update_dlg_stat(void) {
    if (!open(HDLG_Stat)) return;

    // Compose under the lock.
    bool back_from_err = false, to_err = false, err_on = false;
    bool draw_pre = false, draw_betw = false;
    bool new_caption = false;
    char win_title[128], caption[61], pre[64], betw[64], msg[128];
    int pct;
    {
        std::lock_guard<std::mutex> lk(dlg_mu);
        if (dlg_err == 2) {
            back_from_err = true;
            dlg_err = 0;
            s_dlg_err = 0;
        }
        bool ipl_count = com_mode == com_mode_ipl && broad && !ipl_disab;
        if (titeltx2[0] == 0)
            cut_copy(win_title, sizeof win_title, VER_APP_NAME);
        else if (ipl_count)
            snprintf(win_title, sizeof win_title, "%s: %d/%d", titeltx2, static_cast<int>(ipl_ix),
                     static_cast<int>(ipl_max));
        else
            cut_copy(win_title, sizeof win_title, titeltx2);

        if (titeltx[0] != 0) {
            char c[128];
            if (ring_func)
                snprintf(c, sizeof c, "%s: %d/%d", titeltx, static_cast<int>(ring_ix),
                         static_cast<int>(ring_max));
            else
                cut_copy(c, sizeof c, titeltx);
            c[60] = 0;
            // Trim; a trailing colon becomes a blank.
            const char *a = c;
            while (*a == ' ') ++a;
            size_t k = strlen(a);
            while (k > 0 && a[k - 1] == ' ') --k;
            memcpy(caption, a, k);
            caption[k] = 0;
            if (k > 0 && caption[k - 1] == ':') caption[k - 1] = ' ';
            if (strcmp(caption, s_dlg_tit) != 0) {
                cut_copy(s_dlg_tit, sizeof s_dlg_tit, caption);
                new_caption = true;
            }
        } else {
            cut_copy(s_dlg_tit, sizeof s_dlg_tit, VER_APP_NAME);
        }

        if (s_dlg_msg[0] == 0) {
            if (s_dlg_err) {
                back_from_err = true;
                s_dlg_err = 0;
            }
            if (s_pre_changed || s_act_changed) {
                snprintf(pre, sizeof pre, "%s %d", s_dlg_pre, static_cast<int>(titel_act));
                draw_pre = true;
                s_pre_changed = s_act_changed = false;
            }
            if (s_btw_changed || s_max_changed) {
                snprintf(betw, sizeof betw, "%s %d", s_dlg_betw, static_cast<int>(titel_max));
                draw_betw = true;
                s_btw_changed = s_max_changed = false;
            }
            pct = percent_of(0, titel_max, titel_act);
        } else {
            if (!s_dlg_err) {
                to_err = true;
                s_dlg_err = 1;
            }
            err_on = true;
            snprintf(msg, sizeof msg, "%s %s", scr_get_text_ix(tx_status), s_dlg_msg);
            pct = -1;
        }

        // Keep what is drawn for tests and the terminal front end.
        if (new_caption) cut_copy(last_view.caption, sizeof last_view.caption, s_dlg_tit);
        if (draw_pre) cut_copy(last_view.pre, sizeof last_view.pre, pre);
        if (draw_betw) cut_copy(last_view.betw, sizeof last_view.betw, betw);
        if (err_on)
            cut_copy(last_view.msg, sizeof last_view.msg, msg);
        else
            last_view.msg[0] = 0;
        if (pct >= 0) last_view.percent = pct;
        last_view.error_shown = s_dlg_err != 0;
    }

    // Then draw.
    const char *cancel = scr_get_text_ix(tx_abr);
    if (back_from_err) {
        dlghide_staterr();
        dlgshow_stat();
        set_item(HDLG_Stat, dlg_item_cancel, cancel);
    }
    if (hwndMain != -1) plat::win_set_text(hwndMain, win_title);
    if (new_caption) plat::win_set_text(HDLG_Stat, caption);
    if (!err_on) {
        if (draw_pre) set_item(HDLG_Stat, dlg_item_pre, pre);
        if (draw_betw) set_item(HDLG_Stat, dlg_item_betw, betw);
        if (pct >= 0 && HPB_Stat != 0) plat::win_progress_set_pos(HPB_Stat, pct);
    } else {
        if (to_err) {
            dlghide_stat();
            dlgshow_staterr();
            if (open(HDLG_StatErr)) set_item(HDLG_StatErr, dlg_item_cancel, cancel);
        }
        if (open(HDLG_StatErr)) set_item(HDLG_StatErr, dlg_item_msg, msg);
    }
}

void set_auto_titel(void) { update_dlg_stat(); }

void set_auto_pbar(void) {
    int32_t act, max;
    {
        std::lock_guard<std::mutex> lk(dlg_mu);
        act = titel_act;
        max = titel_max;
        int p = percent_of(0, max, act);
        if (p >= 0) last_view.percent = p;
    }
    if (open(HDLG_Stat)) PBAR_SetPosProzent_li(HPB_Stat, 0, max, act);
}

void set_auto_pre_titel(void) {
    char pre[64];
    {
        std::lock_guard<std::mutex> lk(dlg_mu);
        snprintf(pre, sizeof pre, "%s %d", s_dlg_pre, static_cast<int>(titel_act));
        s_pre_changed = s_act_changed = false;
        cut_copy(last_view.pre, sizeof last_view.pre, pre);
    }
    if (open(HDLG_Stat)) set_item(HDLG_Stat, dlg_item_pre, pre);
}

void stat_dlg_get_view(stat_dlg_view *v) {
    if (!v) return;
    std::lock_guard<std::mutex> lk(dlg_mu);
    *v = last_view;
}

// ---------------------------------------------------------------- Cancel

// Through the helper library's mw_enab_butt once it is bound; the window
// layer directly before that.
void stat_dlgs_enab_stop(int enab) {
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

void stop_by_dlg(void) {
    if (sm_get_stop_enabled()) {
        dlghide_stat();
        dlghide_staterr();
        sm_start_liste1(hwndMain, ix_sm_stop);
    } else {
        stat_dlgs_enab_stop(0);
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
    int p = percent_of(min, max, pos);
    if (p < 0) return 2;
    plat::win_progress_set_pos(bar, p);
    return 0;
}
