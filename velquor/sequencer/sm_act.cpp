// Action sequencer: starts runs, steps through the action table on a worker
// thread, parks the worker for a step's delay and hands the end of a run back
// to the main thread.
//
// Hand-over between the worker and the main thread happens under sm_mu: the
// worker books a step's outcome (successor, park, end) under it, and the timer
// handlers and the start of a run change the state under it. The parked worker
// sleeps on sm_cv until the timer-173 handler (or a newer run) wakes it, so a
// parked run costs no CPU. Every run has a number; a worker whose run was
// superseded by a newer one (an immediate stop) leaves after the step it is in
// without touching the shared state again, and the end timer of a run does
// nothing while a newer run is still under way.
//
// Index: state; state helpers; starting a run; the worker and its stepping
// loop; steps; timer handlers; the table and test hooks.
#include "sm_act.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/io_stop.h"
#include "platform/loop.h"
#include "velquor/link/com_action.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

// ---------------------------------------------------------------- state

std::atomic<int32_t> ix_act{0};
std::atomic<int32_t> ix_timer{0};
std::atomic<int32_t> ix_next{0};
std::atomic<int32_t> sys_tm_ms{0};
std::atomic<uint8_t> sm_waitme{0};
std::atomic<int32_t> do_func_list[9] = {{0}, {0}, {0}, {0}, {0}, {0}, {0}, {0}, {ix_sm_last}};
std::atomic<uint8_t> sm_stop_request{0};
std::atomic<uint8_t> sm_stop_enabled{0};
std::atomic<uint8_t> dome{0};
uint8_t sys_act = 1;
uint8_t endcom_cwcall = cw_rebuild;
std::thread::id hsm_id;

namespace {

// Never destroyed: a worker may still be parked on them when the program
// exits, and destroying a condition variable with a waiter blocks for good.
std::mutex &sm_mu = *new std::mutex;
std::condition_variable &sm_cv = *new std::condition_variable;
std::atomic<uint32_t> sm_run{0};      // number of the newest run
int sm_workers = 0;                   // workers started and not yet left; under sm_mu
thread_local uint32_t sm_my_run = 0;  // the run this worker belongs to; 0 = not a worker
uint32_t sm_takeover_run = 0;         // a run started while a worker was inside a step; under sm_mu

const tm_func_table_t *sm_home = nullptr;  // the installed table
size_t sm_home_n = 0;
const tm_func_table_t *sm_tab = nullptr;  // the table runs step through
size_t sm_tab_n = 0;

// True on a worker whose run has been superseded. Decisive only under sm_mu,
// since the start of a run counts sm_run up under it.
bool sm_superseded() { return sm_my_run != 0 && sm_my_run != sm_run.load(); }

// Makes every run so far a superseded one (under sm_mu): its worker leaves
// after the step it is in, a parked one at once, and a worker inside a step
// that waits for I/O is released by the I/O stop, which the next run's worker
// clears once the older workers have left.
void sm_supersede() {
    sm_run.fetch_add(1);
    if (sm_workers > 0) {
        plat::io_stop_raise();
        sm_takeover_run = sm_run.load();
    }
    if (sm_waitme.load()) {
        plat::loop_kill_timer(hwndMain, sm_timer_resume);
        sm_waitme.store(0);
        ix_timer.store(0);
    }
}

const tm_func_table_t *sm_row(int32_t a) {
    if (a < 1 || static_cast<size_t>(a) > sm_tab_n) return nullptr;
    return &sm_tab[a - 1];
}

}  // namespace

// ---------------------------------------------------------------- state helpers

void sm_reset_list(void) {
    for (int i = 0; i < 8; ++i) do_func_list[i].store(0);
    do_func_list[8].store(ix_sm_last);
}

int32_t sm_list_get_next(void) {
    for (int i = 0; i < 9; ++i) {
        int32_t a = do_func_list[i].load();
        if (a == ix_sm_last) break;
        if (a != 0) {
            do_func_list[i].store(0);
            return a;
        }
    }
    return 0;
}

void sm_set_stop_request(void) { sm_stop_request.store(1); }
void sm_reset_stop_request(void) { sm_stop_request.store(0); }
uint8_t sm_get_stop_request(void) { return sm_stop_request.load(); }
void sm_set_stop_enabled(void) { sm_stop_enabled.store(1); }
void sm_reset_stop_enabled(void) {
    stat_dlgs_enab_stop(1);
    sm_stop_enabled.store(0);
}
uint8_t sm_get_stop_enabled(void) { return sm_stop_enabled.load(); }

void sm_reset(void) {
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        // The end step of a superseded worker must not clear the newer run.
        if (sm_superseded()) return;
        sys_tm_ms.store(0);
        ix_next.store(0);
        ix_act.store(0);
    }
    sm_reset_list();
    sm_reset_stop_request();
    sm_reset_stop_enabled();
}

// ---------------------------------------------------------------- starting a run

void sm_start_liste8(int hwnd, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                     int32_t a6, int32_t a7, int32_t a8) {
    // A run started while another is parked or inside a step supersedes it:
    // the old worker must neither be released by its pending delay timer nor
    // go on with its chain.
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        sm_supersede();
    }
    sm_cv.notify_all();
    sm_reset();
    const int32_t rest[7] = {a2, a3, a4, a5, a6, a7, a8};
    for (int i = 0; i < 7; ++i) do_func_list[i].store(rest[i]);
    ix_act.store(a1);
    sm_do_cmd(hwnd);
}

void sm_start_liste1(int hwnd, int32_t a1) { sm_start_liste8(hwnd, a1, 0, 0, 0, 0, 0, 0, 0); }
void sm_start_liste2(int hwnd, int32_t a1, int32_t a2) {
    sm_start_liste8(hwnd, a1, a2, 0, 0, 0, 0, 0, 0);
}
void sm_start_liste3(int hwnd, int32_t a1, int32_t a2, int32_t a3) {
    sm_start_liste8(hwnd, a1, a2, a3, 0, 0, 0, 0, 0);
}
void sm_start_liste7(int hwnd, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                     int32_t a6, int32_t a7) {
    sm_start_liste8(hwnd, a1, a2, a3, a4, a5, a6, a7, 0);
}

// ---------------------------------------------------------------- the worker

void sm_do_cmd(int hwnd) {
    (void)hwnd;
    uint32_t run = sm_run.load();
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        ++sm_workers;
    }
    // std::thread reports a thread that cannot be created by throwing. The
    // run then fails like a step would, and its end step reports the error.
    try {
        std::thread t(SMThreadProc, run);
        hsm_id = t.get_id();
        t.detach();
    } catch (const std::system_error &) {
        {
            std::lock_guard<std::mutex> lk(sm_mu);
            --sm_workers;
            ix_act.store(0);
        }
        sys_rv = mc_e_err;
        plat::loop_set_timer(hwndMain, sm_timer_end, sm_end_delay_ms);
    }
}

int SMThreadProc(uint32_t run) {
    sm_my_run = run;
    {
        // The workers of older runs leave first: one may be inside a step that
        // uses the link, which this run's steps (an end step closing it, for
        // one) must not touch before it is done with it.
        std::unique_lock<std::mutex> lk(sm_mu);
        sm_cv.wait(lk, [] { return sm_workers == 1 || sm_superseded(); });
        if (!sm_superseded()) {
            plat::io_stop_clear();
            sm_waitme.store(0);
            // What the stopped step recorded (a read the stop ended, say) is
            // no error of this run's.
            if (sm_takeover_run == run) {
                sys_rv = 0;
                sys_f_rv = 0;
            }
        }
    }
    char r = 2;
    for (;;) {
        {
            std::unique_lock<std::mutex> lk(sm_mu);
            sm_cv.wait(lk, [] { return sm_waitme.load() == 0 || sm_superseded(); });
            if (sm_superseded()) break;
        }
        r = sm_do_cmd1(hwndMain);
        if (r != 0) break;
    }
    // Arming the end timer and leaving are one step for the timer-165
    // handler, which asks whether a worker is still under way.
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        if (r == 1 && !sm_superseded())
            plat::loop_set_timer(hwndMain, sm_timer_end, sm_end_delay_ms);
        --sm_workers;
    }
    sm_cv.notify_all();  // a newer run's worker may wait for this one to leave
    return 0;
}

void sm_stop_all(void) {
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        sm_supersede();
        plat::loop_kill_timer(hwndMain, sm_timer_end);
    }
    sm_cv.notify_all();
}

char sm_do_cmd1(int hwnd) {
    (void)hwnd;
    char result = 1;
    int32_t act;
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        if (sm_superseded()) return 2;
        act = ix_act.load();
    }
    // `act` is this worker's own copy of the next action: once a newer run has
    // started, ix_act belongs to the newer run's worker.
    while (act != 0) {
        const tm_func_table_t *row = sm_row(act);
        if (!row) {  // an action outside the table ends the run
            std::lock_guard<std::mutex> lk(sm_mu);
            if (sm_superseded()) return 2;
            ix_act.store(0);
            return 1;
        }
        char v = row->do_ptr ? row->do_ptr() : sm_step_missing();

        std::lock_guard<std::mutex> lk(sm_mu);
        if (sm_superseded()) return 2;  // an immediate stop came while the step ran
        ix_timer.store(0);
        row = sm_row(ix_act.load());
        if (!row) {  // the step reset the sequencer: the run ends
            ix_act.store(0);
            return 1;
        }
        sys_tm_ms.store(row->tm_ms);
        if (v == 0) {
            act = row->ix_doerr;
            result = 1;
        } else if (v == 2) {
            act = row->ix_dono;
            result = 1;
        } else if (ix_next.load() != 0) {
            act = ix_next.exchange(0);
            result = 1;
        } else if (row->tm_ms > 0) {
            ix_timer.store(row->ix_doyes);
            act = 0;
            sm_waitme.store(1);
            plat::loop_set_timer(hwndMain, sm_timer_resume, static_cast<uint32_t>(row->tm_ms));
            result = 0;
        } else {
            act = row->ix_doyes;
            result = 1;
        }
        ix_act.store(act);
    }
    return result;
}

// ---------------------------------------------------------------- steps

char sm_stopme(void) {
    endcom_cwcall = cw_rebuild;
    sm_run_step(ix_end_com);
    return 0;
}

char sm_step_missing(void) {
    sys_rv = mc_e_err;
    return 0;
}

char sm_run_step(int32_t a) {
    if (a < 1 || static_cast<size_t>(a) > sm_home_n) return 0;
    const sm_step_t step = sm_home[a - 1].do_ptr;
    return step ? step() : 0;
}

// ---------------------------------------------------------------- timer handlers

void sm_on_timer_173(void) {
    plat::loop_kill_timer(hwndMain, sm_timer_resume);
    {
        std::lock_guard<std::mutex> lk(sm_mu);
        if (!sm_waitme.load()) return;  // stale: the parked run was superseded
        sys_tm_ms.store(0);
        ix_act.store(ix_timer.load());
        sm_waitme.store(0);
    }
    sm_cv.notify_all();
}

void sm_on_timer_165(void) {
    plat::loop_kill_timer(hwndMain, sm_timer_end);
    {
        // A newer run started within the 100 ms: its worker uses the link and
        // the list now, and its own end step will do this run's ending too.
        std::lock_guard<std::mutex> lk(sm_mu);
        if (sm_workers != 0) return;
    }
    sm_run_step((sys_act & 8) ? ix_end_com : ix_end_com1);
    // A chain that ended without its own end step may leave a list entry
    // here, where no worker is left to take it: start it, else the operation
    // would stay busy for good.
    int32_t next = ix_next.exchange(0);
    if (next != 0) {
        ix_act.store(next);
        sm_do_cmd(hwndMain);
    }
}

// ---------------------------------------------------------------- the table and test hooks

void sm_install(const tm_func_table_t *tab, size_t n) {
    sm_home = tab;
    sm_home_n = tab ? n : 0;
    sm_tab = sm_home;
    sm_tab_n = sm_home_n;
}

void sm_set_table(const tm_func_table_t *tab, size_t n) {
    if (tab && n > 0) {
        sm_tab = tab;
        sm_tab_n = n;
    } else {
        sm_tab = sm_home;
        sm_tab_n = sm_home_n;
    }
}

int sm_workers_running(void) {
    std::lock_guard<std::mutex> lk(sm_mu);
    return sm_workers;
}
