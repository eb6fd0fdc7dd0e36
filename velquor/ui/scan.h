// The interface scan: walks a range of COM ports, pings each one and shows the
// monitors it finds in the Scan view's tree. So far this module holds its
// settings; the scan's steps come with the scan itself. Like the operations,
// its steps sit below the action table, though the module lives with the
// operator interface.
#pragma once

#include <cstdint>

// The COM range (configuration keys ik_sc_intf_s, ik_sc_intf_e), the time-out
// in seconds (ik_sc_to) and the "No Parity" option of the scan (ik_sc_parno).
extern uint8_t sc_intf_s;
extern uint8_t sc_intf_e;
extern uint8_t sc_to;
extern uint8_t sc_parno;

// COM 1 to 99, time-out 1 s, with parity.
void reset_scan(void);
