// Sessions and addressing: the IP lists and their configuration keys, and the
// IP-list walk against simulated converters on 127.0.7.3x (Group on and off, an
// empty third entry ending the list).
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_ring.h"
#include "zelbsim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint8_t kPing[10] = {0xAA, 0x55, 0x00, 0x00, 0x50, 0x00, 0x55, 0xA5, 0xFF, 0x00};

struct SessionTest : ::testing::Test {
    void SetUp() override {
        reset_ip_list_start();
        reset_ip_list();
        ring_ipl_clear();
        is_inet = 1;
        syscom = -1;
        sys_zelb_nr = 0;
        sys_to = 2;
        parno = 0;
    }
    void TearDown() override {
        mc_close_syscom();
        com_mode = com_mode_rs232;
        reset_ip_list();
    }
};

TEST_F(SessionTest, ListEntriesAndLimits) {
    ASSERT_EQ(load_ip_list("ik_ipl_1", "10.0.0.5"), 1);
    ASSERT_EQ(load_ip_list("IK_IPL_1_2", " 10.0.0.6\r\n"), 1);  // case and blanks
    ASSERT_EQ(load_ip_list("ik_ipl_1_4", "10.0.0.8"), 1);
    EXPECT_EQ(load_ip_list("ik_ipl_10", "10.0.0.9"), 0);
    EXPECT_EQ(load_ip_list("ik_ipl_1_31", "10.0.0.9"), 0);
    EXPECT_EQ(load_ip_list("ik_other", "1"), 0);
    struct Row {
        int no;
        int32_t ipx, sub;
        const char *ip;
    };
    const Row rows[] = {
        {1, 0, 0, "10.0.0.5"}, {2, 0, 1, "10.0.0.6"}, {3, 0, 2, "0.0.0.0"},  {4, 0, 3, "10.0.0.8"},
        {5, 9, 0, "0.0.0.0"},  {6, -1, 0, "0.0.0.0"}, {7, 0, 30, "0.0.0.0"}, {8, 0, -1, "0.0.0.0"},
    };
    for (const Row &r : rows) EXPECT_STREQ(list_get_ip_sub(r.ipx, r.sub), r.ip) << "row " << r.no;
    EXPECT_STREQ(list_get_ip(9), "0.0.0.0");
    EXPECT_EQ(list_get_max_sub(0), 2);
    EXPECT_EQ(list_get_max_sub(1), -1);
    EXPECT_EQ(list_get_max_sub(9), -1);
    for (int j = 1; j <= 30; ++j) {
        char key[32], ip[32];
        std::snprintf(key, sizeof key, j == 1 ? "ik_ipl_3" : "ik_ipl_3_%d", j);
        std::snprintf(ip, sizeof ip, "10.3.0.%d", j);
        load_ip_list(key, ip);
    }
    EXPECT_EQ(list_get_max_sub(2), 30);
}

TEST_F(SessionTest, HostNamesResolveAndAreSavedAsGiven) {
    ASSERT_EQ(load_ip_list("ik_ipl_2", "localhost"), 1);
    EXPECT_STREQ(list_get_ip(1), "127.0.0.1");
    ASSERT_EQ(load_ip_list("ik_ipl_2_2", "no-such-host.invalid"), 1);
    EXPECT_STREQ(list_get_ip_sub(1, 1), "0.0.0.0");  // unresolved: address unchanged
    const std::string too_long(201, 'h');
    ASSERT_EQ(load_ip_list("ik_ipl_2_3", too_long.c_str()), 1);
    ASSERT_EQ(load_ip_list("ik_sys_broad", "0"), 1);
    EXPECT_EQ(broad, 0);

    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    ASSERT_NE(f, nullptr);
    save_ip_list(f);
    std::fclose(f);
    const std::string out(buf, len);
    std::free(buf);
    EXPECT_EQ(out.rfind("ik_sys_broad 0\n", 0), 0u);
    EXPECT_NE(out.find("\nik_ipl_2 localhost\n"), std::string::npos);
    EXPECT_NE(out.find("\nik_ipl_2_2 no-such-host.invalid\n"), std::string::npos);
    EXPECT_NE(out.find("\nik_ipl_2_3 0.0.0.0\n"), std::string::npos);
    EXPECT_NE(out.find("\nik_ipl_9_30 0.0.0.0\n"), std::string::npos);
    size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_EQ(lines, 271u);
}

TEST_F(SessionTest, SetupRefusesNonZeroMonitorAndEmptyList) {
    com_mode = com_mode_ipl;
    sys_ipx = 4;
    broad = 1;
    sys_zelb_nr = 2;
    EXPECT_EQ(ipl_setup(), 1);
    sys_zelb_nr = 0;
    EXPECT_EQ(ipl_setup(), 26);
    broad = 0;
    EXPECT_EQ(ipl_setup(), 0);
    EXPECT_EQ(ipl_max, 1);
    ipl_disab = 1;
    broad = 1;
    EXPECT_EQ(ipl_setup(), 0);
    EXPECT_EQ(ipl_max, 1);
    EXPECT_EQ(ring_close(), 0);
}

TEST_F(SessionTest, RingSetup) {
    sys_zelb_nr = 4;
    ring_setup(9);
    EXPECT_EQ(ring_func, 0);
    EXPECT_EQ(ring_max, 4);
    EXPECT_EQ(ring_ix, 3);
    sys_zelb_nr = 0;
    ring_setup(3);
    EXPECT_EQ(ring_func, 1);
    EXPECT_EQ(ring_max, 3);
    EXPECT_EQ(ring_ix, 0);
}

// Walks list 1 (entries .30, .31, empty, .33) the way an operation's chain
// does and pings each address reached; returns the monitor numbers answered
// per visited line.
TEST_F(SessionTest, IpListWalkedWithGroupOnAndOff) {
    const char *addrs[] = {"127.0.7.30", "127.0.7.31", "127.0.7.33"};
    zs_config cfg;
    for (int i = 0; i < 3; ++i) {
        zs_line_cfg lc;
        lc.kind = ZS_TCP;
        lc.addr = addrs[i];
        lc.port = 11111;
        zs_line_set_count(&lc, i + 1);
        cfg.lines.push_back(lc);
    }
    zs_sim *sim = nullptr;
    std::string err;
    ASSERT_EQ(zs_start(cfg, &sim, &err), ZS_OK) << err;
    load_ip_list("ik_ipl_2", "127.0.7.30");
    load_ip_list("ik_ipl_2_2", "127.0.7.31");
    load_ip_list("ik_ipl_2_4", "127.0.7.33");
    com_mode = com_mode_ipl;
    sys_ipx = 1;

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
            ASSERT_EQ(mc_write_syscom(kPing, 10), 0);
            uint8_t ans[10] = {0};
            uint32_t n = 0;
            ASSERT_EQ(mc_read_syscom(ans, 10, &n), 0) << "row " << r.no;
            got.push_back(ans[5]);
        }
        EXPECT_EQ(ring_close(), r.group ? 1 : 0) << "row " << r.no;
        mc_close_syscom();
        ring_ipl_clear();
        EXPECT_EQ(got, r.answers) << "row " << r.no;
    }
    zs_line_stats st;
    zs_get_stats(sim, 2, &st);
    EXPECT_EQ(st.frames, 0u);  // behind the empty entry: never reached
    zs_stop(&sim);
}

}  // namespace
