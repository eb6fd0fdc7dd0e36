// Sessions and the two group walks of an operation: the addresses of an IP list
// (outer walk) and the monitor numbers of a ring on one link (inner walk).
//
// A session is one link to one address, opened by an operation's first step and
// closed between addresses by ipl_control or at the end of the operation. The
// steps of the walks (init_ipl, ipl_control, init_ring, ring_control,
// ring_close) stand in many chains of the action table.
#pragma once

#include <cstdint>

// Ring state: a ring over all monitor numbers is running, the erase message
// flag, the never-set "keep open" flag, the highest number, the numbers done,
// the number of the current ring step, and a step hook called at each step.
extern uint8_t ring_func;
extern uint8_t ring_msg;
extern uint8_t ring_no_close;
extern int32_t ring_max;
extern int32_t ring_ix;
extern uint8_t del_zelb_nr;
extern char (*ac_reset_func)(void);

// IP-list walk state: the group is walked, walking is off for this operation,
// number of addresses, addresses started.
extern uint8_t ipl_func;
extern uint8_t ipl_disab;
extern int32_t ipl_max;
extern int32_t ipl_ix;

// True in IP-list mode with Group set and walking not switched off.
bool ipl_group_mode(void);

// Name of the interface into s (intf_name_size bytes) for the current link:
// "Com%d" of port nr on RS232, the address ip on IP, and on an IP list the
// address of entry 0 (get_intf_name) or of entry `sub` (get_intf_name_sub) of
// list ipx. Nothing when s is missing.
void get_intf_name(uint8_t nr, const char *ip, int8_t ipx, char *s);
void get_intf_name_sub(uint8_t nr, const char *ip, int8_t ipx, char *s, int32_t sub);

// Sessions: the interface name, the open data, the opening. Error ids.
char open_my_zelb_noipl(void);
char open_my_zelb_ipl(void);
char open_my_zelb_ipl_100(void);
// The opening an operation uses: open_my_zelb_ipl in group mode, else noipl.
char open_my_zelb(void);
// The session for entry `sub` of the selected IP list in IP-list mode (other
// modes have their one address); -1 opens as open_my_zelb_noipl.
char open_my_zelb_sub(int32_t sub);

// Prepares the IP-list walk: 0 ready; 1 group mode with a monitor number other
// than 0 (the caller shows tx_mon_0); 26 the selected list is empty.
char ipl_setup(void);
// Step: ipl_setup; tx_mon_0 is shown at once for a monitor number other than
// 0 in group mode (verdict 0 without an error id), an empty list fails with 26.
char init_ipl(void);
// Step: 2 when all addresses are done; otherwise the next address (closing the
// previous address's link from the second on), 1.
char ipl_control(void);
// Prepares the ring: a ring of sys_zelb_nr alone, or (for number 0) of the
// monitors a ping on the open link counts. 0, or the ping's error id.
char init_ring(void);
// Step: 2 when every monitor of the ring is done; otherwise the next monitor
// into del_zelb_nr, the ring's step hook, a redraw of the status, 1 (0 when
// the hook recorded an error).
char ring_control(void);
// Step: 1 in group mode, 2 when ring_no_close is set, else 0.
char ring_close(void);
// A ring of one monitor number (ring_func 0) for sys_zelb_nr != 0, or over
// 1..highest with ring_func 1.
void ring_setup(int32_t highest);
// Clears the ring and IP-list state together (end of every operation).
void ring_ipl_clear(void);
