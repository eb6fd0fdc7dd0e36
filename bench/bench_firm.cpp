// Firmware: loading and merging the built-in image and a file of the same
// size, the memory the line table takes, and the update and the bootstrap
// through velquor-cli against the simulator, paced at the line's rate, beside
// their floor (the bytes on the wire at that rate plus the pauses of the
// action table).
//
//   build/bench/bench_firm [records]   (default: the built-in image's 29 113
//                                       data records; the bootstrap sends a
//                                       tenth of them)
//
// The paced runs take about a minute together for the full image: that is the
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
#include <string>
#include <vector>

#include "bench_support.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/v5.068.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/util/files.h"
#include "zelbsim.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Resident memory of this process in KB.
long rss_kb(void) {
    FILE *f = fopen("/proc/self/statm", "r");
    long pages = 0, res = 0;
    if (f) {
        // NOLINTNEXTLINE(cert-err34-c): the kernel's page counts fit a long
        if (fscanf(f, "%ld %ld", &pages, &res) != 2) res = 0;
        fclose(f);
    }
    return res * (sysconf(_SC_PAGESIZE) / 1024);
}

// The first `records` data records of the built-in image (with the segment
// records among them and the end record) as a file with CR LF line ends.
void write_image_file(const std::string &path, int records) {
    FILE *f = fopen(path.c_str(), "wb");
    int data = 0;
    for (int i = 0; v5068[i]; ++i) {
        std::string l = v5068[i];
        l.erase(std::remove(l.begin(), l.end(), '\t'), l.end());
        const bool is_data = l.compare(7, 2, "00") == 0, is_end = l.compare(7, 2, "01") == 0;
        if (is_data && data++ >= records) continue;
        if (!is_end && !is_data && data >= records) continue;
        fprintf(f, "%s\r\n", l.c_str());
    }
    fclose(f);
}

void bench_load(const std::string &file) {
    const long before = rss_kb();
    std::vector<double> img, fil, cmp;
    for (int run = 0; run < 20; ++run) {
        sys_f_rv = 0;
        auto t0 = Clock::now();
        firm_to_buffer(nullptr, 0, 1);
        img.push_back(ms_since(t0));
        t0 = Clock::now();
        firm_compress();
        cmp.push_back(ms_since(t0));
        FILE *f = nullptr;
        mf_fopen(&f, file.c_str(), mf_read);
        sys_f_rv = 0;
        t0 = Clock::now();
        firm_to_buffer(f, 1, 0);
        fil.push_back(ms_since(t0));
        mf_fclose(&f);
    }
    const long after = rss_kb();
    for (auto *v : {&img, &fil, &cmp}) std::sort(v->begin(), v->end());
    printf("loading (median of 20):\n");
    printf("  built-in image, %d lines        %7.2f ms\n", 29122, img[10]);
    printf("  merging it                      %7.2f ms\n", cmp[10]);
    printf("  a file of the same, merged      %7.2f ms   (aim: under 30 ms)\n", fil[10]);
    printf(
        "  line table: %ld KB resident after loading (%ld KB before; 200 000 lines "
        "reserved, touched as used)\n",
        after, before);
}

// ---------------------------------------------------------------- transfers

// The line loop alone: the run less its fixed pauses and frames, beside the
// wire time of the lines.
void report_loop(const bench_cli_run &r, double wire_ms, double fixed_ms, double lines) {
    if (r.ms < 0) return;
    const double loop = r.ms - fixed_ms;
    printf("  %-34s %9.1f ms   wire  %9.1f ms   ratio %.3f   (%.0f us per line more)\n",
           "  its line loop", loop, wire_ms, loop / wire_ms, (loop - wire_ms) * 1000.0 / lines);
}

void report(const char *what, const bench_cli_run &r, double floor_ms) {
    if (r.ms < 0) {
        printf("  %-34s failed\n", what);
        return;
    }
    printf("  %-34s %9.1f ms   floor %9.1f ms   ratio %.3f   (CPU %.0f ms)\n", what, r.ms, floor_ms,
           r.ms / floor_ms, r.cpu_ms);
}

// The pauses of an update: 500 ms after the address, 10 ms after the
// checks and after the start command, 2 s after the rate switch, 5 s at the
// end; the frames before the transfer (ping, one 0xB000 per monitor, the
// start command; 10 bytes out and 10 back) at 9600 8E1.
double update_fixed_ms(int monitors) {
    const double frame = 20 * 11.0 * 1000.0 / 9600.0;
    return 500 + 10 + 10 + 2000 + 5000 + (2 + monitors) * frame;
}

}  // namespace

int main(int argc, char **argv) {
    // NOLINTNEXTLINE(cert-err34-c): a count typed by hand; what is no number counts as 1
    const int records = argc > 1 ? std::max(1, atoi(argv[1])) : 29113;
    const std::string dir = "/tmp/vq_bench_firm";
    mkdir(dir.c_str(), 0755);
    const std::string file = dir + "/fw_v5.h86", boot_file = dir + "/boot.h86";
    write_image_file(dir + "/full_v5.h86", 29113);
    bench_load(dir + "/full_v5.h86");
    write_image_file(file, records);
    write_image_file(boot_file, std::max(1, records / 10));
    setenv("VELQUOR_TEST_IMAGES", "1", 1);  // the boot loaders of this build are stand-ins

    // Line 0: one monitor; line 1: a chain of three; lines 2 and 3: a board in
    // its boot loader, one for each variant; line 4: one monitor, unpaced.
    const std::string one = dir + "/tty_one", chain = dir + "/tty_chain",
                      boot[2] = {dir + "/tty_boot1", dir + "/tty_boot2"}, fast = dir + "/tty_fast";
    // (The simulator numbers its lines from 1.)
    const std::vector<std::string> words = {
        "zelbsim", "--pty",        one,  "--pty",       chain, "--pty",       boot[0], "--pty",
        boot[1],   "--pty",        fast, "--bootstrap", "3",   "--bootstrap", "4",     "--monitors",
        "3",       "--restart-ms", "0"};
    std::vector<const char *> args;
    for (const std::string &w : words) args.push_back(w.c_str());
    zs_config cfg;
    std::string err;
    if (zs_parse_args(int(args.size()), args.data(), &cfg, &err) != ZS_OK) {
        printf("simulator: %s\n", err.c_str());
        return 1;
    }
    zs_line_set_count(&cfg.lines[0], 1);
    zs_line_set_count(&cfg.lines[4], 1);
    for (int i = 0; i < 4; ++i) cfg.lines[i].pace = true;
    zs_sim *sim = nullptr;
    if (zs_start(cfg, &sim, &err) != ZS_OK) {
        printf("simulator: %s\n", err.c_str());
        return 1;
    }
    const std::string conf = dir + "/none.cfg";

    // The lines an update sends: merged, as every simulated monitor knows 0xB000.
    FILE *f = nullptr;
    mf_fopen(&f, file.c_str(), mf_read);
    sys_f_rv = 0;
    firm_to_buffer(f, 1, 0);
    mf_fclose(&f);
    const double lines = firm_lines, bytes = double(firm_table_bytes());
    printf(
        "update of %d data records: %.0f merged lines, %.0f bytes, paced at 576 000 baud "
        "8E1:\n",
        records, lines, bytes);
    const double bit_ms = 1000.0 / 576000;
    bench_cli_run r = bench_run_cli(
        {"--config", conf, "--port", one, "--monitor", "1", "firmware", file, "--baud", "576000"});
    // One monitor answers each line with one byte.
    const double wire_one = (bytes + lines) * 11 * bit_ms;
    report("one monitor", r, wire_one + update_fixed_ms(1));
    report_loop(r, wire_one, update_fixed_ms(1), lines);
    r = bench_run_cli({"--config", conf, "--port", chain, "--monitor", "0", "firmware", file,
                       "--baud", "576000"});
    // The chain echoes each line once it has it whole.
    const double wire_chain = 2 * bytes * 11 * bit_ms;
    report("a chain of three", r, wire_chain + update_fixed_ms(3));
    report_loop(r, wire_chain, update_fixed_ms(3), lines);
    // The program's own time per line: the same against an unpaced line.
    r = bench_run_cli(
        {"--config", conf, "--port", fast, "--monitor", "1", "firmware", file, "--baud", "576000"});
    if (r.ms > 0)
        printf("  unpaced, one monitor: line loop %.0f ms, %.1f us per line round trip\n",
               r.ms - update_fixed_ms(1), (r.ms - update_fixed_ms(1)) * 1000.0 / lines);

    mf_fopen(&f, boot_file.c_str(), mf_read);
    sys_f_rv = 0;
    firm_to_buffer(f, 0, 0);
    mf_fclose(&f);
    const double b_lines = firm_lines, b_bytes = double(firm_table_bytes());
    printf("bootstrap of %.0f records (%.0f bytes), paced at 57 600 baud 8N1:\n", b_lines, b_bytes);
    // 00 and its answer, the primary loader, the secondary byte by byte with
    // its echo, 0xCC, then each record and its acknowledgement; 100 ms before.
    const double b_bit_ms = 1000.0 / 57600;
    for (int k = 0; k < 2; ++k) {
        const char *variant = k == 0 ? "zelb3" : "am29lv150";
        const double sec = k == 0 ? 720 : 900;
        r = bench_run_cli(
            {"--config", conf, "--port", boot[k], "bootstrap", boot_file, "--variant", variant});
        const std::string what = std::string("bootstrap, ") + variant;
        report(what.c_str(), r, (2 + 32 + 2 * sec + 1 + b_bytes + b_lines) * 10 * b_bit_ms + 100);
    }
    zs_stop(&sim);
    return 0;
}
