// Device link: command frames, their acknowledgement, and the result globals
// that every operation step shares.
#pragma once

#include <cstdint>

// Communication error id of the last operation step (0 = none).
extern uint8_t sys_rv;
// File error id of the last operation step (0 = none).
extern uint8_t sys_f_rv;
// Command and value word of the step in hand; after an acknowledged answer
// sys_val holds the answer value.
extern uint32_t sys_cmd;
extern uint32_t sys_val;
// A message shown after a successfully acknowledged command; empty = none.
extern char sys_msg[101];
