// The viewer settings and the default groups of set_std_cfg.
//
// Every setting's start value (where its owner defines it) equals its
// default, so the program behaves the same whether or not set_std_cfg has run;
// start-up runs it with every bit anyway. Settings of other modules are reset
// here through their owners' headers.
#include "velquor/ui/velquor_cfg.h"

#include <cstdio>
#include <cstring>

#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_main.h"

// ---------------------------------------------------------------- settings

char op_mak_pre[cfg_viewer_size] = "xdg-open ";
char op_mak_suff[cfg_viewer_size] = "";
char op_ddc_hex_pre[cfg_viewer_size] = "xdg-open ";
char op_ddc_hex_suff[cfg_viewer_size] = "";
char op_ddc_bin_pre[cfg_viewer_size] = "xdg-open ";
char op_ddc_bin_suff[cfg_viewer_size] = "";
char op_tx_pre[cfg_viewer_size] = "xdg-open ";
char op_tx_suff[cfg_viewer_size] = "";

namespace {

// Default viewer command before the file name, for every kind of file: the
// desktop's own choice of program for the file. The blank separates it from
// the file name that follows.
const char viewer_pre_std[] = "xdg-open ";

// Bounded copy that always terminates.
void set_text(char *dst, size_t cap, const char *src) {
    if (!dst || cap == 0) return;
    std::snprintf(dst, cap, "%s", src ? src : "");
}

}  // namespace

// ---------------------------------------------------------------- groups

void reset_prog_open(void) {
    set_text(op_mak_pre, sizeof op_mak_pre, viewer_pre_std);
    set_text(op_ddc_hex_pre, sizeof op_ddc_hex_pre, viewer_pre_std);
    set_text(op_ddc_bin_pre, sizeof op_ddc_bin_pre, viewer_pre_std);
    set_text(op_tx_pre, sizeof op_tx_pre, viewer_pre_std);
    op_mak_suff[0] = op_ddc_hex_suff[0] = op_ddc_bin_suff[0] = op_tx_suff[0] = '\0';
}

void reset_view(void) {
    show_keyb = 0;
    show_info = 0;
    show_mak = 0;
    sysmode = view_fs;
    sys_lang = lang_eng;
    com_mode = com_mode_rs232;
}

void reset_intf(void) {
    sys_to = 5;
    sys_zelb_nr = 1;
    set_text(sys_ip, sizeof sys_ip, ipl_std_ip);
    show_eth_init_err = 1;
    firm_hito = 0;
    sys_ipx = 0;
    reset_ip_list();  // broad = 1, every entry "0.0.0.0" without a name
    for (int n = 1; n <= 99; ++n) plat::ser_set_com_path(n, nullptr);
}

void reset_files(void) {
    ddcpath[0] = firmpath[0] = fname1[0] = '\0';
    ddc_prot = 0;
    fsf_prot = 0;
    set_text(get_temp_file, sizeof get_temp_file, "./velq.tmp");
    set_text(fpath_log, sizeof fpath_log, "./test.txt");
}

void reset_win(void) {
    constexpr int32_t w = 600, h = 370;
    int sw = 0, sh = 0;
    plat::win_screen_size(&sw, &sh);
    win_width = w;
    win_height = h;
    win_left = (sw > w) ? (sw - w) / 2 : 0;
    win_top = (sh > h) ? (sh - h) / 2 : 0;
}

void set_std_cfg(uint32_t mode, uint32_t /*mode2*/) {
    if (mode & cfg_grp_mak) makpath[0] = '\0';
    if (mode & cfg_grp_viewers) reset_prog_open();
    if (mode & cfg_grp_boot) sys_boot = boot_zelb3;
    if (mode & cfg_grp_view) reset_view();
    if (mode & cfg_grp_lpt) reset_ddc_port();
    if (mode & cfg_grp_intf) {
        reset_intf();
        reset_scan();
    }
    if (mode & cfg_grp_baud) sys_baud = 115200;
    if (mode & cfg_grp_files) reset_files();
    if (mode & cfg_grp_win) reset_win();
    if (mode & cfg_grp_ddc_intf) ddc_intf = 1;
    if (mode & cfg_grp_app_name) set_text(VER_APP_NAME, sizeof VER_APP_NAME, VER_APP_NAME_STD);
    if (mode & cfg_grp_ddc_bus) ddc_bus = 1;
    if (mode & cfg_grp_flags) {
        parno = 0;
        logcom = 0;
        firm_68 = 0;
    }
    if (mode & cfg_grp_det) reset_det_items();
}
