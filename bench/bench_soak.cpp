// Soak: N mixed operations run in-process against simulated monitors with
// random faults, alternating between a line on a pseudo-terminal (RS232, COM1)
// and a line behind a converter on a loopback address. Every operation the
// program reports as successful is checked against what the simulator itself
// recorded; a success the simulator did not see is a false success. The run
// also counts failed operations that leave the link open, watches the
// resident memory and prints the rate.
//
//   bench_soak [N [SEED]]     N operations (default 10000), faults from SEED (default 1)
//   VQ_SOAK_PPM=P             chance of each fault kind per answer, in parts per million
//                             (default 300)
//   VQ_SOAK_ADDR=127.X.Y.Z    loopback address of the TCP line (default 127.0.77.1)
//   VQ_SOAK_FIRM=K            one firmware update in K operations (default 500)
//   VQ_SOAK_TRACE=I           prints the simulator's events during operation I
//
// The program prints figures; it never fails a build and does not run in CI.
#include <dirent.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_window.h"
#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "support/hex_files.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/link/com_poi.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/util/files.h"
#include "zelbsim.h"

namespace {

using Clock = std::chrono::steady_clock;
using entry = std::array<uint16_t, ZS_FS_WORDS>;

// ---------------------------------------------------------------- the lines

constexpr int kPty = 0, kTcp = 1;
// Loopback only; port 11111 is the program's. VQ_SOAK_ADDR=127.x.y.z moves it,
// so that two runs can go on at once.
const char *g_tcp_addr = "127.0.77.1";
constexpr int kMonitors[2] = {3, 2};  // monitors of the pty line and of the TCP line

uint64_t g_seed = 1;
uint32_t g_ppm = 300;
int g_restarts = 0;  // simulator restarts (a line left in its loader)
zs_sim *g_sim = nullptr;

// One rule of every fault kind the simulator offers, each at g_ppm (a refused
// firmware record more often: the program sends a refused line again, and a
// firmware record is rare). The arguments are drawn from the seed.
std::vector<zs_fault> fault_rules(bool tcp, std::mt19937_64 &rng) {
    std::vector<zs_fault> v;
    auto add = [&](zs_fault_kind k, uint32_t arg, uint32_t ppm) {
        zs_fault f;
        f.kind = k;
        f.arg = arg;
        f.ppm = ppm;
        v.push_back(f);
    };
    add(ZS_F_SILENT, 0, g_ppm);
    add(ZS_F_SHORT, uint32_t(rng() % 10), g_ppm / 2);
    add(ZS_F_SHORT, uint32_t(rng() % 10), g_ppm / 2);
    add(ZS_F_CKS, 0, g_ppm);
    add(ZS_F_END, 0, g_ppm);
    add(ZS_F_ECHO, 0, g_ppm);
    add(ZS_F_DELAY, uint32_t(100 + rng() % 600), g_ppm / 2);   // within the 1 s time-out
    add(ZS_F_DELAY, uint32_t(1100 + rng() % 900), g_ppm / 2);  // beyond it
    add(ZS_F_GARBAGE, uint32_t(1 + rng() % 12), g_ppm);
    add(ZS_F_REFUSE, 0, g_ppm * 20 > 1000000 ? 1000000 : g_ppm * 20);
    // The connection dropped after some bytes; the chance is taken per connection.
    if (tcp) {
        add(ZS_F_DROP, uint32_t(20 + rng() % 60), g_ppm * 10);
        add(ZS_F_DROP, uint32_t(200 + rng() % 1500), g_ppm * 10);
    }
    return v;
}

bool start_sim(std::string *err) {
    std::mt19937_64 rng(g_seed * 1000003u + uint64_t(g_restarts));
    zs_config cfg;
    cfg.seed = uint32_t(g_seed * 7919u + uint64_t(g_restarts));
    cfg.max_events = 20000;
    cfg.lines.resize(2);
    cfg.lines[kPty].kind = ZS_PTY;
    cfg.lines[kTcp].kind = ZS_TCP;
    cfg.lines[kTcp].addr = g_tcp_addr;
    cfg.lines[kTcp].port = 11111;
    for (int l = 0; l < 2; ++l) {
        zs_line_set_count(&cfg.lines[l], kMonitors[l]);
        for (zs_monitor &m : cfg.lines[l].mons)
            m.restart_ms = 10;  // quick restarts after an update
        cfg.lines[l].faults = fault_rules(l == kTcp, rng);
    }
    if (zs_start(cfg, &g_sim, err) != ZS_OK) return false;
    plat::ser_set_com_path(1, zs_slave_path(g_sim, kPty).c_str());
    return true;
}

// Fault rules fired so far, summed over restarts: kind -> count.
std::map<std::string, uint64_t> g_fired;
void collect_fired() {
    for (int l = 0; l < 2; ++l)
        for (const zs_fault &f : zs_faults(g_sim, l)) g_fired[zs_fault_name(f.kind)] += f.fired;
}

void restart_sim() {
    collect_fired();
    zs_stop(&g_sim);
    ++g_restarts;
    std::string err;
    if (!start_sim(&err)) {
        std::fprintf(stderr, "bench_soak: the simulator did not start again: %s\n", err.c_str());
        std::exit(1);
    }
}

// ---------------------------------------------------------------- the operations

enum op_kind { OP_KEY, OP_INFO, OP_PING, OP_UPLOAD, OP_DOWNLOAD, OP_MACRO, OP_FIRM, OP_KINDS };
const char *const kKindName[OP_KINDS] = {"key",      "info",  "ping",    "upload",
                                         "download", "macro", "firmware"};

struct kind_stats {
    uint64_t run = 0, ok = 0, failed = 0, false_ok = 0, left_open = 0, hung = 0;
    double ms = 0;
};
kind_stats g_stats[OP_KINDS];
std::map<std::string, uint64_t> g_fail_why[OP_KINDS];
std::vector<std::string> g_false_cases, g_open_cases;
uint64_t g_stray_files = 0;

// For the crash handler: what runs now.
volatile sig_atomic_t g_cur_no = -1, g_cur_kind = -1, g_cur_line = -1;
struct sigaction g_old_act[65];

// Writes text to stderr; only calls that are safe in a signal handler.
void crash_put(const char *t) { (void)!::write(2, t, std::strlen(t)); }
void crash_put_num(long v) {
    char b[24];
    int i = sizeof b;
    b[--i] = 0;
    const bool neg = v < 0;
    unsigned long u = neg ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do b[--i] = char('0' + u % 10);
    while ((u /= 10) != 0 && i > 1);
    if (neg) b[--i] = '-';
    crash_put(b + i);
}

void on_crash(int sig) {
    const int kind = g_cur_kind;
    crash_put("\nbench_soak: CRASH (signal ");
    crash_put_num(sig);
    crash_put(") in operation ");
    crash_put_num(long(g_cur_no));
    crash_put(", kind ");
    crash_put(kind >= 0 && kind < OP_KINDS ? kKindName[kind] : "-");
    crash_put(", line ");
    crash_put(g_cur_line == kPty ? "pty\n" : g_cur_line == kTcp ? "tcp\n" : "-\n");
    // The handler before this one (a sanitizer's, or the default) takes it from here.
    sigaction(sig, &g_old_act[sig], nullptr);
    if (sig == SIGABRT) raise(sig);
}

void install_crash_handler() {
    struct sigaction a {};
    a.sa_handler = on_crash;
    sigemptyset(&a.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(sig, &a, &g_old_act[sig]);
}

// The operation has ended: no worker, the end step run (at once, as velquor-cli
// runs it, instead of 100 ms later by the window's timer), no timer armed.
bool op_ended() {
    if (sm_workers_running() != 0) return false;
    if (plat::loop_timer_armed(hwndMain, sm_timer_end)) sm_on_timer_165();
    return dome.load() == 0 && sm_workers_running() == 0 &&
           !plat::loop_timer_armed(hwndMain, sm_timer_end) &&
           !plat::loop_timer_armed(hwndMain, sm_timer_resume);
}

std::string g_dir;  // work directory for dumps, macro and firmware files

// 2..3 entries with identifiers that differ, of classes the download writes
// as they are (no mode data, which it matches by content; no factory copies).
std::vector<entry> random_entries(std::mt19937_64 &rng) {
    static const uint8_t classes[] = {0xA2, 0xA3, 0xA7, 0xA9, 0xAA, 0xAC, 0xAD, 0xC4, 0xC7};
    std::vector<entry> v;
    const int n = 2 + int(rng() % 2);
    while (int(v.size()) < n) {
        entry e;
        e.fill(0xFFFF);
        e[0] = uint16_t((rng() % 8) << 8 | classes[rng() % std::size(classes)]);
        bool dup = false;
        for (const entry &o : v) dup |= o[0] == e[0];
        if (dup) continue;
        const int words = 1 + int(rng() % 31);
        for (int i = 1; i <= words; ++i) e[i] = uint16_t(rng() % 1024);
        v.push_back(e);
    }
    return v;
}

bool write_dump(const std::string &path, const std::vector<entry> &es) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (const entry &e : es) {
        int32_t w[fs_ent_words];
        for (int j = 0; j < fs_ent_words; ++j) w[j] = e[j];
        if (fs_print_entry(f, w) != 0) {
            std::fclose(f);
            return false;
        }
    }
    return std::fclose(f) == 0;
}

std::string hex16(uint32_t v) {
    char t[16];
    std::snprintf(t, sizeof t, "0x%04X", unsigned(v & 0xFFFF));
    return t;
}

std::string fs_text(const std::vector<entry> &es) {
    std::string s;
    for (const entry &e : es) {
        s += "[";
        for (int i = 0; i < 4; ++i) {
            if (i) s += ' ';
            s += hex16(e[i]);
        }
        s += " ...]";
    }
    return s.empty() ? "(none)" : s;
}

bool rx_seen(const std::vector<zs_event> &ev, int line, int mon, uint16_t cmd, int val = -1) {
    for (const zs_event &e : ev)
        if (e.kind == ZS_EV_RX && e.line == line && e.mon == mon && e.cmd == cmd &&
            (val < 0 || e.val == val))
            return true;
    return false;
}

int count_files(const std::string &dir) {
    int n = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

long vm_rss_kb() {
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::strtol(line + 6, nullptr, 10);
    std::fclose(f);
    return kb;
}

int open_fds() {
    int n = 0;
    if (DIR *d = opendir("/proc/self/fd")) {
        // cppcheck-suppress readdirCalled ; the stream is this function's own, one thread
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n - 3;  // ".", ".." and the directory's own descriptor
}

// The simulator sees no client on the line any more (the program closed its
// end), within wait_ms.
bool line_released(int line, int wait_ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        zs_line_settings s;
        if (zs_get_settings(g_sim, line, &s) == ZS_OK && !s.client) return true;
        if (Clock::now() >= until) return false;
        usleep(10000);
    }
}

// One operation: set up, start as the window does, wait, judge.
struct op_ctx {
    long no = 0;
    op_kind kind{};
    int line = 0;
    int mon = 0;
    uint64_t seq0 = 0;
    std::string what;  // the setup in words, for the cases printed
    // Expectations.
    uint16_t key_cmd = 0;
    std::vector<entry> fs;                // download: the dump's entries
    std::vector<std::array<int, 3>> mak;  // macro: (monitor, command, value) of each frame
    std::map<uint32_t, uint8_t> image;    // firmware: the file's bytes
    std::string file;
};

void start_op(op_ctx &c, std::mt19937_64 &rng) {
    const int nmon = kMonitors[c.line];
    c.mon = 1 + int(rng() % uint64_t(nmon));
    sys_zelb_nr = uint8_t(c.mon);
    switch (c.kind) {
    case OP_KEY: {
        static const struct {
            int ctl;
            uint16_t cmd;
        } keys[] = {{cmd_key_up, zelb_key_up},
                    {cmd_key_left, zelb_key_left},
                    {cmd_key_right, zelb_key_right},
                    {cmd_key_down, zelb_key_down},
                    {cmd_key_ok, zelb_key_ok}};
        const auto &k = keys[rng() % std::size(keys)];
        c.key_cmd = k.cmd;
        c.what = "key " + hex16(k.cmd) + " to monitor " + std::to_string(c.mon);
        dome = 1;
        sys_act = 0;
        send_key(k.ctl, uint8_t(c.mon));
        break;
    }
    case OP_INFO:
        c.what = "identification of monitor " + std::to_string(c.mon);
        dome = 1;
        sys_act = 0;
        sm_start_liste1(hwndMain, ix_inf_init);
        break;
    case OP_PING:
        c.what = "ping";
        sys_zelb_nr = 0;
        dome = 1;
        sys_act = 0;
        sm_start_liste1(hwndMain, ix_ping_me);
        break;
    case OP_UPLOAD: {
        zs_fs fs;
        fs.entries = random_entries(rng);
        zs_set_fs(g_sim, c.line, c.mon, fs);
        c.file = g_dir + "/up.vqf";
        std::remove(c.file.c_str());
        std::snprintf(fname1, sizeof fname1, "%s", c.file.c_str());
        c.what = "upload of monitor " + std::to_string(c.mon) + " holding " + fs_text(fs.entries);
        dome = 1;
        sys_act = 0;
        upload_fs(hwndMain);
        break;
    }
    case OP_DOWNLOAD: {
        // Monitor 0, the whole ring, now and then.
        if (rng() % 5 == 0) c.mon = 0;
        sys_zelb_nr = uint8_t(c.mon);
        c.fs = random_entries(rng);
        for (int m = 1; m <= nmon; ++m)
            if (c.mon == 0 || m == c.mon) zs_set_fs(g_sim, c.line, m, zs_fs{});
        c.file = g_dir + "/down.vqf";
        write_dump(c.file, c.fs);
        std::snprintf(fname1, sizeof fname1, "%s", c.file.c_str());
        c.what = "download of " + fs_text(c.fs) + " to monitor " + std::to_string(c.mon);
        dome = 1;
        sys_act = 0;
        download_fs(hwndMain);
        break;
    }
    case OP_MACRO: {
        const int n = 1 + int(rng() % 3);
        std::string text = "Soak <step>\n";
        c.what = "macro step:";
        for (int k = 0; k < n; ++k) {
            // Address 0 is the window's monitor, 255 every monitor (sent to address 0).
            const int pick = int(rng() % uint64_t(nmon + 2));
            const int addr = pick == 0 ? 0 : pick == 1 ? 255 : pick - 1;
            const int mon = addr == 0 ? c.mon : addr == 255 ? 0 : addr;
            const int cmd = 0x1230 + int(rng() % 16), val = int(rng() % 0x10000);
            c.mak.push_back({mon, cmd, val});
            text += ":" + std::to_string(addr) + " " + hex16(uint32_t(cmd)) + " " +
                    hex16(uint32_t(val)) + "\n";
            c.what +=
                " " + std::to_string(mon) + ":" + hex16(uint32_t(cmd)) + "=" + hex16(uint32_t(val));
        }
        c.file = g_dir + "/m.vqm";
        FILE *f = std::fopen(c.file.c_str(), "wb");
        if (f) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
        std::snprintf(makpath, sizeof makpath, "%s", c.file.c_str());
        load_mak();
        dome = 1;
        sys_act = 0;
        mak_action(0);
        break;
    }
    case OP_FIRM: {
        const int recs = 16 + int(rng() % 48);
        c.file = g_dir + "/fw_v5.h86";  // a type-5 file, as the simulated boards are
        const std::string text = make_hex(recs, uint32_t(rng()), &c.image);
        FILE *f = std::fopen(c.file.c_str(), "wb");
        if (f) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
        std::snprintf(firmpath, sizeof firmpath, "%s", c.file.c_str());
        firm_hito = 0;
        firm_68 = 0;
        det_zelb_cmd = 0x8E4;
        sys_baud = 115200;
        sys_boot = boot_zelb3;
        c.what = "firmware update of " + std::to_string(recs) + " records";
        dome = 1;
        sys_act = 0;
        update_firm(hwndMain, cmd_firm_upd);
        break;
    }
    default: break;
    }
}

// Empty when the simulator saw the success; else why not.
std::string check_success(const op_ctx &c) {
    const std::vector<zs_event> ev = zs_events(g_sim, c.seq0);
    const int nmon = kMonitors[c.line];
    switch (c.kind) {
    case OP_KEY:
        for (const zs_event &e : ev)
            if (e.kind == ZS_EV_KEY && e.line == c.line && e.mon == c.mon && e.cmd == c.key_cmd)
                return "";
        return rx_seen(ev, c.line, c.mon, c.key_cmd) ? ""
                                                     : "no key recorded, no key frame received";
    case OP_INFO: {
        zs_mon_status st;
        if (zs_get_monitor(g_sim, c.line, c.mon, &st) != ZS_OK) return "no such monitor";
        const zelb_dat_T &d = zelb_info_dat;
        char t[200];
        std::snprintf(t, sizeof t,
                      "read type %u disp 0x%X rev 0x%04X date 0x%04X gen %u; monitor has type %u "
                      "disp 0x%X rev 0x%04X date 0x%04X gen %u",
                      d.zelb_ver, unsigned(d.zelb_disp), unsigned(d.zelb_rev), unsigned(d.zelb_dat),
                      d.firm_typ, st.cfg.board_type, st.cfg.disp & 0xFFFu, st.cfg.rev, st.cfg.date,
                      st.cfg.gen);
        const bool same = d.zelb_ver == st.cfg.board_type &&
                          d.zelb_disp == (st.cfg.disp & 0xFFFu) && d.zelb_rev == st.cfg.rev &&
                          d.zelb_dat == st.cfg.date && d.firm_typ == st.cfg.gen;
        return same ? "" : t;
    }
    case OP_PING:
        return sys_zelb_nr == nmon ? ""
                                   : "ping found " + std::to_string(sys_zelb_nr) +
                                         ", the line has " + std::to_string(nmon);
    case OP_UPLOAD: {
        zs_fs dump, mon;
        std::string err;
        if (zs_fs_read_file(c.file, &dump, &err) != ZS_OK) return "dump unreadable: " + err;
        zs_get_fs(g_sim, c.line, c.mon, &mon);
        bool gamma_same = true;
        for (size_t k = 0; k < ZS_GAMMA_TABLES; ++k) gamma_same &= dump.gamma[k] == mon.gamma[k];
        if (dump.entries == mon.entries && gamma_same) return "";
        return "dump " + fs_text(dump.entries) + " monitor " + fs_text(mon.entries) +
               (gamma_same ? "" : " (gamma tables differ)");
    }
    case OP_DOWNLOAD:
        for (int m = 1; m <= nmon; ++m) {
            if (c.mon != 0 && m != c.mon) continue;
            zs_fs got;
            zs_get_fs(g_sim, c.line, m, &got);
            if (got.entries != c.fs)
                return "monitor " + std::to_string(m) + " holds " + fs_text(got.entries);
        }
        return "";
    case OP_MACRO: {
        std::string miss;
        for (const auto &w : c.mak)
            if (!rx_seen(ev, c.line, w[0], uint16_t(w[1]), w[2]))
                miss += " " + std::to_string(w[0]) + ":" + hex16(uint32_t(w[1])) + "=" +
                        hex16(uint32_t(w[2]));
        return miss.empty() ? "" : "frames not received:" + miss;
    }
    case OP_FIRM: {
        zs_image img;
        if (zs_get_image(g_sim, c.line, &img) != ZS_OK) return "no image";
        const std::map<uint32_t, uint8_t> got = image_bytes(img);
        if (img.complete && got == c.image) return "";
        // What the line saw of this update: its start commands and mode changes.
        std::string seen;
        for (const zs_event &e : ev)
            if (e.line == c.line &&
                ((e.kind == ZS_EV_RX && e.cmd == 0x7000) || e.kind == ZS_EV_MODE))
                seen += std::string(" ") + zs_event_name(e.kind) + ":" +
                        hex16(e.kind == ZS_EV_MODE ? e.cmd : e.val);
        return std::string(img.complete ? "" : "image not complete; ") + "image holds " +
               std::to_string(got.size()) + " bytes in " + std::to_string(img.records) +
               " records (" + std::to_string(img.refused) + " refused), the file " +
               std::to_string(c.image.size()) + (got.size() == c.image.size() ? " (differ)" : "") +
               "; events:" + (seen.empty() ? " none" : seen);
    }
    default: return "";
    }
}

long g_trace_op = 0;          // VQ_SOAK_TRACE: the operation whose simulator events are printed
uint32_t g_firm_every = 500;  // one firmware update in this many operations

op_kind pick_kind(std::mt19937_64 &rng) {
    if (rng() % g_firm_every == 0) return OP_FIRM;
    return op_kind(rng() % 6);
}

void print_progress(long done, long n, Clock::time_point t0) {
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    uint64_t ok = 0, failed = 0, fo = 0, open = 0;
    for (const kind_stats &k : g_stats) {
        ok += k.ok;
        failed += k.failed;
        fo += k.false_ok;
        open += k.left_open;
    }
    std::printf(
        "[%6ld/%ld] %7.1f s  %6.1f op/s  ok %lu  failed %lu  false successes %lu  "
        "left open %lu  VmRSS %ld kB  fds %d\n",
        done, n, s, s > 0 ? double(done) / s : 0.0, (unsigned long)ok, (unsigned long)failed,
        (unsigned long)fo, (unsigned long)open, vm_rss_kb(), open_fds());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
    long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    if (n <= 0) n = 10000;
    g_seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (const char *p = std::getenv("VQ_SOAK_PPM")) g_ppm = uint32_t(std::strtoul(p, nullptr, 10));
    if (const char *f = std::getenv("VQ_SOAK_FIRM"); f && std::strtoul(f, nullptr, 10) > 0)
        g_firm_every = uint32_t(std::strtoul(f, nullptr, 10));
    if (const char *t = std::getenv("VQ_SOAK_TRACE")) g_trace_op = std::strtol(t, nullptr, 10);
    if (const char *a = std::getenv("VQ_SOAK_ADDR"); a && std::strncmp(a, "127.", 4) == 0)
        g_tcp_addr = a;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("VELQUOR_TEST_IMAGES", "1", 1);
    install_crash_handler();

    char tmpl[] = "/tmp/vq_soak_XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("bench_soak: mkdtemp");
        return 1;
    }
    g_dir = tmpl;
    if (chdir(g_dir.c_str()) != 0) return 1;  // files an upload may write beside go here

    bench_open_windows();
    dlghide_stat();
    dlghide_staterr();
    bench_bind_serial(true);
    plat::win_boxes_clear();
    is_inet = 1;
    sys_to = 1;
    sys_lang = lang_eng;
    broad = 0;
    parno = 0;
    fsf_prot = 0;
    sys_intf = 1;

    std::string err;
    if (!start_sim(&err)) {
        std::fprintf(stderr, "bench_soak: the simulator did not start: %s\n", err.c_str());
        return 1;
    }
    std::printf(
        "bench_soak: %ld operations, seed %lu, %u ppm per fault kind; pty line %s "
        "(%d monitors) as COM1, TCP line %s:11111 (%d monitors)\n",
        n, (unsigned long)g_seed, g_ppm, zs_slave_path(g_sim, kPty).c_str(), kMonitors[kPty],
        g_tcp_addr, kMonitors[kTcp]);

    std::mt19937_64 rng(g_seed);
    const int fds0 = open_fds();
    long rss_first = -1, rss_last_start = -1;
    const auto t0 = Clock::now();
    for (long i = 0; i < n; ++i) {
        if (i == n - 1000 || (n <= 1000 && i == 0)) rss_last_start = vm_rss_kb();
        op_ctx c;
        c.no = i + 1;
        c.line = int(i % 2);
        c.kind = pick_kind(rng);
        g_cur_no = c.no;
        g_cur_kind = c.kind;
        g_cur_line = c.line;

        // The link of the line.
        if (c.line == kPty) {
            com_mode = com_mode_rs232;
            sys_intf = 1;
        } else {
            com_mode = com_mode_ip;
            std::snprintf(sys_ip, sizeof sys_ip, "%s", g_tcp_addr);
        }
        plat::win_boxes_clear();
        end_last_reset();
        sys_rv = 0;
        sys_f_rv = 0;
        const int files_before = count_files(g_dir);
        c.seq0 = zs_last_seq(g_sim);

        const auto t1 = Clock::now();
        start_op(c, rng);
        const bool ended = plat::win_pump_until(op_ended, c.kind == OP_FIRM ? 180000 : 60000);
        kind_stats &ks = g_stats[c.kind];
        ++ks.run;
        if (!ended) {
            ++ks.hung;
            vq_stop_operation(vq_stop_wait_ms);
        }
        ks.ms += std::chrono::duration<double, std::milli>(Clock::now() - t1).count();

        // Reported result, as velquor-cli judges it: no error box, no error id;
        // an identification that was not read whole, and an update whose
        // question was answered No, are failures.
        std::string why;
        for (const plat::WinBoxRecord &b : plat::win_boxes_shown())
            if (b.icon == plat::WIN_ICON_STOP && why.empty()) why = b.body;
        if (why.empty() && (end_last_rv || end_last_f_rv))
            why = "error id " + std::to_string(end_last_rv) + "/" + std::to_string(end_last_f_rv);
        if (why.empty() && c.kind == OP_INFO && zelb_info_rv != 0)
            why = "identification: " + std::string(mc_get_err_msg(zelb_info_rv));
        // A question answered No (the headless default) means nothing was done.
        if (why.empty() && c.kind == OP_FIRM && firm_report.cur >= 0 &&
            (firm_report.addr[firm_report.cur].outcome == firm_skipped ||
             firm_report.addr[firm_report.cur].outcome == firm_refused)) {
            why = "declined";
            for (const plat::WinBoxRecord &b : plat::win_boxes_shown())
                if (b.buttons == plat::WIN_BOX_YESNO) why = "declined: " + b.body;
        }
        if (why.empty() && !ended) why = "did not end";
        const bool ok = why.empty();

        if (c.no == g_trace_op) {
            std::printf("operation %ld, %s on %s: %s; %s\n", c.no, kKindName[c.kind],
                        c.line == kPty ? "pty" : "tcp", c.what.c_str(),
                        ok ? "reported successful" : ("failed: " + why).c_str());
            for (const plat::WinBoxRecord &b : plat::win_boxes_shown())
                std::printf("  box (icon %d, buttons %d, answer %d): %s\n", int(b.icon),
                            int(b.buttons), int(b.answer), b.body.c_str());
            for (const zs_event &e : zs_events(g_sim, c.seq0))
                std::printf("  %s\n", zs_event_text(e).c_str());
        }
        if (ok) {
            ++ks.ok;
            const std::string miss = check_success(c);
            if (!miss.empty()) {
                ++ks.false_ok;
                if (g_false_cases.size() < 8)
                    g_false_cases.push_back("#" + std::to_string(c.no) + " " + kKindName[c.kind] +
                                            " on " + (c.line == kPty ? "pty" : "tcp") + ": " +
                                            c.what + " -> " + miss);
            }
        } else {
            ++ks.failed;
            ++g_fail_why[c.kind][why];
            // A failed operation leaves the link closed, on our side and as the line sees it.
            const bool ours = syscom == -1;
            const bool theirs = line_released(c.line, 1500);
            if (!ours || !theirs) {
                ++ks.left_open;
                if (g_open_cases.size() < 8)
                    g_open_cases.push_back("#" + std::to_string(c.no) + " " + kKindName[c.kind] +
                                           " on " + (c.line == kPty ? "pty" : "tcp") + " (" + why +
                                           "): " + (ours ? "" : "syscom still open ") +
                                           (theirs ? "" : "the line still has a client"));
            }
            if (c.kind == OP_UPLOAD && count_files(g_dir) > files_before) ++g_stray_files;
            // A line left in its loader answers no frame: start the simulation afresh.
            zs_mode_info mi;
            if (zs_get_mode(g_sim, c.line, &mi) == ZS_OK && mi.mode != ZS_MODE_FRAME) restart_sim();
        }
        if (syscom != -1) mc_close_syscom();  // counted above; the next operation starts clean

        if (i + 1 == 1000 || (n < 1000 && i + 1 == n)) rss_first = vm_rss_kb();
        if ((i + 1) % 1000 == 0 || i + 1 == n) print_progress(i + 1, n, t0);
    }
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    const long rss_last = vm_rss_kb();
    collect_fired();
    g_cur_kind = -1;

    std::printf("\n%-10s %7s %7s %7s %7s %6s %5s %9s\n", "kind", "run", "ok", "failed", "false+",
                "open", "hung", "ms/op");
    kind_stats tot;
    for (int k = 0; k < OP_KINDS; ++k) {
        const kind_stats &s = g_stats[k];
        std::printf("%-10s %7lu %7lu %7lu %7lu %6lu %5lu %9.1f\n", kKindName[k],
                    (unsigned long)s.run, (unsigned long)s.ok, (unsigned long)s.failed,
                    (unsigned long)s.false_ok, (unsigned long)s.left_open, (unsigned long)s.hung,
                    s.run ? s.ms / double(s.run) : 0.0);
        tot.run += s.run;
        tot.ok += s.ok;
        tot.failed += s.failed;
        tot.false_ok += s.false_ok;
        tot.left_open += s.left_open;
        tot.hung += s.hung;
        tot.ms += s.ms;
    }
    std::printf("%-10s %7lu %7lu %7lu %7lu %6lu %5lu %9.1f\n", "all", (unsigned long)tot.run,
                (unsigned long)tot.ok, (unsigned long)tot.failed, (unsigned long)tot.false_ok,
                (unsigned long)tot.left_open, (unsigned long)tot.hung,
                tot.run ? tot.ms / double(tot.run) : 0.0);
    std::printf("\ncrashes: 0 (the run reached its end)\n");
    std::printf("false successes: %lu\n", (unsigned long)tot.false_ok);
    for (const std::string &s : g_false_cases) std::printf("  %s\n", s.c_str());
    std::printf("failed operations that left the link open: %lu\n", (unsigned long)tot.left_open);
    for (const std::string &s : g_open_cases) std::printf("  %s\n", s.c_str());
    std::printf("failed uploads that left a file behind: %lu\n", (unsigned long)g_stray_files);
    std::printf("why operations failed:\n");
    for (int k = 0; k < OP_KINDS; ++k)
        for (const auto &w : g_fail_why[k])
            std::printf("  %-9s %6lu  %s\n", kKindName[k], (unsigned long)w.second,
                        w.first.c_str());
    std::printf("faults fired:");
    for (const auto &f : g_fired) std::printf(" %s %lu", f.first.c_str(), (unsigned long)f.second);
    std::printf("\nsimulator restarts (a line left in its loader): %d\n", g_restarts);
    std::printf(
        "VmRSS after the first 1000: %ld kB; at the start of the last 1000: %ld kB; at the "
        "end: %ld kB; difference first->end: %+ld kB\n",
        rss_first, rss_last_start, rss_last, rss_last - rss_first);
    std::printf("open descriptors: %d at the start, %d at the end\n", fds0, open_fds());
    std::printf("time: %.1f s, %.2f operations per second\n", secs, double(n) / secs);

    zs_stop(&g_sim);
    bench_bind_serial(false);
    plat::ser_set_com_path(1, nullptr);
    std::filesystem::remove_all(g_dir);
    return 0;
}
