// The file system's transfers: reading and writing a dump file of 200 entries
// in memory and on disk, and the upload and download of one monitor through
// velquor-cli against the simulator, paced at 9600 baud beside their floor
// (the bytes of every frame on the wire plus the delays of the action table's
// rows), and unpaced (steps per second, CPU time of the program).
//
//   build/bench/bench_fs [entries]      (default 100 entries and four gamma tables)
//
// The paced runs take about two minutes each for 100 entries: that is the
// floor of the line, not of the program.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/util/files.h"
#include "zelbsim.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// ---------------------------------------------------------------- the dump file

// 200 entries of random words and four tables of 32 points, as an upload has them.
void fill_dump_state(std::vector<std::vector<int32_t>> *ents) {
    std::mt19937 rng(3);
    ents->assign(fs_file_max_entries, std::vector<int32_t>(fs_ent_words));
    for (auto &w : *ents) {
        w[0] = static_cast<int32_t>((rng() & 0xFF) << 8 | (0xA1 + rng() % 15));
        for (int j = 1; j < fs_ent_words; ++j) w[j] = static_cast<int32_t>(rng() & 0xFFFF);
    }
    for (const gamma_kind_T &k : gamma_kinds) {
        k.tab->rt = {640, 330};
        k.tab->gue = {300, 600};
        k.tab->bl = {150, 60};
        k.tab->wt = {313, 329};
        k.tab->count = gamma_max_points;
        for (gamma_tab_entry__T &e : k.tab->ent)
            e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    }
}

void bench_dump(const std::string &dir) {
    std::vector<std::vector<int32_t>> ents;
    fill_dump_state(&ents);
    const std::string path = dir + "/d.vqf";
    std::vector<double> wr, rd;
    for (int run = 0; run < 50; ++run) {
        auto t0 = Clock::now();
        FILE *f = fopen(path.c_str(), "wb");
        for (const auto &w : ents) fs_print_entry(f, w.data());
        for (const gamma_kind_T &k : gamma_kinds) print_gamma_block(f, k.nr, k.name, k.tab);
        fclose(f);
        wr.push_back(ms_since(t0));
        t0 = Clock::now();
        FILE *r = nullptr;
        mf_fopen(&r, path.c_str(), mf_read);
        sys_f_rv = 0;
        const char ok = buffer_fs_file(r);
        mf_fclose(&r);
        rd.push_back(ms_since(t0));
        if (ok != 1) {
            printf("dump: the file did not read back\n");
            return;
        }
    }
    std::sort(wr.begin(), wr.end());
    std::sort(rd.begin(), rd.end());
    struct stat st {};
    stat(path.c_str(), &st);
    printf("dump of 200 entries and 4 gamma tables (%ld bytes)\n", static_cast<long>(st.st_size));
    printf("  write  median %6.3f ms  p95 %6.3f ms   (aim: under 5 ms)\n", wr[wr.size() / 2],
           wr[wr.size() * 95 / 100]);
    printf("  read   median %6.3f ms  p95 %6.3f ms   (aim: under 5 ms)\n", rd[rd.size() / 2],
           rd[rd.size() * 95 / 100]);
}

// ---------------------------------------------------------------- transfers

// Frames the line received since the last call.
uint64_t frames_since(zs_sim *sim, int line, uint64_t *last) {
    zs_line_stats st;
    zs_get_stats(sim, line, &st);
    const uint64_t n = st.frames - *last;
    *last = st.frames;
    return n;
}

// The delays the action table prescribes, in ms. Upload: 10 ms after the
// first two steps, after each selection and after each of the 33 reads of
// an entry; the gamma rows wait 0. Download into an empty monitor: 500 ms
// before the address is opened, then per entry 1 ms after the session
// command, the create, each of the first 30 writes and the closing session.
double upload_delays(int n) { return 20.0 + 340.0 * n; }
double download_delays(int n) { return 500.0 + 33.0 * n; }

// Sequencer steps of a transfer of n entries (the gamma work runs inside a
// few steps of its own).
double upload_steps(int n) { return 2 + n * (1 + 33 * 2 + 1) + 1 + 12 + 1; }
double download_steps(int n) { return 4 + n * (1 + 1 + 1 + 1 + 1 + 31 + 1) + 1; }

void report(const char *what, const bench_cli_run &r, uint64_t frames, double floor_ms) {
    if (r.ms < 0) {
        printf("  %-30s failed\n", what);
        return;
    }
    printf("  %-30s %9.1f ms   floor %9.1f ms   ratio %.3f   (%llu frames, CPU %.0f ms)\n", what,
           r.ms, floor_ms, r.ms / floor_ms, static_cast<unsigned long long>(frames), r.cpu_ms);
}

}  // namespace

int main(int argc, char **argv) {
    // NOLINTNEXTLINE(cert-err34-c): a count typed by hand; what is no number counts as 1
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
    const std::string dir = "/tmp/vq_bench_fs";
    mkdir(dir.c_str(), 0755);
    bench_dump(dir);

    // Monitor 1 of each line holds the entries; monitor 2 receives them.
    const std::string e1 = "1.1:" + std::to_string(n), e2 = "2.1:" + std::to_string(n);
    const std::string paced_link = dir + "/tty_paced", free_link = dir + "/tty";
    std::vector<const char *> args = {
        "zelbsim",    "--pty",       paced_link.c_str(), "--pty",      free_link.c_str(),
        "--monitors", "2",           "--fs-random",      e1.c_str(),   "--fs-gamma",
        "1.1:4",      "--fs-random", e2.c_str(),         "--fs-gamma", "2.1:4"};
    zs_config cfg;
    std::string err;
    if (zs_parse_args(int(args.size()), args.data(), &cfg, &err) != ZS_OK) {
        printf("simulator: %s\n", err.c_str());
        return 1;
    }
    cfg.lines[0].pace = true;
    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        printf("simulator: %s\n", err.c_str());
        return 1;
    }
    const std::string conf = dir + "/none.cfg", file = dir + "/m.vqf";
    // A paced 9600 8E1 byte takes 11 bits; a command and its answer are 20 bytes.
    const double frame_ms = 20 * 11.0 * 1000.0 / 9600.0;
    uint64_t last = 0;
    frames_since(sim, 0, &last);

    printf("monitor of %d entries and 4 gamma tables, paced at 9600 baud (pty):\n", n);
    bench_cli_run r =
        bench_run_cli({"--config", conf, "--port", paced_link, "--monitor", "1", "upload", file});
    uint64_t f = frames_since(sim, 0, &last);
    report("upload (TFT -> PC)", r, f, f * frame_ms + upload_delays(n));
    r = bench_run_cli({"--config", conf, "--port", paced_link, "--monitor", "2", "download", file});
    f = frames_since(sim, 0, &last);
    report("download (PC -> TFT)", r, f, f * frame_ms + download_delays(n));

    printf("the same, unpaced (pty):\n");
    last = 0;
    frames_since(sim, 1, &last);
    r = bench_run_cli({"--config", conf, "--port", free_link, "--monitor", "1", "upload", file});
    f = frames_since(sim, 1, &last);
    report("upload (TFT -> PC)", r, f, upload_delays(n));
    if (r.ms > 0) printf("  %-30s %9.0f steps/s\n", "", upload_steps(n) * 1000.0 / r.ms);
    r = bench_run_cli({"--config", conf, "--port", free_link, "--monitor", "2", "download", file});
    f = frames_since(sim, 1, &last);
    report("download (PC -> TFT)", r, f, download_delays(n));
    if (r.ms > 0) printf("  %-30s %9.0f steps/s\n", "", download_steps(n) * 1000.0 / r.ms);
    zs_stop(&sim);
    return 0;
}
