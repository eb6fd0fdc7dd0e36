// The window element table, the value lists of its radios and the interval
// table of number fields.
//
// wndelemnts is the whole layout of the main window: one row per control that
// any view may show, in creation order, each with its captions in German,
// English and French (Windows-1252), the variable it is bound to, its
// predicate, its view mask and its place in 1/128 of the client area. The
// interval table gives the range and default of every number kind; edit fields
// and configuration keys share it.
#include <iterator>

#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/screen.h"

// ---------------------------------------------------------------- intervals

const intervallT intervall[iv_count] = {
    {iv_none, iv_w_byte, 0, 255, 0},                // plain byte (p2 = 0)
    {iv_timeout, iv_w_byte, 1, 60, 5},              // monitor time-out [s]
    {iv_comport, iv_w_byte, 1, 99, 1},              // COM port number
    {iv_zelb_nr, iv_w_byte, 0, 255, 1},             // monitor number
    {iv_sys_baud, iv_w_dword, 0, 1000000, 115200},  // firmware baud rate
    {iv_ddc_prot, iv_w_byte, 0, 1, 0},              // DDC file write-protected
    {iv_fsf_prot, iv_w_byte, 0, 1, 0},              // dump file write-protected
    {iv_ddc_bus, iv_w_byte, 1, 4, 1},               // I2C bus
    {iv_timeout_ddc, iv_w_byte, 1, 10, 3},          // DDC time-out
    {iv_bool_pos, iv_w_byte, 0, 1, 1},              // flag, default on
    {iv_bool_neg, iv_w_byte, 0, 1, 0},              // flag, default off
    {iv_uchar, iv_w_byte, 0, 255, 0},               // any byte
    {iv_ddc_intf_lpt, iv_w_byte, 1, 4, 1},          // LPT number
    {iv_w_left, iv_w_coord, 0, 32766, 0},           // window left
    {iv_w_top, iv_w_coord, 0, 32766, 0},            // window top
    {iv_w_width, iv_w_coord, 1, 32766, 600},        // window width
    {iv_w_height, iv_w_coord, 1, 32766, 370},       // window height
    {iv_uint, iv_w_dword, 0, 4294967295u, 0},       // any 32-bit value
    {iv_sys_boot, iv_w_dword, 0, 1000000, 205},     // boot loader type
    {iv_sc_intf, iv_w_byte, 1, 99, 1},              // scan range COM port
    {iv_timeout_sc, iv_w_byte, 1, 60, 1},           // scan time-out [s]
    {iv_ip_ind, iv_w_byte, 1, 9, 1},                // IP-list index, 1-based
};
static_assert(std::size(intervall) == iv_count);

const intervallT *iv_get(int32_t kind) {
    if (kind < 0 || kind >= iv_count) return &intervall[0];
    return &intervall[kind];
}

// ---------------------------------------------------------------- value lists

const int32_t ucol[2][8] = {
    {9600, 19200, 38400, 115200, 384000, 576000, 288000, -1},  // 0: baud rates
    {boot_zelb3, boot_am29lv150, -1, -1, -1, -1, -1, -1},      // 1: boot types (radio ids)
};

// ---------------------------------------------------------------- the table

namespace {

// View letters of the table.
constexpr uint32_t F = vm_firm, S = vm_fs, D = vm_ddc, B = vm_boot, C = vm_scan, G = vm_debug;
constexpr int32_t M = ix_mainframe;

// Kinds as the rows use them.
constexpr int32_t BUT = wt_button, STA = wt_static, GRP = wt_group, RAD = wt_radio,
                  EDS = wt_edit | wt_sunken, MEMO = wt_memo, CHK = wt_check, TREE = wt_tree;

#define R(ix) ix, #ix, M

}  // namespace

const elementT wndelemnts[scr_n_rows + 1] = {
    // background of the client area
    {R(ix_fill), 166, STA, "", "", "", nullptr, 0, 0, show_enab_always, F | S | D | B | C | G, 0, 0,
     128, 128, 0, 0, nullptr},
    // keyboard group: the five front keys, created Left, Right, OK, Up, Down. The
    // Scan view has no keys, and its scan group stands where this group would.
    {R(ix_key_grp), 117, GRP, "Tastatur", "Keyboard", "clavier", nullptr, 0, 0, show_enab_keyboard,
     F | S | B | G, 86, 66, 40, 60, 0, 0, nullptr},
    {R(ix_key_lf), cmd_key_left, BUT, "Links", "Left", "gauche", nullptr, 0, 0, show_enab_keyboard,
     F | S | D | B | G, 88, 91, 10, 15, 0, 0, nullptr},
    {R(ix_key_rt), cmd_key_right, BUT, "Rechts", "Right", "droite", nullptr, 0, 0,
     show_enab_keyboard, F | S | D | B | G, 114, 91, 10, 15, 0, 0, nullptr},
    {R(ix_key_ok), cmd_key_ok, BUT, "OK", "OK", "OK", nullptr, 0, 0, show_enab_keyboard,
     F | S | D | B | G, 101, 91, 10, 15, 0, 0, nullptr},
    {R(ix_key_up), cmd_key_up, BUT, "Hoch", "Up", "haute", nullptr, 0, 0, show_enab_keyboard,
     F | S | D | B | G, 101, 73, 10, 15, 0, 0, nullptr},
    {R(ix_key_dn), cmd_key_down, BUT, "Runter", "Down", "", nullptr, 0, 0, show_enab_keyboard,
     F | S | D | B | G, 101, 109, 10, 15, 0, 0, nullptr},
    // macro group: five buttons filled from the macro set (buffer_size = entry)
    {R(ix_mak_grp), 117, GRP, "Makros", "Macros", "macro-instructions", nullptr, 0, 0,
     show_enab_makros_grp, F | S | D | B | G, 44, 66, 41, 60, 0, 0, nullptr},
    {R(ix_mak_1), cmd_mak_1, BUT, "1", "1", "1", nullptr, bt_macro, 0, show_enab_mak_butt,
     F | S | D | B | G, 46, 74, 37, 9, 0, 0, nullptr},
    {R(ix_mak_2), cmd_mak_1 + 1, BUT, "2", "2", "2", nullptr, bt_macro, 1, show_enab_mak_butt,
     F | S | D | B | G, 46, 84, 37, 9, 0, 0, nullptr},
    {R(ix_mak_3), cmd_mak_1 + 2, BUT, "3", "3", "3", nullptr, bt_macro, 2, show_enab_mak_butt,
     F | S | D | B | G, 46, 94, 37, 9, 0, 0, nullptr},
    {R(ix_mak_4), cmd_mak_1 + 3, BUT, "4", "4", "4", nullptr, bt_macro, 3, show_enab_mak_butt,
     F | S | D | B | G, 46, 104, 37, 9, 0, 0, nullptr},
    {R(ix_mak_5), cmd_mak_5, BUT, "5", "5", "5", nullptr, bt_macro, 4, show_enab_mak_butt,
     F | S | D | B | G, 46, 114, 37, 9, 0, 0, nullptr},
    // info group: identification of the current monitor (texts set by the info module)
    {R(ix_grp_info), 187, GRP, "Info", "Info", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 2,
     66, 41, 60, 0, 0, nullptr},
    {R(ix_tx_inf_tp), 153, STA, "Typ:", "Typ:", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 4,
     76, 15, 9, 0, 0, nullptr},
    {R(ix_ed_inf_tp), 154, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 19, 76,
     20, 9, 0, 0, nullptr},
    {R(ix_tx_inf_dsp), 156, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 4, 86,
     15, 9, 0, 0, nullptr},
    {R(ix_ed_inf_dsp), 157, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 19, 86,
     20, 9, 0, 0, nullptr},
    {R(ix_tx_inf_rev), 158, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 4, 96,
     15, 9, 0, 0, nullptr},
    {R(ix_ed_inf_rev), 159, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 19, 96,
     20, 9, 0, 0, nullptr},
    {R(ix_tx_inf_dat), 160, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 4, 106,
     15, 5, 0, 0, nullptr},
    {R(ix_ed_inf_dat), 161, STA, "", "", "", nullptr, 0, 0, show_enab_info, F | S | B | G, 19, 106,
     20, 5, 0, 0, nullptr},
    {R(ix_bt_inf_upd), cmd_info_upd, BUT, "Update", "Update", "", nullptr, 0, 0, show_enab_info,
     F | S | B | G, 10, 114, 20, 9, 0, 0, nullptr},
    // interface group: port / address / list index, time-out, monitor number, parity, ping, scan
    {R(ix_grp_com), 168, GRP, "Schnittstelle:", "Interface", "interface de transmission ", nullptr,
     0, 0, show_enab_always, F | S | D | B | G, 86, 1, 40, 64, 0, 0, nullptr},
    {R(ix_tx_com), 139, STA, "COM:", "COM:", "COM:", nullptr, 0, 0, show_enab_always_rs232,
     F | S | B | G, 93, 12, 20, 9, 0, 0, nullptr},
    {R(ix_tx_ip), 239, STA, "IP:", "IP:", "IP:", nullptr, 0, 0, show_enab_always_ip, F | S | B | G,
     93, 12, 6, 9, 0, 0, nullptr},
    {R(ix_tx_ipl), 246, STA, "IP-Index.:", "IP-Index.:", "IP-Index.:", nullptr, 0, 0,
     show_enab_always_ipl, F | S | B | G, 93, 12, 20, 9, 0, 0, nullptr},
    {R(ix_tx_com_ddc), 263, STA, "LPT:", "LPT:", "LPT:", nullptr, 0, 0, show_enab_always, D, 93, 12,
     20, 9, 0, 0, nullptr},
    {R(ix_ed_com), 138, EDS, "", "", "", &sys_intf, bt_byte, 2, show_enab_always_rs232,
     F | S | B | G, 106, 10, 10, 9, 0, iv_comport, nullptr},
    {R(ix_ed_ip), 240, EDS, "", "", "", sys_ip, bt_text, 20, show_enab_always_ip, F | S | B | G,
     100, 10, 22, 9, 0, tc_ipv4, nullptr},
    {R(ix_ed_ipl), 247, EDS, "", "", "", &sys_ipx, bt_byte1, 1, show_enab_always_ipl, F | S | B | G,
     106, 10, 10, 9, 0, iv_ip_ind, nullptr},
    {R(ix_ed_com_ddc), 198, EDS, "", "", "", &ddc_intf, bt_byte, 2, show_enab_always, D, 106, 10,
     10, 9, 0, iv_ddc_intf_lpt, nullptr},
    {R(ix_tx_to), 141, STA, "Timeout: [s] ", "Timeout: [s] ",
     "temps de d\xe9"
     "bouclement: [s]",
     nullptr, 0, 0, show_enab_ddc_to, F | S | D | B | G, 93, 22, 15, 9, 0, 0, nullptr},
    {R(ix_ed_to), 140, EDS, "", "", "", &sys_to, bt_byte, 2, show_enab_always, F | S | B | G, 106,
     20, 10, 9, 0, iv_timeout, nullptr},
    {R(ix_ed_to_ddc), 202, EDS, "", "", "", &ddc_to, bt_byte, 2, show_enab_ddc_to, D, 106, 20, 10,
     9, 0, iv_timeout_ddc, nullptr},
    {R(ix_tx_zelb_nr), 143, STA, "Monitor-Nr.:", "Monitor-No.:", "no Monitor:", nullptr, 0, 0,
     show_enab_always, F | S | G, 93, 32, 15, 9, 0, 0, nullptr},
    {R(ix_tx_nr_i2c), 201, STA, "I2C-Bus:", "I2C-Bus:", "", nullptr, 0, 0, show_enab_ddc_bus, D, 93,
     32, 15, 9, 0, 0, nullptr},
    {R(ix_ed_zelb_nr), 200, EDS, "", "", "", &sys_zelb_nr, bt_byte, 3, show_enab_always, F | S | G,
     106, 30, 10, 9, 0, iv_zelb_nr, nullptr},
    {R(ix_ed_nr_i2c), 200, EDS, "", "", "", &ddc_bus, bt_byte, 1, show_enab_ddc_bus, D, 106, 30, 10,
     9, 0, iv_ddc_bus, nullptr},
    {R(ix_parno), cmd_parno, CHK, "keine Parit\xe4t", "No Parity", "", &parno, bt_flag, 0,
     show_enab_always, F | S | G, 88, 42, 18, 9, 0, 0, nullptr},
    {R(ix_broad), cmd_group, CHK, "Gruppe", "Group", "", &broad, bt_flag, 0, show_enab_always_ipl,
     F | S | B | C | G, 108, 42, 16, 9, 0, 0, nullptr},
    {R(ix_bt_ping), cmd_ping, BUT, "Ping", "Ping", "Ping", nullptr, 0, 0, show_enab_always,
     F | S | G, 88, 52, 15, 9, 0, 0, nullptr},
    {R(ix_bt_test), cmd_view_scan, BUT, "Suche", "Scan", "Cherchez", nullptr, 0, 0,
     show_enab_always_rs232, F | S | B | G, 109, 52, 15, 9, 0, 0, nullptr},
    // Firmware-Update view: file, rate radios (list 0), high time-out, Update
    {R(ix_grp_firm), 192, GRP, "Firmware-Update", "Firmware-Update", "programmation de la ZELB",
     nullptr, 0, 0, show_enab_always, F, 2, 1, 83, 64, 0, 0, nullptr},
    {R(ix_tx_f_firm), 147, STA, "Datei:", "File:", "", nullptr, 0, 0, show_enab_always, F, 4, 12,
     10, 9, 0, 0, nullptr},
    {R(ix_ed_f_firm), 146, EDS, "", "", "", firmpath, bt_text, 1024, show_enab_always, F, 11, 10,
     62, 10, 0, tc_fname, nullptr},
    {R(ix_bt_f_firm), cmd_choose_file, BUT, "...", "...", "...", nullptr, 0, 0, show_enab_always, F,
     73, 11, 10, 9, 0, 0, nullptr},
    {R(ix_firm_upd), cmd_firm_upd, BUT, "Update", "Update", "mettre \xe0 jour", nullptr, 0, 0,
     show_enab_always, F, 4, 52, 35, 9, 0, 0, nullptr},
    {R(ix_firm_hi_to), cmd_firm_hito, CHK, "Monitor-Timeout hoch", "High Monitor-Timeout", "",
     &firm_hito, bt_flag, 0, show_enab_always, F, 48, 52, 35, 9, 0, 0, nullptr},
    {R(ix_grp_firm_bd), 180, GRP, "Baudrate", "Baud rate", "Baud", nullptr, 0, 0, show_enab_always,
     F, 4, 22, 79, 27, 0, 0, nullptr},
    {R(ix_firm_bd96), cmd_baud_9600, RAD, "9600", "9600", "9600", &sys_baud, bt_ulist, 0,
     show_enab_always, F, 6, 27, 19, 9, 0, 0, nullptr},
    {R(ix_firm_bd192), cmd_baud_19200, RAD, "19,2k", "19.2k", "19,2k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 25, 27, 19, 9, 0, 1, nullptr},
    {R(ix_firm_bd384), cmd_baud_38400, RAD, "38,4k", "38.4k", "38,4k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 44, 27, 19, 9, 0, 2, nullptr},
    {R(ix_firm_bd1152), cmd_baud_115200, RAD, "115,2k", "115.2k", "115,2k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 63, 27, 19, 9, 0, 3, nullptr},
    {R(ix_firm_bd2880), cmd_baud_288000, RAD, "288k", "288k", "288k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 6, 38, 12, 9, 0, 6, nullptr},
    {R(ix_firm_bd3840), cmd_baud_384000, RAD, "384k", "384k", "384k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 25, 38, 12, 9, 0, 4, nullptr},
    {R(ix_firm_bd5760), cmd_baud_576000, RAD, "576k", "576k", "576k", &sys_baud, bt_ulist, 0,
     show_enab_always_no_ipl, F, 44, 38, 12, 9, 0, 5, nullptr},
    // Bootstrap view: file, boot type radios (list 1), Download
    {R(ix_grp_boot), 196, GRP, "Bootstrap", "Bootstrap", "", nullptr, 0, 0, show_enab_always, B, 2,
     1, 83, 64, 0, 0, nullptr},
    {R(ix_tx_f_boot), 147, STA, "Datei:", "File:", "", nullptr, 0, 0, show_enab_always, B, 4, 12,
     10, 9, 0, 0, nullptr},
    {R(ix_ed_f_boot), 146, EDS, "", "", "", firmpath, bt_text, 1024, show_enab_always, B, 11, 10,
     62, 10, 0, tc_fname, nullptr},
    {R(ix_bt_f_boot), cmd_choose_file, BUT, "...", "...", "...", nullptr, 0, 0, show_enab_always, B,
     73, 11, 10, 9, 0, 0, nullptr},
    {R(ix_grp_firm_boot), 204, GRP, "Typ", "Typ", "", nullptr, 0, 0, show_enab_always, B, 4, 22, 79,
     25, 0, 0, nullptr},
    {R(ix_rd_boot_zelb3), cmd_boot_zelb3, RAD, "ZELB3", "ZELB3", "ZELB3", &sys_boot, bt_ulist, 1,
     show_enab_always, B, 6, 30, 19, 9, 0, 0, nullptr},
    {R(ix_rd_boot_AM29LV150), cmd_boot_am29lv150, RAD, "AM29LV150", "AM29LV150", "AM29LV150",
     &sys_boot, bt_ulist, 1, show_enab_always, B, 25, 30, 19, 9, 0, 1, nullptr},
    {R(ix_firm_boot), cmd_boot_dnl, BUT, "Download", "Download", "", nullptr, 0, 0,
     show_enab_boot_dnl, B, 4, 52, 79, 9, 0, 0, nullptr},
    // File System view: dump file, Reset, PC -> TFT, TFT -> PC, Erase
    {R(ix_grp_fs), 144, GRP, "Dateisystem", "File System", "configuration de la ZELB", nullptr, 0,
     0, show_enab_always, S, 2, 1, 83, 64, 0, 0, nullptr},
    {R(ix_tx_f_fs), 147, STA, "Datei:", "File:", "", nullptr, 0, 0, show_enab_always, S, 4, 12, 10,
     9, 0, 0, nullptr},
    {R(ix_ed_f_fs), 146, EDS, "", "", "", fname1, bt_text, 1024, show_enab_always, S, 11, 10, 62,
     10, 0, tc_fname, nullptr},
    {R(ix_bt_f_fs), cmd_choose_file, BUT, "...", "...", "...", nullptr, 0, 0, show_enab_always, S,
     73, 11, 10, 9, 0, 0, nullptr},
    {R(ix_fs_res), cmd_fs_reset, BUT, "Neustart", "Reset", "reset", nullptr, 0, 0, show_enab_always,
     S, 11, 35, 15, 10, 0, 0, nullptr},
    {R(ix_fs_dnl), cmd_fs_dnl, BUT, "PC -> TFT", "PC -> TFT", "PC -> TFT", nullptr, 0, 0,
     show_enab_always, S, 30, 35, 15, 10, 0, 0, nullptr},
    {R(ix_fs_upl), cmd_fs_upl, BUT, "TFT -> PC", "TFT -> PC", "TFT -> PC", nullptr, 0, 0,
     show_enab_always, S, 49, 35, 15, 10, 0, 0, nullptr},
    {R(ix_fs_er), cmd_fs_erase, BUT, "L\xf6schen", "Erase", "Supprimer", nullptr, 0, 0,
     show_enab_always, S, 67, 35, 15, 10, 0, 0, nullptr},
    // DDC view: EDID file, PC -> DDC, DDC -> PC
    {R(ix_grp_ddc), 195, GRP, "DDC", "DDC", "", nullptr, 0, 0, show_enab_always, D, 2, 1, 83, 64, 0,
     0, nullptr},
    {R(ix_tx_f_ddc), 147, STA, "Datei:", "File:", "", nullptr, 0, 0, show_enab_always, D, 4, 12, 10,
     9, 0, 0, nullptr},
    {R(ix_ed_f_ddc), 146, EDS, "", "", "", ddcpath, bt_text, 1024, show_enab_always, D, 11, 10, 62,
     10, 0, tc_fname, nullptr},
    {R(ix_bt_f_ddc), cmd_choose_file, BUT, "...", "...", "...", nullptr, 0, 0, show_enab_always, D,
     73, 11, 10, 9, 0, 0, nullptr},
    {R(ix_ddc_dnl), cmd_ddc_dnl, BUT, "PC -> DDC", "PC -> DDC", "", nullptr, 0, 0, show_enab_always,
     D, 11, 35, 15, 10, 0, 0, nullptr},
    {R(ix_ddc_upl), cmd_ddc_upl, BUT, "DDC -> PC", "DDC -> PC", "DDC -> PC", nullptr, 0, 0,
     show_enab_always, D, 67, 35, 15, 10, 0, 0, nullptr},
    // Scan view: range, time-out, parity, Scan, and the overview tree
    {R(ix_sc_intf_grp), 222, GRP, "Suche Schnittstellen", "Scan Interfaces", "", nullptr, 0, 0,
     show_enab_always, C, 86, 66, 40, 60, 0, 0, nullptr},
    {R(ix_tx_sc_intf_s), 223, STA, "Start:", "Begin:", "", nullptr, 0, 0, show_enab_always_rs232, C,
     93, 77, 15, 9, 0, 0, nullptr},
    {R(ix_ed_sc_intf_s), 224, EDS, "", "", "", &sc_intf_s, bt_byte, 3, show_enab_always_rs232, C,
     106, 75, 10, 9, 0, iv_sc_intf, nullptr},
    {R(ix_tx_sc_intf_e), 225, STA, "Ende:", "End:", "", nullptr, 0, 0, show_enab_always_rs232, C,
     93, 87, 15, 9, 0, 0, nullptr},
    {R(ix_ed_sc_intf_e), 226, EDS, "", "", "", &sc_intf_e, bt_byte, 3, show_enab_always_rs232, C,
     106, 85, 10, 9, 0, iv_sc_intf, nullptr},
    {R(ix_tx_scto), 232, STA, "Timeout: [s] ", "Timeout: [s] ",
     "temps de d\xe9"
     "bouclement: [s]",
     nullptr, 0, 0, show_enab_always, C, 93, 97, 15, 9, 0, 0, nullptr},
    {R(ix_ed_scto), 231, EDS, "", "", "", &sc_to, bt_byte, 2, show_enab_always, C, 106, 95, 10, 9,
     0, iv_timeout_sc, nullptr},
    {R(ix_sc_parno), cmd_sc_parno, CHK, "keine Parit\xe4t", "No Parity", "", &sc_parno, bt_flag, 0,
     show_enab_always_rs232, C, 93, 105, 30, 9, 0, 0, nullptr},
    {R(ix_bt_scan), cmd_scan, BUT, "Suchen", "Scan", "", nullptr, 0, 0, show_enab_always, C, 88,
     114, 36, 9, 0, 0, nullptr},
    {R(ix_sc_tv_grp), 228, GRP,
     "\xdc"
     "berblick",
     "Overview", "", nullptr, 0, 0, show_enab_always, C, 2, 1, 83, 64, 0, 0, nullptr},
    // The tree shows the last scan's result: scintf_scan_end fills it.
    {R(ix_sc_tv), scan_tree_id, TREE, "", "", "", nullptr, 0, 0, show_enab_always_rs232, C, 5, 11,
     76, 44, 0, 0, scintf_scan_end},
    // rows of no view: never created
    {R(ix_grp_scopts), 234, GRP, "Optionen", "Options", "", nullptr, 0, 0, show_enab_always, 0, 86,
     1, 40, 64, 0, 0, nullptr},
    {R(ix_sc_fc_grp), 235, GRP, "Funktion", "Function", "", nullptr, 0, 0, show_enab_always, 0, 2,
     66, 83, 60, 0, 0, nullptr},
    {R(ix_sc_fs), 236, BUT, "Dateisystem", "Filesystem", "", nullptr, 0, 0, show_enab_always, 0, 5,
     114, 77, 9, 0, 0, nullptr},
    // Debug view: the traffic memo
    {R(ix_grp_debug), 262, GRP, "Debug", "Debug", "", nullptr, 0, 0, show_enab_always, G, 2, 1, 83,
     64, 0, 0, nullptr},
    {R(ix_debug_memo), 260, MEMO, "...", "...", "...", debug_str, bt_text, sizeof debug_str,
     show_enab_always, G, 5, 11, 77, 51, 0, tc_fname, nullptr},
    // end row
    {R(ix_last), 0, 0, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, 0,
     nullptr},
};
static_assert(std::size(wndelemnts) == scr_n_rows + 1);

#undef R
