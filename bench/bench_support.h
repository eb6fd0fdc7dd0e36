// Shared by the benchmarks: a simulation of one monitor on a pseudo-terminal, and the reads
// and writes of a port over the platform serial layer with the link's error ids, as the
// helper library's serial primitives give them (12 time-out, 7 not all written).
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial.h"
#include "zelbsim.h"

// Starts one pty line with one monitor; null with `err` set when it could not start.
inline zs_sim *bench_start_pty_sim(std::string *err) {
    zs_config cfg;
    cfg.lines.resize(1);
    zs_line_set_count(&cfg.lines[0], 1);
    zs_sim *sim = nullptr;
    zs_start(cfg, &sim, err);
    return sim;
}

// Reads until n bytes came or the port's time-out ran out.
inline char bench_ser_read(int fd, uint8_t *b, uint32_t n, uint32_t *got) {
    uint32_t k = 0;
    while (k < n) {
        size_t g = 0;
        if (plat::ser_read(fd, b + k, n - k, &g) != plat::SER_OK || g == 0) break;
        k += static_cast<uint32_t>(g);
    }
    if (got) *got = k;
    return k == n ? 0 : 12;
}

inline char bench_ser_write(int fd, const uint8_t *b, uint32_t n) {
    size_t put = 0;
    return plat::ser_write(fd, b, n, &put) == plat::SER_OK && put == n ? 0 : 7;
}
