// First monitor operations and their status display: the cost of one redraw
// of the progress dialog on the headless window layer, and the time of one
// whole key press (sequencer, session, frame, answer, end step, end timer)
// against a simulated monitor on a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_window.h"
#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/link/com_poi.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"
#include "zelbsim.h"

namespace {

void BM_StatusRedraw(benchmark::State &state) {
    bench_open_windows();
    set_titeltx("FS: PC->TFT ");
    setdlg_stat_txt("Line:", "of", nullptr);
    stat_set_max(200);
    int32_t i = 0;
    for (auto _ : state) {
        stat_set_act(i++ % 200);
        set_auto_titel();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StatusRedraw);

// One key press from the dispatcher's start to idle, end timer included.
void BM_KeyPressOverPty(benchmark::State &state) {
    bench_open_windows();
    std::string err;
    zs_sim *sim = bench_start_pty_sim(&err);
    if (!sim) {
        state.SkipWithError(err.c_str());
        return;
    }
    plat::ser_set_com_path(1, zs_slave_path(sim, 0).c_str());
    bench_bind_serial(true);
    com_mode = com_mode_rs232;
    sys_intf = 1;
    sys_zelb_nr = 1;
    for (auto _ : state) {
        dome = 1;
        sys_act = 0;
        send_key(122, 1);
        plat::win_pump_until(
            [] {
                return dome.load() == 0 && sm_workers_running() == 0 &&
                       !plat::loop_timer_armed(hwndMain, sm_timer_end);
            },
            30000);
    }
    bench_bind_serial(false);
    plat::ser_set_com_path(1, nullptr);
    zs_stop(&sim);
}
BENCHMARK(BM_KeyPressOverPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
