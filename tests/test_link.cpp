// Link selection and byte transport: the converter packet, the IP link from
// opening to the standard-baud packet at close against a recording converter,
// the traffic log lines, mode switching and the serial settings on a
// pseudo-terminal. Addresses 127.0.7.1x belong to this program.
#include "platform/serial.h"
#include "support/test_util.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_link.h"
#include "velquor/ui/screen.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using bytes = std::vector<uint8_t>;

namespace {

const bytes kFrame = {0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFF, 0x00};
const bytes kAnswer = {0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFE, 0x00};

// A converter that accepts one client, records every byte until the client
// leaves, and answers `reply` once it has received `reply_after` bytes.
struct Recorder {
    int lfd = -1;
    bytes got;
    bytes reply;
    size_t reply_after = 0;
    std::thread th;

    bool start(const char *addr) {
        lfd = tu_listen(addr, 11111, 2);
        if (lfd < 0) return false;
        th = std::thread([this] {
            pollfd p{lfd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            const int c = ::accept(lfd, nullptr, nullptr);
            bool replied = reply.empty();
            for (;;) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 10000) <= 0) break;
                uint8_t b[256];
                const ssize_t r = ::read(c, b, sizeof b);
                if (r <= 0) break;
                got.insert(got.end(), b, b + r);
                if (!replied && got.size() >= reply_after) {
                    replied = ::write(c, reply.data(), reply.size()) == ssize_t(reply.size());
                }
            }
            ::close(c);
        });
        return true;
    }
    void join() {
        if (th.joinable()) th.join();
        if (lfd >= 0) ::close(lfd);
        lfd = -1;
    }
    ~Recorder() { join(); }
};

struct LinkTest : ::testing::Test {
    std::string log_path;
    void SetUp() override {
        is_inet = 1;
        com_mode = com_mode_rs232;
        sysmode = 0;
        logcom = 0;
        syscom = -1;
        add_debug_str("");
        log_path = std::string(VQ_BINARY_DIR) + "/test_link_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    }
    void TearDown() override {
        mc_close_syscom();
        com_mode = com_mode_rs232;
        std::remove(log_path.c_str());
    }
    // Opens an IP link to addr as a session would.
    char open_ip(const char *addr, uint8_t to, uint8_t par) {
        com_mode = com_mode_ip;
        init_op_dat(com_mode, addr, &syscom, to, par);
        return mc_opencom_zelb();
    }
};

TEST_F(LinkTest, ConverterPacketHeader) {
    struct Row {
        int no;
        char par;
        int32_t baud;
        uint8_t mode, code;
    };
    const Row rows[] = {
        {1, 'E', 9600, 0x81, 5},  {2, 'N', 9600, 0x80, 5},  {3, 'E', 115200, 0x81, 1},
        {4, 'E', 57600, 0x81, 2}, {5, 'E', 38400, 0x81, 3}, {6, 'N', 19200, 0x80, 4},
        {7, 'E', 4800, 0x81, 5},  {8, 'O', 9600, 0x80, 5},
    };
    uint8_t out[eth_buffer_size];
    for (const Row &r : rows) {
        aknord_set_baud(-1, r.baud);
        aknord_set_datamote(-1, 8, 2, r.par);
        ASSERT_EQ(aknord_build(kFrame.data(), 10, out), 30u) << "row " << r.no;
        const bytes head(out, out + 10);
        EXPECT_EQ(head, (bytes{2, r.mode, 3, 0x4E, 5, 0, 4, 0, 1, r.code})) << "row " << r.no;
    }
    // At most 507 data bytes fit into the buffer; the rest is not sent.
    const bytes big(600, 0x33);
    EXPECT_EQ(aknord_build(big.data(), 600, out), 1024u);
    EXPECT_EQ(out[1022], 0);
    EXPECT_EQ(out[1023], 0x33);
    EXPECT_EQ(aknord_send(-1, nullptr, 10), 10);
    EXPECT_EQ(aknord_send(-1, kFrame.data(), 0), 10);
}

TEST_F(LinkTest, IpLinkWritesPacketLogsAndClosesWithStdBaud) {
    Recorder rec;
    rec.reply = kAnswer;
    rec.reply_after = 30;
    ASSERT_TRUE(rec.start("127.0.7.10"));
    logcom = 1;
    std::snprintf(fpath_log, sizeof fpath_log, "%s", log_path.c_str());
    mc_log_create();
    sysmode = view_debug;

    ASSERT_EQ(open_ip("127.0.7.10", 2, 0), 0);
    EXPECT_EQ(ipcom_conf.baudrate, 9600);
    ASSERT_EQ(mc_write_syscom(kFrame.data(), 10), 0);
    uint8_t ans[10] = {0};
    uint32_t n = 0;
    EXPECT_EQ(mc_read_syscom(ans, 10, &n), 0);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(bytes(ans, ans + 10), kAnswer);
    ipcom_conf.timeout = 1;
    eth_set_timeout(syscom, 100);
    EXPECT_EQ(mc_read_syscom(ans, 1, &n), 11);  // nothing more comes
    EXPECT_EQ(n, 0u);
    char dbg[debug_str_size];
    debug_str_get(dbg, sizeof dbg);
    mc_close_syscom();
    EXPECT_EQ(syscom, -1);
    rec.join();

    const bytes expect = {0x02, 0x81, 0x03, 0x4E, 0x05, 0x00, 0x04, 0x00, 0x01, 0x05, 0x00,
                          0xAA, 0x00, 0x55, 0x00, 0x01, 0x00, 0x8C, 0x00, 0x20, 0x00, 0x00,
                          0x00, 0x00, 0x00, 0xAD, 0x00, 0xFF, 0x00, 0x00, 0x01, 0x05};
    EXPECT_EQ(rec.got, expect);

    const std::string w = "W:      AA 55 01 8C 20 00 00 AD FF 00 ";
    const std::string r = "R:      AA 55 01 8C 20 00 00 AD FE 00 ";
    EXPECT_EQ(tu_read_file(log_path),
              w + "\n" + r + " \n" + "R:       \n" + "\n/*********************************/\n\n");
    EXPECT_STREQ(dbg, ("\r\n" + w + "\r\n" + r + "\r\nR:      ").c_str());
}

TEST_F(LinkTest, NoParityAndBootPacket) {
    Recorder rec;
    ASSERT_TRUE(rec.start("127.0.7.11"));
    ASSERT_EQ(open_ip("127.0.7.11", 1, 1), 0);
    ASSERT_EQ(mc_write_syscom(kFrame.data(), 10), 0);
    ASSERT_EQ(mc_set_intf_boot(1, &ipcom_conf), 0);
    ASSERT_EQ(mc_write_syscom(kFrame.data(), 1), 0);
    mc_close_syscom();
    rec.join();
    ASSERT_EQ(rec.got.size(), 30u + 12u + 2u);
    EXPECT_EQ(rec.got[1], 0x80);
    EXPECT_EQ(rec.got[30 + 1], 0x80);
    EXPECT_EQ(rec.got[30 + 9], 2);  // 57600
}

// A failed opening keeps where and why it failed and notes it in the traffic
// log; a good one forgets it.
TEST_F(LinkTest, OpenFailuresAndOtherModes) {
    logcom = 1;
    std::snprintf(fpath_log, sizeof fpath_log, "%s", log_path.c_str());
    ASSERT_EQ(mc_log_create(), 0);
    com_mode = com_mode_ip;
    init_op_dat(com_mode, "300.1.1.1", &syscom, 1, 0);
    EXPECT_EQ(mc_opencom_zelb(), 2);  // refused by the echo test already
    EXPECT_STREQ(mc_fail_where, "300.1.1.1:11111");
    init_op_dat(com_mode, "127.0.7.12", &syscom, 1, 0);
    EXPECT_EQ(mc_opencom_zelb(), 3);  // nobody listens
    EXPECT_EQ(syscom, -1);
    EXPECT_STREQ(mc_fail_where, "127.0.7.12:11111");
    EXPECT_STREQ(mc_fail_why, "connection refused");
    mc_close_syscom();
    EXPECT_NE(tu_read_file(log_path).find("/* open 127.0.7.12:11111: connection refused */\n"),
              std::string::npos)
        << tu_read_file(log_path);
    logcom = 0;
    EXPECT_EQ(mc_open_mycom(nullptr, 1), 3);
    EXPECT_EQ(mc_open_mycom(&ip_dat, 2), 3);
    com_mode = 5;
    EXPECT_EQ(mc_opencom_zelb(), 0);
    EXPECT_EQ(mc_write_syscom(kFrame.data(), 10), 7);
    uint32_t n = 9;
    EXPECT_EQ(mc_read_syscom(nullptr, 10, &n), 11);
    EXPECT_EQ(mc_set_intf_zelb(0, nullptr), 5);
}

TEST_F(LinkTest, ModeSwitching) {
    struct Row {
        int no;
        uint8_t inet;
        int32_t view, from, to, baud_in;
        char rv;
        int32_t mode_out, baud_out;
    };
    const Row rows[] = {
        {1, 0, 0, com_mode_rs232, com_mode_ip, 115200, 0, com_mode_rs232, 115200},
        {2, 1, 0, com_mode_rs232, com_mode_ip, 115200, 1, com_mode_ip, 115200},
        {3, 1, view_firm, com_mode_rs232, com_mode_ip, 115200, 1, com_mode_ip, 38400},
        {4, 1, view_firm, com_mode_rs232, com_mode_ip, 19200, 1, com_mode_ip, 19200},
        {5, 1, 0, com_mode_rs232, com_mode_ipl, 19200, 1, com_mode_ipl, 9600},
        {6, 1, 0, com_mode_ip, com_mode_ip, 19200, 0, com_mode_ip, 19200},
        {7, 0, 0, com_mode_ip, com_mode_ipl, 19200, 1, com_mode_rs232, 19200},
    };
    for (const Row &r : rows) {
        is_inet = r.inet;
        sysmode = r.view;
        com_mode = r.from;
        sys_baud = r.baud_in;
        EXPECT_EQ(set_com_mode(r.to), r.rv) << "row " << r.no;
        EXPECT_EQ(com_mode, r.mode_out) << "row " << r.no;
        EXPECT_EQ(sys_baud, r.baud_out) << "row " << r.no;
    }
    com_mode = com_mode_ipl;
    sysmode = 0;
    sys_baud = 115200;
    EXPECT_EQ(set_mode(0), 0);
    EXPECT_EQ(sys_baud, 115200);
    EXPECT_EQ(set_mode(view_firm), 1);
    EXPECT_EQ(sys_baud, 9600);
    EXPECT_EQ(mw_set_mode3(1, nullptr), 0);
}

TEST_F(LinkTest, SerialSettingsOnPty) {
    tu_pty pty;
    ASSERT_TRUE(pty.open(false));
    int fd = -1;
    ASSERT_EQ(plat::ser_open(pty.path.c_str(), &fd), plat::SER_OK);
    struct Row {
        int no;
        int kind;  // 0 monitor, 1 monitor no parity, 2 boot loader
        uint32_t baud;
        plat::Parity par;
    };
    const Row rows[] = {
        {1, 0, 9600, plat::Parity::Even},
        {2, 1, 9600, plat::Parity::None},
        {3, 2, 57600, plat::Parity::None},
        {4, 0, 9600, plat::Parity::Even},
    };
    for (const Row &r : rows) {
        const char rv = r.kind == 2 ? set_comm_state_boot(fd) : set_comm_state_zelb(fd, r.kind);
        ASSERT_EQ(rv, 0) << "row " << r.no;
        plat::SerialSettings s;
        ASSERT_EQ(plat::ser_get_settings(fd, &s), plat::SER_OK);
        EXPECT_EQ(s.baud, r.baud) << "row " << r.no;
        EXPECT_EQ(s.data_bits, 8) << "row " << r.no;
        EXPECT_EQ(s.stop_bits, 1) << "row " << r.no;
        EXPECT_EQ(s.parity, r.par) << "row " << r.no;
    }
    EXPECT_EQ(set_comm_state_zelb(-1, 0), 6);
    EXPECT_EQ(set_comm_state_boot(-1), 6);
    plat::ser_close(&fd);
}

}  // namespace
