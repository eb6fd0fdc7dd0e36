// The interface scan: walks a range of COM ports, pings each one and shows the
// monitors it finds, with their identification, in the Scan view's tree. Like
// the operations, its steps sit below the action table, though the module
// lives with the operator interface.
//
// The chain: ix_sc_intf_init (scintf_init) clears the last result and sets up
// the progress display, then ix_sc_intf_st (scintf_scan) takes one port per
// step, 10 ms apart. A step opens the port, asks with a broadcast ping how
// many monitors answer on it, reads the identification of each and closes the
// port again. Verdict 2 ends the chain through end_com: the range is done, the
// operator pressed Cancel, or 99 ports are recorded. A port that cannot be
// opened gets no record; one this user may not open for lack of permission is
// counted and named (scan_denied_*), noted in the traffic log, and the window
// is asked once at the scan's end to tell the operator why.
//
// The records stay until the next scan. The window's tree is filled from them
// by scintf_scan_end whenever the Scan view's tree is made or refreshed: one
// line per port, one per monitor, one with the monitor's firmware.
#pragma once

#include <cstddef>
#include <cstdint>

#include "velquor/operations/vf_info.h"  // zelb_dat_T

// ---------------------------------------------------------------- settings

// The COM range (configuration keys ik_sc_intf_s, ik_sc_intf_e), the time-out
// in seconds (ik_sc_to) and the "No Parity" option of the scan (ik_sc_parno).
extern uint8_t sc_intf_s;
extern uint8_t sc_intf_e;
extern uint8_t sc_to;
extern uint8_t sc_parno;

// COM 1 to 99, time-out 1 s, with parity.
void reset_scan(void);

// ---------------------------------------------------------------- results

// Control id of the Scan view's tree (element ix_sc_tv).
constexpr int scan_tree_id = 230;
// Ports a scan records at most.
constexpr int32_t scan_max = 99;

// What a port answered.
enum scan_mode_t : char {
    scan_m_none = 0,   // not scanned
    scan_m_error = 1,  // no valid answer to the ping
    scan_m_loop = 2,   // the line echoed the ping (a loop-back plug)
    scan_m_found = 3,  // monitors answered
};

// One opened port.
struct scan_T {
    uint8_t ix;                 // COM number; 255 = unused
    int com_item;               // tree line of the port's last monitor; 0 = none
    char mode;                  // a scan_mode_t
    uint8_t mon_count;          // monitors the ping reported
    char ip[25];                // the converter's address on an IP link, else "0.0.0.0"
    zelb_dat_T zelb_data[255];  // identification of monitors 1..255
};

extern scan_T scans[scan_max];
extern int32_t scan_count;      // records in use, 0..99
extern uint8_t scan_cancelled;  // the last scan ended through Cancel

// Ports of the last scan that this user may not open (EACCES, EPERM): how
// many, the first one ("COM3 (/dev/ttyUSB2)") and why, in the words of
// ser_explain_open ("permission denied (join group dialout)").
extern int32_t scan_denied_count;
extern char scan_denied_where[160];
extern char scan_denied_why[128];
// The operator's message about those ports; "" when there were none.
void scan_denied_text(char *out, size_t n);

// Every record unused, no port counted, nothing denied, not cancelled.
void reset_scanvals(void);

// ---------------------------------------------------------------- steps

// First step: orders the range (Begin and End exchanged when End < Begin),
// clears the result and the tree, shows the progress "Interface: 0 of N".
// Verdict 1.
char scintf_init(void);
// One port: 1 go on (also after a port that could not be opened); 2 the range
// is done, Cancel was pressed, or 99 ports are recorded (after an error box).
char scintf_scan(void);
// The identification of monitors 1..mon_count of the port open now into the
// record: the newer query set, the older numbered one for monitors that refuse
// it (error 14). A monitor that answers neither is skipped; a query that fails
// sets its err flag and ends its reading. 1.
char sc_get_zelb_det(scan_T *r);
// Fill function of the tree: puts the result into the Scan view's tree (what
// was there before is replaced). 1, or 2 when no port was opened.
char scintf_scan_end(void);

// The tree's lines, for the window and for programs without one. Line texts
// are at most scan_line_size - 1 characters.
constexpr size_t scan_line_size = 160;
// Level 1 when no port was opened: "Interface(s): 0 " or "... 0  {aborted}".
void scan_none_line(char *out, size_t n);
// Level 1: "COM3:  2 Monitor(s)", "COM2: Loop", "IP=10.0.0.9: Error".
void scan_port_line(const scan_T *r, char *out, size_t n);
// Level 2 and 3 of monitor j (1-based): "1: ZELB3 -> Display: 0x101" and
// "Firmware 5.068 STD  from 12.03. 2024".
void scan_mon_line(const scan_T *r, int j, char *out, size_t n);
void scan_firm_line(const scan_T *r, int j, char *out, size_t n);

// ---------------------------------------------------------------- display formats

// "%d,%02d %s" of a value in hundredths and its unit (empty when missing): 1
// when s is missing, else 0.
char mc_get_100(uint32_t v, const char *unit, char *s, size_t n);
// The identification values as the window shows them: the board type name,
// the firmware variant label, the date ("00.00.0000" when it cannot be
// formed).
void scr_get_zelb_tp(uint32_t v, char *s, size_t n);
void scr_get_zelb_firm_tp(uint32_t v, char *s, size_t n);
void scr_get_zelb_dat(uint32_t v, char *s, size_t n);
