// The settings that survive a restart: their defaults by group, and the few
// that belong to the main window itself.
//
// Every setting that the configuration file stores is declared by the module
// that owns it (the link, the sessions, the operations, the texts, the
// window); this header gathers those headers for the configuration module. At
// start-up every setting gets its default through set_std_cfg (all groups),
// then the configuration file is read over them (conf.h). The groups are the
// bit values of set_std_cfg's mode; each group has its own reset function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "velquor/link/com_i2c.h"        // lptport, lptportstat
#include "velquor/link/com_link.h"       // com_mode, logcom, fpath_log, sysmode, sys_baud, ...
#include "velquor/operations/fs_ops.h"   // fname1, fsf_prot, get_temp_file
#include "velquor/operations/vf_boot.h"  // sys_boot
#include "velquor/operations/vf_ddc.h"   // ddcpath, ddc_prot, ddc_intf, ddc_bus, ddc_to
#include "velquor/operations/vf_firm.h"  // firmpath, firm_68, firm_hito
#include "velquor/operations/vf_info.h"  // det_*
#include "velquor/operations/vf_ipl.h"  // sys_to, sys_zelb_nr, sys_intf, sys_ip, sys_ipx, parno, broad
#include "velquor/operations/vf_mak.h"  // makpath
#include "velquor/ui/scan.h"            // sc_*
#include "velquor/ui/text_ar.h"         // sys_lang, VER_APP_NAME

// ---------------------------------------------------------------- settings held here

constexpr size_t cfg_viewer_size = 512;  // viewer prefixes and suffixes

// External viewers: the command before and after the file name (File > Show
// and Macro File > Show).
extern char op_mak_pre[cfg_viewer_size];  // macro files
extern char op_mak_suff[cfg_viewer_size];
extern char op_ddc_hex_pre[cfg_viewer_size];  // DDC text files
extern char op_ddc_hex_suff[cfg_viewer_size];
extern char op_ddc_bin_pre[cfg_viewer_size];  // DDC binary files
extern char op_ddc_bin_suff[cfg_viewer_size];
extern char op_tx_pre[cfg_viewer_size];  // firmware and dump files
extern char op_tx_suff[cfg_viewer_size];

// ---------------------------------------------------------------- defaults

// Bit values of set_std_cfg's mode: the default groups.
enum : uint32_t {
    cfg_grp_mak = 1,          // macro file path empty
    cfg_grp_viewers = 2,      // reset_prog_open
    cfg_grp_boot = 4,         // sys_boot = 205
    cfg_grp_view = 8,         // reset_view
    cfg_grp_lpt = 16,         // reset_ddc_port
    cfg_grp_intf = 32,        // reset_intf and reset_scan
    cfg_grp_baud = 128,       // sys_baud = 115200
    cfg_grp_files = 256,      // reset_files
    cfg_grp_win = 512,        // reset_win
    cfg_grp_ddc_intf = 1024,  // ddc_intf = 1
    cfg_grp_app_name = 2048,  // VER_APP_NAME = "Velquor II"
    cfg_grp_ddc_bus = 8192,   // ddc_bus = 1
    cfg_grp_flags = 16384,    // parno, logcom, firm_68 = 0
    cfg_grp_det = 32768,      // reset_det_items
    cfg_grp_all = 0xFFFFFFFFu,
};

// Sets the groups named by the bits of mode to their defaults (mode2 unused).
void set_std_cfg(uint32_t mode, uint32_t mode2);

// The four viewer prefixes "xdg-open " (with its blank), the four suffixes empty.
void reset_prog_open(void);
// show_keyb, show_info, show_mak = 0; sysmode = 129; sys_lang = 2; com_mode = 238.
void reset_view(void);
// Interface: time-out, monitor number, IP address, networking message, long
// firmware time-out, IP-list index; the IP lists (all empty, Group on); the
// COM device table back to its defaults.
void reset_intf(void);
// The files: DDC, firmware and dump file empty and not protected; temporary
// file "./velq.tmp"; traffic log "./test.txt".
void reset_files(void);
// Window 600 x 370, centred on the screen when it is larger, else at 0, 0.
void reset_win(void);
