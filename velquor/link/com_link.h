// Device link: link selection, byte transport, serial settings and the
// Ethernet side (TCP to a serial-to-IP converter, ICMP echo).
//
// One link is open at a time, held in `syscom`: a serial port (RS232) or a TCP
// socket (IP, IP list); -1 while closed. Everything above this layer sees three
// operations: write n bytes (mc_write_syscom), read up to n bytes
// (mc_read_syscom), and discard what is waiting in the input (mc_discard_syscom).
// On an IP link every write travels as one converter packet (code/value byte
// pairs: the line parameters, then each data byte behind a 0 code); the
// converter's answer comes back plain. Traffic is logged as "W:" and "R:" lines
// of hexadecimal bytes to the log file and, in the Debug view, to the debug
// text; discarded bytes are logged as a read, since they came in.
//
// All results are communication error ids (0 = success; see mc_get_err_msg).
//
// Sections: settings and link state; Ethernet; open data; opening, closing and
// moving bytes; mode switching; serial settings. The converter packets of an
// IP link are in com_aknord.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "velquor/ui/err_texts.h"    // mc_err_id: the results of this layer
#include "velquor/ui/velquor_ids.h"  // link modes and views

// ---------------------------------------------------------------- settings and link state

// The TCP port of the converters.
constexpr uint32_t eth_conv_port = 11111;

// Size of the converter packet buffer and the data bytes that fit into it.
constexpr uint32_t eth_buffer_size = 1024;
constexpr uint32_t aknord_max_data = (eth_buffer_size - 10) / 2;  // 507
// Size of an interface name (34 characters and the NUL).
constexpr uint32_t intf_name_size = 35;

// Open data for a serial port: the handle variable and the port name.
struct odat_ser {
    int *cp;
    char intf[intf_name_size];
};
// Open data for a TCP link: the socket variable, the address text and the port.
struct odat_ip {
    int *sock;
    char ip[intf_name_size];
    uint32_t port;
};

// Line parameters of the link being opened.
struct ip_com_configT {
    int32_t baudrate;        // baud rate for the converter
    char flow;               // flow-control letter for the converter ('N')
    char par;                // parity letter: 'N' none, 'E' even
    char databits;           // data bits for the converter (8)
    char stoppbits;          // stop bits for the converter (2 monitor, 1 boot loader)
    char rts, dtr;           // not used
    uint32_t timeout_multi;  // ms per time-out unit (1000; 100 for the quick variants)
    uint8_t timeout;         // time-out in units (the monitor's "TO" setting)
};

extern int32_t com_mode;                     // the chosen link (a vq_link_mode, start 238)
extern int syscom;                           // the open link; -1 = closed
extern odat_ser com_dat;                     // open data for RS232; cp refers to syscom
extern odat_ip ip_dat;                       // open data for TCP; sock refers to syscom
extern ip_com_configT ipcom_conf;            // parameters of the link being opened
extern uint8_t eth_buffer[eth_buffer_size];  // the converter packet being sent
extern FILE *fpc;                            // the traffic log while a link is open, else nullptr
extern uint8_t is_inet;                      // the socket layer is usable

// Settings of the link (configuration keys ik_log, ik_sysmode, ik_sys_baud,
// ik_eth_init_err).
extern uint8_t logcom;             // traffic logging to a file is on
extern char fpath_log[1024];       // path of the traffic log file
extern int32_t sysmode;            // the current view of the main window (a vq_view)
extern int32_t sys_baud;           // baud rate chosen for firmware updates
extern uint8_t show_eth_init_err;  // show a message when the socket layer is not usable

// ---------------------------------------------------------------- Ethernet

// Nothing has to be started on Linux: true when a TCP socket can be created.
bool eth_start(void);
// Nothing to end on Linux; kept so that every start has its end.
void eth_end(void);
// Start-up probe: is_inet = eth_start (), then eth_end (). Returns is_inet.
uint8_t eth_probe(void);
// The message shown when the probe fails and show_eth_init_err is set.
extern const char eth_init_err_text[];

char eth_sock_tcp(int *s);
char eth_sock_block(int s, uint8_t block);
// Receive and send time-out of the socket in ms. A value of 0 would mean "wait
// forever" to the socket; it is raised to 1 ms so that a read always ends.
char eth_set_timeout(int s, uint32_t ms);
// Connects to `ip` on port 11111 (the `port` argument is not used), waiting at
// most `bound_ms` (0 = the ICMP wait of 1000 ms). 8 when the bound ran out or the
// attempt was cancelled (eth_cancel_blocking_call), 23 for a bad address, 3 else.
char eth_connect(int s, const char *ip, uint32_t port, uint32_t bound_ms);
// Opens a blocking TCP link; the connect is bounded by to × multi ms.
char eth_opensoc_tcp(int *s, const char *ip, uint32_t port, uint8_t to, uint32_t multi);
// Closes *s when it is not -1, sets it to -1, ends the socket layer.
void eth_closesoc(int *s);
char eth_send(int s, const uint8_t *buf, uint32_t n);
// One receive; *got = bytes received, -1 after a failed or timed-out call
// (result 11), untouched when the peer closed (result 8).
char eth_recv(int s, uint8_t *buf, uint32_t n, int32_t *got);
// One ICMP echo to a dotted address: 0 reply, 2 bad text, 10 no ICMP socket,
// 3 no reply within 1000 ms. Where this user may not send echoes at all, the
// echo is left out (0): it only spares a long connect, and the connect is
// bounded. eth_echo_denied then tells why, and the traffic log notes it once.
char eth_ping_ip(const char *ip);
// Set once an echo was left out: "ICMP echo not permitted (reason): ...".
extern char eth_echo_denied[160];
// Ends a connect waiting on the worker (the window's timer 259 calls this).
void eth_cancel_blocking_call(void);
// Resolves a host name to its first IPv4 address, dotted, into out (n bytes).
// 0 on success, 23 when the name does not resolve.
char eth_resolve_ipv4(const char *name, char *out, uint32_t n);

// ---------------------------------------------------------------- open data

void reset_ip_com_conf(void);
void set_ipcom_conf(uint8_t to, uint8_t par);
char set_opendat_ser(odat_ser *ser, int *cp, const char *intf);
char set_opendat_ip(odat_ip *ipdat, int *sock, const char *ip, uint32_t port);
// The open data of link `mode` (a vq_link_mode) for interface `intf` (the
// names of the sessions' get_intf_name), with the time-out and parity option.
void init_op_dat(int32_t mode, const char *intf, int *port, uint8_t to, uint8_t parno);

// ---------------------------------------------------------------- opening, closing, bytes

// At program start: creates the log file empty when logging is on. 0, or
// mfe_open when it cannot be written (errno tells why).
char mc_log_create(void);
// A note in the traffic log: a line "/* text */" in the log file while one is
// open, and the text in the Debug view.
void mc_log_note(const char *text);
// Where and why the last opening failed, in words for the operator: the
// device path or "address:port", and the system's reason ("permission denied
// (join group dialout)", "connection refused", ...). Both empty after an
// opening that succeeded. The end step shows the error id's text; the traffic
// log and velquor-cli add these.
extern char mc_fail_where[96];
extern char mc_fail_why[128];
// Keeps where and why an opening failed, and notes it in the traffic log.
void mc_open_failed(const char *where, const char *why);
// The kind of an opening: a serial port (op_dat an odat_ser) or a TCP
// connection to a converter (an odat_ip), made after an ICMP echo.
enum mc_open_kind : int { mc_open_ser = 0, mc_open_tcp = 1 };
char mc_open_mycom(const void *op_dat, int mode);
void mc_close_syscom(void);
char mc_write_xcom(int *port, const uint8_t *buff, uint32_t nbuff);
char mc_write_syscom(const uint8_t *buff, uint32_t nbuff);
char mc_read_xcom(int *port, uint8_t *buff, uint32_t nbuff, uint32_t *nread);
char mc_read_syscom(uint8_t *buff, uint32_t nbuff, uint32_t *nread);
// Discards what is waiting in the input of the open link without waiting for
// more: an answer that came after its command's time-out, which the next
// command would otherwise read as its own. The bytes dropped are logged as
// read lines of at most 256 bytes. At most discard_max_bytes go per call; a
// line that keeps sending is left to the judging of the next answer. 0 (also when nothing was
// waiting); 6 with no link open; 11 when the port or socket failed, the peer has closed, or the
// link mode has no port.
constexpr uint32_t discard_max_bytes = 4096;
char mc_discard_syscom(void);

// ---------------------------------------------------------------- mode switching

char mw_set_mode3(int32_t modenew, int32_t *modevar);
char set_com_mode(int32_t mode);
char set_mode(int32_t mode);

// ---------------------------------------------------------------- serial settings

// 9600 baud, 8 data bits, 1 stop bit, parity none (parno) or even, no flow control.
char set_comm_state_zelb(int hcom, uint8_t parno);
// 57600 baud 8N1, no flow control.
char set_comm_state_boot(int hcom);
char mc_set_intf_zelb(int mode, const ip_com_configT *conf);
char mc_set_intf_boot(int mode, const ip_com_configT *conf);
char mc_opencom_zelb(void);
char mc_opencom_zelb_info(void);
char mc_opencom_boot(void);
