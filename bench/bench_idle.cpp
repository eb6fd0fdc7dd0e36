// What the idle main window costs: the program's own main window on the
// headless window layer, created as the program creates it (vq_create_window,
// its first build from timer 171, the hidden status dialogs), then the loop
// left running (win_run, as the program runs it) with nothing to do for
// 10 s. Prints the CPU time the process used in that time (getrusage, user
// and system) and how often it gave up the processor of its own accord
// (voluntary context switches: the loop's waits that ended, a measure of its
// wake-ups).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/loop.h"
#include "platform/win.h"
#include "velquor/ui/velquor_main.h"

namespace {

constexpr int kIdleMs = 10000;

double cpu_ms(const rusage &u) {
    return u.ru_utime.tv_sec * 1e3 + u.ru_utime.tv_usec / 1e3 + u.ru_stime.tv_sec * 1e3 +
           u.ru_stime.tv_usec / 1e3;
}

}  // namespace

int main() {
    vq_wire();
    plat::win_use_headless();
    if (vq_create_window(false) == -1) {
        std::printf("the main window could not be created\n");
        return 0;
    }
    if (!plat::win_pump_until([] { return is_start == 1; }, 10000)) {
        std::printf("the main window's first build did not run\n");
        return 0;
    }
    plat::win_pump_until([] { return false; }, 200);  // whatever the build left to do

    // The program's own loop (win_run), ended from outside after the idle time.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        plat::win_quit(0);
    });
    plat::win_run();
    getrusage(RUSAGE_SELF, &after);
    stopper.join();

    const double cpu = cpu_ms(after) - cpu_ms(before);
    const long wakes = after.ru_nvcsw - before.ru_nvcsw;
    std::printf(
        "idle main window for %d s: %.2f ms CPU (%.3f ms per s), %ld wake-ups (%.1f per s)\n",
        kIdleMs / 1000, cpu, cpu / (kIdleMs / 1000.0), wakes, wakes / (kIdleMs / 1000.0));

    plat::win_close(hwndMain);
    plat::win_shutdown();
    return 0;
}
