// File-system upload ("TFT -> PC"): every entry and the gamma tables of one
// monitor into a dump file that a person can read and that the download
// writes back.
//
// Each entry becomes a comment line naming what it holds (by its class),
// sometimes further comment lines that decode it, and one data line of its 32
// words in hexadecimal; the gamma tables follow as blocks of decimal numbers.
// The chain: upload_fs1 (checks, files, link, counting), then per entry the
// selection and 33 word reads (fs_get_next_ent2, fs_read_word,
// fs_buffer_word_upl) and fs_buff_to_file; then the gamma reading
// (vf_gamma.h), fs_rgamma_end (the gamma blocks) and fs_upl_end.
//
// The dump is written into a new file of a unique name beside the chosen one
// and takes its name only at the successful end, flushed to the disk: a failed
// or stopped upload leaves the chosen file as it was and no new file behind.
#pragma once

#include <cstdint>
#include <cstdio>

// One row of the white point table: temperature in kelvin, x and y * 1000.
struct cie_kxy_T {
    int32_t k, x, y;
};
extern const cie_kxy_T cieKxy[44];

// Starts the upload of sys_zelb_nr into fname1. Returns 0.
char upload_fs(int hwnd);

// Steps.
// Checks (write protection, monitor number 0 refused), opens the new file and
// the link, counts the entries. 1, or 0.
char upload_fs1(void);
// Reads the next word of the selected entry into sys_val. 1, or 0.
char fs_read_word(void);
// Keeps the word read as word byte_count of the entry: 2 while words remain
// to be read (33 reads per entry, the last one not kept), 1 when complete.
char fs_buffer_word_upl(void);
// Writes the entry in vansw into the dump. 1, or 0 (file error in sys_f_rv).
char fs_buff_to_file(void);
// After the gamma reading: the gamma blocks and the source-style files; fails
// when an error is pending or the monitor had nothing at all.
char fs_rgamma_end(void);
// The dump takes the chosen name. Ends the chain.
char fs_upl_end(void);

// The lines of one entry (its 32 words in w) as the dump holds them. The file
// error id.
char fs_print_entry(FILE *f, const int32_t *w);
// The title of an entry by its class, as its header line names it.
void fs_entry_title(const int32_t *w, char *out, size_t n);
