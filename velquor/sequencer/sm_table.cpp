// The action table: for every action, its step and the successor for each
// verdict, and the delay before the success successor runs. It names the steps
// of every operation module and so sits above them; the engine (sm_act.cpp)
// receives it at start-up and knows none of the operations.
//
// Columns: action, step, successor after verdict 1, after 2, after 0, delay
// in ms before the successor of verdict 1. Each row ends with its number and
// what its step does; HAVE(step) names the step.
#include <iterator>

#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/scan.h"

#define HAVE(step) &step

// clang-format off
constexpr tm_func_table_t tm_func_tab[] = {
    // 1 key OK, answer read by the next row
    {ix_zelb_send_key, HAVE(zelb_send_key), ix_zelb_wait_ack_dlg, ix_sm_nix, ix_end_com1, 10},
    // 2 end, rebuilding the window
    {ix_end_com, HAVE(end_com), ix_sm_nix, ix_sm_nix, ix_sm_nix, 0},
    // 3 end
    {ix_end_com1, HAVE(end_com1), ix_sm_nix, ix_sm_nix, ix_sm_nix, 0},
    // 4 reads the acknowledgement, shows sys_msg
    {ix_zelb_wait_ack_dlg, HAVE(zelb_wait_ack_dlg), ix_pause_end, ix_sm_nix, ix_end_com1, 50},
    // 5 the delay before the end
    {ix_pause_end, HAVE(zelb_pause), ix_end_com1, ix_sm_nix, ix_end_com1, 0},
    // 6 key OK without waiting for the answer
    {ix_zelb_send_key_nowait, HAVE(zelb_send_key), ix_end_com1, ix_sm_nix, ix_end_com1, 100},
    // 7 keyed ping: key OK
    {ix_zelb_ping, HAVE(zelb_send_key), ix_zelb_wait_ack_ping, ix_sm_nix, ix_end_com1, 10},
    // 8 keyed ping: the acknowledgement
    {ix_zelb_wait_ack_ping, HAVE(zelb_wait_ack), ix_zelb_end_ping, ix_sm_nix, ix_end_com1, 10},
    // 9 keyed ping: the number from the answer
    {ix_zelb_end_ping, HAVE(zelb_end_ping), ix_sm_nix, ix_sm_nix, ix_end_com, 10},
    // 10 erase: prepare the IP-list walk
    {ix_er_dnl_in_ipl, HAVE(init_ipl), ix_er_dnl_ipl, ix_sm_nix, ix_sm_stop, 0},
    // 11 erase: next address
    {ix_er_dnl_ipl, HAVE(ipl_control), ix_er_fs_1, ix_sm_stop, ix_sm_stop, 500},
    // 12 erase: open the session, prepare the ring
    {ix_er_fs_1, HAVE(er_fs_1), ix_fs_er_ring, ix_sm_nix, ix_sm_stop, 1},
    // 13 erase: next monitor of the ring
    {ix_fs_er_ring, HAVE(ring_control), ix_fs_er_kyok, ix_er_dnl_ipl, ix_sm_stop, 1},
    // 14 erase: key OK to the monitor
    {ix_fs_er_kyok, HAVE(send_key_ok), ix_fs_er_start1, ix_er_dnl_ipl, ix_sm_stop, 1},
    // 15 erase: the question (once per operation); an empty monitor alone stops here
    {ix_fs_er_start1, HAVE(fs_er_in), ix_fs_er_start, ix_sm_nix, ix_sm_stop, 1},
    // 16 erase: start the file-system session
    {ix_fs_er_start, HAVE(fs_start_end_sess2), ix_fs_get_ent_er, ix_sm_nix, ix_sm_stop, 1},
    // 17 erase: next entry
    {ix_fs_get_ent_er, HAVE(fs_get_next_ent2), ix_fs_er_ent, ix_fs_er_end_sess, ix_sm_stop, 1},
    // 18 erase: erase the entry
    {ix_fs_er_ent, HAVE(fs_erase_ent), ix_fs_get_ent_er, ix_fs_er_end_sess, ix_sm_stop, 1},
    // 19 erase: end the session
    {ix_fs_er_end_sess, HAVE(fs_start_end_sess2), ix_fs_er_ring, ix_sm_nix, ix_sm_stop, 1},
    // 20 erase: ring done, close unless in a group
    {ix_fs_er_ring_close, HAVE(ring_close), ix_er_dnl_ipl, ix_sm_nix, ix_sm_stop, 1},
    // 21 erase all monitors at once
    {ix_fs_er_all, HAVE(erase_zelb_all), ix_end_com, ix_end_com, ix_end_com, 0},
    // 22 upload: open the session and the files
    {ix_upl_fs_1, HAVE(upload_fs1), ix_fs_upl_start, ix_sm_nix, ix_end_com, 10},
    // 23 upload: start the file-system session
    {ix_fs_upl_start, HAVE(fs_start_end_sess2), ix_fs_get_ent_upl, ix_sm_nix, ix_end_com, 10},
    // 24 upload: next entry
    {ix_fs_get_ent_upl, HAVE(fs_get_next_ent2), ix_fs_read_word_upl, ix_fs_gamma_start, ix_end_com, 10},
    // 25 upload: read a word
    {ix_fs_read_word_upl, HAVE(fs_read_word), ix_fs_buffer_word_upl, ix_sm_nix, ix_end_com, 10},
    // 26 upload: buffer the word
    {ix_fs_buffer_word_upl, HAVE(fs_buffer_word_upl), ix_fs_buff_to_fl, ix_fs_read_word_upl, ix_end_com, 0},
    // 27 upload: write the entry to the file
    {ix_fs_buff_to_fl, HAVE(fs_buff_to_file), ix_fs_get_ent_upl, ix_sm_nix, ix_end_com, 0},
    // 28 gamma table: start
    {ix_fs_gamma_start, HAVE(fs_rgamma_start), ix_fs_gamma_color, ix_fs_gamma_end, ix_sm_stop, 0},
    // 29 gamma table: colour
    {ix_fs_gamma_color, HAVE(fs_rgamma_color), ix_fs_gamma_table, ix_sm_nix, ix_sm_stop, 0},
    // 30 gamma table: values
    {ix_fs_gamma_table, HAVE(fs_rgamma_table), ix_fs_gamma_start_def, ix_sm_nix, ix_sm_stop, 0},
    // 31 default gamma table: start
    {ix_fs_gamma_start_def, HAVE(fs_rgamma_def_start), ix_fs_gamma_color_def, ix_fs_gamma_end, ix_sm_stop, 0},
    // 32 default gamma table: colour
    {ix_fs_gamma_color_def, HAVE(fs_rgamma_def_color), ix_fs_gamma_table_def, ix_sm_nix, ix_sm_stop, 0},
    // 33 default gamma table: values
    {ix_fs_gamma_table_def, HAVE(fs_rgamma_def_table), ix_fs_gamma_dc_start, ix_sm_nix, ix_sm_stop, 0},
    // 34 DICOM gamma table: start
    {ix_fs_gamma_dc_start, HAVE(fs_rgamma_dc_start), ix_fs_gamma_dc_color, ix_fs_gamma_end, ix_fs_gamma_end, 0},
    // 35 DICOM gamma table: colour
    {ix_fs_gamma_dc_color, HAVE(fs_rgamma_dc_color), ix_fs_gamma_dc_table, ix_sm_nix, ix_fs_gamma_end, 0},
    // 36 DICOM gamma table: values
    {ix_fs_gamma_dc_table, HAVE(fs_rgamma_dc_table), ix_fs_gamma_dc_start_def, ix_sm_nix, ix_sm_stop, 0},
    // 37 default DICOM gamma table: start
    {ix_fs_gamma_dc_start_def, HAVE(fs_rgamma_dc_def_start), ix_fs_gamma_dc_color_def, ix_fs_gamma_end, ix_fs_gamma_end, 0},
    // 38 default DICOM gamma table: colour
    {ix_fs_gamma_dc_color_def, HAVE(fs_rgamma_dc_def_color), ix_fs_gamma_dc_table_def, ix_sm_nix, ix_fs_gamma_end, 0},
    // 39 default DICOM gamma table: values
    {ix_fs_gamma_dc_table_def, HAVE(fs_rgamma_dc_def_table), ix_fs_gamma_end, ix_sm_nix, ix_sm_stop, 0},
    // 40 gamma tables done
    {ix_fs_gamma_end, HAVE(fs_rgamma_end), ix_end_upl, ix_sm_nix, ix_end_com, 0},
    // 41 upload: the file complete
    {ix_end_upl, HAVE(fs_upl_end), ix_sm_nix, ix_sm_nix, ix_sm_nix, 0},
    // 42 firmware: prepare the IP-list walk
    {ix_firm_in_ipl, HAVE(init_ipl), ix_firm_ipl, ix_sm_nix, ix_sm_stop, 0},
    // 43 firmware: next address, or the final wait
    {ix_firm_ipl, HAVE(ipl_control), ix_firm_init, ix_firmupd_wait9_in, ix_sm_stop, 500},
    // 44 firmware: titles and stop (unreached)
    {ix_firm_sinit, HAVE(firm_start_init), ix_firm_init, ix_sm_nix, ix_end_com, 10},
    // 45 firmware: open, count and check, load the file
    {ix_firm_init, HAVE(firm_init), ix_firm_start_upd, ix_end_com, ix_end_com, 10},
    // 46 firmware: start command at the new rate
    {ix_firm_start_upd, HAVE(firm_start_upd), ix_wack_start_upd, ix_end_com, ix_end_com, 10},
    // 47 firmware: its acknowledgement
    {ix_wack_start_upd, HAVE(zelb_wait_ack), ix_firm_set_baud, ix_sm_nix, ix_end_com, 0},
    // 48 firmware: switch the PC to the new rate
    {ix_firm_set_baud, HAVE(firm_set_baud), ix_firm_wait_baud, ix_sm_nix, ix_end_com, 2000},
    // 49 firmware: optional long pause
    {ix_firm_wait_baud, HAVE(firm_wait_select), ix_firm_send_line, ix_firm_send_line, ix_end_com, 10000},
    // 50 firmware: send a line
    {ix_firm_send_line, HAVE(firm_send_line), ix_firm_wack_line, ix_firm_ipl, ix_sm_stop, 0},
    // 51 firmware: its acknowledgement or echo
    {ix_firm_wack_line, HAVE(firm_wack_line), ix_firm_send_line, ix_firm_send_line, ix_sm_stop, 0},
    // 52 firmware: final wait of 5 s
    {ix_firmupd_wait9_in, HAVE(wait_init_5), ix_firmupd_waite, ix_sm_nix, ix_sm_stop, 0},
    // 53 firmware: one second of it
    {ix_firmupd_waite, HAVE(wait_me), ix_firmupd_waite, ix_sm_nix, ix_sm_stop, 1000},
    // 54 bootstrap: pause
    {ix_boot_pause, HAVE(zelb_pause), ix_boot_firm_1, ix_sm_nix, ix_sm_stop, 100},
    // 55 bootstrap: open the file and the link at 57600
    {ix_boot_firm_1, HAVE(boot_firm1), ix_boot_start, ix_sm_nix, ix_sm_stop, 0},
    // 56 bootstrap: send 0x00
    {ix_boot_start, HAVE(boot_start), ix_boots_wack, ix_sm_nix, ix_sm_stop, 0},
    // 57 bootstrap: identification byte
    {ix_boots_wack, HAVE(boot_start_wait), ix_boot_send_prim, ix_boote_reset, ix_sm_stop, 0},
    // 58 bootstrap: "Reset CPU!"
    {ix_boote_reset, HAVE(boot_end_reset), ix_sm_stop, ix_sm_nix, ix_sm_stop, 0},
    // 59 bootstrap: primary and secondary loader
    {ix_boot_send_prim, HAVE(boot_send_prim), ix_boot_send_firm, ix_sm_nix, ix_sm_stop, 0},
    // 60 bootstrap: send a record
    {ix_boot_send_firm, HAVE(boot_send_firm), ix_boot_ack_firm, ix_sm_stop, ix_sm_stop, 0},
    // 61 bootstrap: its acknowledgement
    {ix_boot_ack_firm, HAVE(boot_ack_firm), ix_boot_send_firm, ix_sm_stop, ix_sm_stop, 0},
    // 62 download: prepare the IP-list walk
    {ix_fs_dnl_in_ipl, HAVE(init_ipl), ix_fs_dnl_ipl, ix_sm_nix, ix_sm_stop, 0},
    // 63 download: next address
    {ix_fs_dnl_ipl, HAVE(ipl_control), ix_download_fs_1, ix_sm_stop, ix_sm_stop, 500},
    // 64 download: open the session and the file
    {ix_download_fs_1, HAVE(download_fs1), ix_fsdnl_ring, ix_sm_nix, ix_end_com, 0},
    // 65 download: next monitor of the ring
    {ix_fsdnl_ring, HAVE(ring_control), ix_fsdnl_getln, ix_fs_dnl_ipl, ix_end_com, 0},
    // 66 download: next entry of the file
    {ix_fsdnl_getln, HAVE(fs_dnl_getln), ix_start_sess_dnl, ix_fsdnl_ring, ix_end_com, 0},
    // 67 download: start the file-system session
    {ix_start_sess_dnl, HAVE(fs_start_end_sess2), ix_fs_check_ent, ix_sm_nix, ix_end_com, 1},
    // 68 download: look the entry up
    {ix_fsdnl_get_spec_ent, HAVE(fs_get_spec_ent), ix_fsdnl_er_ent, ix_fsdnl_cr_ent, ix_end_com, 1},
    // 69 download: check the entry
    {ix_fs_check_ent, HAVE(fs_check_ent), ix_fsdnl_get_spec_ent, ix_fs_check_mod, ix_end_com, 0},
    // 70 download: end the session
    {ix_end_sess_dnl, HAVE(fs_start_end_sess2), ix_fsdnl_getln, ix_sm_nix, ix_end_com, 1},
    // 71 download: erase the entry
    {ix_fsdnl_er_ent, HAVE(fs_erase_ent), ix_fsdnl_cr_ent, ix_sm_nix, ix_end_com, 1},
    // 72 download: create the entry
    {ix_fsdnl_cr_ent, HAVE(fs_create_ent), ix_fsdnl_send_ent, ix_sm_nix, ix_end_com, 1},
    // 73 download: send the entry's words
    {ix_fsdnl_send_ent, HAVE(fs_dnl_send_ent), ix_fsdnl_send_ent, ix_end_sess_dnl, ix_end_com, 1},
    // 74 download: check the entry's mode
    {ix_fs_check_mod, HAVE(fs_check_modus), ix_fsdnl_cr_ent, ix_fsdnl_er_ent, ix_end_com, 0},
    // 75 DDC read: pause
    {ix_ddc_inp, HAVE(zelb_pause), ix_ddc_pw_off, ix_sm_nix, ix_sm_stop, 10},
    // 76 DDC read: adapter power off
    {ix_ddc_pw_off, HAVE(I2C_pw_off), ix_ddc_pw_on, ix_sm_nix, ix_sm_stop, 250},
    // 77 DDC read: power on
    {ix_ddc_pw_on, HAVE(I2C_pw_on), ix_ddc_sp_loop, ix_sm_nix, ix_sm_stop, 250},
    // 78 DDC read: start and stop conditions
    {ix_ddc_sp_loop, HAVE(I2C_send_start_stop_loop), ix_read_start, ix_sm_nix, ix_sm_stop, 10},
    // 79 DDC read: address the EEPROM
    {ix_read_start, HAVE(ddc_start_send), ix_read_start, ix_read_ddc, ix_sm_stop, 100},
    // 80 DDC read: read the bytes
    {ix_read_ddc, HAVE(read_ddc), ix_read_ddc, ix_ddc_upl_end, ix_sm_stop, 0},
    // 81 DDC read: write the file
    {ix_ddc_upl_end, HAVE(ddc_upl_end), ix_sm_stop, ix_sm_nix, ix_sm_stop, 1},
    // 82 DDC write: pause
    {ix_ddc_w_inp, HAVE(zelb_pause), ix_ddc_w_in, ix_sm_nix, ix_sm_stop, 10},
    // 83 DDC write: load the file
    {ix_ddc_w_in, HAVE(ddc_init_dnl), ix_ddc_w_pw_off, ix_sm_nix, ix_sm_stop, 10},
    // 84 DDC write: power off
    {ix_ddc_w_pw_off, HAVE(I2C_pw_off), ix_ddc_w_pw_on, ix_sm_nix, ix_sm_stop, 500},
    // 85 DDC write: power on
    {ix_ddc_w_pw_on, HAVE(I2C_pw_on), ix_ddc_w_sp_loop, ix_sm_nix, ix_sm_stop, 500},
    // 86 DDC write: start and stop conditions
    {ix_ddc_w_sp_loop, HAVE(I2C_send_start_stop_loop), ix_ddc_w_inp2, ix_sm_nix, ix_sm_stop, 200},
    // 87 DDC write: pause
    {ix_ddc_w_inp2, HAVE(zelb_pause), ix_ddc_w_initstart, ix_sm_nix, ix_sm_stop, 10},
    // 88 DDC write: start
    {ix_ddc_w_initstart, HAVE(ddc_initstart), ix_ddc_w_start_bin, ix_sm_nix, ix_sm_stop, 0},
    // 89 DDC write: wait for the EEPROM
    {ix_ddc_w_start_bin, HAVE(ddc_check_nack), ix_ddc_w_start_bin, ix_ddc_w_focus, ix_sm_stop, 100},
    // 90 DDC write: status dialog in front
    {ix_ddc_w_focus, HAVE(focus_stat_dlg), ix_ddc_wr_prot_bin, ix_sm_nix, ix_sm_nix, 0},
    // 91 DDC write: test the write protection
    {ix_ddc_wr_prot_bin, HAVE(ddc_write_test), ix_ddc_wr_prot_2, ix_sm_nix, ix_err_ddc_dnl, 10},
    // 92 DDC write: second test
    {ix_ddc_wr_prot_2, HAVE(ddc_write_test2), ix_ddc_send_bin, ix_ddc_w_end, ix_err_ddc_dnl, 10},
    // 93 DDC write: send the bytes
    {ix_ddc_send_bin, HAVE(send_ddc_bin), ix_ddc_send_ver, ix_ddc_w_end, ix_err_ddc_dnl, 1},
    // 94 DDC write: verify
    {ix_ddc_send_ver, HAVE(send_ddc_ver), ix_ddc_send_bin, ix_sm_stop, ix_err_ddc_dnl, 1},
    // 95 DDC write: wait for the acknowledgement
    {ix_ddc_w_end, HAVE(ddc_check_ack), ix_ddc_w_end, ix_ddc_w_initstart, ix_sm_stop, 100},
    // 96 DDC write: report the failure
    {ix_err_ddc_dnl, HAVE(ddc_dnl_err), ix_ddc_w_end, ix_sm_nix, ix_sm_nix, 0},
    // 97 macro: prepare
    {ix_mak_init, HAVE(mak_init), ix_mak_init_ipl, ix_sm_nix, ix_sm_nix, 10},
    // 98 macro: prepare the IP-list walk
    {ix_mak_init_ipl, HAVE(init_ipl), ix_mak_ipl, ix_sm_nix, ix_sm_stop, 10},
    // 99 macro: next address
    {ix_mak_ipl, HAVE(ipl_control), ix_mak_run, ix_mak_end, ix_sm_stop, 10},
    // 100 macro: open the session
    {ix_mak_run, HAVE(mak_run), ix_mak_send, ix_sm_nix, ix_sm_nix, 10},
    // 101 macro: send the next frame
    {ix_mak_send, HAVE(mak_get_send), ix_mak_ipl, ix_mak_end, ix_sm_nix, 1},
    // 102 macro: done
    {ix_mak_end, HAVE(mak_end), ix_sm_stop, ix_sm_nix, ix_sm_nix, 1},
    // 103 macro without a list: prepare
    {ix_mak2_init, HAVE(mak_init), ix_mak_send_it, ix_sm_nix, ix_sm_stop, 10},
    // 104 macro without a list: send the next frame
    {ix_mak_send_it, HAVE(mak_send_it), ix_mak_send_it, ix_mak_end, ix_sm_stop, 10},
    // 105 info: read the identification
    {ix_inf_init, HAVE(info_init), ix_end_com1, ix_sm_nix, ix_sm_nix, 1},
    // 106 ping: show the number
    {ix_ping_me, HAVE(ping_me), ix_sm_nix, ix_sm_nix, ix_end_com, 1},
    // 107 ping without showing it
    {ix_ping_me1, HAVE(ping_me1), ix_end_com, ix_sm_nix, ix_end_com, 1},
    // 108 ping, link kept open
    {ix_ping_me1_nc, HAVE(ping_me1_nc), ix_sm_nix, ix_sm_nix, ix_end_com, 1},
    // 109 stop: end with a rebuild
    {ix_sm_stop, HAVE(sm_stopme), ix_sm_nix, ix_sm_nix, ix_sm_nix, 0},
    // 110 wait 4 s
    {ix_wait4, HAVE(wait_init_4), ix_wait, ix_sm_nix, ix_sm_nix, 0},
    // 111 wait 5 s
    {ix_wait5, HAVE(wait_init_5), ix_wait, ix_sm_nix, ix_sm_nix, 0},
    // 112 wait 7 s
    {ix_wait7, HAVE(wait_init_7), ix_wait, ix_sm_nix, ix_sm_nix, 0},
    // 113 wait 9 s
    {ix_wait9, HAVE(wait_init_9), ix_wait, ix_sm_nix, ix_sm_nix, 0},
    // 114 one second of a wait
    {ix_wait, HAVE(wait_me), ix_wait, ix_sm_nix, ix_end_com, 1000},
    // 115 reset: restart one monitor
    {ix_res_zelb, HAVE(restart_zelb1), ix_resall_wait12, ix_sm_nix, ix_end_com, 0},
    // 116 reset: ping, restart all
    {ix_res_zelb_all, HAVE(restart_zelb_all), ix_sm_stop, ix_sm_nix, ix_end_com, 0},
    // 117 after a reset: wait 7 s
    {ix_resall_wait12, HAVE(wait_init_7), ix_resall_wait, ix_sm_nix, ix_sm_nix, 0},
    // 118 one second of it
    {ix_resall_wait, HAVE(wait_me), ix_resall_wait, ix_sm_nix, ix_sm_stop, 1000},
    // 119 key OK
    {ix_keyb_ok, HAVE(init_key_ok), ix_keyb_in_ipl, ix_sm_nix, ix_end_com1, 0},
    // 120 key Left
    {ix_keyb_left, HAVE(init_key_left), ix_keyb_in_ipl, ix_sm_nix, ix_end_com1, 0},
    // 121 key Right
    {ix_keyb_right, HAVE(init_key_right), ix_keyb_in_ipl, ix_sm_nix, ix_end_com1, 0},
    // 122 key Down
    {ix_keyb_down, HAVE(init_key_down), ix_keyb_in_ipl, ix_sm_nix, ix_end_com1, 0},
    // 123 key Up
    {ix_keyb_up, HAVE(init_key_up), ix_keyb_in_ipl, ix_sm_nix, ix_end_com1, 0},
    // 124 keys: prepare the IP-list walk
    {ix_keyb_in_ipl, HAVE(init_ipl), ix_keyb_ipl, ix_sm_nix, ix_end_com1, 10},
    // 125 keys: next address
    {ix_keyb_ipl, HAVE(ipl_control), ix_keyb_send2, ix_end_com1, ix_end_com1, 10},
    // 126 keys: send the key
    {ix_keyb_send2, HAVE(send_my_key), ix_keyb_ipl, ix_sm_nix, ix_end_com1, 10},
    // 127 scan: prepare
    {ix_sc_intf_init, HAVE(scintf_init), ix_sc_intf_st, ix_sm_nix, ix_sm_nix, 100},
    // 128 scan: next port
    {ix_sc_intf_st, HAVE(scintf_scan), ix_sc_intf_st, ix_end_com, ix_sm_nix, 10},
    // 129 scan: fill the tree
    {ix_sc_intf_end, HAVE(scintf_scan_end), ix_sm_nix, ix_sm_nix, ix_sm_nix, 100},
};
// clang-format on

// One row per action, and row a - 1 holds action a: checked by the compiler,
// so that a row added or dropped in the middle cannot shift the rest. Every
// successor is an action or 0, no delay is negative. (Every row has a step:
// HAVE and TODO both give one.)
static_assert(std::size(tm_func_tab) == sm_n_actions, "one row per action");
namespace {
constexpr bool sm_rows_in_order() {
    for (size_t i = 0; i < sm_n_actions; ++i)
        if (tm_func_tab[i].meiner_einer != static_cast<int32_t>(i + 1)) return false;
    return true;
}
constexpr bool sm_rows_sound() {
    for (const tm_func_table_t &r : tm_func_tab) {
        if (r.tm_ms < 0) return false;
        for (int32_t a : {r.ix_doyes, r.ix_dono, r.ix_doerr})
            if (a < 0 || a > static_cast<int32_t>(sm_n_actions)) return false;
    }
    return true;
}
}  // namespace
static_assert(sm_rows_in_order(), "row a - 1 holds action a");
static_assert(sm_rows_sound(), "successors are actions, delays not negative");
