// Serial ports on termios2.
//
// A port is a plain file descriptor (-1 = closed). Opening takes the port for
// this process alone (TIOCEXCL) and saves its line settings; closing restores
// them. The line settings travel as one record, any integer baud rate (BOTHER),
// so 9600, 57600 and 576000 all work, on real ports and on pseudo-terminals.
//
// Reads follow the time-out model the board protocol needs: each port has a
// read time-out in ms; a read returns at once with what is waiting (at least
// one byte), else waits up to the time-out for the first byte, and returns 0
// bytes when it ran out. Before a command the caller can discard what is still
// waiting (a late answer to an earlier command) without waiting for more.
//
// COM names: the program names ports "Com1" ... "Com99". ser_resolve_name maps
// such a name (any letter case) through a port table to a device path; a name
// that begins with "/" is a device path already. A COM number stands for, in
// this order: the path set for it (the configuration, velquor-cli --port),
// the device ser_find_ports gave it at start-up (a USB serial adapter), or
// /dev/ttyS(N-1).
//
// Every system call goes through ser_sys(), a table that tests may replace to
// make reads short, writes fail or a device vanish.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>

struct pollfd;

namespace plat {

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2 };

struct SerialSettings {
    uint32_t baud = 9600;
    uint8_t data_bits = 8;  // 5..8
    Parity parity = Parity::None;
    uint8_t stop_bits = 1;  // 1 or 2
};

// Result of the serial functions: 0 ok, else one of these.
enum SerialResult : int {
    SER_OK = 0,
    SER_BAD_ARG = 1,    // missing pointer, -1 handle, bad setting
    SER_NO_DEVICE = 2,  // open failed: no such device or not a tty
    SER_BUSY = 3,       // open failed: in use by another process (TIOCEXCL)
    SER_IO = 4,         // a read, write or ioctl failed
    SER_STOPPED = 5,    // a read or a stalled write ended by the I/O stop (io_stop.h)
};

// Opens `path` for reading and writing, non-shared; on success *fd holds the
// descriptor. Flow control off, DTR/RTS off, raw mode; settings saved for close.
int ser_open(const char *path, int *fd);
// Restores the saved settings and closes; *fd = -1. Nothing for -1 or nullptr.
void ser_close(int *fd);

int ser_get_settings(int fd, SerialSettings *out);
int ser_set_settings(int fd, const SerialSettings &s);

// Read time-out of the port in ms (per read call, waiting for the first byte).
int ser_set_read_timeout(int fd, uint32_t ms);
int ser_get_read_timeout(int fd, uint32_t *ms);

// Reads up to `n` bytes as described above; *got = bytes stored (0 on time-out).
// SER_STOPPED, nothing read, while the I/O stop is raised.
int ser_read(int fd, uint8_t *buf, size_t n, size_t *got);
// Writes all `n` bytes (retrying short writes and EINTR), then drains; *put =
// bytes written before a failure, or n.
int ser_write(int fd, const uint8_t *buf, size_t n, size_t *put);
// Takes what is waiting in the input without waiting for more: reads until
// nothing is left or `n` bytes were taken; *got = bytes stored in buf, so the
// caller can log what it drops. A caller that wants the input empty calls again
// while *got == n. SER_IO (with *got bytes taken) when the port failed.
int ser_discard_input(int fd, uint8_t *buf, size_t n, size_t *got);

// errno of the last failing system call in this thread (for logs), 0 if none.
int ser_last_errno();
// Why `path` could not be opened as a port, in words for the operator, from
// the errno of the failed ser_open: "no such device", "permission denied
// (join group dialout)" or the like (explain_permission), "in use by another program",
// "not a serial port" and the like. Writes at most n - 1 characters.
void ser_explain_open(const char *path, int err, char *out, size_t n);

// Port table: COM number 1..99 to device path. Setting nullptr or "" restores
// the default. Returns false for numbers outside 1..99.
bool ser_set_com_path(int n, const char *path);
// The path of COM n (the default when unset); nullptr outside 1..99.
const char *ser_com_path(int n);
// True when COM n was set explicitly (for writing a configuration).
bool ser_com_path_is_set(int n);
// "ComN" -> table path, "/..." -> itself. Copies at most outsz-1 bytes and
// terminates. False for any other name or a name that does not fit.
bool ser_resolve_name(const char *name, char *out, size_t outsz);

// The device COM n stands for while no path is set for it (ser_find_ports
// fills these); nullptr or "" gives it back /dev/ttyS(n-1). Never written to a
// configuration. False for numbers outside 1..99 or a path too long.
bool ser_set_com_default(int n, const char *path);

// Gives the COM numbers to the serial devices of this machine, once at
// start-up after the configuration was read. The rule:
//   1. A number set explicitly (ser_set_com_path) keeps its path, and the
//      device it names gets no second number.
//   2. /dev/ttySk keeps COM k+1 when a UART stands behind it: sys/class/tty/
//      ttySk/device exists and its `type` attribute is not 0. Legacy ttyS
//      names without a UART hold no number.
//   3. USB serial adapters, /dev/ttyUSB0, ttyUSB1, ... and then /dev/ttyACM0,
//      ttyACM1, ... (by number), take the lowest numbers still free, each
//      under its stable name in /dev/serial/by-id/ when one links to it (the
//      first such name in name order), else under its /dev name.
//   4. Every other number keeps /dev/ttyS(n-1).
// dev_root and sys_root stand for /dev and /sys (nullptr: those), so a test
// can point them at a tree of its own. Forgets the defaults of an earlier
// call first. Returns how many adapters got a number.
int ser_find_ports(const char *dev_root, const char *sys_root);

// System calls used by this layer, swappable by tests (ser_sys_reset restores).
struct SerialSys {
    int (*open)(const char *path, int flags);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void *buf, size_t n);
    ssize_t (*write)(int fd, const void *buf, size_t n);
    int (*ioctl)(int fd, unsigned long req, void *arg);
    int (*poll)(::pollfd *fds, unsigned long nfds, int timeout_ms);
};
SerialSys &ser_sys();
void ser_sys_reset();

}  // namespace plat
