// First monitor operations and their status display: the cost of one redraw
// of the progress dialog on the headless window layer, and the time of one
// whole key press (sequencer, session, frame, answer, end step, end timer)
// against a simulated monitor on a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
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

int main_proc(int, int msg, int p1, int) {
    if (msg == plat::WIN_MSG_TIMER) {
        if (p1 == static_cast<int>(sm_timer_resume)) sm_on_timer_173();
        if (p1 == static_cast<int>(sm_timer_end)) sm_on_timer_165();
        if (p1 == static_cast<int>(dlg_tm_idle)) dlg_idle_tick();
    }
    return 0;
}

// The helper library's serial primitives over the platform serial layer, as
// start-up would bind them.
char b_open(int *h, const char *intf) {
    char path[256];
    if (!h) return 10;
    if (!intf || !plat::ser_resolve_name(intf, path, sizeof path)) return 2;
    return plat::ser_open(path, h) == plat::SER_OK ? 0 : 3;
}
void b_close(int *h) { plat::ser_close(h); }
char b_timeouts(int h, uint32_t tor) {
    return plat::ser_set_read_timeout(h, tor) == plat::SER_OK ? 0 : 9;
}
void bind_serial(bool on) {
    mc_opencom = on ? b_open : nullptr;
    mc_CloseCom = on ? b_close : nullptr;
    set_comm_timeouts_zelb = on ? b_timeouts : nullptr;
    mc_read_com_buff = on ? bench_ser_read : nullptr;
    mc_writecom_buff = on ? bench_ser_write : nullptr;
}

void ensure_windows() {
    if (hwndMain != -1) return;
    vq_wire();
    plat::win_use_headless();
    plat::WinMainArgs a;
    a.proc = main_proc;
    hwndMain = plat::win_create_main(a);
    dlgopen_stat();
    dlgopen_staterr();
}

void BM_StatusRedraw(benchmark::State &state) {
    ensure_windows();
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
    ensure_windows();
    std::string err;
    zs_sim *sim = bench_start_pty_sim(&err);
    if (!sim) {
        state.SkipWithError(err.c_str());
        return;
    }
    plat::ser_set_com_path(1, zs_slave_path(sim, 0).c_str());
    bind_serial(true);
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
    bind_serial(false);
    plat::ser_set_com_path(1, nullptr);
    zs_stop(&sim);
}
BENCHMARK(BM_KeyPressOverPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
