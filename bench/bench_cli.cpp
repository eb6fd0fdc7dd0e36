// velquor-cli from the outside, as a script runs it: the whole run of one
// command (start, link, operation, end) against the simulator, unpaced over
// TCP and over a pseudo-terminal, and paced at 9600 baud beside the time the
// bytes take on the wire plus the delays of the action table's rows.
//
//   build/bench/bench_cli [runs]      (default 50 runs per figure)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "zelbsim.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds of one run of velquor-cli with args; -1 when it failed.
double run_once(const std::vector<std::string> &args) { return bench_run_cli(args).ms; }

// Median and 95th percentile of `runs` runs; false when one failed.
bool measure(const char *what, const std::vector<std::string> &args, int runs, double limit_ms) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double ms = run_once(args);
        if (ms < 0) {
            printf("%-40s failed\n", what);
            return false;
        }
        t.push_back(ms);
    }
    std::sort(t.begin(), t.end());
    printf("%-40s median %7.1f ms  p95 %7.1f ms", what, t[t.size() / 2], t[t.size() * 95 / 100]);
    if (limit_ms > 0) printf("  (wire and row delays %.1f ms)", limit_ms);
    printf("\n");
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    // NOLINTNEXTLINE(cert-err34-c): a count typed by hand; what is no number counts as 1
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const std::string dir = "/tmp/vq_bench_cli";
    std::string err;
    zs_config cfg;
    zs_line_cfg tcp, pty, paced;
    tcp.kind = ZS_TCP;
    tcp.addr = "127.0.0.61";
    pty.link = dir + "/tty";
    paced.link = dir + "/tty_paced";
    paced.pace = true;
    for (zs_line_cfg *l : {&tcp, &pty, &paced}) zs_line_set_count(l, 3);
    cfg.lines = {tcp, pty, paced};
    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        printf("simulator: %s\n", err.c_str());
        return 1;
    }
    const std::string conf = dir + "/none.cfg";  // no configuration: the defaults
    measure("ping, unpaced, TCP", {"--config", conf, "--ip", tcp.addr, "ping"}, runs, 0);
    measure("ping, unpaced, pty", {"--config", conf, "--port", pty.link, "ping"}, runs, 0);
    // A paced 9600 8E1 byte takes 11 bits. info asks seven questions of ten
    // bytes each way; its row waits 1 ms before the end step.
    const double byte_ms = 11.0 * 1000.0 / 9600.0;
    measure("ping, paced 9600, pty", {"--config", conf, "--port", paced.link, "ping"}, runs,
            2 * 10 * byte_ms + 1);
    measure("info, paced 9600, pty",
            {"--config", conf, "--port", paced.link, "--monitor", "2", "info"}, runs,
            7 * 2 * 10 * byte_ms + 1);
    // A macro step of ten commands to monitors 1, 2, 3, 1, ...: each frame and
    // its answer on the wire, and the chain's pauses (10 ms each for the start,
    // the list set-up, the walk and the opening, 1 ms each after the frames
    // and at the end).
    {
        FILE *f = fopen((dir + "/ten.vqm").c_str(), "w");
        if (f) {
            fprintf(f, "Ten <ten commands>\n");
            for (int i = 0; i < 10; ++i) fprintf(f, ":%d 0x1234 %d\n", i % 3 + 1, i);
            fclose(f);
        }
    }
    measure("macro step of 10, unpaced, pty",
            {"--config", conf, "--port", pty.link, "macro", dir + "/ten.vqm", "1"}, runs, 0);
    measure("macro step of 10, paced 9600, pty",
            {"--config", conf, "--port", paced.link, "macro", dir + "/ten.vqm", "1"}, runs,
            10 * 2 * 10 * byte_ms + 4 * 10 + 2);
    zs_stop(&sim);
    return 0;
}
