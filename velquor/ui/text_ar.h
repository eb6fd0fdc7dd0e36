// Operator texts and the language selector.
//
// Every text the operator reads comes from one constant table, `texte`, with
// one row per text id (`tx_*`) and one column per language (German, English,
// French). `sys_lang` picks the column; `scr_get_text_ix` returns the cell of
// the current language. There is no fallback between languages: a cell that is
// empty or absent reads as the empty text. Texts are Windows-1252 bytes.
//
// The row numbers are stable (configuration files and the window element table
// name them), and rows 1 to 3 double as the language codes.
#pragma once

#include <cstddef>
#include <cstdint>

// One text in the three languages. tx_franz may be an empty string (not
// translated) or nullptr (no French text at all).
struct text {
    const char *tx_deu;
    const char *tx_eng;
    const char *tx_franz;
};

// Text ids: the row numbers of `texte`.
enum text_id : int {
    tx_empty = 0,
    tx_deu = 1,
    tx_eng = 2,
    tx_fr = 3,
    tx_upd = 4,
    tx_ver_zelb = 5,
    tx_ver_zelb_alert = 6,
    tx_abr = 7,
    tx_file_write_prot = 8,
    tx_fs_empty = 9,
    tx_gamma_bl = 10,
    tx_gamma_st = 11,
    tx_miss_dat = 12,
    tx_fs_er_quest = 13,
    tx_fs_er_quest_all = 14,
    tx_mon_0 = 15,
    tx_gamma_tab_tit = 16,
    tx_gamma_dc_tab_tit = 17,
    tx_too_much_gam_ent = 18,
    tx_redef_gt = 19,
    tx_vom = 20,
    tx_ver_zelb_alert2 = 21,
    tx_ver_zelb_alert3 = 22,
    tx_fs_er_tit = 23,
    tx_fs_er_n_ent = 24,
    tx_fsupl_tit = 25,
    tx_fsupl_n_ent = 26,
    tx_fsdnl_n_ent = 27,
    tx_fsdnl_tit = 28,
    tx_file_no_ent = 29,
    tx_f_upd = 30,
    tx_f_upd_dp = 31,
    tx_ddc_upl = 32,
    tx_ddc_dnl = 33,
    tx_no_cf_fl = 34,
    tx_act_canc = 35,
    tx_no_tft = 36,
    tx_2boot_un = 37,
    tx_2boot_bytes = 38,
    tx_ok = 39,
    tx_err_un = 40,
    tx_io32dll = 41,
    tx_io32dll_err = 42,
    tx_comdll = 43,
    tx_comdll_err = 44,
    tx_port_used = 45,
    tx_miss_path = 46,
    tx_n_op_comp = 47,
    tx_n_r_compe = 48,
    tx_n_w_compe = 49,
    tx_n_comp = 50,
    tx_cmp_w_dat = 51,
    tx_cmp_to = 52,
    tx_cmp_conf_to = 53,
    tx_cmp_no_buff = 54,
    tx_cmp_r_dat = 55,
    tx_cmp_n_dat = 56,
    tx_cmp_inv_dat = 57,
    tx_cmp_n_ack = 58,
    tx_cmp_r_to = 59,
    tx_cmp_inv_to = 60,
    tx_cmp_inv_cks = 61,
    tx_cmp_end_buff = 62,
    tx_cmp_inv_data = 63,
    tx_cmp_ddc_wp = 64,
    tx_cmp_flush = 65,
    tx_cmp_loop = 66,
    tx_cmp_ip = 67,
    tx_cmp_err = 68,
    tx_cmp_nosock = 69,
    tx_cmp_ipl_em = 70,
    tx_unknown = 71,
    tx_typ = 72,
    tx_dsp = 73,
    tx_vers = 74,
    tx_dat = 75,
    tx_fe_use = 76,
    tx_fe_atr = 77,
    tx_fe_nopath = 78,
    tx_fe_open = 79,
    tx_fe_nobuff = 80,
    tx_fe_bf_sh = 81,
    tx_fe_eof = 82,
    tx_fe_no_file = 83,
    tx_fe_rw = 84,
    tx_fe_nodat = 85,
    tx_fe_invpos = 86,
    tx_fe_sz = 87,
    tx_fe_invdat = 88,
    tx_fe_lines = 89,
    tx_err_op_mak = 90,
    tx_err_read_mak = 91,
    tx_err_mixed_mak = 92,
    tx_ddc_pc = 93,
    tx_firm_choose = 94,
    tx_firm_mask = 95,
    tx_ddc_choose = 96,
    tx_ddc_mask = 97,
    tx_fs_choose = 98,
    tx_fs_mask = 99,
    tx_res_cpu = 100,
    tx_boot_prim = 101,
    tx_boot_prim_err = 102,
    tx_boot_sec = 103,
    tx_boot_firm = 104,
    tx_von = 105,
    tx_line = 106,
    tx_byte = 107,
    tx_ent = 108,
    tx_fertig = 109,
    tx_no_board = 110,
    tx_status = 111,
    tx_err = 112,
    tx_time_s = 113,
    tx_wait = 114,
    tx_mult_color = 115,
    tx_err_colpt = 116,
    tx_gamma_col_tit = 117,
    tx_gamma_def_col_tit = 118,
    tx_no_zelb_nr = 119,
    tx_no_file_ent = 120,
    tx_much_file_ent = 121,
    tx_val = 122,
    tx_no_intf_open = 123,
    tx_intf = 124,
    tx_intfs = 125,
    tx_ended = 126,
    tx_monitor = 127,
    tx_scan = 128,
    tx_inv_num = 129,
    tx_max_intf = 130,
    tx_ip_diff = 131,
    tx_mon = 132,
    tx_syserr_nomem = 133,
    tx_cmp_no_eth = 134,
    tx_debug = 135,
    tx_gamma_dc_tab_def_tit = 136,
    tx_gamma_tab_def_tit = 137,
};

// Number of rows of `texte`.
constexpr int texte_rows = 138;

extern const text texte[texte_rows];

// Language codes of sys_lang, equal to the rows holding the language names.
enum vq_lang : uint32_t {
    lang_deu = tx_deu,  // German
    lang_eng = tx_eng,  // English (also any value other than 1 and 3)
    lang_fr = tx_fr,    // French
};

// The current language: 1 German, 2 English, 3 French; default 2. Written on
// the main thread only (language commands, configuration), read anywhere.
extern uint32_t sys_lang;

// The application name: the main window's title and the caption of every
// box (configuration key ik_app_name, default "Velquor II"), and the
// program's version shown in the about box.
constexpr size_t cfg_app_name_size = 128;  // 127 characters and the NUL
extern char VER_APP_NAME[cfg_app_name_size];
constexpr const char *VER_APP_NAME_STD = "Velquor II";
constexpr const char *VER_APP_NUM = "1.014A";

// The text of `row` in the current language; the empty text for a cell that
// is empty or absent and for a row outside 0..137. Never nullptr.
const char *scr_get_text_ix(int row);
// The text of `row` in language `lang` (same rules as scr_get_text_ix).
const char *scr_get_text_lang(int row, uint32_t lang);
// Placeholder getter of the window element table: always the empty text.
const char *scr_get_text_none(uint32_t lang);
// The text for a start-up result code: 0 tx_ok, 1 tx_io32dll, 2 and 3
// tx_io32dll_err, 10 tx_comdll, 11 tx_comdll_err, 12 tx_syserr_nomem, any
// other tx_err_un. In the current language.
const char *sys_get_msg(int rv);
