// The status display's state: texts, counters and change marks behind one
// lock, the composition of a redraw, and the requests that the main window
// carries out on the dialogs. A redraw is composed under the lock and drawn
// by the window after it is released, because the window layer may wait for
// the main thread, which may itself be waiting for the lock.
//
// Sections: state; texts and counters; requests; composing.
#include "velquor/ui/velquor_stat.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "velquor/ui/text_ar.h"
#include "velquor/ui/win_seam.h"

// ---------------------------------------------------------------- state

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

}  // namespace

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

void dlg_set_dll_version(const char *text) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(dll_ver_text, sizeof dll_ver_text, text);
}

void dlg_get_dll_version(char *out, size_t n) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(out, n, dll_ver_text);
}

// ---------------------------------------------------------------- requests

void update_dlg_stat(void) { win_ask(wa_stat_draw); }
void set_auto_titel(void) { update_dlg_stat(); }
void set_auto_pbar(void) { win_ask(wa_stat_bar); }
void set_auto_pre_titel(void) { win_ask(wa_stat_pre); }
void dlg_stat_focus(void) { win_ask(wa_stat_focus); }
void dlghide_stat(void) { win_ask(wa_stat_hide); }
void stat_dlgs_enab_stop(int enab) { win_ask(enab ? wa_stop_on : wa_stop_off); }

// ---------------------------------------------------------------- composing

int stat_percent(int32_t min, int32_t max, int32_t pos) {
    if (pos < min || pos > max) return -1;
    int64_t span = static_cast<int64_t>(max) - min;
    if (span == 0) span = 1;
    return static_cast<uint8_t>(static_cast<int64_t>(pos) * 100 / span);
}

void stat_dlg_view_reset(void) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    cut_copy(last_view.caption, sizeof last_view.caption, VER_APP_NAME);
    last_view.pre[0] = last_view.betw[0] = 0;
    last_view.percent = 0;
    last_view.act = last_view.max = 0;
    last_view.pre_label[0] = last_view.betw_label[0] = 0;
}

void stat_dlg_compose(const stat_counts_T *c, stat_draw_T *d) {
    if (!c || !d) return;
    *d = stat_draw_T{};
    d->pct = -1;
    std::lock_guard<std::mutex> lk(dlg_mu);
    if (dlg_err == 2) {
        d->back_from_err = true;
        dlg_err = 0;
        s_dlg_err = 0;
    }
    if (titeltx2[0] == 0)
        cut_copy(d->win_title, sizeof d->win_title, VER_APP_NAME);
    else if (c->ipl_count)
        snprintf(d->win_title, sizeof d->win_title, "%s: %d/%d", titeltx2,
                 static_cast<int>(c->ipl_ix), static_cast<int>(c->ipl_max));
    else
        cut_copy(d->win_title, sizeof d->win_title, titeltx2);

    if (titeltx[0] != 0) {
        char t[128];
        if (c->ring)
            snprintf(t, sizeof t, "%s: %d/%d", titeltx, static_cast<int>(c->ring_ix),
                     static_cast<int>(c->ring_max));
        else
            cut_copy(t, sizeof t, titeltx);
        t[60] = 0;
        // Trim; a trailing colon becomes a blank.
        const char *a = t;
        while (*a == ' ') ++a;
        size_t k = strlen(a);
        while (k > 0 && a[k - 1] == ' ') --k;
        memcpy(d->caption, a, k);
        d->caption[k] = 0;
        if (k > 0 && d->caption[k - 1] == ':') d->caption[k - 1] = ' ';
        if (strcmp(d->caption, s_dlg_tit) != 0) {
            cut_copy(s_dlg_tit, sizeof s_dlg_tit, d->caption);
            d->new_caption = true;
        }
    } else {
        cut_copy(s_dlg_tit, sizeof s_dlg_tit, VER_APP_NAME);
    }

    if (s_dlg_msg[0] == 0) {
        if (s_dlg_err) {
            d->back_from_err = true;
            s_dlg_err = 0;
        }
        if (s_pre_changed || s_act_changed) {
            snprintf(d->pre, sizeof d->pre, "%s %d", s_dlg_pre, static_cast<int>(titel_act));
            d->draw_pre = true;
            s_pre_changed = s_act_changed = false;
        }
        if (s_btw_changed || s_max_changed) {
            snprintf(d->betw, sizeof d->betw, "%s %d", s_dlg_betw, static_cast<int>(titel_max));
            d->draw_betw = true;
            s_btw_changed = s_max_changed = false;
        }
        d->pct = stat_percent(0, titel_max, titel_act);
    } else {
        if (!s_dlg_err) {
            d->to_err = true;
            s_dlg_err = 1;
        }
        d->err_on = true;
        snprintf(d->msg, sizeof d->msg, "%s %s", scr_get_text_ix(tx_status), s_dlg_msg);
        d->pct = -1;
    }

    // Keep what is drawn for tests and the terminal front end.
    if (d->new_caption) cut_copy(last_view.caption, sizeof last_view.caption, s_dlg_tit);
    if (d->draw_pre) cut_copy(last_view.pre, sizeof last_view.pre, d->pre);
    if (d->draw_betw) cut_copy(last_view.betw, sizeof last_view.betw, d->betw);
    if (d->err_on)
        cut_copy(last_view.msg, sizeof last_view.msg, d->msg);
    else
        last_view.msg[0] = 0;
    if (d->pct >= 0) {
        last_view.percent = d->pct;
        last_view.act = titel_act;
        last_view.max = titel_max;
    }
    cut_copy(last_view.pre_label, sizeof last_view.pre_label, s_dlg_pre);
    cut_copy(last_view.betw_label, sizeof last_view.betw_label, s_dlg_betw);
    last_view.error_shown = s_dlg_err != 0;
}

bool stat_dlg_bar(int32_t *act, int32_t *max, int *pct) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    int p = stat_percent(0, titel_max, titel_act);
    if (p >= 0) {
        last_view.percent = p;
        last_view.act = titel_act;
        last_view.max = titel_max;
    }
    if (act) *act = titel_act;
    if (max) *max = titel_max;
    if (pct) *pct = p;
    return p >= 0;
}

void stat_dlg_pre(char *out, size_t n) {
    std::lock_guard<std::mutex> lk(dlg_mu);
    snprintf(out, n, "%s %d", s_dlg_pre, static_cast<int>(titel_act));
    s_pre_changed = s_act_changed = false;
    cut_copy(last_view.pre, sizeof last_view.pre, out);
}

void stat_dlg_get_view(stat_dlg_view *v) {
    if (!v) return;
    std::lock_guard<std::mutex> lk(dlg_mu);
    *v = last_view;
}
