// Throughput of the simulator: command frames answered per second over its pseudo-terminal,
// unpaced, one frame in flight at a time (as the program works), and with a window of frames
// written back to back. Figures only; nothing here fails.
#include "zelbsim.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Bench {
    zs_sim *sim = nullptr;
    int fd = -1;
    uint8_t req[10] = {0xAA, 0x55, 0x01, 0xE5, 0x08, 0x00, 0x00, 0xEE, 0xFF, 0x00};  // 0x08E5 to 1
    Bench() {
        zs_config c;
        c.lines.resize(1);
        zs_line_set_count(&c.lines[0], 3);
        c.max_events = 1000;
        if (zs_start(c, &sim) != ZS_OK) return;
        fd = open(zs_slave_path(sim, 0).c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
    }
    ~Bench() {
        if (fd >= 0) close(fd);
        zs_stop(&sim);
    }
    bool read_n(size_t n) {
        uint8_t b[4096];
        size_t got = 0;
        while (got < n) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return false;
            const ssize_t r = read(fd, b, std::min(sizeof b, n - got));
            if (r <= 0) return false;
            got += size_t(r);
        }
        return true;
    }
};

void BM_FrameRoundTrip(benchmark::State &state) {
    Bench b;
    if (b.fd < 0) {
        state.SkipWithError("no simulation");
        return;
    }
    for (auto _ : state) {
        if (write(b.fd, b.req, sizeof b.req) != ssize_t(sizeof b.req) || !b.read_n(10)) {
            state.SkipWithError("no answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameRoundTrip)->UseRealTime();

void BM_FrameWindow(benchmark::State &state) {
    Bench b;
    const size_t window = size_t(state.range(0));
    std::vector<uint8_t> burst;
    for (size_t i = 0; i < window; ++i) burst.insert(burst.end(), b.req, b.req + 10);
    for (auto _ : state) {
        if (b.fd < 0 || write(b.fd, burst.data(), burst.size()) != ssize_t(burst.size()) ||
            !b.read_n(burst.size())) {
            state.SkipWithError("no answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(window));
}
BENCHMARK(BM_FrameWindow)->Arg(32)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
