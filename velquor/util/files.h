// Text-file access and file errors: thin wrappers over the C library's
// streams that turn every failure into one small file error id (0..15).
//
// Each user of a file owns one stream holder, a FILE pointer that is nullptr
// while no file is open: mf_fopen refuses a holder that is not empty and
// mf_fclose empties it. File names are Windows-1252 texts like every text of
// the program and reach the file system as UTF-8.
//
// Lines end at LF; readers accept LF, CR LF and CR CR LF, and the line
// readers use buffers of mf_line_size bytes. The id of the running operation
// is kept in sys_f_rv; the end step of the operation shows its text
// (mf_get_err_msg, velquor/ui/err_texts.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// File error id of the running operation, 0 = none.
extern uint8_t sys_f_rv;

// The file of the running operation (a dump file, a firmware file, a DDC
// file): opened by the operation's steps, closed by them or by its end step.
extern FILE *fpupl;

// File error ids.
enum mf_err : uint8_t {
    mfe_ok = 0,
    mfe_use = 1,      // mf_fopen: the holder holds a stream already
    mfe_atr = 2,      // mf_fopen: no mode for the attributes
    mfe_nopath = 3,   // mf_fopen: path missing or empty
    mfe_open = 4,     // mf_fopen: the open failed
    mfe_nobuff = 5,   // a line reader: buffer missing or size 0
    mfe_bf_sh = 6,    // end of a data buffer (callers)
    mfe_eof = 7,      // mf_readln: the end of the file ended the line
    mfe_no_file = 8,  // no stream
    mfe_rw = 9,       // a read or write failed
    mfe_nodat = 10,   // mf_write_str: no text; callers: too few data
    mfe_invpos = 11,  // mf_fseek failed
    mfe_sz = 12,      // callers: unacceptable file size
    mfe_invdat = 13,  // callers: unacceptable content
    mfe_lines = 14,   // callers: too many lines
    mfe_unknown = 15,
};
constexpr int mf_err_count = 16;

// Size of the file path settings (dump, firmware, DDC, macro, temporary and
// log file): 1023 characters and the NUL.
constexpr size_t cfg_path_size = 1024;

// Open attributes, a bit set.
constexpr uint8_t mf_bin = 1, mf_read = 2, mf_append = 4, mf_write = 8;

// Line buffer of the line readers, NUL included (up to 1023 characters).
constexpr uint32_t mf_line_size = 1024;

// The stream mode for a set of attributes ("wb", "rb", "a+", "w+", "rt",
// "at", "wt"), or nullptr when there is none.
const char *mf_fmode(uint8_t attr);
// Opens path into *holder. 0; 1 holder missing or busy (its stream left
// alone); 2 no mode; 3 path missing or empty; 4 the open failed.
char mf_fopen(FILE **holder, const char *path, uint8_t attr);
// Closes the stream of the holder, if any, and empties the holder.
void mf_fclose(FILE **holder);
// Closes fpupl and opens path into it for reading: 0, or the file error, kept
// in sys_f_rv too (the input file of an operation).
char mf_open_fpupl(const char *path);
// The next byte as signed 8 bits, -1 at the end of the file (a byte 0xFF
// reads as -1 as well) or without a stream.
int8_t mf_fgetc(FILE *f);
// Writes one byte: 0, 8 no stream, 9 the write failed.
char mf_fputc(char c, FILE *f);
// Reads one line of at most size - 1 bytes (LF not stored, CR kept; the rest
// of a longer line comes with the next call) and terminates it. 0; 5 no
// buffer or size 0; 7 the end of the file ended the line (buf may hold the
// last line); 8 no stream; 9 a read error. *len (when given) = the bytes
// stored, which a NUL byte inside the line does not cut short.
char mf_readln(FILE *f, char *buf, uint32_t size, uint32_t *len = nullptr);
// Writes the text without its NUL: 0, 8 no stream, 10 no text, 9 short write.
char mf_write_str(FILE *f, const char *s);
// mf_write_str of the text, then of CR LF; the first failure.
char mf_writeln_str(FILE *f, const char *s);
// The position, -1 without a stream, on failure or beyond 32 bits.
int32_t mf_ftell(FILE *f);
// origin 0 start, 1 current, 2 end. 0; 8 no stream; 11 failed or bad origin.
char mf_fseek(FILE *f, int32_t offset, int origin);
// Size in bytes (position kept), -1 on any failure.
int32_t mf_fgetsize(FILE *f);
// The next line beginning with c, cleaned (ms_clean_str), into buf
// (mf_line_size bytes); an empty buf when there is none. Reads only while
// sys_f_rv is 0 and leaves a read error there; the end of the file is no
// error. 0, or 1 when buf is missing (sys_f_rv = 5).
char mf_nextline_char(FILE *f, char c, char *buf);
// As mf_nextline_char, then the line is cut at its first "//" and trimmed.
char mf_nextline_char_no_com(FILE *f, char c, char *buf);
// Lines from here to the end that begin with c (as mf_nextline_char finds
// them); -1 for no stream, no memory or a read error. Does not rewind.
int32_t mf_countlines_char(FILE *f, char c);
// 0 when the cleaned name ends in ".bin" (any letter case), else 1.
char mf_file_is_bin(const char *name);
// 1 when path is a file that can be opened and read, 0 when not, 2 when
// path is missing or empty.
char mf_FileExists(const char *path);
