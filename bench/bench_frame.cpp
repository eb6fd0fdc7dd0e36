// Command frames: the cost of building a frame and checking an answer, and of
// one whole transaction (write, answer, judge) against a simulated monitor on a
// pseudo-terminal. The transaction goes through the frame layer's transport
// seam, here a plain reader and writer over the platform serial layer.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "platform/serial.h"
#include "velquor/link/com_action.h"
#include "zelbsim.h"

namespace {

void BM_FrameBuildAndCheck(benchmark::State &state) {
    uint8_t frame[zelb_frame_len];
    uint32_t i = 0;
    for (auto _ : state) {
        create_zelb_buffer(frame, uint8_t(i), startc, stopc_ack, i, 0x208C);
        const bool good = get_cks_ZELB_10(frame) == frame[7] && frame[8] == 0xFE && frame[9] == 0;
        benchmark::DoNotOptimize(good);
        benchmark::DoNotOptimize(frame);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameBuildAndCheck);

int bench_fd = -1;

char bench_write(const uint8_t *buff, uint32_t n) { return bench_ser_write(bench_fd, buff, n); }
char bench_read(uint8_t *buff, uint32_t n, uint32_t *nread) {
    return bench_ser_read(bench_fd, buff, n, nread);
}

// One query (0xB000, extended information) answered by monitor 1.
void BM_TransactionPty(benchmark::State &state) {
    std::string err;
    zs_sim *sim = bench_start_pty_sim(&err);
    if (!sim) {
        state.SkipWithError(("simulator: " + err).c_str());
        return;
    }
    plat::SerialSettings s;
    s.parity = plat::Parity::Even;
    if (plat::ser_open(zs_slave_path(sim, 0).c_str(), &bench_fd) != plat::SER_OK ||
        plat::ser_set_settings(bench_fd, s) != plat::SER_OK ||
        plat::ser_set_read_timeout(bench_fd, 2000) != plat::SER_OK) {
        state.SkipWithError("cannot open the simulator's pty");
        plat::ser_close(&bench_fd);
        zs_stop(&sim);
        return;
    }
    mc_frame_write = bench_write;
    mc_frame_read = bench_read;
    for (auto _ : state) {
        uint32_t cmd = 0xB000, val = 0;
        const char rv = send_single_send_zelb(1, &cmd, &val, 1);
        if (rv != 0) {
            state.SkipWithError(("transaction failed with id " + std::to_string(int(rv))).c_str());
            break;
        }
    }
    mc_frame_transport_reset();
    plat::ser_close(&bench_fd);
    zs_stop(&sim);
}
BENCHMARK(BM_TransactionPty)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
