// The one IPv4 rule, held against every place that takes an address from the
// operator or a file: the program's validator, the helper library's export,
// the link's connect, the address field of the main window, velquor-cli's
// --ip option and the IP lists of the configuration. One table of cases; each
// place either takes the text as the rule says or refuses it its own way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli/cli.h"
#include "platform/dynlib.h"
#include "platform/win.h"
#include "support/ui_support.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/ui/screen.h"
#include "velquor/util/velq_str.h"

namespace {

struct Case {
    int n;
    const char *text;
    bool quad;    // a dotted quad by the rule
    char usable;  // ms_is_not_ipv4: 0 an address a link may use, 1 no quad, 2 zero, 4 broadcast
};
// Nobody listens on the usable address, so the connect fails, but not for its text.
const Case cases[] = {
    {1, "127.0.251.1", true, 0}, {2, "127.0.0.01", false, 1},     {3, "256.1.1.1", false, 1},
    {4, "1.2.3", false, 1},      {5, " 1.2.3.4", false, 1},       {6, "1.2.3.4 ", false, 1},
    {7, "0.0.0.0", true, 2},     {8, "255.255.255.255", true, 4}, {9, "", false, 1},
    {10, "1.2.3.4.5", false, 1}, {11, "+1.2.3.4", false, 1},
};

TEST(Ipv4, TheProgramsRule) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(ms_is_not_ipv4_u_std(c.text), c.quad ? 0 : 1);
        EXPECT_EQ(ms_is_not_ipv4(c.text), c.usable);
    }
    EXPECT_EQ(ms_is_not_ipv4_u_std(nullptr), 1);
    uint32_t a = 0;
    EXPECT_EQ(ms_ipv4_addr("10.0.0.1", &a), 0);
    EXPECT_EQ(a, 0x0100000Au);  // network byte order
}

// The helper library keeps its own copy of the rule: it links nothing of the
// program. Its result codes tell why it refused.
TEST(Ipv4, HelperLibraryExport) {
    void *lib = nullptr;
    ASSERT_EQ(plat::dyn_open(VQ_VELQ_PATH, &lib), plat::DYN_OK);
    using parse_t = int32_t (*)(const char *, uint8_t *, uint8_t *, uint8_t *, uint8_t *);
    const auto parse = reinterpret_cast<parse_t>(plat::dyn_symbol(lib, "ms_get_ipv4_str"));
    ASSERT_NE(parse, nullptr);
    for (const Case &c : cases) {
        uint8_t b[4];
        EXPECT_EQ(parse(c.text, &b[0], &b[1], &b[2], &b[3]) == 0, c.quad) << "case " << c.n;
    }
    plat::dyn_close(&lib);
}

// The link refuses every text but a usable address with error 23 before it
// tries to connect.
TEST(Ipv4, LinkConnect) {
    for (const Case &c : cases) {
        int s = -1;
        const char rv = eth_opensoc_tcp(&s, c.text, eth_conv_port, 1, 100);
        EXPECT_EQ(rv == mc_e_ip, c.usable != 0) << "case " << c.n << " gave " << int(rv);
        EXPECT_EQ(s, -1);
    }
}

// velquor-cli takes any dotted quad as --ip (the link judges it when it opens).
TEST(Ipv4, CliOption) {
    for (const Case &c : cases) {
        std::string t = c.text;
        char a0[] = "velquor-cli", a1[] = "--ip", a3[] = "ping";
        char *argv[] = {a0, a1, t.data(), a3};
        cli_opts o;
        std::string err;
        const int rc = cli_parse(4, argv, &o, &err);
        EXPECT_EQ(rc == cli_parse_ok, c.quad && c.text[0]) << "case " << c.n << ": " << err;
    }
}

// An IP-list entry takes a dotted quad as its address. Other texts are host
// names, resolved once; a text of digits and dots only is no host name and is
// not resolved. The configuration reader trims the value first.
TEST(Ipv4, IpListEntries) {
    reset_ip_list_start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        reset_ip_list();
        ASSERT_EQ(load_ip_list("ik_ipl_1", c.text), 1);
        std::string trimmed = c.text;
        while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(trimmed.begin());
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
        if (!ms_is_not_ipv4_u_std(trimmed.c_str()))
            EXPECT_EQ(std::string(list_get_ip(0)), trimmed);
        else
            EXPECT_STREQ(list_get_ip(0), "0.0.0.0");
    }
    reset_ip_list();
}

// The address field of the main window keeps only a usable address.
struct Ipv4Field : UiTest {
    void SetUp() override {
        UiTest::SetUp();
        com_mode = com_mode_ip;
        open();
    }
};

TEST_F(Ipv4Field, AddressField) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        std::strcpy(sys_ip, "10.9.8.7");
        ASSERT_TRUE(plat::win_type_text(scr_getwnd_ix(ix_ed_ip), c.text));
        CreateWindowContents(cw_store);
        EXPECT_STREQ(sys_ip, c.usable == 0 ? c.text : "0.0.0.0");
    }
}

}  // namespace
