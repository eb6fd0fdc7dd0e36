// Timer accuracy of the main-thread loop: a worker arms a 1 ms timer, the
// main thread records how late the expiry ran; and the CPU the loop costs
// while it waits with nothing due.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/loop.h"

using Clock = std::chrono::steady_clock;

static Clock::time_point g_armed;
static std::atomic<int> g_fired{0};
static std::vector<double> g_late_us;

static void on_timer(int hwnd, unsigned id) {
    double us = std::chrono::duration<double, std::micro>(Clock::now() - g_armed).count() - 1000.0;
    plat::loop_kill_timer(hwnd, id);
    g_late_us.push_back(us);
    ++g_fired;
}

static double cpu_ms() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

int main() {
    plat::loop_init();
    plat::loop_set_timer_handler(on_timer);
    const int n = 1000;
    for (int i = 0; i < n; ++i) {
        int want = g_fired + 1;
        std::thread w([] {
            g_armed = Clock::now();
            plat::loop_set_timer(1, 173, 1);
        });
        w.join();
        plat::loop_run_until([&] { return g_fired >= want; }, 5000);
    }
    std::sort(g_late_us.begin(), g_late_us.end());
    printf("timer 1 ms armed from a worker, %d expiries: lateness median %.0f us, p99 %.0f us\n", n,
           g_late_us[g_late_us.size() / 2], g_late_us[g_late_us.size() * 99 / 100]);

    double c0 = cpu_ms();
    plat::loop_run_until(nullptr, 2000);
    printf("idle loop for 2 s without a predicate: %.2f ms CPU\n", cpu_ms() - c0);
    c0 = cpu_ms();
    plat::loop_run_until([] { return false; }, 2000);
    printf("idle loop for 2 s with a predicate: %.2f ms CPU\n", cpu_ms() - c0);
    return 0;
}
