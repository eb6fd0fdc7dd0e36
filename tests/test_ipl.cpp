// The nine IP lists: their configuration keys, the entries and their limits,
// the end of a list at its first empty entry, and host names, which are
// resolved for the link and written back as given.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "velquor/operations/vf_ipl.h"

namespace {

struct IpList : ::testing::Test {
    void SetUp() override {
        reset_ip_list_start();
        reset_ip_list();
    }
    void TearDown() override { reset_ip_list(); }
};

TEST_F(IpList, EntriesAndLimits) {
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
    // A list ends at its first empty entry; an empty list has none.
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

TEST_F(IpList, HostNamesResolveAndAreSavedAsGiven) {
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
    EXPECT_EQ(save_ip_list(f), 0);
    std::fclose(f);
    const std::string out(buf, len);
    std::free(buf);
    EXPECT_EQ(out.rfind("ik_sys_broad 0\r\n", 0), 0u);
    EXPECT_NE(out.find("\nik_ipl_2 localhost\r\n"), std::string::npos);
    EXPECT_NE(out.find("\nik_ipl_2_2 no-such-host.invalid\r\n"), std::string::npos);
    EXPECT_NE(out.find("\nik_ipl_2_3 0.0.0.0\r\n"), std::string::npos);  // too long: not kept
    EXPECT_NE(out.find("\nik_ipl_9_30 0.0.0.0\r\n"), std::string::npos);
    size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_EQ(lines, 271u);
    EXPECT_EQ(save_ip_list(nullptr), 1);
}

}  // namespace
