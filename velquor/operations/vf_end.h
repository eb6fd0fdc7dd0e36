// The end of an operation: the end steps that every chain of the action table
// reaches, the busy state of the window, and the small steps every chain
// shares. Each step takes no arguments and returns its verdict (1 go on, 2
// alternative, 0 failure with an error recorded in sys_rv or sys_f_rv).
#pragma once

#include <cstdint>

// Shows the error a step recorded, drops the rest of the list on an error or
// hands the next list entry to the sequencer, and closes the link.
void end_it(void);
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

// Hooks of the end step for modules that come later: showing a file error
// (receives its id) and closing an open upload file or the I2C bus. Unset
// hooks do nothing.
extern void (*end_show_file_error)(uint8_t id);
extern void (*end_close_extra)(void);

// A step that only carries its row's delay. Verdict 1.
// (The C library owns the plain name pause.)
char zelb_pause(void);
// The verdict of a step whose work gave the error id rv: 1 for 0; otherwise
// sys_rv = rv and 0.
char step_verdict(char rv);
