// Monitor addressing and the nine IP lists.
//
// An operation talks to an address: a link and a monitor number on it. The
// addressing parameters are edited in the main window; the IP lists hold up to
// 30 converter addresses each and end at their first empty entry ("0.0.0.0").
// An entry given as a host name keeps the name (it is written back to the
// configuration as given) and the first IPv4 address it resolved to.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int ipl_n_lists = 9;
constexpr int ipl_n_entries = 30;
constexpr uint32_t ipl_ip_size = 25;   // 24 characters and the NUL
constexpr uint32_t ipl_dns_max = 200;  // longest host name kept
extern const char ipl_std_ip[];        // "0.0.0.0", the empty entry

struct ip_list_ent {
    char ip[ipl_ip_size];  // dotted IPv4 address; "0.0.0.0" = empty
    char *dns;             // owned host name, or nullptr
};
extern ip_list_ent ip_list[ipl_n_lists][ipl_n_entries];

// Addressing parameters (edited in the main window, kept in the configuration).
extern uint8_t sys_zelb_nr;  // monitor number; 0 = all of the ring or not yet known
extern uint8_t sys_intf;     // RS232 port number
extern char sys_ip[25];      // address for "Monitor over IP"
extern int8_t sys_ipx;       // selected IP list, 0 to 8
extern uint8_t sys_to;       // answer time-out in units
extern uint8_t parno;        // "No Parity": serial parity none instead of even
extern uint8_t broad;        // "Group": work on every address of the selected list

void set_parno(void);

void reset_ip_list_start(void);
void reset_ip_list(void);
const char *list_get_ip(int32_t ipx);
const char *list_get_ip_sub(int32_t ipx, int32_t sub);
int32_t list_get_max_sub(int32_t ipx);
// Writes "ik_sys_broad" and the 270 list keys to the configuration file f,
// each line ended by CR LF as every line of that file. 0 written; 1 no file;
// 2 a write failed (its file error id in sys_f_rv), nothing written after it.
char save_ip_list(FILE *f);
// 1 when `ind` is an IP-list key (its value taken), 0 otherwise.
char load_ip_list(const char *ind, const char *val);
