// The text rows of the communication and file error ids. One row per id,
// each tagged with the id it belongs to, and the lengths checked against the
// id counts, so that an id added to an enumeration cannot go without a text.
#include "velquor/ui/err_texts.h"

#include <iterator>

#include "velquor/ui/text_ar.h"
#include "velquor/util/files.h"

const int msg_err_id[mc_e_count] = {
    tx_ok,            // 0 mc_e_ok
    tx_port_used,     // 1 mc_e_port_used
    tx_miss_path,     // 2 mc_e_miss_path
    tx_n_op_comp,     // 3 mc_e_n_op_comp
    tx_n_r_compe,     // 4 mc_e_n_r_compe
    tx_n_w_compe,     // 5 mc_e_n_w_compe
    tx_n_comp,        // 6 mc_e_n_comp
    tx_cmp_w_dat,     // 7 mc_e_w_dat
    tx_cmp_to,        // 8 mc_e_to
    tx_cmp_conf_to,   // 9 mc_e_conf_to
    tx_cmp_no_buff,   // 10 mc_e_no_buff
    tx_cmp_r_dat,     // 11 mc_e_r_dat
    tx_cmp_n_dat,     // 12 mc_e_n_dat
    tx_cmp_inv_dat,   // 13 mc_e_inv_dat
    tx_cmp_n_ack,     // 14 mc_e_n_ack
    tx_cmp_r_to,      // 15 mc_e_r_to
    tx_cmp_inv_to,    // 16 mc_e_inv_to
    tx_cmp_inv_cks,   // 17 mc_e_inv_cks
    tx_cmp_end_buff,  // 18 mc_e_end_buff
    tx_cmp_inv_data,  // 19 mc_e_inv_data
    tx_cmp_ddc_wp,    // 20 mc_e_ddc_wp
    tx_cmp_flush,     // 21 mc_e_flush
    tx_cmp_loop,      // 22 mc_e_loop
    tx_cmp_ip,        // 23 mc_e_ip
    tx_cmp_err,       // 24 mc_e_err
    tx_cmp_nosock,    // 25 mc_e_nosock
    tx_cmp_ipl_em,    // 26 mc_e_ipl_em
    tx_cmp_no_eth,    // 27 mc_e_no_eth
};
static_assert(std::size(msg_err_id) == mc_e_count, "one text per communication error id");

const char *mc_get_err_msg(int err_id) {
    if (err_id < 0 || err_id >= mc_e_count) return scr_get_text_ix(tx_err_un);
    return scr_get_text_ix(msg_err_id[err_id]);
}

const int fmsg_err_id[mf_err_texts] = {
    tx_ok,          // 0 mfe_ok
    tx_fe_use,      // 1 mfe_use: holder busy
    tx_fe_atr,      // 2 mfe_atr: no mode for the attributes
    tx_fe_nopath,   // 3 mfe_nopath
    tx_fe_open,     // 4 mfe_open: the open failed
    tx_fe_nobuff,   // 5 mfe_nobuff
    tx_fe_bf_sh,    // 6 mfe_bf_sh: end of buffer
    tx_fe_eof,      // 7 mfe_eof
    tx_fe_no_file,  // 8 mfe_no_file: no stream
    tx_fe_rw,       // 9 mfe_rw: read or write failed
    tx_fe_nodat,    // 10 mfe_nodat: no or too few data
    tx_fe_invpos,   // 11 mfe_invpos: bad position
    tx_fe_sz,       // 12 mfe_sz: bad size
    tx_fe_invdat,   // 13 mfe_invdat: bad format
    tx_fe_lines,    // 14 mfe_lines: too many lines
    tx_unknown,     // 15 mfe_unknown
};
static_assert(std::size(fmsg_err_id) == mf_err_count, "one text per file error id");

const char *mf_get_err_msg(int id) {
    if (id < 0 || id >= mf_err_count) id = mfe_open;
    return scr_get_text_ix(fmsg_err_id[id]);
}
