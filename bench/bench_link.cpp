// Link throughput: one 10-byte command and its answer over an IP link (converter
// packet out, plain answer back) against the simulator on 127.0.7.40, and the
// opening of an IP link (ICMP echo, connect, parameters) with its close.
//
// The opening is reported as median, 99th percentile and the count of slow
// ones rather than as a mean: reconnecting thousands of times a second over
// loopback reuses client ports still in TIME-WAIT (tcp_tw_reuse), and now and
// then such a SYN waits for the kernel's one-second retransmission. A mean
// would hide the typical figure behind those few.
#include "velquor/link/com_link.h"
#include "zelbsim.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const uint8_t kPing[10] = {0xAA, 0x55, 0x00, 0x00, 0x50, 0x00, 0x55, 0xA5, 0xFF, 0x00};

zs_sim *start_sim() {
    zs_config cfg;
    zs_line_cfg lc;
    lc.kind = ZS_TCP;
    lc.addr = "127.0.7.40";
    lc.port = 11111;
    zs_line_set_count(&lc, 1);
    cfg.lines.push_back(lc);
    zs_sim *sim = nullptr;
    std::string err;
    zs_start(cfg, &sim, &err);
    return sim;
}

char open_link() {
    is_inet = 1;
    com_mode = com_mode_ip;
    init_op_dat(com_mode, "127.0.7.40", &syscom, 2, 0);
    return mc_opencom_zelb();
}

void BM_IpTransaction(benchmark::State &st) {
    zs_sim *sim = start_sim();
    if (!sim || open_link() != 0) {
        st.SkipWithError("no link");
        zs_stop(&sim);
        return;
    }
    uint8_t ans[10];
    for (auto _ : st) {
        uint32_t n = 0;
        mc_write_syscom(kPing, 10);
        mc_read_syscom(ans, 10, &n);
        benchmark::DoNotOptimize(n);
    }
    mc_close_syscom();
    zs_stop(&sim);
}
BENCHMARK(BM_IpTransaction)->UseRealTime();

void open_close_figures(int n) {
    using Clock = std::chrono::steady_clock;
    zs_sim *sim = start_sim();
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < n; ++i) {
        const auto a = Clock::now();
        if (open_link() != 0) ++failed;
        mc_close_syscom();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
    }
    zs_stop(&sim);
    std::sort(ms.begin(), ms.end());
    const auto slow = std::count_if(ms.begin(), ms.end(), [](double v) { return v > 500.0; });
    printf(
        "IP link open and close, %d times: median %.3f ms, p99 %.3f ms, over 500 ms %ld, failed "
        "%d\n",
        n, ms[ms.size() / 2], ms[ms.size() * 99 / 100], static_cast<long>(slow), failed);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    open_close_figures(1000);
    return 0;
}
