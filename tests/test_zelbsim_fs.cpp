// Tests of the simulator's file system: its commands as frames over the pseudo-terminal, the
// options that seed it, the dump files, and writing it out from a running simulator. Frames
// are built by hand (support/zs_client.h), so that the simulator's codec is not what checks
// itself.
#include "support/test_util.h"
#include "support/zs_client.h"
#include "zs_internal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>

using entry = std::array<uint16_t, ZS_FS_WORDS>;

namespace {

entry make_entry(std::initializer_list<uint16_t> words) {
    entry e;
    e.fill(0xFFFF);
    std::copy(words.begin(), words.end(), e.begin());
    return e;
}

bool same_fs(const zs_fs &a, const zs_fs &b) {
    return a.entries == b.entries && std::equal(a.gamma, a.gamma + ZS_GAMMA_TABLES, b.gamma);
}

// One pty line whose monitors start with `fs`, one monitor per file system.
zs_line_cfg fs_line(std::vector<zs_fs> fs, uint32_t capacity = ZS_FS_CAPACITY) {
    zs_line_cfg l = zc_line(int(fs.size()));
    l.fs = std::move(fs);
    l.fs_capacity = capacity;
    return l;
}

zs_fs fs_of(zs_sim *sim, int mon) {
    zs_fs f;
    EXPECT_EQ(zs_get_fs(sim, 0, mon, &f), ZS_OK);
    return f;
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
    zc_sim s({fs_line({sample_fs(), other})});
    std::vector<zc_step> t = {
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
        {1, 0x6003, 0, zc_refused, "nothing to delete"},
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
    const std::vector<zc_step> t2 = {
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
        {1, 0x6002, 7, zc_refused, "so a write is refused"},
        {1, 0x6004, 0, zc_refused, "identifier 0"},
        {1, 0x6004, 0xFFFF, zc_refused, "identifier FFFF"},
        {1, 0x6004, 0x06A1, 0x06A1, "an entry to fill"},
    };
    t.insert(t.end(), t2.begin(), t2.end());
    for (uint16_t i = 1; i < ZS_FS_WORDS; ++i) t.push_back({1, 0x6002, i, i, "fill"});
    t.push_back({1, 0x6002, 32, zc_refused, "past word 31"});
    t.push_back({1, 0x6004, 0xFFC9, 0xFFC9, "a gamma table to fill"});
    for (uint16_t i = 1; i < ZS_GAMMA_WORDS; ++i) t.push_back({1, 0x6002, i, i, "fill"});
    t.push_back({1, 0x6002, 73, zc_refused, "past word 72"});
    t.push_back({1, 0x6000, 0xFFC9, 0xFFC9, "select it"});
    t.push_back({1, 0x6003, 0, 0, "delete it"});
    t.push_back({1, 0x6000, 0xFFC9, 0xFFFF, "it is gone"});
    t.push_back({0, 0x6004, 0x0BAC, 0x0BAC, "a broadcast create reaches both"});
    s.run(t);

    entry full;
    for (uint16_t i = 0; i < ZS_FS_WORDS; ++i) full[i] = i ? i : 0x06A1;
    zs_fs want;
    want.entries = {kA, kC, kD, make_entry({0x05AE, 1, 0x1234}), full, make_entry({0x0BAC})};
    want.gamma[0] = {0xFFC1, 7};
    want.gamma[3] = {0xFF49};
    EXPECT_TRUE(same_fs(fs_of(s.sim, 1), want));
    EXPECT_EQ(fs_of(s.sim, 2).entries,
              (std::vector<entry>{make_entry({0x00AC}), make_entry({0x0BAC})}));
}

TEST(ZelbsimFs, CapacityRefusesNewEntriesButNotGammaTables) {
    zs_fs f;
    f.entries = {kA, kB};
    zc_sim s({fs_line({f}, 3)});
    s.run({
        {1, 0x6004, 0x01A1, 0x01A1, "the third entry"},
        {1, 0x6004, 0x02A1, zc_refused, "a fourth is refused"},
        {1, 0x6002, 5, zc_refused, "and nothing is being written"},
        {1, 0x6004, 0xFF41, 0xFF41, "gamma tables do not count"},
        {1, 0x6000, 0, 0x01A9, "next: A"},
        {1, 0x6003, 0, 0, "delete it"},
        {1, 0x6004, 0x02A1, 0x02A1, "room again"},
    });
    zs_fs big;
    big.entries.assign(4, kA);
    EXPECT_EQ(zs_set_fs(s.sim, 0, 1, big), ZS_BAD_ARG);
}

TEST(ZelbsimFs, FaultRulesApplyAndARestartEndsTheSession) {
    zc_sim s({fs_line({sample_fs(), zs_fs{}})});
    ASSERT_EQ(zs_add_fault(s.sim, 0, zs_fault{.kind = ZS_F_SILENT, .nth = 3}), ZS_OK);
    EXPECT_EQ(s.value(1, 0x6005), 0);
    EXPECT_EQ(s.value(1, 0x6000), 0x01A9);
    // The third frame goes unanswered, but the monitor read the word all the same.
    EXPECT_TRUE(s.unanswered(zc_frame(1, 0x6001, 0)));
    EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u);
    EXPECT_EQ(s.value(1, 0x6001), 10);

    s.send(zc_frame(1, 0x6009, 0));
    ASSERT_TRUE(tu_wait_until([&] {
        zs_mon_status st;
        return zs_get_monitor(s.sim, 0, 1, &st) == ZS_OK && st.restarts == 1 && !st.silent;
    }));
    EXPECT_EQ(s.value(1, 0x6001), 0xFFFF) << "the selection is gone";
    EXPECT_EQ(s.value(1, 0x6000), 0x01A9) << "the cursor is back at the start";
    EXPECT_EQ(fs_of(s.sim, 1).entries.size(), 4u) << "the content is kept";
}

// ---- seeding options ----------------------------------------------------------------------

TEST(ZelbsimFs, RandomContentIsPlausibleAndReproducible) {
    auto fs_of_args = [](const std::vector<const char *> &args) {
        zs_config c;
        std::string err;
        EXPECT_EQ(zc_parse(args, &c, &err), ZS_OK) << err;
        return c.lines.empty() ? std::vector<zs_fs>{} : c.lines[0].fs;
    };
    const auto a = fs_of_args(
        {"--pty", "-", "--monitors", "2", "--fs-random", "40", "--fs-gamma", "4", "--seed", "7"});
    const auto b = fs_of_args({"--seed", "7", "--fs-gamma", "2:4", "--fs-gamma", "1:4", "--pty",
                               "-", "--fs-random", "40", "--monitors", "2"});
    const auto c = fs_of_args(
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
            EXPECT_TRUE((g.size() - 9) % 2 == 0 && g.size() <= ZS_GAMMA_WORDS) << g.size();
            for (size_t p = 11; p < g.size(); p += 2) EXPECT_GT(g[p] & 0xFF, g[p - 2] & 0xFF);
            EXPECT_EQ(g[g.size() - 2] & 0xFF, 255) << "end marker";
        }
    }
    EXPECT_GT(modes, 0);
}

TEST(ZelbsimFs, LoadOptionSeedsTheSelectedMonitorsAndNamesTheFileAtFault) {
    const std::string dir = tu_make_temp_dir("zs_fs_opt_");
    ASSERT_FALSE(dir.empty());
    const std::string seed = dir + "/seed.vqf", sel_seed = "2:" + seed;
    ASSERT_EQ(zs_fs_write_file(seed, sample_fs(), "seed"), ZS_OK);
    zs_config c;
    std::string err;
    ASSERT_EQ(zc_parse({"--pty", "-", "--monitors", "2", "--fs-random", "2:1", "--fs-load",
                        sel_seed.c_str()},
                       &c, &err),
              ZS_OK)
        << err;
    ASSERT_EQ(c.lines[0].fs.size(), 2u);
    EXPECT_TRUE(c.lines[0].fs[0].entries.empty());
    ASSERT_EQ(c.lines[0].fs[1].entries.size(), 5u) << "loaded, then one random entry";
    EXPECT_EQ(c.lines[0].fs[1].gamma[0], kC1);

    ASSERT_EQ(zc_parse({"--pty", "-", "--fs-load", seed.c_str(), "--fs-capacity", "3"}, &c, &err),
              ZS_OK);
    zs_sim *sim = nullptr;
    EXPECT_EQ(zs_start(c, &sim, &err), ZS_BAD_ARG);
    EXPECT_NE(err.find("capacity"), std::string::npos) << err;

    const std::string bad =
        tu_write_file(dir + "/bad.vqf", "// fine\n:" + std::string(31 * 5, '0') + "\n");
    const std::pair<std::string, std::string> rows[] = {{bad, bad + ":2:"},
                                                        {"/nonexistent/x.vqf", "/nonexistent"}};
    for (const auto &[path, says] : rows) {
        EXPECT_EQ(zc_parse({"--pty", "-", "--fs-load", path.c_str()}, &c, &err), ZS_BAD_ARG);
        EXPECT_NE(err.find(says), std::string::npos) << err;
    }
    std::filesystem::remove_all(dir);
}

// ---- dump files ---------------------------------------------------------------------------

TEST(ZelbsimFs, DumpFilesRoundTripAndTheReaderTakesWhatItShould) {
    const std::string dir = tu_make_temp_dir("zs_fs_dump_");
    ASSERT_FALSE(dir.empty());
    zs_fs f, back;
    std::mt19937 rng(5);
    zs_fs_random_entries(&f, 30, &rng);
    zs_fs_random_gamma(&f, 4, &rng);
    f.gamma[3] = {0xFF49};  // cut short before its colour words
    const std::string path = dir + "/a.vqf";
    std::string err;
    ASSERT_EQ(zs_fs_write_file(path, f, "line 1\nmonitor 2"), ZS_OK);
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

    std::string words, points;
    for (int i = 0; i < 32; ++i) words += i ? "ffff " : "01a9 ";
    for (int i = 0; i < 33; ++i) points += ";1 1 1 1\n";
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
        {";49\n;1 2 3 4 5 6 7 8\n" + points, 35},
    };
    for (const Row &r : rows) {
        const std::string p = tu_write_file(dir + "/r.vqf", r.text);
        const int rc = zs_fs_read_file(p, &back, &err);
        EXPECT_EQ(rc, r.bad_line ? ZS_BAD_ARG : ZS_OK) << r.text << err;
        if (r.bad_line) {
            EXPECT_NE(err.find(p + ":" + std::to_string(r.bad_line) + ":"), std::string::npos)
                << err;
        }
    }
    ASSERT_EQ(zs_fs_read_file(tu_write_file(dir + "/r.vqf", rows[0].text), &back, &err), ZS_OK);
    EXPECT_EQ(back.entries, (std::vector<entry>(2, make_entry({0x01A9}))));
    ASSERT_EQ(zs_fs_read_file(tu_write_file(dir + "/r.vqf", rows[4].text), &back, &err), ZS_OK);
    EXPECT_EQ(back.gamma[2], (std::vector<uint16_t>{0xFFC9, 1, 2, 3, 4, 5, 6, 7, 8, 0x0000, 0x0302,
                                                    0xFFFF, 0xFFFF}))
        << "x r g b, each its low 8 bits";
    std::filesystem::remove_all(dir);
}

// ---- writing out --------------------------------------------------------------------------

// The program with --fs-save: a create over its pty, then SIGUSR1 writes every monitor's file
// system as it is, and so does the end.
TEST(ZelbsimFs, TheProgramWritesTheFileSystemsOnSignalAndOnExit) {
    const std::string dir = tu_make_temp_dir("zs_fs_save_");
    ASSERT_FALSE(dir.empty());
    const std::string bin = VQ_BINARY_DIR "/bin/zelbsim", link = dir + "/tty", save = dir + "/out";
    tu_child child;
    ASSERT_TRUE(child.spawn(
        {bin, "--pty", link, "--monitors", "2", "--fs-random", "2:3", "--fs-save", save},
        dir + "/stdout"));
    ASSERT_TRUE(child.printed("ready")) << tu_read_file(child.out);
    const int fd = zc_open_port(link);
    ASSERT_GE(fd, 0);
    auto ask = [&](const zc_bytes &q) {
        return tu_write_all(fd, q.data(), q.size()) ? tu_read_n(fd, 10) : zc_bytes{};
    };
    EXPECT_EQ(ask(zc_frame(1, 0x6004, 0x0AAC)), zc_ack(1, 0x6004, 0x0AAC));
    EXPECT_EQ(ask(zc_frame(1, 0x6002, 7)), zc_ack(1, 0x6002, 7));
    close(fd);
    kill(child.pid, SIGUSR1);
    ASSERT_TRUE(child.printed("written")) << tu_read_file(child.out);
    zs_fs one, two;
    std::string err;
    ASSERT_EQ(zs_fs_read_file(save + "/line1-mon1.vqf", &one, &err), ZS_OK) << err;
    ASSERT_EQ(zs_fs_read_file(save + "/line1-mon2.vqf", &two, &err), ZS_OK) << err;
    EXPECT_EQ(one.entries, std::vector<entry>{make_entry({0x0AAC, 7})});
    EXPECT_EQ(two.entries.size(), 3u);

    EXPECT_TRUE(child.stop()) << tu_read_file(child.out);
    const std::string out = tu_read_file(child.out);
    EXPECT_NE(out.find("monitor 2: file system 3 entries, 0 gamma tables"), std::string::npos)
        << out;
    EXPECT_NE(out.find("written", out.find("written") + 1), std::string::npos) << "on exit too";
    std::filesystem::remove_all(dir);
}
