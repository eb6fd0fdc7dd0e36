// The settings that survive a restart and that no other module holds, and the
// default groups of set_std_cfg.
//
// The start values below equal the defaults, so the program behaves the same
// whether or not set_std_cfg has run; start-up runs it with every bit anyway.
// Settings of other modules are reset here through their own headers.
#include "velquor_cfg.h"

#include <cstdio>
#include <cstring>

#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_main.h"

// ---------------------------------------------------------------- settings

char makpath[cfg_path_size] = "";
int32_t sys_boot = 205;
uint8_t sc_intf_s = 1;
uint8_t sc_intf_e = 99;
uint8_t sc_to = 1;
uint8_t sc_parno = 0;
uint32_t det_zelb_cmd = 0x8E4, det_zelb_val = 0;
uint32_t det_sw_cmd = 0x8E6, det_sw_val = 0;
uint32_t det_dat_cmd = 0x8E7, det_dat_val = 0;
uint32_t det_disp_cmd = 0x8E5, det_disp_val = 0;
uint32_t det_vfreq_cmd = 0x8EA, det_vfreq_val = 0;
uint32_t det_hfreq_cmd = 0x8E9, det_hfreq_val = 0;
uint32_t det_pclk_cmd = 0x8E8, det_pclk_val = 0;
uint32_t lptport[4] = {0x378, 0x278, 0x3BC, 0x378};
uint32_t lptportstat[4] = {0x379, 0x279, 0x3BD, 0x379};
char ddcpath[cfg_path_size] = "";
char firmpath[cfg_path_size] = "";
char fname1[cfg_path_size] = "";
uint8_t fsf_prot = 0;
uint8_t ddc_prot = 0;
char get_temp_file[cfg_path_size] = "./velq.tmp";
char op_mak_pre[cfg_viewer_size] = "notepad.exe ";
char op_mak_suff[cfg_viewer_size] = "";
char op_ddc_hex_pre[cfg_viewer_size] = "notepad.exe ";
char op_ddc_hex_suff[cfg_viewer_size] = "";
char op_ddc_bin_pre[cfg_viewer_size] = "notepad.exe ";
char op_ddc_bin_suff[cfg_viewer_size] = "";
char op_tx_pre[cfg_viewer_size] = "notepad.exe ";
char op_tx_suff[cfg_viewer_size] = "";
uint8_t firm_68 = 0;
uint8_t firm_hito = 0;
char VER_APP_NAME[cfg_app_name_size] = "Velquor II";
uint8_t ddc_intf = 1;
uint8_t ddc_bus = 1;
uint8_t ddc_to = 3;

namespace {

// Default viewer command before the file name; the text viewer's is the same.
const char viewer_pre_std[] = "notepad.exe ";

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
    sysmode = 129;
    sys_lang = 2;
    com_mode = com_mode_rs232;
}

void reset_ddc_port(void) {
    static const uint32_t data[4] = {0x378, 0x278, 0x3BC, 0x378};
    for (int i = 0; i < 4; ++i) {
        lptport[i] = data[i];
        lptportstat[i] = data[i] + 1;
    }
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

void reset_scan(void) {
    sc_intf_s = 1;
    sc_intf_e = 99;
    sc_to = 1;
    sc_parno = 0;
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

void reset_det_items(void) {
    det_zelb_cmd = 0x8E4;
    det_sw_cmd = 0x8E6;
    det_dat_cmd = 0x8E7;
    det_disp_cmd = 0x8E5;
    det_vfreq_cmd = 0x8EA;
    det_hfreq_cmd = 0x8E9;
    det_pclk_cmd = 0x8E8;
    det_zelb_val = det_sw_val = det_dat_val = det_disp_val = 0;
    det_vfreq_val = det_hfreq_val = det_pclk_val = 0;
}

void set_std_cfg(uint32_t mode, uint32_t /*mode2*/) {
    if (mode & cfg_grp_mak) makpath[0] = '\0';
    if (mode & cfg_grp_viewers) reset_prog_open();
    if (mode & cfg_grp_boot) sys_boot = 205;
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
    if (mode & cfg_grp_app_name) set_text(VER_APP_NAME, sizeof VER_APP_NAME, "Velquor II");
    if (mode & cfg_grp_ddc_bus) ddc_bus = 1;
    if (mode & cfg_grp_flags) {
        parno = 0;
        logcom = 0;
        firm_68 = 0;
    }
    if (mode & cfg_grp_det) reset_det_items();
}
