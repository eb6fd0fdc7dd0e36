// Link throughput: one 10-byte command and its answer over an IP link (converter
// packet out, plain answer back) against the simulator on 127.0.7.40, and the
// opening of an IP link (ICMP echo, connect, parameters) with its close.
#include "velquor/link/com_link.h"
#include "zelbsim.h"

#include <benchmark/benchmark.h>

#include <string>

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

void BM_IpOpenClose(benchmark::State &st) {
    zs_sim *sim = start_sim();
    for (auto _ : st) {
        if (open_link() != 0) st.SkipWithError("open failed");
        mc_close_syscom();
    }
    zs_stop(&sim);
}
BENCHMARK(BM_IpOpenClose)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
