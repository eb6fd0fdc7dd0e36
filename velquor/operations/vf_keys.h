// Remote keys: pressing one of a monitor's five front keys from the program.
//
// A key press is the chain of its key action (init_key_*, which chooses the
// command), the IP-list walk and send_my_key, which opens a session, sends
// the command and reads the monitor's acknowledgement.
#pragma once

#include <cstdint>

// Key commands (value 0).
constexpr uint32_t zelb_key_up = 0x208B, zelb_key_left = 0x20B6, zelb_key_right = 0x20B7;
constexpr uint32_t zelb_key_down = 0x208D, zelb_key_ok = 0x208C;

// Command and value of the key being sent.
extern uint32_t act_p2, act_p3;

// Starts the key's action for command id cmd_key_up .. cmd_key_ok (any other:
// OK). The key goes to sys_zelb_nr, read when it is sent. Returns 0.
char send_key(int key, uint8_t zelb_nr);
// Steps: choose the key (verdict 1).
char init_key_ok(void);
char init_key_left(void);
char init_key_right(void);
char init_key_up(void);
char init_key_down(void);
// Step: opens a session, sends the chosen key to sys_zelb_nr and reads the
// acknowledgement, closes the session.
char send_my_key(void);
// Step: key OK to the ring's current monitor del_zelb_nr on the open link.
char send_key_ok(void);
// Step: key OK to sys_zelb_nr on the open link, without reading the answer
// (the next step reads it). Verdict 1 when the write succeeded.
char zelb_send_key(void);
