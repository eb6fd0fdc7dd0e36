// Test support for the simulator's own tests: command frames built by hand, not with the
// simulator's codec or the program's, so that a misreading of the frame is not shared by
// both sides; and a running simulation whose first line is open as a program opens it.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zelbsim/zelbsim.h"

using zc_bytes = std::vector<uint8_t>;

// A frame: AA 55, address, command and value low byte first, the sum of those five bytes,
// the end code and 00. A command ends in FF, an acknowledgement in FE, a refusal in FD.
zc_bytes zc_frame(uint8_t addr, uint16_t cmd, uint16_t val, uint8_t end = 0xFF);
inline zc_bytes zc_ack(uint8_t from, uint16_t cmd, uint16_t val) {
    return zc_frame(from, cmd, val, 0xFE);
}
inline zc_bytes zc_refusal(uint8_t from, uint16_t cmd, uint16_t val) {
    return zc_frame(from, cmd, val, 0xFD);
}
// A broadcast ping: the last monitor answers it with its number in the low byte.
extern const zc_bytes zc_ping;

// Opens a pty slave like a serial port: raw, 8 data bits, even parity, at `speed`; -1 when
// it cannot be opened.
int zc_open_port(const std::string &path, speed_t speed = B9600, bool two_stop = false);
// Changes the rate of an open port, as a program does in the middle of a session.
bool zc_set_rate(int fd, speed_t speed);
// zs_parse_args with "zelbsim" in front of `args`.
int zc_parse(std::vector<const char *> args, zs_config *c, std::string *err);

// A line of `monitors` monitors that restart in 50 ms, on a pty or on a free loopback port.
zs_line_cfg zc_line(int monitors, zs_transport kind = ZS_PTY);

// One exchange of a table-driven test: the frame (addr, cmd, val), the value it must be
// acknowledged with or zc_refused, and what the exchange shows.
struct zc_step {
    uint8_t addr;
    uint16_t cmd, val;
    int want;
    const char *what;
};

constexpr int zc_refused = -1, zc_no_answer = -2;  // what zc_sim::value gives but a value

// A running simulation of `lines`; fd is its first line's port: the pty (through its
// symlink when it has one) opened at `speed`, or a TCP connection to the converter.
struct zc_sim {
    zs_sim *sim = nullptr;
    int fd = -1;
    int monitors = 0;  // of the first line
    explicit zc_sim(std::vector<zs_line_cfg> lines, speed_t speed = B9600);
    // The lines of zelbsim's command-line options `args` (after "zelbsim").
    explicit zc_sim(const std::vector<const char *> &args, speed_t speed = B9600);
    ~zc_sim();
    zc_sim(const zc_sim &) = delete;
    zc_sim &operator=(const zc_sim &) = delete;

    void send(const zc_bytes &b);
    zc_bytes read(size_t n);
    zc_bytes ask(const zc_bytes &req, size_t n = 10);
    // True when the first answer after `req` is the one to a ping sent behind it.
    bool unanswered(const zc_bytes &req);
    // True once the line has recorded bytes it could not use after `req` went out.
    bool dropped(const zc_bytes &req);
    // The value the frame (addr, cmd, val) is acknowledged with, zc_refused or zc_no_answer;
    // the last monitor answers a broadcast.
    int value(uint8_t addr, uint16_t cmd, uint16_t val = 0);
    // Asks every step in turn; a failure names the step by its index and `what`.
    void run(const std::vector<zc_step> &steps);
    // The firmware image the first line keeps.
    zs_image image();
};
// A new TCP connection to the converter of `line`.
int zc_connect(zs_sim *sim, int line);
