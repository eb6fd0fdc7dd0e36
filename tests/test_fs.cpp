// The device file system end to end, on a headless main window against
// simulated monitors behind a converter on 127.0.12.x (one test on a pty): the
// erase with its question and its traffic, the upload into a dump file that
// replaces the chosen file only at its successful end, the download that
// replaces entries by identifier and mode data by content, the round trip
// monitor -> file -> monitor -> file, and what a faulty monitor or a stop
// leaves behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_replace.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/files.h"
#include "velquor/util/vqsystem.h"

namespace {

using entry = std::array<uint16_t, ZS_FS_WORDS>;

entry make_entry(std::initializer_list<uint16_t> words) {
    entry e;
    e.fill(0xFFFF);
    std::copy(words.begin(), words.end(), e.begin());
    return e;
}

// A gamma table in device words: identifier, colour points, points (the last
// one an end marker).
std::vector<uint16_t> gamma_words(uint16_t nr, int points) {
    std::vector<uint16_t> g = {uint16_t(0xFF00 + nr), 640, 330, 300, 600, 150, 60, 313, 329};
    for (int i = 0; i < points; ++i) {
        const uint16_t x = i + 1 == points ? 255 : uint16_t(i * 8);
        g.push_back(uint16_t((i + 1) << 8 | x));
        g.push_back(uint16_t((i + 3) << 8 | (i + 2)));
    }
    return g;
}

struct Fs : Ops {
    std::string dir;

    void SetUp() override {
        Ops::SetUp();
        dir = tu_make_temp_dir("vq_fs_");
        ASSERT_FALSE(dir.empty());
        fsf_prot = 0;
        plat::win_boxes_clear();
    }
    void TearDown() override {
        Ops::TearDown();
        sm_reset_stop_request();
        std::filesystem::remove_all(dir);
        ip_list[0][0] = ip_list[0][1] = ip_list_ent{};
        std::snprintf(ip_list[0][0].ip, ipl_ip_size, "%s", ipl_std_ip);
        std::snprintf(ip_list[0][1].ip, ipl_ip_size, "%s", ipl_std_ip);
    }

    // Lines of the simulator from zelbsim's own options (after "zelbsim").
    void start_with(const std::vector<std::string> &args, const char *addr) {
        std::vector<const char *> argv = {"zelbsim"};
        for (const std::string &a : args) argv.push_back(a.c_str());
        zs_config cfg;
        std::string err;
        ASSERT_EQ(zs_parse_args(int(argv.size()), argv.data(), &cfg, &err), ZS_OK) << err;
        sim = ops_start(cfg.lines);
        ASSERT_NE(sim, nullptr);
        std::snprintf(sys_ip, sizeof sys_ip, "%s", addr);
        com_mode = com_mode_ip;
    }

    std::string path(const char *name) const { return dir + "/" + name; }

    // Starts an operation as its button does and waits for its end.
    static void op(char (*start)(int)) {
        dome = 1;
        sys_act = 0;
        start(hwndMain);
        ASSERT_TRUE(ui_wait_idle(120000));
        ASSERT_EQ(dome.load(), 0) << "operation did not end";
    }
    void upload(int mon, const std::string &file) {
        sys_zelb_nr = static_cast<uint8_t>(mon);
        std::snprintf(fname1, sizeof fname1, "%s", file.c_str());
        op(upload_fs);
    }
    void download(int mon, const std::string &file) {
        sys_zelb_nr = static_cast<uint8_t>(mon);
        std::snprintf(fname1, sizeof fname1, "%s", file.c_str());
        op(download_fs);
    }

    // The entries of fs as a dump file, written as the upload writes them.
    static void write_dump(const std::string &file, const zs_fs &fs) {
        FILE *f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (const entry &e : fs.entries) {
            int32_t w[fs_ent_words];
            for (int j = 0; j < fs_ent_words; ++j) w[j] = e[j];
            ASSERT_EQ(fs_print_entry(f, w), 0);
        }
        std::fclose(f);
    }

    zs_fs fs_of(int mon, int line = 0) {
        zs_fs f;
        EXPECT_EQ(zs_get_fs(sim, line, mon, &f), ZS_OK);
        return f;
    }

    // The commands monitor mon received, as "cmd:val" words in order.
    std::vector<std::string> traffic(int mon) {
        std::vector<std::string> out;
        for (const zs_event &e : zs_events(sim))
            if (e.kind == ZS_EV_RX && e.mon == mon) {
                char w[16];
                std::snprintf(w, sizeof w, "%04X:%X", e.cmd, e.val);
                out.push_back(w);
            }
        return out;
    }

    // The names in dir.
    std::vector<std::string> files(void) const {
        std::vector<std::string> n;
        for (const auto &e : std::filesystem::directory_iterator(dir))
            n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
};

const std::vector<std::string> kCount = {"6005:0", "6000:0", "6005:0"};  // an empty monitor counted

// The erase's traffic: an empty monitor in a ring is counted, keyed, and
// passed with one selection; alone it gets the alert and no erase pass. The
// question is asked once for the ring; No leaves every entry.
TEST_F(Fs, EraseTrafficAndTheQuestion) {
    start_with({"--tcp", "127.0.12.40:11111", "--monitors", "2", "--fs-random", "2:3"},
               "127.0.12.40");
    sys_zelb_nr = 0;
    plat::win_script_box(plat::WIN_ANSWER_YES);
    op(erase_zelb);
    std::vector<std::string> want = kCount;
    for (const char *c : {"208C:0", "6005:0", "6000:0", "6005:0", "6005:0"}) want.push_back(c);
    EXPECT_EQ(traffic(1), want);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{
                              "Do you really want to delete the file system of all monitors?"});
    EXPECT_TRUE(fs_of(2).entries.empty());
    EXPECT_EQ(fs_report.deleted, 3);
    // The second monitor: counted (3 entries), then select/delete three times.
    const std::vector<std::string> t2 = traffic(2);
    EXPECT_EQ(std::count(t2.begin(), t2.end(), "6003:0"), 3);

    // Alone and empty: the alert after the counting and the OK key.
    zs_stop(&sim);
    start_with({"--tcp", "127.0.12.41:11111", "--monitors", "1"}, "127.0.12.41");
    sys_zelb_nr = 1;
    op(erase_zelb);
    want = kCount;
    want.push_back("208C:0");
    EXPECT_EQ(traffic(1), want);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"The file system is empty!"});
    EXPECT_EQ(fs_report.empty, 1);

    // Answered No: nothing deleted.
    zs_stop(&sim);
    start_with({"--tcp", "127.0.12.42:11111", "--monitors", "1", "--fs-random", "5"},
               "127.0.12.42");
    plat::win_script_box(plat::WIN_ANSWER_NO);
    op(erase_zelb);
    EXPECT_EQ(fs_of(1).entries.size(), 5u);
    EXPECT_EQ(fs_report.declined, 1);
    EXPECT_EQ(end_last_rv, 0);
}

// Over RS232 too; erase_zelb_all, the step of the firmware update, erases
// monitors 3, 2, 1 in this order without a question.
TEST_F(Fs, EraseOverRs232AndAllMonitorsAsOneStep) {
    zs_line_cfg lc;
    zs_line_set_count(&lc, 3);
    lc.fs.resize(3);
    for (zs_fs &f : lc.fs) f.entries = {make_entry({0x00AD, 1}), make_entry({0x01A9, 2})};
    start_pty_line(lc);
    sys_zelb_nr = 2;
    plat::win_script_box(plat::WIN_ANSWER_YES);
    op(erase_zelb);
    EXPECT_EQ(ui_boxes(),
              std::vector<std::string>{"Do you really want to delete the file system?"});
    EXPECT_TRUE(fs_of(2).entries.empty());
    EXPECT_EQ(fs_of(1).entries.size(), 2u);

    sys_zelb_nr = 3;
    ASSERT_EQ(open_my_zelb_noipl(), 0);
    run(ix_fs_er_all);
    std::vector<int> order;
    for (const zs_event &e : zs_events(sim))
        if (e.kind == ZS_EV_RX && e.cmd == fs_cmd_delete) order.push_back(e.mon);
    // Two deletes on monitor 2 by the erase above, then 3, 3, 1, 1 (2 is empty now).
    EXPECT_EQ(order, (std::vector<int>{2, 2, 3, 3, 1, 1}));
    EXPECT_TRUE(ui_boxes().empty());
}

// A monitor's file system saved, written into an erased monitor and saved
// again gives the same file, for one monitor, a ring of three and each
// address of an IP list of two; the words and tables on the monitors agree.
TEST_F(Fs, RoundTripThroughTheDumpFile) {
    start_with({"--tcp", "127.0.12.43:11111", "--monitors", "4", "--fs-random", "1.1:6",
                "--fs-gamma", "1.1:4", "--tcp", "127.0.12.44:11111", "--monitors", "2:1", "--tcp",
                "127.0.12.45:11111", "--monitors", "3:1"},
               "127.0.12.43");
    const zs_fs src = fs_of(1);
    ASSERT_EQ(src.entries.size(), 6u);
    upload(1, path("a.vqf"));
    EXPECT_TRUE(ui_boxes().empty());
    EXPECT_EQ(fs_report.total, 6);
    EXPECT_EQ(fs_report.tables, 4);
    // One monitor.
    download(2, path("a.vqf"));
    upload(2, path("b.vqf"));
    EXPECT_EQ(tu_read_file(path("a.vqf")), tu_read_file(path("b.vqf")));
    EXPECT_EQ(fs_of(2).entries, src.entries);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(fs_of(2).gamma[k], src.gamma[k]) << k;
    // A ring of four (the source included: every entry replaced by itself).
    download(0, path("a.vqf"));
    EXPECT_TRUE(ui_boxes().empty());
    for (int m = 1; m <= 4; ++m) EXPECT_EQ(fs_of(m).entries, src.entries) << m;
    upload(4, path("c.vqf"));
    EXPECT_EQ(tu_read_file(path("a.vqf")), tu_read_file(path("c.vqf")));
    // Each address of an IP list, as a group.
    std::snprintf(ip_list[0][0].ip, ipl_ip_size, "127.0.12.44");
    std::snprintf(ip_list[0][1].ip, ipl_ip_size, "127.0.12.45");
    com_mode = com_mode_ipl;
    sys_ipx = 0;
    broad = 1;
    download(0, path("a.vqf"));
    EXPECT_TRUE(ui_boxes().empty());
    EXPECT_EQ(fs_of(1, 1).entries, src.entries);
    EXPECT_EQ(fs_of(1, 2).entries, src.entries);
    EXPECT_EQ(fs_of(1, 2).gamma[3], src.gamma[3]);
    EXPECT_EQ(files(), (std::vector<std::string>{"a.vqf", "b.vqf", "c.vqf"}));
}

// An entry stored under the same identifier is replaced; a stored mode is
// replaced when word 1 lies within 1, word 2 within 1/64 and word 3 is equal,
// otherwise the new mode is added beside it.
TEST_F(Fs, DownloadReplacesByIdentifierAndModesByContent) {
    const entry mode = make_entry({0x01AE, 100, 6400, 806, 1280, 1024});
    zs_line_cfg lc = ops_tcp_line("127.0.12.46", 1);
    lc.fs.resize(1);
    lc.fs[0].entries = {make_entry({0x00AD, 1, 2}), mode};
    sim = ops_start({lc});
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.12.46");
    struct Row {
        uint16_t w1, w2, w3;
        size_t entries;  // on the monitor afterwards
    } rows[] = {
        {101, 6500, 806, 2},  // word 2 within 6400 + 6400/64: replaced
        {100, 6399, 806, 2}, {99, 6300, 806, 2}, {100, 6501, 806, 3},  // beyond 1/64: added
        {102, 6400, 806, 3},                                           // word 1 beyond 1
        {100, 6400, 807, 3},                                           // word 3 differs
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.w2);
        zs_fs start;
        start.entries = {make_entry({0x00AD, 1, 2}), mode};
        ASSERT_EQ(zs_set_fs(sim, 0, 1, start), ZS_OK);
        FILE *f = std::fopen(path("m.vqf").c_str(), "wb");
        int32_t ad[32], ae[32];
        for (int j = 0; j < 32; ++j) ad[j] = ae[j] = 0xFFFF;
        ad[0] = 0x00AD, ad[1] = 7;
        ae[0] = 0x01AE, ae[1] = r.w1, ae[2] = r.w2, ae[3] = r.w3, ae[4] = 1280;
        ASSERT_EQ(fs_print_entry(f, ad), 0);
        ASSERT_EQ(fs_print_entry(f, ae), 0);
        std::fclose(f);
        download(1, path("m.vqf"));
        const zs_fs got = fs_of(1);
        ASSERT_EQ(got.entries.size(), r.entries);
        EXPECT_EQ(std::count_if(got.entries.begin(), got.entries.end(),
                                [](const entry &e) { return e[0] == 0x00AD && e[1] == 7; }),
                  1);
        EXPECT_EQ(got.entries.back()[2], r.w2);  // the new mode is created last
    }
}

// The upload refuses monitor 0 and a write-protected file before touching it;
// a monitor with nothing at all is reported empty; a monitor that falls
// silent, and a stop, leave the chosen file as it was and no new file beside.
TEST_F(Fs, FailedUploadLeavesTheChosenFileAlone) {
    start_with({"--tcp", "127.0.12.47:11111", "--monitors", "2", "--fs-random", "1:12"},
               "127.0.12.47");
    const std::string target = path("keep.vqf");
    tu_write_file(target, "old contents\n");
    upload(0, target);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"no Monitor-No."});
    fsf_prot = 1;
    upload(1, target);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"The file is write-protected!"});
    fsf_prot = 0;
    upload(2, target);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"The file system is empty!"});

    zs_fault silent;
    silent.kind = ZS_F_SILENT;
    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(sim, 0, &st), ZS_OK);
    silent.nth = static_cast<uint32_t>(st.frames + 300);
    ASSERT_EQ(zs_add_fault(sim, 0, silent), ZS_OK);
    upload(1, target);
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"Timeout"});
    EXPECT_EQ(tu_read_file(target), "old contents\n");
    EXPECT_EQ(files(), std::vector<std::string>{"keep.vqf"});

    // An immediate stop in the middle of the reading.
    ASSERT_EQ(zs_clear_faults(sim, 0), ZS_OK);
    const uint64_t from = zs_last_seq(sim);
    sys_zelb_nr = 1;
    std::snprintf(fname1, sizeof fname1, "%s", target.c_str());
    dome = 1;
    sys_act = 0;
    upload_fs(hwndMain);
    // The loop runs the sequencer's timers while the test waits.
    ASSERT_TRUE(plat::win_pump_until(
        [&] {
            int n = 0;
            for (const zs_event &e : zs_events(sim, from)) n += e.kind == ZS_EV_RX && e.mon == 1;
            return n >= 100;
        },
        30000));
    sm_start_liste1(hwndMain, ix_sm_stop);
    ASSERT_TRUE(ui_wait_idle(30000));
    EXPECT_EQ(tu_read_file(target), "old contents\n");
    EXPECT_EQ(files(), std::vector<std::string>{"keep.vqf"});
}

// A monitor that falls silent in the middle of a download: the error is shown,
// the report says where it stopped, the entries before it are whole, and the
// dump file is as it was. A full monitor refuses the create.
TEST_F(Fs, FaultsDuringTheDownload) {
    std::vector<const char *> argv = {
        "zelbsim", "--tcp", "127.0.12.48:11111", "--monitors", "2", "--fs-random", "1:20"};
    zs_config cfg;
    std::string err;
    ASSERT_EQ(zs_parse_args(int(argv.size()), argv.data(), &cfg, &err), ZS_OK) << err;
    cfg.lines.push_back(ops_tcp_line("127.0.12.51", 1));
    cfg.lines.back().fs_capacity = 12;
    sim = ops_start(cfg.lines);
    ASSERT_NE(sim, nullptr);
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.12.48");
    zs_fs twenty = fs_of(1);
    ASSERT_EQ(zs_set_fs(sim, 0, 1, zs_fs{}), ZS_OK);
    write_dump(path("d.vqf"), twenty);
    const std::string before = tu_read_file(path("d.vqf"));

    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(sim, 0, &st), ZS_OK);
    zs_fault silent;
    silent.kind = ZS_F_SILENT;
    silent.nth = static_cast<uint32_t>(st.frames + 200);
    ASSERT_EQ(zs_add_fault(sim, 0, silent), ZS_OK);
    download(2, path("d.vqf"));
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"Timeout"});
    EXPECT_EQ(end_last_rv, mc_e_to);
    EXPECT_EQ(fs_report.mon, 2);
    EXPECT_EQ(fs_report.total, 20);
    EXPECT_GT(fs_report.done, 0);
    EXPECT_LT(fs_report.done, 20);
    const zs_fs part = fs_of(2);
    // Whole entries up to the silent one; that one holds what came before it.
    ASSERT_GE(part.entries.size(), static_cast<size_t>(fs_report.done));
    for (int i = 0; i < fs_report.done; ++i) EXPECT_EQ(part.entries[i], twenty.entries[i]) << i;
    EXPECT_EQ(tu_read_file(path("d.vqf")), before);

    // A monitor that holds at most 12 entries refuses the 13th.
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.12.51");
    download(1, path("d.vqf"));
    EXPECT_EQ(ui_boxes(), std::vector<std::string>{"no ACK at interface"});
    EXPECT_EQ(end_last_rv, mc_e_n_ack);
    EXPECT_EQ(fs_of(1, 1).entries.size(), 12u);
}

// A stop asked for during a ring download ends every further monitor without
// a command; the entry in hand is completed.
TEST_F(Fs, StopDuringARingDownload) {
    start_with({"--tcp", "127.0.12.49:11111", "--monitors", "3", "--fs-random", "1:30"},
               "127.0.12.49");
    const zs_fs src = fs_of(1);
    write_dump(path("s.vqf"), src);
    for (int m = 1; m <= 3; ++m) ASSERT_EQ(zs_set_fs(sim, 0, m, zs_fs{}), ZS_OK);
    // Each create on monitor 1 answered late, so that the stop comes long
    // before the last entry.
    zs_fault slow;
    slow.kind = ZS_F_DELAY;
    slow.arg = 200;
    slow.cmd = fs_cmd_create;
    slow.mon = 1;
    ASSERT_EQ(zs_add_fault(sim, 0, slow), ZS_OK);
    const uint64_t from = zs_last_seq(sim);
    std::thread stopper([&] {
        zs_event e;
        uint64_t after = from;
        for (int creates = 0; creates < 3; ++creates) {
            do {
                if (zs_wait_event(sim, ZS_EV_RX, 1, after, tu_wait_ms, &e) != ZS_OK) return;
                after = e.seq;
            } while (e.cmd != fs_cmd_create);
        }
        sm_set_stop_request();
    });
    download(0, path("s.vqf"));
    stopper.join();
    EXPECT_TRUE(ui_boxes().empty());
    const zs_fs one = fs_of(1);
    EXPECT_GE(one.entries.size(), 3u);
    EXPECT_LT(one.entries.size(), 30u);
    for (size_t i = 0; i < one.entries.size(); ++i)
        EXPECT_EQ(one.entries[i], src.entries[i]) << "entry " << i << " incomplete";
    for (int m = 2; m <= 3; ++m) {
        int frames = 0;
        for (const zs_event &e : zs_events(sim, from))
            if (e.kind == ZS_EV_RX && e.mon == m) ++frames;
        EXPECT_EQ(frames, 0) << m;
    }
}

// Gamma tables: a monitor without the normal table is asked for no other;
// with the normal and default tables the dump holds two blocks and only the
// source-style files that exist are rewritten.
TEST_F(Fs, GammaTablesOfTheUpload) {
    zs_line_cfg lc = ops_tcp_line("127.0.12.50", 2);
    lc.fs.resize(2);
    lc.fs[0].entries = {make_entry({0x00AD, 1})};
    lc.fs[0].gamma[1] = gamma_words(0x41, 5);  // default only: never asked for
    lc.fs[1].gamma[0] = gamma_words(0xC1, 4);
    lc.fs[1].gamma[1] = gamma_words(0x41, 32);
    sim = ops_start({lc});
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.12.50");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    tu_write_file("mygamma_def.c", "old");

    upload(1, path("g1.vqf"));
    EXPECT_TRUE(ui_boxes().empty());
    EXPECT_EQ(tu_read_file(path("g1.vqf")).find(";C1"), std::string::npos);
    for (const std::string &t : traffic(1)) EXPECT_NE(t, "6000:FF41");

    upload(2, path("g2.vqf"));
    EXPECT_TRUE(ui_boxes().empty());
    const std::string text = tu_read_file(path("g2.vqf"));
    EXPECT_NE(text.find(";C1 //Chroma and Gamma \r\n"), std::string::npos);
    EXPECT_NE(text.find(";41 //Chroma and Gamma \r\n"), std::string::npos);
    EXPECT_EQ(text.find(";C9"), std::string::npos);
    const std::string def = tu_read_file("mygamma_def.c");
    EXPECT_EQ(def.rfind("gt_ ,{640,330,    300,600,   150,60,   313,329},\n\n{\n0,1,2,3,\n", 0),
              0u);
    EXPECT_EQ(std::count(def.begin(), def.end(), '\n'),
              2 + 1 + 32 + 1);  // 32 points, no end marker beyond
    EXPECT_EQ(plat::file_kind("mygamma.c", nullptr), plat::FILE_KIND_NONE);
    ASSERT_EQ(chdir(cwd), 0);

    // Written back, the tables arrive as they were read.
    ASSERT_EQ(zs_set_fs(sim, 0, 1, zs_fs{}), ZS_OK);
    download(1, path("g2.vqf"));
    EXPECT_EQ(fs_of(1).gamma[0], lc.fs[1].gamma[0]);
    EXPECT_EQ(fs_of(1).gamma[1], lc.fs[1].gamma[1]);
}

}  // namespace
