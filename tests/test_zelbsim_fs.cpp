// Tests of the simulator's file system: its commands as frames over the pseudo-terminal, the
// options that seed it, the dump files, and writing it out from a running simulator. Frames
// are built here by hand, as in test_zelbsim.cpp, so that the simulator's codec is not what
// checks itself.
#include "support/test_util.h"
#include "zelbsim.h"
#include "zs_internal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

using bytes = std::vector<uint8_t>;
using entry = std::array<uint16_t, ZS_FS_WORDS>;

namespace {

bytes frame(uint8_t addr, uint16_t cmd, uint16_t val, uint8_t end = 0xFF) {
    bytes f = {0xAA, 0x55, addr, uint8_t(cmd), uint8_t(cmd >> 8), uint8_t(val), uint8_t(val >> 8)};
    f.push_back(uint8_t(f[2] + f[3] + f[4] + f[5] + f[6]));
    f.push_back(end);
    f.push_back(0x00);
    return f;
}

constexpr int kRefused = -1, kNoAnswer = -2;

int open_port(const std::string &path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD | PARENB;
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// The value acknowledged for one command, kRefused for the refusal frame, kNoAnswer else.
// `from` is the monitor expected to answer (the frame's address, the last one for broadcasts).
int ask(int fd, uint8_t addr, uint16_t cmd, uint16_t val, uint8_t from) {
    const bytes q = frame(addr, cmd, val);
    if (!tu_write_all(fd, q.data(), q.size())) return kNoAnswer;
    const bytes got = tu_read_n(fd, 10);
    if (got == frame(from, cmd, val, 0xFD)) return kRefused;
    const bytes head =
        frame(from, cmd, uint16_t(got.size() == 10 ? got[5] | got[6] << 8 : 0), 0xFE);
    return got == head ? got[5] | got[6] << 8 : kNoAnswer;
}

entry make_entry(std::initializer_list<uint16_t> words) {
    entry e;
    e.fill(0xFFFF);
    std::copy(words.begin(), words.end(), e.begin());
    return e;
}

bool same_fs(const zs_fs &a, const zs_fs &b) {
    return a.entries == b.entries && std::equal(a.gamma, a.gamma + ZS_GAMMA_TABLES, b.gamma);
}

// A simulation of one pty line with `fs` as its monitors' file systems, the slave open.
struct FsSim {
    zs_sim *sim = nullptr;
    int fd = -1;
    int n;
    explicit FsSim(std::vector<zs_fs> fs, uint32_t capacity = ZS_FS_CAPACITY) : n(int(fs.size())) {
        zs_config c;
        c.lines.resize(1);
        zs_line_set_count(&c.lines[0], n);
        c.lines[0].mons[0].restart_ms = 20;
        c.lines[0].fs = std::move(fs);
        c.lines[0].fs_capacity = capacity;
        std::string err;
        EXPECT_EQ(zs_start(c, &sim, &err), ZS_OK) << err;
        if (sim) fd = open_port(zs_slave_path(sim, 0));
        EXPECT_GE(fd, 0);
    }
    ~FsSim() {
        if (fd >= 0) close(fd);
        zs_stop(&sim);
    }
    int ask(uint8_t addr, uint16_t cmd, uint16_t val = 0) {
        return ::ask(fd, addr, cmd, val, uint8_t(addr ? addr : n));
    }
    zs_fs fs(int mon) {
        zs_fs f;
        EXPECT_EQ(zs_get_fs(sim, 0, mon, &f), ZS_OK);
        return f;
    }
};

struct Step {
    uint8_t addr;
    uint16_t cmd, val;
    int want;
    const char *what;
};

void run(FsSim *s, const std::vector<Step> &steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step &t = steps[i];
        EXPECT_EQ(s->ask(t.addr, t.cmd, t.val), t.want) << "step " << i << ": " << t.what;
    }
}

const entry kA = make_entry({0x01A9, 10, 20, 30}), kB = make_entry({0x00AD, 5}),
            kC = make_entry({0x02A2, 640, 480, 640, 480}), kD = make_entry({0x01A9, 99});
const std::vector<uint16_t> kC1 = {0xFFC1, 640, 330, 300, 600,    150,   60,
                                   313,    329, 0,   0,   0xFFFF, 0xFFFF};

zs_fs sample_fs() {
    zs_fs f;
    f.entries = {kA, kB, kC, kD};
    f.gamma[0] = kC1;
    return f;
}

}  // namespace

// ---- commands -----------------------------------------------------------------------------

TEST(ZelbsimFs, CommandsWalkReadDeleteAndWritePerMonitor) {
    zs_fs other;
    other.entries = {make_entry({0x00AC})};
    FsSim s({sample_fs(), other});
    std::vector<Step> t = {
        {1, 0x6005, 0, 0, "session"},
        {1, 0x6000, 0, 0x01A9, "next: A"},
        {1, 0x6001, 0, 0x01A9, "read word 0"},
        {1, 0x6001, 0, 10, "read word 1"},
        {2, 0x6000, 0, 0x00AC, "monitor 2 has its own cursor"},
        {1, 0x6001, 0, 20, "and monitor 1 its own read index"},
        {1, 0x6000, 0, 0x00AD, "next: B"},
        {1, 0x6000, 0, 0x02A2, "next: C"},
        {1, 0x6000, 0, 0x01A9, "next: D"},
        {1, 0x6001, 0, 0x01A9, "a new selection reads from word 0"},
        {1, 0x6000, 0, 0xFFFF, "past the last entry"},
        {1, 0x6001, 0, 0xFFFF, "nothing selected"},
        {1, 0x6003, 0, kRefused, "nothing to delete"},
        {1, 0x6005, 0, 0, "a session puts the cursor back"},
        {1, 0x6000, 0, 0x01A9, "next: A again"},
        {1, 0x6000, 0x02A2, 0x02A2, "by identifier: C"},
        {1, 0x6000, 0, 0x01A9, "next after C: D"},
        {1, 0x6000, 0x01A9, 0x01A9, "by identifier: the first one, A"},
        {1, 0x6001, 0, 0x01A9, "A's word 0"},
        {1, 0x6001, 0, 10, "A's word 1, not D's"},
        {1, 0x6000, 0x7777, 0xFFFF, "no such identifier"},
        {1, 0x6001, 0, 0xFFFF, "a miss selects nothing"},
        {1, 0x6000, 0xFF41, 0xFFFF, "absent gamma table"},
        {1, 0x6000, 0xFFC1, 0xFFC1, "gamma table C1"},
    };
    for (uint16_t w : kC1) t.push_back({1, 0x6001, 0, w, "gamma word"});
    std::vector<Step> t2 = {
        {1, 0x6001, 0, 0xFFFF, "past the gamma table's stored words"},
        {1, 0x6000, 0x00AD, 0x00AD, "B"},
        {1, 0x6003, 0, 0, "delete B"},
        {1, 0x6000, 0, 0x02A2, "next after the deleted one: C"},
        {1, 0x6000, 0x00AD, 0xFFFF, "B is gone"},
        {1, 0x6004, 0x05AE, 0x05AE, "create"},
        {1, 0x6002, 1, 1, "word 1"},
        {1, 0x6002, 0x1234, 0x1234, "word 2"},
        {1, 0x6004, 0xFFC1, 0xFFC1, "create gamma C1 afresh"},
        {1, 0x6002, 7, 7, "its word 1"},
        {1, 0x6004, 0xFF49, 0xFF49, "create gamma 49: word 0 alone"},
        {1, 0x6005, 0, 0, "a session closes the item being written"},
        {1, 0x6002, 7, kRefused, "so a write is refused"},
        {1, 0x6004, 0, kRefused, "identifier 0"},
        {1, 0x6004, 0xFFFF, kRefused, "identifier FFFF"},
        {1, 0x6004, 0x06A1, 0x06A1, "an entry to fill"},
    };
    t.insert(t.end(), t2.begin(), t2.end());
    for (uint16_t i = 1; i < ZS_FS_WORDS; ++i) t.push_back({1, 0x6002, i, i, "fill"});
    t.push_back({1, 0x6002, 32, kRefused, "past word 31"});
    t.push_back({1, 0x6004, 0xFFC9, 0xFFC9, "a gamma table to fill"});
    for (uint16_t i = 1; i < ZS_GAMMA_WORDS; ++i) t.push_back({1, 0x6002, i, i, "fill"});
    t.push_back({1, 0x6002, 73, kRefused, "past word 72"});
    t.push_back({1, 0x6000, 0xFFC9, 0xFFC9, "select it"});
    t.push_back({1, 0x6003, 0, 0, "delete it"});
    t.push_back({1, 0x6000, 0xFFC9, 0xFFFF, "it is gone"});
    t.push_back({0, 0x6004, 0x0BAC, 0x0BAC, "a broadcast create reaches both"});
    run(&s, t);

    entry full;
    for (uint16_t i = 0; i < ZS_FS_WORDS; ++i) full[i] = i ? i : 0x06A1;
    zs_fs want;
    want.entries = {kA, kC, kD, make_entry({0x05AE, 1, 0x1234}), full, make_entry({0x0BAC})};
    want.gamma[0] = {0xFFC1, 7};
    want.gamma[3] = {0xFF49};
    EXPECT_TRUE(same_fs(s.fs(1), want));
    EXPECT_EQ(s.fs(2).entries, (std::vector<entry>{make_entry({0x00AC}), make_entry({0x0BAC})}));
}

TEST(ZelbsimFs, CapacityRefusesNewEntriesButNotGammaTables) {
    zs_fs f;
    f.entries = {kA, kB};
    FsSim s({f}, 3);
    run(&s, {
                {1, 0x6004, 0x01A1, 0x01A1, "the third entry"},
                {1, 0x6004, 0x02A1, kRefused, "a fourth is refused"},
                {1, 0x6002, 5, kRefused, "and nothing is being written"},
                {1, 0x6004, 0xFF41, 0xFF41, "gamma tables do not count"},
                {1, 0x6000, 0, 0x01A9, "next: A"},
                {1, 0x6003, 0, 0, "delete it"},
                {1, 0x6004, 0x02A1, 0x02A1, "room again"},
            });
    const std::string sum = zs_summary(s.sim);
    EXPECT_NE(sum.find("monitor 1: file system 3 entries, 1 gamma tables"), std::string::npos)
        << sum;
    zs_fs big;
    big.entries.assign(4, kA);
    EXPECT_EQ(zs_set_fs(s.sim, 0, 1, big), ZS_BAD_ARG);
}

TEST(ZelbsimFs, FaultRulesApplyAndARestartEndsTheSession) {
    FsSim s({sample_fs()});
    zs_fault f;
    f.kind = ZS_F_SILENT;
    f.nth = 3;
    ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
    EXPECT_EQ(s.ask(1, 0x6005), 0);
    EXPECT_EQ(s.ask(1, 0x6000), 0x01A9);
    // The third frame goes unanswered: the ping behind it brings the first answer back.
    const bytes read = frame(1, 0x6001, 0);
    ASSERT_TRUE(tu_write_all(s.fd, read.data(), read.size()));
    EXPECT_EQ(s.ask(0, 0x5000, 0x5500), 0x5501);
    EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u);
    // The monitor read the word all the same: the next read gives word 1.
    EXPECT_EQ(s.ask(1, 0x6001), 10);

    ASSERT_TRUE(tu_write_all(s.fd, frame(1, 0x6009, 0).data(), 10));
    ASSERT_TRUE(tu_wait_until([&] {
        zs_mon_status st;
        return zs_get_monitor(s.sim, 0, 1, &st) == ZS_OK && st.restarts == 1 && !st.silent;
    }));
    EXPECT_EQ(s.ask(1, 0x6001), 0xFFFF) << "the selection is gone";
    EXPECT_EQ(s.ask(1, 0x6000), 0x01A9) << "the cursor is back at the start";
    EXPECT_EQ(s.fs(1).entries.size(), 4u) << "the content is kept";
}

// ---- seeding options ----------------------------------------------------------------------

namespace {
int parse(std::vector<const char *> args, zs_config *c, std::string *err) {
    args.insert(args.begin(), "zelbsim");
    return zs_parse_args(int(args.size()), args.data(), c, err);
}

std::string write_text(const std::string &dir, const char *name, const std::string &text) {
    const std::string p = dir + "/" + name;
    FILE *f = std::fopen(p.c_str(), "wb");
    if (f) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    return p;
}
}  // namespace

TEST(ZelbsimFs, RandomContentIsPlausibleAndReproducible) {
    auto fs_of = [](std::vector<const char *> args) {
        zs_config c;
        std::string err;
        EXPECT_EQ(parse(args, &c, &err), ZS_OK) << err;
        return c.lines.empty() ? std::vector<zs_fs>{} : c.lines[0].fs;
    };
    const auto a = fs_of(
        {"--pty", "-", "--monitors", "2", "--fs-random", "40", "--fs-gamma", "4", "--seed", "7"});
    const auto b = fs_of({"--seed", "7", "--fs-gamma", "2:4", "--fs-gamma", "1:4", "--pty", "-",
                          "--fs-random", "40", "--monitors", "2"});
    const auto c = fs_of(
        {"--pty", "-", "--monitors", "2", "--fs-random", "40", "--fs-gamma", "4", "--seed", "8"});
    ASSERT_TRUE(a.size() == 2 && b.size() == 2 && c.size() == 2);
    EXPECT_TRUE(same_fs(a[0], b[0]) && same_fs(a[1], b[1])) << "same seed, options reordered";
    EXPECT_FALSE(same_fs(a[0], c[0])) << "another seed";
    EXPECT_FALSE(same_fs(a[0], a[1])) << "each monitor its own";

    int modes = 0;
    for (const zs_fs &f : a) {
        ASSERT_EQ(f.entries.size(), 40u);
        std::set<uint16_t> ids;
        for (const entry &e : f.entries) {
            ids.insert(e[0]);
            // Mode data: the field rate from divisor and line frequency, then a resolution.
            if ((e[0] & 0xEF) != 0xAE) continue;
            ++modes;
            ASSERT_GT(e[1], 0);
            EXPECT_TRUE(e[2] * 4 / e[1] >= 50 && e[2] * 4 / e[1] <= 85) << e[1] << " " << e[2];
            EXPECT_TRUE(e[4] >= 640 && e[5] >= 400 && e[6] == 0xFFFF);
        }
        EXPECT_EQ(ids.size(), f.entries.size()) << "identifiers distinct";
        for (size_t t = 0; t < ZS_GAMMA_TABLES; ++t) {
            const std::vector<uint16_t> &g = f.gamma[t];
            ASSERT_GE(g.size(), 13u);
            EXPECT_EQ(g[0], 0xFF00 | zs_gamma_nr(t));
            EXPECT_EQ((g.size() - 9) % 2, 0u);
            EXPECT_LE(g.size(), ZS_GAMMA_WORDS);
            for (size_t p = 11; p < g.size(); p += 2) EXPECT_GT(g[p] & 0xFF, g[p - 2] & 0xFF);
            EXPECT_EQ(g[g.size() - 2] & 0xFF, 255) << "end marker";
        }
    }
    EXPECT_GT(modes, 0);
}

TEST(ZelbsimFs, LoadOptionsAndTheirErrors) {
    const std::string dir = tu_make_temp_dir("zs_fs_opt_");
    ASSERT_FALSE(dir.empty());
    zs_fs f = sample_fs();
    ASSERT_EQ(zs_fs_write_file(dir + "/seed.vqf", f, "seed", nullptr), ZS_OK);
    const std::string seed = dir + "/seed.vqf", sel_seed = "2:" + seed;
    const std::string bad =
        write_text(dir, "bad.vqf", "// fine\n:" + std::string(31 * 5, '0') + "\n:00A1 0001\n");

    zs_config c;
    std::string err;
    ASSERT_EQ(parse({"--pty", "-", "--monitors", "2", "--fs-random", "2:1", "--fs-load",
                     sel_seed.c_str()},
                    &c, &err),
              ZS_OK)
        << err;
    ASSERT_EQ(c.lines[0].fs.size(), 2u);
    EXPECT_TRUE(c.lines[0].fs[0].entries.empty());
    ASSERT_EQ(c.lines[0].fs[1].entries.size(), 5u) << "loaded, then one random entry";
    EXPECT_EQ(c.lines[0].fs[1].gamma[0], kC1);
    zs_sim *sim = nullptr;
    ASSERT_EQ(zs_start(c, &sim, &err), ZS_OK) << err;
    zs_fs got;
    EXPECT_EQ(zs_get_fs(sim, 0, 2, &got), ZS_OK);
    EXPECT_TRUE(same_fs(got, c.lines[0].fs[1]));
    zs_stop(&sim);

    const std::string state = write_text(dir, "state", "pty -\nfs-random 1:2\nfs-capacity 7\n");
    ASSERT_EQ(parse({"--state", state.c_str()}, &c, &err), ZS_OK) << err;
    EXPECT_TRUE(c.lines.at(0).fs.at(0).entries.size() == 2 && c.lines[0].fs_capacity == 7);

    ASSERT_EQ(parse({"--pty", "-", "--fs-load", seed.c_str(), "--fs-capacity", "3"}, &c, &err),
              ZS_OK);
    EXPECT_EQ(zs_start(c, &sim, &err), ZS_BAD_ARG);
    EXPECT_NE(err.find("capacity"), std::string::npos) << err;

    struct Row {
        std::vector<const char *> args;
        std::string says;
    } rows[] = {
        {{"--pty", "-", "--fs-load", bad.c_str()}, bad + ":2:"},
        {{"--pty", "-", "--fs-load", "/nonexistent/x.vqf"}, "/nonexistent/x.vqf"},
        {{"--pty", "-", "--monitors", "2", "--fs-random", "3:4"}, "no such monitor"},
        {{"--pty", "-", "--fs-random", "2.1:4"}, "no such line"},
        {{"--pty", "-", "--fs-gamma", "5"}, "--fs-gamma"},
        {{"--pty", "-", "--fs-capacity", "65536"}, "--fs-capacity"},
        {{"--pty", "-", "--fs-random", "x"}, "--fs-random"},
        {{"--pty", "-", "--fs-save"}, "--fs-save"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(parse(r.args, &c, &err), ZS_BAD_ARG) << r.says;
        EXPECT_NE(err.find(r.says), std::string::npos) << err;
    }
    std::filesystem::remove_all(dir);
}

// ---- dump files ---------------------------------------------------------------------------

TEST(ZelbsimFs, DumpFilesRoundTripAndTheReaderTakesWhatItShould) {
    const std::string dir = tu_make_temp_dir("zs_fs_dump_");
    ASSERT_FALSE(dir.empty());
    zs_fs f;
    std::mt19937 rng(5);
    zs_fs_random_entries(&f, 30, &rng);
    zs_fs_random_gamma(&f, 4, &rng);
    f.gamma[3] = {0xFF49};  // cut short before its colour words
    const std::string path = dir + "/a.vqf";
    ASSERT_EQ(zs_fs_write_file(path, f, "line 1\nmonitor 2", nullptr), ZS_OK);
    zs_fs back;
    std::string err;
    ASSERT_EQ(zs_fs_read_file(path, &back, &err), ZS_OK) << err;
    EXPECT_TRUE(same_fs(f, back));
    const std::string text = tu_read_file(path);
    EXPECT_EQ(text.rfind("// line 1 monitor 2\r\n", 0), 0u) << text.substr(0, 40);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));
    const auto files = std::filesystem::directory_iterator(dir);
    EXPECT_EQ(std::distance(begin(files), end(files)), 1) << "nothing left beside the file";
    EXPECT_EQ(zs_fs_write_file(dir + "/no/a.vqf", f, "", &err), ZS_SYS);
    EXPECT_NE(err.find(dir + "/no/a.vqf"), std::string::npos) << err;

    std::string words;
    for (int i = 0; i < 32; ++i) words += i ? "ffff " : "01a9 ";
    struct Row {
        std::string text;
        int bad_line;  // 0 = reads
    } rows[] = {
        {"// comment\n\nhello\n:" + words + "// note\r\n:" + words + "\n", 0},
        {":" + words.substr(0, 31 * 5) + "\n", 1},
        {"\n:" + words.substr(0, 5) + "0g00 " + words.substr(10) + "\n", 2},
        {":" + words + "0000 \n", 1},
        {";c9 // table\n;1 2 3 4 5 6 7 8\n;0 256 2 3\n;255 511 255 255\n", 0},
        {";C9\n;0 1 2 3\n", 2},
        {";C2\n", 1},
        {";41\n;1 2 3 4 5 6 7\n", 2},
        {";1 2 3 4\n", 1},
        {";49\n;1 2 3 4 5 6 7 8\n" +
             [] {
                 std::string p;
                 for (int i = 0; i < 33; ++i) p += ";1 1 1 1\n";
                 return p;
             }(),
         35},
    };
    for (const Row &r : rows) {
        const std::string p = write_text(dir, "r.vqf", r.text);
        zs_fs got;
        const int rc = zs_fs_read_file(p, &got, &err);
        EXPECT_EQ(rc, r.bad_line ? ZS_BAD_ARG : ZS_OK) << r.text << err;
        if (r.bad_line) {
            EXPECT_NE(err.find(p + ":" + std::to_string(r.bad_line) + ":"), std::string::npos)
                << err;
        }
    }
    ASSERT_EQ(zs_fs_read_file(write_text(dir, "r.vqf", rows[0].text), &back, &err), ZS_OK);
    EXPECT_EQ(back.entries, (std::vector<entry>(2, make_entry({0x01A9}))));
    ASSERT_EQ(zs_fs_read_file(write_text(dir, "r.vqf", rows[4].text), &back, &err), ZS_OK);
    EXPECT_EQ(back.gamma[2], (std::vector<uint16_t>{0xFFC9, 1, 2, 3, 4, 5, 6, 7, 8, 0x0000, 0x0302,
                                                    0xFFFF, 0xFFFF}))
        << "x r g b, each its low 8 bits";
    std::filesystem::remove_all(dir);
}

// ---- writing out --------------------------------------------------------------------------

namespace {
// Reads from fd until `text` has come; what was read.
std::string read_until(int fd, const std::string &text, std::string *seen) {
    tu_wait_until([&] {
        char b[512];
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) == 1) {
            const ssize_t n = read(fd, b, sizeof b);
            if (n > 0) seen->append(b, size_t(n));
        }
        return seen->find(text) != std::string::npos;
    });
    return *seen;
}

// A child process, killed when the test ends before it has been waited for.
struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
};
}  // namespace

// The program with --fs-save: a create over its pty, then SIGUSR1 writes every monitor's file
// system as it is, and so does the end.
TEST(ZelbsimFs, TheProgramWritesTheFileSystemsOnSignalAndOnExit) {
    const std::string dir = tu_make_temp_dir("zs_fs_save_");
    ASSERT_FALSE(dir.empty());
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    const std::string bin = VQ_BINARY_DIR "/bin/zelbsim", link = dir + "/tty", save = dir + "/out";
    const char *argv[] = {bin.c_str(),   "--pty", link.c_str(), "--monitors", "2",
                          "--fs-random", "2:3",   "--fs-save",  save.c_str(), nullptr};
    Child child;
    ASSERT_EQ(
        posix_spawn(&child.pid, bin.c_str(), &fa, nullptr, const_cast<char **>(argv), environ), 0);
    const pid_t pid = child.pid;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    std::string seen;
    read_until(out[0], "ready", &seen);
    ASSERT_NE(seen.find("ready"), std::string::npos) << seen;
    const int fd = open_port(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, 1, 0x6004, 0x0AAC, 1), 0x0AAC);
    EXPECT_EQ(ask(fd, 1, 0x6002, 7, 1), 7);
    close(fd);
    kill(pid, SIGUSR1);
    read_until(out[0], "written", &seen);
    zs_fs one, two;
    std::string err;
    ASSERT_EQ(zs_fs_read_file(save + "/line1-mon1.vqf", &one, &err), ZS_OK) << seen << err;
    ASSERT_EQ(zs_fs_read_file(save + "/line1-mon2.vqf", &two, &err), ZS_OK) << seen << err;
    EXPECT_EQ(one.entries, std::vector<entry>{make_entry({0x0AAC, 7})});
    EXPECT_EQ(two.entries.size(), 3u);

    kill(pid, SIGTERM);
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    child.pid = -1;
    char b[512];
    for (ssize_t n; (n = read(out[0], b, sizeof b)) > 0;) seen.append(b, size_t(n));
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("monitor 2: file system 3 entries, 0 gamma tables"), std::string::npos)
        << seen;
    EXPECT_NE(seen.find("written", seen.find("written") + 1), std::string::npos) << "on exit too";
    std::filesystem::remove_all(dir);
}
