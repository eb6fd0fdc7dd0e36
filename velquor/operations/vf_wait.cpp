// Timed waits and restarts: the steps that wait a number of seconds with a
// progress display, and restart one monitor or all of a line.
#include "velquor/operations/vf_wait.h"

#include <cstdio>

#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

namespace {

int32_t wait_limit = 0;
int32_t wait_count = 0;

}  // namespace

// ---------------------------------------------------------------- waits

char wait_init_x(int32_t n) {
    dlg_stat_focus();
    wait_limit = n;
    wait_count = 0;
    sm_set_stop_enabled();
    char tit[21];  // the wait's caption text: at most 20 characters
    snprintf(tit, sizeof tit, "%s", scr_get_text_ix(tx_wait));
    set_titeltx(tit);
    setdlg_stat_txt(scr_get_text_ix(tx_time_s), scr_get_text_ix(tx_von), nullptr);
    stat_set_max(n);
    stat_set_act(0);
    set_auto_titel();
    return 1;
}

char wait_init_4(void) { return wait_init_x(4); }
char wait_init_5(void) { return wait_init_x(5); }
char wait_init_7(void) { return wait_init_x(7); }
char wait_init_9(void) { return wait_init_x(9); }
char wait_init_12(void) { return wait_init_x(12); }

char wait_me(void) {
    if (wait_count >= wait_limit) return 0;
    ++wait_count;
    stat_set_act(wait_count);
    set_auto_titel();
    return 1;
}

// ---------------------------------------------------------------- restart

char restart_zelb(int hwnd) {
    (void)hwnd;
    sm_start_liste1(hwndMain, sys_zelb_nr != 0 ? ix_res_zelb : ix_res_zelb_all);
    return 0;
}

char restart_zelb_no(void) {
    // The monitor restarts instead of answering: sent without reading.
    uint32_t cmd = zelb_cmd_restart, val = 0;
    return step_verdict(send_single_send_zelb(sys_zelb_nr, &cmd, &val, 0));
}

char restart_zelb1(void) {
    if (!step_verdict(open_my_zelb_noipl())) return 0;
    return restart_zelb_no();
}

char restart_zelb_all_no(void) {
    for (int nr = sys_zelb_nr; nr >= 1; --nr) {
        uint32_t cmd = zelb_cmd_restart, val = 0;
        if (!step_verdict(send_single_send_zelb(static_cast<uint8_t>(nr), &cmd, &val, 0))) return 0;
    }
    return 1;
}

char restart_zelb_all(void) {
    reset_err();
    if (ping_me_nc() < 1) return 0;
    return restart_zelb_all_no();
}

void restart_zelb_all_no_close(void) {
    restart_zelb_all_no();
    mc_close_syscom();
}

// ---------------------------------------------------------------- focus

char focus_stat_dlg(void) {
    dlg_stat_focus();
    return 1;
}
