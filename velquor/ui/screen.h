// Window element table and views: the content operations that every other
// module requests, and the debug memo that the byte transport writes to.
#pragma once

#include <cstddef>
#include <cstdint>

// One identifier per row of wndelemnts, in row order (row i holds identifier i).
enum elem_ix_t : int32_t {
    ix_fill = 0,
    ix_key_grp,
    ix_key_lf,
    ix_key_rt,
    ix_key_ok,
    ix_key_up,
    ix_key_dn,
    ix_mak_grp,
    ix_mak_1,
    ix_mak_2,
    ix_mak_3,
    ix_mak_4,
    ix_mak_5,
    ix_grp_info,
    ix_tx_inf_tp,
    ix_ed_inf_tp,
    ix_tx_inf_dsp,
    ix_ed_inf_dsp,
    ix_tx_inf_rev,
    ix_ed_inf_rev,
    ix_tx_inf_dat,
    ix_ed_inf_dat,
    ix_bt_inf_upd,
    ix_grp_com,
    ix_tx_com,
    ix_tx_ip,
    ix_tx_ipl,
    ix_tx_com_ddc,
    ix_ed_com,
    ix_ed_ip,
    ix_ed_ipl,
    ix_ed_com_ddc,
    ix_tx_to,
    ix_ed_to,
    ix_ed_to_ddc,
    ix_tx_zelb_nr,
    ix_tx_nr_i2c,
    ix_ed_zelb_nr,
    ix_ed_nr_i2c,
    ix_parno,
    ix_broad,
    ix_bt_ping,
    ix_bt_test,
    ix_grp_firm,
    ix_tx_f_firm,
    ix_ed_f_firm,
    ix_bt_f_firm,
    ix_firm_upd,
    ix_firm_hi_to,
    ix_grp_firm_bd,
    ix_firm_bd96,
    ix_firm_bd192,
    ix_firm_bd384,
    ix_firm_bd1152,
    ix_firm_bd2880,
    ix_firm_bd3840,
    ix_firm_bd5760,
    ix_grp_boot,
    ix_tx_f_boot,
    ix_ed_f_boot,
    ix_bt_f_boot,
    ix_grp_firm_boot,
    ix_rd_boot_zelb3,
    ix_rd_boot_AM29LV150,
    ix_firm_boot,
    ix_grp_fs,
    ix_tx_f_fs,
    ix_ed_f_fs,
    ix_bt_f_fs,
    ix_fs_res,
    ix_fs_dnl,
    ix_fs_upl,
    ix_fs_er,
    ix_grp_ddc,
    ix_tx_f_ddc,
    ix_ed_f_ddc,
    ix_bt_f_ddc,
    ix_ddc_dnl,
    ix_ddc_upl,
    ix_sc_intf_grp,
    ix_tx_sc_intf_s,
    ix_ed_sc_intf_s,
    ix_tx_sc_intf_e,
    ix_ed_sc_intf_e,
    ix_tx_scto,
    ix_ed_scto,
    ix_sc_parno,
    ix_bt_scan,
    ix_sc_tv_grp,
    ix_sc_tv,
    ix_grp_scopts,
    ix_sc_fc_grp,
    ix_sc_fs,
    ix_grp_debug,
    ix_debug_memo,
    ix_mainframe = 95,  // the main window, parent of every element
    ix_last = 96,       // end row of the table; "no element" in a slot

    // The identification fields under the names the info module uses.
    ix_tx_inf_typ = ix_tx_inf_tp,
    ix_ed_inf_typ = ix_ed_inf_tp,
};

// Size of the debug memo text (511 characters and the NUL).
constexpr size_t debug_str_size = 512;

// Appends a line to the debug memo (a CR LF before it); empties the memo first
// when old text and new line would reach 511 characters; an empty line empties
// it. Callable from the worker thread.
void add_debug_str(const char *text);
// Copies the memo text into out (at most n - 1 characters and a NUL).
void debug_str_get(char *out, size_t n);

// Stores, rebuilds or refreshes the main window's contents (modes 1 to 11).
void CreateWindowContents(int mode);
// Refreshes the enable states of the window elements.
void paint_enab(void);

// Handle of the window of element ix, or -1 when it is not shown.
int scr_getwnd_ix(int32_t ix);
