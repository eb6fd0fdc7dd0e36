// Action sequencer: the action enumeration, the action table and the worker
// that runs every operation as a chain of steps.
//
// An operation is a chain of small step functions. Each action names one row of
// tm_func_tab: the step to call and the successor for each verdict (1 = go on,
// after the row's delay; 2 = alternative, at once; 0 = failure, at once). A run
// starts at one action, may queue up to seven more in do_func_list (handed over
// one by one by the end steps through ix_next), and runs on a detached worker
// thread. Delays and the end of a run are signalled through two timers of the
// main window, whose procedure calls sm_on_timer_173 and sm_on_timer_165 on the
// main thread.
//
// The engine here runs the table without knowing the operations: the table
// (sm_table.cpp) names their steps and sits above them, and the program hands
// it to the engine at start-up (sm_install).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

// ---------------------------------------------------------------- actions

// Every action of the system. 0 = no action (a chain ends there); -1 marks the
// end of the pending list. Actions are stored as 32-bit integers.
enum sm_action_t : int32_t {
    ix_sm_last = -1,
    ix_sm_nix = 0,
    ix_zelb_send_key = 1,
    ix_end_com = 2,
    ix_end_com1 = 3,
    ix_zelb_wait_ack_dlg = 4,
    ix_pause_end = 5,
    ix_zelb_send_key_nowait = 6,
    ix_zelb_ping = 7,
    ix_zelb_wait_ack_ping = 8,
    ix_zelb_end_ping = 9,
    ix_er_dnl_in_ipl = 10,
    ix_er_dnl_ipl = 11,
    ix_er_fs_1 = 12,
    ix_fs_er_ring = 13,
    ix_fs_er_kyok = 14,
    ix_fs_er_start1 = 15,
    ix_fs_er_start = 16,
    ix_fs_get_ent_er = 17,
    ix_fs_er_ent = 18,
    ix_fs_er_end_sess = 19,
    ix_fs_er_ring_close = 20,
    ix_fs_er_all = 21,
    ix_upl_fs_1 = 22,
    ix_fs_upl_start = 23,
    ix_fs_get_ent_upl = 24,
    ix_fs_read_word_upl = 25,
    ix_fs_buffer_word_upl = 26,
    ix_fs_buff_to_fl = 27,
    ix_fs_gamma_start = 28,
    ix_fs_gamma_color = 29,
    ix_fs_gamma_table = 30,
    ix_fs_gamma_start_def = 31,
    ix_fs_gamma_color_def = 32,
    ix_fs_gamma_table_def = 33,
    ix_fs_gamma_dc_start = 34,
    ix_fs_gamma_dc_color = 35,
    ix_fs_gamma_dc_table = 36,
    ix_fs_gamma_dc_start_def = 37,
    ix_fs_gamma_dc_color_def = 38,
    ix_fs_gamma_dc_table_def = 39,
    ix_fs_gamma_end = 40,
    ix_end_upl = 41,
    ix_firm_in_ipl = 42,
    ix_firm_ipl = 43,
    ix_firm_sinit = 44,
    ix_firm_init = 45,
    ix_firm_start_upd = 46,
    ix_wack_start_upd = 47,
    ix_firm_set_baud = 48,
    ix_firm_wait_baud = 49,
    ix_firm_send_line = 50,
    ix_firm_wack_line = 51,
    ix_firmupd_wait9_in = 52,
    ix_firmupd_waite = 53,
    ix_boot_pause = 54,
    ix_boot_firm_1 = 55,
    ix_boot_start = 56,
    ix_boots_wack = 57,
    ix_boote_reset = 58,
    ix_boot_send_prim = 59,
    ix_boot_send_firm = 60,
    ix_boot_ack_firm = 61,
    ix_fs_dnl_in_ipl = 62,
    ix_fs_dnl_ipl = 63,
    ix_download_fs_1 = 64,
    ix_fsdnl_ring = 65,
    ix_fsdnl_getln = 66,
    ix_start_sess_dnl = 67,
    ix_fsdnl_get_spec_ent = 68,
    ix_fs_check_ent = 69,
    ix_end_sess_dnl = 70,
    ix_fsdnl_er_ent = 71,
    ix_fsdnl_cr_ent = 72,
    ix_fsdnl_send_ent = 73,
    ix_fs_check_mod = 74,
    ix_ddc_inp = 75,
    ix_ddc_pw_off = 76,
    ix_ddc_pw_on = 77,
    ix_ddc_sp_loop = 78,
    ix_read_start = 79,
    ix_read_ddc = 80,
    ix_ddc_upl_end = 81,
    ix_ddc_w_inp = 82,
    ix_ddc_w_in = 83,
    ix_ddc_w_pw_off = 84,
    ix_ddc_w_pw_on = 85,
    ix_ddc_w_sp_loop = 86,
    ix_ddc_w_inp2 = 87,
    ix_ddc_w_initstart = 88,
    ix_ddc_w_start_bin = 89,
    ix_ddc_w_focus = 90,
    ix_ddc_wr_prot_bin = 91,
    ix_ddc_wr_prot_2 = 92,
    ix_ddc_send_bin = 93,
    ix_ddc_send_ver = 94,
    ix_ddc_w_end = 95,
    ix_err_ddc_dnl = 96,
    ix_mak_init = 97,
    ix_mak_init_ipl = 98,
    ix_mak_ipl = 99,
    ix_mak_run = 100,
    ix_mak_send = 101,
    ix_mak_end = 102,
    ix_mak2_init = 103,
    ix_mak_send_it = 104,
    ix_inf_init = 105,
    ix_ping_me = 106,
    ix_ping_me1 = 107,
    ix_ping_me1_nc = 108,
    ix_sm_stop = 109,
    ix_wait4 = 110,
    ix_wait5 = 111,
    ix_wait7 = 112,
    ix_wait9 = 113,
    ix_wait = 114,
    ix_res_zelb = 115,
    ix_res_zelb_all = 116,
    ix_resall_wait12 = 117,
    ix_resall_wait = 118,
    ix_keyb_ok = 119,
    ix_keyb_left = 120,
    ix_keyb_right = 121,
    ix_keyb_down = 122,
    ix_keyb_up = 123,
    ix_keyb_in_ipl = 124,
    ix_keyb_ipl = 125,
    ix_keyb_send2 = 126,
    ix_sc_intf_init = 127,
    ix_sc_intf_st = 128,
    ix_sc_intf_end = 129,
};

// Number of rows of tm_func_tab (actions 1 to 129).
constexpr size_t sm_n_actions = 129;

// A step: no arguments, returns its verdict (1 success, 2 alternative, 0 failure;
// any other value counts as 1). Before returning 0 it records an error id in
// sys_rv or sys_f_rv.
typedef char (*sm_step_t)(void);

// One row of the action table; the row of action a is row a - 1.
struct tm_func_table_t {
    int32_t meiner_einer;  // the row's own action (checked at compile time, not used when stepping)
    sm_step_t do_ptr;      // the step function
    int32_t ix_doyes;      // successor after verdict 1
    int32_t ix_dono;       // successor after verdict 2
    int32_t ix_doerr;      // successor after verdict 0
    int32_t tm_ms;         // delay before ix_doyes runs, in ms; 0 = none
};

// The action table of the program (sm_table.cpp).
extern const tm_func_table_t tm_func_tab[sm_n_actions];

// Timers of the main window used by the sequencer.
constexpr unsigned sm_timer_resume = 173;  // ends a step's delay
constexpr unsigned sm_timer_end = 165;     // runs the end step after a run
constexpr uint32_t sm_end_delay_ms = 100;  // from the end of a run to timer 165

// ---------------------------------------------------------------- state
//
// Shared between the main thread and the worker. The hand-over itself (post-step
// bookkeeping, the timer handlers, the start of a run) happens under the
// sequencer's own lock; the atomics keep single reads from other modules sound.

extern std::atomic<int32_t> ix_act;     // action to run next on the worker; 0 = none
extern std::atomic<int32_t> ix_timer;   // action parked while a delay runs
extern std::atomic<int32_t> ix_next;    // next list entry, set by the end steps; 0 = none
extern std::atomic<int32_t> sys_tm_ms;  // delay of the step that ran last
extern std::atomic<uint8_t> sm_waitme;  // 1 while the worker is parked for timer 173
// Slots 0-7: pending actions (0 = empty); slot 8 always holds ix_sm_last.
extern std::atomic<int32_t> do_func_list[9];
extern std::atomic<uint8_t> sm_stop_request;  // the operator asked to stop; steps poll it
extern std::atomic<uint8_t> sm_stop_enabled;  // an immediate stop is allowed now
extern std::atomic<uint8_t> dome;             // an operation is running (dispatcher busy flag)
// Operation bookkeeping shared by the dispatcher, the end steps and the end
// timer: bit value 1 = operator actions enabled, bit value 8 = the operation
// ends through end_com (rather than end_com1); 0 while an operation is being
// started.
extern uint8_t sys_act;
// Content mode (vq_content_mode) that end_com applies to the main window; 2
// by default, every command first sets 4.
extern uint8_t endcom_cwcall;
// Id of the last worker started. Workers are detached std::threads, so there is
// no handle to keep beside it.
extern std::thread::id hsm_id;

// ---------------------------------------------------------------- starting a run

// Start a run at a1; a2 ... a8 (0 = none) are queued and run after it, each as
// its own chain, as long as no error is recorded. The window is carried but not
// used: the timers always go to hwndMain. Call on the main thread.
void sm_start_liste1(int hwnd, int32_t a1);
void sm_start_liste2(int hwnd, int32_t a1, int32_t a2);
void sm_start_liste3(int hwnd, int32_t a1, int32_t a2, int32_t a3);
void sm_start_liste7(int hwnd, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                     int32_t a6, int32_t a7);
void sm_start_liste8(int hwnd, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                     int32_t a6, int32_t a7, int32_t a8);

// Starts a detached worker for the latest run, beginning at ix_act. When no
// thread can be made, the run fails with error 24 and its end step reports it.
// A run started while a worker is inside a step supersedes that run: the I/O
// stop (platform/io_stop.h) ends the old worker's waits for the link at once,
// and the new worker runs its first step only after the old one has left.
void sm_do_cmd(int hwnd);

// The worker of run `run` (numbered by the start functions). Returns 0.
int SMThreadProc(uint32_t run);

// Runs steps back to back from ix_act. 1 = the run has ended; 0 = parked until
// timer 173 fires; 2 = the calling worker's run was superseded by a newer one
// (an immediate stop), and it must leave without touching the state again.
// A row without a step fails like sm_step_missing; an action outside the table
// ends the run.
char sm_do_cmd1(int hwnd);

// ---------------------------------------------------------------- state helpers

// Clears delay, override, current action, the list and both stop flags (and
// re-enables the Cancel buttons). ix_timer is kept. Does nothing when called
// from a worker whose run was superseded.
void sm_reset(void);
// Empties slots 0-7 of do_func_list; slot 8 = ix_sm_last.
void sm_reset_list(void);
// Takes the first non-empty slot of the list (empty slots are skipped) and
// returns its action; 0 when none is left.
int32_t sm_list_get_next(void);

void sm_set_stop_request(void);
void sm_reset_stop_request(void);
uint8_t sm_get_stop_request(void);
void sm_set_stop_enabled(void);
// Enables the Cancel buttons of the status dialogs again, then clears the flag.
void sm_reset_stop_enabled(void);
uint8_t sm_get_stop_enabled(void);

// Step of ix_sm_stop: ends the operation through end_com with a rebuild of the
// main window (endcom_cwcall = 2). Verdict 0.
char sm_stopme(void);

// Stand-in for a row without a step function (the action table has none; its
// test checks that every row has its step): records error 24 ("unknown error
// while operating with interface") and fails.
char sm_step_missing(void);

// Runs the step of action a of the installed table (the end steps, from the
// end timer and sm_stopme). 0 when there is no such row or step.
char sm_run_step(int32_t a);

// ---------------------------------------------------------------- timer handlers
//
// The main window's procedure calls these on the main thread.

// Timer 173: the delay is over; hands the parked action to the worker and wakes it.
void sm_on_timer_173(void);
// Timer 165: runs the end step once more (the step of ix_end_com when sys_act
// has bit value 8, else of ix_end_com1). A list entry that the end step hands over here, where no
// worker is left to take it, starts as a new run. Does nothing while a worker
// of a newer run is under way: that run owns the link and the list, and its
// own end step ends the operation.
void sm_on_timer_165(void);

// ---------------------------------------------------------------- the table

// The program's table (n rows, row a - 1 = action a), given once at start-up:
// every run steps through it, and the end timer and sm_stopme take the end
// steps from it. Until then a run ends at once.
void sm_install(const tm_func_table_t *tab, size_t n);

// ---------------------------------------------------------------- test hooks

// Steps over `tab` instead of the installed table; nullptr restores it. Only
// while no worker runs. The end steps still come from the installed table.
void sm_set_table(const tm_func_table_t *tab, size_t n);
// Number of workers that have been started and not yet left.
int sm_workers_running(void);

// Stops every run, for the end of the program or of velquor-cli: each worker
// leaves after the step it is in (its waits for I/O end at once), no further
// step runs, and the delay and end timers are dropped. Returns at once; the
// caller waits until sm_workers_running() is 0, pumping the loop (a worker may
// wait for the main thread), and then clears the I/O stop.
void sm_stop_all(void);
