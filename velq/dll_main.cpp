// The helper library's version: 1.3 (file version 1.0.0.3). The program refuses
// a library whose main version is not 1 or whose sub-version is below 3.
//
// The library has no load or unload work to do, so it has no entry function:
// the loader's default already reports success. The version may be set at
// build time (VELQ_VER_MAIN, VELQ_VER_SUB) so that the tests can build copies
// of another version and check that the program refuses them.
#include "com_std.h"

#ifndef VELQ_VER_MAIN
#define VELQ_VER_MAIN 1
#endif
#ifndef VELQ_VER_SUB
#define VELQ_VER_SUB 3
#endif

uint8_t dll_get_main_ver(void) { return VELQ_VER_MAIN; }

uint32_t dll_get_sub_ver(void) { return VELQ_VER_SUB; }
