// Command line and state file of the simulator.
//
// Options are collected first and applied when all are read, so that their order does not
// matter: --monitors and --mon may come before or after the --pty and --tcp options that
// make the lines. A state file holds the same options, one per line, without the leading
// dashes ("mon 2:gen=2,disp=0x123"); "#" starts a comment. Every number is strict (decimal
// or 0x-hexadecimal, the whole word) and range-checked; a bad option names itself.
#include "zs_internal.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

struct opt_fault {
    int line;  // -1 = every line
    zs_fault f;
};

// A file-system option: what it does and to which monitors (SEL as --mon takes it).
enum opt_fs_kind : uint8_t { FS_LOAD = 0, FS_RANDOM, FS_GAMMA, FS_KIND_COUNT };
struct opt_fs {
    opt_fs_kind kind = FS_LOAD;
    std::string sel;  // "*" when none was given
    uint32_t n = 0;   // random entries or gamma tables
    zs_fs fs;         // the file read
};

struct opt_state {
    zs_config cfg;
    std::vector<std::pair<int, int>> counts;  // (line or -1, monitors)
    std::vector<std::string> mon_sets;
    std::vector<opt_fault> faults;
    bool loop = false, pace = false;
    uint32_t baud = 9600;
    char parity = 0;
    uint32_t restart_ms = 3000;
    std::vector<int> bootstrap;  // lines (or -1 = every line) that start in the boot loader
    uint32_t boot_id = 0xD5;
    uint32_t boot_ack = 0xFC;
    std::vector<opt_fs> fs;
    uint32_t fs_capacity = ZS_FS_CAPACITY;
    std::string err;
};

}  // namespace

// The simulator's version is kept here and nowhere else.
const char *zs_version_text() { return "zelbsim 0.1.0\n"; }

const char *zs_help_text() {
    return "usage: zelbsim [options]\n"
           "A simulated chain of monitors with ZELB boards, on a pseudo-terminal or behind a\n"
           "serial-to-IP converter on TCP. Ends on SIGINT or SIGTERM and prints a summary.\n"
           "\n"
           "Lines (at least one; lines are numbered 1, 2, ... in the order given):\n"
           "  --pty PATH            a line on a new pseudo-terminal; PATH becomes a symlink to\n"
           "                        its slave (\"-\" = no symlink, the slave's name is printed)\n"
           "  --tcp ADDR[:PORT]     a line behind a converter listening on ADDR (default port\n"
           "                        11111; 0 = any free port); give several for IP lists\n"
           "Monitors:\n"
           "  --monitors [L:]N      N monitors (1..255) on every line, or on line L (default 1)\n"
           "  --mon SEL:F=V[,F=V]   set fields of monitors; SEL is M (monitor M on every line),\n"
           "                        L.M, L.* or * (all). Fields: type disp rev date pclk hfreq\n"
           "                        vfreq gen(1|2|51) variant ext(0|1) boot(0|1) b000 restart(ms)\n"
           "  --restart-ms MS       silence after a restart command (default 3000)\n"
           "File system of the monitors (SEL as for --mon; without it every monitor):\n"
           "  --fs-load [SEL:]FILE  its content from a dump file\n"
           "  --fs-random [SEL:]N   N random entries of the kinds a monitor holds, added after\n"
           "                        the loaded ones (reproducible for a --seed)\n"
           "  --fs-gamma [SEL:]K    random gamma tables, the first K (0..4) of 0xC1, 0x41,\n"
           "                        0xC9 and 0x49\n"
           "  --fs-capacity N       entries a monitor holds at most (0..65535, default 255); a\n"
           "                        create beyond it is refused\n"
           "  --fs-save DIR         write each file system to DIR/line<L>-mon<M>.vqf on exit and\n"
           "                        on SIGUSR1\n"
           "  Commands: 0x6005 session, 0x6000 select (0 = next, else by identifier), 0x6001\n"
           "  read word, 0x6003 delete, 0x6004 create, 0x6002 write word.\n"
           "Line behaviour:\n"
           "  --loop                every line echoes each byte, like a loop-back plug\n"
           "  --pace                bytes travel no faster than the line's baud rate allows\n"
           "  --baud N              rate the monitors listen at (default 9600)\n"
           "  --parity E|N|any      parity the monitors expect (default any)\n"
           "  --bootstrap [L]       every line, or line L, holds a board that starts in its boot\n"
           "                        loader (57600 baud 8N1): 00 is answered with the\n"
           "                        identification byte, then a primary loader of 32 bytes, the\n"
           "                        secondary loader echoed byte by byte and 0xCC, then firmware\n"
           "                        records; the end-of-file record starts the firmware\n"
           "  --boot-id BYTE        identification byte of the boot loader (default 0xD5)\n"
           "  --boot-ack BYTE       the boot loader's answer to a good firmware record (default\n"
           "                        0xFC; the program takes 0xFC..0xFF); a refused one gets 0xFB\n"
           "Protocol modes:\n"
           "  A line starts in frame mode (or in the boot loader). Command 0x7000 with a rate\n"
           "  code (0 9600, 4 19200, 8 38400, 12 115200, 16 288000, 20 384000, 24 576000)\n"
           "  switches it to the firmware loader at that rate: binary firmware records, each\n"
           "  answered 0xFF (one monitor) or echoed (several); the end-of-file record restarts\n"
           "  the monitors and the line is back in frame mode.\n"
           "Firmware images:\n"
           "  Each line keeps the image its last load wrote, the data records' bytes at the\n"
           "  addresses the extended address records (02, 04) make; the summary names it with\n"
           "  its FNV-1a 64 digest.\n"
           "  --image-save DIR      write each line's image to DIR/line<L>.bin (the bytes from\n"
           "                        its lowest to its highest address, gaps 0xFF) and to\n"
           "                        DIR/line<L>.txt (records, data bytes, addresses, digest,\n"
           "                        complete) on exit and on SIGUSR1\n"
           "Faults (each counted in the summary):\n"
           "  --fault KIND[:ARG][@COND[,COND]]\n"
           "      KIND: silent, short:K (K bytes of the answer), cks, end, echo, delay:MS,\n"
           "            garbage:K (K random bytes before the answer), drop:N (TCP: drop the\n"
           "            connection after N received bytes), refuse (firmware records only)\n"
           "      COND: n=N (the N-th frame), cmd=C, mon=M, line=L, times=N, p=FRACTION\n"
           "      Firmware records: silent, short, cks (the refusal answer, the record kept),\n"
           "      refuse (the record refused as if damaged, not kept), echo, delay and garbage\n"
           "      apply to their answers when no cmd= or mon= is given; n= counts the records\n"
           "      of the load\n"
           "  --seed N              seed of random faults (default 1)\n"
           "Other:\n"
           "  --log FILE|-          log every frame received and sent (\"-\" = stdout)\n"
           "  --state FILE          read options from FILE, one per line, without \"--\"\n"
           "  --help                this text\n"
           "  --version             the simulator's name and version\n"
           "\n"
           "Examples:\n"
           "  zelbsim --pty /tmp/vq/ttyV0 --monitors 3\n"
           "  zelbsim --tcp 127.0.0.2:11111 --tcp 127.0.0.3:11111 --mon 2.1:gen=2\n"
           "  zelbsim --pty - --fault cks@cmd=0x08E5 --fault silent@p=0.1 --seed 7\n"
           "  zelbsim --pty /tmp/vq/ttyV0 --pty /tmp/vq/ttyV1 --bootstrap 2\n"
           "  zelbsim --pty - --monitors 2 --fs-random 40 --fs-gamma 2:4 --fs-save /tmp/vq/fs\n"
           "  zelbsim --pty /tmp/vq/ttyV0 --bootstrap --boot-ack 0xFE --image-save /tmp/vq/fw\n";
}

static bool fail(opt_state *st, const std::string &msg) {
    st->err = msg;
    return false;
}

static std::vector<std::string> split(const std::string &s, char sep) {
    std::vector<std::string> v;
    size_t b = 0;
    for (;;) {
        const size_t e = s.find(sep, b);
        v.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
        if (e == std::string::npos) return v;
        b = e + 1;
    }
}

// "0.05", "1", "0" or "5%" as parts per million.
static bool parse_chance(const std::string &s, uint32_t *ppm) {
    if (!s.empty() && s.back() == '%') {
        uint32_t pc;
        if (!zs_parse_u32(s.substr(0, s.size() - 1), 100, &pc)) return false;
        *ppm = pc * 10000;
        return true;
    }
    if (s == "1") {
        *ppm = 1000000;
        return true;
    }
    if (s == "0") {
        *ppm = 0;
        return true;
    }
    if (s.size() < 3 || s.size() > 8 || s.compare(0, 2, "0.") != 0) return false;
    uint32_t v = 0;
    for (size_t i = 2; i < 8; ++i) {
        const char c = i < s.size() ? s[i] : '0';
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    *ppm = v;
    return true;
}

static bool parse_fault(opt_state *st, const std::string &spec) {
    const size_t at = spec.find('@');
    const std::string head = spec.substr(0, at);
    const size_t colon = head.find(':');
    const std::string kind = head.substr(0, colon);
    opt_fault of{-1, zs_fault{}};
    zs_fault &f = of.f;
    bool found = false;
    for (int k = 0; k < ZS_F_COUNT; ++k)
        if (kind == zs_fault_name(static_cast<zs_fault_kind>(k))) {
            f.kind = static_cast<zs_fault_kind>(k);
            found = true;
        }
    if (!found) return fail(st, "unknown fault kind: " + kind);
    const bool needs_arg = f.kind == ZS_F_SHORT || f.kind == ZS_F_DELAY || f.kind == ZS_F_GARBAGE ||
                           f.kind == ZS_F_DROP;
    const uint32_t arg_max = f.kind == ZS_F_SHORT ? 9 : f.kind == ZS_F_GARBAGE ? 4096 : 3600000;
    if (needs_arg != (colon != std::string::npos) ||
        (needs_arg && !zs_parse_u32(head.substr(colon + 1), arg_max, &f.arg)))
        return fail(st, "fault " + kind + ": bad or missing argument in " + spec);
    if (at != std::string::npos) {
        for (const std::string &c : split(spec.substr(at + 1), ',')) {
            const size_t eq = c.find('=');
            const std::string k = c.substr(0, eq),
                              v = eq == std::string::npos ? "" : c.substr(eq + 1);
            uint32_t n = 0;
            bool ok;
            if (k == "n") {
                ok = zs_parse_u32(v, 0xFFFFFFFF, &f.nth) && f.nth > 0;
            } else if (k == "cmd") {
                ok = zs_parse_u32(v, 0xFFFF, &n);
                f.cmd = static_cast<int32_t>(n);
            } else if (k == "mon") {
                ok = zs_parse_u32(v, 255, &n);
                f.mon = static_cast<int32_t>(n);
            } else if (k == "line") {
                ok = zs_parse_u32(v, 255, &n) && n > 0;
                of.line = static_cast<int>(n) - 1;
            } else if (k == "times") {
                ok = zs_parse_u32(v, 0xFFFFFFFF, &f.times);
            } else if (k == "p") {
                ok = parse_chance(v, &f.ppm);
            } else {
                ok = false;
            }
            if (!ok) return fail(st, "fault condition " + c + " in " + spec);
        }
    }
    st->faults.push_back(of);
    return true;
}

// The fields --mon sets: name, largest value, and where the value goes.
namespace {
struct mon_field {
    const char *name;
    uint32_t max;
    void (*set)(zs_monitor *m, uint32_t n);
};
}  // namespace
static const mon_field mon_fields[] = {
    {"type", 255, [](zs_monitor *m, uint32_t n) { m->board_type = static_cast<uint8_t>(n); }},
    {"disp", 0xFFF, [](zs_monitor *m, uint32_t n) { m->disp = static_cast<uint16_t>(n); }},
    {"rev", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->rev = static_cast<uint16_t>(n); }},
    {"date", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->date = static_cast<uint16_t>(n); }},
    {"pclk", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->pclk = static_cast<uint16_t>(n); }},
    {"hfreq", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->hfreq = static_cast<uint16_t>(n); }},
    {"vfreq", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->vfreq = static_cast<uint16_t>(n); }},
    {"variant", 255, [](zs_monitor *m, uint32_t n) { m->variant = static_cast<uint8_t>(n); }},
    {"b000", 0xFFFF, [](zs_monitor *m, uint32_t n) { m->b000 = static_cast<int32_t>(n); }},
    {"restart", 3600000, [](zs_monitor *m, uint32_t n) { m->restart_ms = n; }},
    {"ext", 1, [](zs_monitor *m, uint32_t n) { m->ext = n != 0; }},
    {"boot", 1, [](zs_monitor *m, uint32_t n) { m->boot = n != 0; }},
    {"gen", 255, [](zs_monitor *m, uint32_t n) { m->gen = static_cast<uint8_t>(n); }},
};

static bool set_mon_field(zs_monitor *m, const std::string &k, const std::string &v) {
    for (const mon_field &f : mon_fields) {
        if (k != f.name) continue;
        uint32_t n;
        if (!zs_parse_u32(v, f.max, &n)) return false;
        if (k == "gen" && !zs_gen_ok(n)) return false;
        f.set(m, n);
        return true;
    }
    return false;
}

// Monitor selection SEL (M, L.M, L.* or *) as a line and a monitor, -1 = all. `opt` and
// `text` name the option in messages.
static bool parse_sel(opt_state *st, const std::string &opt, const std::string &sel,
                      const std::string &text, int *line, int *mon) {
    *line = *mon = -1;
    const size_t dot = sel.find('.');
    uint32_t n;
    const std::string ms = dot == std::string::npos ? sel : sel.substr(dot + 1);
    if (dot != std::string::npos) {
        if (!zs_parse_u32(sel.substr(0, dot), 255, &n) || n == 0 || n > st->cfg.lines.size())
            return fail(st, opt + ": no such line in " + text);
        *line = static_cast<int>(n) - 1;
    }
    if (ms != "*") {
        if (!zs_parse_u32(ms, 255, &n) || n == 0) return fail(st, opt + ": bad monitor in " + text);
        *mon = static_cast<int>(n);
    }
    return true;
}

// Calls fn(line index, monitor index) for each monitor the selection holds, until it fails;
// fails when the selection holds none.
template <typename Fn>
static bool each_selected(opt_state *st, const std::string &opt, const std::string &sel,
                          const std::string &text, Fn fn) {
    int line, mon;
    if (!parse_sel(st, opt, sel, text, &line, &mon)) return false;
    bool hit = false;
    for (size_t li = 0; li < st->cfg.lines.size(); ++li) {
        if (line >= 0 && static_cast<int>(li) != line) continue;
        for (size_t mi = 0; mi < st->cfg.lines[li].mons.size(); ++mi) {
            if (mon >= 0 && static_cast<int>(mi) + 1 != mon) continue;
            hit = true;
            if (!fn(li, mi)) return false;
        }
    }
    if (!hit) return fail(st, opt + ": no such monitor: " + sel);
    return true;
}

// "SEL:F=V,F=V" onto the configured lines.
static bool apply_mon_set(opt_state *st, const std::string &spec) {
    const size_t colon = spec.find(':');
    if (colon == std::string::npos) return fail(st, "--mon needs SEL:FIELD=VALUE: " + spec);
    const std::vector<std::string> fields = split(spec.substr(colon + 1), ',');
    return each_selected(st, "--mon", spec.substr(0, colon), spec, [&](size_t li, size_t mi) {
        for (const std::string &fv : fields) {
            const size_t eq = fv.find('=');
            if (eq == std::string::npos ||
                !set_mon_field(&st->cfg.lines[li].mons[mi], fv.substr(0, eq), fv.substr(eq + 1)))
                return fail(st, "--mon: bad field " + fv);
        }
        return true;
    });
}

// "[SEL:]VALUE": the selection, when the text before the first colon can be one (a digit or
// "*" first, then only what numbers, dots and stars are made of), and the value.
static void split_sel(const std::string &text, std::string *sel, std::string *val) {
    const size_t colon = text.find(':');
    const std::string head = colon == std::string::npos ? "" : text.substr(0, colon);
    const bool is_sel = !head.empty() &&
                        (std::isdigit(static_cast<unsigned char>(head[0])) || head[0] == '*') &&
                        head.find_first_not_of("0123456789abcdefABCDEFxX.*") == std::string::npos;
    *sel = is_sel ? head : "*";
    *val = is_sel ? text.substr(colon + 1) : text;
}

// --fs-load, --fs-random and --fs-gamma; a file is read at once, so that an error names it.
static bool parse_fs_opt(opt_state *st, const std::string &name, const std::string &text) {
    opt_fs o;
    std::string val;
    split_sel(text, &o.sel, &val);
    if (name == "fs-load") {
        o.kind = FS_LOAD;
        std::string why;
        if (zs_fs_read_file(val, &o.fs, &why) != ZS_OK) return fail(st, "--fs-load: " + why);
    } else if (name == "fs-random") {
        o.kind = FS_RANDOM;
        if (!zs_parse_u32(val, 0xFFFF, &o.n)) return fail(st, "--fs-random: 0 to 65535: " + text);
    } else {
        o.kind = FS_GAMMA;
        if (!zs_parse_u32(val, ZS_GAMMA_TABLES, &o.n))
            return fail(st, "--fs-gamma: 0 to 4: " + text);
    }
    st->fs.push_back(std::move(o));
    return true;
}

// The file systems the options ask for: first the files, then the random entries after what
// was loaded, then the gamma tables, whatever the order of the options. Each monitor draws its
// random content from its own generator, seeded with the seed, its line and its number, so
// that it does not change with the options of the other monitors.
static bool apply_fs(opt_state *st) {
    std::vector<std::vector<std::mt19937>> rngs(st->cfg.lines.size());
    for (size_t li = 0; li < st->cfg.lines.size(); ++li) {
        zs_line_cfg &l = st->cfg.lines[li];
        l.fs_capacity = st->fs_capacity;
        if (st->fs.empty()) continue;
        l.fs.resize(l.mons.size());
        for (size_t mi = 0; mi < l.mons.size(); ++mi) {
            std::seed_seq seq{st->cfg.seed, static_cast<uint32_t>(li + 1),
                              static_cast<uint32_t>(mi + 1)};
            rngs[li].emplace_back(seq);
        }
    }
    static const char *const names[FS_KIND_COUNT] = {"--fs-load", "--fs-random", "--fs-gamma"};
    for (int k = 0; k < FS_KIND_COUNT; ++k)
        for (const opt_fs &o : st->fs) {
            if (o.kind != k) continue;
            const bool ok = each_selected(st, names[k], o.sel, o.sel, [&](size_t li, size_t mi) {
                zs_fs &fs = st->cfg.lines[li].fs[mi];
                if (o.kind == FS_LOAD)
                    fs = o.fs;
                else if (o.kind == FS_RANDOM)
                    zs_fs_random_entries(&fs, o.n, &rngs[li][mi]);
                else
                    zs_fs_random_gamma(&fs, o.n, &rngs[li][mi]);
                return true;
            });
            if (!ok) return false;
        }
    return true;
}

static bool read_state(opt_state *st, const std::string &path, int depth);

// The options that take no value.
static bool is_flag(const std::string &name) {
    return name == "loop" || name == "pace" || name == "help" || name == "version";
}

// The options whose value may be left out.
static bool is_optional(const std::string &name) { return name == "bootstrap"; }

// One option with its value ("" for flags).
static bool handle(opt_state *st, const std::string &name, const std::string &val, bool has_val,
                   int depth) {
    if (is_flag(name) && has_val) return fail(st, "--" + name + " takes no value");
    if (!is_flag(name) && !is_optional(name) && !has_val)
        return fail(st, "--" + name + " needs a value");
    uint32_t n;
    if (name == "help" || name == "version") return true;  // answered once all are read
    if (name == "loop")
        st->loop = true;
    else if (name == "pace")
        st->pace = true;
    else if (name == "pty") {
        zs_line_cfg l;
        l.kind = ZS_PTY;
        l.link = val == "-" ? "" : val;
        st->cfg.lines.push_back(l);
    } else if (name == "tcp") {
        zs_line_cfg l;
        l.kind = ZS_TCP;
        const size_t c = val.rfind(':');
        l.addr = val.substr(0, c);
        if (c != std::string::npos) {
            if (!zs_parse_u32(val.substr(c + 1), 65535, &n))
                return fail(st, "--tcp: bad port in " + val);
            l.port = static_cast<uint16_t>(n);
        }
        st->cfg.lines.push_back(l);
    } else if (name == "monitors") {
        const size_t c = val.find(':');
        uint32_t line = 0;
        if (c != std::string::npos && (!zs_parse_u32(val.substr(0, c), 255, &line) || line == 0))
            return fail(st, "--monitors: bad line in " + val);
        if (!zs_parse_u32(c == std::string::npos ? val : val.substr(c + 1), 255, &n) || n == 0)
            return fail(st, "--monitors: 1 to 255 monitors: " + val);
        st->counts.emplace_back(static_cast<int>(line) - 1, static_cast<int>(n));
    } else if (name == "mon")
        st->mon_sets.push_back(val);
    else if (name == "restart-ms") {
        if (!zs_parse_u32(val, 3600000, &st->restart_ms)) return fail(st, "--restart-ms: " + val);
    } else if (name == "baud") {
        if (!zs_parse_u32(val, 10000000, &st->baud) || !st->baud) return fail(st, "--baud: " + val);
    } else if (name == "parity") {
        if (val == "E" || val == "e")
            st->parity = 'E';
        else if (val == "N" || val == "n")
            st->parity = 'N';
        else if (val == "any")
            st->parity = 0;
        else
            return fail(st, "--parity: E, N or any: " + val);
    } else if (name == "bootstrap") {
        if (has_val && (!zs_parse_u32(val, 255, &n) || n == 0))
            return fail(st, "--bootstrap: bad line " + val);
        st->bootstrap.push_back(has_val ? static_cast<int>(n) - 1 : -1);
    } else if (name == "boot-id") {
        if (!zs_parse_u32(val, 255, &st->boot_id)) return fail(st, "--boot-id: " + val);
    } else if (name == "boot-ack") {
        if (!zs_parse_u32(val, 255, &st->boot_ack)) return fail(st, "--boot-ack: " + val);
    } else if (name == "fault")
        return parse_fault(st, val);
    else if (name == "seed") {
        if (!zs_parse_u32(val, 0xFFFFFFFF, &st->cfg.seed)) return fail(st, "--seed: " + val);
    } else if (name == "log")
        st->cfg.log_path = val;
    else if (name == "fs-load" || name == "fs-random" || name == "fs-gamma")
        return parse_fs_opt(st, name, val);
    else if (name == "fs-capacity") {
        if (!zs_parse_u32(val, 0xFFFF, &st->fs_capacity)) return fail(st, "--fs-capacity: " + val);
    } else if (name == "fs-save") {
        if (val.empty()) return fail(st, "--fs-save needs a directory");
        st->cfg.fs_save = val;
    } else if (name == "image-save") {
        if (val.empty()) return fail(st, "--image-save needs a directory");
        st->cfg.image_save = val;
    } else if (name == "state")
        return read_state(st, val, depth + 1);
    else
        return fail(st, "unknown option --" + name);
    return true;
}

static bool read_state(opt_state *st, const std::string &path, int depth) {
    if (depth > 4) return fail(st, "state files nest too deep: " + path);
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return fail(st, path + ": " + std::strerror(errno));
    char buf[1024];
    int lineno = 0;
    bool ok = true;
    while (ok && std::fgets(buf, sizeof buf, f)) {
        ++lineno;
        std::string s = buf;
        if (s.find('\n') == std::string::npos && !std::feof(f)) {
            ok = fail(st, path + ":" + std::to_string(lineno) + ": line too long");
            break;
        }
        const size_t hash = s.find('#');
        if (hash != std::string::npos) s.erase(hash);
        const size_t b = s.find_first_not_of(" \t\r\n");
        if (b == std::string::npos) continue;
        s = s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
        if (s.compare(0, 2, "--") == 0) s.erase(0, 2);
        const size_t sp = s.find_first_of(" \t=");
        std::string name = s.substr(0, sp), val;
        if (sp != std::string::npos) {
            const size_t vb = s.find_first_not_of(" \t=", sp);
            val = vb == std::string::npos ? "" : s.substr(vb);
        }
        ok = handle(st, name, val, sp != std::string::npos, depth);
        if (!ok) st->err = path + ":" + std::to_string(lineno) + ": " + st->err;
    }
    std::fclose(f);
    return ok;
}

// Turns the collected options into the lines' configuration.
static bool finish(opt_state *st) {
    if (st->cfg.lines.empty()) return fail(st, "no line: give --pty PATH or --tcp ADDR[:PORT]");
    for (zs_line_cfg &l : st->cfg.lines) {
        l.loop = st->loop;
        l.pace = st->pace;
        l.baud = st->baud;
        l.parity = st->parity;
        l.boot_id = static_cast<uint8_t>(st->boot_id);
        l.boot_ack = static_cast<uint8_t>(st->boot_ack);
        zs_line_set_count(&l, 1);
    }
    for (const int line : st->bootstrap) {
        if (line >= static_cast<int>(st->cfg.lines.size()))
            return fail(st, "--bootstrap: no such line");
        for (size_t i = 0; i < st->cfg.lines.size(); ++i)
            if (line < 0 || static_cast<int>(i) == line) st->cfg.lines[i].bootstrap = true;
    }
    for (const auto &[line, n] : st->counts) {
        if (line >= static_cast<int>(st->cfg.lines.size()))
            return fail(st, "--monitors: no such line");
        for (size_t i = 0; i < st->cfg.lines.size(); ++i)
            if (line < 0 || static_cast<int>(i) == line) zs_line_set_count(&st->cfg.lines[i], n);
    }
    for (zs_line_cfg &l : st->cfg.lines)
        for (zs_monitor &m : l.mons) m.restart_ms = st->restart_ms;
    for (const std::string &s : st->mon_sets)
        if (!apply_mon_set(st, s)) return false;
    if (!apply_fs(st)) return false;
    for (const opt_fault &f : st->faults) {
        if (f.line >= static_cast<int>(st->cfg.lines.size()))
            return fail(st, "--fault: no such line");
        for (size_t i = 0; i < st->cfg.lines.size(); ++i)
            if (f.line < 0 || static_cast<int>(i) == f.line) st->cfg.lines[i].faults.push_back(f.f);
    }
    return true;
}

int zs_parse_args(int argc, const char *const *argv, zs_config *cfg, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (!cfg || argc < 0 || (argc > 0 && !argv)) return ZS_BAD_ARG;
    opt_state st;
    bool help = false, version = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i] ? argv[i] : "";
        if (a.compare(0, 2, "--") != 0) {
            *err = "not an option: " + a;
            return ZS_BAD_ARG;
        }
        a.erase(0, 2);
        std::string name = a, val;
        bool has_val = false;
        const size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            val = a.substr(eq + 1);
            has_val = true;
        } else if (!is_flag(name) && i + 1 < argc &&
                   !(is_optional(name) && argv[i + 1] && std::strncmp(argv[i + 1], "--", 2) == 0)) {
            val = argv[++i] ? argv[i] : "";
            has_val = true;
        }
        if (name == "help") help = true;
        if (name == "version") version = true;
        if (!handle(&st, name, val, has_val, 0)) {
            *err = st.err;
            return ZS_BAD_ARG;
        }
    }
    if (help) return ZS_HELP;
    if (version) return ZS_VERSION;
    if (!finish(&st)) {
        *err = st.err;
        return ZS_BAD_ARG;
    }
    *cfg = st.cfg;
    return ZS_OK;
}
