// Sessions and the two group walks: the preparation of the IP-list walk and
// its step, the ring of monitor numbers on one link (against a scripted board
// on a pseudo-terminal), the IP-list walk against converters on 127.0.7.3x
// with Group on and off, and the interface names of each link.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/pty_peer.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/ui/text_ar.h"

namespace {

struct Ring : ::testing::Test {
    void SetUp() override {
        ui_open_headless_main();
        plat::win_boxes_clear();
        reset_ip_list_start();
        reset_ip_list();
        ring_ipl_clear();
        is_inet = 1;
        syscom = -1;
        sys_zelb_nr = 0;
        sys_to = 2;
        sys_lang = lang_eng;
        parno = 0;
        broad = 0;
        sys_rv = 0;
    }
    void TearDown() override {
        mc_close_syscom();
        com_mode = com_mode_rs232;
        reset_ip_list();
        ring_ipl_clear();
        ac_reset_func = nullptr;
        sys_rv = 0;
    }
};

// List 2 holds two addresses, list 5 none. Only Group on an IP list walks the
// list, and only from monitor number 0; the step shows the refusal itself and
// leaves an empty list to the end step as error 26.
TEST_F(Ring, IpListWalkPreparation) {
    load_ip_list("ik_ipl_2", "10.0.0.5");
    load_ip_list("ik_ipl_2_2", "10.0.0.6");
    struct Row {
        int no;
        int32_t mode;
        uint8_t group, disab, nr;
        int8_t ipx;
        char setup;
        int32_t max;  // addresses to walk, when set up
        char verdict, rv;
        bool box, ring_close;
    };
    const Row rows[] = {
        {1, com_mode_ipl, 1, 0, 2, 1, 1, 0, 0, 0, true, true},
        {2, com_mode_ipl, 1, 0, 0, 4, 26, 0, 0, 26, false, true},
        {3, com_mode_ipl, 1, 0, 0, 1, 0, 2, 1, 0, false, true},
        {4, com_mode_ipl, 0, 0, 2, 4, 0, 1, 1, 0, false, false},  // Group off
        {5, com_mode_ipl, 1, 1, 2, 4, 0, 1, 1, 0, false, false},  // walking switched off
        {6, com_mode_ip, 1, 0, 2, 4, 0, 1, 1, 0, false, false},   // one address anyway
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.no));
        com_mode = r.mode;
        broad = r.group;
        ipl_disab = r.disab;
        sys_zelb_nr = r.nr;
        sys_ipx = r.ipx;
        EXPECT_EQ(ipl_setup(), r.setup);
        if (r.setup == 0) {
            EXPECT_EQ(ipl_max, r.max);
        }
        plat::win_boxes_clear();
        sys_rv = 0;
        EXPECT_EQ(init_ipl(), r.verdict);
        EXPECT_EQ(sys_rv, r.rv);
        const auto boxes = plat::win_boxes_shown();
        ASSERT_EQ(boxes.size(), r.box ? 1u : 0u);
        if (r.box) {
            EXPECT_EQ(boxes[0].body, scr_get_text_ix(tx_mon_0));
        }
        EXPECT_EQ(ring_close(), r.ring_close ? 1 : 0);
    }
}

// A step hook that records an error at monitor 2.
char fail_at_two() {
    if (del_zelb_nr == 2) sys_rv = 8;
    return 0;
}

// Monitor number 4 alone; number 0 pings the open link and walks 1 to the
// number that answered; a failed ping walks nothing; the step hook's error
// stops the walk at the monitor it failed on.
TEST_F(Ring, WalksTheMonitorNumbersOfTheRing) {
    const pp_step ping3 = {PP_ANSWER, -1, 3, 0, {}}, silent = {PP_SILENT, -1, 0, 0, {}};
    struct Row {
        int no;
        uint8_t nr;
        std::vector<pp_step> script;
        bool hook;
        char rc;
        std::vector<int> visited;
        char last;  // the verdict that ended the walk
    };
    const Row rows[] = {
        {1, 4, {}, false, 0, {4}, 2},
        {2, 0, {ping3}, false, 0, {1, 2, 3}, 2},
        {3, 0, {silent}, false, 8, {}, 0},
        {4, 0, {ping3}, true, 0, {1}, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.no));
        pp_scripted peer(r.script);
        sys_zelb_nr = r.nr;
        ac_reset_func = r.hook ? fail_at_two : nullptr;
        EXPECT_EQ(init_ring(), r.rc);
        std::vector<int> visited;
        char v = 0;
        if (r.rc == 0) {
            while ((v = ring_control()) == 1) visited.push_back(del_zelb_nr);
        }
        EXPECT_EQ(v, r.last);
        EXPECT_EQ(visited, r.visited);
        EXPECT_EQ(peer.cmds().size(), r.script.size());  // a ping only for number 0
        ring_ipl_clear();
        sys_rv = 0;
    }
}

// Walks list 2 (entries .30, .31, empty, .33) as an operation's chain does and
// pings each address reached: Group visits both entries before the empty one,
// without Group only the first; the entry behind the empty one is never reached.
TEST_F(Ring, IpListWalkedWithGroupOnAndOff) {
    zs_sim *sim = ops_start({ops_tcp_line("127.0.7.30", 1), ops_tcp_line("127.0.7.31", 2),
                             ops_tcp_line("127.0.7.33", 3)});
    ASSERT_NE(sim, nullptr);
    load_ip_list("ik_ipl_2", "127.0.7.30");
    load_ip_list("ik_ipl_2_2", "127.0.7.31");
    load_ip_list("ik_ipl_2_4", "127.0.7.33");
    com_mode = com_mode_ipl;
    sys_ipx = 1;
    const uint8_t ping[10] = {0xAA, 0x55, 0x00, 0x00, 0x50, 0x00, 0x55, 0xA5, 0xFF, 0x00};
    struct Row {
        int no;
        uint8_t group;
        std::vector<int> answers;  // highest monitor number reported per address
    };
    const Row rows[] = {{1, 1, {1, 2}}, {2, 0, {1}}, {3, 1, {1, 2}}};
    for (const Row &r : rows) {
        broad = r.group;
        ASSERT_EQ(ipl_setup(), 0) << "row " << r.no;
        std::vector<int> got;
        while (ipl_control() == 1) {
            ASSERT_EQ(open_my_zelb(), 0) << "row " << r.no << " address " << ipl_ix;
            ASSERT_EQ(mc_write_syscom(ping, 10), 0);
            uint8_t ans[10] = {0};
            uint32_t n = 0;
            ASSERT_EQ(mc_read_syscom(ans, 10, &n), 0) << "row " << r.no;
            got.push_back(ans[5]);
        }
        mc_close_syscom();
        ring_ipl_clear();
        EXPECT_EQ(got, r.answers) << "row " << r.no;
    }
    zs_line_stats st;
    zs_get_stats(sim, 2, &st);
    EXPECT_EQ(st.frames, 0u);
    zs_stop(&sim);
}

// "Com<n>" on RS232, the address on IP, an entry of the selected list on an
// IP list; never more than intf_name_size bytes.
TEST_F(Ring, InterfaceNames) {
    load_ip_list("ik_ipl_2", "10.0.0.5");
    load_ip_list("ik_ipl_2_2", "10.0.0.6");
    struct Row {
        int no;
        int32_t mode;
        uint8_t nr;
        const char *ip;
        int8_t ipx;
        int32_t sub;  // -1: get_intf_name
        const char *want;
    };
    const std::string long_ip(40, '7');
    const Row rows[] = {
        {1, com_mode_rs232, 3, "1.2.3.4", 1, -1, "Com3"},
        {2, com_mode_rs232, 255, nullptr, 1, -1, "Com255"},
        {3, com_mode_ip, 3, "127.0.7.1", 1, -1, "127.0.7.1"},
        {4, com_mode_ip, 3, long_ip.c_str(), 1, -1, "7777777777777777777777777777777777"},
        {5, com_mode_ipl, 3, "1.2.3.4", 1, -1, "10.0.0.5"},
        {6, com_mode_ipl, 3, "1.2.3.4", 1, 1, "10.0.0.6"},
        {7, com_mode_ipl, 3, "1.2.3.4", 9, -1, "0.0.0.0"},
        {8, com_mode_ipl, 3, "1.2.3.4", 1, 30, "0.0.0.0"},
        {9, com_mode_rs232, 7, nullptr, 0, 0, "Com7"},
    };
    for (const Row &r : rows) {
        com_mode = r.mode;
        char s[intf_name_size + 5];
        std::memset(s, 'x', sizeof s);
        if (r.sub < 0)
            get_intf_name(r.nr, r.ip, r.ipx, s);
        else
            get_intf_name_sub(r.nr, r.ip, r.ipx, s, r.sub);
        EXPECT_STREQ(s, r.want) << "row " << r.no;
        EXPECT_EQ(s[intf_name_size], 'x') << "row " << r.no;  // nothing beyond 35 bytes
    }
    get_intf_name(1, "1.2.3.4", 0, nullptr);
}

}  // namespace
