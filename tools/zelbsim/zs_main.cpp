// The zelbsim program: parses the options, starts the simulation, prints one "ready" line,
// and waits for SIGINT or SIGTERM. Then it writes the file systems (--fs-save), stops the
// simulation (which removes its symlinks) and prints the summary. SIGUSR1 writes the file
// systems while it runs and prints one line when they are written. --help and --version print
// their text and end. Exit codes: 0 after a signal (and for --help and --version), 1 when the
// start failed or the file systems could not be written on exit, 2 for a bad command line.
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
    sigaddset(&sigs, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        std::fprintf(stderr, "zelbsim: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\n", zs_ready_text(sim).c_str());
    std::fflush(stdout);

    // The file systems as they are now to --fs-save's directory; false (with a message) when
    // they could not be written.
    auto save = [&]() {
        if (cfg.fs_save.empty()) return true;
        if (zs_fs_save(sim, cfg.fs_save, &err) == ZS_OK) {
            std::printf("zelbsim: file systems written to %s\n", cfg.fs_save.c_str());
            std::fflush(stdout);
            return true;
        }
        std::fprintf(stderr, "zelbsim: %s\n", err.c_str());
        return false;
    };
    int sig = 0;
    for (;;) {
        if (sigwait(&sigs, &sig) != 0 || sig != SIGUSR1) break;
        save();
    }
    const bool saved = save();
    const std::string summary = zs_summary(sim);
    zs_stop(&sim);
    std::printf("zelbsim: stopped by %s\n%s", sig == SIGINT ? "SIGINT" : "SIGTERM",
                summary.c_str());
    return saved ? 0 : 1;
}
