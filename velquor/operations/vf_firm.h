// Firmware: loading an Intel-HEX file (or the built-in 5.068 image) into the
// line table, and the update that sends it to the monitors of a line at a
// raised rate while their firmware runs.
//
// The loader turns each text record into its binary form (byte count, address,
// type, data, checksum) and checks it; for an update neighbouring data records
// may be merged into records of up to 96 data bytes, so that fewer round trips
// go over the wire. The line table is one block of firm_max_lines records,
// allocated zero-filled on first use and kept for the life of the process.
//
// The update runs as the chain init_ipl, ipl_control, firm_init (file, link,
// counting, type and version checks, load), firm_start_upd (command 0x7000
// with the rate code, read by zelb_wait_ack), firm_set_baud (the PC side to
// the new rate, then a 2 s pause), firm_wait_select (10 s more with "High
// Monitor-Timeout"), then firm_send_line / firm_wack_line for every line: one
// monitor answers each line with 0xFF, a chain echoes it; a refused line is
// sent again up to 500 times. After the last line: the next address of an IP
// list, or a 5 s wait and the end. The rate chosen for the update, sys_baud,
// belongs to the link (com_link.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "velquor/util/files.h"  // cfg_path_size

// ---------------------------------------------------------------- settings

// The firmware file of the update and the bootstrap (configuration key ik_firmpath).
extern char firmpath[cfg_path_size];
// Special handling of firmware 5.068 (ik_firmspec): 1 offers the built-in
// image when a monitor's firmware is older than 5.068.
extern uint8_t firm_68;
constexpr uint8_t firm_68_service = 1;
// "High Monitor-Timeout": wait 10 s more before the first line (ik_firm_hito).
extern uint8_t firm_hito;

// ---------------------------------------------------------------- the line table

// One binary record: byte count, address high, address low, type, data,
// checksum; len = bytes in use (byte count + 5).
struct firm_buff_T {
    uint8_t line[127];
    uint32_t len;
};
constexpr int32_t firm_max_lines = 200000;
// Text lines are read with a buffer of this size (254 characters and the NUL).
constexpr uint32_t firm_text_size = 255;

// The line table (nullptr until firm_buff_get first runs).
extern firm_buff_T *firm_buff;
// The table, allocated zero-filled on first use; nullptr when no memory.
firm_buff_T *firm_buff_get(void);
// Lines stored by the last load (n_fsent, fs_ops.h, holds the index of the
// last one, 0 both for one line and for none).
extern int32_t firm_lines;
// The text line (1-based, blank lines counted) that the last load refused; 0
// when it refused none.
extern int32_t firm_err_line;

// Value of a hexadecimal digit (either letter case); 0xFF for any other character.
uint8_t hex_get_val(char c);
// 1 when the 8-bit sum of the n bytes is not 0, else 0.
char line_check(const uint8_t *b, uint32_t n);
// Decodes one cleaned text record into tab[*ix] and advances *ix. 0 stored; 1
// line or table missing; 2 table full; 4 no ":" first (the line shown in an
// error box); 5 no data; 6 checksum wrong; 7 a character that is no
// hexadecimal digit; 8 the byte count does not match the record's length.
// Every refusal but 1 and 2 sets sys_f_rv = 13.
char line_to_buffer(const char *line, firm_buff_T *tab, int32_t *ix);
// Loads the file f (or, with builtin, the built-in image) into the line
// table; with compress, merges its data records. 0; 2 reading failed; 3 a line
// was refused (sys_f_rv 13, or 14 beyond firm_max_lines lines); 4 or 5
// positioning the file failed; 6 no memory for the table.
char firm_to_buffer(FILE *f, uint8_t compress, uint8_t builtin);
// Merges neighbouring data records of the table in place (at most 96 data
// bytes a record) and sets n_fsent to the index of the last record.
void firm_compress(void);
// The bytes the loaded lines put on the wire (their len summed); 0 when none.
uint64_t firm_table_bytes(void);

// ---------------------------------------------------------------- file name and checks

// From the file name: 5 when it holds "v5" (any case), else 0; it holds "osd";
// the decimal number at the start of the name (0 when none).
extern uint8_t file_interfaceno;
extern uint8_t is_osd;
extern int32_t firm_vers;
// Per run: every monitor answered 0xB000 (merged lines may be sent); send the
// built-in image instead of the file.
extern uint8_t hex_compress;
extern uint8_t use_firm_68;
// Sets the three from path ("/" and "\" both separate folders).
void firm_name_analysis(const char *path);

// ---------------------------------------------------------------- the update

// The working rate of the run and the rate code of command 0x7000 for a rate
// (0 for a rate not in the table).
extern int32_t sys_baud2;
uint16_t firm_rate_code(int32_t baud);
// Refusals counted for the limit of 500, lines acknowledged since the last
// progress redraw.
extern int32_t no_ack_cnt;
extern int32_t fs_grp_cnt;
constexpr int32_t firm_max_refusals = 500;

// Starts the update for command id 185 (any other id: nothing). Returns 0.
char update_firm(int hwnd, int id);
// Lowers sys_baud2 to what the link carries: 115 200 on IP links; on RS232
// the port is tried down the ladder 576 000, 384 000, 288 000, 115 200, then
// set back to 9600.
void firm_check_baud(void);

// Steps.
// Titles and the immediate stop. 1.
char firm_start_init(void);
// File, link, counting, type and version checks, load. 1; 2 the type
// question answered No; 0 a failure.
char firm_init(void);
// Command 0x7000 with the rate code to the target (1, or 0 for a chain),
// without reading the answer. 1, or 0.
char firm_start_upd(void);
// The PC side to sys_baud2 (the port's rate, or the converter's). 1, or 0.
char firm_set_baud(void);
// 1 with "High Monitor-Timeout" (the row waits 10 s more), else 2.
char firm_wait_select(void);
// Sends line fs_cnt: 1; 2 when every line is sent; 0 a write error.
char firm_send_line(void);
// Reads the answer to the line: 1 accepted; 2 refused, send it again; 0 a
// time-out, a read error or the 501st refusal.
char firm_wack_line(void);

// What the last update did, address by address of an IP list (one entry
// outside a list), for velquor-cli: the outcome, the error ids and the time.
enum firm_outcome : uint8_t {
    firm_not_reached = 0,
    firm_running = 1,
    firm_updated = 2,
    firm_skipped = 3,  // the type question was answered No
    firm_refused = 4,  // the version question was answered No, or an image refused
};
struct firm_addr_report_T {
    uint8_t outcome;
    uint8_t monitors;  // monitors counted at the address
    int32_t lines;     // lines sent, of the table's firm_lines
    int64_t ms;        // from firm_init to the last line
};
constexpr int firm_report_max = 30;
struct firm_report_T {
    firm_addr_report_T addr[firm_report_max];
    int32_t n;    // addresses started
    int32_t cur;  // index of the address in hand, -1 before the first
};
extern firm_report_T firm_report;
