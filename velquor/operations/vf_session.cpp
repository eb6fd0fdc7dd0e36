// Ending an operation: the end steps that every chain of the action table
// reaches. They report the error a step recorded once, drop the rest of the
// action list after an error or hand the next entry to the sequencer, close
// the link and make the window usable again. They are safe to run twice: the
// sequencer runs the end step once more from its end timer.
#include "velquor_func.h"

#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/ui/velquor_win.h"

uint8_t sys_act = 1;
uint8_t endcom_cwcall = 2;

void (*end_show_file_error)(uint8_t id) = nullptr;
void (*end_close_extra)(void) = nullptr;

void end_it(void) {
    uint8_t rv = sys_rv;
    uint8_t frv = sys_f_rv;
    sys_rv = 0;
    sys_f_rv = 0;
    sys_msg[0] = 0;
    ac_reset_func = nullptr;

    if (rv != 0 || frv != 0)
        sm_reset();  // the rest of the action list is dropped
    else
        ix_next.store(sm_list_get_next());

    dlghide_stat();
    if (rv != 0) mw_showerror(hwndMain, mc_get_err_msg(rv));
    if (frv != 0 && end_show_file_error) end_show_file_error(frv);
    if (end_close_extra) end_close_extra();
    mc_close_syscom();
    set_titeltx2("");
    set_titeltx("");
    mw_settext(hwndMain, VER_APP_NAME);
    ring_ipl_clear();
}

void enab_sys_action(uint8_t v) {
    sys_act = v;
    if (!(v & 8)) paint_enab();
}

char end_com1(void) {
    end_it();
    if (ix_next.load() != 0) return 1;
    dome.store(0);
    endcom_cwcall = 2;
    enab_sys_action(1);
    return 1;
}

char end_com(void) {
    end_it();
    if (ix_next.load() != 0) return 1;
    dome.store(0);
    enab_sys_action(9);
    CreateWindowContents(endcom_cwcall);
    endcom_cwcall = 2;
    return 1;
}

char zelb_pause(void) { return 1; }

char step_verdict(char rv) {
    if (rv == 0) return 1;
    sys_rv = static_cast<uint8_t>(rv);
    return 0;
}
