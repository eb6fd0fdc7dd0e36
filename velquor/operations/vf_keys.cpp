// Remote keys: the key actions choose the command, send_my_key sends it to
// the monitor of the session and reads the acknowledgement.
#include "velquor/operations/vf_keys.h"

#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_win.h"

uint32_t act_p2 = 0;
uint32_t act_p3 = 0;

namespace {

struct key_row {
    int ctl;
    int32_t action;
    uint32_t cmd;
};
const key_row kKeys[] = {
    {cmd_key_up, ix_keyb_up, zelb_key_up},          {cmd_key_left, ix_keyb_left, zelb_key_left},
    {cmd_key_right, ix_keyb_right, zelb_key_right}, {cmd_key_down, ix_keyb_down, zelb_key_down},
    {cmd_key_ok, ix_keyb_ok, zelb_key_ok},
};

char init_key(uint32_t cmd) {
    act_p3 = 0;
    act_p2 = cmd;
    return 1;
}

}  // namespace

char send_key(int key, uint8_t zelb_nr) {
    (void)zelb_nr;  // the key goes to sys_zelb_nr, read when it is sent
    int32_t action = ix_keyb_ok;
    for (const key_row &k : kKeys)
        if (k.ctl == key) action = k.action;
    sm_start_liste1(hwndMain, action);
    return 0;
}

char init_key_ok(void) { return init_key(zelb_key_ok); }
char init_key_left(void) { return init_key(zelb_key_left); }
char init_key_right(void) { return init_key(zelb_key_right); }
char init_key_up(void) { return init_key(zelb_key_up); }
char init_key_down(void) { return init_key(zelb_key_down); }

char send_my_key(void) {
    char rv = open_my_zelb();
    if (rv == 0) {
        uint32_t cmd = act_p2, val = act_p3;
        rv = send_single_send_zelb(sys_zelb_nr, &cmd, &val, 1);
    }
    mc_close_syscom();
    return step_verdict(rv);
}

char send_key_ok(void) {
    uint32_t cmd = zelb_key_ok, val = 0;
    return step_verdict(send_single_send_zelb(del_zelb_nr, &cmd, &val, 1));
}

char zelb_send_key(void) {
    sys_rv = 0;
    sys_cmd = zelb_key_ok;
    sys_val = 0;
    send_zelb(sys_zelb_nr, sys_val, sys_cmd);
    return sys_rv == 0 ? 1 : 0;
}
