// Shared by the benchmarks that run operations in-process: a headless main
// window whose procedure hands the sequencer and the status dialog their
// timers, and the helper library's serial primitives bound to the platform
// serial layer, as start-up would bind them.
#pragma once

#include <cstdint>

#include "bench_support.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_poi.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_main.h"

inline int bench_main_proc(int, int msg, int p1, int) {
    if (msg == plat::WIN_MSG_TIMER) {
        if (p1 == static_cast<int>(sm_timer_resume)) sm_on_timer_173();
        if (p1 == static_cast<int>(sm_timer_end)) sm_on_timer_165();
        if (p1 == static_cast<int>(dlg_tm_idle)) dlg_idle_tick();
    }
    return 0;
}

inline char bench_ser_open(int *h, const char *intf) {
    char path[256];
    if (!h) return 10;
    if (!intf || !plat::ser_resolve_name(intf, path, sizeof path)) return 2;
    return plat::ser_open(path, h) == plat::SER_OK ? 0 : 3;
}
inline void bench_ser_close(int *h) { plat::ser_close(h); }
inline char bench_ser_timeouts(int h, uint32_t tor) {
    return plat::ser_set_read_timeout(h, tor) == plat::SER_OK ? 0 : 9;
}

// Binds (or, with false, unbinds) the serial primitives.
inline void bench_bind_serial(bool on) {
    mc_opencom = on ? bench_ser_open : nullptr;
    mc_CloseCom = on ? bench_ser_close : nullptr;
    set_comm_timeouts_zelb = on ? bench_ser_timeouts : nullptr;
    mc_read_com_buff = on ? bench_ser_read : nullptr;
    mc_writecom_buff = on ? bench_ser_write : nullptr;
}

// Once per program: the headless main window and the two status dialogs.
inline void bench_open_windows() {
    if (hwndMain != -1) return;
    vq_wire();
    plat::win_use_headless();
    plat::WinMainArgs a;
    a.proc = bench_main_proc;
    hwndMain = plat::win_create_main(a);
    dlgopen_stat();
    dlgopen_staterr();
}
