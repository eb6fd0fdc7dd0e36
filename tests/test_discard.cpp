// Dropping what waits in the input before a command: the discards of the
// serial layer (a pseudo-terminal) and of the socket layer (a loopback
// connection on a free port), and the link's read lines in the traffic log.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/net.h"
#include "platform/serial.h"
#include "support/test_util.h"
#include "velquor/link/com_link.h"

using bytes = std::vector<uint8_t>;

namespace {

// Writes b to `to` and waits until all of it waits in the input of `at`.
void put_waiting(int to, int at, const bytes &b) {
    ASSERT_TRUE(tu_write_all(to, b.data(), b.size()));
    ASSERT_TRUE(tu_wait_until([at, &b] {
        int waiting = 0;
        return ::ioctl(at, FIONREAD, &waiting) == 0 && size_t(waiting) >= b.size();
    }));
}

int ser_take(int fd, uint8_t *buf, size_t n, size_t *got) {
    return plat::ser_discard_input(fd, buf, n, got);
}
int net_take(int fd, uint8_t *buf, size_t n, size_t *got) {
    return plat::net_discard_input(fd, buf, n, got);
}

}  // namespace

// Both layers alike: nothing waiting ends the call at once (the pty's slave is
// in blocking mode), a call takes at most its room and leaves the rest for the
// next. Then their failures: a failing read through the serial layer's
// system-call table, a peer that closed behind its last bytes.
TEST(Discard, SerialAndSocketLayersTakeWhatWaitsWithoutWaiting) {
    tu_pty pty;
    ASSERT_TRUE(pty.open());
    uint16_t port = 0;
    const int lfd = tu_listen("127.0.0.1", 0, 1, &port);
    const int c = tu_connect("127.0.0.1", port);
    const int peer = ::accept(lfd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    struct Row {
        int n;
        size_t waiting, got;  // bytes put on the line first, bytes taken
    };
    const Row rows[] = {{1, 0, 0}, {2, 10, 10}, {3, 300, 256}, {4, 0, 44}};
    for (bool ip : {false, true}) {
        const int to = ip ? peer : pty.master, at = ip ? c : pty.slave;
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(ip ? "socket" : "serial") + " row " + std::to_string(r.n));
            put_waiting(to, at, bytes(r.waiting, uint8_t(r.n)));
            uint8_t buf[256];
            size_t got = 99;
            EXPECT_EQ((ip ? net_take : ser_take)(at, buf, sizeof buf, &got), 0);
            EXPECT_EQ(got, r.got);
        }
    }
    uint8_t b[64];
    size_t got = 99;
    EXPECT_EQ(plat::ser_discard_input(-1, b, sizeof b, &got), plat::SER_BAD_ARG);
    put_waiting(pty.master, pty.slave, bytes(4, 0x77));
    plat::ser_sys().read = [](int, void *, size_t) -> ssize_t {
        errno = EBADF;
        return -1;
    };
    EXPECT_EQ(plat::ser_discard_input(pty.slave, b, sizeof b, &got), plat::SER_IO);
    plat::ser_sys_reset();

    put_waiting(peer, c, bytes(5, 0x42));
    ::close(peer);
    pollfd q{c, POLLRDHUP, 0};
    ASSERT_EQ(::poll(&q, 1, tu_wait_ms), 1);
    EXPECT_EQ(plat::net_discard_input(c, b, sizeof b, &got), plat::NET_CLOSED);
    EXPECT_EQ(got, 5u);
    ::close(c);
    ::close(lfd);
}

// On an RS232 link one call drops all that waits, logged as read lines of at
// most 256 bytes in the format of every read; nothing waiting logs nothing.
TEST(Discard, LinkLogsWhatItDropsAsReadLines) {
    tu_pty pty;
    ASSERT_TRUE(pty.open());
    const std::string log = std::string(VQ_BINARY_DIR) + "/test_discard_log.txt";
    fpc = std::fopen(log.c_str(), "w");
    ASSERT_NE(fpc, nullptr);
    com_mode = com_mode_rs232;
    syscom = pty.slave;
    bytes waiting(300, 0xA5);
    waiting[0] = 0x0F;
    put_waiting(pty.master, pty.slave, waiting);
    EXPECT_EQ(mc_discard_syscom(), 0);
    int left = -1;
    EXPECT_EQ(::ioctl(pty.slave, FIONREAD, &left), 0);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(mc_discard_syscom(), 0);
    std::fclose(fpc);
    fpc = nullptr;

    std::string first = "R:      0F ", second = "R:      ";
    for (int i = 1; i < 256; ++i) first += "A5 ";
    for (int i = 256; i < 300; ++i) second += "A5 ";
    EXPECT_EQ(tu_read_file(log), first + " \n" + second + " \n");
    std::remove(log.c_str());

    syscom = -1;
    EXPECT_EQ(mc_discard_syscom(), mc_e_n_comp);  // no link open
    com_mode = 5;
    EXPECT_EQ(mc_discard_syscom(), mc_e_r_dat);  // a mode without a port
    com_mode = com_mode_rs232;
}
