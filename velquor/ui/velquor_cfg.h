// The settings that survive a restart, and their defaults by group.
//
// Every setting that the configuration file stores belongs to the module that
// uses it; the ones that no other module holds live here. At start-up every
// setting gets its default through set_std_cfg (all groups), then the
// configuration file is read over them (conf.h). The groups are the bit values
// of set_std_cfg's mode; each group has its own reset function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "velquor/link/com_link.h"  // com_mode, logcom, fpath_log, sysmode, sys_baud, show_eth_init_err, is_inet
#include "velquor/operations/vf_ipl.h"  // sys_to, sys_zelb_nr, sys_intf, sys_ip, sys_ipx, parno, broad, ip_list
#include "velquor/ui/text_ar.h"  // sys_lang

// ---------------------------------------------------------------- sizes

constexpr size_t cfg_path_size = 1024;     // file paths (1023 characters used)
constexpr size_t cfg_viewer_size = 512;    // viewer prefixes and suffixes
constexpr size_t cfg_app_name_size = 128;  // the application name

// ---------------------------------------------------------------- settings held here

extern char makpath[cfg_path_size];            // macro file
extern int32_t sys_boot;                       // boot loader type: 205 ZELB3, 206 AM29LV150
extern uint8_t sc_intf_s;                      // first COM port of the interface scan
extern uint8_t sc_intf_e;                      // last COM port of the interface scan
extern uint8_t sc_to;                          // scan time-out in seconds
extern uint8_t sc_parno;                       // scan without parity
extern uint32_t det_zelb_cmd, det_zelb_val;    // identification query: board type
extern uint32_t det_sw_cmd, det_sw_val;        // identification query: software revision
extern uint32_t det_dat_cmd, det_dat_val;      // identification query: date
extern uint32_t det_disp_cmd, det_disp_val;    // identification query: display number
extern uint32_t det_vfreq_cmd, det_vfreq_val;  // identification query: vertical frequency
extern uint32_t det_hfreq_cmd, det_hfreq_val;  // identification query: horizontal frequency
extern uint32_t det_pclk_cmd, det_pclk_val;    // identification query: pixel clock
extern uint32_t lptport[4];                    // LPT1..4: I/O address of the data register
extern uint32_t lptportstat[4];                // LPT1..4: I/O address of the status register
extern char ddcpath[cfg_path_size];            // DDC file of the DDC view
extern char firmpath[cfg_path_size];           // firmware file (update and bootstrap)
extern char fname1[cfg_path_size];             // file-system dump file
extern uint8_t fsf_prot;                       // dump file write-protected
extern uint8_t ddc_prot;                       // DDC file write-protected
extern char get_temp_file[cfg_path_size];      // temporary file of the uploads
extern char op_mak_pre[cfg_viewer_size];       // viewer of macro files: command before the name
extern char op_mak_suff[cfg_viewer_size];      // ... and after it
extern char op_ddc_hex_pre[cfg_viewer_size];   // viewer of DDC text files
extern char op_ddc_hex_suff[cfg_viewer_size];
extern char op_ddc_bin_pre[cfg_viewer_size];  // viewer of DDC binary files
extern char op_ddc_bin_suff[cfg_viewer_size];
extern char op_tx_pre[cfg_viewer_size];  // viewer of firmware and dump files
extern char op_tx_suff[cfg_viewer_size];
extern uint8_t firm_68;                       // special handling of firmware 5.068
extern uint8_t firm_hito;                     // long monitor time-out during a firmware update
extern char VER_APP_NAME[cfg_app_name_size];  // window and box title
extern uint8_t ddc_intf;                      // LPT number used for DDC (1..4)
extern uint8_t ddc_bus;                       // I2C bus number for DDC
extern uint8_t ddc_to;                        // DDC time-out (not stored in the file)

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

// The eight viewer prefixes "notepad.exe ", the suffixes empty.
void reset_prog_open(void);
// show_keyb, show_info, show_mak = 0; sysmode = 129; sys_lang = 2; com_mode = 238.
void reset_view(void);
// LPT1..4 at 0x378, 0x278, 0x3BC, 0x378, each status register one above.
void reset_ddc_port(void);
// Interface: time-out, monitor number, IP address, networking message, long
// firmware time-out, IP-list index; the IP lists (all empty, Group on); the
// COM device table back to its defaults.
void reset_intf(void);
// Interface scan: COM 1 to 99, time-out 1 s, with parity.
void reset_scan(void);
// The files: DDC, firmware and dump file empty and not protected; temporary
// file "./velq.tmp"; traffic log "./test.txt".
void reset_files(void);
// Window 600 x 370, centred on the screen when it is larger, else at 0, 0.
void reset_win(void);
// The fourteen identification commands and values.
void reset_det_items(void);
