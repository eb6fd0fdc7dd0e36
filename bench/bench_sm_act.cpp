// Sequencer figures: how long after a timer-173 expiry the next step runs on
// the worker, and what a run parked for its delay costs in CPU time.
//   bench_sm_act [--short]   (--short parks 2 s instead of 10 s)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/loop.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_main.h"

using Clock = std::chrono::steady_clock;

namespace {

std::atomic<int64_t> g_fired_ns{0};
std::vector<double> g_lat_us;
std::atomic<int> g_left{0};

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Step 1 parks for 1 ms and comes back to step 2, which measures and loops.
char st_park() { return 1; }
char st_measure() {
    g_lat_us.push_back((now_ns() - g_fired_ns.load()) / 1000.0);
    return --g_left > 0 ? 1 : 0;
}
char st_idle() { return 1; }

const tm_func_table_t kTab[] = {
    {1, st_park, 2, 0, 0, 1},
    {2, st_measure, 1, 0, 0, 0},
    {3, st_idle, 0, 0, 0, 10000},
};

void on_timer(int, unsigned id) {
    if (id == sm_timer_resume) {
        g_fired_ns = now_ns();
        sm_on_timer_173();
    } else if (id == sm_timer_end) {
        plat::loop_kill_timer(hwndMain, id);
    }
}

double cpu_ms() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
    bool short_run = argc > 1 && strcmp(argv[1], "--short") == 0;
    plat::loop_init();
    plat::loop_set_timer_handler(on_timer);
    hwndMain = 1;
    sm_set_table(kTab, 3);

    g_left = 1000;
    g_lat_us.reserve(1000);
    sm_start_liste1(hwndMain, 1);
    plat::loop_run_until([] { return g_left.load() <= 0 && sm_workers_running() == 0; }, 60000);
    if (g_lat_us.empty()) {
        printf("no wake-up measured\n");
        return 1;
    }
    std::sort(g_lat_us.begin(), g_lat_us.end());
    printf(
        "timer 173 expiry to next step on the worker, %zu wake-ups: median %.1f us, p99 %.1f us\n",
        g_lat_us.size(), g_lat_us[g_lat_us.size() / 2], g_lat_us[g_lat_us.size() * 99 / 100]);

    int park_ms = short_run ? 2000 : 10000;
    sm_start_liste1(hwndMain, 3);
    plat::loop_run_until([] { return sm_waitme.load() == 1; }, 5000);
    double c0 = cpu_ms();
    plat::loop_run_until(nullptr, park_ms);
    printf("run parked for %d s: %.2f ms CPU (worker and loop together)\n", park_ms / 1000,
           cpu_ms() - c0);
    return 0;
}
