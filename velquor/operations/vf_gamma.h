// Gamma tables: the chromaticity of a panel's red, green, blue and white
// points and a curve of up to 32 points, kept by a monitor besides its
// ordinary file-system entries.
//
// A monitor holds up to four tables, selected and created by the identifier
// 0xFF00 + the table's number. On the device a table is its identifier, the
// eight colour words (red x, red y, green x, green y, blue x, blue y, white x,
// white y), then two words per curve point: r * 256 + x, then b * 256 + g; a
// point whose x is 255 ends a curve read from a monitor.
//
// The upload reads the tables after the entries (fs_rgamma_* steps; a table
// the monitor lacks ends the reading) and prints each as a gamma block of the
// dump file and, when such a file already exists, as a C initialiser into its
// source-style file. The download reads the blocks back from a dump file
// (gamma_read_blocks) and writes the tables after the entries (write_gamma).
#pragma once

#include <cstdint>
#include <cstdio>

struct gamma_tab_entry__T {  // NOLINT(bugprone-reserved-identifier): the system's name
    uint8_t x, r, g, b;
};

// CIE xy coordinates as the monitor stores them; 0xFFFF = not present.
struct col_pt_T {
    int32_t x, y;
};

struct gamma_tab_T {
    gamma_tab_entry__T ent[32];
    int32_t count;  // points used, the end marker included
    col_pt_T rt;
    col_pt_T bl;
    col_pt_T gue;
    col_pt_T wt;
};

constexpr int gamma_max_points = 32;

// The four tables and their numbers.
extern gamma_tab_T gamma_tab, gamma_tab_def, gamma_tab_dc, gamma_tab_dc_def;
constexpr uint32_t gamma_nr_normal = 0xC1, gamma_nr_def = 0x41, gamma_nr_dc = 0xC9,
                   gamma_nr_dc_def = 0x49;
// The table the file reader is filling.
extern gamma_tab_T *gam_poi;

// What the gamma reading of an upload found: a set of these flags, empty when
// the reading starts.
constexpr uint8_t gf_normal = 1, gf_dicom = 2, gf_entries = 4, gf_default = 16, gf_dicom_def = 32;
extern uint8_t gamma_found;

// One of the four tables with its number, its name in the dump file, its
// texts, its source-style file and its flag; in the order in which the
// tables are written (normal, default, DICOM, DICOM default).
struct gamma_kind_T {
    gamma_tab_T *tab;
    uint32_t nr;
    const char *name;    // name in the block's title line
    int col_title;       // progress title while its colour points are read
    int read_title;      // ... while its curve is read
    int write_title;     // ... while it is written to a monitor
    const char *c_file;  // source-style file in the working directory
    uint8_t flag;        // its flag in gamma_found
};
extern const gamma_kind_T gamma_kinds[4];

// Every point (255, 255, 255, 255), every count 0, the colour points of the
// normal and the DICOM table 0.
void reset_gamma_tab(void);

// ---------------------------------------------------------------- reading from a monitor

// Start steps: session command, select the table. 1 present (its flag set,
// word 0 read), 2 absent (error state cleared), 0 a command error. The
// normal table's step also records gf_entries when the monitor has entries.
char fs_rgamma_start(void);
char fs_rgamma_def_start(void);
char fs_rgamma_dc_start(void);
char fs_rgamma_dc_def_start(void);
// Colour steps: the eight colour words. 1, or 0.
char fs_rgamma_color(void);
char fs_rgamma_def_color(void);
char fs_rgamma_dc_color(void);
char fs_rgamma_dc_def_color(void);
// Curve steps: the points up to the end marker (at most 32), then the
// session command. 1, or 0.
char fs_rgamma_table(void);
char fs_rgamma_def_table(void);
char fs_rgamma_dc_table(void);
char fs_rgamma_dc_def_table(void);
// Helpers of the steps, for table t of monitor del_zelb_nr: verdicts, the
// error id in sys_rv (10 without t).
char fs_rgamma_color1(gamma_tab_T *t, const char *title);
char read_gamma_table(const char *title, uint8_t nr, gamma_tab_T *t);

// ---------------------------------------------------------------- writing to a monitor

// Writes table t as table number tabnr into monitor nr: session, create,
// colour words, points, session. 1, or 0 (the error id in sys_rv).
char write_gamma(uint8_t nr, uint32_t tabnr, const char *title, const gamma_tab_T *t);

// ---------------------------------------------------------------- files

// Prints table t as a gamma block into f; nothing for a table whose colour
// points are not all present. The file error id, 0 when written or skipped.
char print_gamma_block(FILE *f, uint32_t tabnr, const char *name, const gamma_tab_T *t);
// Replaces the source-style file fname by table t as a C initialiser, only
// when the file exists; failures leave it as it was and are not reported.
void print_gamma_c1(const gamma_tab_T *t, const char *fname);
// Reads the next decimal number of text (as "%d" prints it, within 32 bits)
// into *out and blanks its characters. 0; 1 a pointer missing (sys_f_rv 5);
// 4 empty text (box "file entry too short"); 2 no number, 3 a number written
// otherwise or too large (box "Value: " and the text in quotes).
char read_next_int(int32_t *out, char *text);
// Reads the gamma blocks of f from its position on into the four tables,
// which it clears first. gam_lines is the number of gamma lines of the file. 1 read; 0 a
// format error, shown in its box (sys_f_rv 13 unless a table has too many
// points), or a read error.
char gamma_read_blocks(FILE *f, int32_t gam_lines);
