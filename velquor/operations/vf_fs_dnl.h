// File-system download ("PC -> TFT"): a dump file written back into one
// monitor, every monitor of a ring (monitor number 0) or every address of the
// IP list.
//
// The file is read whole first (buffer_fs_file: its entry lines and gamma
// blocks, every format error with its own box); then for each monitor each
// entry is written in file order: an entry the monitor already holds under
// the same identifier is deleted first, and mode data (classes 0xAE, 0xAF)
// replaces a stored mode whose measured values match within the tolerances
// of fs_check_modus, so that a mode stored with slightly different values is
// not kept twice. The gamma tables follow the entries.
//
// The chain: init_ipl, ipl_control, download_fs1 (per address: the file, the
// link, the ring), ring_control (fs_dnl_res per monitor), then per entry
// fs_dnl_getln, the session command, fs_check_ent and either fs_get_spec_ent
// or fs_check_modus, fs_erase_ent when replacing, fs_create_ent, 31 times
// fs_dnl_send_ent, the session command. A stop request ends the walk between
// entries: every further monitor and address is left untouched.
#pragma once

#include <cstdint>
#include <cstdio>

#include "velquor/operations/fs_ops.h"

constexpr int32_t fs_file_max_entries = 200;

// The file image: the entries of the file in order, the number of entry
// lines and of gamma lines.
struct fs_dat_t {
    uint32_t fs_ent[fs_file_max_entries][fs_ent_words];
    int32_t fs_ent_cnt;
    int32_t gam_ent_cnt;
};
extern fs_dat_t fsd;

// Starts the download of fname1. Returns 0.
char download_fs(int hwnd);

// Reads the open file f into fsd and the gamma tables. 1, or 0 after a box or
// with a file error in sys_f_rv; fsd_err_pos is then where the reading
// stopped (just behind the line it could not take; 0 when the whole file was
// judged), -1 after a success.
char buffer_fs_file(FILE *f);
extern int32_t fsd_err_pos;
// One entry line into 32 words: 0; 1 a pointer missing; 2 an empty line; 3
// bad content (file error 13; a group that is not four hexadecimal digits is
// shown in a box "Value: " and the group).
char fs_line_to_buffer(char *line, uint32_t *words);

// Steps.
// Per address: reads the file, opens the link and the ring. 1, or 0.
char download_fs1(void);
// The next entry of the file into vansw: 1; 2 when all are written (the gamma
// tables written first) or a stop was asked for; 0 an error.
char fs_dnl_getln(void);
// Scans the monitor for a stored mode matching vansw: 2 found (selected, to be
// replaced), 1 none (create), 0 an error.
char fs_check_modus(void);
// Sends the next word of the new entry: 1 more to come, 2 the entry is
// complete, 0 an error.
char fs_dnl_send_ent(void);
// The per-monitor reset of the download.
char fs_dnl_res(void);
