// Shared by the benchmarks: a simulation of one monitor on a pseudo-terminal, the reads
// and writes of a port over the platform serial layer with the link's error ids, as the
// helper library's serial primitives give them (12 time-out, 7 not all written), and a run
// of velquor-cli timed from outside.
#pragma once

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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

extern char **environ;

struct bench_cli_run {
    double ms = -1;     // wall time; -1 when the command failed
    double cpu_ms = 0;  // user + system time of the program
};

// Runs velquor-cli of this build with args (both outputs to /dev/null) and waits for it.
inline bench_cli_run bench_run_cli(const std::vector<std::string> &args) {
    using Clock = std::chrono::steady_clock;
    std::vector<char *> argv;
    std::string prog = VQ_BINARY_DIR "/bin/velquor-cli";
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (std::string &a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", 1, 0);  // O_WRONLY
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", 1, 0);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    bench_cli_run r;
    const int rc = posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return r;
    int st = 0;
    struct rusage ru {};
    wait4(pid, &st, 0, &ru);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) return r;
    r.ms = ms;
    r.cpu_ms = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
               (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
    return r;
}
