// Sessions and group walks: naming and opening one address for an
// operation's steps, and the state and steps of the IP-list walk and the ring
// walk that the action chains step through. The interface name lives only
// while the link is being opened.
#include "velquor/operations/vf_ring.h"

#include <cstdio>

#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

uint8_t ring_func = 0;
uint8_t ring_msg = 0;
uint8_t ring_no_close = 0;
int32_t ring_max = 0;
int32_t ring_ix = 0;
uint8_t del_zelb_nr = 0;
char (*ac_reset_func)(void) = nullptr;

uint8_t ipl_func = 0;
uint8_t ipl_disab = 0;
int32_t ipl_max = 0;
int32_t ipl_ix = 0;

namespace {

// Copies at most n characters of src (nullptr = empty) into dst of n + 1 bytes.
void copy_text(char *dst, const char *src, size_t n) {
    size_t i = 0;
    for (; src && i < n && src[i]; ++i) dst[i] = src[i];
    dst[i] = '\0';
}

// Opens the session for list entry `sub` (-1 = the address of the mode).
char open_session(int32_t sub, bool quick) {
    char name[intf_name_size] = {0};
    if (sub < 0)
        get_intf_name(sys_intf, sys_ip, sys_ipx, name);
    else
        get_intf_name_sub(sys_intf, sys_ip, sys_ipx, name, sub);
    init_op_dat(com_mode, name, &syscom, sys_to, parno);
    if (quick) ipcom_conf.timeout_multi = 100;
    return mc_opencom_zelb();
}

}  // namespace

void get_intf_name(uint8_t nr, const char *ip, int8_t ipx, char *s) {
    if (!s) return;
    if (com_mode == com_mode_rs232) {
        std::snprintf(s, intf_name_size, "Com%d", int(nr));
    } else if (com_mode == com_mode_ip) {
        copy_text(s, ip, intf_name_size - 1);
    } else if (com_mode == com_mode_ipl) {
        copy_text(s, list_get_ip(ipx), intf_name_size - 1);
    }
}

void get_intf_name_sub(uint8_t nr, const char *ip, int8_t ipx, char *s, int32_t sub) {
    if (!s) return;
    if (com_mode == com_mode_ipl) {
        copy_text(s, list_get_ip_sub(ipx, sub), intf_name_size - 1);
    } else {
        get_intf_name(nr, ip, ipx, s);
    }
}

bool ipl_group_mode(void) { return com_mode == com_mode_ipl && broad && !ipl_disab; }

char open_my_zelb_noipl(void) { return open_session(-1, false); }

char open_my_zelb_ipl(void) { return open_session(ipl_ix - 1, false); }

char open_my_zelb_ipl_100(void) { return open_session(ipl_ix - 1, true); }

char open_my_zelb(void) { return ipl_group_mode() ? open_my_zelb_ipl() : open_my_zelb_noipl(); }

char open_my_zelb_sub(int32_t sub) { return open_session(sub, false); }

char ipl_setup(void) {
    if (ipl_group_mode()) {
        if (sys_zelb_nr != 0) return 1;
        ipl_func = 1;
        ipl_ix = 0;
        ipl_max = list_get_max_sub(sys_ipx);
        return ipl_max == -1 ? mc_e_ipl_em : mc_e_ok;
    }
    ipl_func = 0;
    ipl_ix = 0;
    ipl_max = 1;
    return 0;
}

char init_ipl(void) {
    char rv = ipl_setup();
    if (rv == 1) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_mon_0));
        return 0;
    }
    return step_verdict(rv);
}

char ipl_control(void) {
    if (ipl_ix >= ipl_max) return 2;
    ++ipl_ix;
    if (ipl_ix > 1) mc_close_syscom();
    return 1;
}

char ring_close(void) {
    if (ipl_group_mode()) return 1;
    return ring_no_close ? 2 : 0;
}

char init_ring(void) {
    if (sys_zelb_nr != 0) {
        ring_setup(0);
        return mc_e_ok;
    }
    uint8_t n = 0;
    char rv = ping_me2(&n);
    if (rv != mc_e_ok) return rv;
    ring_setup(n);
    return mc_e_ok;
}

char ring_control(void) {
    if (ring_ix >= ring_max) return 2;
    del_zelb_nr = static_cast<uint8_t>(ring_ix + 1);
    ++ring_ix;
    if (ac_reset_func) {
        ac_reset_func();
        if (sys_rv != 0) return 0;
    }
    set_auto_titel();
    return 1;
}

void ring_setup(int32_t highest) {
    if (sys_zelb_nr != 0) {
        ring_func = 0;
        ring_max = sys_zelb_nr;
        ring_ix = sys_zelb_nr - 1;
        return;
    }
    ring_max = highest;
    ring_ix = 0;
    ring_func = 1;
}

void ring_ipl_clear(void) {
    ring_func = 0;
    ring_msg = 0;
    ring_no_close = 0;
    ring_max = 0;
    ring_ix = 0;
    del_zelb_nr = 0;
    ipl_func = 0;
    ipl_disab = 0;
    ipl_max = 0;
    ipl_ix = 0;
}
