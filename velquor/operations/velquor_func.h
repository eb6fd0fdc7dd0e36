// Monitor operations: the steps and entry points that the action table and the
// command dispatcher call. Each step takes no arguments and returns its verdict
// (1 go on, 2 alternative, 0 failure with an error recorded in sys_rv/sys_f_rv).
#pragma once

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

// Hooks of the end step into modules that show things; unset hooks do nothing.
// show_comm_error receives a communication error id, show_file_error_hook a
// file error id; hide_status hides the status dialogs.
extern void (*end_show_comm_error)(uint8_t id);
extern void (*end_show_file_error)(uint8_t id);
extern void (*end_hide_status)(void);
extern void (*end_close_extra)(void);

// ---------------------------------------------------------------- small steps

// A step that only carries its row's delay. Verdict 1.
// (The C library owns the plain name pause.)
char zelb_pause(void);
