// The C functions every port I/O library exports (the program finds them by
// name after loading the library):
//   short Inp32(short port);               reads a register (the low 8 bits count)
//   void Out32(short port, short value);   writes a register (value 0..255)
//   const char *vqportio_status(void);     the last failure message, or ""
#pragma once

#define VQPORTIO_EXPORT __attribute__((visibility("default")))

extern "C" {
VQPORTIO_EXPORT short Inp32(short port);
VQPORTIO_EXPORT void Out32(short port, short value);
VQPORTIO_EXPORT const char *vqportio_status(void);
}
