// The zelbsim program: parses the options, starts the simulation, prints one "ready" line,
// and waits for SIGINT or SIGTERM. Then it writes the file systems (--fs-save) and the
// firmware images (--image-save), stops the simulation (which removes its symlinks) and
// prints the summary. SIGUSR1 writes them while it runs and prints one line for each kind
// when it is written. --help and --version print their text and end. Exit codes: 0 after a
// signal (and for --help and --version), 1 when the start failed or a file could not be
// written on exit, 2 for a bad command line.
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

    // The file systems and the firmware images as they are now to the directories of
    // --fs-save and --image-save; false (with a message) when one could not be written.
    auto report = [&](int rc, const char *what, const std::string &dir) {
        if (rc == ZS_OK) {
            std::printf("zelbsim: %s written to %s\n", what, dir.c_str());
            std::fflush(stdout);
            return true;
        }
        std::fprintf(stderr, "zelbsim: %s\n", err.c_str());
        return false;
    };
    auto save = [&]() {
        bool ok = true;
        if (!cfg.fs_save.empty())
            ok = report(zs_fs_save(sim, cfg.fs_save, &err), "file systems", cfg.fs_save);
        if (!cfg.image_save.empty())
            ok = report(zs_image_save(sim, cfg.image_save, &err), "firmware images",
                        cfg.image_save) &&
                 ok;
        return ok;
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
