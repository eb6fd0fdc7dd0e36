// The end of an operation: the end steps that every chain of the action table
// reaches, the busy state of the window, and the small steps every chain
// shares. Each step takes no arguments and returns its verdict (1 go on, 2
// alternative, 0 failure with an error recorded in sys_rv or sys_f_rv).
#pragma once

#include <cstdint>

// Ends an operation: clears the recorded errors (and the status dialog's
// error display), drops the rest of the list on an error or hands the next
// list entry to the sequencer, hides the status dialog, stops a DDC write
// series, shows the communication error and then the file error, closes the
// operation's file and the link (the I2C link in the DDC view), and gives the
// window its title back.
void end_it(void);
// Shows the file error id of sys_f_rv in an error box (nothing for 0), then
// sys_f_rv = 0.
void show_file_error(void);
// End steps (verdict 1). end_com also applies the content mode endcom_cwcall
// to the main window.
char end_com(void);
char end_com1(void);
// sys_act = v; unless bit value 8 is set, repaints the elements' enable states.
void enab_sys_action(uint8_t v);

// The error ids the last operation ended with (0 = none), kept by end_it for
// programs that report results without boxes (velquor-cli).
extern uint8_t end_last_rv;
extern uint8_t end_last_f_rv;
// Forgets them, before an operation is started.
void end_last_reset(void);

// The file an operation writes for the operator (an upload's dump, a read of
// the EEPROM): a new file beside the target, whose stream is fpupl, takes the
// target's name only when the operation's last step commits it. The end step
// throws away one that is still open, so a failed or stopped operation leaves
// the old file as it was.
// Opens it: 0, or the file error (mfe_nopath, mfe_open), kept in sys_f_rv too.
char out_file_open(const char *path);
// Commits it: 1; 0 after the box "can not create file" when that failed.
char out_file_commit(void);
// Throws it away; nothing when none is open.
void out_file_abandon(void);

// A step that only carries its row's delay. Verdict 1.
// (The C library owns the plain name pause.)
char zelb_pause(void);
// The verdict of a step whose work gave the error id rv: 1 for 0; otherwise
// sys_rv = rv and 0.
char step_verdict(char rv);
