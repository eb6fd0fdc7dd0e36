// The bootstrap: the loaders and the steps of its chain.
#include "velquor/operations/vf_boot.h"

#include <cstring>

#include "platform/io_stop.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/bootsec.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_images.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

int32_t sys_boot = boot_zelb3;

uint8_t BootPrim[32] = {};
uint32_t BootPrimLength = 31;
uint8_t BootSecondary[2048] = {};
uint32_t BootSecondaryLength = 0;

void InitBootSecondary_ZELB3(void) {
    std::memcpy(BootSecondary, BootSecondary_ZELB3_Image, sizeof BootSecondary_ZELB3_Image);
    BootSecondaryLength = sizeof BootSecondary_ZELB3_Image - 1;
}

void InitBootSecondary_AM29LV150(void) {
    std::memcpy(BootSecondary, BootSecondary_AM29LV150_Image, sizeof BootSecondary_AM29LV150_Image);
    BootSecondaryLength = sizeof BootSecondary_AM29LV150_Image - 1;
}

void boot_set_prim_fields(void) {
    std::memcpy(BootPrim, BootPrimImage, sizeof BootPrim);
    const uint32_t last = boot_sec_load + BootSecondaryLength;
    BootPrim[6] = static_cast<uint8_t>(boot_sec_load & 0xFF);
    BootPrim[7] = static_cast<uint8_t>(boot_sec_load >> 8);
    BootPrim[24] = static_cast<uint8_t>(last & 0xFF);
    BootPrim[25] = static_cast<uint8_t>(last >> 8);
}

char boot_firm(int hwnd) {
    (void)hwnd;
    sm_start_liste1(hwndMain, ix_boot_pause);
    return 0;
}

namespace {

// One byte from the board: 0 and *b; else the error id, 8 when none came in
// time (and no stop ended the wait).
char read_byte(uint8_t *b) {
    uint32_t n = 0;
    const char rv = mc_read_syscom(b, 1, &n);
    if (n == 1) return 0;
    return rv != 0 && plat::io_stop_raised() ? rv : char(mc_e_to);
}

}  // namespace

char boot_firm1(void) {
    reset_err();
    mf_fclose(&fpupl);
    sm_set_stop_enabled();
    // The built-in loaders are stand-ins unless the build was given the board's.
    if (!images_allowed(bootsec_stand_in)) {
        mw_showerror(hwndMain, images_refusal_text());
        return 0;
    }
    char name[intf_name_size] = {0};
    get_intf_name(sys_intf, sys_ip, sys_ipx, name);
    if (mf_open_fpupl(firmpath) != 0) return 0;
    fs_cnt = 0;
    n_fsent = 0;
    stat_set_max(0);
    stat_set_act(0);
    if (firm_to_buffer(fpupl, 0, 0) != 0) return 0;
    if (firm_lines == 0) {  // nothing to load: refused before anything is sent
        sys_f_rv = mfe_nodat;
        return 0;
    }
    init_op_dat(com_mode, name, &syscom, sys_to, parno);
    return step_verdict(mc_opencom_boot());
}

char boot_start(void) {
    const uint8_t zero = 0;
    return step_verdict(mc_write_syscom(&zero, 1));
}

char boot_start_wait(void) {
    uint8_t b = 0;
    if (!step_verdict(read_byte(&b))) return 0;
    return b == boot_id ? 1 : 2;
}

char boot_end_reset(void) {
    mw_showerror(hwndMain, scr_get_text_ix(tx_res_cpu));
    return 1;
}

char boot_ack_sec(uint8_t expected) {
    uint8_t b = 0;
    if (!step_verdict(read_byte(&b))) return 0;
    if (b == expected) return 1;
    sys_rv = mc_e_n_ack;
    return 0;
}

char boot_send_prim(void) {
    sys_rv = 0;
    set_titeltx2(scr_get_text_ix(tx_boot_prim));
    set_auto_titel();
    if (sys_boot == boot_zelb3)
        InitBootSecondary_ZELB3();
    else
        InitBootSecondary_AM29LV150();
    boot_set_prim_fields();
    if (mc_write_syscom(BootPrim, BootPrimLength + 1) != 0) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_boot_prim_err));
        return 0;
    }
    progress_start(tx_boot_sec, tx_byte, static_cast<int32_t>(BootSecondaryLength) + 1);
    for (uint32_t i = 0; i <= BootSecondaryLength; ++i) {
        if (!step_verdict(mc_write_syscom(&BootSecondary[i], 1))) return 0;
        if (!boot_ack_sec(BootSecondary[i])) return 0;
        stat_set_act(static_cast<int32_t>(i) + 1);
        set_auto_titel();
    }
    if (!boot_ack_sec(boot_sec_ready)) return 0;
    fs_grp_cnt = 0;
    progress_start(tx_boot_firm, tx_line, n_fsent);
    return 1;
}

char boot_send_firm(void) {
    if (fs_cnt > n_fsent) return 2;
    const firm_buff_T &l = firm_buff[fs_cnt];
    if (!step_verdict(mc_write_syscom(l.line, l.len))) return 0;
    ++fs_cnt;
    return 1;
}

char boot_ack_firm(void) {
    uint8_t b = 0;
    if (!step_verdict(read_byte(&b))) return 0;
    if (b < boot_ack_min) {  // a refused record is not sent again
        sys_rv = mc_e_n_ack;
        return 0;
    }
    if (++fs_grp_cnt > 9) {
        stat_set_act(fs_cnt);
        set_auto_pbar();
        set_auto_pre_titel();
        fs_grp_cnt = 0;
    }
    return 1;
}
