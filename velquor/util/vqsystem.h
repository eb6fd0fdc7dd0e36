// Start-up binding of the helper library `velq` and its release at the end.
// The binding belongs to the device link: it sits above the link's serial
// primitives and the message boxes whose pointers it fills.
//
// sys_start loads the library by file path, tests its version and binds the
// functions the program calls through it, by name, into their pointers.
// The library is taken from the file named by the environment variable
// VELQUOR_VELQ (an absolute path; for tests and installations that keep it
// elsewhere) or else from libvelq.so in the directory of the running program;
// never from the working directory or the loader's search path, where any
// folder the operator works in could put code of its own. On any failure
// nothing stays loaded and every pointer is nullptr.
//
// Result codes of sys_start (their texts: sys_get_msg of the text table):
//   0 ok; 1, 2, 3 the port-I/O library (see sys_load_port_io);
//   10 the helper library could not be found or loaded; 11 refused version or
//   a missing export.
#pragma once

#include <cstdint>

#include "velquor/link/com_poi.h"       // the serial primitives
#include "velquor/ui/velquor_win.h"     // the window functions
#include "velquor/util/velq_str_poi.h"  // the string functions

// ---------------------------------------------------------------- the binding

// Handle of the loaded helper library, nullptr when none.
extern void *hLib_com;
// The library's dll_get_main_ver and dll_get_sub_ver once tested (0 before).
extern uint8_t dll_ver_main;
extern uint32_t dll_ver_sub;
// The library version as "%d.%03d" (for example "1.003"); "1.000" until the
// test has passed. Shown in the About dialog.
constexpr uint32_t dll_ver_size = 50;
extern char dll_ver[dll_ver_size];

// Required version: main 1, sub-version at least 3.
constexpr uint8_t velq_need_main = 1;
constexpr uint32_t velq_need_sub = 3;

// File name of the library beside the program.
constexpr const char *velq_file_name = "libvelq.so";
// Environment variable naming the library file (absolute path).
constexpr const char *velq_env_name = "VELQUOR_VELQ";

// The bound pointers are declared with their users: the serial primitives in
// com_poi.h, the window functions in velquor_win.h, the string functions in
// velq_str_poi.h.

// ---------------------------------------------------------------- start and end

// Loads and binds as described above; 0 or the result code. A binding left
// from an earlier call is released first.
char sys_start(void);
// Releases the helper library (every pointer back to nullptr) and the
// port-I/O library, then ends the Ethernet layer. Harmless when nothing is loaded.
void sys_end(void);

// Tests the version of the library hLib: 1 refused, 0 accepted (dll_ver set).
// Refused when a version export is missing, the low 8 bits of the main
// version are not 1 or the sub-version is below 3; then a message box
// without owner, captioned with tx_err, names the found and required
// versions. A missing export is never called.
char check_dll_ver(void *hLib);

// The path sys_start loads: from VELQUOR_VELQ when set (it must begin with
// "/"), else beside the program. 0 and the path in out (n bytes); 10 when
// there is none or it does not fit.
char sys_velq_path(char *out, uint32_t n);

// The port-I/O library of the parallel-port I2C adapter, loaded first by
// sys_start: from the file named by VELQUOR_PORTIO (an absolute path; tests
// and the demo name the simulated adapter) or else libvqportio.so beside the
// program. Binds Inp32 and Out32 (com_i2c.h): 0; 1 it cannot be loaded;
// 2 Inp32 or 3 Out32 is missing (nothing stays loaded then).
constexpr const char *portio_file_name = "libvqportio.so";
constexpr const char *portio_env_name = "VELQUOR_PORTIO";
extern void *hLib_io;
char sys_load_port_io(void);
// Releases it; both pointers back to nullptr.
void sys_free_port_io(void);
// What the library says about its port (a device missing or not permitted),
// "" when all is well or it cannot tell.
const char *sys_port_io_status(void);
