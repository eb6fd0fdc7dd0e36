// The interface scan over all 99 COM numbers, against its physical limit: the
// chain waits 100 ms after its first step and 10 ms between two ports, so a
// scan of 99 numbers cannot take less than about 1.09 s. Two runs: no port
// exists (every number names a missing device), and 3 of the 99 are simulated
// lines of one monitor each. The figures: the whole scan, and what a missing
// port costs beyond its 10 ms step delay (the aim is under 1 ms).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench_window.h"
#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/link/com_poi.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"
#include "zelbsim.h"

namespace {

constexpr double init_delay_ms = 100, step_delay_ms = 10;

void set_up() {
    if (hwndMain != -1) return;
    bench_open_windows();
    bench_bind_serial(true);
    com_mode = com_mode_rs232;
    sc_to = 1;
    sc_intf_s = 1;
    sc_intf_e = 99;
    // Numbers without a line name a device that does not exist: no real port is touched.
    for (int n = 1; n <= 99; ++n)
        plat::ser_set_com_path(n, ("/nonexistent/vq-bench/com" + std::to_string(n)).c_str());
}

// One whole scan, from its start until the chain has ended; ms.
double scan_ms() {
    using Clock = std::chrono::steady_clock;
    dome = 1;
    sys_act = 0;
    const auto t0 = Clock::now();
    sm_start_liste1(hwndMain, ix_sc_intf_init);
    plat::win_pump_until([] { return dome.load() == 0; }, 60000);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    plat::win_pump_until(
        [] { return sm_workers_running() == 0 && !plat::loop_timer_armed(hwndMain, sm_timer_end); },
        30000);
    return ms;
}

double g_none_ms = 0;  // the scan without ports, for the cost of the existing ones

void BM_Scan99Missing(benchmark::State &state) {
    set_up();
    double sum = 0;
    for (auto _ : state) sum += scan_ms();
    const double ms = sum / static_cast<double>(state.iterations());
    g_none_ms = ms;
    state.counters["scan_ms"] = ms;
    state.counters["missing_port_ms"] = (ms - init_delay_ms) / 99;
    state.counters["beyond_step_ms"] = (ms - init_delay_ms) / 99 - step_delay_ms;
}
BENCHMARK(BM_Scan99Missing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Scan99With3(benchmark::State &state) {
    set_up();
    std::string err;
    zs_config cfg;
    cfg.lines.resize(3);
    for (zs_line_cfg &lc : cfg.lines) zs_line_set_count(&lc, 1);
    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        state.SkipWithError(err.c_str());
        return;
    }
    const int nums[3] = {2, 50, 99};
    for (int i = 0; i < 3; ++i) plat::ser_set_com_path(nums[i], zs_slave_path(sim, i).c_str());
    double sum = 0;
    for (auto _ : state) sum += scan_ms();
    const double ms = sum / static_cast<double>(state.iterations());
    state.counters["scan_ms"] = ms;
    state.counters["ports_found"] = scan_count;
    // An existing port costs what a missing one does plus its ping and queries.
    if (g_none_ms > 0)
        state.counters["existing_port_ms"] =
            (ms - g_none_ms) / 3 + (g_none_ms - init_delay_ms) / 99;
    for (int n : nums)
        plat::ser_set_com_path(n, ("/nonexistent/vq-bench/com" + std::to_string(n)).c_str());
    zs_stop(&sim);
}
BENCHMARK(BM_Scan99With3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
