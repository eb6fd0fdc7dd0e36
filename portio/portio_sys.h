// Port I/O over the Linux parallel-port device (/dev/parportN): the core of
// libvqportio.so. The library's exports (vqportio.cpp) call these functions;
// the tests call them directly with the system calls replaced.
//
// Port pairs: 0x378/0x379 -> /dev/parport0, 0x278/0x279 -> /dev/parport1,
// 0x3BC/0x3BD -> /dev/parport2 (the even address is the data register, the
// odd one the status register). A device is opened and claimed on the first
// access to one of its addresses and stays claimed until close_all().
#pragma once

#include <string>

namespace vqportio {

// What a read returns when no device answers: an address outside the table, a
// device that could not be opened or claimed, a register that cannot be read.
// An undriven input of a PC port reads high, so every bit reads 1 (with the
// I2C adapter's wiring: SDA released, no loop-back).
inline constexpr short kFloating = 0xFF;

// The system calls the library makes, replaceable by a test.
struct Sys {
    int (*open)(const char *path, int flags);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    int (*close)(int fd);
    // The name of the group owning path, or "" when it cannot be found.
    std::string (*owner_group)(const char *path);
};

// The system calls in use; assign to replace them (between close_all() calls).
Sys &sys();
// The real system calls.
Sys real_sys();

// Reads a register: the status byte of a status address, the data byte of a
// data address, kFloating otherwise.
short inp(short port);
// Writes the low 8 bits of value to a data register; other addresses ignore it.
void out(short port, short value);
// The last failure message ("" when every device used so far works). The
// pointer stays valid for the lifetime of the library.
const char *status();
// Releases and closes every device and forgets earlier failures, as if the
// library had just been loaded.
void close_all();

}  // namespace vqportio
