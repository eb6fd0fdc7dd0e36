// Test support: helpers that many test programs share: waiting on a condition
// with a generous time-out, whole reads and writes on descriptors, files and
// temporary directories, pseudo-terminal pairs and loopback sockets.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr int tu_wait_ms = 10000;  // generous time-out for anything that waits, in ms

// Checks pred every millisecond until it holds; false after timeout_ms.
bool tu_wait_until(const std::function<bool()> &pred, int timeout_ms = tu_wait_ms);
// Reads until n bytes came, the other side closed, or timeout_ms passed.
std::vector<uint8_t> tu_read_n(int fd, size_t n, int timeout_ms = tu_wait_ms);
// Writes all n bytes, continuing short writes; false on an error.
bool tu_write_all(int fd, const void *b, size_t n);
// The whole content of a file; "" when it cannot be read.
std::string tu_read_file(const std::string &path);
// Writes `text` as the whole content of a file; returns the path ("" when it failed).
std::string tu_write_file(const std::string &path, const std::string &text);
// A new directory /tmp/<prefix>XXXXXX; "" when none could be made.
std::string tu_make_temp_dir(const char *prefix);

// A child process, killed and reaped when it goes out of scope unless it was
// waited for already (pid set back to -1).
struct tu_child {
    pid_t pid = -1;
    // Starts argv[0] with its standard output going to the file `out`.
    bool spawn(const std::vector<std::string> &argv, const std::string &out);
    // Waits until the file `out` holds `text`.
    bool printed(const char *text) const;
    // Sends SIGTERM and waits for the end: true when the child exited with 0.
    bool stop();
    std::string out;
    tu_child() = default;
    tu_child(const tu_child &) = delete;
    tu_child &operator=(const tu_child &) = delete;
    ~tu_child();
};

// A pseudo-terminal pair (raw, or with the system's default settings); the
// slave's path, for opening it by name. Both sides are closed at the end.
struct tu_pty {
    int master = -1, slave = -1;
    std::string path;
    bool open(bool raw = true);
    tu_pty() = default;
    tu_pty(const tu_pty &) = delete;
    tu_pty &operator=(const tu_pty &) = delete;
    ~tu_pty();
};

// A TCP listener on addr:port (0: any) with the given backlog, its port in
// *bound; -1 when it could not be had.
int tu_listen(const char *addr, uint16_t port, int backlog, uint16_t *bound = nullptr);
// A TCP connection to addr:port; -1 when refused.
int tu_connect(const char *addr, uint16_t port);
