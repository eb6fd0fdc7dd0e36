// DDC/EDID: reading the 128-byte EDID of a display's DDC EEPROM into a file,
// writing a file into the EEPROMs of a series of boards, and converting a file
// between its two forms, over the I2C adapter on the parallel port
// (velquor/link/com_i2c.h).
//
// File forms: a ".bin" file is the 128 bytes as they stand; any other name is
// an EDID text file: a header of six lines, then 13 rows "%3d  |" with
// "  %02X" per byte, ten bytes a row. Line ends are written CR CR LF; LF,
// CR LF and CR CR LF are all read.
#pragma once

#include <cstdint>
#include <cstdio>

#include "velquor/util/files.h"  // cfg_path_size

// The EDID file of the DDC view (ik_ddcpath) and its write protection (ik_ddc_prot).
extern char ddcpath[cfg_path_size];
extern uint8_t ddc_prot;
// The parallel port number 1..4 (the view's "LPT:" field).
extern uint8_t ddc_intf;
// I2C bus number and time-out; passed along, they change nothing in the transfers.
extern uint8_t ddc_bus;
extern uint8_t ddc_to;
// 0 while a write series may run; the end of every operation sets 0xFF, which
// ends a running series at its next step.
extern uint8_t ddc_stop;
constexpr uint8_t ddc_stop_all = 0xFF;

constexpr int32_t ddc_size = 128;      // bytes of the image
constexpr uint8_t ddc_dev_adr = 0xA0;  // the EEPROM's device address (0xA1 reads)
// The image (bytes 0..127 used) and the form of the file in hand: 0 binary, 1 text.
extern uint8_t ddc_buffer[256];
extern uint8_t mode2;
// Probe attempts of a read, the write test's value, the last byte written.
extern uint8_t tuc1;
// Line end of the text form.
constexpr const char *ddc_eol = "\r\r\n";

// What the write series did, for its caller: boards written, boards whose
// write failed (write-protected or a byte that did not verify), and the
// number of boards after which it stops by itself (0 = until stopped).
struct ddc_report_T {
    int32_t written, failed, limit;
};
extern ddc_report_T ddc_report;

// When set, the write series corrects the image's last byte so that its 128
// bytes sum to 0 (the EDID checksum); ddc_fixed_from keeps the byte it had,
// -1 when it was right.
extern uint8_t ddc_fix_checksum;
extern int16_t ddc_fixed_from;

// ---------------------------------------------------------------- files

// The text-file reader's part for one line: the tokens after its first "|".
// 0 taken, 1 a bad token (box with its two characters at most; sys_f_rv 13),
// 2 no text.
char ddc_hex_datline(const char *text);
// Reads the text form from fpupl into ddc_buffer: 0, or 13 (sys_f_rv too).
char ddc_hex_to_buffer(void);
// Loads fpupl (opened on ddcpath) in its form: 1 done, 0 error in sys_f_rv.
char input_ddc_file(void);
// The text form's header; one body row of bytes s..e (swapped when e < s)
// followed by its line end. 0; 1 with the write error in sys_f_rv; 2 when s
// or e lies outside 0..127.
char create_ddc_head_hex(FILE *f);
char create_ddc_line_hex(FILE *f, int32_t s, int32_t e);
// Converts ddcpath into the other form; ddcpath then names the new file.
// Errors in sys_f_rv (or a box shown).
void convert_ddc(void);
// The name convert_ddc writes for `src`: its extension (after the last "."
// of the file name) replaced by "dat" for a ".bin" source, else by "bin";
// a name without one gets ".bin" or ".dat" added. 0, or 1 when it does not fit.
char ddc_target_name(const char *src, char *out, uint32_t n);

// ---------------------------------------------------------------- operations

// DDC -> PC: starts the read of the EEPROM into ddcpath. 0 started, 1 refused
// (error in sys_rv or sys_f_rv, or a box shown).
char upl_ddc(int hwnd);
// PC -> DDC: starts the write series of ddcpath. Always 0.
char dnl_ddc(int hwnd);

// Steps (verdicts 1 go on, 2 alternative, 0 failure).
char ddc_start_send(void);
char read_ddc(void);
char ddc_upl_end(void);
char ddc_init_dnl(void);
char ddc_initstart(void);
char ddc_check_nack(void);
char ddc_write_test(void);
char ddc_write_test2(void);
char send_ddc_bin(void);
char send_ddc_ver(void);
char ddc_check_ack(void);
char ddc_dnl_err(void);
// Is an EEPROM there? 1 yes, 2 no (it does not acknowledge), 0 error or stop.
char ddc_check_ack2(void);
// Reads address adr, waiting out an EEPROM that is still in its write cycle
// (it does not acknowledge for a few ms after each write; at most 20 ms).
char ddc_read_settled(uint8_t adr, uint8_t *out);
