// The configuration file: one key and one value per line.
//
// load_conf reads the file named by fcpath over the defaults, once at start-up;
// save_conf writes every key in a fixed order, once at shut-down. A key is
// compared without regard to letter case; an unknown key is ignored and a bad
// value gives the setting's default, so a damaged or foreign file never stops
// the program. Numbers are strict: a decimal value counts only when printing
// it back gives the same text, a hexadecimal one when it reads back as "%04X"
// or "%X" (an optional "0x" in front).
//
// Saving never touches the old file until the new one is complete: the keys go
// to a new file beside it, which replaces the old one by a rename only when
// every line, the flush to the disk and the close succeeded. So save_conf ends
// with the file closed; conf_close after it finds nothing open.
//
// The groups (interface, view, window, viewers, identification, files, scan,
// LPT ports, COM devices) each have a loader (key, value -> 1 when the key is
// theirs) and a saver; the IP lists are loaded and saved by vf_ipl.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "velquor/ui/velquor_cfg.h"

// The configuration file while load_conf has left it open; nullptr otherwise.
extern FILE *fconfig;

// A configuration is small: a file above this size is refused unread.
constexpr long long conf_max_bytes = 1 << 20;
// Set by load_conf when fcpath names something that is no configuration: a
// device or a folder, a file above conf_max_bytes, or a file with lines but
// not one known key. Such a file is never written by save_conf.
extern uint8_t conf_foreign;
// What load_conf refused, for the operator (empty: nothing): a file that is
// no configuration, or a key whose value could not be taken.
constexpr size_t conf_problem_size = 1024;
extern char conf_problem[conf_problem_size];

// ---------------------------------------------------------------- value readers

// Results of the value readers.
enum : char {
    cv_ok = 0,     // the value was taken
    cv_bad = 1,    // not a well-formed value: the setting got its default
    cv_range = 2,  // well-formed but out of bounds: default (32-bit) or unchanged (byte)
    cv_arg = 3,    // an argument missing: nothing changed
};

// Text: copied, cut to cap - 1 characters.
char load_str_val(const char *val, char *var, size_t cap);
// Decimal byte; out of [min, max] the byte keeps its value.
char load_uchar(const char *val, uint8_t *var, uint32_t min, uint32_t max, uint8_t def);
// Decimal 32-bit values (read as signed, compared unsigned): unsigned and
// signed settings. Out of [min, max] the setting gets def.
char load_uint(const char *val, uint32_t *var, uint32_t min, uint32_t max, uint32_t def);
char load_dword(const char *val, int32_t *var, uint32_t min, uint32_t max, uint32_t def);
// Hexadecimal 32-bit value; out of [min, max] the setting gets def.
char load_hexdword(const char *val, uint32_t *var, uint32_t min, uint32_t max, uint32_t def);
// The same with bounds and default of an interval kind (iv_*, screen.h).
char load_iv_uint(const char *val, uint32_t *var, int32_t kind);
char load_iv_uchar(const char *val, uint8_t *var, int32_t kind);
// For a 0-based byte: minimum, maximum and default of the kind lowered by one.
char load_iv_uchar_inc1(const char *val, int8_t *var, int32_t kind);
char load_iv_dword(const char *val, int32_t *var, int32_t kind);

// ---------------------------------------------------------------- groups

// Loaders: 1 when the key belongs to the group (its value then read), else 0.
// The single keys (ik_sys_baud, ik_sys_boot, ik_parno, ik_makpath,
// ik_app_name, ik_log, ik_firmspec, ik_test_images) are one group of their own.
char load_single(const char *key, const char *val);
char load_intf(const char *key, const char *val);
char load_view(const char *key, const char *val);
char load_win(const char *key, const char *val);
char load_open_prog(const char *key, const char *val);
char load_det_items(const char *key, const char *val);
char load_files(const char *key, const char *val);
char load_scan(const char *key, const char *val);
char load_port(const char *key, const char *val);
// ik_comdev_N (N = 1..99): the device path of COM N in the serial port table;
// an empty value gives COM N its default path back.
char load_comdev(const char *key, const char *val);

// Savers: 0 written, 2 a write failed (its file error id in sys_f_rv). The
// interface group ends with the IP lists. COM devices are written only for
// the entries that were set.
char save_intf(FILE *f);
char save_view(FILE *f);
char save_win(FILE *f);
char save_open_prog(FILE *f);
char save_det_items(FILE *f);
char save_files(FILE *f);
char save_scan(FILE *f);
char save_port(FILE *f);
char save_comdev(FILE *f);

// Formats of save_ent.
enum : uint8_t {
    ent_text = 0,   // "%s %s"; the text ends at a CR or LF, which no line can carry
    ent_uchar = 1,  // "%s %d" of an unsigned byte
    ent_int = 2,    // "%s %d" of a signed 32-bit value
    ent_uint = 3,   // "%s %d" of an unsigned 32-bit value, written as signed
    ent_hex = 4,    // "%s 0x%04X" of an unsigned 32-bit value
};
// Writes one line "key value" with CR LF. 0 written, 1 an argument missing or
// an unknown format, 2 the write failed (file error id in sys_f_rv).
char save_ent(FILE *f, const char *key, const void *var, uint8_t fmt);

// ---------------------------------------------------------------- the file

// Reads fcpath over the current settings and leaves the file open in fconfig
// (conf_close closes it). 0 read; else the file error id of the open (all
// settings keep their values, no message). A path that names no configuration
// (see conf_foreign) is not read: 13, and the reason in conf_problem.
char load_conf(void);
// Writes every key to fcpath as described above. 0 saved; 1 the file is still
// open from load_conf (nothing written); 13 fcpath names no configuration
// (conf_foreign, nothing written); else the file error id of the failure, and
// the old file is unchanged.
char save_conf(void);
// Closes the file load_conf left open; nothing when none is open.
void conf_close(void);
// Empties fname1, ddcpath, firmpath and makpath when they are not file names
// (empty, "File:" or "Datei:").
void check_fnames(void);
