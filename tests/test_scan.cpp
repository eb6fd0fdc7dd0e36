// The interface scan end to end on a headless main window in the Scan view,
// against simulated monitors on pseudo-terminals that the COM table names:
// the range and its progress, the tree's lines and levels for monitors, a
// loop-back plug, a silent line and a missing port, Cancel before and during
// the walk, the ports this user may not open, and the 99-port limit. Also the
// rule that gives USB adapters their COM numbers, on a /dev and /sys tree of
// the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/util/vqsystem.h"

namespace {

// Every device the serial layer was asked to open; the paths it refuses with
// EACCES; the path whose opening presses Cancel.
std::mutex g_mu;
std::vector<std::string> g_opened;
std::set<std::string> g_denied;
std::string g_cancel_at;

int watched_open(const char *path, int flags) {
    bool cancel = false;
    {
        std::lock_guard<std::mutex> lk(g_mu);
        g_opened.push_back(path);
        if (g_denied.count(path)) {
            errno = EACCES;
            return -1;
        }
        cancel = g_cancel_at == path;
    }
    if (cancel) stop_by_dlg();
    return ::open(path, flags);
}

std::vector<std::string> opened() {
    std::lock_guard<std::mutex> lk(g_mu);
    return g_opened;
}

// The Scan view's tree, one string per line: as many '>' as its level, a
// blank, its text, and " (open)" when it is expanded. Item ids grow, so id
// order is line order.
std::vector<std::string> tree() {
    const int t = plat::win_find_child(hwndMain, scan_tree_id);
    const size_t n = static_cast<size_t>(plat::win_tree_count(t));
    std::vector<std::string> out;
    for (int id = 1; out.size() < n && id < 100000; ++id) {
        const int level = plat::win_tree_item_level(t, id);
        if (level == 0) continue;
        char buf[200];
        plat::win_tree_item_text(t, id, buf, sizeof buf);
        out.push_back(std::string(level, '>') + " " + buf +
                      (plat::win_tree_is_expanded(t, id) ? " (open)" : ""));
    }
    return out;
}
using lines_t = std::vector<std::string>;

int boxes_with(const std::string &part) {
    int n = 0;
    for (const plat::WinBoxRecord &b : plat::win_boxes_shown())
        if (b.body.find(part) != std::string::npos) ++n;
    return n;
}

// The Scan view over RS232; every COM number names a device that does not
// exist until a test gives it a simulated line.
struct Scan : Ops {
    std::string dir;

    void SetUp() override {
        Ops::SetUp();
        dir = tu_make_temp_dir("vq_scan");
        ASSERT_FALSE(dir.empty());
        for (int n = 1; n <= 99; ++n)
            plat::ser_set_com_path(n, (dir + "/absent/com" + std::to_string(n)).c_str());
        {
            std::lock_guard<std::mutex> lk(g_mu);
            g_opened.clear();
            g_denied.clear();
            g_cancel_at.clear();
        }
        plat::ser_sys().open = watched_open;
        ASSERT_EQ(sys_start(), 0);
        com_mode = com_mode_rs232;
        sysmode = view_scan;
        sc_to = 1;
        sc_parno = 0;
        logcom = 0;
        sys_act = 1;
        CreateWindowContents(cw_rebuild);
    }
    void TearDown() override {
        Ops::TearDown();
        plat::ser_sys_reset();
        for (int n = 1; n <= 99; ++n) plat::ser_set_com_path(n, nullptr);
        reset_scan();
        sysmode = view_fs;
        logcom = 0;
        std::filesystem::remove_all(dir);
    }
    // Lines on pseudo-terminals as COM numbers.
    void lines(const std::vector<std::pair<int, zs_line_cfg>> &ls) {
        std::vector<zs_line_cfg> cfgs;
        for (const auto &l : ls) cfgs.push_back(l.second);
        sim = ops_start(cfgs);
        ASSERT_NE(sim, nullptr);
        for (size_t i = 0; i < ls.size(); ++i)
            ASSERT_TRUE(plat::ser_set_com_path(ls[i].first, zs_slave_path(sim, int(i)).c_str()));
    }
    void scan(int begin, int end) {
        sc_intf_s = static_cast<uint8_t>(begin);
        sc_intf_e = static_cast<uint8_t>(end);
        run(ix_sc_intf_init);
    }
};

zs_line_cfg line_of(int monitors, bool loop = false) {
    zs_line_cfg lc;
    zs_line_set_count(&lc, monitors);
    lc.loop = loop;
    return lc;
}

// Revision and date as the tree writes them, and the value in hundredths.
TEST(ScanFormat, Texts) {
    sys_lang = lang_eng;
    char s[32];
    scr_get_zelb_rev(0x020A, s, sizeof s);
    EXPECT_STREQ(s, "2.010");
    scr_get_zelb_dat(0x2A6F, s, sizeof s);
    EXPECT_STREQ(s, "15.03. 2021");
    EXPECT_EQ(mc_get_100(12345, "MHz", s, sizeof s), 0);
    EXPECT_STREQ(s, "123,45 MHz");
    EXPECT_EQ(mc_get_100(7, nullptr, s, sizeof s), 0);
    EXPECT_STREQ(s, "0,07 ");
    EXPECT_EQ(mc_get_100(7, "V", nullptr, 8), 1);
}

// End before Begin is exchanged; each number of the range is tried once, in
// order; the progress counts them.
TEST_F(Scan, TriesEachPortOfTheRangeOnce) {
    struct Row {
        int no, begin, end;
        std::vector<int> tried;
    };
    const Row rows[] = {{1, 5, 3, {3, 4, 5}}, {2, 7, 7, {7}}};
    for (const Row &r : rows) {
        {
            std::lock_guard<std::mutex> lk(g_mu);
            g_opened.clear();
        }
        scan(r.begin, r.end);
        std::vector<std::string> want;
        for (int n : r.tried) want.push_back(plat::ser_com_path(n));
        EXPECT_EQ(opened(), want) << "row " << r.no;
        EXPECT_EQ(sc_intf_s, r.tried.front()) << "row " << r.no;
        EXPECT_EQ(sc_intf_e, r.tried.back()) << "row " << r.no;
        stat_dlg_view v;
        stat_dlg_get_view(&v);
        const std::string n = std::to_string(r.tried.size());
        EXPECT_EQ(std::string(v.pre), "Interface: " + n) << "row " << r.no;
        EXPECT_EQ(std::string(v.betw), "of " + n) << "row " << r.no;
        EXPECT_EQ(tree(), lines_t{"> Interface(s): 0 "}) << "row " << r.no;
    }
}

// Three monitors (generation 2, a boot loader, generation 51), a loop-back
// plug, a missing port and a silent line: exact lines, levels, and the last
// monitor's firmware line shown.
TEST_F(Scan, TreeOfMonitorsLoopMissingAndSilentPorts) {
    zs_line_cfg mons = line_of(3);
    mons.mons[0].gen = ZS_GEN2;
    mons.mons[0].board_type = 3;
    mons.mons[0].rev = 0x0005;
    mons.mons[0].disp = 0x2AB;
    mons.mons[1].boot = true;
    mons.mons[1].variant = 3;
    mons.mons[1].b000 = 0x2207;
    mons.mons[1].date = 0x3A2F;
    mons.mons[1].disp = 0x0C8;
    mons.mons[2].board_type = 31;
    mons.mons[2].rev = 0x020A;
    mons.mons[2].date = 0x2A6F;
    mons.mons[2].disp = 0xFFF;
    zs_line_cfg silent = line_of(1);
    silent.faults.push_back(zs_fault{});
    lines({{1, mons}, {2, line_of(2, true)}, {4, silent}});
    scan(1, 4);

    const std::string oem = scr_get_zelb_firm_tp_x(3), std = scr_get_zelb_firm_tp_x(2);
    const lines_t want = {
        "> COM1:  3 Monitor(s) (open)",
        ">> 1: ZELB2 -> Display: 0x2AB",
        ">>> Firmware 3.005 " + std + "  from 12.03. 2024",
        ">> 2: QUARDA1 -> Display: 0xC8",
        ">>> Firmware 34.007 " + oem + "  from 15.01. 2029",
        ">> 3: ZELB1 -> Display: 0xFFF (open)",
        ">>> Firmware 2.010   from 15.03. 2021",
        "> COM2: Loop",
        "> COM4: Error",
    };
    EXPECT_EQ(tree(), want);
    EXPECT_EQ(scan_count, 3);
    EXPECT_EQ(scans[0].zelb_data[0].err + scans[0].zelb_data[1].err + scans[0].zelb_data[2].err, 0);
    // A refresh draws the same tree again, not a second copy.
    CreateWindowContents(cw_refresh);
    EXPECT_EQ(tree(), want);
    EXPECT_EQ(end_last_rv, 0);
}

// No port opens: the single summary line, with " {aborted}" after Cancel
// (pressed before the first port, which then is never tried).
TEST_F(Scan, NoPortOpened) {
    for (bool cancel : {false, true}) {
        dome = 1;
        sys_act = 0;
        sc_intf_s = 1;
        sc_intf_e = 3;
        sm_start_liste1(hwndMain, ix_sc_intf_init);
        if (cancel) stop_by_dlg();
        ASSERT_TRUE(ui_wait_idle(30000));
        const std::string line = cancel ? "Interface(s): 0  {aborted}" : "Interface(s): 0 ";
        EXPECT_EQ(tree(), lines_t{"> " + line}) << cancel;
        EXPECT_EQ(scintf_scan_end(), 2);
    }
    EXPECT_EQ(opened().size(), 3u);  // the first scan's three, none of the cancelled one
}

// Cancel while the second port is being opened: it is still read whole, the
// third is never tried, and no " {aborted}" since ports were opened.
TEST_F(Scan, CancelInTheMiddle) {
    lines({{1, line_of(1)}, {2, line_of(2)}, {3, line_of(1)}});
    {
        std::lock_guard<std::mutex> lk(g_mu);
        g_cancel_at = plat::ser_com_path(2);
    }
    scan(1, 3);
    EXPECT_EQ(opened(), (std::vector<std::string>{plat::ser_com_path(1), plat::ser_com_path(2)}));
    EXPECT_EQ(scan_cancelled, 1);
    const lines_t t = tree();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[0], "> COM1:  1 Monitor(s) (open)");
    EXPECT_EQ(t[3], "> COM2:  2 Monitor(s) (open)");
    EXPECT_EQ(t[6], ">> 2: ZELB3 -> Display: 0x102 (open)");
}

// Ports this user may not open get no line, are named once at the end of the
// scan in an information box with the reason, and noted in the traffic log.
TEST_F(Scan, PortsWithoutPermissionAreReported) {
    lines({{2, line_of(1)}, {3, line_of(1)}, {4, line_of(1)}});
    for (int n : {2, 3}) {
        const std::string p = plat::ser_com_path(n);
        if (geteuid() == 0) {  // root opens it all the same: refuse it in the seam
            std::lock_guard<std::mutex> lk(g_mu);
            g_denied.insert(p);
        } else {
            ASSERT_EQ(chmod(p.c_str(), 0), 0);
        }
    }
    const std::string log = dir + "/traffic.txt";
    std::snprintf(fpath_log, sizeof fpath_log, "%s", log.c_str());
    logcom = 1;
    scan(1, 4);

    EXPECT_EQ(tree(),
              (lines_t{"> COM4:  1 Monitor(s) (open)", ">> 1: ZELB3 -> Display: 0x101 (open)",
                       ">>> Firmware 5.068   from 12.03. 2024"}));
    EXPECT_EQ(scan_denied_count, 2);
    EXPECT_EQ(std::string(scan_denied_where), "COM2 (" + std::string(plat::ser_com_path(2)) + ")");
    EXPECT_EQ(std::string(scan_denied_why).rfind("permission denied", 0), 0u) << scan_denied_why;
    char text[256];
    scan_denied_text(text, sizeof text);
    EXPECT_NE(std::string(text).find("(and 1 more port)"), std::string::npos) << text;
    EXPECT_EQ(boxes_with(text), 1);
    const std::string traffic = tu_read_file(log);
    EXPECT_NE(traffic.find("scan: COM2 skipped: "), std::string::npos) << traffic;
    EXPECT_NE(traffic.find("scan: COM3 skipped: "), std::string::npos) << traffic;
    EXPECT_EQ(end_last_rv, 0);
}

// With 99 ports recorded, the next port that opens ends the scan with the
// error box, closed again and not recorded.
TEST_F(Scan, NinetyNinePortsAreTheMost) {
    lines({{1, line_of(1)}});
    sc_intf_s = sc_intf_e = 1;
    ASSERT_EQ(scintf_init(), 1);
    scan_count = scan_max;
    EXPECT_EQ(scintf_scan(), 2);
    EXPECT_EQ(syscom, -1);
    EXPECT_EQ(scan_count, scan_max);
    EXPECT_EQ(boxes_with(scr_get_text_ix(tx_max_intf)), 1);
    end_com();
}

// On an IP link the port is named by the converter's address.
TEST_F(Scan, IpLinkLabelsByAddress) {
    sim = ops_start({ops_tcp_line("127.0.14.1", 2)});
    ASSERT_NE(sim, nullptr);
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.14.1");
    com_mode = com_mode_ip;
    scan(1, 1);
    ASSERT_EQ(scan_count, 1);
    char line[scan_line_size];
    scan_port_line(&scans[0], line, sizeof line);
    EXPECT_STREQ(line, "IP=127.0.14.1:  2 Monitor(s)");
}

// The COM numbers of a machine's serial devices (rule in serial.h): real UARTs
// keep theirs, legacy names without one hold none, adapters take the free
// numbers in the order ttyUSB by number, then ttyACM, under their by-id names;
// a configured number wins and its device gets no second one.
TEST(SerialFind, AdaptersTakeTheFreeNumbers) {
    const std::string root = tu_make_temp_dir("vq_find");
    ASSERT_FALSE(root.empty());
    const std::string dev = root + "/dev", sys = root + "/sys";
    std::filesystem::create_directories(dev + "/serial/by-id");
    for (const char *d :
         {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0"})
        ASSERT_FALSE(tu_write_file(dev + "/" + d, "").empty());
    struct Uart {
        const char *tty, *type;  // nullptr: no type attribute
        bool device;
    };
    for (const Uart &u : {Uart{"ttyS0", "4\n", true}, Uart{"ttyS1", "0\n", true},
                          Uart{"ttyS2", nullptr, false}, Uart{"ttyS3", nullptr, true}}) {
        const std::string d = sys + "/class/tty/" + u.tty;
        std::filesystem::create_directories(u.device ? d + "/device" : d);
        if (u.type) tu_write_file(d + "/type", u.type);
    }
    std::filesystem::create_symlink("../../ttyUSB2", dev + "/serial/by-id/usb-FTDI_A-if00-port0");
    std::filesystem::create_symlink("../../ttyUSB10", dev + "/serial/by-id/usb-Prolific_B");
    ASSERT_TRUE(plat::ser_set_com_path(2, (dev + "/ttyUSB0").c_str()));

    EXPECT_EQ(plat::ser_find_ports(dev.c_str(), sys.c_str()), 3);
    const std::pair<int, std::string> want[] = {
        {1, "/dev/ttyS0"},
        {2, dev + "/ttyUSB0"},
        {3, dev + "/serial/by-id/usb-FTDI_A-if00-port0"},
        {4, "/dev/ttyS3"},
        {5, dev + "/serial/by-id/usb-Prolific_B"},
        {6, dev + "/ttyACM0"},
        {7, "/dev/ttyS6"},
    };
    for (const auto &w : want) EXPECT_EQ(plat::ser_com_path(w.first), w.second) << w.first;
    EXPECT_FALSE(plat::ser_com_path_is_set(3));  // found, so never written to a configuration
    char path[256];
    ASSERT_TRUE(plat::ser_resolve_name("COM6", path, sizeof path));
    EXPECT_EQ(std::string(path), dev + "/ttyACM0");

    // An explicit path wins over the one found, and hands it back when cleared.
    ASSERT_TRUE(plat::ser_set_com_path(3, "/dev/ttyX"));
    EXPECT_STREQ(plat::ser_com_path(3), "/dev/ttyX");
    ASSERT_TRUE(plat::ser_set_com_path(3, nullptr));
    EXPECT_EQ(plat::ser_com_path(3), want[2].second);

    // A second search forgets the first one's numbers.
    ASSERT_TRUE(plat::ser_set_com_path(2, nullptr));
    EXPECT_EQ(plat::ser_find_ports((root + "/none").c_str(), sys.c_str()), 0);
    EXPECT_STREQ(plat::ser_com_path(3), "/dev/ttyS2");
    std::filesystem::remove_all(root);
}

}  // namespace
