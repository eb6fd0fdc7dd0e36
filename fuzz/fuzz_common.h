// Shared ground of the fuzz targets: the headless window layer with boxes that
// answer at once, a temporary directory of this process for readers that take
// a path, and memory streams for readers that take an open file.
//
// Every target calls fz_begin at the start of each input: the first call sets
// up the window layer and the program's seams, every call forgets the boxes of
// the input before and clears the result ids, so that no input sees what an
// earlier one left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Once per process: headless windows with a main window, boxes answered by a
// hook at once, the seams of the layers wired. Each input: the record of boxes
// and the result ids (sys_rv, sys_f_rv) cleared.
void fz_begin(void);
// The boxes shown since fz_begin.
size_t fz_boxes(void);

// Writes the bytes as the whole content of `name` in this process's temporary
// directory (made on first use, removed at exit); the path, "" on failure.
std::string fz_write_file(const char *name, const uint8_t *data, size_t size);
// The whole content of the file at path; empty when it cannot be read.
std::string fz_read_file(const std::string &path);

// A read-only stream over the bytes (an empty input reads as an empty file);
// nullptr when none could be made. Close it with std::fclose.
FILE *fz_open_bytes(const uint8_t *data, size_t size);

// The fuzz targets' entry point, declared once for all of them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Stops the process on a broken invariant of a reader, with what broke, so that
// the fuzzer records the input as a finding.
#define FZ_CHECK(cond)                                   \
    do {                                                 \
        if (!(cond)) fz_fail(__FILE__, __LINE__, #cond); \
    } while (0)
[[noreturn]] void fz_fail(const char *file, int line, const char *what);
