// The zelbsim program: parses the options, starts the simulation, prints one "ready" line,
// and waits for SIGINT or SIGTERM. Then it stops the simulation (which removes its symlinks)
// and prints the summary. --help and --version print their text and end. Exit codes: 0 after a
// signal (and for --help and --version), 1 when the start failed, 2 for a bad command line.
#include "zelbsim.h"

#include <pthread.h>
#include <csignal>
#include <cstdio>

int main(int argc, char **argv) {
    zs_config cfg;
    std::string err;
    const int rc = zs_parse_args(argc, argv, &cfg, &err);
    if (rc == ZS_HELP || rc == ZS_VERSION) {
        std::fputs(rc == ZS_HELP ? zs_help_text() : zs_version_text(), stdout);
        return 0;
    }
    if (rc) {
        std::fprintf(stderr, "zelbsim: %s\n(see zelbsim --help)\n", err.c_str());
        return 2;
    }

    // The signals are taken with sigwait below; the simulation's thread inherits the mask.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        std::fprintf(stderr, "zelbsim: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\n", zs_ready_text(sim).c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&sigs, &sig);
    const std::string summary = zs_summary(sim);
    zs_stop(&sim);
    std::printf("zelbsim: stopped by %s\n%s", sig == SIGINT ? "SIGINT" : "SIGTERM",
                summary.c_str());
    return 0;
}
