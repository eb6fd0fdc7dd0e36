// Monitor operations: the steps and entry points that the action table and the
// command dispatcher call. Each step takes no arguments and returns its verdict
// (1 go on, 2 alternative, 0 failure with an error recorded in sys_rv/sys_f_rv).
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- ending an operation

// Operation bookkeeping: bit value 1 = operator actions enabled, bit value 8 =
// the operation ends through end_com; 0 while an operation is being started.
extern uint8_t sys_act;
// Window-contents code that end_com rebuilds (2 by default).
extern uint8_t endcom_cwcall;

// Shows the error a step recorded, drops the rest of the list on an error or
// hands the next list entry to the sequencer, and closes the link.
void end_it(void);
// End steps (verdict 1). end_com also rebuilds the main window contents.
char end_com(void);
char end_com1(void);
// sys_act = v; unless bit value 8 is set, repaints the elements' enable states.
void enab_sys_action(uint8_t v);

// Hooks of the end step for modules that come later: showing a file error
// (receives its id) and closing an open upload file or the I2C bus. Unset
// hooks do nothing.
extern void (*end_show_file_error)(uint8_t id);
extern void (*end_close_extra)(void);

// ---------------------------------------------------------------- small steps

// A step that only carries its row's delay. Verdict 1.
// (The C library owns the plain name pause.)
char zelb_pause(void);
// The verdict of a step whose work gave the error id rv: 1 for 0; otherwise
// sys_rv = rv and 0.
char step_verdict(char rv);

// ---------------------------------------------------------------- keys, ping, identification

// Key commands (value 0) and the ping.
constexpr uint32_t zelb_key_up = 0x208B, zelb_key_left = 0x20B6, zelb_key_right = 0x20B7;
constexpr uint32_t zelb_key_down = 0x208D, zelb_key_ok = 0x208C;
constexpr uint32_t zelb_cmd_ping = 0x5000, zelb_val_ping = 0x5500;
constexpr uint32_t zelb_cmd_restart = 0x6009;

// Command and value of the key being sent.
extern uint32_t act_p2, act_p3;

// Identification of one monitor.
struct zelb_dat_T {
    uint8_t zelb_ver;  // board type code (255 = unknown)
    uint8_t err;       // error marker
    uint8_t firm_typ;  // firmware generation (2, 51) or the boot loader's variant code
    uint32_t zelb_disp;
    uint32_t zelb_rev;  // major in the high byte, minor in the low byte
    uint32_t zelb_dat;  // packed: day bits 0-4, month bits 5-8, year - 2000 bits 9-15
    uint32_t zelb_clock;
    uint32_t zelb_hfreq;
    uint32_t zelb_vfreq;
};
extern zelb_dat_T zelb_info_dat;
extern uint8_t zelb_ver_old, zelb_firm_typ_old;
extern uint32_t zelb_disp_old, zelb_rev_old, zelb_dat_old;

// The four info lines as the window shows them.
struct zelb_info_lines {
    char typ[32];
    char dsp[16];
    char rev[32];
    char dat[16];
};

// Keys: send_key starts the key's action for control id 121..125 (any other: OK).
char send_key(int key, uint8_t zelb_nr);
char init_key_ok(void);
char init_key_left(void);
char init_key_right(void);
char init_key_up(void);
char init_key_down(void);
char send_my_key(void);
char send_key_ok(void);

// Ping. ping_me2 pings on the open link and returns an error id.
char ping_me(void);
char ping_me1(void);
char ping_me1_nc(void);
char ping_me_nc_ipl(int32_t sub);
char ping_me_nc(void);
char ping_me2(uint8_t *c);

// Identification queries: error ids; results through c (10 when c is missing).
char zelb_get_firm_typ_nr_no_b(uint8_t nr, uint8_t *firm_typ);
char zelb_get_typ_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_rev_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_dat_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_dsp_num_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_vfreq_nr(uint8_t nr, uint32_t *c);
char zelb_get_hfreq_nr(uint8_t nr, uint32_t *c);
char zelb_get_pclk_nr(uint8_t nr, uint32_t *c);
char zelb_get_typ_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_rev_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_dat_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_dsp_num_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_firm_typ(uint32_t *c);
char zelb_get_typ(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_rev(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_dat(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_dsp_num(uint32_t *c, uint8_t b_run, uint8_t firm_typ);

// Step: reads the identification into the info fields; never reports an error.
char info_init(void);
void reset_zelb_dat(zelb_dat_T *mp);
void reset_info_vals(void);
void zelb_info_to_window(void);
void zelb_info_format(const zelb_dat_T *d, zelb_info_lines *out);
// "LPT:" in the DDC view, else "COM:", in front of the interface field.
void get_intf_typ(void);

// Display formats: board type name, variant label, "%d.%03d" revision (1 when
// s is missing), "%02d.%02d. %4d" date, "0x%03X" display number.
const char *mc_get_zelb_typ_x(uint32_t code);
const char *scr_get_zelb_firm_tp_x(uint32_t code);
char mc_get_zelb_rev_x(uint32_t v, char *s, size_t n);
char mc_get_zelb_dat_x(uint32_t v, char *s, size_t n);
void scr_get_zelb_rev(uint32_t v, char *s, size_t n);
void scr_get_zelb_dsp(uint32_t v, char *s, size_t n);

// ---------------------------------------------------------------- groups, waits, restart

// Steps of the IP-list and ring walks.
char init_ipl(void);
char init_ring(void);
char ring_control(void);

// Waits of n seconds: wait_init_x shows the progress; wait_me counts to n.
char wait_init_x(int32_t n);
char wait_init_4(void);
char wait_init_5(void);
char wait_init_7(void);
char wait_init_9(void);
char wait_init_12(void);
char wait_me(void);

// Restart of one monitor or all of the line (command 0x6009, no answer).
char restart_zelb(int hwnd);
char restart_zelb1(void);
char restart_zelb_no(void);
char restart_zelb_all(void);
char restart_zelb_all_no(void);
void restart_zelb_all_no_close(void);

char focus_stat_dlg(void);
// End of the keyed ping chain: the monitor number from the answer value.
char zelb_end_ping(void);
